#pragma once
// Assetto Corsa EVO: its own physics block "Local\acevo_pmf_physics" (800 bytes), whose first
// part has Assetto Corsa's physics layout, and the process "AssettoCorsaEVO.exe".

#include "game_encoder.h"

namespace tarvelin::emulator {

extern const GameEncoder assettoCorsaEvoEncoder;

}  // namespace tarvelin::emulator
