// Opening and closing the telemetry channel of the flagged game.

#include <cstdint>
#include <cstdio>

#include "games/block_access.h"
#include "games/game_channels.h"
#include "games/game_source.h"
#include "games/process_check.h"

namespace tarvelin {

namespace {

int keepMapped(BlockReaderState& reader, const games::Block& layout) {
    if (!createAndMap(reader.block, layout)) {
        reader.release();
        return 0;
    }
    reader.opened = true;
    reader.mapped = true;
    return 1;
}

int connectAssettoCorsa(AssettoCorsaState& reader) {
    if (createAndMap(reader.physics, games::assettoCorsaPhysics) &&
        createAndMap(reader.graphics, games::assettoCorsaGraphics) &&
        wordAt(reader.graphics, games::assettoCorsaStatusOffset) == games::assettoCorsaLive) {
        return 1;
    }
    reader.release();
    return 0;
}

// Maps the layout's length for reading. Project CARS 2 and Automobilista 2 create their block
// shorter than that, and some systems refuse a view longer than the block: then the whole block
// is mapped instead, provided it holds `leastSize` bytes (every field the reader takes).
bool mapForReading(platform::SharedMemory& block, const games::Block& layout, std::size_t leastSize) {
    if (block.map(platform::MapAccess::read, layout.size) != nullptr) return true;
    return leastSize < layout.size && block.map(platform::MapAccess::read, 0) != nullptr &&
           block.viewSize() >= leastSize;
}

int openUdp(UdpReaderState& reader, int port) { return reader.endpoint.open(port) == 1 ? 1 : 0; }

}  // namespace

// RaceRoom and Project CARS 2 keep one read-only view of the game's block. A block that is held
// already is not opened a second time.
int GameSource::connectSharedBlock(BlockReaderState& reader, const games::Block& block, std::size_t leastSize) {
    if (reader.block.view() != nullptr) return 0;
    if (!reader.block.openExisting(block.name, platform::MapAccess::read)) {
        std::printf("Failed to open mapping\n");
        reader.failed = true;
        return 0;
    }
    if (!mapForReading(reader.block, block, leastSize)) {
        std::printf("Failed to map buffer\n");
        // Keeping the handle would make every later attempt count as "already held", and the
        // game could never be connected again.
        reader.release();
        reader.failed = true;
        return 0;
    }
    // The readers tell a game that quit by its block's name being gone. A handle of ours would
    // keep the name alive on Windows; the view alone keeps the memory.
    reader.block.keepViewOnly();
    std::printf("Memory mapped successfully\n");
    reader.failed = false;
    reader.mapped = true;
    reader.opened = true;
    return 1;
}

int GameSource::connectRFactor2() {
    if (rFactor2.opened || !isProcessRunning(L"rFactor2.exe") || !blockExists(games::rFactor2.name)) {
        // Starts afresh, so that the next attempt opens the block anew.
        rFactor2.release();
        return 0;
    }
    if (!rFactor2.block.openExisting(games::rFactor2.name, platform::MapAccess::read)) {
        std::printf("Failed to open mapping\n");
        rFactor2.failed = true;
        return 0;
    }
    if (rFactor2.block.map(platform::MapAccess::read, games::rFactor2.size) == nullptr) {
        std::printf("Failed to map buffer\n");
        rFactor2.release();
        rFactor2.failed = true;
        return 0;
    }
    if (static_cast<std::uint32_t>(wordAt(rFactor2.block, 0)) == games::rFactor2NotReady) {
        // The plugin has created its block but not filled it yet.
        rFactor2.release();
        return 0;
    }
    std::printf("Memory mapped successfully\n");
    rFactor2.failed = false;
    rFactor2.mapped = true;
    rFactor2.opened = true;
    return 1;
}

int GameSource::connectGame(GameId game) {
    switch (game) {
        case GameId::xPlane: return openUdp(xPlane, games::xPlanePort);
        case GameId::dcs: return openUdp(dcs, games::dcsPort);
        case GameId::flightSimulator2020: return flightSimulator2020.setUp();
        case GameId::flightSimulator2024: return flightSimulator2024.setUp();
        case GameId::assettoCorsa: return connectAssettoCorsa(assettoCorsa);
        case GameId::assettoCorsaEvo: return assettoCorsaEvo.connect();
        case GameId::raceRoom:
            if (raceRoom.block.view() != nullptr) return 0;
            if (!isProcessRunning(L"RRRE64.exe") && !isProcessRunning(L"RRRE.exe")) return 0;
            if (!blockExists(games::raceRoom.name)) return 0;
            std::printf("Found RRRE.exe, mapping shared memory...\n");
            return connectSharedBlock(raceRoom, games::raceRoom, games::raceRoom.size);
        case GameId::dirtRally2: return openUdp(dirtRally2, games::dirtRally2Port);
        case GameId::condor2: return openUdp(condor2, games::condor2Port);
        case GameId::f1: return openUdp(f1, games::f1Port);
        case GameId::noLimits2: return noLimits2.connect();
        case GameId::projectCars2:
            return connectSharedBlock(projectCars2, games::projectCars2, projectCars2BytesRead);
        case GameId::iRacing:
            if (!iRacing.opened && (isProcessRunning(L"iRacingSim64DX11.exe") || isProcessRunning(L"Iracing.exe")) &&
                blockExists(IRacingReader::blockName)) {
                if (!iRacing.startUp()) return 0;
                iRacing.opened = true;
                return 1;
            }
            iRacing.reset();
            return 0;
        case GameId::wrc23: return wrc23.connect(games::wrc23Port);
        case GameId::beamNg: return openUdp(beamNg, games::beamNgPort);
        case GameId::liveForSpeed: return openUdp(liveForSpeed, games::liveForSpeedPort);
        case GameId::rFactor2: return connectRFactor2();
        case GameId::euroTruckSimulator2:
            return keepMapped(euroTruckSimulator2, games::euroTruckSimulator2);
        case GameId::none: break;
    }
    return 0;
}

void GameSource::disconnectGame(GameId game) {
    switch (game) {
        case GameId::xPlane: xPlane.endpoint.close(); break;
        case GameId::dcs: dcs.endpoint.close(); break;
        case GameId::flightSimulator2020: flightSimulator2020.closeClient(); break;
        case GameId::flightSimulator2024: flightSimulator2024.closeClient(); break;
        case GameId::assettoCorsa: assettoCorsa.release(); break;
        case GameId::assettoCorsaEvo: assettoCorsaEvo.release(); break;
        case GameId::raceRoom: raceRoom.release(); break;
        case GameId::dirtRally2: dirtRally2.endpoint.close(); break;
        case GameId::condor2: condor2.endpoint.close(); break;
        case GameId::f1: f1.endpoint.close(); break;
        case GameId::noLimits2: noLimits2.disconnect(); break;
        case GameId::projectCars2: projectCars2.release(); break;
        case GameId::iRacing: iRacing.reset(); break;
        case GameId::wrc23: wrc23.endpoint.close(); break;
        case GameId::beamNg: beamNg.endpoint.close(); break;
        case GameId::liveForSpeed: liveForSpeed.endpoint.close(); break;
        // The plugin's block is released too: a handle kept after the game quit would keep the
        // block alive, and every new connection would open another one.
        case GameId::rFactor2: rFactor2.release(); break;
        case GameId::euroTruckSimulator2: euroTruckSimulator2.release(); break;
        case GameId::none: break;
    }
}

}  // namespace tarvelin
