#include "games/flight_simulator_reader.h"

#include <atomic>
#include <bit>
#include <cmath>
#include <iterator>

#include "games/gravity_split.h"

namespace tarvelin {

namespace {

constexpr double pi = 3.14159265358979;

// The simulator's message kinds, and where in a message the reader finds what it needs.
constexpr std::uint32_t exceptionMessage = 1;
constexpr std::uint32_t quitMessage = 3;
constexpr std::uint32_t eventMessage = 4;
constexpr std::uint32_t objectDataMessage = 8;
constexpr std::size_t kindOffset = 8;
constexpr std::size_t requestOffset = 12;
constexpr std::size_t eventOffset = 16;

// The simulator can keep messages coming faster than the cycle takes them; the bound keeps the
// cycle from draining for ever. What is left waits for the next cycle.
constexpr int maximumMessagesPerRead = 256;

// The simulator's numbers for what the engine asks of it.
constexpr std::int32_t dataTypeInt64 = 2;
constexpr std::int32_t dataTypeFloat64 = 4;
constexpr std::uint32_t unusedDatumId = 0xFFFFFFFFu;
constexpr std::uint32_t userAircraft = 0;
constexpr std::uint32_t everySimulationFrame = 3;

struct Variable {
    const char* name;
    const char* units;
    std::int32_t dataType;
};

// The order is the layout of the data block the simulator sends back: one 8-byte value each.
constexpr Variable dataDefinition[] = {
    {"ACCELERATION BODY X", "meter per second squared", dataTypeFloat64},
    {"ACCELERATION BODY Y", "meter per second squared", dataTypeFloat64},
    {"ACCELERATION BODY Z", "meter per second squared", dataTypeFloat64},
    {"ROTATION ACCELERATION BODY X", "radians per second squared", dataTypeFloat64},
    {"ROTATION ACCELERATION BODY Y", "radians per second squared", dataTypeFloat64},
    {"ROTATION ACCELERATION BODY Z", "radians per second squared", dataTypeFloat64},
    {"VELOCITY BODY X", "meter per second", dataTypeFloat64},
    {"VELOCITY BODY Y", "meter per second", dataTypeFloat64},
    {"VELOCITY BODY Z", "meter per second", dataTypeFloat64},
    {"ROTATION VELOCITY BODY X", "radians per second", dataTypeFloat64},
    {"ROTATION VELOCITY BODY Y", "radians per second", dataTypeFloat64},
    {"ROTATION VELOCITY BODY Z", "radians per second", dataTypeFloat64},
    {"PLANE HEADING DEGREES TRUE", "radians", dataTypeFloat64},
    {"PLANE BANK DEGREES", "radians", dataTypeFloat64},
    {"PLANE PITCH DEGREES", "radians", dataTypeFloat64},
    {"GEAR IS ON GROUND", "Bool", dataTypeInt64},
    {"SIM ON GROUND", "Bool", dataTypeInt64},
};

struct SystemEvent {
    FlightSimulatorReader::ClientEvent id;
    const char* name;
};

// "Sim" comes last: its subscription's result decides whether the connection is ready.
constexpr SystemEvent systemEvents[] = {
    {FlightSimulatorReader::crashedEvent, "Crashed"}, {FlightSimulatorReader::quitEvent, "Quit"},
    {FlightSimulatorReader::simStartEvent, "SimStart"}, {FlightSimulatorReader::simStopEvent, "SimStop"},
    {FlightSimulatorReader::simEvent, "Sim"},
};

std::uint64_t littleEndianAt(std::span<const std::uint8_t> message, std::size_t offset, std::size_t width) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < width; ++i) value |= static_cast<std::uint64_t>(message[offset + i]) << (8 * i);
    return value;
}

std::uint32_t wordAt(std::span<const std::uint8_t> message, std::size_t offset) {
    return static_cast<std::uint32_t>(littleEndianAt(message, offset, 4));
}

// Entry n (from 0) of the data block.
double valueAt(std::span<const std::uint8_t> message, std::size_t entry) {
    return std::bit_cast<double>(littleEndianAt(message, flightSimulatorDataOffset + 8 * entry, 8));
}

std::int64_t integerAt(std::span<const std::uint8_t> message, std::size_t entry) {
    return static_cast<std::int64_t>(littleEndianAt(message, flightSimulatorDataOffset + 8 * entry, 8));
}

double degrees(double radians) { return radians / pi * 180.0; }

// Where each value of the data block goes. The three rotation accelerations (entries 3 to 5) and
// "GEAR IS ON GROUND" (entry 15) are asked for but not used.
struct Field {
    std::size_t entry;
    Channel channel;
    double sign;
    bool angular;
};

constexpr Field fields[] = {
    {0, lateralAccel, 1.0, false},   {1, verticalAccel, 1.0, false},   {2, longitudinalAccel, 1.0, false},
    {6, lateralSpeed, -1.0, false},  {7, verticalSpeed, -1.0, false},  {8, longitudinalSpeed, 1.0, false},
    {9, pitchSpeed, -1.0, true},     {10, yawSpeed, -1.0, true},       {11, rollSpeed, -1.0, true},
    {12, yawPosition, 1.0, true},    {13, rollPosition, 1.0, true},    {14, pitchPosition, -1.0, true},
};
constexpr std::size_t simOnGroundEntry = 16;

SimulatorMessage applyDataBlock(std::span<const std::uint8_t> message, GameData& record,
                                std::int32_t& profileSelector) {
    if (message.size() < flightSimulatorDataMessageSize) return SimulatorMessage::other;
    // One value that is not a number would stay in every filter that integrates or smooths it;
    // such a block is dropped whole (an angle too large to turn into degrees among them).
    double converted[std::size(fields)];
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const double value = valueAt(message, fields[i].entry);
        converted[i] = (fields[i].angular ? degrees(value) : value) * fields[i].sign;
        if (!std::isfinite(converted[i])) return SimulatorMessage::other;
    }
    for (std::size_t i = 0; i < std::size(fields); ++i) record.channels[fields[i].channel] = converted[i];
    profileSelector = integerAt(message, simOnGroundEntry) == 1 ? 1 : 0;
    return SimulatorMessage::data;
}

}  // namespace

SimulatorMessage applyFlightSimulatorMessage(std::span<const std::uint8_t> message, GameData& record,
                                             std::int32_t& profileSelector) {
    if (message.size() < kindOffset + 4) return SimulatorMessage::other;
    switch (wordAt(message, kindOffset)) {
        case exceptionMessage: return SimulatorMessage::exception;
        case quitMessage: return SimulatorMessage::quit;
        case eventMessage:
            if (message.size() < eventOffset + 4) return SimulatorMessage::other;
            // Every other event, "Crashed" among them, leaves the data flowing.
            return wordAt(message, eventOffset) == FlightSimulatorReader::quitEvent ? SimulatorMessage::quit
                                                                                 : SimulatorMessage::other;
        case objectDataMessage:
            if (message.size() < requestOffset + 4) return SimulatorMessage::other;
            if (wordAt(message, requestOffset) != FlightSimulatorReader::requestId) return SimulatorMessage::other;
            return applyDataBlock(message, record, profileSelector);
        default: return SimulatorMessage::other;
    }
}

int FlightSimulatorReader::setUp() {
    if (client == nullptr) return 0;
    for (const Variable& variable : dataDefinition) {
        lastResult = client->addToDataDefinition(definitionId, variable.name, variable.units, variable.dataType, 0.0f,
                                                 unusedDatumId);
    }
    lastResult = client->requestDataOnSimObject(requestId, definitionId, userAircraft, everySimulationFrame, 0, 0, 0, 0);
    for (const SystemEvent& event : systemEvents) {
        lastResult = client->subscribeToSystemEvent(event.id, event.name);
    }
    if (lastResult == 0) return 1;
    closeClient();
    return 0;
}

bool FlightSimulatorReader::read(GameData& record) {
    if (client == nullptr) return false;
    for (int taken = 0; taken < maximumMessagesPerRead; ++taken) {
        const std::uint8_t* message = nullptr;
        std::uint32_t size = 0;
        if (client->getNextDispatch(&message, &size) < 0) break;
        if (message == nullptr) continue;
        const SimulatorMessage kind = applyFlightSimulatorMessage({message, size}, record, profileSelector);
        if (kind == SimulatorMessage::exception) break;
        if (kind == SimulatorMessage::quit) {
            closeClient();
            return false;
        }
    }
    // Also after an empty queue: the frame interval keeps counting and gravity follows the
    // attitude as it stands.
    timer.restart();
    // Host threads read the interval through an export while this thread writes it.
    std::atomic_ref<double>(record.frameTimeMs).store(timer.lastIntervalMs(), std::memory_order_relaxed);
    applyGravitySplit(record, GravityForm::sum);
    return true;
}

void FlightSimulatorReader::closeClient() {
    client.reset();
    clientState = 0;
}

}  // namespace tarvelin
