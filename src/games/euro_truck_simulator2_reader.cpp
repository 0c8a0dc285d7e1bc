#include "games/euro_truck_simulator2_reader.h"

#include <algorithm>
#include <cmath>

namespace tarvelin {

namespace {

constexpr float degreesPerTurn = 360.0f;

struct TruckField {
    std::size_t offset;
    Channel channel;
    float factor;  // applied in single precision, before the value is widened
};

constexpr TruckField fields[] = {
    {41, speed, 1.0f},
    {45, rpm, 1.0f},
    {69, lateralSpeed, 1.0f},
    {73, verticalSpeed, 1.0f},
    {77, longitudinalSpeed, -1.0f},
    {93, lateralAccel, 1.0f},
    {97, verticalAccel, 1.0f},
    {101, longitudinalAccel, -1.0f},
    {81, pitchSpeed, degreesPerTurn},
    {85, yawSpeed, degreesPerTurn},
    {89, rollSpeed, -degreesPerTurn},
    {105, pitchAccel, degreesPerTurn},
    {109, yawAccel, degreesPerTurn},
    {113, rollAccel, -degreesPerTurn},
};

// Held to the range; a value that is not a number stays one, so that the frame is refused.
double heldTo(double value, double low, double high) {
    return std::isfinite(value) ? std::clamp(value, low, high) : value;
}

}  // namespace

bool applyEuroTruckSimulator2Block(BlockBytes block, GameData& record) {
    if (block.size() < euroTruckSimulator2BytesRead || block[0] == 0) return false;
    constexpr std::size_t count = std::size(fields);
    DecodedFrame<count + 3> frame{};
    for (std::size_t i = 0; i < count; ++i) {
        frame.channels[i] = fields[i].channel;
        // The sign changes come with the factor: -(x·360) and x·(-360) are the same float.
        frame.values[i] = static_cast<double>(float32At(block, fields[i].offset) * fields[i].factor);
    }
    frame.channels[count] = yawPosition;
    frame.values[count] = heldTo(static_cast<double>(float32At(block, 25)) * 360.0, 0.0, 360.0);
    frame.channels[count + 1] = pitchPosition;
    frame.values[count + 1] = heldTo(static_cast<double>(float32At(block, 29) * degreesPerTurn), -90.0, 90.0);
    frame.channels[count + 2] = rollPosition;
    frame.values[count + 2] = heldTo(static_cast<double>(float32At(block, 33) * -degreesPerTurn), -180.0, 180.0);
    return frame.commitTo(record);
}

bool EuroTruckSimulator2Reader::read(GameData& record) {
    return deliverBlockFrame(
        opened && steadyCopy.take(viewBytes(block)) && applyEuroTruckSimulator2Block(steadyCopy.bytes(), record), *this,
        record);
}

}  // namespace tarvelin
