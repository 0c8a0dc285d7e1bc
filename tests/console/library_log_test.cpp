// The library's console lines as the console keeps them: cut into lines however they arrive,
// counted instead of repeated, harmless to the terminal, and captured from this very process.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "host_console/library_capture.h"
#include "host_console/library_log.h"

using namespace tarvelin::console;
using Clock = LibraryLog::Clock;

namespace {

struct Chunk {
    std::size_t stream;
    std::string bytes;
    int atMs;
};

struct Expected {
    std::string text;
    std::uint64_t count;
};

std::vector<Expected> entriesOf(const LibraryLog& log) {
    std::vector<Expected> entries;
    for (const auto& entry : log.newest(LibraryLog::mostEntries)) entries.push_back({entry.text, entry.count});
    return entries;
}

bool operator==(const Expected& a, const Expected& b) { return a.text == b.text && a.count == b.count; }
std::ostream& operator<<(std::ostream& out, const Expected& e) { return out << "'" << e.text << "' x" << e.count; }

}  // namespace

TEST(LibraryLog, CutsCountsAndCleansLines) {
    const std::string mark = LibraryLog::syncMark(7);
    struct Case {
        const char* what;
        std::vector<Chunk> chunks;
        int settleAtMs;  // -1: no settling
        std::vector<Expected> expected;  // least recently seen first
    };
    const Case cases[] = {
        {"a line in pieces", {{1, "Error conn", 0}, {1, "ecting to server\n", 1}}, -1,
         {{"Error connecting to server", 1}}},
        {"the link's line ends, \\n\\r", {{0, "vid wrong \n\r", 0}, {0, "vid wrong \n\r", 5}}, -1, {{"vid wrong", 2}}},
        {"lines that take turns", {{0, "A\nB\nA\n", 0}, {0, "B\n", 1}}, -1, {{"A", 2}, {"B", 2}}},
        {"nothing steers the terminal", {{0, "\x1b[2J\tboom\x07\n", 0}}, -1, {{"?[2J boom?", 1}}},
        {"the streams stay apart", {{0, "COM1 ", 0}, {1, "Error\n", 1}, {0, "vid wrong\n", 2}}, -1,
         {{"Error", 1}, {"COM1 vid wrong", 1}}},
        {"a line without its end, once quiet", {{0, "COM1 COM2 ", 0}}, 600, {{"COM1 COM2", 1}}},
        {"not before", {{0, "COM1 COM2 ", 0}}, 100, {}},
        {"a mark inside a line", {{0, "COM1 " + mark.substr(0, 4), 0}, {0, mark.substr(4) + "COM2\n", 1}}, -1,
         {{"COM1 COM2", 1}}},
        {"a long line in pieces", {{0, std::string(LibraryLog::longestLine + 10, 'x') + "\n", 0}}, -1,
         {{std::string(LibraryLog::longestLine, 'x'), 1}, {std::string(10, 'x'), 1}}},
        {"empty lines", {{0, "\n\r\n  \n", 0}}, 1000, {}},
    };
    for (const auto& c : cases) {
        const auto start = Clock::now();
        LibraryLog log(start);
        for (const auto& chunk : c.chunks) log.take(chunk.stream, chunk.bytes, start + std::chrono::milliseconds(chunk.atMs));
        if (c.settleAtMs >= 0) log.settle(start + std::chrono::milliseconds(c.settleAtMs));
        EXPECT_EQ(entriesOf(log), c.expected) << c.what;
    }
}

TEST(LibraryLog, FileHasEachLineOnceAndItsRepeatsCounted) {
    const auto file = std::filesystem::temp_directory_path() / "tarvelin-library-log-test.log";
    const auto start = Clock::now();
    auto log = std::make_unique<LibraryLog>(start);
    std::string error;
    ASSERT_TRUE(log->writeTo(file, "# heading", error)) << error;
    const auto at = [&](int ms) { return start + std::chrono::milliseconds(ms); };
    log->take(1, "Error connecting to server\n", at(250));
    log->take(0, "COM1 vid wrong\n", at(300));
    for (int i = 1; i <= 4; ++i) log->take(1, "Error connecting to server\n", at(250 + 250 * i));
    log->settle(at(10'500));  // ten seconds on: the repeats so far are counted
    log->take(1, "Error connecting to server\n", at(11'000));
    log->finish(at(12'000));
    EXPECT_EQ(log->lines(), 7u);
    EXPECT_EQ(log->linesBeginningWith("Error conn"), 6u);
    log.reset();  // closes the file

    std::stringstream text;
    {
        std::ifstream in(file);
        text << in.rdbuf();
    }
    EXPECT_EQ(text.str().substr(text.str().find("\n     0.250")),
              "\n     0.250 s  Error connecting to server\n"
              "     0.300 s  COM1 vid wrong\n"
              "    10.500 s  x4 (0.500 .. 1.250 s)  Error connecting to server\n"
              "    12.000 s  x1 (11.000 .. 11.000 s)  Error connecting to server\n");
    EXPECT_EQ(text.str().rfind("# heading\n", 0), 0u);
    std::filesystem::remove(file);
}

// The capture itself, on this process's own streams, as the library's printf and perror reach
// them: natively and under Wine alike.
TEST(LibraryCapture, TakesWhatTheProcessPrints) {
    LibraryLog log;
    bool synced = false;
    {
        LibraryCapture capture(log);
        ASSERT_TRUE(capture.start());
        std::printf("opened..");
        std::printf("..id correct. \n");
        std::fprintf(stderr, "Error connecting to server: %s\n", "refused");
        std::fputs("no newline yet", stdout);
        synced = capture.sync();
        std::fputs(" and now one\n", stdout);
        capture.stop();
        std::fprintf(capture.output(), "the console's own line goes to the terminal\n");
    }
    EXPECT_TRUE(synced);
    // Each stream has its reader, so the two streams' lines may come in either order.
    auto entries = entriesOf(log);
    std::sort(entries.begin(), entries.end(), [](const Expected& a, const Expected& b) { return a.text < b.text; });
    const std::vector<Expected> expected = {
        {"Error connecting to server: refused", 1}, {"no newline yet and now one", 1}, {"opened....id correct.", 1}};
    EXPECT_EQ(entries, expected);
    // The streams are the process's own again.
    std::printf("stdout is back\n");
    EXPECT_EQ(log.lines(), 3u);
}
