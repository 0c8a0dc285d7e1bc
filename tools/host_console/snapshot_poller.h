#pragma once
// Collects the engine's per-cycle snapshots on a thread of its own: counts the cycles, samples
// the cycle period, and optionally writes every cycle to a CSV file.
//
// The engine keeps the last 150 records of each kind (300 ms); polling every 20 ms leaves a
// wide margin, and a take that comes back full is counted as a possible loss, since records
// may have been overwritten before it.

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "host_console/engine_api.h"

namespace tarvelin::console {

struct CycleStatistics {
    std::uint64_t cycles = 0;           // calculation records taken
    std::uint64_t framesSent = 0;       // of those, the cycles while the rig link was up
    std::uint64_t rowsWritten = 0;      // CSV rows (cycles with both records)
    std::uint64_t possibleLosses = 0;   // takes that came back full
    std::uint64_t periodSamples = 0;
    double medianPeriodMs = 0.0;
    double worstPeriodMs = 0.0;
    bool writeFailed = false;
};

// What the telemetry records say about the game's stream.
struct TelemetryWatch {
    // How long the channels the engine's stale test looks at (0..22) have not moved; the
    // engine freezes the cues after half a second of that.
    double stillSeconds = 0.0;
    // Telemetry frames per second, counted as the records in which any channel changed over
    // the last second: the game's own rate, whatever the reader's timing says.
    double framesPerSecond = 0.0;
};

// Receives every cycle the poller takes, its two records paired, in order, on the poller's
// thread: takeCycle for each, then pollDone once per poll (also when it brought none).
class CycleListener {
public:
    virtual ~CycleListener() = default;
    virtual void takeCycle(const CalculationSnapshot& cues, const AccelerationSnapshot& telemetry) = 0;
    virtual void pollDone() = 0;
};

class SnapshotPoller {
public:
    static constexpr auto pollInterval = std::chrono::milliseconds(20);
    static constexpr int engineBufferRecords = 150;

    explicit SnapshotPoller(const EngineApi& api);
    ~SnapshotPoller();
    SnapshotPoller(const SnapshotPoller&) = delete;
    SnapshotPoller& operator=(const SnapshotPoller&) = delete;

    // Writes every cycle from start to stop to `file`, header first. False with `error` set
    // when the file cannot be created. Call before start.
    bool recordTo(const std::filesystem::path& file, std::string& error);

    // Hands every cycle to `listener` as well. Call before start.
    void setListener(CycleListener* listener) { listener_ = listener; }

    // Drops the records gathered before (an earlier session's), then polls until stop.
    void start();
    // Takes the last records, writes them, closes the file and ends the thread.
    void stop();

    // Takes what the engine has gathered now and returns the count of frames sent, so that a
    // count read elsewhere just before (the rig's) never runs ahead of it. Any thread, while
    // started.
    std::uint64_t pollNow();

    // Any thread.
    std::uint64_t cycles() const { return cycles_.load(); }
    // The cycles whose frame went out on the rig link: those while isConnected() said so. The
    // engine hands a frame to the link every cycle, but one handed over while the link is down
    // goes nowhere.
    std::uint64_t framesSent() const { return framesSent_.load(); }
    TelemetryWatch telemetry() const;
    // The newest calculation record taken, if any. Any thread.
    std::optional<CalculationSnapshot> latest() const;
    CycleStatistics statistics() const;

private:
    void run();
    void poll();
    void watch(const AccelerationSnapshot* records, int count);
    bool writePairs();  // false when the file refused the rows
    bool pairing() const { return csv_ != nullptr || listener_ != nullptr; }

    const EngineApi& api_;
    // Serialises the polls of the thread and of pollNow, and guards everything below: the
    // records waiting for their pair, the file and the statistics.
    mutable std::mutex mutex_;
    std::FILE* csv_ = nullptr;
    CycleListener* listener_ = nullptr;
    std::string rowText_;
    std::deque<CalculationSnapshot> calculations_;
    std::deque<AccelerationSnapshot> telemetry_;
    std::uint64_t nextRow_ = 0;
    std::optional<CalculationSnapshot> latest_;

    // Cycle periods in bins of 1 µs up to 20 ms; longer ones land in the last bin, and the
    // worst is kept exactly apart.
    static constexpr std::size_t periodBins = 20000;
    std::array<std::uint32_t, periodBins> periodHistogram_{};
    CycleStatistics statistics_;

    // The telemetry watch: the last record, the run of still ones, and the changes counted in
    // each poll of the last second.
    std::optional<AccelerationSnapshot> previousTelemetry_;
    std::uint64_t stillRecords_ = 0;
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::uint64_t>> changes_;

    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<std::uint64_t> framesSent_{0};
    std::atomic<bool> running_{false};
    std::thread thread_;
};

}  // namespace tarvelin::console
