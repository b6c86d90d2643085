#pragma once
// Beat motions: five shapes of motion laid on the song's beats and scaled by its loudness, as
// pure functions of time.
//
// The grid is the beat list of the song's ".beats" file (whole milliseconds): from one beat to
// the next time runs evenly, before the first beat and after the last at the pace of the two
// beats nearest; a bar is BEATS_PER_BAR beats, counted from the list's first beat. Each beat
// moves as far as the music is loud around it: its loudness is the root mean square of the
// song's peak per frame from halfway to the beat before to halfway to the next, in decibels
// below the song's loud level (the DANCE_LOUD_PERCENTILE of its beats): the loud level moves
// fully, DANCE_LOUDNESS_RANGE_DB below it not at all, linearly in decibels between.
#include <cstddef>
#include <vector>

// The five beat motions, in the order Shift+D goes through them.
enum class BeatMotion {
    Bounce,  // down and back up once a beat, the deepest point on the beat
    Sway,    // side to side over a bar: one side on its first beat, the other on its third
    Nod,     // a small turn and back on every beat, the furthest on the beat
    Swing,   // a turn one way and back over a bar, the furthest on its third beat
    Pulse,   // a scale up on the beat and back
};
// How many there are.
constexpr int BEAT_MOTION_COUNT = 5;
// Beats to a bar.
constexpr int BEATS_PER_BAR = 4;
// The loud level of a song: this share of its beats is quieter.
constexpr double DANCE_LOUD_PERCENTILE = 0.9;
// Decibels below the loud level at which a beat no longer moves.
constexpr double DANCE_LOUDNESS_RANGE_DB = 24.0;

// The motion's name as the editor says it ("bounce").
const char* beatMotionName(BeatMotion motion);
// The motion after this one, the first after the last.
BeatMotion nextBeatMotion(BeatMotion motion);

// The song's beats as a clock: a time's place among the beats.
class BeatGrid {
public:
    // From beat times in ms, ascending (a beat given twice counts once).
    explicit BeatGrid(const std::vector<long>& beatsMs = {});
    // True with two beats or more (a tempo); otherwise every time is beat 0.
    bool valid() const { return times_.size() >= 2; }
    // The beats, ms.
    const std::vector<double>& times() const { return times_; }
    // The beat position of a time (ms): 0 on the first beat, 1 on the second, 1.5 halfway to the
    // third; before the first and after the last at the pace of the two beats nearest.
    double beatAt(double ms) const;
    // The time (ms) of a beat position: the inverse of beatAt.
    double timeOf(double beat) const;

private:
    std::vector<double> times_;
};

// How far each beat of the grid moves (0 to 1) for the song's peak per frame (one a frame from
// frame 0; WaveformPeaks), by the rule above.
std::vector<float> beatLoudness(const BeatGrid& grid, const std::vector<float>& framePeaks);

// How far the beats move within a span of time: each beat its loudness when it and both beats
// around it lie within the span, otherwise not at all (so a motion starts and ends at rest).
class BeatEnvelope {
public:
    // The beats of grid with their loudness (beatLoudness), within [fromMs, toMs].
    BeatEnvelope(const BeatGrid& grid, const std::vector<float>& loudness, double fromMs, double toMs);
    // How far beat i moves (0 outside the list).
    float at(long beat) const;
    // For a motion made of one stroke a beat: the beat nearest to beat position b.
    float nearest(double b) const;
    // For a motion over a bar: between the two beats around beat position b, linearly.
    float between(double b) const;

private:
    std::vector<float> sizes_;
};

// Where a beat motion stands at beat position b, as a share of its full size: bounce, nod and
// pulse (1 + cos 2 pi b) / 2 times the nearest beat's size (the furthest on each beat, at rest
// halfway between); sway cos(2 pi b / BEATS_PER_BAR) and swing (1 - cos(2 pi b / BEATS_PER_BAR))
// / 2, each times the size between the beats around b.
double beatMotionAt(BeatMotion motion, double b, const BeatEnvelope& envelope);
