#pragma once
// DCS World with the engine's export script: one text line of 25 numbers per simulation frame,
// each written "%.6f" and separated by single spaces, ended by a line feed (docs/games.md).

#include <cstdint>
#include <string>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

std::string dcsExportLine(const VehicleMotion& motion);

extern const GameEncoder dcsEncoder;

}  // namespace tarvelin::emulator
