// The emulator's drive must be physically consistent, or tests that feed it to the engine
// would check the engine against nonsense.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "drive_script.h"

namespace tarvelin::emulator {
namespace {

constexpr double step = 0.001;

class DriveScriptTest : public testing::Test {
protected:
    DriveScript script;

    // Integrates `rate` of the script's motion from `from` to `to` (trapezoids).
    template <typename Rate>
    double integral(double from, double to, Rate rate) const {
        double sum = 0.0;
        double previous = rate(script.at(from));
        for (double t = from + step; t <= to + step / 2; t += step) {
            const double current = rate(script.at(t));
            sum += 0.5 * (previous + current) * step;
            previous = current;
        }
        return sum;
    }

    // The extreme of a value over a stretch of the lap.
    template <typename Value>
    std::pair<double, double> range(double from, double to, Value value) const {
        double low = 1e300, high = -1e300;
        for (double t = from; t <= to; t += 0.01) {
            const double v = value(script.at(t));
            low = std::min(low, v);
            high = std::max(high, v);
        }
        return {low, high};
    }
};

TEST_F(DriveScriptTest, PlaysLaunchBrakingCornerAndBumps) {
    const auto launch = range(1.0, 8.0, [](const VehicleMotion& m) { return m.longitudinalAccel; });
    EXPECT_GT(launch.second, 6.0);
    EXPECT_LT(launch.second, 10.0);
    const auto braking = range(10.0, 13.0, [](const VehicleMotion& m) { return m.longitudinalAccel; });
    EXPECT_LT(braking.first, -5.0);
    EXPECT_GT(braking.first, -9.0);
    const auto corner = range(14.0, 18.0, [](const VehicleMotion& m) { return m.lateralAccel; });
    EXPECT_NEAR(corner.first, 15.0 * 15.0 / 50.0, 0.05);
    const auto bumps = range(20.4, 21.9, [](const VehicleMotion& m) { return m.verticalAccel; });
    EXPECT_GT(bumps.second - bumps.first, 5.0);
    const auto atRest = script.at(0.5);
    EXPECT_EQ(atRest.longitudinalSpeed, 0.0);
    EXPECT_EQ(script.at(28.0).longitudinalSpeed, 0.0);
}

TEST_F(DriveScriptTest, SpeedsAreTheIntegralsOfTheAccelerations) {
    // Over the launch and the braking the body pitches a little, which the projection of the
    // path onto its axes shows as a few mm/s.
    EXPECT_NEAR(integral(0.0, 10.0, [](const VehicleMotion& m) { return m.longitudinalAccel; }),
                script.at(10.0).longitudinalSpeed, 0.05);
    EXPECT_NEAR(integral(10.0, 13.0, [](const VehicleMotion& m) { return m.longitudinalAccel; }),
                script.at(13.0).longitudinalSpeed - script.at(10.0).longitudinalSpeed, 0.05);
    // Over the bumps the car goes up and down again.
    const double height = integral(20.0, 20.7, [](const VehicleMotion& m) {
        return m.verticalSpeed * std::cos(m.pitch) + m.longitudinalSpeed * std::sin(m.pitch);
    });
    EXPECT_NEAR(height, script.at(20.7).worldZ - script.at(20.0).worldZ, 1e-3);
}

TEST_F(DriveScriptTest, AnglesAreTheIntegralsOfTheirRates) {
    EXPECT_NEAR(integral(0.0, 29.0, [](const VehicleMotion& m) { return m.yawRate; }), 1.5, 0.01);
    for (const auto& [from, to] : {std::pair{1.0, 4.0}, std::pair{20.0, 21.0}, std::pair{13.0, 14.5}}) {
        EXPECT_NEAR(integral(from, to, [](const VehicleMotion& m) { return m.pitchRate; }),
                    script.at(to).pitch - script.at(from).pitch, 1e-5);
        EXPECT_NEAR(integral(from, to, [](const VehicleMotion& m) { return m.rollRate; }),
                    script.at(to).roll - script.at(from).roll, 1e-5);
        EXPECT_NEAR(integral(from, to, [](const VehicleMotion& m) { return m.pitchAccel; }),
                    script.at(to).pitchRate - script.at(from).pitchRate, 1e-4);
        EXPECT_NEAR(integral(from, to, [](const VehicleMotion& m) { return m.yawAccel; }),
                    script.at(to).yawRate - script.at(from).yawRate, 1e-4);
    }
}

TEST_F(DriveScriptTest, TheCornerTurnsRightAndItsForcesMatchSpeedAndYawRate) {
    const auto entry = script.at(13.0);
    const auto exit = script.at(19.0);
    // Heading grows clockwise: a right-hander.
    EXPECT_NEAR(exit.yaw - entry.yaw, 1.5, 0.01);
    for (double t = 14.0; t <= 18.0; t += 0.5) {
        const auto m = script.at(t);
        EXPECT_NEAR(m.lateralAccel, m.longitudinalSpeed * m.yawRate, 0.01) << t;
        // Leaning out of the corner: the right side rises.
        EXPECT_GT(m.roll, 0.0);
    }
    // The path bends the way the heading says: travelled distance and direction agree.
    const auto a = script.at(16.0);
    const auto b = script.at(16.01);
    const double travelled = std::hypot(b.worldX - a.worldX, b.worldY - a.worldY) / 0.01;
    EXPECT_NEAR(travelled, 15.0, 0.01);
    EXPECT_NEAR(std::atan2(b.worldX - a.worldX, b.worldY - a.worldY), a.yaw, 0.01);
}

TEST_F(DriveScriptTest, LapsFollowOnWithoutAJump) {
    const auto end = script.at(DriveScript::lapSeconds - 0.001);
    const auto start = script.at(DriveScript::lapSeconds + 0.001);
    EXPECT_NEAR(start.worldX, end.worldX, 1e-6);
    EXPECT_NEAR(start.worldY, end.worldY, 1e-6);
    EXPECT_NEAR(start.yaw, end.yaw, 1e-6);
    // Second lap's corner turns on from where the first left off.
    const auto secondCorner = script.at(DriveScript::lapSeconds + 19.0);
    EXPECT_NEAR(std::remainder(secondCorner.yaw - 3.0, 2 * std::numbers::pi), 0.0, 0.02);
}

}  // namespace
}  // namespace tarvelin::emulator
