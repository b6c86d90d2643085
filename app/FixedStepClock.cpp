#include "app/FixedStepClock.h"

namespace {

// Milliseconds a second.
constexpr double MS_PER_SECOND = 1000.0;

}  // namespace

double FixedStepClock::stepMs(int rate) { return rate > 0 ? MS_PER_SECOND / rate : 0.0; }

void FixedStepClock::reset(uint32_t tick) {
    simulatedTimeMs = 0.0;
    startTick = tick;
    smoothedTimeMs = 0;
}

void FixedStepClock::smoothToward(uint32_t tick) {
    // Signed 32-bit arithmetic (wrapping, computed unsigned to stay defined).
    const int32_t elapsed = int32_t(tick - startTick);
    const int32_t sum = int32_t(uint32_t(smoothedTimeMs) + uint32_t(elapsed));
    smoothedTimeMs = sum / 2;
}

int FixedStepClock::step(int rate) {
    if (rate <= 0) return 0;
    const double previous = simulatedTimeMs;
    simulatedTimeMs += stepMs(rate);
    return int(simulatedTimeMs - previous);
}
