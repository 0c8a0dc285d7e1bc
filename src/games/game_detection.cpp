// The detection test of each game. A test leaves nothing open unless it says so: a Flight
// Simulator client that answered stays open for the connection step.

#include <cstdint>
#include <cstdio>

#include "games/block_access.h"
#include "games/game_channels.h"
#include "games/game_source.h"
#include "games/process_check.h"

namespace tarvelin {

namespace {

bool eitherRuns(const wchar_t* first, const wchar_t* second) {
    return isProcessRunning(first) || isProcessRunning(second);
}

// Some games name their executable differently by version. When the first name runs but no
// telemetry arrives, the second is not tried: the game was there and is simply not sending.
bool runsAndSends(UdpReaderState& reader, int port, const wchar_t* first, const wchar_t* second) {
    if (isProcessRunning(first)) return reader.endpoint.probeUdpPort(port) == 1;
    if (isProcessRunning(second)) return reader.endpoint.probeUdpPort(port) == 1;
    return false;
}

bool assettoCorsaIsLive() {
    platform::SharedMemory graphics;
    return createAndMap(graphics, games::assettoCorsaGraphics) &&
           wordAt(graphics, games::assettoCorsaStatusOffset) == games::assettoCorsaLive;
}

bool blockAndProcess(const games::Block& layout, const wchar_t* executableName) {
    platform::SharedMemory block;
    return createAndMap(block, layout) && isProcessRunning(executableName);
}

}  // namespace

bool GameSource::detectFlightSimulator(FlightSimulatorReader& reader, const wchar_t* executableName) {
    std::int32_t result = 0;
    reader.client = simConnect_.open(FlightSimulatorReader::clientName, &result);
    if (reader.client == nullptr) return false;
    if (isProcessRunning(executableName)) return true;
    reader.closeClient();
    return false;
}

bool GameSource::detectGame(GameId game) {
    switch (game) {
        case GameId::xPlane:
            return xPlane.endpoint.probeUdpPort(games::xPlanePort) == 1 && isProcessRunning(L"X-Plane.exe");
        case GameId::dcs:
            return runsAndSends(dcs, games::dcsPort, L"DCS.exe", L"DCS64.exe");
        case GameId::flightSimulator2020:
            return detectFlightSimulator(flightSimulator2020, L"FlightSimulator.exe");
        case GameId::flightSimulator2024:
            // A client still open from an earlier scan is not opened a second time.
            if (flightSimulator2024.client != nullptr) return false;
            return detectFlightSimulator(flightSimulator2024, L"FlightSimulator2024.exe");
        case GameId::assettoCorsa:
            return assettoCorsaIsLive();
        case GameId::assettoCorsaEvo: {
            // EVO's physics block, or Assetto Corsa's where EVO publishes none; only EVO's process
            // tells the two games apart, and a live Assetto Corsa status was tested first.
            platform::SharedMemory physics;
            return openAssettoCorsaEvoPhysics(physics) && isProcessRunning(L"AssettoCorsaEVO.exe");
        }
        case GameId::raceRoom:
            if (!eitherRuns(L"RRRE64.exe", L"RRRE.exe") || !blockExists(games::raceRoom.name)) return false;
            std::printf("Found RRRE.exe, mapping shared memory...\n");
            return true;
        case GameId::dirtRally2:
            return dirtRally2.endpoint.probeUdpPort(games::dirtRally2Port) == 1;
        case GameId::condor2:
            return condor2.endpoint.probeUdpPort(games::condor2Port) == 1;
        case GameId::f1:
            return (eitherRuns(L"F1_23.exe", L"F1_23_64.exe") || eitherRuns(L"F1_24.exe", L"F1_24_64.exe")) &&
                   f1.endpoint.probeUdpPort(games::f1Port) == 1;
        case GameId::noLimits2:
            return probeNoLimitsServer() == 1;
        case GameId::projectCars2:
            return blockExists(games::projectCars2.name);
        case GameId::iRacing:
            if (eitherRuns(L"iRacingSim64DX11.exe", L"Iracing.exe") && blockExists(IRacingReader::blockName)) {
                return true;
            }
            iRacing.reset();
            return false;
        case GameId::wrc23:
            return wrc23.endpoint.probeUdpPort(games::wrc23Port) == 1;
        case GameId::beamNg:
            return beamNg.endpoint.probeUdpPort(games::beamNgPort) == 1;
        case GameId::liveForSpeed:
            return runsAndSends(liveForSpeed, games::liveForSpeedPort, L"LFS.exe", L"LFS64.exe");
        case GameId::rFactor2:
            if (isProcessRunning(L"rFactor2.exe") && blockExists(games::rFactor2.name)) return true;
            rFactor2.release();
            return false;
        case GameId::euroTruckSimulator2:
            return blockAndProcess(games::euroTruckSimulator2, L"eurotrucks2.exe");
        case GameId::none:
            break;
    }
    return false;
}

}  // namespace tarvelin
