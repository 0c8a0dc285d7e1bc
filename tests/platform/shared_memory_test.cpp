#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/shared_memory.h"

using tarvelin::platform::MapAccess;
using tarvelin::platform::SharedMemory;

namespace {

// A block name no other test run uses at the same time.
std::wstring uniqueName(const wchar_t* stem) {
    static int counter = 0;
    const auto id = std::to_wstring(reinterpret_cast<std::uintptr_t>(&counter) % 100000) + L"_" +
                    std::to_wstring(++counter);
    return std::wstring(L"Local\\tarvelin_test_") + stem + L"_" + id;
}

}  // namespace

TEST(SharedMemory, TwoMappingsOfOneBlockSeeTheSameBytes) {
    const auto name = uniqueName(L"shared");
    SharedMemory writer;
    ASSERT_TRUE(writer.createOrOpen(name, 512));
    EXPECT_FALSE(writer.alreadyExisted());
    auto* bytes = static_cast<unsigned char*>(writer.map(MapAccess::readWrite, 512));
    ASSERT_NE(bytes, nullptr);
    EXPECT_EQ(bytes[0], 0) << "a new block starts zeroed";
    std::memcpy(bytes, "motion", 6);

    SharedMemory reader;
    ASSERT_TRUE(reader.openExisting(name, MapAccess::read));
    const auto* seen = static_cast<const char*>(reader.map(MapAccess::read, 512));
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(std::memcmp(seen, "motion", 6), 0);

    SharedMemory second;
    ASSERT_TRUE(second.createOrOpen(name, 512));
    EXPECT_TRUE(second.alreadyExisted());
    ASSERT_NE(second.map(MapAccess::readWrite, 0), nullptr) << "size 0 maps the whole block";
    EXPECT_GE(second.viewSize(), 6u);
    EXPECT_EQ(std::memcmp(second.view(), "motion", 6), 0);
}

TEST(SharedMemory, OpenExistingFailsForAMissingBlock) {
    SharedMemory block;
    EXPECT_FALSE(block.openExisting(uniqueName(L"missing"), MapAccess::read));
    EXPECT_FALSE(block.isOpen());
    EXPECT_EQ(block.map(MapAccess::read, 16), nullptr);
}

TEST(SharedMemory, AViewLargerThanTheBlockIsRefused) {
    const auto name = uniqueName(L"short");
    SharedMemory creator;
    ASSERT_TRUE(creator.createOrOpen(name, 4096));
    SharedMemory reader;
    ASSERT_TRUE(reader.openExisting(name, MapAccess::read));
    EXPECT_EQ(reader.map(MapAccess::read, 1 << 20), nullptr);
    EXPECT_NE(reader.map(MapAccess::read, 4096), nullptr);
}

TEST(SharedMemory, TheBlockDisappearsWhenItsCreatorCloses) {
    const auto name = uniqueName(L"gone");
    {
        SharedMemory creator;
        ASSERT_TRUE(creator.createOrOpen(name, 64));
        SharedMemory other;
        EXPECT_TRUE(other.openExisting(name, MapAccess::read));
    }
    SharedMemory later;
    EXPECT_FALSE(later.openExisting(name, MapAccess::read));
}

TEST(SharedMemory, MovingHandsOverTheBlock) {
    const auto name = uniqueName(L"moved");
    SharedMemory first;
    ASSERT_TRUE(first.createOrOpen(name, 64));
    ASSERT_NE(first.map(MapAccess::readWrite, 64), nullptr);
    SharedMemory second = std::move(first);
    EXPECT_FALSE(first.isOpen());
    EXPECT_EQ(first.view(), nullptr);
    EXPECT_TRUE(second.isOpen());
    EXPECT_NE(second.view(), nullptr);
}

// A reader that looks for a program's block must never take the name away from that program:
// here the program creates its block while the reader's look is still open, and must find it
// reachable by others once the reader has closed again.
TEST(SharedMemory, LookingForAPublishedBlockNeverOrphansTheOneItsProgramCreates) {
    const auto name = uniqueName(L"published");
    SharedMemory look;
    look.openPublished(name, 64);
    SharedMemory program;
    ASSERT_TRUE(program.createOrOpen(name, 64));
    ASSERT_NE(program.map(MapAccess::readWrite, 64), nullptr);
    std::memcpy(program.view(), "live", 4);
    look.close();

    SharedMemory reader;
    ASSERT_TRUE(reader.openPublished(name, 64)) << "the program's block is gone";
    const auto* seen = static_cast<const char*>(reader.map(MapAccess::read, 64));
    ASSERT_NE(seen, nullptr);
    EXPECT_EQ(std::memcmp(seen, "live", 4), 0);
    reader.close();
    SharedMemory later;
    EXPECT_TRUE(later.openExisting(name, MapAccess::read)) << "closing a reader removed the program's block";
}
