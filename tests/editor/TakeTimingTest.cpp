// A take in time, on a clock of the test's own: the frames of a take hold the pointer's path at
// the moments their music was heard (shifted by the performer's delay), whatever the loop did:
// uneven bursts of frames, a stalled loop, a stalled sound device, a starved sampler, a press
// handled late; a half-speed take through the application's clock. And the calibration's
// arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "app/Application.h"
#include "editor/Calibration.h"
#include "editor/TakeTiming.h"
#include "platform/Ticks.h"
#include "platform/Timebase.h"
#include "tests/app/RecordingState.h"

namespace {

constexpr double PI = 3.14159265358979323846;

// The music heard at steady moment s (ms): it starts at s = 1000 and runs at the steady pace,
// except that the device stalls for 200 ms at s = 3005.
double heardAt(double s) {
    if (s < 1000.0) return 0.0;
    if (s < 3005.0) return s - 1000.0;
    if (s < 3205.0) return 2005.0;
    return s - 1200.0;
}

// The moment music time m was heard (for m away from the stall's own instant).
double momentOf(double m) { return m <= 2005.0 ? m + 1000.0 : m + 1200.0; }

// The hand: at rest, then along a sine (x) and a cosine (y) from 1700 to 4500 ms, then at rest.
irr::core::vector2df hand(double t) {
    const double u = std::min(std::max(t, 1700.0), 4500.0) - 1700.0;
    return irr::core::vector2df(float(400.0 + 150.0 * std::sin(2.0 * PI * 0.8 * u / 1000.0)),
                                float(300.0 + 60.0 * std::sin(2.0 * PI * 0.5 * u / 1000.0)));
}

// Held down from the press to the release.
constexpr double PRESS_MS = 1500.0, RELEASE_MS = 4800.0;

// One take on the fake clock: the pointer sampled every 3 ms (unevenly, with a 40 ms gap of a
// starved sampler), the loop passing at uneven times (and stalled for 250 ms), the frames
// advanced in bursts of at most four, the press handled 60 ms late. Returns each frame's
// position (the pointer at the press plus every move up to it) and checks the moves' order;
// *waiting gets the most frames shown but not yet written while the loop ran smoothly.
std::map<int, irr::core::vector2df> runTake(double performerDelayMs, int* lastFrame, int* waiting) {
    TakeTiming take(0, performerDelayMs);
    const double passGaps[] = {4, 9, 33, 2, 17, 60, 11, 25};
    double sampleAt = 800.0;
    int sampleIndex = 0;
    int current = 0;
    int drag = -1;
    bool pressed = false, released = false;
    std::map<int, irr::core::vector2df> position;
    irr::core::vector2df at;
    int lastMoved = -1;
    bool firstSeen = false, lastSeen = false;
    auto apply = [&](const std::vector<TakeMove>& moves) {
        for (const TakeMove& m : moves) {
            EXPECT_EQ(m.drag, drag);
            if (lastMoved >= 0) {
                EXPECT_EQ(m.frame, lastMoved + 1) << "frames in order, none left out";
            }
            EXPECT_EQ(m.first, !firstSeen);
            EXPECT_FALSE(lastSeen) << "no move after the last";
            if (m.first) at = m.from;
            EXPECT_NEAR(m.from.X, at.X, 1e-3);
            at = m.to;
            position[m.frame] = at;
            lastMoved = m.frame;
            firstSeen = true;
            lastSeen = m.last;
        }
    };
    int pass = 0;
    for (double t = 900.0; t < 5600.0; t += passGaps[pass++ % 8]) {
        if (t > 4000.0 && t < 4250.0) continue;  // the loop stalled
        // The sampler has handed over what it took up to a little before now.
        while (sampleAt <= t - 1.0) {
            if (sampleAt < 3600.0 || sampleAt > 3640.0) {
                PointerSample s;
                s.ms = sampleAt;
                const irr::core::vector2df p = hand(sampleAt);
                s.x = int(std::lround(p.X * 16.0));  // sixteenth pixels keep the test's shape exact
                s.y = int(std::lround(p.Y * 16.0));
                s.buttonDown = sampleAt >= PRESS_MS && sampleAt < RELEASE_MS;
                take.pointer().add(s);
            }
            sampleAt += 3.0 + 1.5 * double((sampleIndex++ * 7) % 5) / 4.0;
        }
        take.music().add(t, heardAt(t));
        // The frames run a little ahead of the heard music, at most four steps a pass.
        const int due = int(std::floor((heardAt(t) + 20.0) / FRAME_MS));
        current = std::max(current, std::min(due, current + 4));
        if (!pressed && t >= PRESS_MS + 60.0) {
            drag = take.beginDrag(t);
            pressed = true;
        }
        if (pressed && !released && t >= RELEASE_MS + 5.0) {
            take.endDrag(t);
            released = true;
        }
        apply(take.advance(current, true, false));
        if (t > 2200.0 && t < 2900.0) *waiting = std::max(*waiting, current - lastMoved);
    }
    apply(take.advance(current, false, true));
    EXPECT_TRUE(lastSeen) << "the drag ended within the take";
    *lastFrame = current;
    for (auto& entry : position) entry.second /= 16.f;
    return position;
}

TEST(TakeTimingTest, EveryFrameHoldsThePointerAtTheMomentItsMusicWasHeard) {
    for (double delay : {0.0, 35.0, -20.0}) {
        SCOPED_TRACE("performer delay " + std::to_string(delay) + " ms");
        int last = 0, waiting = 0;
        const std::map<int, irr::core::vector2df> position = runTake(delay, &last, &waiting);
        ASSERT_FALSE(position.empty());
        // The frames written are every frame from the first whose moment lies after the press
        // to the first at or after the release.
        const int first = position.begin()->first, end = position.rbegin()->first;
        EXPECT_GE(momentOf(first * FRAME_MS) + delay, PRESS_MS - 3.0);
        EXPECT_LT(momentOf((first - 1) * FRAME_MS) + delay, PRESS_MS + 3.0);
        EXPECT_GE(momentOf(end * FRAME_MS) + delay, RELEASE_MS - 3.0);
        EXPECT_EQ(int(position.size()), end - first + 1);
        EXPECT_GT(last, end);
        for (const auto& [frame, p] : position) {
            const double music = frame * FRAME_MS;
            if (std::fabs(music - 2005.0) < 1.0) continue;  // heard through the whole stall
            const irr::core::vector2df want = hand(momentOf(music) + delay);
            EXPECT_NEAR(p.X, want.X, 1.0) << "frame " << frame;
            EXPECT_NEAR(p.Y, want.Y, 1.0) << "frame " << frame;
        }
        // Frames are written soon after they are shown: a few frames behind, not more.
        EXPECT_LE(waiting, 8);
    }
}

TEST(TakeTimingTest, WithoutSoundTheFramesFollowTheSteadyClockFromTheTakesStart) {
    TakeTiming take(10, 0.0);
    take.music().add(2000.0, 10 * FRAME_MS);  // the take starts at frame 10, at 2000 ms
    for (double t = 1900.0; t <= 2600.0; t += 2.0) {
        PointerSample s;
        s.ms = t;
        s.x = int(t - 1900.0);  // one pixel a ms
        s.y = 7;
        s.buttonDown = t >= 2050.0;
        take.pointer().add(s);
    }
    const int drag = take.beginDrag(2060.0);
    const std::vector<TakeMove> moves = take.advance(40, false, false);
    ASSERT_FALSE(moves.empty());
    EXPECT_TRUE(moves.front().first);
    EXPECT_EQ(moves.front().drag, drag);
    EXPECT_NEAR(moves.front().from.X, 150.f, 1.f);  // the pointer at the press
    for (const TakeMove& m : moves) {
        const double moment = 2000.0 + (m.frame - 10) * FRAME_MS;
        EXPECT_GE(moment, 2049.0);
        EXPECT_NEAR(m.to.X, float(moment - 1900.0), 1.f) << "frame " << m.frame;
    }
    EXPECT_EQ(moves.back().frame, 40);
    EXPECT_FALSE(take.advance(40, false, false).size()) << "each frame once";
}

// A half-speed take: the application's fixed-step clock, following the music heard at half the
// wall clock's pace (or, with no sound, its tick clock set to half rate), steps 30 frames a
// second of wall time, and each frame holds the pointer at the moment its own music was heard;
// back at the music's own speed the frames run at 60 a second again, without a burst.
TEST(TakeTimingTest, AHalfSpeedTakeStepsThirtyFramesASecondEachHoldingThePointerAtItsMusic) {
    constexpr double SPEED = 0.5, START = 10000.0, TAKE_MS = 4000.0, ITERATION = 3.0;
    uint32_t tick = uint32_t(START);  // the wall clock: tick and steady ms alike
    setTickSource([&tick] { return tick; });
    const auto music = [&](double t) { return (t - START) * SPEED; };
    const auto handX = [](double t) { return 400.0 + 150.0 * std::sin(2.0 * PI * 0.8 * (t - START) / 1000.0); };
    for (bool heard : {true, false}) {
        SCOPED_TRACE(heard ? "the music heard" : "no sound: the tick clock");
        tick = uint32_t(START);
        Application app(nullptr);
        RecordingState state;
        app.setState(&state);
        app.setClockRate(SPEED);
        if (heard)
            app.setTimeSource([&](double* ms) {
                *ms = musicClockMs(app.clock.simulatedTimeMs, music(tick), int(state.steps.size()));
                return true;
            });
        TakeTiming take(0, 0.0, SPEED);
        if (!heard) take.music().add(START, 0.0);  // the take's music starts with it
        std::map<int, float> position;
        const auto keep = [&](const std::vector<TakeMove>& moves) {
            for (const TakeMove& m : moves) position[m.frame] = m.to.X / 16.f;
        };
        const auto sample = [&](double t) {
            PointerSample p;
            p.ms = t;
            p.x = int(std::lround(handX(t) * 16.0));  // sixteenth pixels
            p.y = 300;
            p.buttonDown = t >= START - 50.0;
            take.pointer().add(p);
        };
        sample(START - 100.0);
        sample(START - 40.0);
        take.beginDrag(START);  // held down as the take starts
        for (double t = START; t < START + TAKE_MS; t += ITERATION) {
            tick = uint32_t(t);
            sample(t);
            app.smoothClock();
            app.fixedUpdate();
            if (heard) take.music().add(t, music(t));
            keep(take.advance(int(state.steps.size()), heard, false));
        }
        keep(take.advance(int(state.steps.size()), false, true));
        const double frames = TAKE_MS / 1000.0 * FRAMES_PER_SECOND * SPEED;
        EXPECT_NEAR(double(state.steps.size()), frames, 2.0) << "30 frames a second of wall time";
        ASSERT_GE(position.size(), std::size_t(frames - 4.0));
        for (const auto& [frame, x] : position) {
            const double moment = START + frame * FRAME_MS / SPEED;  // when its music was heard
            EXPECT_NEAR(x, handX(moment), 0.5) << "frame " << frame;
        }
        // The music's own speed again: 60 frames a second from where the clock stands.
        app.setTimeSource(nullptr);
        app.setClockRate(1.0);
        const std::size_t before = state.steps.size();
        for (double t = START + TAKE_MS; t < START + TAKE_MS + 1000.0; t += ITERATION) {
            tick = uint32_t(t);
            app.smoothClock();
            app.fixedUpdate();
        }
        EXPECT_NEAR(double(state.steps.size() - before), double(FRAMES_PER_SECOND), 2.0);
    }
    setTickSource(nullptr);
}

TEST(CalibrationTest, TheMeanOffsetOfTheTapsFromTheirClicks) {
    std::vector<double> clicks;
    for (int k = 0; k < 12; ++k) clicks.push_back(1000.0 + 600.0 * k);
    // Eight taps about 40 ms late, none on two of the clicks, and a stray one between two clicks.
    const double late[] = {35, 45, 38, 42, 40, 41, 39, 40};
    std::vector<double> taps;
    for (int k = 0; k < 8; ++k) taps.push_back(clicks[k + (k > 4 ? 2 : 0)] + late[k]);
    std::vector<double> withStray = taps;
    withStray.insert(withStray.begin() + 4, clicks[3] + 300.0);
    CalibrationResult r;
    ASSERT_TRUE(calibrationOffset(clicks, withStray, r));
    EXPECT_EQ(r.taps, 8);
    EXPECT_NEAR(r.meanMs, 40.0, 1e-9);
    EXPECT_NEAR(r.spreadMs, std::sqrt((25 + 25 + 4 + 4 + 0 + 1 + 1 + 0) / 8.0), 1e-9);
    // Taps before their clicks give a negative delay; one before the first click counts too.
    for (double& tap : taps) tap -= 70.0;
    ASSERT_TRUE(calibrationOffset(clicks, taps, r));
    EXPECT_NEAR(r.meanMs, -30.0, 1e-9);
    // Too few taps near a click: no result, and how many did count.
    const std::vector<double> few(taps.begin(), taps.begin() + 4);
    EXPECT_FALSE(calibrationOffset(clicks, few, r));
    EXPECT_EQ(r.taps, 4);
}

}  // namespace
