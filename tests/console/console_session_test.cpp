// The console's sessions in-process, against the engine library loaded at run time and rig
// controller emulator boards this test can read: the demo's record against the frames the rig
// received, the link coming back after the board was gone, and run stopping rig and fan in
// order.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "beamng_encoder.h"
#include "control_server.h"
#include "telemetry_emulator.h"
#include "wire.h"
#include "host_console/commands.h"
#include "platform/app_data.h"

using namespace tarvelin::console;

namespace {

struct CsvTable {
    std::vector<std::string> columns;
    std::vector<std::vector<double>> rows;

    std::size_t column(const std::string& name) const {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i] == name) return i;
        }
        ADD_FAILURE() << "no column " << name;
        return 0;
    }
};

CsvTable readCsv(const std::filesystem::path& file) {
    CsvTable table;
    std::ifstream in(file);
    std::string line;
    if (!std::getline(in, line)) return table;
    std::istringstream header(line);
    for (std::string cell; std::getline(header, cell, ',');) table.columns.push_back(cell);
    while (std::getline(in, line)) {
        std::vector<double> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::strtod(cell.c_str(), nullptr));
        table.rows.push_back(std::move(row));
    }
    return table;
}

std::string contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    return text;
}

float floatAt(const rig_emulator::Bytes& frame, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(frame[offset + i]) << (8 * i);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t bigEndianAt(const rig_emulator::Bytes& frame, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | frame[offset + i];
    return value;
}

// What the rig frame carries for a recorded cue: the six axes as floats held to the profile's
// rig limits (-1..1), belt and wind as whole numbers from 0.
float axisInFrame(double cue) { return std::clamp(static_cast<float>(cue), -1.0f, 1.0f); }
std::uint32_t countInFrame(double cue) {
    const float value = std::max(0.0f, static_cast<float>(cue));
    return static_cast<std::uint32_t>(value);
}

bool frameMatchesRow(const rig_emulator::Bytes& frame, const std::vector<double>& row, const std::size_t (&axes)[6],
                     std::size_t belt, std::size_t wind) {
    for (std::size_t axis = 0; axis < 6; ++axis) {
        if (floatAt(frame, 2 + 4 * axis) != axisInFrame(row[axes[axis]])) return false;
    }
    return bigEndianAt(frame, 26) == countInFrame(row[belt]) && bigEndianAt(frame, 30) == countInFrame(row[wind]);
}

std::string exampleProfile() {
    std::ifstream example(TARVELIN_EXAMPLE_PROFILE);
    std::stringstream text;
    text << example.rdbuf();
    return text.str();
}

// The example profile without its lines that start with `prefix`.
std::string withoutLines(const std::string& profile, const std::string& prefix) {
    std::istringstream lines(profile);
    std::string kept;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(prefix, 0) != 0) kept += line + "\n";
    }
    return kept;
}

struct Bench {
    std::filesystem::path folder = tarvelin::platform::roamingAppDataFolder() / "console-demo";
    rig_emulator::ControlServer emulator{tarvelin::platform::roamingAppDataFolder() / "tarvelin" / "dosdevices"};
    std::uint16_t control = 0;

    Bench() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        control = emulator.listen(0);
        emulator.start();
    }

    CommandLine demo(const std::string& board, double seconds) const {
        CommandLine line;
        line.command = Command::demo;
        line.library = TARVELIN_LIBRARY;
        line.profile = TARVELIN_EXAMPLE_PROFILE;
        line.seconds = seconds;
        line.rigPort = "COM" + board.substr(3);
        line.rigControl = control;
        line.rigBoard = board;
        return line;
    }
};

struct DemoRun {
    int status = -1;
    std::string output;
};

DemoRun runDemo(const CommandLine& line) {
    DemoRun run;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) return run;
    run.status = demoCommand(line, ConsoleStreams{out, err});
    run.output = contents(out) + contents(err);
    std::fclose(out);
    std::fclose(err);
    return run;
}

}  // namespace

// The engine keeps a game's port bound once it has found the game, so each of these tests runs
// in a process of its own (see tests.cmake).

TEST(ConsoleDemo, ConnectsAgainWhenTheBoardComesBack) {
    Bench bench;
    ASSERT_NE(bench.control, 0);
    auto& board = bench.emulator.device("com43");
    ASSERT_TRUE(board.attach());
    DemoRun run;
    std::thread demo([&] { run = runDemo(bench.demo("com43", 8.0)); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (board.counts().goodFrames < 100 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const bool flowing = board.counts().goodFrames >= 100;
    // The cable is pulled and plugged in again: a fresh terminal, which answers as before.
    board.detach();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const bool back = board.attach();
    board.setReply(rig_emulator::shortFrame(0x01, 0x01, 0x00, true), false);
    demo.join();
    ASSERT_TRUE(flowing) << run.output;
    ASSERT_TRUE(back);
    const auto counts = board.counts();
    EXPECT_GE(counts.identificationRequests, 1u) << run.output;
    EXPECT_GT(counts.goodFrames - counts.identificationRequests, 250u) << run.output;
    EXPECT_EQ(counts.badFrames, 0u);
}

TEST(ConsoleDemo, RecordsEveryCycleThatReachedTheRig) {
    Bench bench;
    ASSERT_NE(bench.control, 0);
    ASSERT_TRUE(bench.emulator.device("com42").attach());
    CommandLine line = bench.demo("com42", 4.0);
    line.record = bench.folder / "demo.csv";
    // The rate limits would hold the frames back from the recorded cues on the bumps; the park
    // at the end is recorded like every other cycle.
    line.profile = bench.folder / "unlimited.profile";
    std::ofstream(line.profile) << withoutLines(exampleProfile(), "rate ");
    const DemoRun run = runDemo(line);
    const std::string& output = run.output;
    ASSERT_EQ(run.status, 0) << output;
    bench.emulator.stop();

    const CsvTable table = readCsv(line.record);
    ASSERT_EQ(table.columns.size(), 1u + 23u + 42u);
    const std::size_t axes[6] = {table.column("lateral"), table.column("longitudinal"), table.column("vertical"),
                                 table.column("yaw"),     table.column("roll"),         table.column("pitch")};
    const std::size_t belt = table.column("belt");
    const std::size_t wind = table.column("wind");
    // Every row is one cycle, numbered without a gap.
    ASSERT_GT(table.rows.size(), 500u) << output;
    for (std::size_t i = 0; i < table.rows.size(); ++i) {
        ASSERT_EQ(table.rows[i].size(), table.columns.size()) << "row " << i;
        ASSERT_EQ(table.rows[i][0], static_cast<double>(i));
    }
    EXPECT_NE(output.find("frames sent      " + std::to_string(table.rows.size()) + "\n"), std::string::npos) << output;

    std::vector<rig_emulator::Bytes> motion;
    for (auto& frame : bench.emulator.device("com42").frames()) {
        if (frame.size() == 36 && frame[0] == 0xFC) motion.push_back(std::move(frame));
    }
    ASSERT_FALSE(motion.empty());
    // The frames are matched to the rows in order. A frame the link dropped leaves a row
    // unmatched, which a loaded machine may cause now and then; a row missing from the record
    // leaves a frame without its row, which must never happen.
    std::size_t row = 0;
    std::size_t skipped = 0;
    bool moved = false;
    for (std::size_t k = 0; k < motion.size(); ++k) {
        while (row < table.rows.size() && !frameMatchesRow(motion[k], table.rows[row], axes, belt, wind)) {
            ++row;
            ++skipped;
        }
        ASSERT_LT(row, table.rows.size()) << "frame " << k << " of " << motion.size() << " has no row in the record";
        moved = moved || floatAt(motion[k], 2 + 4) != 0.0f;
        ++row;
    }
    EXPECT_LE(skipped, table.rows.size() / 50) << "rows without a frame";
    EXPECT_TRUE(moved) << "the longitudinal axis never moved";
}

TEST(ConsoleRun, StopsTheRigAndThenTheFanWithItsZeroByte) {
    Bench bench;
    ASSERT_NE(bench.control, 0);
    auto& rig = bench.emulator.device("com44");
    auto& fan = bench.emulator.device("com45");
    ASSERT_TRUE(rig.attach());
    ASSERT_TRUE(fan.attach());
    rig.setReply(rig_emulator::shortFrame(0x01, 0x01, 0x00, true), false);

    // The example profile, on the emulated board's port and with the fan on the other board.
    std::string profile = exampleProfile();
    const auto replace = [&profile](const std::string& from, const std::string& to) {
        const auto at = profile.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        profile.replace(at, from.size(), to);
    };
    replace("port = auto", "port = COM44");
    replace("usb_chip_check = on", "usb_chip_check = off");
    profile += "[fan]\nport = COM45\ninterval_ms = 20\n";
    const auto profileFile = bench.folder / "rig.profile";
    std::ofstream(profileFile) << profile;

    tarvelin::emulator::TelemetryEmulator game(tarvelin::emulator::beamNgEncoder);
    ASSERT_TRUE(game.ready());
    game.start();
    CommandLine line;
    line.command = Command::run;
    line.library = TARVELIN_LIBRARY;
    line.profile = profileFile;
    line.seconds = 4.0;
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    ASSERT_TRUE(out != nullptr && err != nullptr);
    const int status = runCommand(line, ConsoleStreams{out, err});
    const std::string output = contents(out) + contents(err);
    std::fclose(out);
    std::fclose(err);
    game.stop();
    ASSERT_EQ(status, 0) << output;

    // Once run has returned, the rig gets nothing more.
    const auto frames = rig.counts().goodFrames;
    EXPECT_GT(frames, 500u) << output;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(rig.counts().goodFrames, frames);
    // The fan ran at the profile's breeze and was left with its zero byte.
    const auto bytes = fan.bytes();
    ASSERT_FALSE(bytes.empty()) << output;
    EXPECT_TRUE(std::any_of(bytes.begin(), bytes.end(), [](const auto& byte) { return byte.value != 0; }));
    EXPECT_EQ(bytes.back().value, 0) << output;
}
