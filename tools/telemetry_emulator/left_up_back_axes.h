#pragma once
// RaceRoom and the rFactor 2 plugin give a vehicle's motion in the same axes: x to the left, y up,
// z backwards, as doubles; rotations about x are pitch, about y yaw (counted the other way from
// the engine's) and about z roll.

#include <cstddef>
#include <cstdint>
#include <span>

#include "byte_writer.h"

namespace tarvelin::emulator {

// A velocity or acceleration from the engine's lateral, vertical and longitudinal components.
inline void putLeftUpBackVector(std::span<std::uint8_t> block, std::size_t offset, double lateral, double vertical,
                                double longitudinal) {
    putDouble(block, offset, -lateral);
    putDouble(block, offset + 8, vertical);
    putDouble(block, offset + 16, -longitudinal);
}

// An attitude, rate or angular acceleration from the engine's pitch, yaw and roll.
inline void putLeftUpBackRotation(std::span<std::uint8_t> block, std::size_t offset, double pitch, double yaw,
                                  double roll) {
    putDouble(block, offset, pitch);
    putDouble(block, offset + 8, -yaw);
    putDouble(block, offset + 16, roll);
}

}  // namespace tarvelin::emulator
