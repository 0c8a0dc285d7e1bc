#pragma once
// Remote control of emulated boards over a TCP connection (on loopback, or on the address of a
// test's own network namespace), one text line per command and one reply line per command
// ("ok ..." or "error ..."). Tests running in another process (a Windows test program under
// Wine, a test in another namespace) drive the boards through it.
//
//   attach NAME            fresh board behind FOLDER/NAME        -> ok SLAVE-PATH
//   net NAME IFADDR GROUP PORT ANSWERPORT
//                          fresh board on the network (see NetworkBoard) -> ok
//   detach NAME            the board vanishes                     -> ok
//   reply NAME HEX|none [first]                                   -> ok
//   status NAME HEX|none MS  a network board's status frame, every MS once it hears a sender
//   send NAME HEX          bytes to the program (a network board: one datagram) -> ok
//   counts NAME            -> ok GOOD BAD STRAY REQUESTS UNCHECKED DATAGRAMS
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
#include <sstream>
#include <string>
#include <thread>

#include "network_board.h"
#include "rig_device.h"

namespace rig_emulator {

class ControlServer {
public:
    explicit ControlServer(std::filesystem::path linkFolder);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Listens on `address` (host byte order; 127.0.0.1 unless a test's own namespace needs
    // another) at `port` (0: any free port). The port, or 0 on failure.
    std::uint16_t listen(std::uint16_t port, std::uint32_t address = 0x7F000001u);
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
    // The network board called `name`, or null.
    NetworkBoard* networkBoard(const std::string& name);
    std::string executeNetwork(const std::string& command, NetworkBoard& board, std::istringstream& words);

    std::filesystem::path folder_;
    std::mutex devicesMutex_;
    std::map<std::string, std::unique_ptr<RigDevice>> devices_;
    std::map<std::string, std::unique_ptr<NetworkBoard>> networkBoards_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace rig_emulator
