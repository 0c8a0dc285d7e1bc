#include "games/game_source.h"

#include <chrono>
#include <initializer_list>
#include <thread>

namespace tarvelin {

namespace {

constexpr auto pauseAfterFailedTest = std::chrono::nanoseconds(10000000);

}  // namespace

GameSource::GameSource(platform::SimConnectLibrary& simConnect) : simConnect_(simConnect) {}

GameSource::~GameSource() {
    // Sockets are not closed by their endpoints' destructors; a port left bound would keep the
    // game's telemetry from any later listener in this process.
    for (UdpReaderState* reader : std::initializer_list<UdpReaderState*>{
             &xPlane, &dcs, &dirtRally2, &condor2, &f1, &wrc23, &beamNg, &liveForSpeed}) {
        if (reader->endpoint.socket() != platform::invalidSocket) reader->endpoint.close();
    }
    noLimits2.disconnect();
}

int GameSource::detect() {
    for (std::size_t i = 0; i < detectionOrder.size(); ++i) {
        const GameId game = detectionOrder[i];
        if (detectGame(game)) {
            activeFlags[indexOf(game)].store(true);
            return 1;
        }
        activeFlags[indexOf(game)].store(false);
        if (i + 1 < detectionOrder.size()) std::this_thread::sleep_for(pauseAfterFailedTest);
    }
    return 0;
}

int GameSource::connect() {
    const GameId game = activeGame();
    return game == GameId::none ? 0 : connectGame(game);
}

bool GameSource::readFrame() {
    const GameId game = activeGame();
    return game != GameId::none && readGame(game);
}

int GameSource::disconnect() {
    const GameId game = activeGame();
    if (game == GameId::none) return 0;
    activeFlags[indexOf(game)].store(false);
    disconnectGame(game);
    return 1;
}

bool GameSource::framesArriveOnSocket() const { return frameSocket() != platform::invalidSocket; }

bool GameSource::waitForFrame(std::chrono::microseconds limit) {
    const platform::SocketHandle socket = frameSocket();
    if (socket == platform::invalidSocket) return false;
    if (activeGame() == GameId::noLimits2) noLimits2.requestAhead();
    return platform::waitReadable(socket, limit) == 1;
}

platform::SocketHandle GameSource::frameSocket() const {
    switch (activeGame()) {
        case GameId::xPlane: return xPlane.endpoint.socket();
        case GameId::dcs: return dcs.endpoint.socket();
        case GameId::dirtRally2: return dirtRally2.endpoint.socket();
        case GameId::condor2: return condor2.endpoint.socket();
        case GameId::f1: return f1.endpoint.socket();
        case GameId::wrc23: return wrc23.endpoint.socket();
        case GameId::beamNg: return beamNg.endpoint.socket();
        case GameId::liveForSpeed: return liveForSpeed.endpoint.socket();
        case GameId::noLimits2: return noLimits2.connected ? noLimits2.socket : platform::invalidSocket;
        default: return platform::invalidSocket;
    }
}

GameId GameSource::activeGame() const {
    for (const GameId game : detectionOrder) {
        if (activeFlags[indexOf(game)].load()) return game;
    }
    return GameId::none;
}

std::int32_t GameSource::activeProfileSelector() const {
    const GameId game = activeGame();
    return game == GameId::none ? -1 : readerOf(game).profileSelector;
}

void GameSource::clearFlags() {
    for (auto& flag : activeFlags) flag.store(false);
}

bool GameSource::readGame(GameId game) {
    switch (game) {
        case GameId::xPlane: return xPlane.read(gameData);
        case GameId::dcs: return dcs.read(gameData);
        case GameId::flightSimulator2020: return flightSimulator2020.read(gameData);
        case GameId::flightSimulator2024: return flightSimulator2024.read(gameData);
        case GameId::assettoCorsa: return assettoCorsa.read(gameData);
        case GameId::assettoCorsaEvo: return assettoCorsaEvo.read(gameData);
        case GameId::raceRoom: return raceRoom.read(gameData);
        case GameId::dirtRally2: return dirtRally2.read(gameData);
        case GameId::condor2: return condor2.read(gameData);
        case GameId::f1: return f1.read(gameData);
        case GameId::noLimits2: return noLimits2.read(gameData);
        case GameId::projectCars2: return projectCars2.read(gameData);
        case GameId::iRacing: return iRacing.read(gameData);
        case GameId::wrc23: return wrc23.read(gameData);
        case GameId::beamNg: return beamNg.read(gameData);
        case GameId::liveForSpeed: return liveForSpeed.read(gameData);
        case GameId::rFactor2: return rFactor2.read(gameData);
        case GameId::euroTruckSimulator2: return euroTruckSimulator2.read(gameData);
        case GameId::none: break;
    }
    return false;
}

const ReaderState& GameSource::readerOf(GameId game) const {
    switch (game) {
        case GameId::xPlane: return xPlane;
        case GameId::dcs: return dcs;
        case GameId::flightSimulator2020: return flightSimulator2020;
        case GameId::flightSimulator2024: return flightSimulator2024;
        case GameId::assettoCorsa: return assettoCorsa;
        case GameId::assettoCorsaEvo: return assettoCorsaEvo;
        case GameId::raceRoom: return raceRoom;
        case GameId::dirtRally2: return dirtRally2;
        case GameId::condor2: return condor2;
        case GameId::f1: return f1;
        case GameId::noLimits2: return noLimits2;
        case GameId::projectCars2: return projectCars2;
        case GameId::iRacing: return iRacing;
        case GameId::wrc23: return wrc23;
        case GameId::beamNg: return beamNg;
        case GameId::liveForSpeed: return liveForSpeed;
        case GameId::rFactor2: return rFactor2;
        case GameId::euroTruckSimulator2:
        case GameId::none: break;
    }
    return euroTruckSimulator2;
}

}  // namespace tarvelin
