#include "game_process.h"

#include <chrono>
#include <random>
#include <string_view>
#include <thread>

#include "games/process_check.h"
#include "platform/dynamic_library.h"

namespace tarvelin::emulator {

namespace {

std::wstring wide(std::string_view text) { return {text.begin(), text.end()}; }

// A new folder of this process's own. Programs of several builds run at the same time and copy
// the stand-in under the same game names, so the name is random and must not exist yet.
std::filesystem::path privateFolder() {
    static std::mt19937_64 names{std::random_device{}()};
    for (;;) {
        auto folder = std::filesystem::temp_directory_path() / ("tarvelin-game-" + std::to_string(names()));
        if (std::filesystem::create_directory(folder)) return folder;
    }
}

}  // namespace

std::filesystem::path gameStandInProgram() {
    return platform::executableFolder() / platform::programFileName("tarvelin_game_stand_in");
}

GameProcess::GameProcess(const std::string& executableName)
    : executableName_(executableName), folder_(privateFolder()) {
    std::error_code failed;
    std::filesystem::copy_file(gameStandInProgram(), folder_ / executableName_,
                               std::filesystem::copy_options::overwrite_existing, failed);
    if (!failed) start();
}

void GameProcess::start() {
    if (!process_.start(folder_ / executableName_)) return;
    // The new process shows under its name only once it has really started.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!(visible_ = isProcessRunning(wide(executableName_))) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void GameProcess::keepRunning() {
    if (visible_ && !process_.running()) start();
}

GameProcess::~GameProcess() {
    // Windows deletes no program file while it runs.
    process_.terminate();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

}  // namespace tarvelin::emulator
