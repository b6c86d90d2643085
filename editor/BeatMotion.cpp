#include "editor/BeatMotion.h"

#include <algorithm>
#include <cmath>

#include "platform/Timebase.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

// The names, in the order of BeatMotion.
constexpr const char* const MOTION_NAMES[BEAT_MOTION_COUNT] = {"bounce", "sway", "nod", "swing", "pulse"};

}  // namespace

const char* beatMotionName(BeatMotion motion) { return MOTION_NAMES[int(motion)]; }

BeatMotion nextBeatMotion(BeatMotion motion) { return BeatMotion((int(motion) + 1) % BEAT_MOTION_COUNT); }

BeatGrid::BeatGrid(const std::vector<long>& beatsMs) {
    for (long b : beatsMs)
        if (times_.empty() || double(b) > times_.back()) times_.push_back(double(b));
}

double BeatGrid::beatAt(double ms) const {
    if (!valid()) return 0.0;
    const std::size_t n = times_.size();
    std::size_t i = std::size_t(std::upper_bound(times_.begin(), times_.end(), ms) - times_.begin());
    i = i == 0 ? 0 : std::min(i - 1, n - 2);
    return double(i) + (ms - times_[i]) / (times_[i + 1] - times_[i]);
}

double BeatGrid::timeOf(double beat) const {
    if (!valid()) return times_.empty() ? 0.0 : times_.front();
    const std::size_t n = times_.size();
    const double floorBeat = std::floor(beat);
    const std::size_t i = floorBeat < 0.0 ? 0 : std::min(std::size_t(floorBeat), n - 2);
    return times_[i] + (beat - double(i)) * (times_[i + 1] - times_[i]);
}

std::vector<float> beatLoudness(const BeatGrid& grid, const std::vector<float>& framePeaks) {
    const std::vector<double>& t = grid.times();
    std::vector<double> level(t.size(), 0.0);
    for (std::size_t i = 0; i < t.size(); ++i) {
        // From halfway to the beat before to halfway to the next.
        const double from = grid.timeOf(double(i) - 0.5), to = grid.timeOf(double(i) + 0.5);
        const long first = std::max(0L, long(std::ceil(from / FRAME_MS)));
        const long last = std::min(long(framePeaks.size()), long(std::ceil(to / FRAME_MS)));
        double sum = 0.0;
        long n = 0;
        for (long f = first; f < last; ++f, ++n) sum += double(framePeaks[std::size_t(f)]) * framePeaks[std::size_t(f)];
        level[i] = n > 0 ? std::sqrt(sum / double(n)) : 0.0;
    }
    std::vector<double> sounding;
    for (double l : level)
        if (l > 0.0) sounding.push_back(l);
    std::vector<float> out(t.size(), 0.f);
    if (sounding.empty()) return out;
    const std::size_t at = std::min(sounding.size() - 1, std::size_t(double(sounding.size()) * DANCE_LOUD_PERCENTILE));
    std::nth_element(sounding.begin(), sounding.begin() + long(at), sounding.end());
    const double loud = sounding[at];
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (level[i] <= 0.0) continue;
        const double db = 20.0 * std::log10(level[i] / loud);
        out[i] = float(std::clamp(1.0 + db / DANCE_LOUDNESS_RANGE_DB, 0.0, 1.0));
    }
    return out;
}

BeatEnvelope::BeatEnvelope(const BeatGrid& grid, const std::vector<float>& loudness, double fromMs, double toMs) {
    const std::size_t n = std::min(grid.times().size(), loudness.size());
    sizes_.assign(n, 0.f);
    if (!grid.valid()) return;
    for (std::size_t i = 0; i < n; ++i)
        if (grid.timeOf(double(i) - 1.0) >= fromMs && grid.timeOf(double(i) + 1.0) <= toMs) sizes_[i] = loudness[i];
}

float BeatEnvelope::at(long beat) const {
    return beat < 0 || beat >= long(sizes_.size()) ? 0.f : sizes_[std::size_t(beat)];
}

float BeatEnvelope::nearest(double b) const { return at(long(std::lround(b))); }

float BeatEnvelope::between(double b) const {
    const double first = std::floor(b);
    const double t = b - first;
    return float((1.0 - t) * at(long(first)) + t * at(long(first) + 1));
}

double beatMotionAt(BeatMotion motion, double b, const BeatEnvelope& envelope) {
    switch (motion) {
        case BeatMotion::Bounce:
        case BeatMotion::Nod:
        case BeatMotion::Pulse: return envelope.nearest(b) * (1.0 + std::cos(2.0 * kPi * b)) / 2.0;
        case BeatMotion::Sway: return envelope.between(b) * std::cos(2.0 * kPi * b / BEATS_PER_BAR);
        case BeatMotion::Swing:
            return envelope.between(b) * (1.0 - std::cos(2.0 * kPi * b / BEATS_PER_BAR)) / 2.0;
    }
    return 0.0;
}
