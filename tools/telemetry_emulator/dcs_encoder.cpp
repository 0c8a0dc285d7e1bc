#include "dcs_encoder.h"

#include <cmath>
#include <cstdio>

#include "aircraft_gear.h"
#include "datagram_feed.h"

namespace tarvelin::emulator {

namespace {

constexpr double gravity = 9.80665;

std::vector<std::uint8_t> encodeDatagram(const VehicleMotion& motion) {
    const std::string line = dcsExportLine(motion);
    return {line.begin(), line.end()};
}

}  // namespace

std::string dcsExportLine(const VehicleMotion& m) {
    const GearLoads gear = gearLoads(m);
    const double fields[25] = {
        // The felt acceleration in g: what the aircraft's accelerometers read, gravity included.
        (m.longitudinalAccel + gravity * std::sin(m.pitch)) / gravity,
        (m.lateralAccel + gravity * std::cos(m.pitch) * std::sin(m.roll)) / gravity,
        (m.verticalAccel + gravity * std::cos(m.pitch) * std::cos(m.roll)) / gravity,
        m.lateralSpeed,
        m.longitudinalSpeed,
        m.verticalSpeed,
        m.yawRate,
        m.rollRate,
        m.pitchRate,
        m.yaw,
        m.roll,
        m.pitch,
        1.0,  // gear down
        strutCompression(gear.nose),
        strutCompression(gear.rightMain),
        strutCompression(gear.leftMain),
        0.0,  // flaps
        0.0,  // speed brakes
        m.longitudinalSpeed,  // true airspeed
        m.longitudinalSpeed,  // indicated airspeed
        0.0,                  // height above ground
        120.0 + m.worldZ,     // altitude
        0.0,                  // angle of attack
        m.verticalSpeed,      // vertical speed
        m.time,
    };
    std::string line;
    char field[40];
    for (const double value : fields) {
        std::snprintf(field, sizeof field, "%.6f ", value);
        line += field;
    }
    line.back() = '\n';
    return line;
}

const GameEncoder dcsEncoder{"dcs", "DCS", 60.0, Transport::datagrams, 4124, "DCS.exe", openDatagramFeed<encodeDatagram>};

}  // namespace tarvelin::emulator
