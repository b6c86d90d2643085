#pragma once
// The millisecond tick clock behind the Application's fixed-step clock.
#include <cstdint>
#include <functional>

// Current 32-bit millisecond count (wraps); SDL's tick unless a test installed a source.
uint32_t GetTickCount();
// Replaces the tick source (tests drive the clock exactly); an empty function restores SDL's.
void setTickSource(std::function<uint32_t()> source);
