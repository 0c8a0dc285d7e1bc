#pragma once
// A process under a game's executable name, for the games whose detection looks for one.

#include <filesystem>
#include <string>

#include "platform/child_process.h"

namespace tarvelin::emulator {

class GameProcess {
public:
    // Runs a copy of the stand-in program (tarvelin_game_stand_in, beside the running program)
    // named `executableName` ("RRRE64.exe") from a private folder. Returns once the process list
    // shows it, or after ten seconds.
    explicit GameProcess(const std::string& executableName);
    // Ends the process and removes its folder.
    ~GameProcess();
    GameProcess(const GameProcess&) = delete;
    GameProcess& operator=(const GameProcess&) = delete;

    // Whether the process list showed the process once it was started.
    bool visible() const { return visible_; }

    // Starts the process again when it has ended (the stand-in ends itself after two minutes).
    void keepRunning();

private:
    void start();

    std::string executableName_;
    std::filesystem::path folder_;
    platform::ChildProcess process_;
    bool visible_ = false;
};

// The stand-in program beside the running program.
std::filesystem::path gameStandInProgram();

}  // namespace tarvelin::emulator
