// The editor's undo and redo on real actors: exact restoring (NaN and -0 included), one step
// per edit, redo dropped by a new edit, and the step and memory limits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "actors/Actor.h"
#include "editor/EditHistory.h"
#include "rig/RigEditing.h"

namespace {

// Two actors without pictures or files, with short tracks.
class EditHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"a", "b"}) {
            owned.push_back(std::make_unique<Actor>(name, nullptr, false));
            actors.push_back(owned.back().get());
        }
        actors[0]->poses = track(5, 1.f);
        actors[1]->poses = track(3, 7.f);
    }

    static std::vector<ActorPose> track(int n, float x0) {
        std::vector<ActorPose> poses;
        for (int i = 0; i < n; ++i) poses.push_back(ActorPose{{x0 + float(i), 2.f}, 0.f, {1.f, 1.f}});
        return poses;
    }
    // True when both tracks hold the same bytes.
    static bool sameBits(const std::vector<ActorPose>& a, const std::vector<ActorPose>& b) {
        return a.size() == b.size() &&
               std::memcmp(a.data(), b.data(), a.size() * sizeof(ActorPose)) == 0;
    }

    std::vector<std::unique_ptr<Actor>> owned;
    std::vector<Actor*> actors;
    int frames = 5;
};

TEST_F(EditHistoryTest, UndoAndRedoRestoreTracksFlagsAndLengthBitForBit) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    actors[0]->poses[2].rotation = nan;
    actors[0]->poses[3].scale.X = -0.f;
    const std::vector<ActorPose> before = actors[0]->poses;

    EditHistory history;
    history.begin(actors, frames);
    // A take: the track grows, the old NaN becomes a number, a -0 becomes +0, a flag flips.
    actors[0]->offsetPoses(2, ActorPose{{0.5f, 0.f}, 0.f, {0.f, 0.f}}, true);
    actors[0]->poses[2].rotation = 0.25f;
    actors[0]->poses[3].scale.X = 0.f;
    actors[0]->poses.push_back(actors[0]->poses.back());
    actors[0]->wobble = true;
    frames = 6;
    const std::vector<ActorPose> after = actors[0]->poses;
    ASSERT_TRUE(history.commit(actors, frames));
    EXPECT_EQ(history.undoCount(), 1u);

    ASSERT_TRUE(history.undo(actors, frames));
    EXPECT_TRUE(sameBits(actors[0]->poses, before));
    EXPECT_TRUE(std::isnan(actors[0]->poses[2].rotation));
    EXPECT_TRUE(std::signbit(actors[0]->poses[3].scale.X));
    EXPECT_FALSE(actors[0]->wobble);
    EXPECT_EQ(frames, 5);
    EXPECT_EQ(history.redoCount(), 1u);

    ASSERT_TRUE(history.redo(actors, frames));
    EXPECT_TRUE(sameBits(actors[0]->poses, after));
    EXPECT_TRUE(actors[0]->wobble);
    EXPECT_EQ(frames, 6);
    EXPECT_FALSE(history.redo(actors, frames));
}

TEST_F(EditHistoryTest, OnlyRealChangesBecomeStepsAndBitsDecide) {
    EditHistory history;
    history.begin(actors, frames);
    EXPECT_FALSE(history.commit(actors, frames)) << "nothing changed";

    // The same value written back is no change; a NaN written back bit-identically neither.
    history.begin(actors, frames);
    actors[1]->poses[0].rotation = std::numeric_limits<float>::quiet_NaN();
    ASSERT_TRUE(history.commit(actors, frames));
    history.begin(actors, frames);
    actors[1]->poses[0].rotation = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(history.commit(actors, frames));

    // +0 to -0 compares equal as floats but is a change of the stored bits.
    history.begin(actors, frames);
    actors[1]->poses[1].position.Y = 0.f;
    history.commit(actors, frames);
    history.begin(actors, frames);
    actors[1]->poses[1].position.Y = -0.f;
    EXPECT_TRUE(history.commit(actors, frames));
    EXPECT_EQ(history.undoCount(), 3u);

    // A longer animation alone (recording without dragging) is a step too.
    history.begin(actors, frames);
    EXPECT_TRUE(history.commit(actors, frames + 10));
}

TEST_F(EditHistoryTest, AStepCoversEveryActorItChangedAndUndoesInOrder) {
    EditHistory history;
    const std::vector<ActorPose> a0 = actors[0]->poses, b0 = actors[1]->poses;
    history.begin(actors, frames);
    actors[0]->poses.resize(2);  // "Reset>>"
    actors[1]->bindScale = true;
    ASSERT_TRUE(history.commit(actors, frames));
    const std::vector<ActorPose> a1 = actors[0]->poses;

    history.begin(actors, frames);
    actors[0]->offsetPoses(0, ActorPose{{1.f, 1.f}, 0.f, {0.f, 0.f}}, true);
    ASSERT_TRUE(history.commit(actors, frames));

    ASSERT_TRUE(history.undo(actors, frames));
    EXPECT_TRUE(sameBits(actors[0]->poses, a1));
    EXPECT_TRUE(actors[1]->bindScale);
    ASSERT_TRUE(history.undo(actors, frames));
    EXPECT_TRUE(sameBits(actors[0]->poses, a0));
    EXPECT_TRUE(sameBits(actors[1]->poses, b0));
    EXPECT_FALSE(actors[1]->bindScale);
    EXPECT_FALSE(history.undo(actors, frames));
}

TEST_F(EditHistoryTest, ANewEditDropsTheRedoSteps) {
    EditHistory history;
    history.begin(actors, frames);
    actors[0]->wobble = true;
    history.commit(actors, frames);
    ASSERT_TRUE(history.undo(actors, frames));
    ASSERT_EQ(history.redoCount(), 1u);

    history.begin(actors, frames);
    actors[1]->poses[0].position.X = 100.f;
    ASSERT_TRUE(history.commit(actors, frames));
    EXPECT_EQ(history.redoCount(), 0u);
    EXPECT_FALSE(history.redo(actors, frames));
    EXPECT_FALSE(actors[0]->wobble);

    // An edit that changed nothing keeps the redo steps.
    ASSERT_TRUE(history.undo(actors, frames));
    history.begin(actors, frames);
    history.commit(actors, frames);
    EXPECT_EQ(history.redoCount(), 1u);
}

TEST_F(EditHistoryTest, BeginWhileOpenKeepsTheFirstCopyAndUndoEndsAnOpenEdit) {
    EditHistory history;
    history.begin(actors, frames);
    actors[0]->poses[0].position.X = 50.f;
    history.begin(actors, frames);  // the take goes on: its start is still the first copy
    actors[0]->poses[0].position.X = 60.f;
    ASSERT_TRUE(history.commit(actors, frames));
    ASSERT_TRUE(history.undo(actors, frames));
    EXPECT_EQ(actors[0]->poses[0].position.X, 1.f);

    history.begin(actors, frames);
    EXPECT_TRUE(history.isOpen());
    EXPECT_TRUE(history.redo(actors, frames));
    EXPECT_FALSE(history.isOpen());
    EXPECT_FALSE(history.commit(actors, frames));
}

TEST_F(EditHistoryTest, TheOldestStepsGoBeyondTheStepLimit) {
    EditHistory history(3, EDIT_HISTORY_MAX_BYTES);
    for (int i = 0; i < 5; ++i) {
        history.begin(actors, frames);
        actors[0]->poses[0].position.X = float(10 + i);
        ASSERT_TRUE(history.commit(actors, frames));
    }
    EXPECT_EQ(history.undoCount(), 3u);
    while (history.undo(actors, frames)) {}
    EXPECT_EQ(actors[0]->poses[0].position.X, 11.f) << "the two oldest steps are forgotten";
}

TEST_F(EditHistoryTest, TheOldestStepsGoBeyondTheMemoryLimitButTheNewestStays) {
    // Each step holds the 5-pose track twice (before and after): 200 bytes.
    const std::size_t step = 2 * 5 * sizeof(ActorPose);
    EditHistory history(EDIT_HISTORY_MAX_STEPS, 2 * step);
    for (int i = 0; i < 4; ++i) {
        history.begin(actors, frames);
        actors[0]->poses[1].rotation = float(i + 1);
        ASSERT_TRUE(history.commit(actors, frames));
        EXPECT_LE(history.bytes(), 2 * step);
    }
    EXPECT_EQ(history.undoCount(), 2u);

    // A step larger than the whole limit is still kept, alone.
    EditHistory tiny(EDIT_HISTORY_MAX_STEPS, 10);
    tiny.begin(actors, frames);
    actors[1]->poses.resize(1000);
    ASSERT_TRUE(tiny.commit(actors, frames));
    EXPECT_EQ(tiny.undoCount(), 1u);
    ASSERT_TRUE(tiny.undo(actors, frames));
    EXPECT_EQ(actors[1]->poses.size(), 3u);
    EXPECT_EQ(tiny.bytes(), (3 + 1000) * sizeof(ActorPose));
}

TEST_F(EditHistoryTest, ClearForgetsEverything) {
    EditHistory history;
    history.begin(actors, frames);
    actors[0]->wobble = true;
    history.commit(actors, frames);
    history.begin(actors, frames);
    history.clear();
    EXPECT_EQ(history.undoCount(), 0u);
    EXPECT_EQ(history.bytes(), 0u);
    EXPECT_FALSE(history.isOpen());
    EXPECT_FALSE(history.undo(actors, frames));
}

}  // namespace

TEST_F(EditHistoryTest, ARigChangeIsOneStepThatUndoAndRedoTakeBackAndMakeAgain) {
    RigEditing editing;
    EditHistory history;
    history.begin(actors, frames, editing.snapshot());
    std::string why;
    ASSERT_TRUE(editing.setParent(actors[1], actors[0], why)) << why;
    ASSERT_TRUE(history.commit(actors, frames, editing.snapshot()));

    std::string rig = editing.snapshot();
    ASSERT_TRUE(history.undo(actors, frames, &rig));
    editing.restore(rig);
    EXPECT_EQ(editing.rig().find("b"), nullptr);
    rig = editing.snapshot();
    ASSERT_TRUE(history.redo(actors, frames, &rig));
    editing.restore(rig);
    ASSERT_NE(editing.rig().find("b"), nullptr);
    EXPECT_EQ(editing.rig().find("b")->parent, "a");
}
