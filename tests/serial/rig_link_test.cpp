// The bridge against emulated rig controller boards: identification, sending, receiving,
// queue limits, pausing, repetition, and a board that vanishes and comes back.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <thread>

#include "serial/bridge_state.h"
#include "serial/rig_frames.h"
#include "serial/support/link_fixture.h"
#include "tarvelin/motion.h"

namespace tarvelin::test {
namespace {

using namespace std::chrono_literals;

Bytes lengthFrame(std::uint8_t lead, const Bytes& payload) {
    Bytes frame{lead, lead, static_cast<std::uint8_t>(payload.size() & 0xFF), static_cast<std::uint8_t>(payload.size() >> 8)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return withCrc(frame);
}

Bytes motionFrame(std::uint8_t seed) {
    Bytes frame{0xFC, 0xFC};
    for (int i = 0; i < 32; ++i) frame.push_back(static_cast<std::uint8_t>(seed + i));
    frame.insert(frame.end(), {0x0A, 0x0D});
    return frame;
}

// Stands in for the engine: queues a new motion frame every `period` until `sending` turns false.
std::thread sendMotionFrames(std::atomic<bool>& sending, std::chrono::milliseconds period) {
    return std::thread([&sending, period] {
        std::uint8_t seed = 0;
        while (sending.load()) {
            const Bytes frame = motionFrame(seed++);
            sendMessagemmf(frame.data(), static_cast<int>(frame.size()));
            std::this_thread::sleep_for(period);
        }
    });
}

Bytes fixed(const serial::FixedMessage& message) {
    return Bytes(message.begin(), message.end());
}

std::vector<Bytes> framesWithLead(RigEmulatorClient& boards, const std::string& board, std::uint8_t lead) {
    auto frames = boards.frames(board);
    std::erase_if(frames, [lead](const Bytes& frame) { return frame[0] != lead; });
    return frames;
}

// The fragment frames a board cuts a message payload into, one after another.
Bytes fragmentFrames(std::uint16_t id, const Bytes& payload) {
    const std::size_t count = (payload.size() + 499) / 500;
    Bytes frames;
    for (std::size_t index = 0; index < count; ++index) {
        const std::size_t offset = index * 500;
        const std::size_t length = std::min<std::size_t>(500, payload.size() - offset);
        Bytes fragment{0x00, 0xF1, static_cast<std::uint8_t>(id & 0xFF), static_cast<std::uint8_t>(id >> 8),
                       static_cast<std::uint8_t>(index), 0, static_cast<std::uint8_t>(count), 0};
        fragment.insert(fragment.end(), payload.begin() + static_cast<std::ptrdiff_t>(offset),
                        payload.begin() + static_cast<std::ptrdiff_t>(offset + length));
        const Bytes frame = lengthFrame(0xFA, fragment);
        frames.insert(frames.end(), frame.begin(), frame.end());
    }
    return frames;
}

Bytes readOne() {
    Bytes buffer(4096);
    const int length = readMessagemmf(buffer.data());
    buffer.resize(static_cast<std::size_t>(std::max(length, 0)));
    return buffer;
}

// The time from `since` to now, in milliseconds, for messages and figures.
double millisecondsSince(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - since).count();
}

class RigLinkTest : public LinkFixture {
protected:
    // The next frame readMessagemmf hands out within `limit`; empty when none came.
    static Bytes nextFrame(std::chrono::milliseconds limit = 2000ms) {
        Bytes frame;
        waitFor([&] { return !(frame = readOne()).empty(); }, limit);
        return frame;
    }
};

TEST_F(RigLinkTest, StandardPortIdentifiesAndSendsMotionFramesWithTheirCheckField) {
    startBridge();
    connectOnStandardPort(5);
    EXPECT_TRUE(printed("opened..")) << console();
    EXPECT_TRUE(printed("..id correct. \n"));
    EXPECT_EQ(boards().counts("com5").identificationRequests, 2u);

    const Bytes frame = motionFrame(0x40);
    ASSERT_EQ(sendMessagemmf(frame.data(), static_cast<int>(frame.size())), 1);
    ASSERT_TRUE(waitFor([&] { return !framesWithLead(boards(), "com5", 0xFC).empty(); }));
    const Bytes sent = framesWithLead(boards(), "com5", 0xFC).front();
    Bytes expected(frame.begin(), frame.end() - 2);
    expected = withCrc(expected);
    EXPECT_EQ(toHex(sent), toHex(expected)) << "the last two bytes carry the CRC of the first 34";
    EXPECT_EQ(boards().counts("com5").badFrames, 0u);
}

TEST_F(RigLinkTest, StandardPortRefusesOtherChipsAndOtherReplies) {
    startBridge();
    bench().attach(7);
    boards().reply("com7", fixed(serial::identificationReplyId1));
    setStandartPort("COM7");
    EXPECT_EQ(resumeInterface(), 0);
    EXPECT_TRUE(printed("vid wrong \n\r")) << console();
    EXPECT_TRUE(printed("fail vid.."));
    EXPECT_EQ(boards().counts("com7").identificationRequests, 0u) << "nothing is written to an unknown chip";

    // Without the chip check the identification exchange alone decides.
    setUsbChipCheck(0);
    EXPECT_EQ(resumeInterface(), 1) << console();
    pauseInterface();

    bench().attach(5);
    boards().reply("com5", fixed(serial::identificationReplyId2Crc));
    setStandartPort("COM5");
    EXPECT_EQ(resumeInterface(), 0);
    EXPECT_TRUE(printed(".. wrong id"));
    EXPECT_EQ(isConnected(), 0);
}

TEST_F(RigLinkTest, ScanningFindsTheBoardFromTheLastEightWaitingBytes) {
    bench().attach(6);
    Bytes reply{0x01, 0x02, 0x03, 0x04};
    const Bytes id = fixed(serial::identificationReplyId1Crc);
    reply.insert(reply.end(), id.begin(), id.end());
    boards().reply("com6", reply, true);  // 12 bytes wait after the two requests
    enableAutoconnect();
    startBridge();
    ASSERT_TRUE(waitFor([] { return isConnected() == 1; }, 20s)) << console();
    EXPECT_TRUE(printed("COM6 "));

    // The two handshake messages are the first frames after the identification requests (two
    // per scan of the port; a slow machine may scan it more than once before the answer is in).
    const Bytes request = fixed(serial::identificationRequest);
    std::vector<Bytes> frames;
    ASSERT_TRUE(waitFor([&] {
        frames = boards().frames("com6");
        const auto firstOther = std::find_if(frames.begin(), frames.end(), [&](const Bytes& f) { return f != request; });
        frames.erase(frames.begin(), firstOther);
        return frames.size() >= 2;
    }));
    EXPECT_EQ(toHex(frames[0]), toHex(withCrc({0xF9, 0xF9, 0x04, 0x00, 0x01, 0x00})));
    EXPECT_EQ(toHex(frames[1]), toHex(withCrc({0xF9, 0xF9, 0x02, 0x00, 0x01, 0x00})));
}

TEST_F(RigLinkTest, LargeMessagesLeaveAsFragmentsAndTheBoardsFramesArrive) {
    startBridge();
    connectOnStandardPort(5);

    Bytes large{0xFA, 0xFA, 0xAA, 0x04};  // payload of 1194 bytes
    for (int i = 0; i < 1194; ++i) large.push_back(static_cast<std::uint8_t>(i * 13));
    large.insert(large.end(), {0x0A, 0x0D});
    ASSERT_EQ(sendMessagemmf(large.data(), static_cast<int>(large.size())), 1);
    ASSERT_TRUE(waitFor([&] { return !boards().messages("com5").empty(); }));
    EXPECT_EQ(toHex(boards().messages("com5").front()), toHex(large));
    const auto fragments = framesWithLead(boards(), "com5", 0xFA);
    ASSERT_EQ(fragments.size(), 3u);
    EXPECT_EQ(fragments[0].size(), 514u);
    EXPECT_EQ(fragments[2].size(), 208u);

    // From the board: an F8 frame split over two writes, garbage before an FE frame, a version
    // reply, and a fragmented message.
    Bytes f8{0xF8, 0xF8};
    f8.resize(36, 0x21);
    f8 = withCrc(f8);
    boards().send("com5", Bytes(f8.begin(), f8.begin() + 20));
    std::this_thread::sleep_for(20ms);
    boards().send("com5", Bytes(f8.begin() + 20, f8.end()));
    Bytes noisy{0x00, 0x13, 0xFE, 0x55};
    const Bytes fe = lengthFrame(0xFE, Bytes(10, 0x66));
    noisy.insert(noisy.end(), fe.begin(), fe.end());
    boards().send("com5", noisy);
    boards().send("com5", withCrc({0xF9, 0xF9, 0x02, 0x00, 28, 3}));
    boards().send("com5", fragmentFrames(9, Bytes(600, 0x77)));

    std::vector<Bytes> received;
    ASSERT_TRUE(waitFor([&] {
        while (newMessagemmf() == 1) received.push_back(readOne());
        return std::count_if(received.begin(), received.end(), [](const Bytes& f) { return f[0] == 0xFA; }) == 1;
    })) << received.size();
    std::erase_if(received, [](const Bytes& f) { return f[0] == 0xF9 && f[2] == 0x01; });  // the second id reply
    ASSERT_EQ(received.size(), 4u);
    EXPECT_EQ(received[0].size(), 38u);
    EXPECT_EQ(received[0][36], 0x0A);
    EXPECT_EQ(received[1].size(), 16u);
    EXPECT_EQ(received[1][0], 0xFE);
    EXPECT_EQ(received[2][2], 0x02);
    EXPECT_EQ(received[3].size(), 606u);
    EXPECT_EQ(serial::bridgeState().versionAtLeast328.load(), 1);
}

TEST_F(RigLinkTest, QueuesRefuseAndDropBeyondTheirLimits) {
    const Bytes frame = motionFrame(1);
    EXPECT_EQ(sendMessagemmf(frame.data(), static_cast<int>(frame.size())), -1) << "no loop runs";
    EXPECT_EQ(autoMessagemmf(frame.data()), 0);
    EXPECT_TRUE(printed("no valid data"));

    startBridge();  // not connected: nothing drains the queues
    auto& state = serial::bridgeState();
    for (int i = 0; i < 160; ++i) EXPECT_EQ(sendMessagemmf(frame.data(), static_cast<int>(frame.size())), 1);
    EXPECT_EQ(state.serialSendQueue.size(), 150u);
    EXPECT_EQ(state.udpSendQueue.size(), 150u);
    EXPECT_EQ(sendMessagemmf(frame.data(), 0), -1);
    EXPECT_EQ(sendMessagemmf(frame.data(), -5), -1);

    for (int i = 0; i < 150; ++i) EXPECT_EQ(autoMessagemmf(frame.data()), 1);
    EXPECT_EQ(autoMessagemmf(frame.data()), 0);
    const Bytes noTrailer(4096, 0x11);  // the scan looks at 4096 bytes at most
    EXPECT_EQ(autoMessagemmf(noTrailer.data()), 0);

    state.serialReceiveQueue.push(fixed(serial::identificationReplyId1));
    EXPECT_EQ(newMessagemmf(), 0) << "no transport has answered";
    EXPECT_TRUE(readOne().empty());
    EXPECT_EQ(state.serialReceiveQueue.size(), 1u);
}

// A length claim the board never completes holds back the good frame behind it only briefly:
// a claim no frame may make (longer than the host's read buffer, or an FA frame longer than a
// fragment) at once, one whose bytes stop coming once the line has stayed quiet for the margin.
TEST_F(RigLinkTest, UnmetLengthClaimsAreDroppedAndTheFramesBehindThemArrive) {
    startBridge();
    connectOnStandardPort(5);
    ASSERT_EQ(nextFrame()[2], 0x01) << "the second identification reply";

    const struct {
        const char* claim;
        Bytes bytes;
    } claims[] = {
        {"FE, 64 KB", {0xFE, 0xFE, 0xFF, 0xFF}},
        {"FA, 64 KB", {0xFA, 0xFA, 0xFF, 0xFF, 0x00, 0xF1}},
        {"FE, 3840 bytes", {0xFE, 0xFE, 0x00, 0x0F, 0x11, 0x22, 0x33}},
        {"FA, 200 bytes", {0xFA, 0xFA, 0xC8, 0x00, 0x00, 0xF1, 0x01, 0x00}},
        {"F8 cut short", {0xF8, 0xF8, 0x01, 0x02, 0x03}},
        {"FB cut short", {0xFB, 0xFB, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09}},
    };
    std::uint8_t value = 0;
    for (const auto& [claim, bytes] : claims) {
        const Bytes good = withCrc({0xF9, 0xF9, 0x05, 0x00, ++value, 0x00});
        Bytes line = bytes;
        line.insert(line.end(), good.begin(), good.end());
        const auto sent = std::chrono::steady_clock::now();
        boards().send("com5", line);
        const Bytes frame = nextFrame();
        const double delay = millisecondsSince(sent);
        ASSERT_EQ(frame.size(), 8u) << claim << ": the frame behind the claim never came";
        EXPECT_EQ(frame[4], value) << claim;
        EXPECT_LT(delay, 1000.0) << claim;
        std::printf("[ figure ] frame behind a claim (%s) read after %.1f ms\n", claim, delay);
    }
}

// The board floods the line with claims, damaged frames and good ones while the engine queues a
// motion frame every 2 ms: reading the flood never holds the motion frames up.
TEST_F(RigLinkTest, ReadingAFloodNeverHoldsUpTheMotionFrames) {
    startBridge();
    connectOnStandardPort(5);
    boards().clear("com5");

    std::atomic<bool> sending{true};
    std::thread engine = sendMotionFrames(sending, 2ms);
    Bytes flood;
    while (flood.size() < 1000) {
        const Bytes good = withCrc({0xF9, 0xF9, 0x05, 0x00, 0x01, 0x00});
        for (const Bytes& part : {Bytes{0xFE, 0xFE, 0x00, 0x0F}, Bytes(40, 0x5A), good, Bytes{0xF8, 0xF8, 0x00}}) {
            flood.insert(flood.end(), part.begin(), part.end());
        }
    }
    // 200 KB/s, eight times what the line could carry. (Faster, the board's writes would wait
    // for room in the terminal and delay its own reading of the motion frames.)
    const auto flooding = std::chrono::steady_clock::now();
    std::size_t flooded = 0;
    for (auto next = flooding; next - flooding < 1500ms; next += 5ms) {
        std::this_thread::sleep_until(next);
        boards().send("com5", flood);
        flooded += flood.size();
    }
    sending.store(false);
    engine.join();
    std::this_thread::sleep_for(50ms);

    // When each motion frame reached the board, and the longest silence between two.
    std::vector<double> times;
    const Bytes received = boards().received("com5", &times);
    std::vector<double> arrivals;
    for (std::size_t i = 0; i + 1 < received.size(); ++i) {
        if (received[i] == 0xFC && received[i + 1] == 0xFC) arrivals.push_back(times[i + 1]);
    }
    ASSERT_GT(arrivals.size(), 100u);
    double longestGap = 0.0;
    for (std::size_t i = 1; i < arrivals.size(); ++i) longestGap = std::max(longestGap, arrivals[i] - arrivals[i - 1]);
    std::printf("[ figure ] %zu bytes flooded in 1.5 s; %zu motion frames, longest gap %.1f ms\n", flooded,
                arrivals.size(), longestGap);
    // Reading the flood once stopped the frames for 400 ms natively and far longer under Wine; a
    // pass now reads at most 512 bytes in two port calls. The bound leaves room for a loaded
    // machine's scheduling, and twice that for the sanitizers' slower code.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    constexpr double allowedGap = 500.0;
#else
    constexpr double allowedGap = 250.0;
#endif
    EXPECT_LT(longestGap, allowedGap);
}

// A reassembled message that readMessagemmf's 4096 bytes could not hold is refused when it is put
// together, so the frames behind it are read as they are; the longest that fits comes whole. (The
// queue's own limit is the parser's test.)
TEST_F(RigLinkTest, TheLongestReadableMessageComesWholeAndALongerOneNotAtAll) {
    startBridge();
    connectOnStandardPort(5);
    ASSERT_EQ(nextFrame()[2], 0x01) << "the second identification reply";

    Bytes tooLong(4091, 0x44);  // its frame would be 4097 bytes long
    Bytes longest(4090, 0x55);
    boards().send("com5", fragmentFrames(1, tooLong));
    boards().send("com5", fragmentFrames(2, longest));
    ASSERT_TRUE(waitFor([] { return newMessagemmf() == 1; }));
    const Bytes frame = readOne();
    ASSERT_EQ(frame.size(), 4096u) << "the longest message that fits comes whole, and first";
    EXPECT_EQ(frame[4], 0x55);
    EXPECT_EQ(frame[4095], 0x0D);
    EXPECT_EQ(newMessagemmf(), 0);
}

TEST_F(RigLinkTest, PauseClosesThePortAndResumeIdentifiesAgain) {
    startBridge();
    connectOnStandardPort(5);
    EXPECT_EQ(pauseInterface(), 1);
    EXPECT_EQ(isInterfaceRunning(), 0);
    EXPECT_EQ(isConnected(), 0);
    EXPECT_EQ(resumeInterface(), 1);
    EXPECT_EQ(isConnected(), 1);
    // The board may count the second request of the pair a moment after it has answered the first.
    EXPECT_TRUE(waitFor([this] { return boards().counts("com5").identificationRequests == 4u; }))
        << boards().counts("com5").identificationRequests << " identification requests";

    enableAutoconnect();
    pauseInterface();
    EXPECT_EQ(resumeInterface(), 1) << "with auto-connect on the loop scans";
    EXPECT_EQ(isInterfaceRunning(), 1);
}

TEST_F(RigLinkTest, AutoMessageRepeatsUntilReplaced) {
    startBridge();
    connectOnStandardPort(5);
    const Bytes first{0xF9, 0xF9, 0x07, 0x00, 0x01, 0x00, 0x0A, 0x0D};
    const Bytes second{0xF9, 0xF9, 0x07, 0x00, 0x02, 0x00, 0x0A, 0x0D};
    auto sendsOf = [&](const Bytes& message) {
        const auto frames = boards().frames("com5");
        return std::count(frames.begin(), frames.end(), message);
    };
    ASSERT_EQ(autoMessagemmf(first.data()), 1);
    ASSERT_TRUE(waitFor([] { return serial::bridgeState().autoSendQueue.empty(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_GE(sendsOf(first), 11);
    EXPECT_LE(sendsOf(first), 12);

    // Queued together (while paused), the older one goes out once only.
    boards().clear("com5");
    pauseInterface();
    autoMessagemmf(first.data());
    autoMessagemmf(second.data());
    ASSERT_EQ(resumeInterface(), 1);
    ASSERT_TRUE(waitFor([] { return serial::bridgeState().autoSendQueue.empty(); }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(sendsOf(first), 1);
    EXPECT_GE(sendsOf(second), 11);
}

TEST_F(RigLinkTest, VanishedBoardIsFoundAgainByScanning) {
    bench().attach(6);
    boards().reply("com6", fixed(serial::identificationReplyId2));
    enableAutoconnect();
    startBridge();
    ASSERT_TRUE(waitFor([] { return isConnected() == 1; }, 20s)) << console();

    // The engine's steady stream of motion frames.
    std::atomic<bool> sending{true};
    std::thread engine([&] {
        const Bytes frame = motionFrame(9);
        while (sending.load()) {
            sendMessagemmf(frame.data(), static_cast<int>(frame.size()));
            std::this_thread::sleep_for(2ms);
        }
    });
    bench().detach(6);
    EXPECT_TRUE(waitFor([] { return isConnected() == 0; }));
    EXPECT_TRUE(printed(" Serial Exception Error: "));

    bench().attach(6);
    boards().reply("com6", fixed(serial::identificationReplyId1Crc));
    EXPECT_TRUE(waitFor([] { return isConnected() == 1; }, 30s)) << console();
    EXPECT_TRUE(waitFor([&] { return !framesWithLead(boards(), "com6", 0xFC).empty(); }));
    sending.store(false);
    engine.join();
    EXPECT_EQ(boards().counts("com6").badFrames, 0u);
}

TEST_F(RigLinkTest, PausingWhileTheLoopWritesNeverCorruptsTheLine) {
    startBridge();
    connectOnStandardPort(5);
    std::atomic<bool> sending{true};
    std::thread engine = sendMotionFrames(sending, 1ms);
    for (int round = 0; round < 8; ++round) {
        pauseInterface();
        std::this_thread::sleep_for(3ms);
        EXPECT_EQ(resumeInterface(), 1) << console();
        std::this_thread::sleep_for(10ms);
    }
    sending.store(false);
    engine.join();
    std::this_thread::sleep_for(50ms);
    const auto counts = boards().counts("com5");
    EXPECT_EQ(counts.badFrames, 0u);
    EXPECT_GT(framesWithLead(boards(), "com5", 0xFC).size(), 0u);
}

// A stop ends the loop and every wait of the link promptly, whenever it comes: before the loop
// has got going on the host's other thread, while it idles or scans, and while a host thread
// waits in resumeInterface for a board that never answers. Each case prints what it measured.
TEST_F(RigLinkTest, AStopEndsTheLoopAndEveryWaitPromptlyWheneverItComes) {
    using Clock = std::chrono::steady_clock;
    constexpr auto prompt = 1s;
    auto milliseconds = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };

    // A host thread inside startMMFtoSerial_Thread.
    struct LoopThread {
        std::atomic<bool> ended{false};
        std::thread thread{[this] {
            startMMFtoSerial_Thread();
            ended.store(true);
        }};
        ~LoopThread() {
            // A loop that outlived its stop is stopped again, so that a failing case ends.
            while (!ended.load()) {
                stopMMFtoSerial_Thread();
                std::this_thread::sleep_for(10ms);
            }
            thread.join();
        }
    };

    const struct {
        const char* name;
        std::function<void()> before;  // brings the link to the moment of the stop
    } cases[] = {
        {"with nothing running", nullptr},
        {"right after the start", [] {}},
        {"while paused", [] {
             ASSERT_TRUE(waitFor([] { return serial::bridgeState().bridgeRunning.load(); }));
             pauseInterface();
             std::this_thread::sleep_for(30ms);
         }},
        {"while scanning", [this] {
             bench().attach(5);
             bench().attach(6);
             // Every round waits for a scan of its own to list the ports.
             const auto scans = [] {
                 const std::string text = console();
                 std::size_t count = 0;
                 for (auto at = text.find("COM6 "); at != std::string::npos; at = text.find("COM6 ", at + 1)) ++count;
                 return count;
             };
             const std::size_t before = scans();
             enableAutoconnect();
             ASSERT_TRUE(waitFor([&] { return scans() > before; }));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const int rounds = c.before == nullptr ? 1 : 20;
        int outlived = 0;
        double longest = 0.0;
        for (int round = 0; round < rounds; ++round) {
            std::optional<LoopThread> loop;
            if (c.before != nullptr) {
                loop.emplace();
                c.before();
            }
            const auto stop = Clock::now();
            stopMMFtoSerial_Thread();
            const auto stopped = Clock::now();
            // Its thread may still be on its way out of startMMFtoSerial_Thread, but the loop
            // itself, with the port and blocks it held, is over.
            EXPECT_FALSE(serial::bridgeState().loopActive.load()) << "the stop returned before the loop had ended";
            longest = std::max(longest, milliseconds(stopped - stop));
            if (loop && !waitFor([&] { return loop->ended.load(); }, prompt)) ++outlived;
        }
        EXPECT_LT(longest, milliseconds(prompt)) << "the slowest stop took " << longest << " ms";
        EXPECT_EQ(outlived, 0) << "loops that outlived their stop, of " << rounds;
        std::printf("stop %s: the slowest of %d returned after %.1f ms; %d loops outlived their stop\n", c.name, rounds,
                    longest, outlived);
        disableAutoconnect();
    }
    EXPECT_EQ(isConnected(), 0);

    // resumeInterface on a board that is there but never answers: without a stop it would try
    // three times, each until the identification time-out.
    bench().attach(5);
    boards().silence("com5");
    std::optional<LoopThread> loop;
    loop.emplace();
    ASSERT_TRUE(waitFor([] { return serial::bridgeState().bridgeRunning.load(); }));
    std::atomic<int> resumed{-1};
    Clock::time_point resumedAt{};
    std::thread host([&] {
        const int result = resumeInterface();
        resumedAt = Clock::now();
        resumed.store(result);
    });
    ASSERT_TRUE(waitFor([this] { return boards().counts("com5").identificationRequests >= 2; }));
    std::this_thread::sleep_for(300ms);
    const auto stop = Clock::now();
    stopMMFtoSerial_Thread();
    const auto stopped = Clock::now();
    const bool resumeEnded = waitFor([&] { return resumed.load() != -1; }, prompt);
    EXPECT_TRUE(resumeEnded) << "resumeInterface went on after the stop";
    EXPECT_LT(stopped - stop, prompt) << "the stop took " << milliseconds(stopped - stop) << " ms";
    EXPECT_TRUE(waitFor([&] { return loop->ended.load(); }, prompt));
    if (!resumeEnded) waitFor([&] { return resumed.load() != -1; }, 60s);
    host.join();
    EXPECT_EQ(resumed.load(), 0);
    EXPECT_EQ(isConnected(), 0);
    std::printf("stop during resumeInterface: returned after %.1f ms, resumeInterface %.1f ms after the stop\n",
                milliseconds(stopped - stop), milliseconds(resumedAt - stop));
}

}  // namespace
}  // namespace tarvelin::test
