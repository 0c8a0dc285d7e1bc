#include <gtest/gtest.h>

#include <cmath>

#include "games/gravity_split.h"

namespace tarvelin {
namespace {

GameData attitude(double rollDegrees, double pitchDegrees) {
    GameData record;
    record.channels[rollPosition] = rollDegrees;
    record.channels[pitchPosition] = pitchDegrees;
    return record;
}

TEST(GravitySplit, LevelVehicleFeelsAllOfGravityVertically) {
    GameData record = attitude(0.0, 0.0);
    record.channels[verticalAccel] = 1.5;
    record.channels[lateralAccel] = -2.0;
    applyGravitySplit(record, GravityForm::sum);
    EXPECT_DOUBLE_EQ(record.channels[verticalGravi], 9.80665);
    EXPECT_DOUBLE_EQ(record.channels[lateralGravi], 0.0);
    EXPECT_DOUBLE_EQ(record.channels[longitudinalGravi], 0.0);
    EXPECT_DOUBLE_EQ(record.channels[verticalAccelG], 1.5 + 9.80665);
    EXPECT_DOUBLE_EQ(record.channels[lateralAccelG], -2.0);
}

TEST(GravitySplit, RollAndPitchTurnGravityIntoTheirAxes) {
    GameData rolled = attitude(90.0, 0.0);
    applyGravitySplit(rolled, GravityForm::sum);
    EXPECT_DOUBLE_EQ(rolled.channels[lateralGravi], 9.80665);
    EXPECT_NEAR(rolled.channels[verticalGravi], 0.0, 1e-12);

    GameData pitched = attitude(0.0, 30.0);
    applyGravitySplit(pitched, GravityForm::sum);
    EXPECT_NEAR(pitched.channels[longitudinalGravi], 9.80665 / 2.0, 1e-12);

    GameData againstPitch = attitude(0.0, 30.0);
    applyGravitySplit(againstPitch, GravityForm::sum, LongitudinalGravity::againstPitch);
    EXPECT_NEAR(againstPitch.channels[longitudinalGravi], -9.80665 / 2.0, 1e-12);

    // The components always add up to g.
    GameData tilted = attitude(-25.0, 40.0);
    applyGravitySplit(tilted, GravityForm::sum);
    const auto& c = tilted.channels;
    EXPECT_NEAR(std::hypot(c[lateralGravi], c[longitudinalGravi], c[verticalGravi]), 9.80665, 1e-12);
}

TEST(GravitySplit, DifferenceFormRecoversTheAccelerationFromTheFeltForce) {
    GameData record = attitude(10.0, -5.0);
    record.channels[lateralAccelG] = 3.0;
    record.channels[longitudinalAccelG] = -1.0;
    record.channels[verticalAccelG] = 9.0;
    applyGravitySplit(record, GravityForm::difference);
    const auto& c = record.channels;
    EXPECT_DOUBLE_EQ(c[lateralAccel], 3.0 - c[lateralGravi]);
    EXPECT_DOUBLE_EQ(c[longitudinalAccel], -1.0 - c[longitudinalGravi]);
    EXPECT_DOUBLE_EQ(c[verticalAccel], 9.0 - c[verticalGravi]);
    EXPECT_DOUBLE_EQ(c[lateralAccelG], 3.0);
}

}  // namespace
}  // namespace tarvelin
