#pragma once
// F1 23 and F1 24: per frame a motion packet (all 22 cars) and an extended motion packet (the
// player's car), each with the games' 29-byte header. The player drives car 5; the other cars
// move differently, so that reading the wrong car shows.

#include <cstdint>
#include <vector>

#include "game_encoder.h"
#include "vehicle_motion.h"

namespace tarvelin::emulator {

inline constexpr std::uint8_t f1PlayerCar = 5;

// Year is 2023 or 2024: the packet format, which also sets the extended packet's length.
template <int Year>
std::vector<std::uint8_t> encodeF1Motion(const VehicleMotion& motion);
template <int Year>
std::vector<std::uint8_t> encodeF1ExtendedMotion(const VehicleMotion& motion);

extern const GameEncoder f1_23Encoder;
extern const GameEncoder f1_24Encoder;

}  // namespace tarvelin::emulator
