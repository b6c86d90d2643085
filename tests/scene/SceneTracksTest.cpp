// The bundled scene's committed tracks, as the playing program shows them: each track is read
// from data/actors/ and eased frame by frame through Actor::followPose, like playback does.
// The dancer's parts must stay joined in every frame, the tracks must outlast the music, the
// speakers must thump on the kicks of the beat list, and the flags must be where they belong.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "actors/ActorDataFile.h"
#include "tools/scene/SceneModel.h"

using namespace scene;

namespace {

const std::string kData = std::string(TUMELORA_SOURCE_DIR) + "/data/";
// 56 s of music at 60 frames per second.
constexpr int kMusicFrames = 56 * 60;
// How far apart two parts' ends of one joint may be shown, in pixels.
constexpr float kJointTolerance = 0.5f;

ActorData readTrack(const Picture& p) {
    ActorData data;
    std::ifstream in(kData + "actors/" + actorNameFromFileName(p.file) + kActorDataSuffix, std::ios::binary);
    EXPECT_TRUE(in) << p.file;
    if (in) {
        EXPECT_EQ(readActorData(in, data), ActorDataStatus::Complete) << p.file;
    }
    return data;
}

// Every displayed pose of a track during playback from frame 0: the program's actor, fed
// the track, eased once per frame.
std::vector<ActorPose> shownDuringPlayback(const Picture& p, int frames) {
    Actor actor(actorNameFromFileName(p.file), nullptr, false);
    actor.poses = readTrack(p).poses;
    if (actor.poses.empty()) return {};
    actor.current = actor.poses.front();
    std::vector<ActorPose> shown{actor.current};
    for (int f = 1; f < frames; ++f) {
        actor.followPose(f);
        shown.push_back(actor.current);
    }
    return shown;
}

// Where the picture point q of a part shown with pose s lands on stage, in pixels.
irr::core::vector2df stagePoint(const Picture& p, const ActorPose& s, Point q) {
    const float dx = (q.x - float(p.w) / 2.f) * s.scale.X, dy = (q.y - float(p.h) / 2.f) * s.scale.Y;
    const float c = std::cos(s.rotation), n = std::sin(s.rotation);
    return irr::core::vector2df(s.position.X * kUnitPixels + dx * c - dy * n, s.position.Y * kUnitPixels + dx * n + dy * c);
}

struct Joint {
    const Picture* a;
    Point atA;
    const Picture* b;
    Point atB;
    const char* name;
};

}  // namespace

TEST(SceneTracks, DancerPartsStayJoinedInEveryFrameOfPlayback) {
    const Joint joints[] = {
        {&kTorso, torso::kNeck, &kHead, head::kNeck, "neck"},
        {&kTorso, torso::kShoulderLeft, &kUpperArmLeft, upperArm::kShoulder, "left shoulder"},
        {&kTorso, torso::kShoulderRight, &kUpperArmRight, upperArm::kShoulder, "right shoulder"},
        {&kUpperArmLeft, upperArm::kElbow, &kForearmLeft, forearm::kElbow, "left elbow"},
        {&kUpperArmRight, upperArm::kElbow, &kForearmRight, forearm::kElbow, "right elbow"},
        {&kTorso, torso::kHipLeft, &kThighLeft, thigh::kHip, "left hip"},
        {&kTorso, torso::kHipRight, &kThighRight, thigh::kHip, "right hip"},
        {&kThighLeft, thigh::kKnee, &kShinLeft, shin::kKnee, "left knee"},
        {&kThighRight, thigh::kKnee, &kShinRight, shin::kKnee, "right knee"},
    };
    std::map<const Picture*, std::vector<ActorPose>> shown;
    for (const Joint& j : joints)
        for (const Picture* p : {j.a, j.b})
            if (!shown.count(p)) shown[p] = shownDuringPlayback(*p, kMusicFrames);
    for (const Joint& j : joints) {
        const std::vector<ActorPose>& a = shown[j.a];
        const std::vector<ActorPose>& b = shown[j.b];
        ASSERT_EQ(a.size(), size_t(kMusicFrames));
        ASSERT_EQ(b.size(), size_t(kMusicFrames));
        float worst = 0;
        int worstFrame = 0;
        for (int f = 0; f < kMusicFrames; ++f) {
            const float gap = stagePoint(*j.a, a[size_t(f)], j.atA).getDistanceFrom(stagePoint(*j.b, b[size_t(f)], j.atB));
            if (gap > worst) worst = gap, worstFrame = f;
        }
        EXPECT_LE(worst, kJointTolerance) << j.name << " opens by " << worst << " px at frame " << worstFrame;
    }
}

TEST(SceneTracks, EveryTrackOutlastsTheMusicAndTheFlagsAreSet) {
    const Picture* moving[] = {&kSunPicture,  &kCloudBig,     &kCloudSmall,   &kBunting,    &kBannerLeft,
                               &kBannerRight, &kSpotLeft,     &kSpotRight,    &kSpeakerLeft, &kSpeakerRight,
                               &kNoteA,       &kNoteB,        &kConfetti,     &kShadow,       &kShinLeft,    &kShinRight,
                               &kThighLeft,   &kThighRight,   &kTorso,        &kHead,        &kUpperArmLeft,
                               &kUpperArmRight, &kForearmLeft, &kForearmRight, &kPlantLeft,  &kPlantRight};
    const Picture* waving[] = {&kBunting, &kBannerLeft, &kBannerRight, &kPlantLeft, &kPlantRight};
    const Picture* bound[] = {&kSunPicture, &kSpeakerLeft, &kSpeakerRight, &kNoteA, &kNoteB, &kConfetti, &kShadow};
    size_t length = 0;
    for (const Picture* p : moving) {
        const ActorData d = readTrack(*p);
        // The music closes the program: a track ending first would stop the music early.
        EXPECT_GT(d.poses.size(), size_t(kMusicFrames)) << p->file;
        if (length == 0) length = d.poses.size();
        EXPECT_EQ(d.poses.size(), length) << p->file << ": all tracks have one length";
        bool waves = false, binds = false;
        for (const Picture* w : waving) waves = waves || w == p;
        for (const Picture* b : bound) binds = binds || b == p;
        EXPECT_EQ(d.wobble, waves) << p->file;
        EXPECT_EQ(d.bindScale, binds) << p->file;
    }
    // Actors with "Bind scale" keep both factors equal in their tracks.
    for (const Picture* p : bound)
        for (const ActorPose& pose : readTrack(*p).poses) ASSERT_EQ(pose.scale.X, pose.scale.Y) << p->file;
    // The backdrop fills the stage from the middle.
    const ActorData stage = readTrack(kBackdrop);
    ASSERT_EQ(stage.poses.size(), 1u);
    EXPECT_FLOAT_EQ(stage.poses[0].position.X * kUnitPixels, kStageW / 2.f);
    EXPECT_FLOAT_EQ(stage.poses[0].position.Y * kUnitPixels, kStageH / 2.f);
}

TEST(SceneTracks, SpeakersThumpOnTheKicksOfTheBeatList) {
    std::ifstream in(kData + "lumokari2_tumelora_voices.beats");
    std::vector<int> beatFrames;
    long ms;
    while (in >> ms) beatFrames.push_back(int(std::lround(double(ms) * 60 / 1000)));
    ASSERT_GT(beatFrames.size(), 100u);
    const std::vector<ActorPose> speaker = shownDuringPlayback(kSpeakerLeft, kMusicFrames);
    ASSERT_EQ(speaker.size(), size_t(kMusicFrames));
    // The kick sounds on every beat of bars 2 to 25 but only on the first of each bar in the
    // breakdown (bars 18 to 21), and the pulse is largest right on it.
    constexpr float kThump = 1.1f, kRest = 1.02f;
    int thumps = 0;
    for (size_t beat = 0; beat + 1 < beatFrames.size(); ++beat) {
        const int bar = int(beat / 4);
        const bool kick = bar >= 2 && bar <= 25 && (bar < 18 || bar > 21 || beat % 4 == 0);
        const int on = beatFrames[beat], between = (beatFrames[beat] + beatFrames[beat + 1]) / 2;
        const float onScale = speaker[size_t(on)].scale.X;
        if (kick) {
            EXPECT_GE(onScale, kThump) << "beat " << beat;
            EXPECT_LT(speaker[size_t(between)].scale.X, onScale) << "beat " << beat;
            ++thumps;
        } else {
            EXPECT_LE(onScale, kRest) << "beat " << beat << " has no kick";
        }
    }
    EXPECT_EQ(thumps, 24 * 4 - 4 * 3);
}
