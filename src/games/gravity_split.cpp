#include "games/gravity_split.h"

#include <cmath>
#include <numbers>

namespace tarvelin {

namespace {

double radians(double degrees) { return degrees / 180.0 * std::numbers::pi; }

// Indices of one translational group: its acceleration, felt acceleration and gravity channels.
struct Group {
    Channel accel;
    Channel accelG;
    Channel gravi;
};

constexpr Group groups[] = {
    {lateralAccel, lateralAccelG, lateralGravi},
    {longitudinalAccel, longitudinalAccelG, longitudinalGravi},
    {verticalAccel, verticalAccelG, verticalGravi},
};

}  // namespace

void applyGravitySplit(GameData& record, GravityForm form, LongitudinalGravity longitudinal) {
    auto& channels = record.channels;
    const double pitch = radians(channels[pitchPosition]);
    const double roll = radians(channels[rollPosition]);
    const double longitudinalSign = longitudinal == LongitudinalGravity::alongPitch ? 1.0 : -1.0;

    // The gravity vector turned into the vehicle's frame by its attitude, heading taken as 0.
    channels[lateralGravi] = standardGravity * std::cos(pitch) * std::sin(roll);
    channels[longitudinalGravi] = longitudinalSign * standardGravity * std::sin(pitch);
    channels[verticalGravi] = standardGravity * std::cos(pitch) * std::cos(roll);

    for (const Group& group : groups) {
        if (form == GravityForm::sum) {
            channels[group.accelG] = channels[group.accel] + channels[group.gravi];
        } else {
            channels[group.accel] = channels[group.accelG] - channels[group.gravi];
        }
    }
}

}  // namespace tarvelin
