// The NoLimits 2 reader (the server's stream, the telemetry frame, the estimated rates and speeds)
// and the Flight Simulator reader (the client's message queue and its data block).

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "flight_simulator_encoder.h"
#include "games/flight_simulator_reader.h"
#include "games/gravity_split.h"
#include "games/nolimits_reader.h"
#include "nolimits2_encoder.h"
#include "scripted_simulator.h"

namespace tarvelin {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr double g = standardGravity;
constexpr double degreesPerRadian = 180.0 / std::numbers::pi;
constexpr double nan = std::numeric_limits<double>::quiet_NaN();

double radians(double degrees) { return degrees / degreesPerRadian; }

// ---- NoLimits 2 ----

Bytes telemetryMessage(const emulator::VehicleMotion& motion, std::uint32_t frame, std::uint32_t state = 1) {
    const auto message = emulator::encodeNoLimitsTelemetry(motion, frame, state, 3243);
    return {message.begin(), message.end()};
}

NoLimitsTelemetry telemetryOf(const emulator::VehicleMotion& motion, std::uint32_t frame) {
    return *parseNoLimitsTelemetry(telemetryMessage(motion, frame));
}

emulator::VehicleMotion attitude(double yawDegrees, double pitchDegrees, double rollDegrees) {
    emulator::VehicleMotion motion;
    motion.yaw = radians(yawDegrees);
    motion.pitch = radians(pitchDegrees);
    motion.roll = radians(rollDegrees);
    return motion;
}

TEST(NoLimitsStream, CutsMessagesOutOfWhateverTheReceivesBring) {
    const Bytes telemetry = telemetryMessage({}, 1);
    const auto ok = noLimitsRequest(1, 7);
    auto join = [](std::initializer_list<Bytes> parts) {
        Bytes all;
        for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    Bytes badTrailer = telemetry;
    badTrailer[85] = 'M';
    const Bytes oversized = {'N', 0, 6, 0, 0, 0, 1, 0xFF, 0xFF};
    const auto head = [&](std::ptrdiff_t n) { return Bytes(telemetry.begin(), telemetry.begin() + n); };
    const auto tail = [&](std::ptrdiff_t n) { return Bytes(telemetry.begin() + n, telemetry.end()); };
    struct Case {
        const char* name;
        std::vector<Bytes> receives;
        std::vector<std::vector<std::uint16_t>> typesAfterEach;  // message types taken after each receive
    };
    const Case cases[] = {
        {"one whole message", {telemetry}, {{6}}},
        {"a message in two halves", {head(40), tail(40)}, {{}, {6}}},
        {"a header cut short", {head(5), tail(5)}, {{}, {6}}},
        {"two messages in one receive", {join({telemetry, Bytes(ok.begin(), ok.end())})}, {{6, 1}}},
        {"stray bytes before a message", {join({Bytes{'x', 'L', 0}, telemetry})}, {{6}}},
        {"a frame whose 'L' is missing", {join({badTrailer, telemetry})}, {{6}}},
        {"a size no message can have", {join({oversized, telemetry})}, {{6}}},
        {"a message and a half, then the rest", {join({telemetry, head(50)}), tail(50)}, {{6}, {6}}},
    };
    for (const Case& c : cases) {
        NoLimitsStream stream;
        for (std::size_t i = 0; i < c.receives.size(); ++i) {
            const auto space = stream.freeSpace();
            ASSERT_GE(space.size(), c.receives[i].size()) << c.name;
            std::memcpy(space.data(), c.receives[i].data(), c.receives[i].size());
            stream.received(c.receives[i].size());
            std::vector<std::uint16_t> types;
            for (auto message = stream.next(); !message.empty(); message = stream.next()) {
                types.push_back(static_cast<std::uint16_t>(message[1] << 8 | message[2]));
            }
            EXPECT_EQ(types, c.typesAfterEach[i]) << c.name << ", receive " << i;
        }
    }
}

TEST(NoLimitsStream, OnlyATelemetryMessageCarriesTelemetry) {
    EXPECT_TRUE(parseNoLimitsTelemetry(telemetryMessage({}, 1)).has_value());
    Bytes otherType = telemetryMessage({}, 1);
    otherType[2] = 7;
    EXPECT_FALSE(parseNoLimitsTelemetry(otherType).has_value());
    Bytes otherTrailer = telemetryMessage({}, 1);
    otherTrailer[85] = 'M';
    EXPECT_FALSE(parseNoLimitsTelemetry(otherTrailer).has_value());
    const auto ok = noLimitsRequest(1, 1234);
    EXPECT_FALSE(parseNoLimitsTelemetry(ok).has_value());
}

// The attitude as the game reports it (yaw counter-clockwise), and gravity in the car's frame
// whichever way the car faces: what the riders feel less gravity is the car's own acceleration.
TEST(NoLimitsTelemetryFrame, GivesAttitudeAndGravityInTheCarsFrame) {
    struct Case {
        const char* name;
        double yaw, pitch, roll;                   // degrees, the engine's senses
        std::optional<double> reportedYaw;         // empty where the attitude is not compared
    };
    const Case cases[] = {
        {"level", 0, 0, 0, 0.0},
        {"nose up", 0, 30, 0, 0.0},
        {"right side up", 0, 0, 20, 0.0},
        {"turned right", 90, 0, 0, -90.0},
        {"turned right, nose up", 90, 30, 0, -90.0},
        {"turned left on a slope, banked", -120, -15, 25, std::nullopt},
    };
    for (const Case& c : cases) {
        emulator::VehicleMotion motion = attitude(c.yaw, c.pitch, c.roll);
        motion.lateralAccel = 3.0;
        motion.longitudinalAccel = -2.0;
        motion.verticalAccel = 1.0;
        GameData record;
        NoLimitsMotion state;
        ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(motion, 1), state, record)) << c.name;
        const auto& ch = record.channels;
        if (c.reportedYaw) {
            EXPECT_NEAR(ch[yawPosition], *c.reportedYaw, 1e-4) << c.name;
            EXPECT_NEAR(ch[pitchPosition], c.pitch, 1e-4) << c.name;
            EXPECT_NEAR(ch[rollPosition], c.roll, 1e-4) << c.name;
        }
        const double p = radians(c.pitch), r = radians(c.roll);
        EXPECT_NEAR(ch[lateralGravi], g * std::cos(p) * std::sin(r), 1e-5) << c.name;
        EXPECT_NEAR(ch[longitudinalGravi], g * std::sin(p), 1e-5) << c.name;
        EXPECT_NEAR(ch[verticalGravi], g * std::cos(p) * std::cos(r), 1e-5) << c.name;
        EXPECT_NEAR(ch[lateralAccel], 3.0, 1e-5) << c.name;
        EXPECT_NEAR(ch[longitudinalAccel], -2.0, 1e-5) << c.name;
        EXPECT_NEAR(ch[verticalAccel], 1.0, 1e-5) << c.name;
        EXPECT_DOUBLE_EQ(ch[lateralAccelG], ch[lateralAccel] + ch[lateralGravi]) << c.name;
    }
}

TEST(NoLimitsTelemetryFrame, ARollSineRoundedPastOneGivesNinetyDegrees) {
    NoLimitsTelemetry telemetry = telemetryOf({}, 1);
    // A quarter turn about z whose components were rounded up: 2·w·z comes to 1.0003.
    telemetry.rotation[0] = telemetry.rotation[1] = 0.0f;
    telemetry.rotation[2] = telemetry.rotation[3] = 0.7072f;
    GameData record;
    NoLimitsMotion state;
    ASSERT_TRUE(applyNoLimitsTelemetry(telemetry, state, record));
    EXPECT_NEAR(record.channels[rollPosition], 90.0, 1e-9);
    for (const double channel : record.channels) EXPECT_TRUE(std::isfinite(channel));
}

TEST(NoLimitsTelemetryFrame, FramesThatCarryNothingNewLeaveEverythingAsItWas) {
    struct Case {
        const char* name;
        void (*spoil)(NoLimitsTelemetry&);
    };
    const Case cases[] = {
        {"no ride is played", [](NoLimitsTelemetry& t) { t.state = 0; }},
        {"the frame seen last", [](NoLimitsTelemetry& t) { t.frameNumber = 5; }},
        {"speed not a number", [](NoLimitsTelemetry& t) { t.speed = static_cast<float>(nan); }},
        {"infinite g-force", [](NoLimitsTelemetry& t) { t.gForce[1] = std::numeric_limits<float>::infinity(); }},
        {"orientation of no length", [](NoLimitsTelemetry& t) { std::fill(t.rotation, t.rotation + 4, 0.0f); }},
    };
    for (const Case& c : cases) {
        GameData record;
        NoLimitsMotion state;
        ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(attitude(10, 5, 3), 5), state, record));
        const GameData recordBefore = record;
        const NoLimitsMotion stateBefore = state;
        NoLimitsTelemetry telemetry = telemetryOf(attitude(40, 20, 10), 6);
        c.spoil(telemetry);
        EXPECT_FALSE(applyNoLimitsTelemetry(telemetry, state, record)) << c.name;
        EXPECT_EQ(std::memcmp(&record, &recordBefore, sizeof record), 0) << c.name;
        EXPECT_EQ(std::memcmp(&state, &stateBefore, sizeof state), 0) << c.name;
    }
}

// The game sends no rates: they come from the turn between frames, in the car's own axes and in
// the senses of the reported angles, taken as made over 10 ms and smoothed.
TEST(NoLimitsTelemetryFrame, EstimatesEachRateFromTheTurnAboutItsAxis) {
    struct Case {
        const char* name;
        emulator::VehicleMotion start;
        double emulator::VehicleMotion::*angle;
        Channel rate;
        double sign;  // the reported angle's sense against the engine's
    };
    const Case cases[] = {
        {"pitching up", {}, &emulator::VehicleMotion::pitch, pitchSpeed, 1.0},
        {"pitching up while facing east", attitude(90, 0, 0), &emulator::VehicleMotion::pitch, pitchSpeed, 1.0},
        {"rolling right side up", {}, &emulator::VehicleMotion::roll, rollSpeed, 1.0},
        {"turning right", {}, &emulator::VehicleMotion::yaw, yawSpeed, -1.0},
    };
    const double turnPerFrame = 0.01;  // rad: 1 rad/s over the 10 ms the estimate assumes
    for (const Case& c : cases) {
        GameData record;
        NoLimitsMotion state;
        emulator::VehicleMotion motion = c.start;
        ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(motion, 1), state, record));
        EXPECT_EQ(record.channels[frontLeftSuspension], 0.0) << c.name << ": no turn before a first frame";
        for (std::uint32_t frame = 2; frame < 60; ++frame) {
            motion.*c.angle += turnPerFrame;
            ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(motion, frame), state, record));
        }
        EXPECT_NEAR(record.channels[frontLeftSuspension], turnPerFrame, 1e-5) << c.name;
        // Smoothing with its slight decay settles 2 % under the turn rate.
        EXPECT_NEAR(record.channels[c.rate], c.sign * 0.9798 * degreesPerRadian, 0.05) << c.name;
        for (const Channel other : {pitchSpeed, rollSpeed, yawSpeed}) {
            if (other != c.rate) {
                EXPECT_NEAR(record.channels[other], 0.0, 0.05) << c.name;
            }
        }

        // Standing still, or a jump no car makes in one frame: the rates keep their values.
        const double rate = record.channels[c.rate];
        ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(motion, 60), state, record));
        EXPECT_EQ(record.channels[frontLeftSuspension], 0.0) << c.name;
        EXPECT_EQ(record.channels[c.rate], rate) << c.name;
        motion.*c.angle += 1.0;
        ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(motion, 61), state, record));
        EXPECT_NEAR(record.channels[frontLeftSuspension], 1.0, 1e-5) << c.name;
        EXPECT_EQ(record.channels[c.rate], rate) << c.name;
    }
}

TEST(NoLimitsTelemetryFrame, SpeedsFollowTheAccelerationAndSettleToZeroAtRest) {
    GameData record;
    record.frameTimeMs = 10.0;
    NoLimitsMotion state;
    emulator::VehicleMotion motion;
    motion.longitudinalAccel = 2.0;
    std::uint32_t frame = 1;
    for (; frame <= 200; ++frame) ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(motion, frame), state, record));
    EXPECT_GT(record.channels[longitudinalSpeed], 1.0);
    EXPECT_NEAR(record.channels[lateralSpeed], 0.0, 1e-3);
    motion.longitudinalAccel = 0.0;
    for (; frame <= 20000 && record.channels[longitudinalSpeed] != 0.0; ++frame) {
        ASSERT_TRUE(applyNoLimitsTelemetry(telemetryOf(motion, frame), state, record));
    }
    EXPECT_EQ(record.channels[longitudinalSpeed], 0.0) << "the speed never came to rest";
    EXPECT_EQ(state.speedIntegrators[1], 0.0);
}

// ---- Flight Simulator ----

// A data block whose values tell every entry apart: entry i holds (i + 1) / 10.
emulator::SimulatorData numberedData() {
    emulator::SimulatorData data;
    for (std::size_t i = 0; i < data.values.size(); ++i) data.values[i] = static_cast<double>(i + 1) / 10.0;
    return data;
}

Bytes dataWithLateralAccel(double value, std::uint32_t request = 0) {
    emulator::SimulatorData data = numberedData();
    data.values[0] = value;
    return emulator::simConnectDataMessage(request, data);
}

TEST(FlightSimulatorDataBlock, TakesEachValueIntoItsChannelWithItsSignAndUnit) {
    GameData record;
    record.channels[speed] = 42.0;
    std::int32_t selector = 7;
    ASSERT_EQ(applyFlightSimulatorMessage(emulator::simConnectDataMessage(0, numberedData()), record, selector),
              SimulatorMessage::data);
    const auto& c = record.channels;
    const double deg = 180.0 / 3.14159265358979;
    EXPECT_DOUBLE_EQ(c[lateralAccel], 0.1);
    EXPECT_DOUBLE_EQ(c[verticalAccel], 0.2);
    EXPECT_DOUBLE_EQ(c[longitudinalAccel], 0.3);
    EXPECT_DOUBLE_EQ(c[lateralSpeed], -0.7);
    EXPECT_DOUBLE_EQ(c[verticalSpeed], -0.8);
    EXPECT_DOUBLE_EQ(c[longitudinalSpeed], 0.9);
    EXPECT_DOUBLE_EQ(c[pitchSpeed], -1.0 * deg);
    EXPECT_DOUBLE_EQ(c[yawSpeed], -1.1 * deg);
    EXPECT_DOUBLE_EQ(c[rollSpeed], -1.2 * deg);
    EXPECT_DOUBLE_EQ(c[yawPosition], 1.3 * deg);
    EXPECT_DOUBLE_EQ(c[rollPosition], 1.4 * deg);
    EXPECT_DOUBLE_EQ(c[pitchPosition], -1.5 * deg);
    EXPECT_EQ(selector, 0);
    // Rotation accelerations are not taken, nor anything the simulator was not asked for.
    EXPECT_EQ(c[yawAccel], 0.0);
    EXPECT_EQ(c[speed], 42.0);
    EXPECT_EQ(c[lateralAccelG], 0.0) << "gravity is the reader's";
}

TEST(FlightSimulatorDataBlock, SimOnGroundAloneSelectsTheGroundProfile) {
    struct Case {
        std::int64_t gearOnGround, simOnGround;
        std::int32_t selector;
    };
    for (const Case c : {Case{0, 1, 1}, Case{1, 0, 0}, Case{1, 1, 1}, Case{0, 0, 0}, Case{1, 2, 0}}) {
        emulator::SimulatorData data = numberedData();
        data.gearOnGround = c.gearOnGround;
        data.simOnGround = c.simOnGround;
        GameData record;
        std::int32_t selector = -1;
        applyFlightSimulatorMessage(emulator::simConnectDataMessage(0, data), record, selector);
        EXPECT_EQ(selector, c.selector) << "gear " << c.gearOnGround << ", sim " << c.simOnGround;
    }
}

TEST(FlightSimulatorDataBlock, WhatIsNotAWholeFiniteBlockOfTheRequestChangesNothing) {
    Bytes cut = emulator::simConnectDataMessage(0, numberedData());
    cut.pop_back();
    Bytes cutEvent = emulator::simConnectEventMessage(7);
    cutEvent.resize(16);
    emulator::SimulatorData notANumber = numberedData();
    notANumber.values[13] = nan;
    const std::pair<const char*, Bytes> cases[] = {
        {"another request's data", emulator::simConnectDataMessage(1, numberedData())},
        {"a block one byte short", cut},
        {"a bank that is not a number", emulator::simConnectDataMessage(0, notANumber)},
        {"a message shorter than its header", Bytes{12, 0, 0, 0, 0, 0, 0, 0, 8}},
        {"a Quit event cut short", cutEvent},
        {"nothing at all", Bytes{}},
    };
    const GameData untouched;
    for (const auto& [name, message] : cases) {
        GameData record;
        std::int32_t selector = 5;
        EXPECT_EQ(applyFlightSimulatorMessage(message, record, selector), SimulatorMessage::other) << name;
        EXPECT_EQ(std::memcmp(&record, &untouched, sizeof record), 0) << name;
        EXPECT_EQ(selector, 5) << name;
    }
}

// The reader drains the client's queue every cycle: what each queue leaves in the record, and
// whether the simulator is still connected afterwards.
TEST(FlightSimulatorReader, DrainsTheQueueUpToAnExceptionOrAQuit) {
    const auto event = emulator::simConnectEventMessage;
    const Bytes exception = emulator::simConnectExceptionMessage(3);
    const Bytes quit = emulator::simConnectQuitMessage();
    const Bytes first = dataWithLateralAccel(1.5);
    const Bytes second = dataWithLateralAccel(2.5);
    struct Case {
        const char* name;
        std::vector<Bytes> queue;
        bool delivered;
        double lateralAccel;  // what the record holds afterwards (0: no block applied)
        std::size_t left;     // messages left in the queue
    };
    const Case cases[] = {
        {"an empty queue", {}, true, 0.0, 0},
        {"one data block", {first}, true, 1.5, 0},
        {"the newest of several blocks", {first, second}, true, 2.5, 0},
        {"an exception ends the draining", {first, exception, second}, true, 1.5, 1},
        {"Crashed and the other events are ignored", {event(6), event(3), event(4), event(5), second}, true, 2.5, 0},
        {"another request's block is ignored", {dataWithLateralAccel(4.5, 1)}, true, 0.0, 0},
        {"the quit message", {first, quit, second}, false, 1.5, 1},
        {"the Quit event", {event(7)}, false, 0.0, 0},
    };
    for (const Case& c : cases) {
        test::ScriptedSimulator simulator;
        simulator.answers = true;
        FlightSimulatorReader reader;
        std::int32_t result = 0;
        reader.client = simulator.open(FlightSimulatorReader::clientName, &result);
        reader.clientState = 1;
        simulator.messages.assign(c.queue.begin(), c.queue.end());
        GameData record;
        record.frameTimeMs = -1.0;

        EXPECT_EQ(reader.read(record), c.delivered) << c.name;
        EXPECT_EQ(record.channels[lateralAccel], c.lateralAccel) << c.name;
        EXPECT_EQ(simulator.messages.size(), c.left) << c.name;
        if (c.delivered) {
            // A delivered frame, also from an empty queue: the interval and gravity are current.
            EXPECT_GE(record.frameTimeMs, 0.0) << c.name;
            const auto& ch = record.channels;
            EXPECT_DOUBLE_EQ(ch[lateralAccelG], ch[lateralAccel] + ch[lateralGravi]) << c.name;
            EXPECT_GT(record.channels[verticalGravi], 0.0) << c.name;
            EXPECT_EQ(simulator.clientsOpen(), 1) << c.name;
        } else {
            // A quit closes the client; later calls deliver nothing and leave the record alone.
            EXPECT_EQ(record.frameTimeMs, -1.0) << c.name;
            EXPECT_EQ(reader.client, nullptr) << c.name;
            EXPECT_EQ(reader.clientState, 0u) << c.name;
            EXPECT_EQ(simulator.clientsOpen(), 0) << c.name;
            const GameData before = record;
            EXPECT_FALSE(reader.read(record)) << c.name;
            EXPECT_EQ(std::memcmp(&record, &before, sizeof record), 0) << c.name;
        }
    }
}

}  // namespace
}  // namespace tarvelin
