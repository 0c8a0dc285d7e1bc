#include <gtest/gtest.h>

#include "host_console/profile_file.h"

using namespace tarvelin::console;

namespace {

ProfileFile parse(const char* text, std::vector<ProfileError>& errors) { return parseProfileFile(text, errors); }

std::vector<int> linesOf(const std::vector<ProfileMessage>& messages) {
    std::vector<int> lines;
    for (const auto& message : messages) lines.push_back(message.line);
    return lines;
}

}  // namespace

TEST(ProfileFile, ReadsEverySection) {
    std::vector<ProfileError> errors;
    const auto file = parse(
        "# a rig\n"
        "[air]\n"
        "lateral = GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)   # sway\n"
        "4 = VALUE\r\n"
        "roll_angle = off\n"
        "belt_mix longitudinal = 0.25\n"
        "belt_mix Pitch = -1.5\n"
        "[GROUND]\n"
        "pitch = GAIN(VALUE;2)\n"
        "[limits]\n"
        "input lateral = -20 20\n"
        "input roll = -90 90\n"
        "input pitch = -90 90\n"
        "rig 0 = -1 1\n"
        "rig roll = -1 1\n"
        "rig 5 = -1.0 1.0\n"
        "[motion_cancel]\n"
        "active = on\n"
        "filter = 30\n"
        "gain = 0.5\n"
        "[engine]\n"
        "pacing = sleep\n"
        "latency = LOW\n"
        "[link]\n"
        "port = com7\n"
        "usb_chip_check = off\n"
        "[fan]\n"
        "port = COM4\n"
        "baud = 115200\n"
        "mode = 8E2\n"
        "interval_ms = 50\n"
        "[safety]\n"
        "park_ms = 1500\n"
        "rate lateral = 4\n"
        "rate 5 = 0\n",
        errors);
    ASSERT_TRUE(errors.empty()) << errors[0].line << ": " << errors[0].message;
    EXPECT_TRUE(file.warnings.empty()) << file.warnings[0].line << ": " << file.warnings[0].message;
    ASSERT_EQ(file.filters.size(), 3u);
    EXPECT_EQ(file.filters[0].filter, "GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)");
    EXPECT_EQ(file.filters[0].line, 3);
    EXPECT_EQ(file.filters[1].slot, 4);
    EXPECT_EQ(file.filters[1].filter, "VALUE");
    EXPECT_EQ(file.filters[2].profile, profileGround);
    EXPECT_EQ(file.filters[2].slot, 5);
    ASSERT_EQ(file.activity.size(), 4u);
    EXPECT_FALSE(file.activity[2].active);
    EXPECT_EQ(file.activity[2].slot, 8);
    // The belt components name the engine's belt-mix indexes 1, 2, 4 and 5.
    ASSERT_EQ(file.beltMix.size(), 2u);
    EXPECT_EQ(file.beltMix[0].index, 1);
    EXPECT_EQ(file.beltMix[1].index, 5);
    EXPECT_EQ(file.beltMix[1].weight, -1.5);
    ASSERT_EQ(file.inputLimits.size(), 3u);
    EXPECT_EQ(file.inputLimits[0].low, -20.0);
    ASSERT_NE(file.rigLimit(5), nullptr);
    EXPECT_EQ(file.rigLimit(5)->high, 1.0);
    EXPECT_EQ(file.rigLimit(3), nullptr);
    EXPECT_EQ(file.motionCancel, true);
    EXPECT_EQ(file.motionCancelFilter, 30.0);
    EXPECT_EQ(file.motionCancelGain, 0.5);
    EXPECT_EQ(file.precisePacing, false);
    EXPECT_EQ(file.lowLatency, true);
    EXPECT_EQ(file.port, "COM7");
    EXPECT_EQ(file.usbChipCheck, false);
    ASSERT_TRUE(file.fan.has_value());
    EXPECT_EQ(file.fan->port, "COM4");
    EXPECT_EQ(file.fan->baud, 115200);
    EXPECT_EQ(file.fan->mode, "8E2");
    EXPECT_EQ(file.fan->intervalMs, 50u);
    EXPECT_EQ(file.parkMs, 1500.0);
    ASSERT_EQ(file.rateLimits.size(), 2u);
    EXPECT_EQ(file.rateLimits[0].axis, 0);
    EXPECT_EQ(file.rateLimits[0].unitsPerSecond, 4.0);
    EXPECT_EQ(file.rateLimits[1].axis, 5);
    EXPECT_FALSE(file.udp.has_value());

    const auto network = parse("[link]\ntransport = UDP\ngroup = 239.1.2.3:51324\nlisten_port = 50000\n", errors);
    ASSERT_TRUE(errors.empty()) << errors[0].line << ": " << errors[0].message;
    ASSERT_TRUE(network.udp.has_value());
    EXPECT_EQ(network.udp->group, "239.1.2.3");
    EXPECT_EQ(network.udp->listenPort, 50000);
    EXPECT_EQ(parse("[link]\ntransport = udp\n", errors).udp->group, "232.11.12.14") << "the engine's default group";
}

TEST(ProfileFile, ReportsEveryBadLineWithItsNumber) {
    std::vector<ProfileError> errors;
    parse("lateral = VALUE\n"           // 1: before any section
          "[air]\n"
          "sideways = VALUE\n"          // 3: unknown slot
          "23 = VALUE\n"                // 4: slot out of range
          "lateral VALUE\n"             // 5: no '='
          "belt_mix rpm = 1\n"          // 6: not a belt component
          "yaw =\n"                     // 7: nothing to install
          "[limits]\n"
          "input 0 = 5\n"               // 9: one number
          "rig 0 = 2 1\n"               // 10: low above high
          "rig 1 = -inf 1\n"            // 11: not a finite number
          "[link]\n"
          "port = /dev/ttyUSB0\n"       // 13
          "[wheels]\n"                  // 14
          "[fan]\n"
          "mode = 9X3\n"                // 16
          "[air]\n"
          "pitch = VALUE\n"
          "PITCH = GAIN(VALUE;2)\n"     // 19: the same slot again
          "[link]\n"
          "transport = wifi\n"          // 21
          "group = 10.0.0.1\n"          // 22: not a multicast group
          "group = 232.1.1.1:5000\n"    // 23: the engine sends to 51324 only
          "listen_port = 70000\n"       // 24
          "[motion_cancel]\n"
          "gain = 1e308\n"              // 26: beyond what the engine takes
          "[safety]\n"
          "park_ms = -5\n"              // 28
          "park_ms = 60001\n"           // 29: longer than the engine takes
          "rate belt = 5\n"             // 30: not a motion axis
          "rate yaw = -1\n"             // 31
          "rate pitch = nan\n"          // 32
          "rate roll = 2\n"
          "rate 4 = 3\n"                // 34: roll again
          "speed = 3\n"                 // 35: unknown setting
          "[engine]\n"
          "latency = lowest\n",         // 37
          errors);
    // 15: [fan] without a port
    const std::vector<int> expected = {1, 3, 4, 5, 6, 7, 9, 10, 11, 13, 14, 15, 16, 19,
                                       21, 22, 23, 24, 26, 28, 29, 30, 31, 32, 34, 35, 37};
    EXPECT_EQ(linesOf(errors), expected);
    EXPECT_NE(errors[13].message.find("already set on line 18"), std::string::npos) << errors[13].message;
}

// Lines that parse but would not do what they say: the profile still loads, with a warning
// on the line to fix.
TEST(ProfileFile, WarnsAboutSettingsWithoutEffect) {
    std::vector<ProfileError> errors;
    const auto file = parse("[air]\n"
                            "lateral = VALUE\n"         // 2: no rig limit, no input limit
                            "belt_mix 7 = 1\n"          // 3: a weight the belt never reads
                            "[ground]\n"
                            "wind = VALUE\n"            // 5: wind comes from [air] only
                            "belt_mix roll = 1\n"       // 6: so does the belt mix
                            "[limits]\n"
                            "input roll_angle = -5 5\n" // 8: fixed by the engine
                            "rig belt = 0 100\n"        // 9: not clamped in the frame
                            "[link]\n"
                            "listen_port = 50000\n",   // 11: the link is not over UDP
                            errors);
    EXPECT_TRUE(errors.empty());
    const std::vector<int> expected = {2, 2, 3, 5, 6, 8, 9, 11};
    EXPECT_EQ(linesOf(file.warnings), expected);
}

// What only the whole file shows: a file that would hold the rig still, a fan without a port.
TEST(ProfileFile, ChecksTheWholeFile) {
    struct Case {
        const char* text;
        int errorLine;       // 0: no error
        const char* warning;  // of the file as a whole (line 0), or null for none
    };
    const Case cases[] = {
        {"", 0, "the profile sets nothing"},
        {"# only a comment\n[air]\n", 0, "the profile sets nothing"},
        {"[link]\nport = auto\n", 0, "the profile sets no filter string"},
        {"[air]\nlateral = VALUE\n[fan]\n", 3, nullptr},
        {"[air]\nlateral = VALUE\n[fan]\nbaud = 9600\n", 3, nullptr},
        {"[air]\nlateral = VALUE\n[fan]\nport = COM4\n", 0, nullptr},
    };
    for (const auto& c : cases) {
        std::vector<ProfileError> errors;
        const auto file = parse(c.text, errors);
        EXPECT_EQ(linesOf(errors), c.errorLine == 0 ? std::vector<int>{} : std::vector<int>{c.errorLine}) << c.text;
        const bool warned = !file.warnings.empty() && file.warnings.front().line == 0;
        EXPECT_EQ(warned, c.warning != nullptr) << c.text;
        if (warned && c.warning != nullptr) {
            EXPECT_EQ(file.warnings.front().message.rfind(c.warning, 0), 0u) << c.text;
        }
    }
}

TEST(ProfileFile, SlotAndBeltNamesAgreeWithNumbers) {
    for (int slot = 0; slot < rigSlots; ++slot) EXPECT_EQ(slotFromName(slotName(slot)), slot);
    EXPECT_EQ(slotFromName(" Wind "), 21);
    EXPECT_EQ(slotFromName("-1"), -1);
    EXPECT_EQ(beltMixIndex("vertical"), 2);
    EXPECT_EQ(beltMixIndex("ROLL"), 4);
    EXPECT_EQ(beltMixIndex("42"), 42);
    EXPECT_EQ(beltMixIndex("43"), -1);
}
