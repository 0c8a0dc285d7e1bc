#pragma once
// What the tuning page shows and changes, kept by the console: every cycle of the last ten
// seconds as the snapshot poller takes them, the status sampled from the exports once per poll,
// the counts the console makes of its own (cues at their rig limits, telemetry frames, stale
// telemetry, latency), and the profile being tuned. The page reads all of this from here and
// never reaches the engine on its own: the only exports a request calls are the setters of an
// edit, the same ones a profile file's settings call.

#include <array>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host_console/engine_api.h"
#include "host_console/filter_explanation.h"
#include "host_console/live_view.h"
#include "host_console/profile_document.h"
#include "host_console/profile_file.h"
#include "host_console/snapshot_poller.h"

namespace tarvelin::console {

class LatencyProbe;

struct CycleRecord {
    std::uint64_t number = 0;  // counted from 1 in the order the engine ran them
    CalculationSnapshot cues;
    AccelerationSnapshot telemetry;
};

// The median, 99th percentile and worst of `samples`.
Figures figuresOf(std::vector<double> samples);

struct Limit {
    double low = 0.0;
    double high = 0.0;
};

struct PageStatus {
    std::string title;
    double elapsedSeconds = 0.0;
    int gameId = -1;
    std::string gameName;
    bool gameSeen = false;              // a game was found at some time in this session
    double gameFrameRateHz = 0.0;       // telemetry frames a second, from changes in the record
    double engineFrameIntervalMs = 0.0;
    double cyclePeriodMs = 0.0;         // the last one
    Figures cyclePeriods;               // over the last samples, in ms
    double softStartPercent = 0.0;
    int activeProfile = 0;
    double airPercent = 0.0;
    double groundPercent = 0.0;
    bool rigReady = false;
    bool staleTelemetry = false;
    bool outputHeld = false;            // the console's last filter string was rejected
    std::vector<std::string> frozenReasons;  // empty: the cues move
    std::string port;
    bool linkConnected = false;
    std::uint64_t framesSent = 0;
    std::optional<RigCounts> rig;
    std::uint64_t messagesFromRig = 0;
    bool latencyMeasured = false;       // the console can see both ends of the road
    int latencyMode = 0;                // getLowLatency: the engine's mode in use
    Figures latencyMs;
    std::uint64_t newestCycle = 0;
    std::array<std::uint64_t, rigSlots> cyclesAtLimit{};
    std::array<bool, rigSlots> atLimit{};
    std::array<std::optional<Limit>, rigSlots> rigLimits{};
};

struct SlotSettings {
    std::string filter;  // the slot's filter string (also while switched off), empty for none
    bool active = true;
};

// Its members need no braces to start empty; with them, clang 14 fails on this type.
struct ProfileSettings {
    std::array<std::array<SlotSettings, rigSlots>, 2> slots;
    std::array<std::array<std::optional<double>, beltMixWeights>, 2> beltMix;
    std::array<std::optional<Limit>, rigSlots> inputLimits;
    std::array<std::optional<Limit>, rigSlots> rigLimits;
    std::vector<ProfileMessage> warnings;
};

// The outcome of an edit: done, or refused with the reason (and nothing changed).
struct EditResult {
    bool done = false;
    std::string reason;
    FilterExplanation filter;  // for a filter string: the engine's explanation
};

struct LoadResult {
    bool done = false;
    std::vector<ProfileMessage> errors;  // with their lines in the loaded text
};

class PageHub : public CycleListener {
public:
    static constexpr std::size_t historyCycles = 5000;  // ten seconds of cycles
    static constexpr std::size_t periodSamples = 1000;
    static constexpr int staleAfterCycles = 250;        // as the engine decides its telemetry stale

    // `profileText` is the profile the console applied (already applied), `profileName` the
    // name the page saves it under. `latency` may be null where the console cannot measure it.
    PageHub(const EngineApi& api, std::string title, std::string profileName, std::string_view profileText,
            LatencyProbe* latency);

    // From the snapshot poller's thread.
    void takeCycle(const CalculationSnapshot& cues, const AccelerationSnapshot& telemetry) override;
    void pollDone() override;

    // From the session, whenever it has looked at the link and the rig.
    void takeLinkStatus(const LiveStatus& status);
    void setRigReady(bool ready);

    // For the page, from any thread.
    std::vector<CycleRecord> cyclesAfter(std::uint64_t number, std::size_t most, std::uint64_t& skipped) const;
    PageStatus status() const;
    ProfileSettings profile() const;
    std::string profileText() const;
    const std::string& profileName() const { return profileName_; }

    EditResult applyFilter(int profile, int slot, const std::string& filter);
    EditResult setActive(int profile, int slot, bool active);
    EditResult setInputLimit(int slot, double low, double high);
    EditResult setRigLimit(int slot, double low, double high);
    EditResult setBeltMix(int profile, int index, double weight);
    // Replaces the profile by `text`, in the file format, when all of it is valid: every line
    // and every filter string; settings the text does not mention keep their values.
    LoadResult loadProfile(std::string_view text);

    FilterExplanation explain(const std::string& filter) const { return explainFilter(api_, filter); }

private:
    using Clock = std::chrono::steady_clock;
    void reparse();  // holds mutex_
    void countLimits(const CalculationSnapshot& cues);  // holds mutex_

    const EngineApi& api_;
    const std::string profileName_;
    LatencyProbe* const latency_;
    const Clock::time_point start_ = Clock::now();

    mutable std::mutex mutex_;
    std::deque<CycleRecord> history_;
    std::uint64_t cycles_ = 0;
    std::uint64_t cyclesAtLastPoll_ = 0;
    std::optional<AccelerationSnapshot> previousTelemetry_;
    int staleCycles_ = 0;
    std::uint64_t changesThisPoll_ = 0;
    std::deque<std::pair<Clock::time_point, std::uint64_t>> changes_;  // telemetry frames per poll
    std::deque<double> periods_;
    PageStatus status_;
    ProfileDocument document_;
    ProfileFile parsed_;
    // The filter strings of slots switched off, so that switching them on again restores them.
    std::array<std::array<std::string, rigSlots>, 2> parkedFilters_{};
};

}  // namespace tarvelin::console
