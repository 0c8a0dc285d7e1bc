#pragma once
// The engine's exports as the host console sees them: resolved by name from the library loaded
// at run time, exactly as a host program would, with nothing linked in.

#include <filesystem>
#include <string>

#include "platform/dynamic_library.h"
#include "tarvelin/motion.h"

namespace tarvelin::console {

class EngineApi {
public:
    // Loads the library and resolves every export the console uses. On failure `error` says
    // which file could not be loaded and why, or which export is missing.
    bool load(const std::filesystem::path& library, std::string& error);

    decltype(&::getGameDataCount) getGameDataCount = nullptr;
    decltype(&::getGameData) getGameData = nullptr;
    decltype(&::getGameDataNames) getGameDataNames = nullptr;
    decltype(&::getMotionCueData) getMotionCueData = nullptr;
    decltype(&::getGameTimeFrame) getGameTimeFrame = nullptr;
    decltype(&::getMotionDataTimeFrame) getMotionDataTimeFrame = nullptr;
    decltype(&::getTransitionStatus) getTransitionStatus = nullptr;
    decltype(&::getProfilAirTransitionStatus) getProfilAirTransitionStatus = nullptr;
    decltype(&::getProfilGrdTransitionStatus) getProfilGrdTransitionStatus = nullptr;
    decltype(&::getactiveProfil) getactiveProfil = nullptr;
    decltype(&::getOutputData) getOutputData = nullptr;

private:
    template <typename Function>
    bool resolve(Function& function, const char* name, std::string& error);

    platform::DynamicLibrary library_;
};

// Where the console looks for the library when none is named: beside its own executable.
std::filesystem::path defaultLibraryPath();

}  // namespace tarvelin::console
