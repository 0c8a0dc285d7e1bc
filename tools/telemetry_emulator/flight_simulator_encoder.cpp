#include "flight_simulator_encoder.h"

#include <cmath>
#include <deque>
#include <memory>
#include <mutex>
#include <numbers>
#include <span>
#include <string>

#include "byte_writer.h"

namespace tarvelin::emulator {

namespace {

constexpr std::uint32_t exceptionKind = 1;
constexpr std::uint32_t quitKind = 3;
constexpr std::uint32_t eventKind = 4;
constexpr std::uint32_t objectDataKind = 8;
constexpr std::uint32_t userAircraft = 1;
constexpr std::size_t dataOffset = 40;
constexpr std::int32_t noMessage = static_cast<std::int32_t>(0x80004005u);
// A client that stops draining loses the oldest messages, as a full pipe would.
constexpr std::size_t queueLimit = 1000;

// A message with its size and kind filled in; the rest is the caller's.
std::vector<std::uint8_t> messageOf(std::uint32_t kind, std::size_t size) {
    std::vector<std::uint8_t> bytes(size);
    putUnsigned(bytes, 0, size, 4);
    putUnsigned(bytes, 8, kind, 4);
    return bytes;
}

class EmulatedSimulator;

class EmulatedClient final : public platform::SimConnectClient {
public:
    explicit EmulatedClient(EmulatedSimulator& simulator) : simulator_(simulator) {}
    ~EmulatedClient() override;
    EmulatedClient(const EmulatedClient&) = delete;
    EmulatedClient& operator=(const EmulatedClient&) = delete;

    std::int32_t addToDataDefinition(std::uint32_t, const char*, const char*, std::int32_t, float,
                                     std::uint32_t) override {
        return 0;
    }
    std::int32_t requestDataOnSimObject(std::uint32_t requestId, std::uint32_t, std::uint32_t, std::uint32_t,
                                        std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override;
    std::int32_t subscribeToSystemEvent(std::uint32_t, const char*) override { return 0; }
    std::int32_t getNextDispatch(const std::uint8_t** message, std::uint32_t* size) override;

private:
    friend class EmulatedSimulator;
    EmulatedSimulator& simulator_;
    // Guarded by the simulator's mutex.
    bool dataRequested_ = false;
    std::uint32_t requestId_ = 0;
    std::deque<std::vector<std::uint8_t>> queue_;
    // The message handed out last, valid until the next dispatch (this client's thread only).
    std::vector<std::uint8_t> current_;
};

class EmulatedSimulator final : public platform::SimConnectLibrary {
public:
    std::unique_ptr<platform::SimConnectClient> open(const char*, std::int32_t* result) override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (feeds_ == 0) {
            *result = platform::simConnectUnavailable;
            return nullptr;
        }
        *result = 0;
        auto client = std::make_unique<EmulatedClient>(*this);
        clients_.push_back(client.get());
        return client;
    }

    void feedOpened() {
        std::lock_guard<std::mutex> lock(mutex_);
        ++feeds_;
    }

    // The simulator quits with its last feed: every client is told so.
    void feedClosed() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (--feeds_ > 0) return;
        for (EmulatedClient* client : clients_) queue(*client, simConnectQuitMessage());
    }

    void publish(const VehicleMotion& motion) {
        const SimulatorData data = simulatorData(motion, true);
        std::lock_guard<std::mutex> lock(mutex_);
        for (EmulatedClient* client : clients_) {
            if (client->dataRequested_) queue(*client, simConnectDataMessage(client->requestId_, data));
        }
    }

private:
    friend class EmulatedClient;

    static void queue(EmulatedClient& client, std::vector<std::uint8_t> message) {
        if (client.queue_.size() >= queueLimit) client.queue_.pop_front();
        client.queue_.push_back(std::move(message));
    }

    std::mutex mutex_;
    int feeds_ = 0;
    std::vector<EmulatedClient*> clients_;
};

EmulatedClient::~EmulatedClient() {
    std::lock_guard<std::mutex> lock(simulator_.mutex_);
    std::erase(simulator_.clients_, this);
}

std::int32_t EmulatedClient::requestDataOnSimObject(std::uint32_t requestId, std::uint32_t, std::uint32_t,
                                                    std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                                    std::uint32_t) {
    std::lock_guard<std::mutex> lock(simulator_.mutex_);
    dataRequested_ = true;
    requestId_ = requestId;
    return 0;
}

std::int32_t EmulatedClient::getNextDispatch(const std::uint8_t** message, std::uint32_t* size) {
    std::lock_guard<std::mutex> lock(simulator_.mutex_);
    if (queue_.empty()) return noMessage;
    current_ = std::move(queue_.front());
    queue_.pop_front();
    *message = current_.data();
    *size = static_cast<std::uint32_t>(current_.size());
    return 0;
}

EmulatedSimulator& simulator() {
    static EmulatedSimulator instance;
    return instance;
}

// The simulator runs while the feed lives; frames go to its clients while the game is live.
class SimulatorFeed : public GameFeed {
public:
    SimulatorFeed() { simulator().feedOpened(); }
    ~SimulatorFeed() override { simulator().feedClosed(); }
    SimulatorFeed(const SimulatorFeed&) = delete;
    SimulatorFeed& operator=(const SimulatorFeed&) = delete;

    bool ready() const override { return true; }
    bool publish(const VehicleMotion& motion, GameStatus status) override {
        if (status == GameStatus::live) simulator().publish(motion);
        return true;
    }
    std::string destination() const override { return "the client interface of this process"; }
};

std::unique_ptr<GameFeed> openSimulatorFeed(std::uint16_t) { return std::make_unique<SimulatorFeed>(); }

}  // namespace

SimulatorData simulatorData(const VehicleMotion& m, bool onGround) {
    const double heading = m.yaw < 0.0 ? m.yaw + 2.0 * std::numbers::pi : m.yaw;
    return {{m.lateralAccel, m.verticalAccel, m.longitudinalAccel, -m.pitchAccel, m.yawAccel, m.rollAccel,
             m.lateralSpeed, m.verticalSpeed, m.longitudinalSpeed, -m.pitchRate, m.yawRate, m.rollRate, heading,
             m.roll, -m.pitch},
            onGround ? 1 : 0,
            onGround ? 1 : 0};
}

std::vector<std::uint8_t> simConnectDataMessage(std::uint32_t requestId, const SimulatorData& data) {
    auto bytes = messageOf(objectDataKind, dataOffset + 17 * 8);
    putUnsigned(bytes, 12, requestId, 4);
    putUnsigned(bytes, 16, userAircraft, 4);
    putUnsigned(bytes, 36, 17, 4);  // values in the block
    for (std::size_t i = 0; i < data.values.size(); ++i) putDouble(bytes, dataOffset + 8 * i, data.values[i]);
    putUnsigned(bytes, dataOffset + 8 * 15, static_cast<std::uint64_t>(data.gearOnGround), 8);
    putUnsigned(bytes, dataOffset + 8 * 16, static_cast<std::uint64_t>(data.simOnGround), 8);
    return bytes;
}

std::vector<std::uint8_t> simConnectEventMessage(std::uint32_t clientEventId) {
    auto bytes = messageOf(eventKind, 24);
    putUnsigned(bytes, 16, clientEventId, 4);
    return bytes;
}

std::vector<std::uint8_t> simConnectQuitMessage() { return messageOf(quitKind, 12); }

std::vector<std::uint8_t> simConnectExceptionMessage(std::uint32_t exception) {
    auto bytes = messageOf(exceptionKind, 24);
    putUnsigned(bytes, 12, exception, 4);
    return bytes;
}

platform::SimConnectLibrary& emulatedSimulator() { return simulator(); }

const GameEncoder flightSimulator2020Encoder{"msfs2020", "MSFS2020", 60.0, Transport::simConnect, 0,
                                             "FlightSimulator.exe", openSimulatorFeed};
const GameEncoder flightSimulator2024Encoder{"msfs2024", "MSFS2024", 60.0, Transport::simConnect, 0,
                                             "FlightSimulator2024.exe", openSimulatorFeed};

}  // namespace tarvelin::emulator
