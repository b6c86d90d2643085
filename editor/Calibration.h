#pragma once
// The performer's own delay: a steady click plays, the user taps on it, and the mean time by
// which the taps follow the clicks is the delay every take is shifted by. The arithmetic here;
// the clicks and the taps are the editor's (key T).
#include <cstddef>
#include <vector>

// The clicks of a calibration: a few to catch the beat before the taps count, then the taps'
// own, and a few spare for taps that come late.
constexpr int CALIBRATION_LEAD_CLICKS = 4;
constexpr int CALIBRATION_TAPS = 8;
constexpr int CALIBRATION_SPARE_CLICKS = 3;
// A calibration counts when at least this many taps fall near a click.
constexpr int CALIBRATION_MIN_TAPS = 6;
// A tap counts when it lies within this share of the period from its nearest click.
constexpr double CALIBRATION_MAX_OFFSET_SHARE = 0.4;
// The click's period (ms): the beat grid's when it lies in this range, else the default.
constexpr double CALIBRATION_MIN_PERIOD_MS = 400.0;
constexpr double CALIBRATION_MAX_PERIOD_MS = 1000.0;
constexpr double CALIBRATION_DEFAULT_PERIOD_MS = 600.0;

// What a calibration found.
struct CalibrationResult {
    double meanMs = 0.0;    // how long the taps came after their clicks, on average (negative: before)
    double spreadMs = 0.0;  // the taps' standard deviation about that mean
    int taps = 0;           // the taps that counted
};

// The taps' mean offset from the clicks (both as moments of one clock, ms, each list in time
// order): each tap is matched with the nearest click, and one farther from it than
// CALIBRATION_MAX_OFFSET_SHARE of the period is left out (it belongs to neither click). False
// when fewer than CALIBRATION_MIN_TAPS taps count (result.taps says how many did).
bool calibrationOffset(const std::vector<double>& clicksMs, const std::vector<double>& tapsMs,
                       CalibrationResult& result);
