#include <gtest/gtest.h>

#include "host_console/profile_file.h"

using namespace tarvelin::console;

namespace {

ProfileFile parse(const char* text, std::vector<ProfileError>& errors) { return parseProfileFile(text, errors); }

}  // namespace

TEST(ProfileFile, ReadsEverySection) {
    std::vector<ProfileError> errors;
    const auto file = parse(
        "# a rig\n"
        "[air]\n"
        "lateral = GAIN(EMALP(CROP(VALUE;-10;10);20);0.5)   # sway\n"
        "4 = VALUE\r\n"
        "roll_angle = off\n"
        "belt_mix longitu_accel_g = 0.25\n"
        "belt_mix 2 = -1.5\n"
        "[GROUND]\n"
        "pitch = GAIN(VALUE;2)\n"
        "[limits]\n"
        "input lateral = -20 20\n"
        "rig 5 = -1.0 1.0\n"
        "[motion_cancel]\n"
        "active = on\n"
        "filter = 30\n"
        "gain = 0.5\n"
        "[engine]\n"
        "pacing = sleep\n"
        "[link]\n"
        "port = COM7\n",
        errors);
    ASSERT_TRUE(errors.empty()) << errors[0].line << ": " << errors[0].message;
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
    ASSERT_EQ(file.beltMix.size(), 2u);
    EXPECT_EQ(file.beltMix[0].channel, 7);
    EXPECT_EQ(file.beltMix[1].weight, -1.5);
    ASSERT_EQ(file.inputLimits.size(), 1u);
    EXPECT_EQ(file.inputLimits[0].low, -20.0);
    ASSERT_EQ(file.rigLimits.size(), 1u);
    EXPECT_EQ(file.rigLimits[0].slot, 5);
    EXPECT_EQ(file.motionCancel, true);
    EXPECT_EQ(file.motionCancelFilter, 30.0);
    EXPECT_EQ(file.motionCancelGain, 0.5);
    EXPECT_EQ(file.precisePacing, false);
    EXPECT_EQ(file.port, "COM7");
}

TEST(ProfileFile, ReportsEveryBadLineWithItsNumber) {
    std::vector<ProfileError> errors;
    parse("lateral = VALUE\n"      // 1: before any section
          "[air]\n"
          "sideways = VALUE\n"     // 3: unknown slot
          "23 = VALUE\n"           // 4: slot out of range
          "lateral VALUE\n"        // 5: no '='
          "belt_mix rpmx = 1\n"    // 6: unknown channel
          "[limits]\n"
          "input 0 = 5\n"          // 8: one number
          "rig 0 = 2 1\n"          // 9: low above high
          "[link]\n"
          "port = /dev/ttyUSB0\n"  // 11
          "[wheels]\n",            // 12
          errors);
    ASSERT_EQ(errors.size(), 9u);
    const int lines[] = {1, 3, 4, 5, 6, 8, 9, 11, 12};
    for (std::size_t i = 0; i < errors.size(); ++i) EXPECT_EQ(errors[i].line, lines[i]) << errors[i].message;
}

TEST(ProfileFile, SlotNamesAndNumbersAgree) {
    for (int slot = 0; slot < 23; ++slot) EXPECT_EQ(slotFromName(slotName(slot)), slot);
    EXPECT_EQ(slotFromName(" Wind "), 21);
    EXPECT_EQ(slotFromName("-1"), -1);
}
