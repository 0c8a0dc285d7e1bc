#pragma once
// Condor 2: the glider simulator's UDP output to port 55278, text in lines of the form key=value
// (numbers in the C locale, lines ended by CR LF). Values in SI units and radians; the engine
// takes the attitude (pitch nose up, bank positive to the right, yaw the heading from 0 to 2π,
// which the engine centres on 0 by taking half a turn off), the accelerations without gravity
// (ax right, ay forward, az up), the velocities in the same axes and the three rotation rates.
// A datagram may carry only some of the keys; each key keeps the value it last received.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/game_data.h"
#include "games/reader_state.h"

namespace tarvelin {

inline constexpr std::size_t condor2MinimumSize = 42;

// The keys the simulator sends that the engine keeps, in the order of its output.
enum class Condor2Key {
    time, slipball, altitude, vario, evario, nettovario, integrator, compass, turnrate, yawstringangle,
    radiofrequency, yaw, pitch, bank, quaternionx, quaterniony, quaternionz, ax, ay, az, vx, vy, vz,
    rollrate, pitchrate, yawrate, gforce, height, wheelheight, turbulencestrength, surfaceroughness,
    hudmessages, flaps, mc, water,
};
inline constexpr std::size_t condor2KeyCount = static_cast<std::size_t>(Condor2Key::water) + 1;

// The values last received for each key, kept across datagrams (and connections).
class Condor2Values {
public:
    // Takes every line of `text` (split at line feeds) of the form key=value whose key is known
    // (exact, case-sensitive); other lines are ignored. The value is read as strtof would, with
    // no number (or one that is not finite) reading 0; "flaps" is kept as an integer, truncated
    // toward zero; "hudmessages" as text, cut to hudCapacity characters.
    void take(std::string_view text);

    // Fills the attitude, acceleration, speed and rate channels from the stored values.
    void fill(GameData& record) const;

    float value(Condor2Key key) const { return values_[static_cast<std::size_t>(key)]; }
    std::int32_t flaps() const { return flaps_; }
    std::string_view hudMessages() const { return {hud_.data(), hudLength_}; }

    static constexpr std::size_t hudCapacity = 256;

private:
    std::array<float, condor2KeyCount> values_{};
    std::int32_t flaps_ = 0;
    std::array<char, hudCapacity> hud_{};
    std::size_t hudLength_ = 0;
};

// Takes the text of one datagram (up to its end or its first NUL) into `stored` and fills the
// channels from it. Returns false, touching nothing, for a datagram shorter than
// condor2MinimumSize. Pure: no I/O, no clock, no allocation.
bool applyCondor2Datagram(std::span<const std::uint8_t> datagram, Condor2Values& stored, GameData& record);

class Condor2Reader : public UdpReaderState {
public:
    // Takes one datagram, without waiting. When it is long enough: stamps the frame interval,
    // applies it, completes the felt accelerations with gravity and returns true; otherwise false
    // with the record untouched. Game-source thread only; no allocation.
    bool read(GameData& record);

    Condor2Values stored;
};

}  // namespace tarvelin
