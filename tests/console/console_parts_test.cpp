// The console's pure parts: the command line, the bars of the live view, the CSV rows and the
// demo's verdict.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

#include "host_console/command_line.h"
#include "host_console/commands.h"
#include "host_console/csv_format.h"
#include "host_console/demo_latency_probe.h"
#include "host_console/live_view.h"

using namespace tarvelin::console;

namespace {

bool parse(std::vector<const char*> arguments, CommandLine& line, std::string& error) {
    return parseCommandLine(static_cast<int>(arguments.size()), arguments.data(), line, error);
}

}  // namespace

TEST(CommandLine, TakesEachCommandWithItsOptions) {
    CommandLine line;
    std::string error;
    ASSERT_TRUE(parse({"--library", "x.dll", "demo", "--seconds", "5", "--record", "out.csv", "--rig-port", "com5",
                       "--rig-control", "4000"},
                      line, error))
        << error;
    EXPECT_EQ(line.command, Command::demo);
    EXPECT_EQ(line.library, "x.dll");
    EXPECT_EQ(line.seconds, 5.0);
    EXPECT_EQ(line.record, "out.csv");
    EXPECT_EQ(line.rigPort, "COM5");
    EXPECT_EQ(line.rigControl, 4000);

    line = {};
    ASSERT_TRUE(parse({"run", "rig.profile", "--port", "Auto", "--library", "lib.so"}, line, error)) << error;
    EXPECT_EQ(line.command, Command::run);
    EXPECT_EQ(line.profile, "rig.profile");
    EXPECT_EQ(line.port, "auto");
    EXPECT_EQ(line.library, "lib.so");

    line = {};
    ASSERT_TRUE(parse({"run", "rig.profile", "--port", "/dev/ttyACM0", "--log", "rig.log"}, line, error)) << error;
    EXPECT_EQ(line.port, "/dev/ttyACM0");
    EXPECT_EQ(line.log, "rig.log");
}

TEST(CommandLine, RefusesWhatACommandCannotTake) {
    const std::vector<std::vector<const char*>> wrong = {
        {"fly"},                                  // no such command
        {"check"},                                // no profile
        {"run", "a.profile", "b.profile"},        // two profiles
        {"check", "a.profile", "--seconds", "3"}, // an option of another command
        {"demo", "--seconds", "0"},
        {"demo", "--seconds", "nan"},
        {"demo", "--seconds"},                    // no value
        {"run", "a.profile", "--port", "ttyUSB0"},     // neither COMn nor a device file
        {"check", "a.profile", "--log", "x.log"},
        {"demo", "--rig-control", "4000"},        // without --rig-port
        {"demo", "--rig-port", "COM5", "--rig-control", "70000"},
    };
    for (const auto& arguments : wrong) {
        CommandLine line;
        std::string error;
        EXPECT_FALSE(parse(arguments, line, error)) << arguments[0] << " " << (arguments.size() > 1 ? arguments[1] : "");
        EXPECT_FALSE(error.empty());
    }
}

TEST(LiveView, BarsGrowFromZeroAndMarkWhatTheyCannotShow) {
    EXPECT_EQ(signedBar(0.0, -1.0, 1.0, 11), "     |     ");
    EXPECT_EQ(signedBar(0.5, -1.0, 1.0, 11), "     |###  ");
    EXPECT_EQ(signedBar(-1.0, -1.0, 1.0, 11), "#####|     ");
    EXPECT_EQ(signedBar(3.0, -1.0, 1.0, 11), "     |####>");
    EXPECT_EQ(signedBar(-3.0, -1.0, 1.0, 11), "<####|     ");
    // A range that does not hold zero starts the bar at its low end.
    EXPECT_EQ(signedBar(0.5, 0.0, 1.0, 5), "|##  ");
    EXPECT_EQ(signedBar(std::nan(""), -1.0, 1.0, 5), "?????");
    EXPECT_EQ(signedBar(0.5, 1.0, 1.0, 5), "?????");
    EXPECT_EQ(levelBar(50.0, 100.0, 10), "#####     ");
    EXPECT_EQ(levelBar(500.0, 100.0, 4), "####");
    EXPECT_EQ(levelBar(5.0, 0.0, 4), "    ");
}

TEST(LiveView, PanelAndLineCarryEveryValue) {
    LiveStatus status;
    status.title = "demo";
    status.gameId = 12;
    status.gameName = "BeamNG";
    status.axes = {0.25, -0.5, 0.0, 0.125, 1.0, -1.0};
    status.belt = 321;
    status.wind = 40;
    status.framesSent = 1234;
    status.rig = RigCounts{1230, 2};
    status.port = "COM5";
    status.linkConnected = true;
    status.activeProfile = 1;
    status.telemetryPerSecond = 60.0;
    status.libraryLines = {{"Error connecting to server: Connection refused", 0.2, 9.5, 38},
                           {std::string(200, 'x'), 9.6, 9.6, 1}};
    status.logFile = "/home/someone/with/a/long/folder/name/for/the/logs/of/the/rig/session.log";
    status.gameProblem = std::string(150, 'y');
    status.latencyMode = 1;
    status.latency = Figures{1.234, 2.5, 3.0, 100};
    // Nothing wraps on an 80-column terminal, which would push the redrawn panel down.
    std::istringstream lines(renderPanel(status));
    for (std::string line; std::getline(lines, line);) EXPECT_LE(line.size(), 78u) << line;
    EXPECT_NE(renderPanel(status).find("9.5 s  Error connecting to server: Connection refused"), std::string::npos);
    EXPECT_NE(renderPanel(status).find("x38\n"), std::string::npos);
    for (const auto& text : {renderPanel(status), renderLine(status)}) {
        for (const char* expected : {"BeamNG (12)", "+0.250", "-0.500", "+0.125", "321", "40 %", "1234", "1230", "GROUND", "60",
                                     "low latency: median 1.23 ms, p99 2.50 ms"}) {
            EXPECT_NE(text.find(expected), std::string::npos) << expected << " missing in\n" << text;
        }
    }
    // The link line names the transport that carries the frames.
    EXPECT_NE(renderPanel(status).find("COM5 connected"), std::string::npos);
    status.overUdp = true;
    status.port = "232.11.12.14";
    EXPECT_NE(renderPanel(status).find("rig link  UDP 232.11.12.14 up"), std::string::npos) << renderPanel(status);
    EXPECT_NE(renderLine(status).find("link UDP up"), std::string::npos) << renderLine(status);
}

// The demo recognises the rig frame of a cycle: every axis inside its limits carries the cycle's
// cue, or made exactly its rate limit's step toward it; one axis at least carries a changed cue.
TEST(DemoLatencyProbe, TellsTheFrameOfACycle) {
    using Axes = DemoLatencyProbe::Axes;
    const Axes cue{0.5f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f};
    const std::array<bool, 6> inside{true, true, true, true, true, true};
    const std::array<bool, 6> changed{true, true, false, false, false, false};
    const std::array<double, 6> noLimits{};
    const std::array<double, 6> limits{0.001, 0.001, 0.001, 0.001, 0.001, 0.001};  // largest steps a cycle
    const Axes before{0.4f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f};
    struct Case {
        const char* what;
        Axes frame;
        std::optional<Axes> before;
        const std::array<double, 6>& rates;
        bool carries;
    };
    const Case cases[] = {
        {"every cue as it is", cue, std::nullopt, noLimits, true},
        {"one axis off, no rate limit", {0.5f, 0.2f, 0.0f, 0.0f, 0.0f, 0.0f}, before, noLimits, false},
        {"a full step toward the cue", {0.401f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f}, before, limits, true},
        {"a step away from the cue", {0.399f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f}, before, limits, false},
        {"half a step", {0.4005f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f}, before, limits, false},
        {"a step, but the frame before unknown", {0.401f, 0.25f, 0.0f, 0.0f, 0.0f, 0.0f}, std::nullopt, limits, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DemoLatencyProbe::carries(c.frame, c.before, cue, inside, changed, c.rates), c.carries) << c.what;
    }
    // Nothing changed that the frame carries: no cycle can be told by it.
    EXPECT_FALSE(DemoLatencyProbe::carries(cue, std::nullopt, cue, inside, {}, noLimits));
}

// The first reason that holds the cues is the one the view gives.
TEST(LiveView, CueStateSaysWhyTheCuesAreHeld) {
    struct Case {
        int gameId;
        bool foundBefore;
        const char* gameProblem;
        bool rigReady;
        bool installing;
        double stillSeconds;
        double softStart;
        const char* state;  // its beginning
    };
    const Case cases[] = {
        {-1, false, "", true, false, 0.0, 0.0, "waiting for a game: start it"},
        {-1, false, "UDP port 4444 ... held", true, false, 0.0, 0.0, "waiting: UDP port 4444"},
        {-1, true, "", true, false, 9.0, 0.0, "frozen: the game was lost"},
        {12, true, "", false, true, 9.0, 0.0, "frozen: the rig is not ready"},
        {12, true, "", true, true, 9.0, 0.0, "frozen: a filter string is being installed"},
        {12, true, "", true, false, 3.24, 0.0, "frozen: the telemetry has not moved for 3.2 s"},
        {12, true, "", true, false, 0.4, 40.0, "blending in (soft start 40 %)"},
        {12, true, "", true, false, 0.0, 100.0, "live"},
    };
    for (const auto& c : cases) {
        LiveStatus status;
        status.gameId = c.gameId;
        status.gameFoundBefore = c.foundBefore;
        status.gameProblem = c.gameProblem;
        status.rigReady = c.rigReady;
        status.installingFilter = c.installing;
        status.telemetryStillSeconds = c.stillSeconds;
        status.softStartPercent = c.softStart;
        EXPECT_EQ(cueState(status).rfind(c.state, 0), 0u) << cueState(status);
    }
}

TEST(CsvFormat, HeaderNamesEverySlotAndChannelAndRowsReadBackExactly) {
    const char* names[43] = {};
    names[0] = "lateral_speed";
    names[40] = "simtools_axis4b";
    const std::string header = csvHeader(names, 43);
    EXPECT_EQ(header.rfind("cycle,lateral,longitudinal,", 0), 0u);
    EXPECT_NE(header.find(",unused,lateral_speed,"), std::string::npos);
    EXPECT_NE(header.find(",channel_2,"), std::string::npos);
    EXPECT_NE(header.find(",simtools_axis4b,belt_sum\n"), std::string::npos);

    CalculationSnapshot calculation{};
    AccelerationSnapshot telemetry{};
    for (int i = 0; i < TARVELIN_RIG_SLOTS; ++i) calculation.values[i] = std::ldexp(1.0 / 3.0, i) - 0.1 * i;
    for (int i = 0; i < TARVELIN_CHANNELS; ++i) telemetry.channels[i] = std::exp(i) * (i % 2 == 0 ? -1 : 1);
    calculation.values[7] = std::numeric_limits<double>::denorm_min();
    std::string row;
    appendCsvRow(row, 77, calculation, telemetry);
    ASSERT_EQ(row.back(), '\n');
    std::istringstream cells(row);
    std::string cell;
    std::getline(cells, cell, ',');
    EXPECT_EQ(cell, "77");
    for (int i = 0; i < TARVELIN_RIG_SLOTS; ++i) {
        std::getline(cells, cell, ',');
        EXPECT_EQ(std::strtod(cell.c_str(), nullptr), calculation.values[i]) << "slot " << i;
    }
    for (int i = 1; i < TARVELIN_CHANNELS; ++i) {
        std::getline(cells, cell, ',');
        EXPECT_EQ(std::strtod(cell.c_str(), nullptr), telemetry.channels[i]) << "channel " << i;
    }
    EXPECT_FALSE(std::getline(cells, cell, ','));
}

TEST(DemoVerdict, NamesEveryBreakOfTheRoad) {
    SessionResult whole;
    whole.gameFound = true;
    whole.linkConnected = true;
    whole.cycles.cycles = 1100;
    whole.cycles.framesSent = 1000;  // the share is of the frames that left on the link
    whole.rig = RigCounts{990, 0};
    EXPECT_TRUE(roadProblems(whole).empty());

    auto broken = whole;
    broken.rig = RigCounts{900, 3};  // too few, and some bad
    EXPECT_EQ(roadProblems(broken).size(), 2u);
    broken = whole;
    broken.rig = RigCounts{0, 0};
    EXPECT_EQ(roadProblems(broken).size(), 1u);
    broken = whole;
    broken.rig.reset();
    EXPECT_EQ(roadProblems(broken).size(), 1u);
    SessionResult nothing;
    EXPECT_EQ(roadProblems(nothing).size(), 4u);  // no game, no link, no cycle, no rig answer
}
