#pragma once
// Remote control of emulated boards over a loopback TCP connection, one text line per command
// and one reply line per command ("ok ..." or "error ..."). Tests running in another process
// (a Windows test program under Wine) drive the boards through it.
//
//   attach NAME            fresh board behind FOLDER/NAME        -> ok SLAVE-PATH
//   detach NAME            the board vanishes                     -> ok
//   reply NAME HEX|none [first]                                   -> ok
//   send NAME HEX          bytes to the program                   -> ok
//   counts NAME            -> ok GOOD BAD STRAY REQUESTS
//   frames NAME / messages NAME  -> ok HEX HEX ...
//   bytes NAME             -> ok HEX MS,MS,...   (each byte and when it came)
//   last NAME              -> ok HEX NUMBER MS   (the newest good frame; "ok - 0 0" before one)
//   line NAME              -> ok BAUD DATABITS PARITY STOPBITS
//   clear NAME             -> ok
//   quit                   -> ok, and the server ends

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "rig_device.h"

namespace rig_emulator {

class ControlServer {
public:
    explicit ControlServer(std::filesystem::path linkFolder);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on 127.0.0.1 at `port` (0: any free port). The port, or 0 on failure.
    std::uint16_t listen(std::uint16_t port);
    // Serves clients one after another until "quit" or stop().
    void serve();
    // serve() on a thread of its own.
    void start();
    void stop();
    // False once "quit" came or stop() was called.
    bool serving() const { return !stop_.load(); }

    // The board called `name`, made on first use (not attached).
    RigDevice& device(const std::string& name);
    // Runs one command line and returns its reply line (without the newline).
    std::string execute(const std::string& line);

private:
    void serveClient(int client);

    std::filesystem::path folder_;
    std::mutex devicesMutex_;
    std::map<std::string, std::unique_ptr<RigDevice>> devices_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace rig_emulator
