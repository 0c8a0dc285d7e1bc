// The cost of one frame of each shared-memory game: the reader's whole read of a real block that
// the telemetry emulator wrote (the new-frame test, the decoding of every field, the frame timer
// and the gravity split), with a new frame in the block on every read.
//
// RaceRoom and Project CARS 2 also look on every 64th frame whether their block still exists by
// name (a game that quit has removed it); that look is a call into the system, included in their
// figures at its share and measured alone as well ("blockExists").

#include <benchmark/benchmark.h>

#include <cstring>

#include "assetto_corsa_encoder.h"
#include "assetto_corsa_evo_encoder.h"
#include "drive_script.h"
#include "euro_truck_simulator2_encoder.h"
#include "games/block_access.h"
#include "games/game_channels.h"
#include "games/game_source.h"
#include "project_cars2_encoder.h"
#include "raceroom_encoder.h"
#include "rfactor2_encoder.h"

namespace {

using namespace tarvelin;

// A game's block as the game holds it, filled with one frame of the drive.
struct GameSide {
    platform::SharedMemory block;
    std::uint8_t* bytes = nullptr;

    GameSide(const wchar_t* name, std::size_t size, void (*write)(std::span<std::uint8_t>, const emulator::VehicleMotion&,
                                                                   emulator::GameStatus)) {
        if (block.createOrOpen(name, size)) bytes = static_cast<std::uint8_t*>(block.map(platform::MapAccess::readWrite, size));
        if (bytes != nullptr) write({bytes, size}, emulator::DriveScript().at(15.0), emulator::GameStatus::live);
    }
};

// The reader's side: the block opened and mapped for reading, as the connection does it.
template <typename Reader>
bool openForReading(Reader& reader, const wchar_t* name, std::size_t size) {
    reader.opened = reader.block.openExisting(name, platform::MapAccess::read) &&
                    reader.block.map(platform::MapAccess::read, size) != nullptr;
    return reader.opened;
}

template <typename Reader, typename NextFrame>
void readFrames(benchmark::State& state, Reader& reader, NextFrame nextFrame) {
    GameData record;
    for (auto _ : state) {
        nextFrame();
        if (!reader.read(record)) {
            state.SkipWithError("the reader delivered no frame");
            return;
        }
        benchmark::DoNotOptimize(record.channels.data());
    }
}

void assettoCorsa(benchmark::State& state) {
    GameSide game(games::assettoCorsaPhysics.name, games::assettoCorsaPhysics.size, emulator::writeAssettoCorsaPhysics);
    AssettoCorsaReader reader;
    if (game.bytes == nullptr || !reader.physics.openExisting(games::assettoCorsaPhysics.name, platform::MapAccess::read) ||
        reader.physics.map(platform::MapAccess::read, games::assettoCorsaPhysics.size) == nullptr) {
        state.SkipWithError("no block");
        return;
    }
    std::int32_t packet = 0;
    readFrames(state, reader, [&] { std::memcpy(game.bytes, &++packet, sizeof packet); });
}
BENCHMARK(assettoCorsa);

void assettoCorsaEvo(benchmark::State& state) {
    GameSide game(games::assettoCorsaEvoPhysics.name, games::assettoCorsaEvoPhysics.size,
                  emulator::writeAssettoCorsaPhysics);
    AssettoCorsaEvoReader reader;
    if (game.bytes == nullptr || reader.connect() != 1) {
        state.SkipWithError("no block");
        return;
    }
    std::int32_t packet = 0;
    readFrames(state, reader, [&] { std::memcpy(game.bytes, &++packet, sizeof packet); });
}
BENCHMARK(assettoCorsaEvo);

void writeNewestRaceRoom(std::span<std::uint8_t> block, const emulator::VehicleMotion& motion, emulator::GameStatus status) {
    emulator::writeRaceRoomBlock(block, motion, status, emulator::raceRoom3_5);
}

void raceRoom(benchmark::State& state) {
    GameSide game(games::raceRoom.name, games::raceRoom.size, writeNewestRaceRoom);
    RaceRoomReader reader;
    if (game.bytes == nullptr || !openForReading(reader, games::raceRoom.name, games::raceRoom.size)) {
        state.SkipWithError("no block");
        return;
    }
    readFrames(state, reader, [] {});
}
BENCHMARK(raceRoom);

void projectCars2(benchmark::State& state) {
    GameSide game(games::projectCars2.name, emulator::automobilista2BlockSize, emulator::writeProjectCars2Block);
    ProjectCars2Reader reader;
    if (game.bytes == nullptr || !openForReading(reader, games::projectCars2.name, 0)) {
        state.SkipWithError("no block");
        return;
    }
    readFrames(state, reader, [] {});
}
BENCHMARK(projectCars2);

void rFactor2(benchmark::State& state) {
    GameSide game(games::rFactor2.name, games::rFactor2.size, emulator::writeRFactor2Block);
    RFactor2Reader reader;
    if (game.bytes == nullptr || !openForReading(reader, games::rFactor2.name, games::rFactor2.size)) {
        state.SkipWithError("no block");
        return;
    }
    double elapsed = 0.0;
    readFrames(state, reader, [&] {
        elapsed += 0.01;
        std::memcpy(game.bytes + 12, &elapsed, sizeof elapsed);
    });
}
BENCHMARK(rFactor2);

void euroTruckSimulator2(benchmark::State& state) {
    GameSide game(games::euroTruckSimulator2.name, games::euroTruckSimulator2.size,
                  emulator::writeEuroTruckSimulator2Block);
    EuroTruckSimulator2Reader reader;
    if (game.bytes == nullptr ||
        !openForReading(reader, games::euroTruckSimulator2.name, games::euroTruckSimulator2.size)) {
        state.SkipWithError("no block");
        return;
    }
    readFrames(state, reader, [] {});
}
BENCHMARK(euroTruckSimulator2);

void blockExists(benchmark::State& state) {
    GameSide game(games::raceRoom.name, games::raceRoom.size, writeNewestRaceRoom);
    for (auto _ : state) benchmark::DoNotOptimize(tarvelin::blockExists(games::raceRoom.name));
}
BENCHMARK(blockExists);

}  // namespace

BENCHMARK_MAIN();
