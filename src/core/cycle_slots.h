#pragma once
// The schedule of the engine cycle in the low-latency mode, where the game's frames start the
// cycle instead of the clock.
//
// Time is cut into slots of one period (2000 µs) each, and every slot gets exactly one cycle:
// the first frame that arrives in it starts the cycle at once, and a slot in which no frame
// arrives gets its cycle at its end, so a silent game still gets its 500 cycles a second. Two
// cycles are never closer than 1000 µs: a frame that arrives sooner after the last cycle waits
// for that moment. However the frames fall, the engine therefore runs 500 cycles a second as in
// the paced mode, and what counts cycles (filters, the stale test, the given-up game) keeps its
// meaning in wall-clock time.
//
// Times are performance-counter ticks. Pure arithmetic: the caller reads the clock and waits.

#include <cstdint>

namespace tarvelin {

class CycleSlots {
public:
    static constexpr double slotUs = 2000.0;
    static constexpr double shortestPeriodUs = 1000.0;

    explicit CycleSlots(double ticksPerUs)
        : slot_(static_cast<std::int64_t>(slotUs * ticksPerUs)),
          shortest_(static_cast<std::int64_t>(shortestPeriodUs * ticksPerUs)) {}

    // Starts the schedule afresh at `now`: the first slot begins there, so its cycle may start
    // at once.
    void begin(std::int64_t now) {
        slotEnd_ = now + slot_;
        lastStart_ = now - shortest_;
    }

    // The earliest moment the next cycle may start: not before its slot begins, and not sooner
    // than the shortest period after the last cycle.
    std::int64_t earliest() const {
        const std::int64_t slotBegins = slotEnd_ - slot_;
        const std::int64_t afterLast = lastStart_ + shortest_;
        return slotBegins > afterLast ? slotBegins : afterLast;
    }

    // The end of the slot: the cycle starts here at the latest, frame or not.
    std::int64_t slotEnd() const { return slotEnd_; }

    // A cycle started at `now` (not before earliest()): it takes the slot, and the next one
    // follows. A cycle later than the whole next slot (a stalled thread) starts the schedule
    // afresh rather than running a burst of cycles to catch up.
    void started(std::int64_t now) {
        lastStart_ = now;
        slotEnd_ += slot_;
        if (slotEnd_ <= now) slotEnd_ = now + slot_;
    }

private:
    std::int64_t slot_;
    std::int64_t shortest_;
    std::int64_t slotEnd_ = 0;
    std::int64_t lastStart_ = 0;
};

}  // namespace tarvelin
