#include "host_console/engine_api.h"

namespace tarvelin::console {

template <typename Function>
bool EngineApi::resolve(Function& function, const char* name, std::string& error) {
    function = reinterpret_cast<Function>(library_.symbol(name));
    if (function == nullptr) error = std::string("the library does not export ") + name;
    return function != nullptr;
}

bool EngineApi::load(const std::filesystem::path& library, std::string& error) {
    if (!library_.load(library)) {
        error = "cannot load " + library.string() + ": " + library_.error();
        return false;
    }
    return resolve(getGameDataCount, "getGameDataCount", error) && resolve(getGameData, "getGameData", error) &&
           resolve(getGameDataNames, "getGameDataNames", error) &&
           resolve(getMotionCueData, "getMotionCueData", error) &&
           resolve(getGameTimeFrame, "getGameTimeFrame", error) &&
           resolve(getMotionDataTimeFrame, "getMotionDataTimeFrame", error) &&
           resolve(getTransitionStatus, "getTransitionStatus", error) &&
           resolve(getProfilAirTransitionStatus, "getProfilAirTransitionStatus", error) &&
           resolve(getProfilGrdTransitionStatus, "getProfilGrdTransitionStatus", error) &&
           resolve(getactiveProfil, "getactiveProfil", error) && resolve(getOutputData, "getOutputData", error);
}

std::filesystem::path defaultLibraryPath() {
    return platform::executableFolder() / platform::sharedLibraryFileName("tarvelin_motion");
}

}  // namespace tarvelin::console
