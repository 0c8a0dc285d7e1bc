#include "games/flight_simulator_reader.h"

namespace tarvelin {

namespace {

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

}  // namespace

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

void FlightSimulatorReader::closeClient() {
    client.reset();
    clientState = 0;
}

}  // namespace tarvelin
