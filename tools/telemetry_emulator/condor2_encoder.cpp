#include "condor2_encoder.h"

#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "datagram_feed.h"

namespace tarvelin::emulator {

namespace {

constexpr double pi = std::numbers::pi;
constexpr double gravity = 9.80665;

std::vector<std::uint8_t> encodeDatagram(const VehicleMotion& motion) {
    const std::string text = condor2Text(motion);
    return {text.begin(), text.end()};
}

void addLine(std::string& text, const char* key, double value) {
    char line[64];
    std::snprintf(line, sizeof line, "%s=%.6f\r\n", key, value);
    text += line;
}

}  // namespace

double condor2Yaw(const VehicleMotion& m) {
    const double yaw = std::fmod(m.yaw, 2.0 * pi);
    return yaw < 0.0 ? yaw + 2.0 * pi : yaw;
}

std::string condor2Text(const VehicleMotion& m) {
    // The attitude as a quaternion too (heading, then pitch, then bank).
    const double ch = std::cos(m.yaw / 2.0), sh = std::sin(m.yaw / 2.0);
    const double cp = std::cos(m.pitch / 2.0), sp = std::sin(m.pitch / 2.0);
    const double cb = std::cos(-m.roll / 2.0), sb = std::sin(-m.roll / 2.0);
    const double feltVertical = m.verticalAccel + gravity * std::cos(m.pitch) * std::cos(m.roll);

    std::string text;
    addLine(text, "time", 12.0 + m.time / 3600.0);
    addLine(text, "airspeed", m.longitudinalSpeed);
    addLine(text, "altitude", 450.0 + m.worldZ);
    addLine(text, "vario", m.verticalSpeed);
    addLine(text, "evario", m.verticalSpeed);
    addLine(text, "nettovario", 0.0);
    addLine(text, "integrator", 0.0);
    addLine(text, "compass", condor2Yaw(m) * 180.0 / pi);
    addLine(text, "slipball", 0.0);
    addLine(text, "turnrate", m.yawRate);
    addLine(text, "yawstringangle", 0.0);
    addLine(text, "radiofrequency", 123.5);
    // Bank is counted positive to the right, the rates in the engine's sense.
    addLine(text, "yaw", condor2Yaw(m));
    addLine(text, "pitch", m.pitch);
    addLine(text, "bank", -m.roll);
    addLine(text, "quaternionx", sb * cp * ch - cb * sp * sh);
    addLine(text, "quaterniony", cb * sp * ch + sb * cp * sh);
    addLine(text, "quaternionz", cb * cp * sh - sb * sp * ch);
    addLine(text, "ax", m.lateralAccel);
    addLine(text, "ay", m.longitudinalAccel);
    addLine(text, "az", m.verticalAccel);
    addLine(text, "vx", m.lateralSpeed);
    addLine(text, "vy", m.longitudinalSpeed);
    addLine(text, "vz", m.verticalSpeed);
    addLine(text, "rollrate", m.rollRate);
    addLine(text, "pitchrate", m.pitchRate);
    addLine(text, "yawrate", m.yawRate);
    addLine(text, "gforce", feltVertical / gravity);
    addLine(text, "height", 0.0);
    addLine(text, "wheelheight", 0.0);
    addLine(text, "turbulencestrength", 0.0);
    addLine(text, "surfaceroughness", 0.2);
    text += "hudmessages=\r\n";
    text += "flaps=0\r\n";
    addLine(text, "mc", 0.0);
    addLine(text, "water", 0.0);
    return text;
}

const GameEncoder condor2Encoder{"condor2", "Condor2", 50.0, Transport::datagrams, 55278, nullptr,
                                 openDatagramFeed<encodeDatagram>};

}  // namespace tarvelin::emulator
