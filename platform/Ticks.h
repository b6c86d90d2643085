#pragma once
// The millisecond tick clock behind the Application's fixed-step clock, and the steady clock
// that times the heard music and the pointer.
#include <cstdint>
#include <functional>

// Current 32-bit millisecond count (wraps); SDL's tick unless a test installed a source.
uint32_t GetTickCount();
// Replaces the tick source (tests drive the clock exactly); an empty function restores SDL's.
void setTickSource(std::function<uint32_t()> source);
// Milliseconds of the steady (monotonic) clock that the sound layer's heard position and the
// pointer samples are timed with (std::chrono::steady_clock, CLOCK_MONOTONIC on Linux).
double steadyClockMs();
