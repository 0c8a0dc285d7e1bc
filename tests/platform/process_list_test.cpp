#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "platform/process_list.h"

namespace {

// Looks for this program. Windows lists it as "name.exe" whether or not the command that
// started it said ".exe"; POSIX lists argv[0] as given. Either form counts.
struct Search {
    std::wstring stem;
    bool found = false;
    int visited = 0;
};

bool visit(std::wstring_view name, void* context) {
    auto& search = *static_cast<Search*>(context);
    ++search.visited;
    if (name == search.stem || name == search.stem + L".exe") search.found = true;
    return !search.found;
}

// This program's executable name without ".exe": the base name of argv[0], cut at '/' or '\'.
std::wstring ownStem() {
    const std::string path = testing::internal::GetArgvs().front();
    const auto cut = path.find_last_of("/\\");
    std::string base = cut == std::string::npos ? path : path.substr(cut + 1);
    if (base.ends_with(".exe")) base.resize(base.size() - 4);
    return {base.begin(), base.end()};
}

}  // namespace

TEST(ProcessList, FindsThisProgramByItsExecutableName) {
    Search search{ownStem()};
    ASSERT_TRUE(tarvelin::platform::forEachProcess(visit, &search));
    EXPECT_TRUE(search.found) << "looked at " << search.visited << " processes";
}

TEST(ProcessList, NamesAreComparedExactly) {
    std::wstring upper = ownStem();
    for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    Search search{upper};
    tarvelin::platform::forEachProcess(visit, &search);
    EXPECT_FALSE(search.found);
}

TEST(ProcessList, TheWalkStopsWhenTheVisitorSaysSo) {
    int calls = 0;
    tarvelin::platform::forEachProcess(
        [](std::wstring_view, void* context) {
            ++*static_cast<int*>(context);
            return false;
        },
        &calls);
    EXPECT_EQ(calls, 1);
}
