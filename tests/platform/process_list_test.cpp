#include <gtest/gtest.h>

#include <cwctype>
#include <string>

#include "platform/process_list.h"

namespace {

struct Search {
    std::wstring wanted;
    bool found = false;
    int visited = 0;
};

bool visit(std::wstring_view name, void* context) {
    auto& search = *static_cast<Search*>(context);
    ++search.visited;
    if (name == search.wanted) search.found = true;
    return !search.found;
}

// This program's own executable name: the base name of argv[0], cut at '/' or '\'.
std::wstring ownName() {
    const std::string path = testing::internal::GetArgvs().front();
    const auto cut = path.find_last_of("/\\");
    const std::string base = cut == std::string::npos ? path : path.substr(cut + 1);
    std::wstring wide(base.begin(), base.end());
#ifdef _WIN32
    if (wide.size() < 4 || wide.substr(wide.size() - 4) != L".exe") wide += L".exe";
#endif
    return wide;
}

}  // namespace

TEST(ProcessList, FindsThisProgramByItsExecutableName) {
    Search search{ownName()};
    ASSERT_TRUE(tarvelin::platform::forEachProcess(visit, &search));
    EXPECT_TRUE(search.found) << "looked at " << search.visited << " processes";
}

TEST(ProcessList, NamesAreComparedExactly) {
    std::wstring upper = ownName();
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
