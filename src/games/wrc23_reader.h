#pragma once
// EA SPORTS WRC: the game's UDP telemetry to port 20788, one packed little-endian datagram per
// frame in the game's "wrc" packet structure. The engine reads these 32-bit floats:
//    61,  65,  69  velocity (m/s)                    → lateral, longitudinal, vertical speed
//    73,  77,  81  acceleration without gravity (m/s²) → longitudinal, lateral, vertical accel
//    85,  89,  93  the car's left direction      ┐
//    97, 101, 105  the car's forward direction   ├ unit vectors in the world's axes (y up; at
//   109, 113, 117  the car's up direction        ┘ heading 0 the car faces +x with +z on its right)
// The attitude comes from the three directions; the rotation rates are the changes of attitude
// from one frame to the next.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t wrc23MinimumSize = 2;
// The end of the last value the engine reads.
inline constexpr std::size_t wrc23ValuesEnd = 121;

// Degrees: yaw positive anticlockwise seen from above, pitch nose up, roll right side up.
struct Wrc23Attitude {
    double yaw = 0.0;
    double roll = 0.0;
    double pitch = 0.0;
};

struct Wrc23Frame {
    float velocity[3];      // x, y, z
    float acceleration[3];  // x, y, z
    Wrc23Attitude attitude;
};

// The values of one datagram, or nothing for a datagram too short to hold them, one holding a
// value that is not a finite number, and one whose directions have no length. Pure.
std::optional<Wrc23Frame> decodeWrc23Datagram(std::span<const std::uint8_t> datagram);

// Applies a frame to the channels: speeds, accelerations, attitude, and the rotation rates as the
// change of attitude since `previous` over the frame interval (0.02 s when the interval is longer
// than 0.03 s; rates 0 on the first frame, which has nothing to compare with). `previous` then
// holds this frame's attitude. Pure: no I/O, no clock, no allocation.
void applyWrc23Frame(const Wrc23Frame& frame, double frameTimeMs, std::optional<Wrc23Attitude>& previous,
                     GameData& record);

class Wrc23Reader : public UdpReaderState {
public:
    // Opens the game's port and forgets the attitude of any earlier connection: 1, or 0.
    int connect(int port);

    // Takes one datagram, without waiting. When it holds a frame: stamps the frame interval,
    // applies it, completes the felt accelerations with gravity and returns true; otherwise false
    // with the record untouched. Game-source thread only; no allocation.
    bool read(GameData& record);

    std::optional<Wrc23Attitude> previous;
};

}  // namespace tarvelin
