// The rig frame protocol: check field, fragmentation, parsing and reassembly, and the queues.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <numeric>
#include <string_view>
#include <thread>

#include "serial/crc16.h"
#include "serial/frame_parser.h"
#include "serial/line_framer.h"
#include "serial/motion_step_guard.h"
#include "serial/send_large_or_whole.h"

namespace tarvelin::serial {
namespace {

Message withCrc(Message frame) {
    const std::uint16_t crc = crc16Arc(frame);
    frame.resize(frame.size() + 2);
    storeCrc(crc, frame.data() + frame.size() - 2);
    return frame;
}

Message lengthFrame(std::uint8_t lead, const Message& payload) {
    Message frame{lead, lead, static_cast<std::uint8_t>(payload.size() & 0xFF), static_cast<std::uint8_t>(payload.size() >> 8)};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return withCrc(frame);
}

Message fragment(std::uint16_t id, std::uint16_t index, std::uint16_t count, const Message& chunk) {
    Message payload{0x00, 0xF1, static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8),
                    static_cast<std::uint8_t>(index), static_cast<std::uint8_t>(index >> 8),
                    static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)};
    payload.insert(payload.end(), chunk.begin(), chunk.end());
    return payload;
}

Message pattern(std::size_t length, std::uint8_t seed = 0) {
    Message bytes(length);
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) % 251);
    return bytes;
}

std::vector<Message> drain(MessageQueue& queue) {
    std::vector<Message> messages;
    Message message;
    while (queue.takeFront(message)) messages.push_back(message);
    return messages;
}

// The frames a link sends after a gap in the engine's frames: each axis catches up from the last
// motion frame sent at its step per frame; an axis without a limit and other messages go as
// they are.
TEST(MotionStepGuard, MotionFramesLeaveWithinTheirStepsOfTheLastOne) {
    RigAxisSteps steps;
    for (auto& step : steps) step.store(0.01);
    steps[5].store(0.0);
    auto motion = [](float value, std::size_t size = 36) {
        Message frame(size, 0x00);
        frame[0] = frame[1] = 0xFC;
        for (std::size_t axis = 0; axis < 6 && 2 + 4 * axis + 4 <= size; ++axis) std::memcpy(&frame[2 + 4 * axis], &value, 4);
        return frame;
    };
    auto axis = [](const Message& frame, std::size_t index) {
        float value;
        std::memcpy(&value, &frame[2 + 4 * index], 4);
        return value;
    };
    const struct {
        Message frame;
        float lateral;  // what the first axis leaves as; the sixth, unlimited, leaves as it came
    } rows[] = {
        {motion(0.5f), 0.5f},    // the first: where the rig stands is not known
        {motion(-0.5f), 0.49f},  // after a gap
        {motion(0.485f), 0.485f},
        {motion(-0.5f, 35), -0.5f},  // no motion frame: untouched
        {motion(0.9f), 0.495f},
    };
    MotionStepGuard guard;
    for (const auto& row : rows) {
        Message frame = row.frame;
        guard.limit(frame, steps);
        EXPECT_FLOAT_EQ(axis(frame, 0), row.lateral);
        EXPECT_EQ(axis(frame, 5), axis(row.frame, 5)) << "an axis without a limit";
        EXPECT_EQ(frame.back(), row.frame.back());
    }
}

TEST(Crc16Arc, MatchesTheReferenceValues) {
    constexpr std::string_view check = "123456789";
    EXPECT_EQ(crc16Arc({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0xBB3D);
    const Message reply{0xF9, 0xF9, 0x01, 0x00, 0x01, 0x00};
    EXPECT_EQ(crc16Arc(reply), 0x1188);
    EXPECT_EQ(crc16Arc({}), 0x0000);
    // The fixed replies carry exactly these check fields.
    EXPECT_EQ(withCrc({0xF9, 0xF9, 0x01, 0x00, 0x02, 0x00}),
              Message(identificationReplyId2Crc.begin(), identificationReplyId2Crc.end()));
}

TEST(Crc16Arc, TableIsBuiltOnceWhenThreadsRaceForIt) {
    // Run in a fresh process by ctest, this is the table's first use; under ThreadSanitizer a
    // racy build would be reported.
    const Message bytes = pattern(1000);
    const std::uint16_t expected = crc16Arc(bytes);
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&] {
            if (crc16Arc(bytes) != expected) ++mismatches;
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches.load(), 0);
}

struct RecordingTransport {
    std::vector<Message> frames;
    static void write(void* self, std::span<const std::uint8_t> frame) {
        static_cast<RecordingTransport*>(self)->frames.emplace_back(frame.begin(), frame.end());
    }
};

TEST(SendLargeOrWhole, CutsLargeFaMessagesIntoCheckedFragments) {
    RecordingTransport transport;
    SendContext context{&RecordingTransport::write, &transport};
    Message message{0xFA, 0xFA, 0xAA, 0x04};  // 1200 bytes: payload 1194
    const Message payload = pattern(1194);
    message.insert(message.end(), payload.begin(), payload.end());
    message.insert(message.end(), {0x0A, 0x0D});
    ASSERT_EQ(message.size(), 1200u);

    sendLargeOrWhole(context, message);
    ASSERT_EQ(transport.frames.size(), 3u);
    const std::size_t chunks[] = {500, 500, 194};
    Message rebuilt;
    for (std::uint16_t i = 0; i < 3; ++i) {
        const Message& frame = transport.frames[i];
        ASSERT_EQ(frame.size(), chunks[i] + 14);
        EXPECT_EQ(loadLe16(&frame[2]), chunks[i] + 8);
        EXPECT_EQ(frame[4], 0x00);
        EXPECT_EQ(frame[5], 0xF1);
        EXPECT_EQ(loadLe16(&frame[6]), 1) << "the first fragmented message has id 1";
        EXPECT_EQ(loadLe16(&frame[8]), i);
        EXPECT_EQ(loadLe16(&frame[10]), 3);
        EXPECT_EQ(crc16Arc({frame.data(), frame.size() - 2}), loadLe16(&frame[frame.size() - 2]));
        rebuilt.insert(rebuilt.end(), frame.begin() + 12, frame.end() - 2);
    }
    EXPECT_EQ(rebuilt, payload);

    sendLargeOrWhole(context, message);
    EXPECT_EQ(loadLe16(&transport.frames[3][6]), 2) << "the next message takes the next id";
}

TEST(SendLargeOrWhole, WritesSmallAndOtherMessagesWhole) {
    RecordingTransport transport;
    SendContext context{&RecordingTransport::write, &transport};
    Message fa500{0xFA, 0xFA};
    fa500.resize(500, 0x11);
    Message fc1200(1200, 0x22);
    fc1200[0] = fc1200[1] = 0xFC;
    sendLargeOrWhole(context, fa500);
    sendLargeOrWhole(context, fc1200);
    ASSERT_EQ(transport.frames.size(), 2u);
    EXPECT_EQ(transport.frames[0], fa500);
    EXPECT_EQ(transport.frames[1], fc1200);
}

TEST(SendLargeOrWhole, NeverUsesMessageIdZero) {
    SendContext context;
    context.fragmentMessageCounter = 0xFFFF;
    EXPECT_EQ(context.nextMessageId(), 0xFFFF);
    EXPECT_EQ(context.nextMessageId(), 1) << "id 0 reads as 'no message' to a receiver";
}

class FrameParserTest : public ::testing::Test {
protected:
    int parse(const Message& bytes) {
        buffer.insert(buffer.end(), bytes.begin(), bytes.end());
        return FrameParser(buffer, queue, assembler, version);
    }

    std::vector<std::uint8_t> buffer;
    MessageQueue queue;
    FragmentAssembler assembler{queue};
    std::atomic<std::int32_t> version{0};
};

TEST_F(FrameParserTest, AcceptsEachFrameKindAndQueuesItWithTrailer) {
    const Message f9 = withCrc({0xF9, 0xF9, 0x05, 0x00, 0x10, 0x20});
    Message f8{0xF8, 0xF8};
    f8.resize(36, 0x33);
    Message fb{0xFB, 0xFB};
    fb.resize(76, 0x44);
    const Message fe = lengthFrame(0xFE, pattern(300));
    Message stream = f9;
    for (const Message& frame : {withCrc(f8), withCrc(fb), fe}) stream.insert(stream.end(), frame.begin(), frame.end());

    EXPECT_EQ(parse(stream), 1);
    EXPECT_TRUE(buffer.empty());
    const auto frames = drain(queue);
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(frames[0].size(), 8u);
    EXPECT_EQ(frames[1].size(), 38u);
    EXPECT_EQ(frames[2].size(), 78u);
    EXPECT_EQ(frames[3].size(), 306u);
    for (const Message& frame : frames) {
        EXPECT_EQ(frame[frame.size() - 2], 0x0A);
        EXPECT_EQ(frame[frame.size() - 1], 0x0D);
    }
    EXPECT_TRUE(std::equal(fe.begin(), fe.end() - 2, frames[3].begin()));
}

TEST_F(FrameParserTest, UncheckedTrailerIsAcceptedOnlyForF9AndF8) {
    Message f8{0xF8, 0xF8};
    f8.resize(36, 0x01);
    f8.insert(f8.end(), {0x0A, 0x0D});
    Message fb{0xFB, 0xFB};
    fb.resize(76, 0x02);
    fb.insert(fb.end(), {0x0A, 0x0D});
    EXPECT_EQ(parse(Message(identificationReplyId1.begin(), identificationReplyId1.end())), 1);
    EXPECT_EQ(parse(f8), 1);
    EXPECT_EQ(parse(fb), 0) << "FB frames have no unchecked form";
    EXPECT_EQ(queue.size(), 2u);
    EXPECT_LT(buffer.size(), 8u);
}

TEST_F(FrameParserTest, SkipsGarbageAndDamagedFramesByteByByte) {
    // Noise, including lead bytes and length claims no usable frame makes: an FE frame longer
    // than the host's 4096-byte read buffer, an FA frame longer than a fragment.
    Message stream{0x00, 0xF9, 0xF9, 0x13, 0xFE, 0x37, 0xFE, 0xFE, 0xFB, 0x0F, 0xFA, 0xFA, 0x03, 0x02};
    Message damaged = withCrc({0xF9, 0xF9, 0x02, 0x00, 0x01, 0x00});
    damaged[7] ^= 0xFF;
    stream.insert(stream.end(), damaged.begin(), damaged.end());
    const Message good = withCrc({0xF9, 0xF9, 0x03, 0x00, 0x07, 0x00});
    stream.insert(stream.end(), good.begin(), good.end());
    EXPECT_EQ(parse(stream), 1);
    const auto frames = drain(queue);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][2], 0x03);
}

TEST_F(FrameParserTest, PartialFramesWaitForTheirLastByte) {
    const Message fe = lengthFrame(0xFE, pattern(100));
    Message fb{0xFB, 0xFB};
    fb.resize(76, 0x55);
    fb = withCrc(fb);
    Message stream = fe;
    stream.insert(stream.end(), fb.begin(), fb.end());
    // Fed in pieces of every size, every frame is queued exactly once, when it is complete.
    for (std::size_t piece : {1u, 3u, 7u, 50u}) {
        for (std::size_t offset = 0; offset < stream.size(); offset += piece) {
            const std::size_t end = std::min(stream.size(), offset + piece);
            parse(Message(stream.begin() + static_cast<std::ptrdiff_t>(offset), stream.begin() + static_cast<std::ptrdiff_t>(end)));
            if (end < fe.size()) {
                EXPECT_TRUE(queue.empty());
            }
        }
        EXPECT_EQ(drain(queue).size(), 2u) << "piece size " << piece;
        EXPECT_TRUE(buffer.empty());
    }
}

TEST_F(FrameParserTest, LongestFramesTheHostCanReadStillWait) {
    for (const Message& frame : {lengthFrame(0xFE, pattern(4090)), lengthFrame(0xFA, fragment(3, 0, 1, pattern(500)))}) {
        EXPECT_EQ(parse(Message(frame.begin(), frame.end() - 1)), 0);
        EXPECT_EQ(buffer.size(), frame.size() - 1);
        EXPECT_EQ(parse(Message(frame.end() - 1, frame.end())), 1);
        EXPECT_TRUE(buffer.empty());
    }
    EXPECT_EQ(drain(queue).size(), 2u);
}

// Frames the host does not read, from the parser and from the assembler alike: the queue keeps
// the newest 150, counts the ones it dropped, and the parse still reports success.
TEST_F(FrameParserTest, FullQueueDropsItsOldestFrames) {
    for (std::uint8_t i = 0; i < 150; ++i) parse(withCrc({0xF9, 0xF9, 0x07, 0x00, i, 0x00}));
    EXPECT_EQ(parse(withCrc({0xF9, 0xF9, 0x07, 0x00, 150, 0x00})), 1);
    EXPECT_EQ(parse(lengthFrame(0xFA, fragment(5, 0, 1, pattern(20)))), 1);
    EXPECT_TRUE(buffer.empty());
    EXPECT_EQ(queue.dropped(), 2u);
    const auto frames = drain(queue);
    ASSERT_EQ(frames.size(), 150u);
    EXPECT_EQ(frames.front()[4], 2);
    EXPECT_EQ(frames[148][4], 150);
    EXPECT_EQ(frames.back()[0], 0xFA);
}

TEST_F(FrameParserTest, VersionFlagNeedsVersion328) {
    parse(withCrc({0xF9, 0xF9, 0x02, 0x00, 27, 3}));
    EXPECT_EQ(version.load(), 0);
    parse(withCrc({0xF9, 0xF9, 0x04, 0x00, 28, 3}));
    EXPECT_EQ(version.load(), 0) << "only the version command counts";
    parse(withCrc({0xF9, 0xF9, 0x02, 0x00, 28, 3}));
    EXPECT_EQ(version.load(), 1);
}

TEST_F(FrameParserTest, FaFramesGoToTheAssembler) {
    const Message notAFragment = lengthFrame(0xFA, pattern(20));
    EXPECT_EQ(parse(notAFragment), 1);
    EXPECT_TRUE(queue.empty());

    const Message payload = pattern(1194, 9);
    for (const std::uint16_t index : {std::uint16_t{2}, std::uint16_t{0}, std::uint16_t{0}, std::uint16_t{1}}) {
        const std::size_t offset = index * 500u;
        const Message chunk(payload.begin() + static_cast<std::ptrdiff_t>(offset),
                            payload.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(offset + 500, payload.size())));
        parse(lengthFrame(0xFA, fragment(77, index, 3, chunk)));
    }
    const auto frames = drain(queue);
    ASSERT_EQ(frames.size(), 1u);
    ASSERT_EQ(frames[0].size(), 1200u);
    EXPECT_EQ(loadLe16(&frames[0][2]), 1194);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frames[0].begin() + 4));
    EXPECT_EQ(frames[0][1198], 0x0A);
    EXPECT_EQ(frames[0][1199], 0x0D);
}

TEST(FragmentAssembler, AnotherMessageDiscardsThePartialOne) {
    MessageQueue queue;
    FragmentAssembler assembler(queue);
    assembler.addFragment(fragment(1, 0, 2, pattern(500)));
    assembler.addFragment(fragment(2, 0, 2, pattern(500, 1)));
    assembler.addFragment(fragment(1, 1, 2, pattern(10)));  // restarts message 1
    EXPECT_TRUE(queue.empty());
    assembler.addFragment(fragment(1, 0, 2, pattern(500)));
    const auto frames = drain(queue);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 516u);
}

TEST(FragmentAssembler, IgnoresMalformedFragments) {
    MessageQueue queue;
    FragmentAssembler assembler(queue);
    assembler.addFragment(Message{0x00, 0xF1, 1, 0, 0, 0});      // too short
    assembler.addFragment(fragment(1, 0, 1, Message(501, 1)));  // chunk too long
    assembler.addFragment(fragment(1, 3, 2, pattern(10)));      // index beyond count
    assembler.addFragment(fragment(1, 0, 0, pattern(10)));      // no fragments
    assembler.addFragment(fragment(1, 0, 60000, pattern(10)));  // would not fit a frame
    assembler.addFragment(fragment(1, 0, 10, pattern(10)));     // the host could not read it
    Message unmarked = fragment(1, 0, 1, pattern(10));
    unmarked[1] = 0xF2;
    assembler.addFragment(unmarked);
    EXPECT_TRUE(queue.empty());
}

TEST(FragmentAssembler, RefusesMessagesTheHostCouldNotRead) {
    MessageQueue queue;
    FragmentAssembler assembler(queue);
    for (const std::size_t length : {4091u, 4090u}) {
        const auto id = static_cast<std::uint16_t>(length);
        for (std::uint16_t index = 0; index < 9; ++index) {
            assembler.addFragment(fragment(id, index, 9, pattern(index < 8 ? 500 : length - 4000)));
        }
    }
    const auto frames = drain(queue);
    ASSERT_EQ(frames.size(), 1u) << "a 4097-byte frame is refused, a 4096-byte one kept";
    EXPECT_EQ(frames[0].size(), 4096u);
}

TEST(FragmentAssembler, AssemblesMessageIdZero) {
    MessageQueue queue;
    FragmentAssembler assembler(queue);
    assembler.addFragment(fragment(0, 0, 2, pattern(500)));
    assembler.addFragment(fragment(0, 1, 2, pattern(3)));
    EXPECT_EQ(queue.size(), 1u);
}

// The serial line's framer against a clock the test sets: a frame that has begun is waited for
// while its bytes keep pace with the line (40 µs a byte) within the margin, and given up
// otherwise, so that the good frames behind it come out.
class LineFramerTest : public ::testing::Test {
protected:
    using Clock = LineFramer::Clock;

    // Bytes read at `ms` milliseconds, then a parse then; the frames that came out. Without
    // `caughtUp` the line still holds bytes the reader has not taken.
    std::vector<Message> feed(double ms, const Message& bytes, bool caughtUp = true) {
        const auto now = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(ms));
        framer.append(bytes, now);
        framer.parse(now, caughtUp);
        return drain(queue);
    }

    const Clock::time_point start = Clock::now();
    MessageQueue queue;
    std::atomic<std::int32_t> version{0};
    LineFramer framer{queue, version};
};

TEST_F(LineFramerTest, GivesUpOnAFrameWhoseBytesStopComing) {
    const Message good = withCrc({0xF9, 0xF9, 0x05, 0x00, 0x01, 0x00});
    const struct {
        const char* start;
        Message bytes;
    } starts[] = {
        {"FE claim of 3840 bytes", {0xFE, 0xFE, 0x00, 0x0F, 0x11}},
        {"FA claim of 200 bytes", {0xFA, 0xFA, 0xC8, 0x00, 0x00, 0xF1}},
        {"F8 cut short", {0xF8, 0xF8, 0x01}},
        {"FB cut short", {0xFB, 0xFB, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A}},
    };
    double ms = 0.0;
    for (const auto& [what, bytes] : starts) {
        Message line = bytes;
        line.insert(line.end(), good.begin(), good.end());
        EXPECT_TRUE(feed(ms, line).empty()) << what;
        // The bytes that came needed under a millisecond: the rest is overdue after the margin.
        EXPECT_TRUE(feed(ms + 95.0, {}).empty()) << what;
        EXPECT_TRUE(feed(ms + 102.0, {}, false).empty()) << what << ": the rest may still be unread";
        EXPECT_EQ(feed(ms + 102.0, {}).size(), 1u) << what;
        EXPECT_EQ(framer.waiting(), 0u) << what;
        // A frame that began long ago is given up as soon as the parse looks at it again.
        ms += 1000.0;
        EXPECT_TRUE(feed(ms, bytes).empty()) << what;
        ms += 5000.0;
        EXPECT_EQ(feed(ms, good).size(), 1u) << what;
    }
}

TEST_F(LineFramerTest, WaitsForALongFrameThatComesAtTheLinesRate) {
    // 4096 bytes at 250000 baud take 164 ms; the adapter hands them over in packets of 62 bytes,
    // with a last partial packet held for its 16 ms latency timer.
    const Message frame = lengthFrame(0xFE, pattern(4090));
    std::size_t offset = 0;
    std::vector<Message> frames;
    while (offset < frame.size()) {
        const std::size_t end = std::min(frame.size(), offset + 62);
        const double sent = static_cast<double>(end) * 0.040;
        frames = feed(end == frame.size() ? sent + 16.0 : sent, Message(frame.begin() + static_cast<std::ptrdiff_t>(offset), frame.begin() + static_cast<std::ptrdiff_t>(end)));
        offset = end;
    }
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 4096u);

    // A reader that falls behind: the first 100 bytes are read at once, then the loop is held up
    // for 300 ms while the rest of the frame comes, and it catches up 512 bytes a pass.
    const Message held = lengthFrame(0xFE, pattern(2994));
    feed(600.0, Message(held.begin(), held.begin() + 100));
    double ms = 900.0;
    for (offset = 100; offset < held.size(); offset += 512, ms += 2.0) {
        const std::size_t end = std::min(held.size(), offset + 512);
        frames = feed(ms, Message(held.begin() + static_cast<std::ptrdiff_t>(offset), held.begin() + static_cast<std::ptrdiff_t>(end)), end == held.size());
    }
    ASSERT_EQ(frames.size(), 1u) << "a late pass does not make a good frame look overdue";
    EXPECT_EQ(frames[0].size(), 3000u);

    // A new connection starts from nothing.
    feed(1000.0, {0xFE, 0xFE, 0x00, 0x01});
    framer.reset();
    EXPECT_EQ(framer.waiting(), 0u);
    EXPECT_EQ(feed(1000.0, withCrc({0xF9, 0xF9, 0x05, 0x00, 0x01, 0x00})).size(), 1u);
}

TEST(MessageQueue, KeepsOrderWhileGrowingAndRecyclingBuffers) {
    MessageQueue queue;
    Message out;
    for (std::uint8_t round = 0; round < 3; ++round) {
        for (std::uint8_t i = 0; i < 40; ++i) queue.push(Message{round, i});
        for (std::uint8_t i = 0; i < 40; ++i) {
            ASSERT_TRUE(queue.takeFront(out));
            EXPECT_EQ(out, (Message{round, i}));
        }
    }
    EXPECT_FALSE(queue.takeFront(out));
    for (int i = 0; i < 200; ++i) queue.pushIfBelow(queueLimit, Message{1});
    EXPECT_EQ(queue.size(), queueLimit);
}

TEST(MessageQueue, RepetitionOfTheNewestAutoMessage) {
    MessageQueue queue;
    std::int32_t count = 0;
    queue.push(Message{1});
    int sends = 0;
    while (!queue.empty()) {
        ++sends;
        queue.advanceRepetition(count);
    }
    EXPECT_EQ(sends, 12) << "a message alone goes out until its count passes 10";
    queue.push(Message{1});
    queue.push(Message{2});
    queue.advanceRepetition(count);
    Message front;
    ASSERT_TRUE(queue.copyFront(front));
    EXPECT_EQ(front, Message{2}) << "a newer message replaces it after one send";
    EXPECT_EQ(count, 0);
}

TEST(MessageQueue, ConcurrentProducersAndConsumersLoseNothing) {
    MessageQueue queue;
    constexpr int perProducer = 5000;
    std::atomic<int> taken{0};
    std::atomic<bool> done{false};
    std::vector<std::thread> threads;
    for (int p = 0; p < 2; ++p) {
        threads.emplace_back([&queue, p] {
            for (int i = 0; i < perProducer; ++i) queue.push(Message{static_cast<std::uint8_t>(p), static_cast<std::uint8_t>(i)});
        });
    }
    for (int c = 0; c < 2; ++c) {
        threads.emplace_back([&] {
            Message out;
            while (!done.load() || !queue.empty()) {
                if (queue.takeFront(out)) ++taken;
            }
        });
    }
    threads[0].join();
    threads[1].join();
    done.store(true);
    threads[2].join();
    threads[3].join();
    EXPECT_EQ(taken.load(), 2 * perProducer);
}

}  // namespace
}  // namespace tarvelin::serial
