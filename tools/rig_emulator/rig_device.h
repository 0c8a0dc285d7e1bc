#pragma once
// One emulated rig controller board on the master side of a pseudo-terminal. The program under
// test opens the slave side as its serial port, through a stable link that always names the
// current slave (so a board that vanished and came back is found at the same path).
//
// The board reads everything the program writes and checks it as a serial board does (see
// FrameRecorder: F9 and F8 frames may end in 0A 0D instead of their CRC), answering
// identification requests with a configurable reply. It can send any bytes the other way. All
// members are thread-safe.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "frame_recorder.h"
#include "wire.h"

namespace rig_emulator {

struct LineInfo {
    std::uint32_t baud = 0;
    int dataBits = 0;
    char parity = 'N';
    int stopBits = 1;
};

struct ReceivedByte {
    std::uint8_t value = 0;
    double milliseconds = 0.0;  // since the board was attached
};

class RigDevice {
public:
    // Creates the board and its link at `link` (replacing whatever is there).
    explicit RigDevice(std::filesystem::path link);
    ~RigDevice();
    RigDevice(const RigDevice&) = delete;
    RigDevice& operator=(const RigDevice&) = delete;

    // A fresh pseudo-terminal behind the link; the counts, frames and the reply are reset.
    // False when no terminal could be made.
    bool attach();
    // The board vanishes: the terminal is closed (the program's port fails) and the link removed.
    void detach();
    bool attached() const;

    const std::filesystem::path& link() const { return link_; }
    std::string slavePath() const;

    // The answer to each identification request (empty: none). With `firstOfBurstOnly` only
    // a request that comes more than 100 ms after the last answered one is answered.
    void setReply(Bytes reply, bool firstOfBurstOnly);
    // Writes bytes to the program; false when the board is not attached.
    bool send(std::span<const std::uint8_t> bytes);

    Counts counts() const;
    std::vector<Bytes> frames() const;    // good frames, in order of arrival
    std::vector<Bytes> messages() const;  // reassembled FA messages: FA FA, length, payload, 0A 0D
    std::vector<ReceivedByte> bytes() const;
    // The newest good frame, kept also once the records are full; cheap enough to poll.
    ReceivedFrame lastFrame() const;
    // The good frames numbered above `number`, oldest first (see FrameRecorder::framesAfter).
    std::vector<ReceivedFrame> framesAfter(std::size_t number) const;
    // The line settings the program gave its end of the terminal.
    LineInfo line() const;
    // Forgets counts, frames, messages and bytes.
    void clear();
    // Whether every byte and good frame is kept for bytes() and frames() (up to a bound), as
    // tests read them. The console's demo board keeps only counts and recent frames, so that
    // its heap stays the same however long the demo runs.
    void keepRecords(bool keep);

private:
    void run(int master);
    void stopReader();

    std::filesystem::path link_;
    mutable std::mutex mutex_;
    int master_ = -1;
    int slave_ = -1;  // kept open so that the terminal lives while the program reopens its side
    std::string slavePath_;
    std::thread reader_;
    std::atomic<bool> stop_{false};
    std::vector<ReceivedByte> bytes_;
    bool keepBytes_ = true;
    FrameRecorder recorder_{FrameRecorder::Placeholder::shortFramesOnly};
};

}  // namespace rig_emulator
