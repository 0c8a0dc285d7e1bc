#include "game_fixtures.h"

#include <chrono>
#include <cstring>
#include <string_view>
#include <vector>

#include "games/process_check.h"
#include "platform/socket.h"
#include "support/loopback.h"

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <netinet/in.h>
#include <semaphore.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace tarvelin::test {

namespace {

#ifdef _WIN32
using NativeSocket = SOCKET;
#else
using NativeSocket = int;
#endif

NativeSocket native(platform::SocketHandle socket) { return static_cast<NativeSocket>(socket); }

std::wstring wide(std::string_view text) { return {text.begin(), text.end()}; }

std::filesystem::path privateFolder() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    const auto self = static_cast<unsigned long>(GetCurrentProcessId());
#else
    const auto self = static_cast<unsigned long>(getpid());
#endif
    auto folder = std::filesystem::temp_directory_path() /
                  ("tarvelin-game-" + std::to_string(self) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(folder);
    return folder;
}

}  // namespace

GameProcess::GameProcess(const std::string& executableName) : folder_(privateFolder()) {
    const auto file = folder_ / executableName;
    std::filesystem::copy_file(TARVELIN_GAME_PROCESS_STUB, file, std::filesystem::copy_options::overwrite_existing);
#ifdef _WIN32
    std::wstring commandLine = L"\"" + file.wstring() + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(file.wstring().c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &info)) {
        return;
    }
    CloseHandle(info.hThread);
    process_ = reinterpret_cast<std::intptr_t>(info.hProcess);
#else
    const std::string path = file.string();
    std::vector<char> argument(path.begin(), path.end());
    argument.push_back('\0');
    char* argv[] = {argument.data(), nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, path.c_str(), nullptr, nullptr, argv, environ) != 0) return;
    process_ = child;
#endif
    // The new process shows under its name only once it has really started.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(visible_ = isProcessRunning(wide(executableName))) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

GameProcess::~GameProcess() {
#ifdef _WIN32
    if (process_ != 0) {
        const auto handle = reinterpret_cast<HANDLE>(process_);
        TerminateProcess(handle, 0);
        WaitForSingleObject(handle, 10000);
        CloseHandle(handle);
    }
#else
    if (process_ != 0) {
        kill(static_cast<pid_t>(process_), SIGKILL);
        waitpid(static_cast<pid_t>(process_), nullptr, 0);
    }
#endif
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

GameEvent::GameEvent(const std::wstring& name) {
#ifdef _WIN32
    handle_ = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
#else
    std::wstring_view bare = name;
    if (bare.starts_with(L"Local\\")) bare.remove_prefix(6);
    posixName_ = "/" + std::string(bare.begin(), bare.end());
    sem_t* semaphore = sem_open(posixName_.c_str(), O_CREAT, 0666, 0);
    handle_ = semaphore == SEM_FAILED ? nullptr : semaphore;
#endif
}

GameEvent::~GameEvent() {
    if (handle_ == nullptr) return;
#ifdef _WIN32
    CloseHandle(handle_);
#else
    sem_close(static_cast<sem_t*>(handle_));
    sem_unlink(posixName_.c_str());
#endif
}

TelemetryServer::TelemetryServer(std::uint16_t port) {
    platform::socketStartup();
    const platform::SocketHandle listener = platform::openTcpSocket();
    const int yes = 1;
    // A connection of an earlier test may linger in TIME_WAIT on this fixed port.
    setsockopt(native(listener), SOL_SOCKET, SO_REUSEADDR,
               reinterpret_cast<const char*>(&yes), sizeof yes);
    if (!platform::bindSocket(listener, {platform::loopbackIpv4, port}) ||
        ::listen(native(listener), 4) != 0) {
        platform::closeSocket(listener);
        return;
    }
    listener_ = listener;
    thread_ = std::thread([this] { serve(); });
}

TelemetryServer::~TelemetryServer() {
    running_.store(false);
    if (thread_.joinable()) thread_.join();
    if (listener_ != -1) platform::closeSocket(listener_);
    platform::socketCleanup();
}

void TelemetryServer::serve() {
    constexpr auto poll = std::chrono::microseconds(20000);
    while (running_.load()) {
        if (platform::waitReadable(listener_, poll) != 1) continue;
        const auto accepted = ::accept(native(listener_), nullptr, nullptr);
        const auto connection = static_cast<platform::SocketHandle>(accepted);
        if (connection == platform::invalidSocket) continue;
        while (running_.load()) {
            if (platform::waitReadable(connection, poll) != 1) continue;
            std::uint8_t request[64];
            if (platform::receive(connection, request, sizeof request) < 10) break;
            // 'N', type 1 (OK), the request's id, no data, 'L'.
            const std::uint8_t answer[10] = {'N', 0, 1, request[3], request[4], request[5], request[6], 0, 0, 'L'};
            // Counted before it goes out: the probe may see the answer before this thread runs on.
            answered_.fetch_add(1);
            platform::send(connection, answer, sizeof answer);
        }
        platform::closeSocket(connection);
    }
}

DatagramStream::DatagramStream(std::uint16_t port)
    : thread_([this, port] {
          UdpPeer peer;
          const std::vector<std::uint8_t> datagram{0x47, 0x41, 0x4D, 0x45};
          while (running_.load()) {
              peer.sendTo(port, datagram);
              std::this_thread::sleep_for(std::chrono::milliseconds(2));
          }
      }) {}

DatagramStream::~DatagramStream() {
    running_.store(false);
    thread_.join();
}

}  // namespace tarvelin::test
