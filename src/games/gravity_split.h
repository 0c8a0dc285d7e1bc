#pragma once
// Completes the three translational channel groups of a frame with gravity. Every reader ends
// its frame with this: it works out the gravity components from roll and pitch and then fills
// whichever of the two acceleration channels the game did not deliver, so that for each axis
//     accel_g = accel + gravi
// holds (accel without gravity, accel_g the force the driver feels, gravity included).

#include "core/game_data.h"

namespace tarvelin {

inline constexpr double standardGravity = 9.80665;  // m/s²

enum class GravityForm {
    sum,         // the game delivered accel (without gravity): accel_g = accel + gravi
    difference,  // the game delivered accel_g (felt force):      accel = accel_g - gravi
};

// One game measures pitch the other way round and needs the longitudinal component negated.
enum class LongitudinalGravity { alongPitch, againstPitch };

// Writes lateral_gravi = g·cos(pitch)·sin(roll), longitu_gravi = ±g·sin(pitch) and
// vertica_gravi = g·cos(pitch)·cos(roll) from roll_position and pitch_position (degrees), then
// completes the groups in the given form. Pure; no allocation.
void applyGravitySplit(GameData& record, GravityForm form,
                       LongitudinalGravity longitudinal = LongitudinalGravity::alongPitch);

}  // namespace tarvelin
