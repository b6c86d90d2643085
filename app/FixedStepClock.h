#pragma once
// The fixed-step clock: a smoothed millisecond clock, and the simulated time up to which the
// state has been advanced in fixed steps of 1000 / rate ms. The application's loop steps the
// state while the simulated time is behind the smoothed clock; the export steps it once per
// frame with no clock at all. Both take their step lengths from step().
#include <cstdint>

class FixedStepClock {
public:
    // Length of one step at rate steps a second, in ms (0 for a rate that is not positive).
    static double stepMs(int rate);

    // Sets both clocks to 0 and remembers tick (ms) as the time of the reset.
    void reset(uint32_t tick);
    // Closes half of the smoothed clock's lag behind tick (ms), in signed 32-bit arithmetic
    // with the division truncating toward zero; survives the tick's wrap.
    void smoothToward(uint32_t tick);
    // Moves the simulated time on by one step at rate and returns the step's length as the
    // state is given it: the growth truncated to whole ms (16 at 60 Hz, while the simulated
    // time grows by 16.666... ms). A rate that is not positive gives 0 and no move.
    int step(int rate);

    // Smoothed milliseconds since the last reset.
    int32_t smoothedTimeMs = 0;
    // Tick (ms) at the last reset.
    uint32_t startTick = 0;
    // Time up to which the state has been advanced, in ms since the reset.
    double simulatedTimeMs = 0.0;
    // Most steps taken in one iteration of the application's loop.
    int maxStepsPerFrame = 4;
};
