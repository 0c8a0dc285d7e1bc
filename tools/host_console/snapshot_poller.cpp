#include "host_console/snapshot_poller.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "host_console/csv_format.h"

namespace tarvelin::console {

namespace {

// The engine's stale test compares channels 0..22; its cycle lasts 2 ms.
constexpr std::size_t staleTestChannels = 23;
// Channels 1..41 come from the game; 42, the belt sum, is the engine's own and moves every cycle.
constexpr std::size_t gameChannelsEnd = 42;
constexpr double nominalCycleSeconds = 0.002;
constexpr auto rateWindow = std::chrono::seconds(1);

}  // namespace

SnapshotPoller::SnapshotPoller(const EngineApi& api) : api_(api) {}

SnapshotPoller::~SnapshotPoller() { stop(); }

bool SnapshotPoller::recordTo(const std::filesystem::path& file, std::string& error) {
    csv_ = std::fopen(file.string().c_str(), "wb");
    if (csv_ == nullptr) {
        error = "cannot create " + file.string();
        return false;
    }
    const char* const* names = nullptr;
    int count = 0;
    api_.getGameDataNames(&names, &count);
    const std::string header = csvHeader(names, count);
    if (std::fwrite(header.data(), 1, header.size(), csv_) != header.size()) {
        error = "cannot write " + file.string();
        return false;
    }
    return true;
}

void SnapshotPoller::start() {
    if (running_.exchange(true)) return;
    int count = 0;
    api_.FreeCalculationSnapshots(api_.GetCalculationSnapshots(&count));
    api_.FreeAccelerationSnapshots(api_.GetAccelerationSnapshots(&count));
    thread_ = std::thread([this] { run(); });
}

void SnapshotPoller::stop() {
    if (running_.exchange(false)) {
        if (thread_.joinable()) thread_.join();
        poll();
    }
    std::lock_guard lock(mutex_);
    if (csv_ != nullptr) {
        if (std::fclose(csv_) != 0) statistics_.writeFailed = true;
        csv_ = nullptr;
    }
}

void SnapshotPoller::run() {
    auto next = std::chrono::steady_clock::now();
    while (running_.load()) {
        poll();
        next += pollInterval;
        const auto now = std::chrono::steady_clock::now();
        // After a stall the schedule restarts from now rather than catching up in a burst.
        if (next < now) next = now;
        std::this_thread::sleep_until(next);
    }
}

std::uint64_t SnapshotPoller::pollNow() {
    if (running_.load()) poll();
    return framesSent_.load();
}

void SnapshotPoller::poll() {
    std::lock_guard lock(mutex_);
    int calculationCount = 0;
    int telemetryCount = 0;
    // The link is asked on both sides of the take: a cycle counts as sent when the link was up
    // at either, so that no frame the rig has received is ever missing from the count.
    const bool linkedBefore = api_.isConnected() == 1;
    CalculationSnapshot* calculations = api_.GetCalculationSnapshots(&calculationCount);
    AccelerationSnapshot* telemetry = api_.GetAccelerationSnapshots(&telemetryCount);
    const bool linked = linkedBefore || api_.isConnected() == 1;
    watch(telemetry, telemetryCount);
    const bool full = calculationCount >= engineBufferRecords || telemetryCount >= engineBufferRecords;
    if (calculations != nullptr && calculationCount > 0) latest_ = calculations[calculationCount - 1];
    if (pairing()) {
        if (calculations != nullptr) calculations_.insert(calculations_.end(), calculations, calculations + calculationCount);
        if (telemetry != nullptr) telemetry_.insert(telemetry_.end(), telemetry, telemetry + telemetryCount);
    }
    api_.FreeCalculationSnapshots(calculations);
    api_.FreeAccelerationSnapshots(telemetry);
    if (calculationCount > 0) {
        cycles_.fetch_add(static_cast<std::uint64_t>(calculationCount));
        if (linked) framesSent_.fetch_add(static_cast<std::uint64_t>(calculationCount));
    }

    // The period is sampled only while the engine cycles: before the first cycle it says
    // nothing, and a sample per poll is an even spread over the session.
    const double period = calculationCount > 0 ? api_.getMotionDataTimeFrame() : 0.0;
    if (pairing() && !writePairs()) statistics_.writeFailed = true;
    if (listener_ != nullptr) listener_->pollDone();

    statistics_.cycles = cycles_.load();
    statistics_.framesSent = framesSent_.load();
    statistics_.rowsWritten = nextRow_;
    if (full) ++statistics_.possibleLosses;
    if (calculationCount > 0 && std::isfinite(period) && period >= 0.0) {
        const auto bin = std::min(periodBins - 1, static_cast<std::size_t>(period * 1000.0));
        ++periodHistogram_[bin];
        ++statistics_.periodSamples;
        statistics_.worstPeriodMs = std::max(statistics_.worstPeriodMs, period);
    }
}

void SnapshotPoller::watch(const AccelerationSnapshot* records, int count) {
    const auto now = std::chrono::steady_clock::now();
    std::uint64_t changed = 0;
    for (int i = 0; records != nullptr && i < count; ++i) {
        const auto& channels = records[i].channels;
        if (previousTelemetry_) {
            const auto& before = previousTelemetry_->channels;
            const bool still = std::equal(channels, channels + staleTestChannels, before);
            stillRecords_ = still ? stillRecords_ + 1 : 0;
            if (!still || !std::equal(channels + staleTestChannels, channels + gameChannelsEnd, before + staleTestChannels)) {
                ++changed;
            }
        }
        previousTelemetry_ = records[i];
    }
    changes_.emplace_back(now, changed);
    while (!changes_.empty() && now - changes_.front().first > rateWindow) changes_.pop_front();
}

TelemetryWatch SnapshotPoller::telemetry() const {
    std::lock_guard lock(mutex_);
    TelemetryWatch result;
    result.stillSeconds = static_cast<double>(stillRecords_) * nominalCycleSeconds;
    if (changes_.size() >= 2) {
        std::uint64_t changed = 0;
        // The first poll's changes happened before the window began.
        for (auto poll = std::next(changes_.begin()); poll != changes_.end(); ++poll) changed += poll->second;
        const double seconds = std::chrono::duration<double>(changes_.back().first - changes_.front().first).count();
        if (seconds > 0.0) result.framesPerSecond = static_cast<double>(changed) / seconds;
    }
    return result;
}

// The two kinds of record are taken by separate calls, so a cycle may have been recorded
// between them: its calculation record came with this poll and its telemetry record comes
// with the next. Records are paired in order, and an unpaired one waits.
bool SnapshotPoller::writePairs() {
    rowText_.clear();
    while (!calculations_.empty() && !telemetry_.empty()) {
        if (listener_ != nullptr) listener_->takeCycle(calculations_.front(), telemetry_.front());
        if (csv_ != nullptr) appendCsvRow(rowText_, nextRow_++, calculations_.front(), telemetry_.front());
        calculations_.pop_front();
        telemetry_.pop_front();
    }
    return csv_ == nullptr || std::fwrite(rowText_.data(), 1, rowText_.size(), csv_) == rowText_.size();
}

std::optional<CalculationSnapshot> SnapshotPoller::latest() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

CycleStatistics SnapshotPoller::statistics() const {
    std::lock_guard lock(mutex_);
    CycleStatistics result = statistics_;
    if (result.periodSamples > 0) {
        const std::uint64_t middle = (result.periodSamples + 1) / 2;
        std::uint64_t seen = 0;
        for (std::size_t bin = 0; bin < periodBins; ++bin) {
            seen += periodHistogram_[bin];
            if (seen >= middle) {
                result.medianPeriodMs = static_cast<double>(bin) / 1000.0;
                break;
            }
        }
    }
    return result;
}

}  // namespace tarvelin::console
