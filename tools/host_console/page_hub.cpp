#include "host_console/page_hub.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "host_console/latency_probe.h"
#include "host_console/profile_applier.h"

namespace tarvelin::console {

namespace {

constexpr int motionAxes = 6;        // the slots the rig frame clamps to their rig limits
constexpr int inputLimitedSlots = 8; // the slots whose telemetry passes the input limits
constexpr std::ptrdiff_t staleChannels = 23;
constexpr std::ptrdiff_t gameChannels = 42;
constexpr auto frameRateWindow = std::chrono::seconds(1);

const char* sectionOf(int profile) { return profile == profileAir ? "air" : "ground"; }

// The shortest text that reads back as the same double, for the profile file.
std::string number(double value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// The belt components by the names the file format gives them, other entries by number.
std::string beltMixName(int index) {
    switch (index) {
    case 1: return "longitudinal";
    case 2: return "vertical";
    case 4: return "roll";
    case 5: return "pitch";
    default: return std::to_string(index);
    }
}

bool validProfile(int profile) { return profile == profileAir || profile == profileGround; }
bool validSlot(int slot) { return slot >= 0 && slot < rigSlots; }

EditResult refused(std::string reason) { return {false, std::move(reason), {}}; }

}  // namespace

Figures figuresOf(std::vector<double> samples) {
    Figures figures;
    if (samples.empty()) return figures;
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double share) {
        return samples[std::min(samples.size() - 1, static_cast<std::size_t>(share * static_cast<double>(samples.size())))];
    };
    figures.median = at(0.5);
    figures.p99 = at(0.99);
    figures.worst = samples.back();
    figures.samples = samples.size();
    return figures;
}

PageHub::PageHub(const EngineApi& api, std::string title, std::string profileName, std::string_view profileText,
                 LatencyProbe* latency)
    : api_(api), profileName_(std::move(profileName)), latency_(latency), document_(profileText) {
    status_.title = std::move(title);
    status_.latencyMeasured = latency != nullptr;
    reparse();
}

void PageHub::reparse() {
    std::vector<ProfileError> errors;
    parsed_ = parseProfileFile(document_.text(), errors);
    status_.rigLimits = {};
    for (int slot = 0; slot < motionAxes; ++slot) status_.rigLimits[static_cast<std::size_t>(slot)] = Limit{};
    for (const auto& limit : parsed_.rigLimits) status_.rigLimits[static_cast<std::size_t>(limit.slot)] = Limit{limit.low, limit.high};
}

void PageHub::takeCycle(const CalculationSnapshot& cues, const AccelerationSnapshot& telemetry) {
    if (latency_ != nullptr) latency_->takeCycle(cues, telemetry);
    std::lock_guard lock(mutex_);
    if (history_.size() == historyCycles) history_.pop_front();
    CycleRecord& newest = history_.emplace_back();
    newest.number = ++cycles_;
    newest.cues = cues;
    newest.telemetry = telemetry;

    // The engine calls its telemetry stale from the first 23 channels; a change in any channel
    // the game fills is a new frame from the game (the last, the belt sum, is the engine's own).
    if (previousTelemetry_) {
        const auto& before = previousTelemetry_->channels;
        const bool firstSame = std::equal(before, before + staleChannels, telemetry.channels);
        staleCycles_ = firstSame ? staleCycles_ + 1 : 0;
        if (!std::equal(before, before + gameChannels, telemetry.channels)) ++changesThisPoll_;
    }
    previousTelemetry_ = telemetry;
    countLimits(cues);
}

void PageHub::countLimits(const CalculationSnapshot& cues) {
    for (std::size_t slot = 0; slot < rigSlots; ++slot) {
        const auto& limit = status_.rigLimits[slot];
        const double value = cues.values[slot];
        bool at = false;
        if (limit) {
            // Limits of 0 0 hold the cue at zero: any other value is held there.
            at = limit->high > limit->low ? (value >= limit->high || value <= limit->low) : value != limit->low;
            at = at || !std::isfinite(value);
        }
        status_.atLimit[slot] = at;
        if (at) ++status_.cyclesAtLimit[slot];
    }
}

void PageHub::pollDone() {
    if (latency_ != nullptr) latency_->pollDone();
    // The exports first, outside the lock: the page's readers never wait for the engine.
    LiveStatus sample;
    sampleStatus(api_, sample);
    const double readerIntervalMs = api_.getGameTimeFrame();
    const auto now = Clock::now();

    std::lock_guard lock(mutex_);
    status_.gameId = sample.gameId;
    status_.gameName = sample.gameName;
    status_.gameSeen = status_.gameSeen || sample.gameId >= 0;
    status_.engineFrameIntervalMs = readerIntervalMs;
    status_.softStartPercent = sample.softStartPercent;
    status_.activeProfile = sample.activeProfile;
    status_.airPercent = sample.airPercent;
    status_.groundPercent = sample.groundPercent;
    status_.linkConnected = sample.linkConnected;
    status_.cyclePeriodMs = sample.cycleMs;
    status_.latencyMode = sample.latencyMode;
    // The period is sampled only while the engine cycles; before its first cycle it says nothing.
    const bool cycled = cycles_ > cyclesAtLastPoll_;
    cyclesAtLastPoll_ = cycles_;
    if (cycled && std::isfinite(sample.cycleMs) && sample.cycleMs > 0.0) {
        periods_.push_back(sample.cycleMs);
        if (periods_.size() > periodSamples) periods_.pop_front();
    }
    changes_.emplace_back(now, changesThisPoll_);
    changesThisPoll_ = 0;
    while (changes_.size() > 2 && now - changes_[1].first > frameRateWindow) changes_.pop_front();
    status_.staleTelemetry = staleCycles_ > staleAfterCycles;
}

void PageHub::takeLinkStatus(const LiveStatus& live) {
    std::lock_guard lock(mutex_);
    status_.port = live.port;
    status_.rig = live.rig;
    status_.messagesFromRig = live.messagesFromRig;
}

void PageHub::setRigReady(bool ready) {
    std::lock_guard lock(mutex_);
    status_.rigReady = ready;
}

std::vector<CycleRecord> PageHub::cyclesAfter(std::uint64_t number, std::size_t most, std::uint64_t& skipped) const {
    std::lock_guard lock(mutex_);
    std::vector<CycleRecord> records;
    skipped = 0;
    if (history_.empty() || number >= history_.back().number) return records;
    const std::uint64_t oldest = history_.front().number;
    std::uint64_t first = std::max(number + 1, oldest);
    // A reader that fell behind gets the newest cycles and is told how many it missed.
    if (history_.back().number - first + 1 > most) first = history_.back().number - most + 1;
    skipped = first - (number + 1);
    records.reserve(static_cast<std::size_t>(history_.back().number - first + 1));
    for (auto at = history_.begin() + static_cast<std::ptrdiff_t>(first - oldest); at != history_.end(); ++at) {
        records.push_back(*at);
    }
    return records;
}

PageStatus PageHub::status() const {
    std::vector<double> periods;
    PageStatus status;
    {
        std::lock_guard lock(mutex_);
        status = status_;
        periods.assign(periods_.begin(), periods_.end());
        status.framesSent = cycles_;
        status.newestCycle = cycles_;
        if (changes_.size() >= 2) {
            std::uint64_t frames = 0;
            for (std::size_t i = 1; i < changes_.size(); ++i) frames += changes_[i].second;
            const double seconds = std::chrono::duration<double>(changes_.back().first - changes_.front().first).count();
            status.gameFrameRateHz = seconds > 0.0 ? static_cast<double>(frames) / seconds : 0.0;
        }
    }
    status.elapsedSeconds = std::chrono::duration<double>(Clock::now() - start_).count();
    status.cyclePeriods = figuresOf(std::move(periods));
    if (latency_ != nullptr) status.latencyMs = latency_->figures();

    if (status.gameId < 0) {
        status.frozenReasons.push_back(status.gameSeen ? "game lost: the engine is searching for it again"
                                                       : "no game yet: the engine is searching for one");
    }
    if (!status.rigReady) status.frozenReasons.push_back("rig not ready");
    if (status.staleTelemetry) {
        status.frozenReasons.push_back("stale telemetry: the game's values have not changed for half a second");
    }
    if (status.outputHeld) status.frozenReasons.push_back("publishing held: the engine rejected a filter string");
    return status;
}

ProfileSettings PageHub::profile() const {
    std::lock_guard lock(mutex_);
    ProfileSettings settings;
    for (int profile = 0; profile < 2; ++profile) {
        for (int slot = 0; slot < rigSlots; ++slot) {
            settings.slots[static_cast<std::size_t>(profile)][static_cast<std::size_t>(slot)].filter =
                parkedFilters_[static_cast<std::size_t>(profile)][static_cast<std::size_t>(slot)];
        }
    }
    for (const auto& filter : parsed_.filters) {
        settings.slots[static_cast<std::size_t>(filter.profile)][static_cast<std::size_t>(filter.slot)].filter = filter.filter;
    }
    for (const auto& activity : parsed_.activity) {
        settings.slots[static_cast<std::size_t>(activity.profile)][static_cast<std::size_t>(activity.slot)].active = activity.active;
    }
    for (const auto& weight : parsed_.beltMix) {
        settings.beltMix[static_cast<std::size_t>(weight.profile)][static_cast<std::size_t>(weight.index)] = weight.weight;
    }
    for (const auto& limit : parsed_.inputLimits) settings.inputLimits[static_cast<std::size_t>(limit.slot)] = Limit{limit.low, limit.high};
    for (const auto& limit : parsed_.rigLimits) settings.rigLimits[static_cast<std::size_t>(limit.slot)] = Limit{limit.low, limit.high};
    settings.warnings = parsed_.warnings;
    return settings;
}

std::string PageHub::profileText() const {
    std::lock_guard lock(mutex_);
    return document_.text();
}

EditResult PageHub::applyFilter(int profile, int slot, const std::string& filter) {
    if (!validProfile(profile) || !validSlot(slot)) return refused("no such profile or slot");
    EditResult result;
    result.filter = explainFilter(api_, filter);
    if (!result.filter.accepted) {
        // Nothing reaches the engine: a rejected string would hold its publishing.
        result.reason = result.filter.message;
        return result;
    }
    std::lock_guard lock(mutex_);
    if (api_.setcheckFilterstring(profile, slot, filter.c_str()) != 1) {
        status_.outputHeld = true;
        result.reason = "the engine rejected the filter string";
        return result;
    }
    status_.outputHeld = false;
    // A slot with a filter string is switched on, as in a profile file.
    api_.setActiveAxis(profile, slot, true);
    parkedFilters_[static_cast<std::size_t>(profile)][static_cast<std::size_t>(slot)].clear();
    document_.set(sectionOf(profile), slotName(slot), filter);
    reparse();
    result.done = true;
    return result;
}

EditResult PageHub::setActive(int profile, int slot, bool active) {
    if (!validProfile(profile) || !validSlot(slot)) return refused("no such profile or slot");
    std::lock_guard lock(mutex_);
    auto& parked = parkedFilters_[static_cast<std::size_t>(profile)][static_cast<std::size_t>(slot)];
    std::string filter;
    for (const auto& written : parsed_.filters) {
        if (written.profile == profile && written.slot == slot) filter = written.filter;
    }
    if (active) {
        // The file format switches a slot on by giving it its filter string.
        if (filter.empty()) filter = parked;
        if (filter.empty()) return refused("give the slot a filter string first");
        document_.set(sectionOf(profile), slotName(slot), filter);
        parked.clear();
    } else {
        if (!filter.empty()) parked = filter;
        document_.set(sectionOf(profile), slotName(slot), "off", parked.empty() ? "" : "was " + parked);
    }
    api_.setActiveAxis(profile, slot, active);
    reparse();
    return {true, {}, {}};
}

EditResult PageHub::setInputLimit(int slot, double low, double high) {
    if (slot < 0 || slot >= inputLimitedSlots) return refused("only slots 0..7 have input limits");
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) return refused("a limit is two numbers, low not above high");
    std::lock_guard lock(mutex_);
    api_.SetInputDofLimitValue(slot, low, high);
    document_.set("limits", std::string("input ") + slotName(slot), number(low) + " " + number(high));
    reparse();
    return {true, {}, {}};
}

EditResult PageHub::setRigLimit(int slot, double low, double high) {
    if (!validSlot(slot)) return refused("no such slot");
    if (!std::isfinite(low) || !std::isfinite(high) || low > high) return refused("a limit is two numbers, low not above high");
    std::lock_guard lock(mutex_);
    api_.SetRigDofLimitValue(slot, low, high);
    document_.set("limits", std::string("rig ") + slotName(slot), number(low) + " " + number(high));
    reparse();
    return {true, {}, {}};
}

EditResult PageHub::setBeltMix(int profile, int index, double weight) {
    if (!validProfile(profile) || index < 0 || index >= beltMixWeights) return refused("no such profile or belt-mix entry");
    if (!std::isfinite(weight)) return refused("a weight is a number");
    std::lock_guard lock(mutex_);
    api_.setBelt_Mix(profile, index, weight);
    document_.set(sectionOf(profile), "belt_mix " + beltMixName(index), number(weight));
    reparse();
    return {true, {}, {}};
}

LoadResult PageHub::loadProfile(std::string_view text) {
    LoadResult result;
    const ProfileFile loaded = parseProfileFile(text, result.errors);
    for (const auto& filter : loaded.filters) {
        const auto explanation = explainFilter(api_, filter.filter);
        if (!explanation.accepted) {
            result.errors.push_back({filter.line, describeSlot(filter.profile, filter.slot) + ": column " +
                                                      std::to_string(filter.column + explanation.position) + ": " +
                                                      explanation.message});
        }
    }
    if (!result.errors.empty()) return result;
    std::lock_guard lock(mutex_);
    status_.outputHeld = !applyProfile(api_, loaded).empty();
    document_ = ProfileDocument(text);
    parkedFilters_ = {};
    reparse();
    result.done = true;
    return result;
}

}  // namespace tarvelin::console
