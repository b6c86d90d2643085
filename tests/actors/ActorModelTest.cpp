// The actor's track operations, construction and the scene coordinate conversions.
#include <gtest/gtest.h>

#include "ActorTestSupport.h"
#include "actors/Actor.h"

using actor_test::InTempFolder;
using irr::core::dimension2du;
using irr::core::vector2df;

namespace {

ActorPose pose(float px, float py, float rot, float sx, float sy) { return ActorPose{{px, py}, rot, {sx, sy}}; }

void expectPose(const ActorPose& p, float px, float py, float rot, float sx, float sy) {
    EXPECT_FLOAT_EQ(p.position.X, px);
    EXPECT_FLOAT_EQ(p.position.Y, py);
    EXPECT_FLOAT_EQ(p.rotation, rot);
    EXPECT_FLOAT_EQ(p.scale.X, sx);
    EXPECT_FLOAT_EQ(p.scale.Y, sy);
}

class ActorModel : public InTempFolder {
protected:
    // An actor (not loaded) whose track is poses i = (i, 10 i, 0.1 i, 1, 1).
    Actor trackOf(int n) {
        Actor a("dog", image.get(), false);
        a.poses.clear();
        for (int i = 0; i < n; ++i) a.poses.push_back(pose(float(i), 10.f * float(i), 0.1f * float(i), 1.f, 1.f));
        return a;
    }
    void SetUp() override {
        InTempFolder::SetUp();
        image = makeImage(200, 120);
    }
    std::unique_ptr<Image> image;
};

TEST_F(ActorModel, WithoutDataFileHasOneDefaultPoseAndSizeFromPixels) {
    image->setSize(10.f, 10.f);  // a drawing size must not count
    Actor a("nofile", image.get(), true);
    ASSERT_EQ(a.poses.size(), 1u);
    expectPose(a.poses[0], -1.f, -1.f, 0.f, 1.f, 1.f);
    expectPose(a.current, -1.f, -1.f, 0.f, 1.f, 1.f);
    EXPECT_FLOAT_EQ(a.size.X, 2.5f);
    EXPECT_FLOAT_EQ(a.size.Y, 1.5f);
    EXPECT_FALSE(a.bindScale);
    EXPECT_FALSE(a.wobble);
    EXPECT_EQ(a.name, "nofile");
    EXPECT_EQ(a.image, image.get());
    // Scene (-1, -1) is 80 pixels left of and above the stage corner.
    EXPECT_EQ(sceneToScreen(a.current.position, dimension2du(1280, 720)), vector2df(-80.f, -80.f));
}

TEST_F(ActorModel, LoadFlagDecidesWhetherTheFileIsRead) {
    actor_test::writeFile("data/actors/dog.data",
                          actor_test::Bytes::header(2, 1).rec(4, 5, 0.5f, 2, 3).byte(1).byte(1).b);
    Actor skipped("dog", image.get(), false);
    ASSERT_EQ(skipped.poses.size(), 1u);
    expectPose(skipped.poses[0], -1.f, -1.f, 0.f, 1.f, 1.f);
    Actor loaded("dog", image.get(), true);
    ASSERT_EQ(loaded.poses.size(), 1u);
    expectPose(loaded.current, 4.f, 5.f, 0.5f, 2.f, 3.f);
    EXPECT_TRUE(loaded.bindScale && loaded.wobble);
}

TEST_F(ActorModel, PoseAtClampsToTheTrack) {
    Actor a = trackOf(3);
    EXPECT_EQ(&a.poseAt(-5), &a.poses[0]);
    EXPECT_EQ(&a.poseAt(0), &a.poses[0]);
    EXPECT_EQ(&a.poseAt(1), &a.poses[1]);
    EXPECT_EQ(&a.poseAt(2), &a.poses[2]);
    EXPECT_EQ(&a.poseAt(1000), &a.poses[2]);
    EXPECT_EQ(&a.poseAt(INT32_MIN), &a.poses[0]);
    EXPECT_EQ(&a.poseAt(INT32_MAX), &a.poses[2]);
    a.poseAt(7).rotation = 9.f;  // a reference into the track
    EXPECT_FLOAT_EQ(a.poses[2].rotation, 9.f);
}

TEST_F(ActorModel, OffsetPastTheEndPadsWithTheLastPose) {
    Actor a = trackOf(3);
    a.offsetPoses(5, pose(1.f, -2.f, 0.25f, 0.5f, -0.5f), true);
    ASSERT_EQ(a.poses.size(), 6u);
    for (int i = 0; i < 3; ++i) expectPose(a.poses[i], float(i), 10.f * float(i), 0.1f * float(i), 1.f, 1.f);
    expectPose(a.poses[3], 2.f, 20.f, 0.2f, 1.f, 1.f);
    expectPose(a.poses[4], 2.f, 20.f, 0.2f, 1.f, 1.f);
    expectPose(a.poses[5], 3.f, 18.f, 0.45f, 1.5f, 0.5f);
}

TEST_F(ActorModel, OffsetMovesTheRestOfTheTrackOrOneFrame) {
    Actor a = trackOf(10);
    a.offsetPoses(5, pose(1.f, 1.f, 1.f, 1.f, 1.f), true);
    ASSERT_EQ(a.poses.size(), 10u);
    for (int i = 0; i < 10; ++i) {
        const float d = i >= 5 ? 1.f : 0.f;
        expectPose(a.poses[i], float(i) + d, 10.f * float(i) + d, 0.1f * float(i) + d, 1.f + d, 1.f + d);
    }
    Actor b = trackOf(10);
    b.offsetPoses(5, pose(1.f, 0.f, 0.f, 0.f, 0.f), false);
    for (int i = 0; i < 10; ++i) EXPECT_FLOAT_EQ(b.poses[i].position.X, float(i) + (i == 5 ? 1.f : 0.f)) << i;
    // A frame before the first edits from frame 0 on and never indexes outside the track.
    Actor c = trackOf(3);
    c.offsetPoses(-4, pose(1.f, 0.f, 0.f, 0.f, 0.f), true);
    ASSERT_EQ(c.poses.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(c.poses[i].position.X, float(i) + 1.f);
}

TEST_F(ActorModel, FollowEasesBelowThreeUnitsAndNeverEasesRotation) {
    Actor a = trackOf(1);
    a.poses[0] = pose(2.f, 2.f, 1.5f, 3.f, -1.f);  // squared distance 8 from (0, 0)
    a.current = pose(0.f, 0.f, 0.f, 1.f, 1.f);
    a.followPose(0);
    expectPose(a.current, 0.5f, 0.5f, 1.5f, 1.5f, 0.5f);
    a.followPose(0);
    expectPose(a.current, 0.875f, 0.875f, 1.5f, 1.875f, 0.125f);
}

TEST_F(ActorModel, FollowJumpsFromExactlyThreeUnits) {
    Actor a = trackOf(2);
    a.poses[1] = pose(3.f, 0.f, -0.5f, 2.f, 4.f);  // squared distance exactly 9
    a.current = pose(0.f, 0.f, 0.f, 1.f, 1.f);
    a.followPose(50);  // past the end: the last pose
    expectPose(a.current, 3.f, 0.f, -0.5f, 2.f, 4.f);
}

TEST(SceneCoordinates, StageCentredOnTheScreen) {
    const dimension2du stage(1280, 720), full(1920, 1080), odd(1281, 721), small(1000, 600);
    EXPECT_EQ(sceneToScreen(vector2df(1.f, 2.f), stage), vector2df(80.f, 160.f));
    EXPECT_EQ(screenToScene(vector2df(80.f, 160.f), stage), vector2df(1.f, 2.f));
    EXPECT_EQ(sceneToScreen(vector2df(0.f, 0.f), full), vector2df(320.f, 180.f));
    EXPECT_EQ(sceneToScreen(vector2df(16.f, 9.f), full), vector2df(1600.f, 900.f));
    EXPECT_EQ(screenToScene(vector2df(960.f, 540.f), full), vector2df(8.f, 4.5f));
    // Halves of the margin are kept, and a screen smaller than the stage gives negative margins.
    EXPECT_EQ(sceneToScreen(vector2df(0.f, 0.f), odd), vector2df(0.5f, 0.5f));
    EXPECT_EQ(sceneToScreen(vector2df(0.f, 0.f), small), vector2df(-140.f, -60.f));
    EXPECT_EQ(screenToScene(vector2df(-140.f, -60.f), small), vector2df(0.f, 0.f));
}

TEST(ActorFileNames, NameIsTheTextBeforeTheLastDot) {
    EXPECT_EQ(actorNameFromFileName("dog.png"), "dog");
    EXPECT_EQ(actorNameFromFileName("a.b.png"), "a.b");
    EXPECT_EQ(actorNameFromFileName("plain"), "plain");
    EXPECT_EQ(actorDataPath("a.b"), "data/actors/a.b.data");
    EXPECT_EQ(actorPicturePath("a.b.png"), "data/actors/a.b.png");
    const std::string longName(400, 'n');
    EXPECT_EQ(actorDataPath(longName), "data/actors/" + longName + ".data");
}

}  // namespace
