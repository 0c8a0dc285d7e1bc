// The UDP games' decoders against the values each game sends, and their readers on loopback
// sockets: which datagrams count, what a read takes off the port and what it leaves there.

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <limits>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "byte_writer.h"
#include "drive_script.h"
#include "f1_encoder.h"
#include "games/condor2_reader.h"
#include "games/dcs_reader.h"
#include "games/dirt_rally2_reader.h"
#include "games/f1_reader.h"
#include "games/live_for_speed_reader.h"
#include "games/wrc23_reader.h"
#include "games/xplane_reader.h"
#include "support/loopback.h"
#include "wrc23_encoder.h"

namespace tarvelin {
namespace {

using Bytes = std::vector<std::uint8_t>;
using emulator::putFloat;

constexpr double g = 9.80665;
constexpr double pi = 3.14159265358979;
constexpr float nan = std::numeric_limits<float>::quiet_NaN();

double degrees(double radians) { return radians / pi * 180.0; }

Bytes text(const std::string& line) { return {line.begin(), line.end()}; }

// `size` bytes that begin with `lead`, with floats at the given offsets.
Bytes withFloats(std::size_t size, std::initializer_list<std::pair<std::size_t, float>> floats, const char* lead = "") {
    Bytes bytes(size);
    std::memcpy(bytes.data(), lead, std::min(std::strlen(lead), size));
    for (const auto& [offset, value] : floats) putFloat(std::span<std::uint8_t>(bytes), offset, value);
    return bytes;
}

bool untouched(const GameData& record) {
    const GameData fresh;
    return std::memcmp(&record, &fresh, sizeof record) == 0;
}

// --- X-Plane ---------------------------------------------------------------------------------

struct XPlaneRow {
    std::uint32_t index;
    float d[8];
};

Bytes xPlaneDatagram(std::initializer_list<XPlaneRow> rows) {
    Bytes datagram{'D', 'A', 'T', 'A', '*'};
    for (const XPlaneRow& row : rows) {
        const std::size_t start = datagram.size();
        datagram.resize(start + 36);
        emulator::putUnsigned(std::span<std::uint8_t>(datagram), start, row.index, 4);
        for (std::size_t i = 0; i < 8; ++i) putFloat(std::span<std::uint8_t>(datagram), start + 4 + 4 * i, row.d[i]);
    }
    return datagram;
}

TEST(XPlaneDecoder, TakesTheRowsItKnowsWithTheirSignsAndScales) {
    GameData record;
    std::int32_t selector = 0;
    const Bytes datagram = xPlaneDatagram({{3, {1, 2, 3, 4, 5, 6, 7, 61.5f}},
                                           {17, {4.5f, -7.25f, 271.5f, 270, 0, 0, 0, 0}},
                                           {66, {900, 3000, 3100, 0, 0, 0, 0, 0}},
                                           {135, {1.5f, 98.0f, -2.25f, 3.5f, -4.5f, 6.5f, 0, 0}},
                                           {20, {99, 99, 99, 99, 99, 99, 99, 99}}});
    ASSERT_TRUE(applyXPlaneDatagram(datagram, record, selector));
    const auto& c = record.channels;
    EXPECT_EQ(c[speed], 61.5);
    EXPECT_EQ(c[pitchPosition], 4.5);
    EXPECT_EQ(c[rollPosition], -7.25);
    EXPECT_EQ(c[yawPosition], -271.5);
    EXPECT_EQ(c[frontLeftSuspension], 900.0);
    EXPECT_EQ(c[frontRightSuspension], 900.0);
    EXPECT_EQ(c[rearRightSuspension], 3000.0);
    EXPECT_EQ(c[rearLeftSuspension], 3100.0);
    EXPECT_EQ(selector, 1);
    EXPECT_EQ(c[lateralAccelG], 1.5);
    EXPECT_DOUBLE_EQ(c[verticalAccelG], 9.8);
    EXPECT_EQ(c[longitudinalAccelG], 2.25);
    EXPECT_EQ(c[rollSpeed], 3.5);
    EXPECT_EQ(c[pitchSpeed], -4.5);
    EXPECT_EQ(c[yawSpeed], -6.5);
}

TEST(XPlaneDecoder, CountsWholeRecordsComparesTheIndexByItsLowByteAndSelectsGroundOnAllThreeLegs) {
    const Bytes twoRows = xPlaneDatagram({{17, {1, 2, 3, 0, 0, 0, 0, 0}}, {0x0100 + 3, {0, 0, 0, 0, 0, 0, 0, 8}}});
    ASSERT_EQ(twoRows.size(), 77u);
    // A datagram of one record has 41 bytes, too short; a row the engine does not read fills it up.
    const XPlaneRow unused{20, {}};
    struct Case {
        const char* what;
        Bytes datagram;
        bool accepted;
        double pitch;  // from row 17
        double speed;  // from row 3 (index 259)
    } cases[] = {
        {"77 bytes carry two records", twoRows, true, 1.0, 8.0},
        {"76 bytes carry one", Bytes(twoRows.begin(), twoRows.end() - 1), true, 1.0, 0.0},
        {"42 bytes carry one", Bytes(twoRows.begin(), twoRows.begin() + 42), true, 1.0, 0.0},
        {"41 bytes carry none", Bytes(twoRows.begin(), twoRows.begin() + 41), false, 0.0, 0.0},
        {"row 273 is row 17", xPlaneDatagram({{0x0111, {5, 0, 0, 0, 0, 0, 0, 0}}, unused}), true, 5.0, 0.0},
        {"a record with a NaN is skipped", xPlaneDatagram({{17, {5, nan, 0, 0, 0, 0, 0, 0}}, unused}), true, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        GameData record;
        std::int32_t selector = 0;
        EXPECT_EQ(applyXPlaneDatagram(c.datagram, record, selector), c.accepted) << c.what;
        EXPECT_EQ(record.channels[pitchPosition], c.pitch) << c.what;
        EXPECT_EQ(record.channels[speed], c.speed) << c.what;
        EXPECT_TRUE(c.accepted || untouched(record)) << c.what;
    }

    GameData record;
    std::int32_t selector = 1;
    applyXPlaneDatagram(xPlaneDatagram({{66, {1, 1, 0, 0, 0, 0, 0, 0}}, unused}), record, selector);
    EXPECT_EQ(selector, 0) << "a leg in the air";
    applyXPlaneDatagram(xPlaneDatagram({{0x4200 + 66, {1, 1, 1, 0, 0, 0, 0, 0}}, unused}), record, selector);
    EXPECT_EQ(selector, 1);
    applyXPlaneDatagram(xPlaneDatagram({{17, {0, 0, 0, 0, 0, 0, 0, 0}}, unused}), record, selector);
    EXPECT_EQ(selector, 1) << "only row 66 decides";
}

// --- DCS -------------------------------------------------------------------------------------

// Fields 1..25 of the export line: field i holds 1000 + i, so that each one is told apart.
std::string numberedDcsLine() {
    std::string line;
    for (int i = 1; i <= 25; ++i) line += std::to_string(1000 + i) + ".5" + (i < 25 ? " " : "\n");
    return line;
}

TEST(DcsDecoder, ConvertsEachFieldOfTheExportLine) {
    GameData record;
    record.gameClockS = 1000.0;
    ASSERT_TRUE(applyDcsLine(text(numberedDcsLine()), record));
    const auto& c = record.channels;
    EXPECT_DOUBLE_EQ(c[longitudinalAccelG], 1001.5 * g);
    EXPECT_DOUBLE_EQ(c[lateralAccelG], 1002.5 * g);
    EXPECT_DOUBLE_EQ(c[verticalAccelG], 1003.5 * g);
    EXPECT_EQ(c[lateralSpeed], 1004.5);
    EXPECT_EQ(c[longitudinalSpeed], 1005.5);
    EXPECT_EQ(c[verticalSpeed], 1006.5);
    EXPECT_DOUBLE_EQ(c[yawSpeed], degrees(1007.5));
    EXPECT_DOUBLE_EQ(c[rollSpeed], degrees(1008.5));
    EXPECT_DOUBLE_EQ(c[pitchSpeed], degrees(1009.5));
    EXPECT_DOUBLE_EQ(c[yawPosition], degrees(1010.5));
    EXPECT_DOUBLE_EQ(c[rollPosition], degrees(1011.5));
    EXPECT_DOUBLE_EQ(c[pitchPosition], degrees(1012.5));
    EXPECT_EQ(c[frontLeftSuspension], 1014.5);
    EXPECT_EQ(c[rearLeftSuspension], 1016.5);
    EXPECT_EQ(c[frontRightSuspension], 0.0);
    EXPECT_EQ(record.gameClockS, 1025.5);
    EXPECT_EQ(record.gameClockStepMs, 25500.0);
}

TEST(DcsDecoder, ShortFieldsEndTheLineAndBadNumbersReadZero) {
    const std::string good = numberedDcsLine();
    struct Case {
        const char* what;
        std::string line;
        double lateralSpeed;   // field 4
        double verticalSpeed;  // field 6
        double clock;          // field 25
    } cases[] = {
        {"the whole line", good, 1004.5, 1006.5, 1025.5},
        {"field 4 of three characters", std::string(good).replace(21, 6, "1.5"), 0.0, 0.0, 0.0},
        {"field 4 not a number", std::string(good).replace(21, 6, "abcdef"), 0.0, 1006.5, 1025.5},
        {"field 4 out of range", std::string(good).replace(21, 6, "1e9999"), 0.0, 1006.5, 1025.5},
        {"field 4 infinite", std::string(good).replace(21, 6, "-infinity"), 0.0, 1006.5, 1025.5},
        {"field 4 with a plus sign", std::string(good).replace(21, 6, "+2.25e1"), 22.5, 1006.5, 1025.5},
        {"no line end after field 25", good.substr(0, good.size() - 1), 1004.5, 1006.5, 0.0},
        {"a NUL before field 6", std::string(good).replace(35, 1, 1, '\0'), 1004.5, 0.0, 0.0},
    };
    for (const Case& c : cases) {
        GameData record;
        ASSERT_TRUE(applyDcsLine(text(c.line), record)) << c.what;
        EXPECT_EQ(record.channels[lateralSpeed], c.lateralSpeed) << c.what;
        EXPECT_EQ(record.channels[verticalSpeed], c.verticalSpeed) << c.what;
        EXPECT_EQ(record.gameClockS, c.clock) << c.what;
    }
    GameData record;
    EXPECT_FALSE(applyDcsLine(text("1"), record));
    EXPECT_TRUE(untouched(record));
}

// --- DiRT Rally 2 ----------------------------------------------------------------------------

Bytes dirtRally2Datagram() {
    return withFloats(96, {{24, 0.5f}, {28, -0.25f}, {32, 0.125f}, {48, 0.1f}, {52, 0.2f}, {56, 0.3f},
                           {60, -0.4f}, {64, -0.5f}, {68, -0.6f}, {84, 1.5f}, {88, 0.7f}, {92, 0.8f}});
}

TEST(DirtRally2Decoder, ReadsOnlyWholeFinite96ByteFrames) {
    GameData record;
    record.channels[lateralSpeed] = 3.0;
    record.gameClockS = 2.0;
    ASSERT_TRUE(applyDirtRally2Datagram(dirtRally2Datagram(), record));
    const auto& c = record.channels;
    EXPECT_DOUBLE_EQ(c[lateralAccel], 0.5 * g * -1.0);
    EXPECT_DOUBLE_EQ(c[longitudinalAccel], -0.25 * g);
    EXPECT_DOUBLE_EQ(c[verticalAccel], 0.125 * g);
    EXPECT_DOUBLE_EQ(c[pitchPosition], degrees(0.1f));
    EXPECT_DOUBLE_EQ(c[pitchAccel], degrees(0.3f));
    EXPECT_DOUBLE_EQ(c[rollSpeed], degrees(-0.5f));
    EXPECT_DOUBLE_EQ(c[yawPosition], degrees(1.5) - 90.0);
    EXPECT_DOUBLE_EQ(c[yawAccel], degrees(0.8f));
    EXPECT_EQ(c[lateralSpeed], 0.0);
    EXPECT_EQ(record.gameClockStepMs, -2000.0);
    EXPECT_EQ(record.gameClockS, 0.0);

    Bytes withNan = dirtRally2Datagram();
    putFloat(std::span<std::uint8_t>(withNan), 60, nan);
    Bytes longer = dirtRally2Datagram();
    longer.push_back(0);
    Bytes shorter = dirtRally2Datagram();
    shorter.pop_back();
    for (const Bytes& other : {withNan, longer, shorter}) {
        GameData unchanged;
        EXPECT_FALSE(applyDirtRally2Datagram(other, unchanged)) << other.size() << " bytes";
        EXPECT_TRUE(untouched(unchanged));
    }
}

// --- Condor 2 --------------------------------------------------------------------------------

TEST(Condor2Decoder, KeepsEachKeysLastValueAcrossDatagrams) {
    Condor2Values stored;
    GameData record;
    ASSERT_TRUE(applyCondor2Datagram(text("pitch=0.1\r\nbank=0.2\r\nyaw=3.5\r\nax=1.5\r\nvz=-2\r\n"
                                          "rollrate=0.3\r\nhudmessages=Thermal ahead\r\nflaps=-2.7\r\n"),
                                     stored, record));
    const auto& c = record.channels;
    EXPECT_DOUBLE_EQ(c[pitchPosition], degrees(0.1f));
    EXPECT_DOUBLE_EQ(c[rollPosition], degrees(0.2f) * -1.0);
    EXPECT_DOUBLE_EQ(c[yawPosition], degrees(3.5f) - 180.0);
    EXPECT_EQ(c[lateralAccel], 1.5);
    EXPECT_EQ(c[verticalSpeed], -2.0);
    EXPECT_DOUBLE_EQ(c[rollSpeed], degrees(0.3f));
    EXPECT_EQ(stored.hudMessages(), "Thermal ahead");
    EXPECT_EQ(stored.flaps(), -2);

    // No bank line: the stored bank stays. Unknown keys, other letter cases and lines without
    // '=' are ignored; a value that is no number reads 0.
    ASSERT_TRUE(applyCondor2Datagram(text("pitch=-0.05\r\nBank=1.0\r\nbanks=1.0\r\nbank\r\nvz=up\r\n"
                                          "altitude=1200\r\nsome more text for length\r\n"),
                                     stored, record));
    EXPECT_DOUBLE_EQ(c[pitchPosition], degrees(-0.05f));
    EXPECT_DOUBLE_EQ(c[rollPosition], degrees(0.2f) * -1.0);
    EXPECT_EQ(c[verticalSpeed], 0.0);
    EXPECT_EQ(c[lateralAccel], 1.5);
    EXPECT_EQ(stored.value(Condor2Key::altitude), 1200.0f);

    GameData shortOne;
    EXPECT_FALSE(applyCondor2Datagram(text("pitch=0.3\r\nbank=0.3\r\nyaw=0.3\r\nax=1"), stored, shortOne));
    EXPECT_TRUE(untouched(shortOne));
    EXPECT_EQ(stored.value(Condor2Key::pitch), -0.05f) << "a short datagram must not be taken";
}

// --- F1 23 and F1 24 -------------------------------------------------------------------------

// A motion packet whose car i has lateral g-force i and yaw 0.01·i, from the player at byte 27.
Bytes f1Motion(std::uint8_t playerCar, std::uint16_t format = 2023, std::size_t size = f1MotionSize) {
    Bytes packet(size);
    emulator::putUnsigned(std::span<std::uint8_t>(packet), 0, format, 2);
    packet[27] = playerCar;
    packet[28] = 255;
    for (std::size_t car = 0; car < f1CarCount && 29 + 60 * car + 60 <= size; ++car) {
        putFloat(std::span<std::uint8_t>(packet), 29 + 60 * car + 36, static_cast<float>(car));
        putFloat(std::span<std::uint8_t>(packet), 29 + 60 * car + 48, 0.01f * static_cast<float>(car));
    }
    return packet;
}

TEST(F1Decoder, FollowsThePlayersCarAndTellsPacketsByLength) {
    struct Case {
        const char* what;
        Bytes datagram;
        bool applied;
        double lateralG;  // −(car index) · g of the car read
    } cases[] = {
        {"player at byte 27", f1Motion(3), true, -3.0 * g},
        {"player 21, the last car", f1Motion(21, 2024), true, -21.0 * g},
        {"byte 27 out of range", f1Motion(22), true, -0.0},
        {"byte 27 is 255", f1Motion(255), true, -0.0},
        {"1350 bytes", f1Motion(3, 2023, 1350), false, 0.0},
        {"packet format 2022", f1Motion(3, 2022), false, 0.0},
    };
    for (const Case& c : cases) {
        GameData record;
        EXPECT_EQ(applyF1Datagram(c.datagram, record), c.applied) << c.what;
        EXPECT_EQ(record.channels[lateralAccelG], c.lateralG) << c.what;
        EXPECT_TRUE(c.applied || untouched(record)) << c.what;
    }
    // Car 3's record is the one at 29 + 60·3 = 209: its yaw is 0.03.
    GameData record;
    applyF1Datagram(f1Motion(3), record);
    EXPECT_DOUBLE_EQ(record.channels[yawPosition], degrees(0.03f));
}

TEST(F1Decoder, ReadsTheEmulatedPlayersMotionAndRatesInBothYears) {
    const auto motion = emulator::DriveScript().at(16.0);
    for (const auto& [motionPacket, extended] :
         {std::pair{emulator::encodeF1Motion<2023>(motion), emulator::encodeF1ExtendedMotion<2023>(motion)},
          std::pair{emulator::encodeF1Motion<2024>(motion), emulator::encodeF1ExtendedMotion<2024>(motion)}}) {
        GameData record;
        ASSERT_TRUE(applyF1Datagram(motionPacket, record));
        ASSERT_TRUE(applyF1Datagram(extended, record)) << extended.size() << " bytes";
        const auto& c = record.channels;
        EXPECT_NEAR(c[longitudinalAccelG], motion.longitudinalAccel + g * std::sin(motion.pitch), 1e-5);
        EXPECT_NEAR(c[rollPosition], motion.roll * 180.0 / pi, 1e-4);
        EXPECT_NEAR(c[rollSpeed], motion.rollRate * 180.0 / pi, 1e-4);
        EXPECT_NEAR(c[yawSpeed], motion.yawRate * 180.0 / pi, 1e-4);
    }
}

// --- WRC 23 ----------------------------------------------------------------------------------

TEST(Wrc23Decoder, AttitudeIsTheSameAtEveryHeading) {
    emulator::VehicleMotion motion;
    motion.pitch = 0.08;
    motion.roll = -0.05;
    motion.longitudinalAccel = -6.0;
    for (const double heading : {0.0, 0.7, 1.5708, 3.0, -2.2}) {
        motion.yaw = heading;
        const auto frame = decodeWrc23Datagram(emulator::encodeWrc23Datagram(motion));
        ASSERT_TRUE(frame) << heading;
        EXPECT_NEAR(frame->attitude.pitch, motion.pitch * 180.0 / pi, 1e-4) << heading;
        EXPECT_NEAR(frame->attitude.roll, motion.roll * 180.0 / pi, 1e-4) << heading;
        EXPECT_NEAR(frame->attitude.yaw, -heading * 180.0 / pi, 1e-4) << heading;
        EXPECT_EQ(frame->acceleration[0], -6.0f);
    }

    Bytes shortOne = emulator::encodeWrc23Datagram(motion);
    shortOne.resize(wrc23ValuesEnd - 1);
    Bytes noUp = emulator::encodeWrc23Datagram(motion);
    for (const std::size_t offset : {109, 113, 117}) putFloat(std::span<std::uint8_t>(noUp), offset, 0.0f);
    Bytes withNan = emulator::encodeWrc23Datagram(motion);
    putFloat(std::span<std::uint8_t>(withNan), 77, nan);
    for (const Bytes& bad : {shortOne, noUp, withNan}) EXPECT_FALSE(decodeWrc23Datagram(bad));
}

TEST(Wrc23Decoder, RatesAreAttitudeChangesAndAccelerationsStayAsSent) {
    const auto frameAt = [](double yaw, float longitudinalAccel) {
        Wrc23Frame frame{};
        frame.acceleration[0] = longitudinalAccel;
        frame.attitude.yaw = yaw;
        return frame;
    };
    std::optional<Wrc23Attitude> previous;
    GameData record;
    applyWrc23Frame(frameAt(179.0, 4.5f), 20.0, previous, record);
    EXPECT_EQ(record.channels[yawSpeed], 0.0) << "the first frame has nothing to compare with";
    EXPECT_EQ(record.channels[longitudinalAccel], 4.5);
    struct Step {
        double yaw;
        double frameTimeMs;
        double yawSpeed;
    } steps[] = {
        {-179.0, 20.0, 100.0},  // 2° the short way round over 0.02 s
        {179.0, 50.0, -100.0},  // a long interval counts as 0.02 s
        {178.0, 10.0, -100.0},
    };
    for (const Step& step : steps) {
        applyWrc23Frame(frameAt(step.yaw, 4.5f), step.frameTimeMs, previous, record);
        EXPECT_NEAR(record.channels[yawSpeed], step.yawSpeed, 1e-9) << step.yaw;
        EXPECT_EQ(record.channels[longitudinalAccel], 4.5) << "no carry-over";
    }
}

// --- Live for Speed --------------------------------------------------------------------------

Bytes outSimPacket(float lateral, std::size_t size = outSimPacketSize, const char* header = "LFST") {
    return withFloats(size,
                      {{12, 0.1f}, {16, 0.2f}, {20, 0.3f}, {24, 0.4f}, {28, 0.5f}, {32, 0.6f},
                       {36, lateral}, {40, -2.5f}, {44, 0.75f}},
                      header);
}

TEST(LiveForSpeedDecoder, ReadsRatesFromTheGamesAxesAndEachAccelerationFromItsOwnOffset) {
    GameData record;
    ASSERT_TRUE(applyOutSimPacket(outSimPacket(1.25f), record));
    const auto& c = record.channels;
    EXPECT_DOUBLE_EQ(c[pitchSpeed], degrees(0.1f));
    EXPECT_DOUBLE_EQ(c[rollSpeed], degrees(0.2f));
    EXPECT_DOUBLE_EQ(c[yawSpeed], degrees(0.3f));
    EXPECT_DOUBLE_EQ(c[yawPosition], degrees(0.4f));
    EXPECT_DOUBLE_EQ(c[pitchPosition], degrees(0.5f));
    EXPECT_DOUBLE_EQ(c[rollPosition], degrees(0.6f));
    EXPECT_EQ(c[lateralAccel], 1.25);
    EXPECT_EQ(c[longitudinalAccel], -2.5);
    EXPECT_EQ(c[verticalAccel], 0.75);

    for (const Bytes& other : {outSimPacket(1.0f, 279), outSimPacket(1.0f, 280, "LFSX"), outSimPacket(nan)}) {
        GameData unchanged;
        EXPECT_FALSE(applyOutSimPacket(other, unchanged));
        EXPECT_TRUE(untouched(unchanged));
    }
}

// --- The readers on loopback -----------------------------------------------------------------

// A reader listening on a free loopback port, and the game that sends to it.
template <typename Reader>
class OnLoopback {
public:
    // Port 0 lets the system choose: a port found free and bound later could be taken between.
    OnLoopback() {
        opened_ = reader.endpoint.open(0) == 1;
        port_ = platform::localPort(reader.endpoint.socket());
    }
    ~OnLoopback() { reader.endpoint.close(); }

    bool opened() const { return opened_; }

    // Sends the datagrams in order and gives them a moment to arrive.
    void send(const std::vector<Bytes>& datagrams) {
        for (const Bytes& datagram : datagrams) game_.sendTo(port_, datagram);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }

    // Whether a datagram is still waiting (taking it).
    bool leftWaiting() { return reader.endpoint.receiveIntoBuffer() > 0; }

    Reader reader;
    GameData record;

private:
    std::uint16_t port_ = 0;
    bool opened_ = false;
    test::UdpPeer game_;
};

TEST(UdpGameReaders, ReadersThatTakeOneDatagramPerCallLeaveTheRestWaiting) {
    OnLoopback<XPlaneReader> xPlane;
    ASSERT_TRUE(xPlane.opened());
    xPlane.send({Bytes(41, 0), xPlaneDatagram({{17, {0, 90, 0, 0, 0, 0, 0, 0}}, {135, {0, 98.0665f, 0, 0, 0, 0, 0, 0}}})});
    EXPECT_FALSE(xPlane.reader.read(xPlane.record)) << "41 bytes";
    EXPECT_TRUE(untouched(xPlane.record));
    ASSERT_TRUE(xPlane.reader.read(xPlane.record));
    // The felt force less gravity: rolled onto its side, all of gravity is lateral.
    EXPECT_NEAR(xPlane.record.channels[lateralAccel], -g, 1e-9);
    EXPECT_NEAR(xPlane.record.channels[verticalAccel], 9.80665, 1e-5);
    EXPECT_GT(xPlane.record.frameTimeMs, 0.0);

    OnLoopback<DirtRally2Reader> dirt;
    ASSERT_TRUE(dirt.opened());
    dirt.send({dirtRally2Datagram(), Bytes(50, 0x7F), Bytes(1, 0)});
    ASSERT_TRUE(dirt.reader.read(dirt.record));
    const auto frame = dirt.record.channels;
    EXPECT_NEAR(frame[longitudinalGravi], -g * std::sin(0.1f), 1e-6) << "pitch counted nose down";
    const double interval = dirt.record.frameTimeMs;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_TRUE(dirt.reader.read(dirt.record)) << "any datagram of two bytes counts";
    EXPECT_EQ(dirt.record.channels, frame) << "but one that is no frame changes nothing";
    EXPECT_NE(dirt.record.frameTimeMs, interval);
    EXPECT_FALSE(dirt.reader.read(dirt.record)) << "one byte";
    EXPECT_FALSE(dirt.reader.read(dirt.record)) << "nothing waiting";

    OnLoopback<DcsReader> dcs;
    ASSERT_TRUE(dcs.opened());
    dcs.send({text(numberedDcsLine()), text(numberedDcsLine())});
    ASSERT_TRUE(dcs.reader.read(dcs.record));
    EXPECT_NEAR(dcs.record.channels[longitudinalAccel], 1001.5 * g - dcs.record.channels[longitudinalGravi], 1e-9);
    EXPECT_TRUE(dcs.leftWaiting());

    OnLoopback<Condor2Reader> condor;
    ASSERT_TRUE(condor.opened());
    condor.send({text("pitch=0.5\r\nbank=0.1\r\nvx=1\r\n"), text("pitch=0.5\r\nbank=0.1\r\naz=1.5\r\nvx=2\r\nvario=0.5\r\n")});
    EXPECT_FALSE(condor.reader.read(condor.record)) << "under 42 bytes";
    ASSERT_TRUE(condor.reader.read(condor.record));
    EXPECT_EQ(condor.record.channels[lateralSpeed], 2.0);
    EXPECT_NEAR(condor.record.channels[verticalAccelG], 1.5 + condor.record.channels[verticalGravi], 1e-12);

    OnLoopback<Wrc23Reader> wrc;
    ASSERT_TRUE(wrc.opened());
    emulator::VehicleMotion level;
    level.verticalAccel = 2.0;
    wrc.send({Bytes(100, 0), emulator::encodeWrc23Datagram(level)});
    EXPECT_FALSE(wrc.reader.read(wrc.record)) << "too short for its values";
    EXPECT_TRUE(untouched(wrc.record));
    ASSERT_TRUE(wrc.reader.read(wrc.record));
    EXPECT_NEAR(wrc.record.channels[verticalAccelG], 2.0 + g, 1e-9);
}

TEST(UdpGameReaders, F1DrainsThePortAndKeepsTheNewestOfEachPacket) {
    OnLoopback<F1Reader> f1;
    ASSERT_TRUE(f1.opened());
    EXPECT_FALSE(f1.reader.read(f1.record));
    EXPECT_GT(f1.record.frameTimeMs, 0.0) << "the interval is stamped on every call";

    const auto motion = emulator::DriveScript().at(12.0);
    const auto later = emulator::DriveScript().at(12.5);
    f1.send({emulator::encodeF1Motion<2024>(motion), emulator::encodeF1ExtendedMotion<2024>(motion), Bytes(1350, 0),
             emulator::encodeF1Motion<2024>(later), Bytes(1, 0)});
    ASSERT_TRUE(f1.reader.read(f1.record));
    EXPECT_FALSE(f1.leftWaiting());
    const auto& c = f1.record.channels;
    EXPECT_NEAR(c[pitchPosition], later.pitch * 180.0 / pi, 1e-4);
    EXPECT_NEAR(c[pitchSpeed], motion.pitchRate * 180.0 / pi, 1e-4);
    EXPECT_NEAR(c[longitudinalAccel], later.longitudinalAccel, 1e-5);
    EXPECT_FALSE(f1.reader.read(f1.record));
}

TEST(UdpGameReaders, LiveForSpeedPassesOverOneShortDatagramAndDrainsWhilePacketsAreWhole) {
    struct Case {
        const char* what;
        std::vector<Bytes> datagrams;
        bool delivered;
        double lateralAccel;  // from the packet applied last
        bool leftWaiting;
    } cases[] = {
        {"three packets", {outSimPacket(1), outSimPacket(2), outSimPacket(3)}, true, 3.0, false},
        {"a short one, then a packet", {Bytes(20, 1), outSimPacket(2), outSimPacket(3)}, true, 3.0, false},
        {"two short ones", {Bytes(20, 1), Bytes(20, 1), outSimPacket(3)}, true, 0.0, true},
        {"a short one stops the drain", {outSimPacket(1), Bytes(20, 1), outSimPacket(3)}, true, 1.0, true},
        {"one byte", {Bytes(1, 1), outSimPacket(2)}, false, 0.0, true},
    };
    for (const Case& c : cases) {
        OnLoopback<LiveForSpeedReader> lfs;
        ASSERT_TRUE(lfs.opened());
        lfs.send(c.datagrams);
        EXPECT_EQ(lfs.reader.read(lfs.record), c.delivered) << c.what;
        EXPECT_EQ(lfs.record.channels[lateralAccel], c.lateralAccel) << c.what;
        EXPECT_EQ(lfs.record.channels[verticalGravi] > 0.0, c.delivered) << "gravity split in, " << c.what;
        EXPECT_EQ(lfs.leftWaiting(), c.leftWaiting) << c.what;
    }
}

}  // namespace
}  // namespace tarvelin
