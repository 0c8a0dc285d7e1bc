#include "f1_encoder.h"

#include <cmath>
#include <memory>

#include "byte_writer.h"
#include "datagram_feed.h"

namespace tarvelin::emulator {

namespace {

constexpr double gravity = 9.80665;
constexpr std::size_t headerSize = 29;
constexpr std::size_t carCount = 22;
constexpr std::size_t carRecordSize = 60;
constexpr double framesPerSecond = 60.0;

enum PacketId : std::uint8_t { motionPacket = 0, extendedMotionPacket = 13 };

void putHeader(std::span<std::uint8_t> bytes, int year, PacketId id, const VehicleMotion& m) {
    const auto frame = static_cast<std::uint32_t>(std::lround(m.time * framesPerSecond));
    putUnsigned(bytes, 0, static_cast<std::uint64_t>(year), 2);  // packet format
    bytes[2] = static_cast<std::uint8_t>(year - 2000);            // game year
    bytes[3] = 1;                                                 // game version 1.0
    bytes[4] = 0;
    bytes[5] = 1;  // packet version
    bytes[6] = id;
    putUnsigned(bytes, 7, 0x5441525645ull, 8);  // session
    putFloat(bytes, 15, m.time);
    putUnsigned(bytes, 19, frame, 4);
    putUnsigned(bytes, 23, frame, 4);
    bytes[27] = f1PlayerCar;
    bytes[28] = 255;  // no second player
}

// One car's record: world position, velocity and directions, g-forces with gravity (lateral
// counted to the left, vertical downward), then yaw, pitch and roll.
void putCar(std::span<std::uint8_t> bytes, std::size_t start, const VehicleMotion& m) {
    const double sh = std::sin(m.yaw), ch = std::cos(m.yaw);
    putFloat(bytes, start + 0, m.worldX);
    putFloat(bytes, start + 4, m.worldZ);
    putFloat(bytes, start + 8, m.worldY);
    putFloat(bytes, start + 12, m.longitudinalSpeed * sh);
    putFloat(bytes, start + 16, m.verticalSpeed);
    putFloat(bytes, start + 20, m.longitudinalSpeed * ch);
    const auto direction = [](double component) { return static_cast<std::int16_t>(std::lround(component * 32767.0)); };
    putInt16(bytes, start + 24, direction(sh));
    putInt16(bytes, start + 26, 0);
    putInt16(bytes, start + 28, direction(ch));
    putInt16(bytes, start + 30, direction(ch));
    putInt16(bytes, start + 32, 0);
    putInt16(bytes, start + 34, direction(-sh));
    const double lateral = m.lateralAccel + gravity * std::cos(m.pitch) * std::sin(m.roll);
    const double longitudinal = m.longitudinalAccel + gravity * std::sin(m.pitch);
    const double vertical = m.verticalAccel + gravity * std::cos(m.pitch) * std::cos(m.roll);
    putFloat(bytes, start + 36, -lateral / gravity);
    putFloat(bytes, start + 40, longitudinal / gravity);
    putFloat(bytes, start + 44, -vertical / gravity);
    putFloat(bytes, start + 48, m.yaw);
    putFloat(bytes, start + 52, m.pitch);
    putFloat(bytes, start + 56, m.roll);
}

// A rival: the player's motion turned about and shifted, so that none of its values match.
VehicleMotion rival(const VehicleMotion& player, std::size_t car) {
    VehicleMotion m = player;
    const double offset = static_cast<double>(car) + 1.0;
    m.lateralAccel = -player.lateralAccel + offset;
    m.longitudinalAccel = -player.longitudinalAccel - offset;
    m.verticalAccel = player.verticalAccel + 0.5 * offset;
    m.yaw = player.yaw + 0.1 * offset;
    m.pitch = -player.pitch + 0.01 * offset;
    m.roll = -player.roll - 0.01 * offset;
    return m;
}

// Two datagrams per frame, as the game sends them: the motion packet, then the extended one.
class F1Feed : public GameFeed {
public:
    F1Feed(std::uint16_t port, DatagramEncoder motion, DatagramEncoder extended)
        : motion_(port, motion), extended_(port, extended) {}

    bool ready() const override { return motion_.ready() && extended_.ready(); }
    bool publish(const VehicleMotion& motion, GameStatus status) override {
        const bool motionSent = motion_.publish(motion, status);
        return extended_.publish(motion, status) && motionSent;
    }
    std::string destination() const override { return motion_.destination(); }

private:
    DatagramFeed motion_;
    DatagramFeed extended_;
};

template <int Year>
std::unique_ptr<GameFeed> openF1Feed(std::uint16_t port) {
    return std::make_unique<F1Feed>(port, encodeF1Motion<Year>, encodeF1ExtendedMotion<Year>);
}

}  // namespace

template <int Year>
std::vector<std::uint8_t> encodeF1Motion(const VehicleMotion& m) {
    std::vector<std::uint8_t> datagram(headerSize + carCount * carRecordSize);
    const std::span<std::uint8_t> bytes(datagram);
    putHeader(bytes, Year, motionPacket, m);
    for (std::size_t car = 0; car < carCount; ++car) {
        putCar(bytes, headerSize + car * carRecordSize, car == f1PlayerCar ? m : rival(m, car));
    }
    return datagram;
}

template <int Year>
std::vector<std::uint8_t> encodeF1ExtendedMotion(const VehicleMotion& m) {
    // F1 24 added five values at the end (aero heights, roll angles, chassis yaw).
    std::vector<std::uint8_t> datagram(Year == 2023 ? 217 : 237);
    const std::span<std::uint8_t> bytes(datagram);
    putHeader(bytes, Year, extendedMotionPacket, m);
    // Suspension, wheel and force values from 29 to 156 stay 0 here.
    putFloat(bytes, 157, 0.3);  // height of the centre of gravity
    putFloat(bytes, 161, m.lateralSpeed);
    putFloat(bytes, 165, m.verticalSpeed);
    putFloat(bytes, 169, m.longitudinalSpeed);
    // Rotation about the roll, pitch and yaw axes, each counted the other way from the engine.
    putFloat(bytes, 173, -m.rollRate);
    putFloat(bytes, 177, -m.pitchRate);
    putFloat(bytes, 181, -m.yawRate);
    putFloat(bytes, 185, -m.rollAccel);
    putFloat(bytes, 189, -m.pitchAccel);
    putFloat(bytes, 193, -m.yawAccel);
    return datagram;
}

template std::vector<std::uint8_t> encodeF1Motion<2023>(const VehicleMotion&);
template std::vector<std::uint8_t> encodeF1Motion<2024>(const VehicleMotion&);
template std::vector<std::uint8_t> encodeF1ExtendedMotion<2023>(const VehicleMotion&);
template std::vector<std::uint8_t> encodeF1ExtendedMotion<2024>(const VehicleMotion&);

const GameEncoder f1_23Encoder{"f1_23", "F1-2023-24", framesPerSecond, Transport::datagrams, 20777, "F1_23.exe",
                               openF1Feed<2023>};
const GameEncoder f1_24Encoder{"f1_24", "F1-2023-24", framesPerSecond, Transport::datagrams, 20777, "F1_24.exe",
                               openF1Feed<2024>};

}  // namespace tarvelin::emulator
