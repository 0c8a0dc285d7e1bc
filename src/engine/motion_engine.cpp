#include "engine/motion_engine.h"

namespace tarvelin {

MotionEngine& MotionEngine::instance() {
    // A function-local static is built exactly once, even when several host threads make their
    // first call at the same moment; a constructor that throws leaves it unbuilt for the next try.
    static MotionEngine engine;
    return engine;
}

MotionEngine::MotionEngine() = default;

MotionEngine::~MotionEngine() { stopThreadForTeardown(); }

}  // namespace tarvelin
