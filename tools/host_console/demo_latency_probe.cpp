#include "host_console/demo_latency_probe.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tarvelin::console {

namespace {

// Telemetry channels that carry the three speeds, and how long either end waits for the other.
constexpr std::size_t lateralSpeed = 1;
constexpr std::size_t longitudinalSpeed = 5;
constexpr std::size_t verticalSpeed = 9;
constexpr std::size_t gameChannels = 42;  // the last channel, the belt sum, is the engine's own
constexpr auto patience = std::chrono::milliseconds(500);
constexpr std::size_t motionFrameBytes = 36;
// The engine moves a rate-limited axis by a 500th of its rate per cycle.
constexpr double cyclesPerSecond = 500.0;

DemoLatencyProbe::Axes motionOf(const std::vector<std::uint8_t>& frame) {
    DemoLatencyProbe::Axes values{};
    std::memcpy(values.data(), frame.data() + 2, sizeof values);
    return values;
}

}  // namespace

DemoLatencyProbe::DemoLatencyProbe(const emulator::DriveScript& script, RigPeer& rig,
                                   const std::array<AxisRange, 6>& rigLimits, const std::array<double, 6>& rateLimits)
    : script_(script), rig_(rig), rigLimits_(rigLimits) {
    for (std::size_t axis = 0; axis < largestSteps_.size(); ++axis) largestSteps_[axis] = rateLimits[axis] / cyclesPerSecond;
}

bool DemoLatencyProbe::carries(const Axes& frame, const std::optional<Axes>& before, const Axes& motion,
                               const std::array<bool, 6>& inside, const std::array<bool, 6>& changed,
                               const std::array<double, 6>& largestSteps) {
    bool told = false;
    for (std::size_t axis = 0; axis < frame.size(); ++axis) {
        if (!inside[axis]) continue;
        if (frame[axis] == motion[axis]) {
            told = told || changed[axis];
            continue;
        }
        // Held back by the rate limit: a full step (to the float's rounding) toward the cue.
        const double step = largestSteps[axis];
        if (!(step > 0.0) || !before) return false;
        const double moved = static_cast<double>(frame[axis]) - static_cast<double>((*before)[axis]);
        const double wanted = static_cast<double>(motion[axis]) - static_cast<double>((*before)[axis]);
        const double rounding =
            2.0 * std::abs(static_cast<double>(std::nextafter(frame[axis], std::numeric_limits<float>::infinity()) - frame[axis]));
        const bool fullStep = std::abs(std::abs(moved) - step) <= rounding;
        if (!fullStep || moved * wanted <= 0.0 || std::abs(wanted) <= std::abs(moved)) return false;
    }
    return told;
}

void DemoLatencyProbe::frameSent(double time, Clock::time_point sent) {
    const auto motion = script_.at(time);
    const Speeds speeds = {static_cast<float>(motion.lateralSpeed), static_cast<float>(motion.longitudinalSpeed),
                           static_cast<float>(motion.verticalSpeed)};
    std::lock_guard lock(mutex_);
    sent_.emplace_back(speeds, sent);
    while (!sent_.empty() && sent - sent_.front().second > patience) sent_.pop_front();
}

void DemoLatencyProbe::takeCycle(const CalculationSnapshot& cues, const AccelerationSnapshot& telemetry) {
    std::lock_guard lock(mutex_);
    const bool newFrame = previousTelemetry_ && !std::equal(telemetry.channels, telemetry.channels + gameChannels,
                                                            previousTelemetry_->channels);
    previousTelemetry_ = telemetry;
    Pending pending{};
    bool distinct = false;
    for (std::size_t axis = 0; axis < 6; ++axis) {
        pending.motion[axis] = static_cast<float>(cues.values[axis]);
        pending.inside[axis] = cues.values[axis] > rigLimits_[axis].low && cues.values[axis] < rigLimits_[axis].high;
        pending.changed[axis] = pending.motion[axis] != previousMotion_[axis];
        distinct = distinct || (pending.inside[axis] && pending.changed[axis]);
    }
    previousMotion_ = pending.motion;
    if (!newFrame || !distinct) return;

    const Speeds speeds = {static_cast<float>(telemetry.channels[lateralSpeed]),
                           static_cast<float>(telemetry.channels[longitudinalSpeed]),
                           static_cast<float>(telemetry.channels[verticalSpeed])};
    if (speeds == Speeds{}) return;
    for (auto at = sent_.rbegin(); at != sent_.rend(); ++at) {
        if (at->first != speeds) continue;
        pending.sent = at->second;
        pending_.push_back(pending);
        return;
    }
}

void DemoLatencyProbe::pollDone() {
    auto arrived = rig_.framesAfter(lastFrameNumber_);
    std::lock_guard lock(mutex_);
    for (const auto& frame : arrived) {
        const bool follows = frame.number == lastFrameNumber_ + 1;
        lastFrameNumber_ = std::max(lastFrameNumber_, frame.number);
        if (frame.bytes.size() != motionFrameBytes || frame.bytes[0] != 0xFC) {
            lastFrameMotion_.reset();
            continue;
        }
        const Axes motion = motionOf(frame.bytes);
        frames_.push_back({frame.arrival, motion, follows ? lastFrameMotion_ : std::nullopt});
        lastFrameMotion_ = motion;
    }
    for (auto pending = pending_.begin(); pending != pending_.end();) {
        const auto match = std::find_if(frames_.begin(), frames_.end(), [&](const Arrived& frame) {
            return frame.arrival >= pending->sent &&
                   carries(frame.motion, frame.before, pending->motion, pending->inside, pending->changed, largestSteps_);
        });
        if (match == frames_.end()) {
            ++pending;
            continue;
        }
        samples_.push_back(std::chrono::duration<double, std::milli>(match->arrival - pending->sent).count());
        if (samples_.size() > keptSamples) samples_.pop_front();
        pending = pending_.erase(pending);
    }
    const auto now = Clock::now();
    while (!pending_.empty() && now - pending_.front().sent > patience) pending_.pop_front();
    while (!frames_.empty() && now - frames_.front().arrival > patience) frames_.pop_front();
}

Figures DemoLatencyProbe::figures() const {
    std::lock_guard lock(mutex_);
    return figuresOf(std::vector<double>(samples_.begin(), samples_.end()));
}

}  // namespace tarvelin::console
