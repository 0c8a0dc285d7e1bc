#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/named_event.h"

using tarvelin::platform::NamedEvent;

namespace {

// An event name no other test run uses at the same time.
std::wstring uniqueName() {
    static std::mt19937_64 random{std::random_device{}()};
    return L"Local\\tarvelin_test_event_" + std::to_wstring(random());
}

}  // namespace

TEST(NamedEvent, ACreatedEventOpensByNameUntilItsCreatorClosesIt) {
    const auto name = uniqueName();
    NamedEvent reader;
    EXPECT_FALSE(reader.open(name));

    NamedEvent game;
    ASSERT_TRUE(game.create(name));
    EXPECT_TRUE(game.isOpen());
    EXPECT_TRUE(reader.open(name));

    reader.close();
    game.close();
    EXPECT_FALSE(reader.open(name)) << "the event outlived its creator";
}

TEST(NamedEvent, CreatingAnExistingEventOpensItAndLeavesItToItsCreator) {
    const auto name = uniqueName();
    NamedEvent game;
    ASSERT_TRUE(game.create(name));
    {
        NamedEvent second;
        EXPECT_TRUE(second.create(name));
    }
    NamedEvent reader;
    EXPECT_TRUE(reader.open(name)) << "a second creator removed the first one's event";
}
