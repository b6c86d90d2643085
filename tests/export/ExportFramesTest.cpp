// The exported frames against playback: a real OpenGL device under Xvfb, a real main state
// over real actor files (moving, turning, scaling and wobbling), stepped once per frame as
// the exporter does, and the same animation played through the application's fixed-step
// loop with an uneven clock; every frame playback draws must equal the exported frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

#include "export/OfflinePlayback.h"
#include "platform/Ticks.h"
#include "tests/state/StateTestSupport.h"

namespace {

using namespace state_test;

// Frames of the test animation.
constexpr int TEST_FRAMES = 90;

// FNV-1a hash of a frame's bytes.
uint64_t frameHash(const std::vector<unsigned char>& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char b : bytes) h = (h ^ b) * 1099511628211ull;
    return h;
}

// A track that moves, turns and grows over the whole animation.
std::vector<ActorPose> movingTrack(float x0, float dx, float turn, float grow) {
    std::vector<ActorPose> poses;
    for (int i = 0; i < TEST_FRAMES; ++i) {
        const float t = float(i) / float(TEST_FRAMES - 1);
        // A jump halfway (farther than the easing follows) as well as smooth motion.
        const float jump = i >= TEST_FRAMES / 2 ? 4.f : 0.f;
        poses.push_back(ActorPose{{x0 + dx * t + jump, 3.f + t}, turn * t, {1.f + grow * t, 1.f}});
    }
    return poses;
}

class ExportFramesTest : public MainStateTest {
protected:
    void writeScene() {
        writePicture("plain.png", 120, 90, 0xFFCC3322);
        writeTrack("plain", movingTrack(2.f, 6.f, 1.5f, 0.8f));
        writePicture("wavy.png", 100, 200, 0xFF2255DD);
        writeTrack("wavy", movingTrack(9.f, -3.f, -0.7f, 0.3f), false, true);
        writeMusic(5.0);
    }
};

TEST_F(ExportFramesTest, EveryFramePlaybackDrawsIsTheExportedFrame) {
    writeScene();
    FrameReader reader(device, 1280, 720);
    ASSERT_TRUE(reader.ready());

    // The export's frames.
    std::vector<uint64_t> exported;
    std::vector<unsigned char> rgb;
    {
        MainState offline;
        const StateAccess offlineState(offline);
        ASSERT_TRUE(offline.init());
        OfflinePlayback playback(offline);
        ASSERT_EQ(playback.frameCount(), TEST_FRAMES);
        while (playback.nextFrame()) {
            ASSERT_EQ(offlineState.currentFrame(), playback.frame());
            ASSERT_TRUE(offlineState.playing());
            ASSERT_TRUE(reader.read(offline, rgb));
            exported.push_back(frameHash(rgb));
        }
        ASSERT_EQ(exported.size(), size_t(TEST_FRAMES));
        offline.shutdown();
    }
    // The animation really changes from frame to frame (so equal hashes mean something).
    EXPECT_GT(std::set<uint64_t>(exported.begin(), exported.end()).size(), size_t(TEST_FRAMES - 2));

    // Playback through the application's loop, with a clock that sometimes gives no step
    // and sometimes several.
    uint32_t tick = 10000;
    setTickSource([&tick] { return tick; });
    ASSERT_TRUE(initState());
    app->setState(&state);
    // The uneven tick clock alone drives this playback, not the music the device takes.
    app->setTimeSource(nullptr);
    const uint32_t gaps[] = {0, 7, 16, 17, 33, 2, 50, 16, 9, 70, 16, 17};
    int compared = 0;
    std::set<int> seen;
    for (int i = 0; i < 2000 && play.playing(); ++i) {
        tick += gaps[i % (sizeof gaps / sizeof gaps[0])];
        app->smoothClock();
        if (!app->fixedUpdate()) continue;
        const int frame = play.currentFrame();
        ASSERT_TRUE(reader.read(state, rgb));
        if (!play.playing()) break;  // resting after the end: no longer playback's motion
        ASSERT_EQ(frameHash(rgb), exported[size_t(frame)]) << "frame " << frame;
        ++compared;
        seen.insert(frame);
    }
    app->setState(nullptr);
    setTickSource(nullptr);
    EXPECT_GT(compared, TEST_FRAMES / 2);
    EXPECT_TRUE(seen.count(0));
}

}  // namespace
