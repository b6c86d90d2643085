#include "platform/SoundClicks.h"

#include <algorithm>
#include <cmath>

#include "platform/Timebase.h"

namespace {

constexpr double TWO_PI = 6.283185307179586;
// The click dies away to 1/e this many times over its length.
constexpr double CLICK_DECAY = 5.0;
// Full scale of a 16-bit sample.
constexpr double FULL_SCALE = 32767.0;

}  // namespace

void mixClicks(int16_t* dst, int64_t first, int64_t count, const std::vector<SoundClick>& clicks) {
    for (const SoundClick& click : clicks) {
        const int64_t from = std::max(first, click.frame);
        const int64_t to = std::min(first + count, click.frame + SOUND_CLICK_FRAMES);
        const double hz = click.accent ? SOUND_CLICK_ACCENT_HZ : SOUND_CLICK_HZ;
        for (int64_t f = from; f < to; ++f) {
            const double t = double(f - click.frame);
            const double level = SOUND_CLICK_LEVEL * FULL_SCALE * std::exp(-CLICK_DECAY * t / SOUND_CLICK_FRAMES);
            const int value = int(std::lround(level * std::sin(TWO_PI * hz * t / SOUND_MIX_RATE)));
            for (int c = 0; c < 2; ++c) {
                int16_t& sample = dst[(f - first) * 2 + c];
                sample = int16_t(std::clamp(int(sample) + value, -32768, 32767));
            }
        }
    }
}
