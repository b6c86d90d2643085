#include "editor/Calibration.h"

#include <algorithm>
#include <cmath>
#include <iterator>

bool calibrationOffset(const std::vector<double>& clicksMs, const std::vector<double>& tapsMs,
                       CalibrationResult& result) {
    if (clicksMs.size() < 2) return false;
    std::vector<double> offsets;
    for (double tap : tapsMs) {
        // The clicks on either side of the tap.
        const auto after = std::lower_bound(clicksMs.begin(), clicksMs.end(), tap);
        const auto next = after == clicksMs.end() ? std::prev(after) : after;
        const auto previous = after == clicksMs.begin() ? after : std::prev(after);
        const double toNext = *next - tap, fromPrevious = tap - *previous;
        const double offset = std::fabs(fromPrevious) <= std::fabs(toNext) ? fromPrevious : -toNext;
        // The period around the tap.
        const double period = next != previous ? *next - *previous
                              : next == clicksMs.begin() ? clicksMs[1] - clicksMs[0]
                                                        : clicksMs.back() - *std::prev(clicksMs.end(), 2);
        if (std::fabs(offset) > period * CALIBRATION_MAX_OFFSET_SHARE) continue;
        offsets.push_back(offset);
    }
    result.taps = int(offsets.size());
    if (result.taps < CALIBRATION_MIN_TAPS) return false;
    double sum = 0.0;
    for (double o : offsets) sum += o;
    const double mean = sum / double(offsets.size());
    double squares = 0.0;
    for (double o : offsets) squares += (o - mean) * (o - mean);
    result.meanMs = mean;
    result.spreadMs = std::sqrt(squares / double(offsets.size()));
    return true;
}
