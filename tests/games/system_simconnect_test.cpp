#include <gtest/gtest.h>

#include "platform/simconnect.h"

// No Flight Simulator is installed where the tests run (and POSIX never has one): the
// platform's client library must then refuse every open with a failure result, never crash.
TEST(SystemSimConnect, WithoutASimulatorEveryOpenFails) {
    auto& library = tarvelin::platform::systemSimConnect();
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::int32_t result = 0;
        EXPECT_EQ(library.open("Tarvelin", &result), nullptr);
        EXPECT_LT(result, 0);
    }
}
