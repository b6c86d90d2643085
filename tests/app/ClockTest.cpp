// The fixed-step clock, the smoothed clock and the loop, driven by an injected tick source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "app/Application.h"
#include "platform/Ticks.h"
#include "platform/Timebase.h"
#include "RecordingState.h"

namespace {

// Installs a tick source the test sets by hand; restores SDL's tick afterwards.
class ClockTest : public ::testing::Test {
protected:
    void SetUp() override {
        setTickSource([this] { return tick; });
    }
    void TearDown() override { setTickSource(nullptr); }

    uint32_t tick = 5000;
    Application app{nullptr};
    RecordingState state;
};

TEST_F(ClockTest, ResetSetsBothClocksToZeroAndRemembersTheTick) {
    app.clock.smoothedTimeMs = 77;
    app.clock.simulatedTimeMs = 12.5;
    app.setState(&state);
    EXPECT_EQ(app.clock.smoothedTimeMs, 0);
    EXPECT_EQ(app.clock.simulatedTimeMs, 0.0);
    EXPECT_EQ(app.clock.startTick, 5000u);
    // Right after the reset no step is due, yet the frame is drawn.
    EXPECT_TRUE(app.fixedUpdate());
    EXPECT_TRUE(state.steps.empty());
}

TEST_F(ClockTest, HundredMillisecondsOfLagGiveFourStepsNowAndTheRestLater) {
    app.setState(&state);
    app.clock.smoothedTimeMs = 100;
    EXPECT_TRUE(app.fixedUpdate());
    EXPECT_EQ(state.steps, (std::vector<int>{16, 16, 16, 16}));
    EXPECT_NEAR(app.clock.simulatedTimeMs, 4000.0 / 60.0, 1e-9);
    // The backlog is kept: the next iteration catches up with the same clock.
    EXPECT_TRUE(app.fixedUpdate());
    EXPECT_GE(state.steps.size(), 6u);
    EXPECT_LE(state.steps.size(), 7u);
    for (int s : state.steps) EXPECT_EQ(s, 16);
    EXPECT_GE(app.clock.simulatedTimeMs, 100.0 - 1e-9);
    // Caught up: at most one step ahead, so either nothing is drawn or nothing is stepped.
    const size_t taken = state.steps.size();
    app.fixedUpdate();
    EXPECT_EQ(state.steps.size(), taken);
}

TEST_F(ClockTest, LargeBacklogIsCaughtUpFourStepsPerIteration) {
    app.setState(&state);
    app.clock.smoothedTimeMs = 1000;
    for (int i = 1; i <= 3; ++i) {
        EXPECT_TRUE(app.fixedUpdate());
        EXPECT_EQ(state.steps.size(), size_t(4 * i));
    }
    EXPECT_NEAR(app.clock.simulatedTimeMs, 12 * 1000.0 / 60.0, 1e-9);
}

TEST_F(ClockTest, SimulatedTimeAheadOfTheClockDrawsNothing) {
    app.setState(&state);
    app.clock.simulatedTimeMs = 20.0;
    app.clock.smoothedTimeMs = 19;
    EXPECT_FALSE(app.fixedUpdate());
    EXPECT_TRUE(state.steps.empty());
    EXPECT_EQ(app.clock.simulatedTimeMs, 20.0);
}

TEST_F(ClockTest, WithoutStateTheSimulatedTimeFollowsTheClock) {
    app.clock.smoothedTimeMs = 250;
    EXPECT_FALSE(app.fixedUpdate());
    EXPECT_EQ(app.clock.simulatedTimeMs, 250.0);
}

TEST_F(ClockTest, SmoothingClosesHalfTheLag) {
    app.setState(&state);
    app.clock.smoothedTimeMs = 1000;
    tick = app.clock.startTick + 1100;
    app.smoothClock();
    EXPECT_EQ(app.clock.smoothedTimeMs, 1050);
    app.smoothClock();
    EXPECT_EQ(app.clock.smoothedTimeMs, 1075);
    // An odd sum is truncated.
    tick = app.clock.startTick + 1080;
    app.smoothClock();
    EXPECT_EQ(app.clock.smoothedTimeMs, 1077);
}

TEST_F(ClockTest, SmoothingTruncatesTowardZeroAndSurvivesTickWrap) {
    app.setState(&state);
    // A tick behind the reset gives a negative elapsed time: -3 / 2 is -1, not -2.
    tick = app.clock.startTick - 3;
    app.smoothClock();
    EXPECT_EQ(app.clock.smoothedTimeMs, -1);
    // The 32-bit tick wraps: the difference still counts the elapsed milliseconds.
    tick = 0xFFFFFFF0u;
    app.setState(&state);
    tick = 0x10u;
    app.smoothClock();
    EXPECT_EQ(app.clock.smoothedTimeMs, 16);
}

TEST_F(ClockTest, SixtyBaseStepsAddUpTo960Milliseconds) {
    PlainState plain;
    app.setState(&plain);
    app.clock.smoothedTimeMs = 5000;
    for (int i = 0; i < 15; ++i) app.fixedUpdate();  // four steps each
    EXPECT_EQ(plain.elapsed(), 960);
    EXPECT_NEAR(app.clock.simulatedTimeMs, 1000.0, 1e-9);
    // Entering again restarts the state's clock.
    app.setState(&plain);
    EXPECT_EQ(plain.elapsed(), 0);
}

TEST(FixedStepClockTest, StepsAreWholeMillisecondsOfTheRate) {
    FixedStepClock clock;
    EXPECT_EQ(clock.step(0), 0);
    EXPECT_EQ(clock.step(-5), 0);
    EXPECT_EQ(clock.simulatedTimeMs, 0.0);
    EXPECT_EQ(clock.step(1000), 1);
    EXPECT_EQ(clock.step(60), 16);
    EXPECT_NEAR(clock.simulatedTimeMs, 1.0 + FRAME_MS, 1e-9);
}

TEST_F(ClockTest, UpdateRateIsReadAtEveryStep) {
    state.rateAfterFirstStep = 100;
    app.setState(&state);
    app.clock.smoothedTimeMs = 1000;
    app.fixedUpdate();
    EXPECT_EQ(state.steps, (std::vector<int>{16, 10, 10, 10}));
    EXPECT_NEAR(app.clock.simulatedTimeMs, 1000.0 / 60.0 + 30.0, 1e-9);
}

TEST_F(ClockTest, StateWithoutPositiveRateIsNotAdvanced) {
    state.setRate(0);
    app.setState(&state);
    app.clock.smoothedTimeMs = 100;
    EXPECT_TRUE(app.fixedUpdate());
    EXPECT_TRUE(state.steps.empty());
    EXPECT_EQ(app.clock.simulatedTimeMs, 0.0);
    state.setRate(-5);
    EXPECT_TRUE(app.fixedUpdate());
    EXPECT_TRUE(state.steps.empty());
}

TEST_F(ClockTest, SetStateLeavesTheOldStateAndEntersTheNew) {
    RecordingState other;
    app.setState(&state);
    app.setState(&other);
    EXPECT_EQ(state.calls, (std::vector<std::string>{"enter", "leave"}));
    EXPECT_EQ(other.calls, (std::vector<std::string>{"enter"}));
    tick = 9000;
    app.setState(nullptr);
    EXPECT_EQ(other.calls, (std::vector<std::string>{"enter", "leave"}));
    EXPECT_EQ(app.state(), nullptr);
    EXPECT_EQ(app.clock.startTick, 9000u);
}

// The heard music as the clock's time source: a fake heard position that runs, runs slow,
// stalls and jumps drives the real fixed-step clock, one loop iteration every 3 ms. The frame
// (one per step) stays within one frame of the music, and within half a second of a stall or
// a jump; without music the tick clock goes on from there without a burst of steps.
TEST_F(ClockTest, FramesFollowTheHeardMusicThroughStallsJumpsAndSlowRuns) {
    constexpr double FRAME = FRAME_MS, ITERATION = 3.0;
    app.setState(&state);
    double heard = 0.0;
    bool musicPlays = true;
    app.setTimeSource([&](double* ms) {
        if (!musicPlays) return false;
        *ms = musicClockMs(app.clock.simulatedTimeMs, heard, int(state.steps.size()));
        return true;
    });
    double lastUpset = -1e9;  // wall time of the last stall's end or jump
    double worst = 0.0, worstSettling = 0.0;
    double wall = 0.0;
    auto iterate = [&](double heardStep) {
        wall += ITERATION;
        tick += uint32_t(ITERATION);
        heard += heardStep;
        const size_t before = state.steps.size();
        app.smoothClock();
        app.fixedUpdate();
        EXPECT_LE(state.steps.size() - before, 4u);
        const double apart = std::abs(double(state.steps.size()) * FRAME - heard);
        if (wall - lastUpset > 500.0) worst = std::max(worst, apart);
        else worstSettling = std::max(worstSettling, apart);
    };
    for (int i = 0; i < 1000; ++i) iterate(ITERATION);        // 3 s at the right rate
    for (int i = 0; i < 1000; ++i) iterate(ITERATION * 0.9);  // 3 s of a device 10 % slow
    for (int i = 0; i < 67; ++i) iterate(0.0);                // a stall of 200 ms
    lastUpset = wall;
    for (int i = 0; i < 500; ++i) iterate(ITERATION);
    heard += 300.0;                                            // the music jumps on
    lastUpset = wall;
    for (int i = 0; i < 500; ++i) iterate(ITERATION);
    EXPECT_LE(worst, FRAME) << "apart after settling";
    EXPECT_LE(worstSettling, 300.0 + FRAME);
    // The music stops: the tick clock takes over where the music left the clock.
    musicPlays = false;
    const size_t atStop = state.steps.size();
    for (int i = 0; i < 100; ++i) iterate(0.0);
    const size_t expected = size_t(100 * ITERATION / FRAME);
    EXPECT_GE(state.steps.size() - atStop, expected - 1);
    EXPECT_LE(state.steps.size() - atStop, expected + 1);
}

// The loop on a real engine device without a window (the null driver).
class LoopTest : public ClockTest {
protected:
    void SetUp() override {
        ClockTest::SetUp();
        device = irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2d<irr::u32>(640, 480));
        ASSERT_NE(device, nullptr);
    }
    void TearDown() override {
        if (device) device->drop();
        ClockTest::TearDown();
    }
    irr::IrrlichtDevice* device = nullptr;
};

TEST_F(LoopTest, FrozenClockStillDrawsEveryIteration) {
    Application loop(device);
    ASSERT_TRUE(loop.init(device));
    state.stopAfterRenders = 3;
    loop.setState(&state);
    loop.run();
    EXPECT_EQ(state.renders, 3);
    EXPECT_TRUE(state.steps.empty());
    EXPECT_FALSE(loop.isRunning());
}

TEST_F(LoopTest, LoopStepsAsTheTicksAdvance) {
    Application loop(device);
    ASSERT_TRUE(loop.init(device));
    loop.setState(&state);
    // Every tick read moves the clock on by 100 ms: the loop falls behind and catches up
    // at most four steps per iteration.
    setTickSource([this] { return tick += 100; });
    state.stopAfterRenders = 5;
    loop.run();
    ASSERT_EQ(state.renders, 5);
    // Each iteration steps at most four times; once behind, exactly four.
    size_t before = 0;
    for (size_t taken : state.stepsAtRender) {
        EXPECT_LE(taken - before, 4u);
        before = taken;
    }
    EXPECT_EQ(state.stepsAtRender[4] - state.stepsAtRender[3], 4u);
    EXPECT_LE(loop.clock.simulatedTimeMs, double(loop.clock.smoothedTimeMs) + FRAME_MS);
    EXPECT_GT(loop.clock.smoothedTimeMs, 0);
}

TEST_F(LoopTest, InitSetsTheApplicationAndMakesTheRenderer) {
    Application first(nullptr);
    EXPECT_FALSE(first.init(nullptr));
    EXPECT_EQ(theApplication(), &first);
    EXPECT_EQ(first.renderer(), nullptr);
    EXPECT_EQ(first.screenWidth(), 0);

    Application loop(device);
    ASSERT_TRUE(loop.init(device));
    EXPECT_EQ(theApplication(), &loop);
    ASSERT_NE(loop.renderer(), nullptr);
    EXPECT_EQ(loop.driver(), device->getVideoDriver());
    EXPECT_EQ(loop.screenWidth(), 640);
    EXPECT_EQ(loop.screenHeight(), 480);
    EXPECT_EQ(std::wstring(loop.caption()), L"TUMELORA");
}

}  // namespace
