#pragma once
// The latency of the demo's road, measured at both of its ends, which the console plays itself:
// from the moment its telemetry emulator sends a frame to the moment the first rig frame
// computed from it reaches its rig controller emulator.
//
// A telemetry frame is recognised in the engine's telemetry record by its three speeds, which
// the BeamNG reader passes through exactly as the emulator sent them; the rig frame computed
// from that record is recognised by its motion values, which are the cycle's cues wherever they
// lie inside their rig limits. Cycles that cannot be told apart from the one before (a car at
// rest) give no sample.

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
    static constexpr std::size_t keptSamples = 2000;

    DemoLatencyProbe(const emulator::DriveScript& script, RigPeer& rig, const std::array<AxisRange, 6>& rigLimits);

    // From the telemetry emulator's thread, for every frame it sends.
    void frameSent(double time, Clock::time_point sent);

    void takeCycle(const CalculationSnapshot& cues, const AccelerationSnapshot& telemetry) override;
    void pollDone() override;
    Figures figures() const override;

private:
    using Speeds = std::array<float, 3>;
    struct Pending {
        Clock::time_point sent;
        std::array<float, 6> motion;
        std::array<bool, 6> inside;  // the cue lay inside its rig limits: the frame carries it as it is
    };

    const emulator::DriveScript& script_;
    RigPeer& rig_;
    const std::array<AxisRange, 6> rigLimits_;

    mutable std::mutex mutex_;
    std::deque<std::pair<Speeds, Clock::time_point>> sent_;
    std::optional<AccelerationSnapshot> previousTelemetry_;
    std::array<float, 6> previousMotion_{};
    std::deque<Pending> pending_;
    std::deque<RigPeer::ArrivedFrame> frames_;
    std::uint64_t lastFrameNumber_ = 0;
    std::deque<double> samples_;
};

}  // namespace tarvelin::console
