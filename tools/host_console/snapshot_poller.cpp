#include "host_console/snapshot_poller.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "host_console/csv_format.h"

namespace tarvelin::console {

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
    return cycles_.load();
}

void SnapshotPoller::poll() {
    std::lock_guard lock(mutex_);
    int calculationCount = 0;
    int telemetryCount = 0;
    CalculationSnapshot* calculations = api_.GetCalculationSnapshots(&calculationCount);
    AccelerationSnapshot* telemetry = api_.GetAccelerationSnapshots(&telemetryCount);
    const bool full = calculationCount >= engineBufferRecords || telemetryCount >= engineBufferRecords;
    if (calculations != nullptr && calculationCount > 0) latest_ = calculations[calculationCount - 1];
    if (pairing()) {
        if (calculations != nullptr) calculations_.insert(calculations_.end(), calculations, calculations + calculationCount);
        if (telemetry != nullptr) telemetry_.insert(telemetry_.end(), telemetry, telemetry + telemetryCount);
    }
    api_.FreeCalculationSnapshots(calculations);
    api_.FreeAccelerationSnapshots(telemetry);
    if (calculationCount > 0) cycles_.fetch_add(static_cast<std::uint64_t>(calculationCount));

    // The period is sampled only while the engine cycles: before the first cycle it says
    // nothing, and a sample per poll is an even spread over the session.
    const double period = calculationCount > 0 ? api_.getMotionDataTimeFrame() : 0.0;
    if (pairing() && !writePairs()) statistics_.writeFailed = true;
    if (listener_ != nullptr) listener_->pollDone();

    statistics_.cycles = cycles_.load();
    statistics_.rowsWritten = nextRow_;
    if (full) ++statistics_.possibleLosses;
    if (calculationCount > 0 && std::isfinite(period) && period >= 0.0) {
        const auto bin = std::min(periodBins - 1, static_cast<std::size_t>(period * 1000.0));
        ++periodHistogram_[bin];
        ++statistics_.periodSamples;
        statistics_.worstPeriodMs = std::max(statistics_.worstPeriodMs, period);
    }
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
