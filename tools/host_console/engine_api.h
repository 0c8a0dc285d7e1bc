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

    // Running the engine and the game.
    decltype(&::startGamesource_Thread) startGamesource_Thread = nullptr;
    decltype(&::stopGamesource_Thread) stopGamesource_Thread = nullptr;
    decltype(&::setMotionsystemready) setMotionsystemready = nullptr;
    decltype(&::getGameID) getGameID = nullptr;
    decltype(&::getGameName) getGameName = nullptr;
    decltype(&::setTimerPrecision) setTimerPrecision = nullptr;
    decltype(&::setLowLatency) setLowLatency = nullptr;
    decltype(&::getLowLatency) getLowLatency = nullptr;

    // Telemetry record, cues and status.
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

    // Profiles, limits, rig safety and motion cancelling.
    decltype(&::setcheckFilterstring) setcheckFilterstring = nullptr;
    decltype(&::explainFilterstring) explainFilterstring = nullptr;
    decltype(&::setActiveAxis) setActiveAxis = nullptr;
    decltype(&::setBelt_Mix) setBelt_Mix = nullptr;
    decltype(&::SetRigDofLimitValue) SetRigDofLimitValue = nullptr;
    decltype(&::SetInputDofLimitValue) SetInputDofLimitValue = nullptr;
    decltype(&::SetRigDofRateLimit) SetRigDofRateLimit = nullptr;
    decltype(&::setParkDuration) setParkDuration = nullptr;
    decltype(&::activateMotionCancel) activateMotionCancel = nullptr;
    decltype(&::setFilterMotionCancel) setFilterMotionCancel = nullptr;
    decltype(&::setGainMotionCancel) setGainMotionCancel = nullptr;

    // Snapshots.
    decltype(&::GetCalculationSnapshots) GetCalculationSnapshots = nullptr;
    decltype(&::GetAccelerationSnapshots) GetAccelerationSnapshots = nullptr;
    decltype(&::FreeCalculationSnapshots) FreeCalculationSnapshots = nullptr;
    decltype(&::FreeAccelerationSnapshots) FreeAccelerationSnapshots = nullptr;

    // The rig controller link and the fan.
    decltype(&::startMMFtoSerial_Thread) startMMFtoSerial_Thread = nullptr;
    decltype(&::stopMMFtoSerial_Thread) stopMMFtoSerial_Thread = nullptr;
    decltype(&::isConnected) isConnected = nullptr;
    decltype(&::isInterfaceRunning) isInterfaceRunning = nullptr;
    decltype(&::resumeInterface) resumeInterface = nullptr;
    decltype(&::enableAutoconnect) enableAutoconnect = nullptr;
    decltype(&::disableAutoconnect) disableAutoconnect = nullptr;
    decltype(&::setStandartPort) setStandartPort = nullptr;
    decltype(&::setUsbChipCheck) setUsbChipCheck = nullptr;
    decltype(&::getOutputTimeFrame) getOutputTimeFrame = nullptr;
    decltype(&::newMessagemmf) newMessagemmf = nullptr;
    decltype(&::readMessagemmf) readMessagemmf = nullptr;
    decltype(&::initWindSerial) initWindSerial = nullptr;

    // The rig controller link over the network.
    decltype(&::setUDPport) setUDPport = nullptr;
    decltype(&::startUPDListenThread) startUPDListenThread = nullptr;
    decltype(&::setMulticastAddr) setMulticastAddr = nullptr;
    decltype(&::startUPDMulticastSenderThread) startUPDMulticastSenderThread = nullptr;

private:
    template <typename Function>
    bool resolve(Function& function, const char* name, std::string& error);

    platform::DynamicLibrary library_;
};

// Where the console looks for the library when none is named: beside its own executable.
std::filesystem::path defaultLibraryPath();

}  // namespace tarvelin::console
