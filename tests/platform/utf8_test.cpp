#include <gtest/gtest.h>

#include <string>

#include "platform/utf8.h"

using tarvelin::platform::fromUtf8;
using tarvelin::platform::toUtf8;

TEST(Utf8, RoundTripsEveryPlaneThroughThePlatformsWideStrings) {
    const std::string text = "COM4 \xC3\xA9 \xE2\x82\xAC \xF0\x9F\x9A\x97";  // é, €, and a character beyond 16 bits
    const std::wstring wide = fromUtf8(text);
    EXPECT_EQ(wide.size(), sizeof(wchar_t) == 2 ? 11u : 10u) << "a surrogate pair where wchar_t has 16 bits";
    EXPECT_EQ(toUtf8(wide), text);
    EXPECT_EQ(toUtf8(L"Local\\acpmf_physics"), "Local\\acpmf_physics");
}

TEST(Utf8, DamagedInputNeverReadsPastItsEnd) {
    EXPECT_EQ(fromUtf8("ab\xE2\x82"), std::wstring(L"ab") + wchar_t(0xE2) + wchar_t(0x82));
    if constexpr (sizeof(wchar_t) == 2) {
        const std::wstring unpaired = {L'a', static_cast<wchar_t>(0xD800)};
        EXPECT_EQ(toUtf8(unpaired), "a\xEF\xBF\xBD");
    }
}
