#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "platform/child_process.h"
#include "platform/process_list.h"

using tarvelin::platform::ChildProcess;

namespace {

// A copy of a program that only waits, under a name no other run uses, in a folder of its own.
class IdleProgram {
public:
    IdleProgram() {
        std::mt19937_64 random{std::random_device{}()};
        const std::string name = "tarvelin_idle_" + std::to_string(random()) + ".exe";
        folder_ = std::filesystem::temp_directory_path() / ("tarvelin-child-" + std::to_string(random()));
        std::filesystem::create_directories(folder_);
        file_ = folder_ / name;
        std::filesystem::copy_file(TARVELIN_IDLE_PROGRAM, file_);
        name_.assign(name.begin(), name.end());
    }
    ~IdleProgram() {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    const std::filesystem::path& file() const { return file_; }
    const std::filesystem::path& folder() const { return folder_; }

    bool listed() const {
        struct Search {
            const std::wstring& name;
            bool found = false;
        } search{name_};
        tarvelin::platform::forEachProcess(
            [](std::wstring_view seen, void* context) {
                auto& self = *static_cast<Search*>(context);
                self.found = seen == self.name;
                return !self.found;
            },
            &search);
        return search.found;
    }

    // A process shows in the list only once it has really started.
    bool listedWithin(std::chrono::seconds limit) const {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!listed()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path file_;
    std::wstring name_;
};

}  // namespace

TEST(ChildProcess, RunsUnderItsFileNameUntilTerminated) {
    IdleProgram program;
    ChildProcess child;
    ASSERT_TRUE(child.start(program.file()));
    EXPECT_TRUE(child.running());
    ASSERT_TRUE(program.listedWithin(std::chrono::seconds(10)));

    child.terminate();
    EXPECT_FALSE(child.running());
    EXPECT_FALSE(program.listed()) << "the ended process is still in the list";
    child.terminate();
}

TEST(ChildProcess, EndsItsProcessWhenDestroyedOrRestarted) {
    IdleProgram first;
    IdleProgram second;
    {
        ChildProcess child;
        ASSERT_TRUE(child.start(first.file()));
        ASSERT_TRUE(first.listedWithin(std::chrono::seconds(10)));
        ASSERT_TRUE(child.start(second.file()));
        EXPECT_FALSE(first.listed()) << "a new start leaves the earlier process running";
        ASSERT_TRUE(second.listedWithin(std::chrono::seconds(10)));
    }
    EXPECT_FALSE(second.listed()) << "the destructor leaves the process running";
}

TEST(ChildProcess, AMissingProgramDoesNotStart) {
    IdleProgram program;
    ChildProcess child;
    EXPECT_FALSE(child.start(program.folder() / "missing.exe"));
    EXPECT_FALSE(child.running());
}
