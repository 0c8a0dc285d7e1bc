#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "log/error_log.h"
#include "platform/app_data.h"

namespace fs = std::filesystem;

namespace {

fs::path logFolder() { return tarvelin::platform::roamingAppDataFolder() / "tarvelin"; }

std::string readBytes(const fs::path& file) {
    std::ifstream stream(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()};
}

// The log's lines without their line ends, whichever the platform writes.
std::vector<std::string> readLines() {
    std::istringstream text(readBytes(logFolder() / "errorlog.txt"));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(text, line)) {
        if (line.ends_with('\r')) line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Captures what the log writes to the standard wide error stream.
class WideErrorCapture {
public:
    WideErrorCapture() : saved_(std::wcerr.rdbuf(captured_.rdbuf())) {}
    ~WideErrorCapture() { std::wcerr.rdbuf(saved_); }
    std::wstring text() const { return captured_.str(); }

private:
    std::wostringstream captured_;
    std::wstreambuf* saved_;
};

class ErrorLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(tarvelin::platform::roamingAppDataFolder().empty());
        fs::remove_all(logFolder());
    }
};

}  // namespace

TEST_F(ErrorLogTest, CreatesAMissingFolderAndWritesStampedLines) {
    WideErrorCapture errors;
    {
        tarvelin::ErrorLog log;
        EXPECT_TRUE(log.isOpen());
        log.logInfo(L"Opening port: 4444");
        log.logError(L"Binding socket failed with error: 10048");
    }
    EXPECT_TRUE(errors.text().empty());
    const auto lines = readLines();
    ASSERT_EQ(lines.size(), 2u);
    const std::regex info(R"(\[INFO\] \[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] Opening port: 4444)");
    const std::regex error(R"(\[ERROR\] \[\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\] Binding socket failed with error: 10048)");
    EXPECT_TRUE(std::regex_match(lines[0], info)) << lines[0];
    EXPECT_TRUE(std::regex_match(lines[1], error)) << lines[1];
}

TEST_F(ErrorLogTest, MessagesAreWrittenUnchanged) {
    {
        tarvelin::ErrorLog log;
        log.logInfo(L"\"quoted\" [brackets] 100% \\ back\tslash");
    }
    const auto lines = readLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(29), "\"quoted\" [brackets] 100% \\ back\tslash");
}

TEST_F(ErrorLogTest, LinesEndAsTheSystemsTextFilesDo) {
    {
        tarvelin::ErrorLog log;
        log.logInfo(L"one line");
    }
    // What a text-mode stream writes for a line end here: CR LF on Windows, LF elsewhere.
    const fs::path probe = logFolder() / "line-end.txt";
    std::wofstream(probe) << L'\n';
    const std::string lineEnd = readBytes(probe);
    ASSERT_FALSE(lineEnd.empty());
    const std::string text = readBytes(logFolder() / "errorlog.txt");
    EXPECT_TRUE(text.ends_with("] one line" + lineEnd)) << text;
    EXPECT_EQ(text.find('\n'), text.size() - 1) << "one line, one line end";
}

TEST_F(ErrorLogTest, TwoOpenLogsBothAppend) {
    {
        tarvelin::ErrorLog earlier;
        earlier.logInfo(L"before");
    }
    tarvelin::ErrorLog first;
    tarvelin::ErrorLog second;
    first.logInfo(L"one");
    second.logError(L"two");
    first.logInfo(L"three");
    const auto lines = readLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_NE(lines[0].find("] before"), std::string::npos);
    EXPECT_NE(lines[1].find("] one"), std::string::npos);
    EXPECT_NE(lines[2].find("] two"), std::string::npos);
    EXPECT_NE(lines[3].find("] three"), std::string::npos);
}

TEST_F(ErrorLogTest, AnUnopenableFileIsReportedOnceAndLinesAreDropped) {
    // A plain file where the folder should be: the folder "exists", but the log cannot open.
    std::ofstream(logFolder()).put('x');
    WideErrorCapture errors;
    tarvelin::ErrorLog log;
    EXPECT_FALSE(log.isOpen());
    log.logInfo(L"lost");
    log.logError(L"lost too");
    EXPECT_EQ(errors.text(), L"Failed to open log file\n");
    fs::remove(logFolder());
}

TEST(Widen, KeepsEveryByte) {
    EXPECT_EQ(tarvelin::widen("Port 53241 opened successfully."), L"Port 53241 opened successfully.");
    EXPECT_EQ(tarvelin::widen("\xE9"), std::wstring(1, static_cast<wchar_t>(0xE9)));
}
