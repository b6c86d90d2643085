#include "platform/Ticks.h"

#include <SDL.h>

#include <chrono>
#include <utility>

namespace {

// The installed tick source; empty means SDL's millisecond tick.
std::function<uint32_t()>& tickSource() {
    static std::function<uint32_t()> source;
    return source;
}

}  // namespace

uint32_t GetTickCount() {
    const auto& source = tickSource();
    return source ? source() : uint32_t(SDL_GetTicks());
}

void setTickSource(std::function<uint32_t()> source) { tickSource() = std::move(source); }

double steadyClockMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
