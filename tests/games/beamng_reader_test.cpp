#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "beamng_encoder.h"
#include "drive_script.h"
#include "games/beamng_reader.h"
#include "support/loopback.h"
#include "telemetry_emulator.h"

namespace tarvelin {
namespace {

constexpr double degreesPerRadian = 180.0 / 3.14159265358979;

// A datagram whose float at offset 4·i holds `base` + i, so that every field is told apart.
std::vector<std::uint8_t> numberedDatagram(float base) {
    std::vector<std::uint8_t> datagram(88);
    std::memcpy(datagram.data(), "BNG1", 4);
    for (std::size_t offset = 4; offset < 88; offset += 4) {
        const float value = base + static_cast<float>(offset / 4);
        std::memcpy(datagram.data() + offset, &value, 4);
    }
    return datagram;
}

void putFloat(std::vector<std::uint8_t>& datagram, std::size_t offset, float value) {
    std::memcpy(datagram.data() + offset, &value, 4);
}

TEST(BeamNgDecoder, TakesEachFieldIntoItsChannelWithItsSignAndUnit) {
    GameData record;
    record.channels[speed] = 42.0;
    ASSERT_TRUE(applyBeamNgDatagram(numberedDatagram(0.25f), record));
    const auto& c = record.channels;
    // Offsets 16..36: velocity and acceleration, all turned round.
    EXPECT_DOUBLE_EQ(c[lateralSpeed], -4.25);
    EXPECT_DOUBLE_EQ(c[longitudinalSpeed], -5.25);
    EXPECT_DOUBLE_EQ(c[verticalSpeed], -6.25);
    EXPECT_DOUBLE_EQ(c[lateralAccel], -7.25);
    EXPECT_DOUBLE_EQ(c[longitudinalAccel], -8.25);
    EXPECT_DOUBLE_EQ(c[verticalAccel], -9.25);
    // Offsets 52..84: roll, pitch, yaw, each as position, rate and acceleration; yaw turned round.
    EXPECT_NEAR(c[rollPosition], 13.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[pitchPosition], 14.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[yawPosition], -15.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[rollSpeed], 16.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[pitchSpeed], 17.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[yawSpeed], -18.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[rollAccel], 19.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[pitchAccel], 20.25 * degreesPerRadian, 1e-9);
    EXPECT_NEAR(c[yawAccel], -21.25 * degreesPerRadian, 1e-9);
    // The decoder leaves gravity to the reader and other channels alone.
    EXPECT_EQ(c[lateralAccelG], 0.0);
    EXPECT_EQ(c[verticalGravi], 0.0);
    EXPECT_EQ(c[speed], 42.0);
}

TEST(BeamNgDecoder, SkipsWhatIsNotAWholeFiniteFrame) {
    const GameData untouched;
    const auto check = [&](std::vector<std::uint8_t> datagram, const char* what) {
        GameData record;
        EXPECT_FALSE(applyBeamNgDatagram(datagram, record)) << what;
        EXPECT_EQ(std::memcmp(&record, &untouched, sizeof record), 0) << what;
    };
    auto otherMagic = numberedDatagram(1.0f);
    otherMagic[3] = '2';
    check(otherMagic, "fourth magic byte differs");
    auto truncated = numberedDatagram(1.0f);
    truncated.resize(87);
    check(truncated, "one byte short");
    check({'B', 'N'}, "two bytes");
    check({}, "empty");
    for (const float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        auto datagram = numberedDatagram(1.0f);
        putFloat(datagram, 84, bad);
        check(datagram, "non-finite yaw acceleration");
        datagram = numberedDatagram(1.0f);
        putFloat(datagram, 16, -bad);
        check(datagram, "non-finite lateral velocity");
    }
    // Position and up vector are not read, so what they hold does not matter.
    auto oddPosition = numberedDatagram(1.0f);
    putFloat(oddPosition, 4, std::numeric_limits<float>::quiet_NaN());
    GameData record;
    EXPECT_TRUE(applyBeamNgDatagram(oddPosition, record));
    // A longer datagram carries the same frame.
    auto longer = numberedDatagram(1.0f);
    longer.resize(200, 0xEE);
    EXPECT_TRUE(applyBeamNgDatagram(longer, record));
}

class BeamNgReaderOnLoopback : public testing::Test {
protected:
    void SetUp() override {
        port = test::freeUdpPort();
        ASSERT_EQ(reader.endpoint.open(port), 1);
    }
    void TearDown() override { reader.endpoint.close(); }

    // Reads until a frame arrives (datagrams on loopback take a moment).
    bool readWithin(std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        do {
            if (reader.read(record)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    std::uint16_t port = 0;
    BeamNgReader reader;
    GameData record;
};

TEST_F(BeamNgReaderOnLoopback, DrainsTheQueueKeepsTheNewestFrameAndAddsGravity) {
    emulator::TelemetryEmulator game(emulator::beamNgEncoder, port);
    ASSERT_TRUE(game.ready());
    for (const double time : {16.0, 16.01, 16.02}) ASSERT_TRUE(game.sendFrame(time));
    // All three wait before the read, so one read takes them all.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_TRUE(reader.read(record));
    const auto newest = game.script().at(16.02);
    const auto& c = record.channels;
    EXPECT_NEAR(c[lateralAccel], newest.lateralAccel, 1e-5);
    EXPECT_NEAR(c[rollPosition], newest.roll * degreesPerRadian, 1e-4);
    // In the corner the body leans out, and gravity then adds to the felt lateral force.
    EXPECT_GT(c[lateralAccel], 3.0);
    EXPECT_GT(c[lateralGravi], 0.0);
    EXPECT_DOUBLE_EQ(c[lateralAccelG], c[lateralAccel] + c[lateralGravi]);
    EXPECT_DOUBLE_EQ(c[verticalAccelG], c[verticalAccel] + c[verticalGravi]);
    EXPECT_DOUBLE_EQ(c[longitudinalAccelG], c[longitudinalAccel] + c[longitudinalGravi]);
    EXPECT_EQ(reader.endpoint.receiveIntoBuffer(), -1) << "a datagram was left behind";

    // Nothing new: no frame, the values stay, but the interval keeps counting from the last call.
    const auto before = c;
    const double intervalBefore = record.frameTimeMs;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(reader.read(record));
    EXPECT_EQ(record.channels, before);
    EXPECT_GT(record.frameTimeMs, 15.0);
    EXPECT_NE(record.frameTimeMs, intervalBefore);
}

TEST_F(BeamNgReaderOnLoopback, OtherDatagramsOnThePortDeliverNoFrame) {
    test::UdpPeer sender;
    auto foreign = numberedDatagram(1.0f);
    std::memcpy(foreign.data(), "OUTS", 4);
    sender.sendTo(port, foreign);
    EXPECT_FALSE(readWithin(std::chrono::milliseconds(100)));
    EXPECT_EQ(record.channels[lateralSpeed], 0.0);
}

}  // namespace
}  // namespace tarvelin
