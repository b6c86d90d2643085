// The song's beats: the tracker's grid on the bundled song against its beat list, the beats
// file read instead of tracking when it is there, and damaged beats files refused; and the
// dance made on a beat grid, replayed through the player's easing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "editor/Beats.h"
#include "editor/Dance.h"
#include "platform/Timebase.h"

namespace fs = std::filesystem;
using irr::core::vector2df;

namespace {

std::string readText(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Distance from t to the nearest of the sorted times.
long nearest(const std::vector<long>& times, long t) {
    long best = BEATS_MAX_MS;
    for (long x : times) best = std::min(best, std::labs(x - t));
    return best;
}

TEST(BeatsTest, TheTrackersGridHitsTheBundledSongsBeatsAndTheFileIsReadNextTime) {
    const fs::path data = fs::path(TUMELORA_SOURCE_DIR) / "data";
    char tmpl[] = "/tmp/tumelora-beats-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const fs::path folder = tmpl;
    const fs::path music = folder / "song.ogg";
    fs::copy_file(data / "lumokari2_tumelora_voices.ogg", music);
    std::vector<long> reference;
    std::string error;
    ASSERT_TRUE(parseBeats(readText(data / "lumokari2_tumelora_voices.beats"), reference, error));
    ASSERT_GT(reference.size(), 100u);

    // No beats file: the tracker listens, the grid is fitted and written beside the music.
    BeatLoader loader;
    loader.start(music.string());
    loader.stop();
    ASSERT_TRUE(loader.ready());
    ASSERT_TRUE(fs::exists(folder / "song.beats")) << loader.message;
    std::vector<long> written;
    ASSERT_TRUE(parseBeats(readText(folder / "song.beats"), written, error)) << error;
    EXPECT_EQ(written, loader.beats);
    size_t hit = 0, off = 0;
    for (long r : reference) hit += nearest(written, r) <= 20;
    for (long g : written) off += nearest(reference, g) > 20;
    EXPECT_GE(hit * 100, reference.size() * 95) << hit << " of " << reference.size() << " beats hit";
    EXPECT_LE(off * 100, written.size() * 5) << off << " of " << written.size() << " markers off";

    // With the file there it is read as it stands (here: shifted by hand), not tracked again.
    const std::vector<long> shifted = shiftBeats(written, 7);
    ASSERT_TRUE(writeBeatsFile((folder / "song.beats").string(), shifted, error)) << error;
    BeatLoader again;
    again.start(music.string());
    again.stop();
    EXPECT_EQ(again.beats, shifted);
    EXPECT_TRUE(again.message.empty()) << again.message;

    // A damaged file is refused with the line and reason, and left as it is.
    { std::ofstream(folder / "song.beats") << "0\n500\nabc\n"; }
    BeatLoader damaged;
    damaged.start(music.string());
    damaged.stop();
    EXPECT_TRUE(damaged.beats.empty());
    EXPECT_NE(damaged.message.find("line 3"), std::string::npos) << damaged.message;
    EXPECT_EQ(readText(folder / "song.beats"), "0\n500\nabc\n");
    fs::remove_all(folder);
}

TEST(BeatsTest, FilesAreReadStrictlyAndTheGridMovesByHand) {
    std::vector<long> b;
    std::string error;
    EXPECT_TRUE(parseBeats("0\r\n500\r\n\r\n1000", b, error));
    EXPECT_EQ(b, (std::vector<long>{0, 500, 1000}));
    EXPECT_FALSE(parseBeats("500\n400\n", b, error));
    EXPECT_FALSE(parseBeats("-5\n", b, error));
    EXPECT_FALSE(parseBeats("1.5\n", b, error));
    EXPECT_FALSE(parseBeats("99999999999999999999\n", b, error));
    EXPECT_EQ(beatsPathOf("data/song.ogg"), "data/song.beats");
    EXPECT_EQ(beatsPathOf("data.d/song"), "data.d/song.beats");
    EXPECT_EQ(shiftBeats({5, 500, 1000}, -10), (std::vector<long>{490, 990}));
    EXPECT_EQ(retimeBeats({0, 500, 1000, 1500}, -100), (std::vector<long>{0, 400, 800, 1200, 1600}));
    EXPECT_DOUBLE_EQ(beatPeriodMs({0, 500, 1000, 1499}), 500.0);
}

// A body with two arms (a mirror pair) hanging at its shoulders, danced by D's rule on a grid of
// a beat every 500 ms whose song is quiet (peaks 0.1) for four seconds, then loud (0.8): played
// back through the player's easing, the body is lowest on every beat that moves, the arms swing
// outward in turn, the joints hold, and the loud beats move about four times as far.
TEST(BeatsTest, ADanceIsLowestOnTheBeatsAlternatesMirrorPartsAndFollowsTheLoudness) {
    constexpr int kFrames = 8 * FRAMES_PER_SECOND;
    Actor body("03-body", nullptr, false), left("10-arm-Left", nullptr, false), right("11-arm-right", nullptr, false);
    body.size = vector2df(100.f, 200.f) / kSceneUnitPixels;
    left.size = right.size = vector2df(30.f, 100.f) / kSceneUnitPixels;
    // The body stands still; each arm hangs from its shoulder, 10 px in from the body's top corner.
    body.poses = {ActorPose{{8.f, 4.f}, 0.f, {1.f, 1.f}}};
    left.poses = {ActorPose{{8.f - 40.f / kSceneUnitPixels, 4.f - 40.f / kSceneUnitPixels}, 0.f, {1.f, 1.f}}};
    right.poses = {ActorPose{{8.f + 40.f / kSceneUnitPixels, 4.f - 40.f / kSceneUnitPixels}, 0.f, {1.f, 1.f}}};
    const std::vector<Actor*> actors = {&body, &left, &right};
    Rig rig;
    rig.joints["03-body"] = RigJoint{"", 50.f, 200.f};
    rig.joints["10-arm-Left"] = RigJoint{"03-body", 15.f, 10.f};
    rig.joints["11-arm-right"] = RigJoint{"03-body", 15.f, 10.f};
    EXPECT_EQ(mirrorPartner(actors, {0, 1, 2}, 1), 2);

    std::vector<long> beats;
    for (long t = 0; t <= 8000; t += 500) beats.push_back(t);
    std::vector<float> peaks(kFrames, 0.1f);
    std::fill(peaks.begin() + kFrames / 2, peaks.end(), 0.8f);
    DanceMusic music{BeatGrid(beats), {}};
    music.loudness = beatLoudness(music.grid, peaks);
    const DancePlan plan = planDance(actors, rig, 0, 0);
    EXPECT_EQ(describeDance(actors, plan), "03-body bounces and sways; 10-arm-Left, 11-arm-right swing");
    dance(actors, rig, plan, music, 0, kFrames);

    // What playback shows, frame by frame.
    std::vector<std::vector<ActorPose>> shown;
    for (const Actor* a : actors) shown.push_back(shownTrack(*a, kFrames));
    const auto pivotY = [&](int f) { return picturePointAt(body, shown[0][std::size_t(f)], {50.f, 200.f}).Y; };
    const float rest = picturePointAt(body, body.poses.front(), {50.f, 200.f}).Y;
    std::vector<float> depth;  // how far each beat took the body down, pixels
    for (std::size_t i = 1; i + 1 < beats.size(); ++i) {
        const int beatFrame = int(std::lround(double(beats[i]) / FRAME_MS));
        int lowest = beatFrame;
        for (int f = beatFrame - 14; f <= beatFrame + 14; ++f)
            if (pivotY(f) > pivotY(lowest)) lowest = f;
        depth.push_back((pivotY(lowest) - rest) * kSceneUnitPixels);
        if (depth.back() >= 0.5f) {
            EXPECT_LE(std::abs(lowest - beatFrame), 1) << "beat at " << beats[i] << " ms";
        }
    }
    // Quiet beats (2 to 6: -18 dB) move a quarter as far as the loud ones (9 to 14).
    const float height = 200.f;  // the body from its top to its feet, the arms within it
    EXPECT_NEAR(depth[12], DANCE_BOUNCE_SHARE * height, 0.5f);
    for (int i : {1, 2, 3, 4, 5}) EXPECT_NEAR(depth[std::size_t(i)] / depth[12], 0.25f, 0.03f) << "beat " << i + 1;
    for (int i : {8, 9, 10, 11, 12, 13}) EXPECT_NEAR(depth[std::size_t(i)], depth[12], 0.05f) << "beat " << i + 1;

    // The arms swing outward in turn: the left one (clockwise) furthest on a bar's third beat,
    // the right one (counter-clockwise) on its first.
    const auto turn = [&](std::size_t arm, long ms) { return shown[arm][std::size_t(std::lround(ms / FRAME_MS))].rotation; };
    EXPECT_NEAR(turn(1, 5000), DANCE_SWING_RADIANS, 0.01f);
    EXPECT_NEAR(turn(2, 5000), 0.f, 0.01f);
    EXPECT_NEAR(turn(1, 6000), 0.f, 0.01f);
    EXPECT_NEAR(turn(2, 6000), -DANCE_SWING_RADIANS, 0.01f);
    // ... and stay on their shoulders in every frame.
    for (std::size_t arm : {1, 2}) {
        const vector2df spot = pictureSpotAt(body, body.poses.front(),
                                             picturePointAt(*actors[arm], actors[arm]->poses.front(), {15.f, 10.f}));
        float widest = 0.f;
        for (int f = 0; f < kFrames; ++f)
            widest = std::max(widest, picturePointAt(*actors[arm], shown[arm][std::size_t(f)], {15.f, 10.f})
                                          .getDistanceFrom(picturePointAt(body, shown[0][std::size_t(f)], spot)));
        EXPECT_LE(widest * kSceneUnitPixels, 1.f) << actors[arm]->name;
    }
}

}  // namespace
