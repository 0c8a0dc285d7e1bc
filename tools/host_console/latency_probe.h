#pragma once
// The latency from a game's telemetry frame to the rig frame computed from it, where the
// console plays both ends of the road (the demo: its own telemetry emulator and rig controller
// emulator) and can therefore see when the one left and the other arrived.

#include "host_console/snapshot_poller.h"

namespace tarvelin::console {

struct Figures;

class LatencyProbe {
public:
    virtual ~LatencyProbe() = default;
    // Every cycle in order, then once per poll, on the snapshot poller's thread.
    virtual void takeCycle(const CalculationSnapshot& cues, const AccelerationSnapshot& telemetry) = 0;
    virtual void pollDone() = 0;
    // Median and 99th percentile of the recent samples, in milliseconds. Any thread.
    virtual Figures figures() const = 0;
};

}  // namespace tarvelin::console
