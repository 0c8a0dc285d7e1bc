#pragma once
// What each emulated game must deliver into the engine's telemetry record: its identity and, for
// each channel it fills, the value the drive script's motion should read there, with the
// tolerance the game's own precision allows. The games' end-to-end test plays each row.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::test {

inline constexpr int recordChannels = 43;

// The expected value of each channel the game fills; channels it leaves alone are empty.
using ExpectedChannels = std::array<std::optional<double>, recordChannels>;

struct GameCase {
    const emulator::GameEncoder* encoder;
    int gameId;              // what getGameID reports
    const char* gameName;    // what getGameName reports
    ExpectedChannels (*expected)(const emulator::VehicleMotion& motion);
    double absoluteTolerance = 1e-3;
    double relativeTolerance = 1e-4;
    bool tornFramesPossible = false;  // the game's block has no frame counter
};

// The motion in the engine's axes and units, gravity split in: the channels a game that sends
// every motion value would fill (speeds m/s, accelerations m/s², angles degrees, rates deg/s,
// angular accelerations deg/s²). Readers of games that send less pick from it.
ExpectedChannels motionChannels(const emulator::VehicleMotion& motion);

// Every game the end-to-end test plays, in the engine's detection order.
const std::vector<GameCase>& gameCases();

}  // namespace tarvelin::test
