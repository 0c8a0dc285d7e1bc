#pragma once
// NoLimits 2: the reader asks the ride simulator's telemetry server for the newest frame every
// cycle and turns the car's orientation and g-forces into the record's channels.
//
// The game's frame: y up; the car's x axis points to its right, y up through the seat and z to
// its back. The orientation quaternion turns the car's frame into the park's. The g-forces are
// those the riders feel, in g: x positive when they are pushed to the right, y positive when they
// are pressed into the seat (1 at rest), z positive when they are pressed back into it.
//
// The game sends no rates and no speeds: the reader estimates the rates from the change of
// orientation between frames and the speeds by leaky integration of the accelerations.

#include <array>
#include <cstdint>

#include "core/game_data.h"
#include "games/nolimits_link.h"
#include "games/nolimits_messages.h"

namespace tarvelin {

// What the reader carries from frame to frame. It outlives connections (a ride that comes back
// carries on from it); in the engine it lives as long as the process.
struct NoLimitsMotion {
    std::uint32_t lastFrameNumber = 0;
    std::array<double, 4> previousRotation{};   // w, x, y, z; all 0 before the first frame
    std::array<double, 3> filteredRates{};      // about the car's x, y and z axes (rad/s)
    std::array<double, 3> filteredAccels{};     // lateral, longitudinal, vertical (m/s²)
    std::array<double, 3> speedIntegrators{};   // the same axes (m/s)
    std::array<std::int32_t, 3> quietFrames{};  // frames in a row with hardly any acceleration
};

// Applies one telemetry frame to the record: the attitude (degrees; yaw counter-clockwise seen
// from above, pitch nose up, roll right side up), the felt accelerations and gravity in the car's
// frame with the accelerations without gravity between them, the estimated rates (degrees/s) and
// speeds, the angle turned since the last frame (fr_lft_susp_pos, radians), the speed and the frame
// number (ldg_gear). The speed estimate uses record.frameTimeMs, which the caller sets first.
// Returns false, leaving record and motion untouched, while no ride is played (state 0), for a
// frame number seen last time, and for a frame that carries a value that is not a finite number
// or an orientation of no length. Pure: no I/O, no clock, no allocation.
bool applyNoLimitsTelemetry(const NoLimitsTelemetry& telemetry, NoLimitsMotion& motion, GameData& record);

class NoLimitsReader : public NoLimitsState {
public:
    // Requests the newest frame (unless a request went out ahead), takes what the server sent
    // meanwhile without waiting, and applies the newest telemetry message among it. The frame
    // interval is the time since the server's last answer. Returns true when a new frame was
    // applied. Game-source thread only; no allocation.
    bool read(GameData& record);

    NoLimitsMotion motion;
};

}  // namespace tarvelin
