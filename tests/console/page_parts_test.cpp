// The tuning page's parts that need no browser: the profile file as the page edits it, who the
// page answers, the command line that starts it, and the ten seconds of cycles it keeps.

#include <gtest/gtest.h>

#include "host_console/command_line.h"
#include "host_console/page_access.h"
#include "host_console/page_hub.h"
#include "host_console/profile_document.h"

using namespace tarvelin::console;

TEST(ProfileDocument, ChangesOneSettingAndKeepsEveryOtherLine) {
    const char* original =
        "# my rig\n"
        "[air]\n"
        "0 = GAIN(VALUE;1)   # sway\n"
        "belt_mix Pitch = 1\n"
        "\n"
        "# the ground\n"
        "[ground]\n"
        "yaw = off\n"
        "[limits]\n"
        "rig   Lateral = -1 1\n";
    struct Edit {
        const char* section;
        const char* key;
        const char* value;
        const char* comment;
        const char* expected;  // the whole file after the edit
    };
    const Edit edits[] = {
        // The same slot, limit or weight by another of its names: the line keeps its key and comment.
        {"air", "lateral", "GAIN(VALUE;2)", "",
         "# my rig\n[air]\n0 = GAIN(VALUE;2)   # sway\nbelt_mix Pitch = 1\n\n# the ground\n[ground]\nyaw = off\n[limits]\nrig   Lateral = -1 1\n"},
        {"limits", "rig 0", "-2 2", "",
         "# my rig\n[air]\n0 = GAIN(VALUE;1)   # sway\nbelt_mix Pitch = 1\n\n# the ground\n[ground]\nyaw = off\n[limits]\nrig   Lateral = -2 2\n"},
        {"air", "belt_mix 5", "0.5", "",
         "# my rig\n[air]\n0 = GAIN(VALUE;1)   # sway\nbelt_mix Pitch = 0.5\n\n# the ground\n[ground]\nyaw = off\n[limits]\nrig   Lateral = -1 1\n"},
        {"ground", "yaw", "off", "was GAIN(VALUE;3)",
         "# my rig\n[air]\n0 = GAIN(VALUE;1)   # sway\nbelt_mix Pitch = 1\n\n# the ground\n[ground]\nyaw = off   # was GAIN(VALUE;3)\n[limits]\nrig   Lateral = -1 1\n"},
        // A new setting after the last one of its section, not after the section's comments.
        {"air", "roll", "VALUE", "",
         "# my rig\n[air]\n0 = GAIN(VALUE;1)   # sway\nbelt_mix Pitch = 1\nroll = VALUE\n\n# the ground\n[ground]\nyaw = off\n[limits]\nrig   Lateral = -1 1\n"},
        // A section the file lacks comes at its end.
        {"motion_cancel", "active", "on", "",
         "# my rig\n[air]\n0 = GAIN(VALUE;1)   # sway\nbelt_mix Pitch = 1\n\n# the ground\n[ground]\nyaw = off\n[limits]\nrig   Lateral = -1 1\n\n[motion_cancel]\nactive = on\n"},
    };
    for (const auto& edit : edits) {
        ProfileDocument document(original);
        document.set(edit.section, edit.key, edit.value, edit.comment);
        EXPECT_EQ(document.text(), edit.expected) << edit.section << " " << edit.key;
    }
    ProfileDocument document(original);
    EXPECT_EQ(document.get("AIR", "lateral"), "GAIN(VALUE;1)");
    EXPECT_EQ(document.get("limits", "rig 0"), "-1 1");
    EXPECT_EQ(document.get("limits", "input 0"), "");

    ProfileDocument windows("[air]\r\nlateral = VALUE\r\n");
    windows.set("air", "vertical", "VALUE");
    EXPECT_EQ(windows.text(), "[air]\r\nlateral = VALUE\r\nvertical = VALUE\r\n");
}

TEST(PageAccess, AnswersThisMachineByAddressOnly) {
    struct Case {
        const char* peer;
        const char* host;
        const char* bind;
        bool allowed;
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1:8765", "127.0.0.1", true},
        {"127.0.0.1", "localhost:8765", "127.0.0.1", true},
        {"::1", "[::1]:8765", "::1", true},
        {"::ffff:127.0.0.1", "127.0.0.1", "127.0.0.1", true},
        {"127.0.0.1", "rig.example:8765", "127.0.0.1", false},  // a name a page elsewhere could point here
        {"127.0.0.1", "127.0.0.1.example", "127.0.0.1", false},
        {"127.0.0.1", "", "127.0.0.1", false},
        {"192.0.2.7", "127.0.0.1:8765", "127.0.0.1", false},   // from another machine
        {"192.0.2.7", "192.0.2.1:8765", "0.0.0.0", true},       // asked for with --http-bind
        {"192.0.2.7", "[fe80::1]:8765", "::", true},
        {"192.0.2.7", "rig.example", "0.0.0.0", false},
        {"192.0.2.7", "192.0.2.1", "localhost", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(requestAllowed(c.peer, c.host, c.bind), c.allowed) << c.peer << " " << c.host << " " << c.bind;
    }
}

TEST(PageCommandLine, TakesThePortOrOff) {
    const std::pair<std::vector<const char*>, std::optional<std::uint16_t>> good[] = {
        {{"demo"}, defaultHttpPort},
        {{"demo", "--http", "0"}, 0},
        {{"run", "a.profile", "--http", "9000", "--http-bind", "0.0.0.0"}, 9000},
        {{"demo", "--http", "OFF"}, std::nullopt},
    };
    for (const auto& [arguments, port] : good) {
        CommandLine line;
        std::string error;
        ASSERT_TRUE(parseCommandLine(static_cast<int>(arguments.size()), arguments.data(), line, error)) << error;
        EXPECT_EQ(line.httpPort, port);
    }
    for (const std::vector<const char*>& arguments : {std::vector<const char*>{"demo", "--http", "70000"},
                                                     {"demo", "--http", "-1"}, {"check", "a.profile", "--http", "1"},
                                                     {"demo", "--http-bind"}}) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(parseCommandLine(static_cast<int>(arguments.size()), arguments.data(), line, error)) << arguments[1];
    }
}

TEST(PageHub, KeepsTheNewestCyclesAndCountsCuesAtTheirLimits) {
    const EngineApi api;  // the hub calls no export while it only takes cycles
    PageHub hub(api, "demo", "rig.profile", "[limits]\nrig lateral = -1 1\nrig 10 = 0 500\n", nullptr);
    const std::size_t total = PageHub::historyCycles + 1000;
    for (std::size_t i = 0; i < total; ++i) {
        CalculationSnapshot cues{};
        AccelerationSnapshot telemetry{};
        cues.values[0] = i % 10 == 0 ? 1.5 : 0.5;  // beyond its limit every tenth cycle
        cues.values[1] = 0.25;                        // the longitudinal axis has limits of 0 0
        cues.values[10] = 250;
        telemetry.channels[28] = static_cast<double>(i);
        hub.takeCycle(cues, telemetry);
    }
    std::uint64_t skipped = 0;
    auto records = hub.cyclesAfter(0, 2500, skipped);
    ASSERT_EQ(records.size(), 2500u);
    EXPECT_EQ(records.back().number, total);
    EXPECT_EQ(skipped, total - 2500);
    EXPECT_EQ(records.back().telemetry.channels[28], static_cast<double>(total - 1));
    records = hub.cyclesAfter(total - 3, 2500, skipped);
    EXPECT_EQ(records.size(), 3u);
    EXPECT_EQ(skipped, 0u);
    EXPECT_TRUE(hub.cyclesAfter(total, 2500, skipped).empty());

    const auto status = hub.status();
    EXPECT_EQ(status.cyclesAtLimit[0], total / 10);
    EXPECT_EQ(status.cyclesAtLimit[1], total);
    EXPECT_EQ(status.cyclesAtLimit[10], 0u);
    EXPECT_EQ(status.cyclesAtLimit[21], 0u);  // no limit to be at
    EXPECT_FALSE(status.atLimit[0]);
    EXPECT_EQ(status.framesSent, total);
}
