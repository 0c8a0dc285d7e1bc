#include "games/assetto_corsa_reader.h"

#include <atomic>

namespace tarvelin {

namespace {

constexpr double pi = 3.14159265358979;
// The game gives its accelerations in g and counts one g as 9.81 m/s².
constexpr double gravityUnit = 9.81;

constexpr BlockField fields[] = {
    {44, lateralAccel, gravityUnit, false},
    {52, longitudinalAccel, gravityUnit, false},
    {48, verticalAccel, -gravityUnit, false},
    {568, lateralSpeed, 1.0, false},
    {576, longitudinalSpeed, 1.0, false},
    {572, verticalSpeed, 1.0, false},
    {300, yawSpeed, 1.0, true},
    {304, rollSpeed, 1.0, true},
    {296, pitchSpeed, 1.0, true},
    {208, yawPosition, -1.0, true},
    {216, rollPosition, -1.0, true},
    {212, pitchPosition, 1.0, true},
};

}  // namespace

bool applyAssettoCorsaPhysics(BlockBytes physics, std::int32_t& lastPacketNumber, GameData& record) {
    if (physics.size() < assettoCorsaPhysicsBytesRead) return false;
    const std::int32_t packetNumber = int32At(physics, 0);
    if (packetNumber == lastPacketNumber) return false;
    const auto frame = decodeFields<float>(physics, fields, pi);
    // The game writes the block while the engine reads it. When the packet number moved on
    // meanwhile, the fields may belong to two steps: the next call takes the newer one whole.
    // The fence keeps the compiler from taking the number read before for the one read now.
    std::atomic_signal_fence(std::memory_order_seq_cst);
    if (int32At(physics, 0) != packetNumber) return false;
    lastPacketNumber = packetNumber;
    return frame.commitTo(record);
}

bool AssettoCorsaReader::read(GameData& record) {
    return deliverBlockFrame(applyAssettoCorsaPhysics(viewBytes(physics), lastPacketNumber, record), *this, record);
}

}  // namespace tarvelin
