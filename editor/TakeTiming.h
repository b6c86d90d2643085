#pragma once
// A take in time: every frame of a take holds where the hand was when that frame's music was
// heard (shifted by the performer's own delay), however the main loop ran. Pure arithmetic on
// times of the steady clock (ms), so it is tested with a clock of its own:
//
// - HeardMusic keeps readings of the music heard at steady moments; the moment a music time
//   was heard is found from the reading just after it, going back at the pace the music plays
//   at (so a loop that read seldom loses nothing), but never before the reading just before it
//   (so a stalled device, whose music stood still, is followed). Without sound the music runs
//   at that pace of the steady clock from the take's start. The pace is the music's speed: 1,
//   or 0.5 in a half-speed take, whose frames are then 2 x FRAME_MS of steady time apart.
// - PointerPath keeps the pointer's samples (position and buttons, each with its moment) and
//   gives the position at any moment, linear between samples.
// - TakeTiming turns them into moves, frame by frame: for each drag of the take (from the
//   press to the release, as the samples show them) and each frame from the first whose moment
//   lies after the press, the pointer's motion from the frame before to the frame's own
//   moment. A frame is given its move once the samples reach its moment (so a little after it
//   is shown); at the take's end all the rest at once.
#include <irrlicht.h>

#include <cstddef>
#include <deque>
#include <limits>
#include <vector>

#include "platform/PointerSampler.h"

// How far back a press is looked for in the pointer's samples, from the moment its event was
// handled, in ms: a press the samples show within this is the drag's start.
constexpr double TAKE_PRESS_SEARCH_MS = 1000.0;
// Samples and readings are kept this long (ms) behind the oldest moment still needed.
constexpr double TAKE_HISTORY_KEPT_MS = 3000.0;

// The music heard at steady moments.
class HeardMusic {
public:
    // Music heard at pace ms of music a ms of the steady clock (the music's speed).
    explicit HeardMusic(double pace = 1.0) : pace_(pace) {}
    // A reading: the music heard at a steady moment (both ms). Readings come in time order; one
    // whose music lies before the last one's is left out (the heard music never goes back).
    void add(double steadyMs, double musicMs);
    // The steady moment at which music time musicMs was heard, into *steadyMs. False while no
    // reading lies past it and the music is still heard (heardGoesOn); once it is no longer
    // heard, the last reading's moment moved on at the music's pace.
    bool steadyTimeOf(double musicMs, bool heardGoesOn, double* steadyMs) const;
    // Forgets the readings that lie wholly before the moment (ms), keeping the last of them.
    void forgetBefore(double steadyMs);
    // True before the first reading.
    bool empty() const { return readings_.empty(); }

private:
    struct Reading {
        double steadyMs, musicMs;
    };
    std::deque<Reading> readings_;
    double pace_;
};

// The pointer's path: samples in time order.
class PointerPath {
public:
    // Adds a sample (one older than the newest is left out).
    void add(const PointerSample& sample);
    // Up to which moment (ms) the path is known: its newest sample, or later when the caller
    // knows that nothing changed since (the pointer's events said so).
    double knownUntil() const { return known_; }
    // The path is known up to ms (not earlier than its newest sample).
    void knowUntil(double ms);
    // True before the first sample.
    bool empty() const { return samples_.empty(); }
    // The position (window pixels) at ms: linear between the samples around it, the first or
    // the last sample's outside them.
    irr::core::vector2df at(double ms) const;
    // The moment of the latest press (a button going down between two samples: the moment
    // between them) after `after` and at or before `until`; false when there is none.
    bool pressBetween(double after, double until, double* pressMs) const;
    // The moment of the first release (a button going up) after `after`; false when the
    // samples show none.
    bool releaseAfter(double after, double* releaseMs) const;
    // Forgets the samples that lie wholly before the moment (ms), keeping the last of them.
    void forgetBefore(double ms);

private:
    std::deque<PointerSample> samples_;
    double known_ = -std::numeric_limits<double>::infinity();
};

// One frame's move of one drag: the pointer went from `from` to `to` (window pixels).
struct TakeMove {
    int frame = 0;
    int drag = 0;         // the drag's number (beginDrag's result)
    irr::core::vector2df from, to;
    bool first = false;   // the drag's first move
    bool last = false;    // its last: the drag is over
};

class TakeTiming {
public:
    // A take from firstFrame on, whose frames hold the hand performerDelayMs after their music
    // (negative: before), the music playing at musicSpeed (HeardMusic's pace).
    TakeTiming(int firstFrame, double performerDelayMs, double musicSpeed = 1.0);

    // The music heard and the pointer's path, as they come.
    HeardMusic& music() { return music_; }
    PointerPath& pointer() { return pointer_; }

    // A drag began with a press whose event was handled at eventMs: the press is the latest
    // the samples show before it (after the last drag's release, and within
    // TAKE_PRESS_SEARCH_MS), or eventMs itself. Returns the drag's number (0, 1, ...).
    int beginDrag(double eventMs);
    // The open drag ended by a release whose event was handled at eventMs (the samples may
    // show it earlier).
    void endDrag(double eventMs);
    // True while a drag has begun and not yet ended.
    bool dragOpen() const { return !drags_.empty() && drags_.back().releaseEventMs == NOT_YET; }

    // The moves of the frames up to lastFrame whose moments are known and whose pointer
    // positions the samples reach, in the order they are to be applied (by drag, then by
    // frame). With final, every frame up to lastFrame gets its move (the music's moments and
    // the path carried on from their last known values); the drags still held then stay open.
    // Whether the music is still heard decides whether a frame past the last reading waits.
    std::vector<TakeMove> advance(int lastFrame, bool musicHeard, bool final);

    // Drags begun so far.
    int dragCount() const { return int(drags_.size()); }

private:
    static constexpr double NOT_YET = std::numeric_limits<double>::infinity();
    // One drag of the take.
    struct Drag {
        double pressEventMs = 0.0;      // when its press's event was handled
        bool pressKnown = false;        // pressMs is found
        double pressMs = 0.0;           // the press's moment
        double releaseEventMs = NOT_YET;  // when its release's event was handled
        int nextFrame = 0;              // the first frame not yet given its move
        bool begun = false;             // its first move is given
        bool done = false;              // its last move is given
        irr::core::vector2df last;      // where the pointer was at its last move
    };
    // The moment (ms) frame f holds the hand at, into *ms; false while not known.
    bool frameMoment(int frame, bool musicHeard, bool final, double* ms) const;
    // The drag's release moment, as far as known now (NOT_YET while it is held).
    double releaseOf(const Drag& drag) const;
    // Finds the press of the drag in the samples (after the drag before it was released).
    void findPress(std::size_t index);
    // Forgets what no drag can need any more.
    void forget();

    int firstFrame_;
    double performerDelayMs_;
    HeardMusic music_;
    PointerPath pointer_;
    std::vector<Drag> drags_;
};
