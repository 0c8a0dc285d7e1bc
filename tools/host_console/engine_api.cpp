#include "host_console/engine_api.h"

namespace tarvelin::console {

template <typename Function>
bool EngineApi::resolve(Function& function, const char* name, std::string& error) {
    function = reinterpret_cast<Function>(library_.symbol(name));
    if (function == nullptr && error.empty()) error = std::string("the library does not export ") + name;
    return function != nullptr;
}

bool EngineApi::load(const std::filesystem::path& library, std::string& error) {
    if (!library_.load(library)) {
        error = "cannot load " + library.string() + ": " + library_.error();
        return false;
    }
    error.clear();
#define TARVELIN_RESOLVE(name) resolve(name, #name, error)
    // Every export is looked up even after a missing one, so that the first missing name is
    // reported whatever the order; the result is the conjunction.
    const bool all[] = {
        TARVELIN_RESOLVE(startGamesource_Thread),  TARVELIN_RESOLVE(stopGamesource_Thread),
        TARVELIN_RESOLVE(setMotionsystemready),    TARVELIN_RESOLVE(getGameID),
        TARVELIN_RESOLVE(getGameName),             TARVELIN_RESOLVE(setTimerPrecision),
        TARVELIN_RESOLVE(getGameDataCount),        TARVELIN_RESOLVE(getGameData),
        TARVELIN_RESOLVE(getGameDataNames),        TARVELIN_RESOLVE(getMotionCueData),
        TARVELIN_RESOLVE(getGameTimeFrame),        TARVELIN_RESOLVE(getMotionDataTimeFrame),
        TARVELIN_RESOLVE(getTransitionStatus),     TARVELIN_RESOLVE(getProfilAirTransitionStatus),
        TARVELIN_RESOLVE(getProfilGrdTransitionStatus), TARVELIN_RESOLVE(getactiveProfil),
        TARVELIN_RESOLVE(getOutputData),           TARVELIN_RESOLVE(setcheckFilterstring),
        TARVELIN_RESOLVE(setActiveAxis),           TARVELIN_RESOLVE(setBelt_Mix),
        TARVELIN_RESOLVE(SetRigDofLimitValue),     TARVELIN_RESOLVE(SetInputDofLimitValue),
        TARVELIN_RESOLVE(SetRigDofRateLimit),      TARVELIN_RESOLVE(setParkDuration),
        TARVELIN_RESOLVE(activateMotionCancel),    TARVELIN_RESOLVE(setFilterMotionCancel),
        TARVELIN_RESOLVE(setGainMotionCancel),     TARVELIN_RESOLVE(GetCalculationSnapshots),
        TARVELIN_RESOLVE(GetAccelerationSnapshots), TARVELIN_RESOLVE(FreeCalculationSnapshots),
        TARVELIN_RESOLVE(FreeAccelerationSnapshots), TARVELIN_RESOLVE(startMMFtoSerial_Thread),
        TARVELIN_RESOLVE(stopMMFtoSerial_Thread),  TARVELIN_RESOLVE(isConnected),
        TARVELIN_RESOLVE(isInterfaceRunning),      TARVELIN_RESOLVE(resumeInterface),
        TARVELIN_RESOLVE(enableAutoconnect),       TARVELIN_RESOLVE(disableAutoconnect),
        TARVELIN_RESOLVE(setStandartPort),         TARVELIN_RESOLVE(setUsbChipCheck),
        TARVELIN_RESOLVE(getOutputTimeFrame),      TARVELIN_RESOLVE(newMessagemmf),
        TARVELIN_RESOLVE(readMessagemmf),          TARVELIN_RESOLVE(initWindSerial),
        TARVELIN_RESOLVE(setUDPport),              TARVELIN_RESOLVE(startUPDListenThread),
        TARVELIN_RESOLVE(setMulticastAddr),        TARVELIN_RESOLVE(startUPDMulticastSenderThread),
        TARVELIN_RESOLVE(explainFilterstring),     TARVELIN_RESOLVE(setLowLatency),
        TARVELIN_RESOLVE(getLowLatency),
    };
#undef TARVELIN_RESOLVE
    for (const bool found : all) {
        if (!found) return false;
    }
    return true;
}

std::filesystem::path defaultLibraryPath() {
    return platform::executableFolder() / platform::sharedLibraryFileName("tarvelin_motion");
}

}  // namespace tarvelin::console
