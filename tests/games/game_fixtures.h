#pragma once
// The game's side of the detection tests: processes under a game's executable name, the event a
// game signals, a NoLimits 2 telemetry server, and a stream of datagrams to a game's port. These
// stand where the games stand, so they use the operating system directly.

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

namespace tarvelin::test {

// A running process whose executable file is named `executableName` ("RRRE64.exe"): a copy of
// a stub program in a private folder. The constructor returns once the process list shows it.
class GameProcess {
public:
    explicit GameProcess(const std::string& executableName);
    ~GameProcess();
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    bool visible() const { return visible_; }

private:
    std::filesystem::path folder_;
    std::intptr_t process_ = 0;
    bool visible_ = false;
};

// A named event as a game creates it ("Local\IRSDKDataValidEvent").
class GameEvent {
public:
    explicit GameEvent(const std::wstring& name);
    ~GameEvent();
    GameEvent(const GameEvent&) = delete;
    GameEvent& operator=(const GameEvent&) = delete;

    bool created() const { return handle_ != nullptr; }

private:
    void* handle_ = nullptr;
    std::string posixName_;
};

// A TCP server on 127.0.0.1:port that answers every request message with a message of type 1.
class TelemetryServer {
public:
    explicit TelemetryServer(std::uint16_t port);
    ~TelemetryServer();
    TelemetryServer(const TelemetryServer&) = delete;
    TelemetryServer& operator=(const TelemetryServer&) = delete;

    bool listening() const { return listener_ != -1; }
    int requestsAnswered() const { return answered_.load(); }

private:
    void serve();

    std::intptr_t listener_ = -1;
    std::atomic<bool> running_{true};
    std::atomic<int> answered_{0};
    std::thread thread_;
};

// Sends a small datagram to 127.0.0.1:port every 2 ms until destroyed, as a game streaming
// telemetry does.
class DatagramStream {
public:
    explicit DatagramStream(std::uint16_t port);
    ~DatagramStream();
    DatagramStream(const DatagramStream&) = delete;
    DatagramStream& operator=(const DatagramStream&) = delete;

private:
    std::atomic<bool> running_{true};
    std::thread thread_;
};

}  // namespace tarvelin::test
