// The fan controller on an emulated fan port (COM8): line modes, one byte per interval,
// pausing and stopping, and giving up after three failed starts.

#include <chrono>

#include "engine/motion_engine.h"
#include "serial/support/link_fixture.h"
#include "tarvelin/motion.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;

class WindSerialTest : public LinkFixture {
protected:
    void SetUp() override {
        LinkFixture::SetUp();
        bench().attach(8);
    }
    Bytes received() { return boards().received("com8"); }
};

TEST_F(WindSerialTest, SendsEachBufferedByteOnceInOrder) {
    WindSerial fan;
    ASSERT_TRUE(fan.init("COM8", 9600, "8N1", 5));
    fan.start();
    ASSERT_TRUE(fan.isRunning());
    const BoardLine line = boards().line("com8");
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_EQ(line.parity, 'N');
    EXPECT_EQ(line.stopBits, 1);
    if (bench().exactBaudRates()) {
        EXPECT_EQ(line.baud, 9600u);
    }

    fan.updateBuffer({0x10, 0x20, 0x30});
    ASSERT_TRUE(waitFor([&] { return received().size() >= 4; }));
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(toHex(received()), "00102030") << "the first 0x00, then the buffer, then nothing";
    fan.stop();
    // The last zero is written by the time stop returns, but the board reads it a moment later.
    EXPECT_TRUE(waitFor([&] { return received().size() >= 5; }));
    EXPECT_EQ(toHex(received()), "0010203000");
    EXPECT_FALSE(fan.isRunning());
}

TEST_F(WindSerialTest, SevenDataBitsEvenParityTwoStopBits) {
    WindSerial fan;
    ASSERT_TRUE(fan.init("COM8", 250000, "7e2", 5));
    fan.start();
    ASSERT_TRUE(fan.isRunning());
    // A pseudo-terminal keeps the stop bits but always reports 8 data bits without parity
    // (Linux forces them on every pty), so only the stop bits can be seen on the board.
    EXPECT_EQ(boards().line("com8").stopBits, 2);
    fan.stop();
    ASSERT_TRUE(fan.init("COM8", 250000, "7E1", 5));
    fan.start();
    ASSERT_TRUE(fan.isRunning()) << "the parity letter in either case";
    const BoardLine line = boards().line("com8");
    EXPECT_EQ(line.stopBits, 1);
    if (bench().exactBaudRates()) {
        EXPECT_EQ(line.baud, 250000u);
    }
}

TEST_F(WindSerialTest, PauseSendsZeroAndHoldsBackTheBuffer) {
    WindSerial fan;
    ASSERT_TRUE(fan.init("COM8", 9600, "8N1", 5));
    fan.start();
    ASSERT_TRUE(waitFor([&] { return received().size() == 1; }));
    fan.pause();
    fan.updateBuffer({0x55});
    std::this_thread::sleep_for(60ms);
    EXPECT_EQ(toHex(received()), "0000") << "the byte was taken but not written";
    fan.unpause();
    fan.updateBuffer({0x66});
    ASSERT_TRUE(waitFor([&] { return received().size() == 3; }));
    EXPECT_EQ(toHex(received()), "000066");
}

TEST_F(WindSerialTest, BadModesFailAndThreeFailuresEndTheTries) {
    WindSerial fan;
    for (const char* mode : {"8N", "8X1", "8N3", "8N1 "}) {
        ASSERT_TRUE(fan.init("COM8", 9600, mode, 5));
        fan.start();
        EXPECT_FALSE(fan.isRunning()) << mode;
    }
    EXPECT_TRUE(received().empty());

    // Three failed starts because the port has gone; it comes back, but start no longer tries.
    ASSERT_TRUE(fan.init("COM8", 9600, "8N1", 5));
    bench().detach(8);
    for (int i = 0; i < 3; ++i) fan.start();
    bench().attach(8);
    fan.start();
    EXPECT_FALSE(fan.isRunning());
    fan.stop();  // resets the count
    fan.start();
    EXPECT_TRUE(fan.isRunning());
}

TEST_F(WindSerialTest, UnknownPortAndNeverStartedInstance) {
    WindSerial fan;
    EXPECT_FALSE(fan.init("COM77", 9600, "8N1", 5));
    EXPECT_FALSE(fan.isInit());
    fan.start();
    EXPECT_FALSE(fan.isRunning());
    fan.stop();
    EXPECT_TRUE(received().empty());
}

// An interval outside 1..1000 ms is refused and changes nothing; a long one does not hold up
// stop (nor the engine's stop, nor process exit, which stop the fan the same way).
TEST_F(WindSerialTest, IntervalIsBoundedAndStopDoesNotWaitItOut) {
    WindSerial fan;
    ASSERT_TRUE(fan.init("COM8", 9600, "8N1", 1000));
    for (const std::uint32_t interval : {0u, 1001u, 20000u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(fan.init("COM8", 9600, "8N1", interval)) << interval;
    }
    EXPECT_TRUE(fan.isInit());
    fan.start();
    ASSERT_TRUE(fan.isRunning());
    fan.updateBuffer({0x10, 0x20});
    ASSERT_TRUE(waitFor([&] { return received().size() >= 2; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(toHex(received()), "0010") << "the next byte waits for the interval kept from before";

    const auto stopping = std::chrono::steady_clock::now();
    fan.stop();
    const auto took = std::chrono::steady_clock::now() - stopping;
    EXPECT_LT(took, 200ms) << std::chrono::duration<double, std::milli>(took).count() << " ms";
}

TEST_F(WindSerialTest, EngineInstanceIsSetUpFromWideNames) {
    EXPECT_TRUE(initWindSerial(L"COM8", 9600, L"8N1", 15));
    EXPECT_TRUE(MotionEngine::instance().windSerial.isInit());
    EXPECT_FALSE(initWindSerial(L"COM8", 9600, L"8N1", 0));
    EXPECT_TRUE(MotionEngine::instance().windSerial.isInit());
    EXPECT_FALSE(initWindSerial(L"COM77", 9600, L"8N1", 15));
    EXPECT_FALSE(MotionEngine::instance().windSerial.isInit());
}

}  // namespace
}  // namespace tarvelin::test
