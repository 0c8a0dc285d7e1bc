#pragma once
// The latency of the demo's road, measured at both of its ends, which the console plays itself:
// from the moment its telemetry emulator sends a frame to the moment the first rig frame
// computed from it reaches its rig controller emulator.
//
// A telemetry frame is recognised in the engine's telemetry record by its three speeds, which
// the BeamNG reader passes through exactly as the emulator sent them. The rig frame computed
// from that record is recognised by its motion values: an axis whose cue lies inside its rig
// limits carries the cue exactly, unless the axis's rate limit held it back, and then it moved
// by exactly its largest step (a 500th of the rate) toward the cue. So a frame belongs to the
// cycle when every axis inside its limits either carries the cycle's cue or made that full step
// toward it, and at least one axis carries a cue that differs from the cycle before. Cycles
// that cannot be told apart from the one before (a car at rest, every axis held back) give no
// sample.

#include <array>
#include <chrono>
#include <deque>
#include <mutex>
#include <optional>

#include "drive_script.h"
#include "host_console/latency_probe.h"
#include "host_console/live_view.h"
#include "host_console/page_hub.h"
#include "host_console/rig_peer.h"

namespace tarvelin::console {

class DemoLatencyProbe : public LatencyProbe {
public:
    using Clock = std::chrono::steady_clock;
    using Axes = std::array<float, 6>;
    static constexpr std::size_t keptSamples = 2000;

    // `rateLimits` in rig units per second, 0 for none, as the profile sets them.
    DemoLatencyProbe(const emulator::DriveScript& script, RigPeer& rig, const std::array<AxisRange, 6>& rigLimits,
                     const std::array<double, 6>& rateLimits);

    // From the telemetry emulator's thread, for every frame it sends.
    void frameSent(double time, Clock::time_point sent);

    void takeCycle(const CalculationSnapshot& cues, const AccelerationSnapshot& telemetry) override;
    void pollDone() override;
    Figures figures() const override;

    // Whether `frame` (following `before`, when known) carries the cues `motion` of a cycle: the
    // rule above, for the axes marked `inside` and `changed`. Pure; public for its tests.
    static bool carries(const Axes& frame, const std::optional<Axes>& before, const Axes& motion,
                        const std::array<bool, 6>& inside, const std::array<bool, 6>& changed,
                        const std::array<double, 6>& largestSteps);

private:
    using Speeds = std::array<float, 3>;
    struct Pending {
        Clock::time_point sent;
        Axes motion;
        std::array<bool, 6> inside;   // the cue lay inside its rig limits: the frame carries it as it is
        std::array<bool, 6> changed;  // and it differs from the cycle before's
    };
    struct Arrived {
        Clock::time_point arrival;
        Axes motion;
        std::optional<Axes> before;  // the frame just before it, when that one was seen
    };

    const emulator::DriveScript& script_;
    RigPeer& rig_;
    const std::array<AxisRange, 6> rigLimits_;
    std::array<double, 6> largestSteps_{};

    mutable std::mutex mutex_;
    std::deque<std::pair<Speeds, Clock::time_point>> sent_;
    std::optional<AccelerationSnapshot> previousTelemetry_;
    Axes previousMotion_{};
    std::deque<Pending> pending_;
    std::deque<Arrived> frames_;
    std::uint64_t lastFrameNumber_ = 0;
    std::optional<Axes> lastFrameMotion_;
    std::deque<double> samples_;
};

}  // namespace tarvelin::console
