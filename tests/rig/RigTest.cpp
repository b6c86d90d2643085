// The rig: its file read and written on disk (bad lines refused by line, the rest loaded), and
// recorded moves and turns of rigged actors replayed frame by frame through the player's own
// easing (Actor::followPose) and drawing placement (placeTransformed): every child's pivot must
// stay on its point of the parent in every frame; the same of the track edits through a range
// (hold, smooth, copy and paste, repeat), which on a plain track do exactly what they say.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "actors/ActorDataFile.h"
#include "render/Drawable.h"
#include "render/Image.h"
#include "rig/RigEditing.h"
#include "rig/RigFile.h"
#include "rig/RigMotion.h"
#include "rig/RigTrackEdits.h"
#include "tests/actors/ActorTestSupport.h"
#include "tests/common/DrawnPoint.h"
#include "tools/scene/SceneModel.h"

using irr::core::vector2df;

namespace {

// How far (pixels) a child's pivot may be shown from its point on the parent.
constexpr float kJointTolerancePixels = 1.f;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

// Plays tracks from frame 0 as the player does (every actor eased once per frame) and returns,
// for each joint (child index, parent index, the child's pivot, its spot on the parent's
// picture), the widest gap in pixels over all frames.
struct Joint {
    std::size_t child, parent;
    vector2df pivot, spot;
};
std::vector<float> widestGaps(const std::vector<Actor*>& actors, const std::vector<Joint>& joints, int frames) {
    std::vector<ActorPose> current;
    for (const Actor* a : actors) current.push_back(a->poses.front());
    std::vector<float> worst(joints.size(), 0.f);
    for (int f = 0; f < frames; ++f) {
        for (std::size_t i = 0; i < actors.size(); ++i) {
            if (f > 0) {
                actors[i]->current = current[i];
                actors[i]->followPose(f);
                current[i] = actors[i]->current;
            }
        }
        for (std::size_t j = 0; j < joints.size(); ++j) {
            const Joint& jt = joints[j];
            const float gap = drawnPoint(*actors[jt.child], current[jt.child], jt.pivot)
                                  .getDistanceFrom(drawnPoint(*actors[jt.parent], current[jt.parent], jt.spot));
            worst[j] = std::max(worst[j], gap);
        }
    }
    return worst;
}

class RigTest : public actor_test::InTempFolder {};

}  // namespace

TEST_F(RigTest, FileRoundTripKeepsJointsCommentsAndRefusedLinesAndNamesEachBadLine) {
    const std::vector<std::string> names = {"arm", "fore", "hand", "box", "a b"};
    const std::string text =
        "# my puppet\r\n"
        "arm\t-\t21\t20\r\n"                // 2: root
        "fore\tarm\t20.5\t-18.25\n"         // 3
        "hand\tfore\t15\t5\n"               // 4
        "arm\thand\t1\t1\n"                 // 5: given twice
        "ghost\tarm\t1\t1\n"                // 6: unknown actor
        "box\tnobody\t1\t1\n"               // 7: unknown parent
        "box\tbox\t1\t1\n"                  // 8: its own parent: a loop
        "\n"
        "a b  and some garbage\n"           // 10: no tabs
        "box\t-\t1e9\t2\n"                  // 11: beyond the pivot limit
        "box\t-\tnan\t2\n"                  // 12: not a number
        "\x01\x02\x03\t\t\t\t\n"            // 13: garbage with too many fields
        "a b\t-\t3";                        // 14: cut short
    writeText("data/actors/rig.txt", text);
    RigLoad first = loadRigFile(rigFilePath(), names);
    ASSERT_TRUE(first.found);
    ASSERT_EQ(first.rig.joints.size(), 3u);
    EXPECT_EQ(first.rig.parentOf("hand"), "fore");
    EXPECT_EQ(first.rig.find("fore")->pivotY, -18.25f);
    const int refusedLines[] = {5, 6, 7, 8, 10, 11, 12, 13, 14};
    ASSERT_EQ(first.errors.size(), std::size(refusedLines));
    for (std::size_t i = 0; i < std::size(refusedLines); ++i)
        EXPECT_EQ(first.errors[i].rfind(rigFilePath() + " line " + std::to_string(refusedLines[i]) + ": ", 0), 0u)
            << first.errors[i];
    EXPECT_NE(first.errors[0].find("already rigged on line 2"), std::string::npos) << first.errors[0];
    EXPECT_NE(first.errors[3].find("loop"), std::string::npos) << first.errors[3];

    // A loop through several actors is refused on the line that would close it.
    std::vector<RigProblem> problems;
    const Rig looped = parseRig("arm\thand\t0\t0\nfore\tarm\t0\t0\nhand\tfore\t0\t0\n", names, problems);
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].line, 3);
    EXPECT_EQ(looped.joints.size(), 2u);

    // Written back: the joints read the same, the user's comment and every refused line are
    // kept (refused again on reading, nothing lost), and a second write is the same text.
    std::string error;
    first.rig.joints["box"] = RigJoint{"hand", 0.1f, 1e-7f};
    ASSERT_TRUE(saveRigFile(rigFilePath(), first.rig, names, error)) << error;
    const RigLoad second = loadRigFile(rigFilePath(), names);
    ASSERT_EQ(second.rig.joints.size(), 4u);
    for (const auto& [name, joint] : first.rig.joints) {
        const RigJoint* j = second.rig.find(name);
        ASSERT_NE(j, nullptr) << name;
        EXPECT_EQ(j->parent, joint.parent);
        EXPECT_EQ(j->pivotX, joint.pivotX);
        EXPECT_EQ(j->pivotY, joint.pivotY);
    }
    const std::string written = readText(rigFilePath());
    EXPECT_NE(written.find("# my puppet\n"), std::string::npos);
    EXPECT_NE(written.find("ghost\tarm\t1\t1\n"), std::string::npos);
    EXPECT_EQ(written.find("box\tnobody"), std::string::npos) << "box is rigged again: its old line goes";
    EXPECT_EQ(second.errors.size(), first.errors.size() - 5) << "box's four refused lines and the other arm line";
    ASSERT_TRUE(saveRigFile(rigFilePath(), second.rig, names, error)) << error;
    EXPECT_EQ(readText(rigFilePath()), written);

    // A file that cannot be written leaves the old one whole and says which and why.
    std::filesystem::remove_all("data/actors");
    EXPECT_FALSE(saveRigFile(rigFilePath(), second.rig, names, error));
    EXPECT_NE(error.find(rigFilePath()), std::string::npos) << error;
}

TEST_F(RigTest, RecordedTurnOfAParentKeepsTwoLevelsOfChildrenOnTheirJointsInPlayback) {
    auto armImage = makeImage(42, 100), foreImage = makeImage(40, 100), handImage = makeImage(30, 30);
    Actor arm("arm", armImage.get(), false), fore("fore", foreImage.get(), false), hand("hand", handImage.get(), false);
    std::vector<Actor*> actors = {&arm, &fore, &hand};
    Rig rig;
    rig.joints["arm"] = RigJoint{"", 21.f, 20.f};
    rig.joints["fore"] = RigJoint{"arm", 20.f, 18.f};
    rig.joints["hand"] = RigJoint{"fore", 15.f, 5.f};
    const vector2df elbow(21.f, 80.f), wrist(20.f, 70.f);
    // Frame 0: each child hangs with its pivot on its point of the parent.
    arm.poses = {ActorPose{{6.f, 3.f}, 0.2f, {1.f, 1.f}}};
    auto hangAt = [&](Actor& child, const Actor& parent, const vector2df& spot, float rotation, vector2df scale) {
        ActorPose p{{0.f, 0.f}, rotation, scale};
        const vector2df offset = picturePointAt(child, p, rigPivotPixels(child, rig));
        p.position = picturePointAt(parent, parent.poses.front(), spot) - offset;
        child.poses = {p};
    };
    hangAt(fore, arm, elbow, 0.9f, {1.f, 1.f});
    hangAt(hand, fore, wrist, 1.4f, {-1.2f, 0.8f});  // mirrored and squashed
    const std::vector<Joint> joints = {{1, 0, {20.f, 18.f}, elbow}, {2, 1, {15.f, 5.f}, wrist}};
    constexpr int kFrames = 720;

    // A take: the arm is dragged about (moving its children), then turned with the mouse,
    // smoothly and with one sudden jerk, while the forearm is turned on its own too.
    RigEditing editing;
    editing.rig() = rig;
    const vector2df mouse0(7.f, 6.f);
    vector2df mouse = mouse0;
    float turned = 0.f;
    for (int f = 0; f < kFrames; ++f) {
        if (f < 200) {
            editing.beginDrag(&arm, false);
            const vector2df next = mouse + vector2df(0.03f * std::cos(f / 25.f), 0.02f * std::sin(f / 18.f));
            ASSERT_TRUE(editing.drag(actors, f, kFrames, mouse, next));
            mouse = next;
        } else if (f < 600) {
            const float step = f == 400 ? 1.3f : 0.04f * std::sin(f / 20.f);
            const ActorPose shown = shownPoseAt(arm, f);
            const vector2df pivot = picturePointAt(arm, shown, rigPivotPixels(arm, rig));
            editing.beginDrag(&arm, true);
            const vector2df from = pivot + vector2df(2.f, 0.f);
            const vector2df to = pivot + vector2df(2.f * std::cos(step), 2.f * std::sin(step));
            ASSERT_TRUE(editing.drag(actors, f, kFrames, from, to));
            turned += step;
            if (f % 3 == 0) {
                editing.beginDrag(&fore, true);
                const vector2df p = picturePointAt(fore, shownPoseAt(fore, f), rigPivotPixels(fore, rig));
                ASSERT_TRUE(editing.drag(actors, f, kFrames, p + vector2df(0.f, 1.f), p + vector2df(-0.05f, 1.f)));
            }
        }
    }
    for (const Actor* a : actors) ASSERT_EQ(a->poses.size(), std::size_t(kFrames));
    // The turns happened: the arm ends turned by their sum, the hand far from where it began.
    EXPECT_NEAR(shownPoseAt(arm, kFrames - 1).rotation, 0.2f + turned, 1e-3f);
    EXPECT_GT(shownPoseAt(hand, kFrames - 1).position.getDistanceFrom(hand.poses.front().position), 0.25f);

    const std::vector<float> gaps = widestGaps(actors, joints, kFrames);
    EXPECT_LE(gaps[0], kJointTolerancePixels) << "elbow";
    EXPECT_LE(gaps[1], kJointTolerancePixels) << "wrist";

    // The same turns stored as they are (children turned about the joint in the stored poses)
    // let the eased parts drift apart: the check above is one that a naive track fails.
    Actor naiveArm("arm", armImage.get(), false), naiveFore("fore", foreImage.get(), false);
    naiveArm.poses = {arm.poses.front()};
    naiveFore.poses = {fore.poses.front()};
    for (int f = 200; f < 600; ++f) {
        const float step = f == 400 ? 1.3f : 0.04f * std::sin(f / 20.f);
        naiveArm.offsetPoses(f, ActorPose{}, true);
        naiveFore.offsetPoses(f, ActorPose{}, true);
        for (int k = f; k < int(naiveArm.poses.size()); ++k) {
            const vector2df pivot = picturePointAt(naiveArm, naiveArm.poses[std::size_t(k)], {21.f, 20.f});
            for (ActorPose* c : {&naiveArm.poses[std::size_t(k)], &naiveFore.poses[std::size_t(k)]}) {
                const vector2df d = c->position - pivot;
                c->position = pivot + vector2df(d.X * std::cos(step) - d.Y * std::sin(step),
                                                d.X * std::sin(step) + d.Y * std::cos(step));
                c->rotation += step;
            }
        }
    }
    const std::vector<float> naive = widestGaps({&naiveArm, &naiveFore}, {{1, 0, {20.f, 18.f}, elbow}}, 600);
    EXPECT_GT(naive[0], 10.f * kJointTolerancePixels);
}

// The rule of a turn: its angle is measured about the pivot where it stood when the turn
// began, so a parent swaying under the part during a take adds nothing to the turn.
TEST_F(RigTest, ATurnInATakeFollowsThePointerAloneWhileTheParentSways) {
    auto bodyImage = makeImage(100, 200), armImage = makeImage(40, 120);
    Actor body("body", bodyImage.get(), false), arm("arm", armImage.get(), false);
    const std::vector<Actor*> actors = {&body, &arm};
    RigEditing editing;
    editing.rig().joints["body"] = RigJoint{"", 50.f, 100.f};
    editing.rig().joints["arm"] = RigJoint{"body", 20.f, 10.f};
    // The body sways 32 pixels either way; the arm hangs at the body's shoulder (50, 30).
    constexpr int kFrames = 120;
    for (int f = 0; f < kFrames; ++f) {
        const float x = 6.f + 0.4f * std::sin(float(f) / 8.f);
        body.poses.push_back(ActorPose{{x, 4.f}, 0.f, {1.f, 1.f}});
        arm.poses.push_back(ActorPose{{x, 4.f + (30.f - 100.f - 10.f + 60.f) / kSceneUnitPixels}, 0.f, {1.f, 1.f}});
    }
    // The pointer goes round the arm's pivot as it stood at the start, 200 pixels out, by half
    // a radian over the take.
    const vector2df pivot0 = picturePointAt(arm, shownPoseAt(arm, 1), {20.f, 10.f});
    const auto pointer = [&](int f) {
        const float a = 0.5f * float(f) / float(kFrames - 1);
        return pivot0 + vector2df(std::cos(a), std::sin(a)) * (200.f / kSceneUnitPixels);
    };
    editing.beginDrag(&arm, true);
    for (int f = 1; f < kFrames; ++f) ASSERT_TRUE(editing.drag(actors, f, kFrames, pointer(f - 1), pointer(f)));
    editing.endDrag();
    float worst = 0.f;
    for (int f = 1; f < kFrames; ++f)
        worst = std::max(worst, std::fabs(shownPoseAt(arm, f).rotation - 0.5f * float(f) / float(kFrames - 1)));
    EXPECT_LE(worst, 0.002f) << "radians off the pointer's own angle";
}

TEST_F(RigTest, TakeTurningTheBundledDancersUpperArmKeepsForearmAndHandOnIt) {
    using namespace scene;
    const std::filesystem::path source = std::filesystem::path(TUMELORA_SOURCE_DIR) / "data" / "actors";
    const Picture* parts[] = {&kShinLeft, &kShinRight, &kThighLeft, &kThighRight, &kTorso,
                              &kHead,     &kUpperArmLeft, &kUpperArmRight, &kForearmLeft, &kForearmRight};
    std::vector<std::unique_ptr<Image>> images;
    std::vector<std::unique_ptr<Actor>> owned;
    std::vector<Actor*> actors;
    std::filesystem::copy_file(source / kRigFileName, std::filesystem::path("data/actors") / kRigFileName);
    for (const Picture* p : parts) {
        const std::string name = actorNameFromFileName(p->file);
        std::filesystem::copy_file(source / (name + kActorDataSuffix), actorDataPath(name));
        images.push_back(makeImage(irr::u32(p->w), irr::u32(p->h)));
        owned.push_back(std::make_unique<Actor>(name, images.back().get(), true));
        actors.push_back(owned.back().get());
    }
    RigEditing editing;
    editing.load(actors);
    ASSERT_TRUE(editing.messages().empty()) << editing.messages().front();
    Actor& upper = *actors[6];
    const int frameCount = int(upper.poses.size());

    // Rec at frame 120, the right button held: the mouse circles the shoulder for four
    // seconds, quick at times, while the dancer dances on.
    editing.beginDrag(&upper, true);
    ASSERT_TRUE(editing.turning());
    const vector2df pivotPixels = rigPivotPixels(upper, editing.rig());
    ASSERT_EQ(pivotPixels, vector2df(upperArm::kShoulder.x, upperArm::kShoulder.y));
    float angle = 0.f;
    for (int f = 120; f < 360; ++f) {
        const vector2df pivot = picturePointAt(upper, shownPoseAt(upper, f), pivotPixels);
        const float step = 0.06f * std::sin(f / 17.f) + (f % 60 == 0 ? 0.8f : 0.f);
        const vector2df from = pivot + vector2df(std::cos(angle), std::sin(angle)) * 1.5f;
        angle += step;
        const vector2df to = pivot + vector2df(std::cos(angle), std::sin(angle)) * 1.5f;
        ASSERT_TRUE(editing.drag(actors, f, frameCount, from, to));
    }
    editing.endDrag();
    for (Actor* a : actors) ASSERT_TRUE(a->saveData()) << a->name;

    // Replayed from the saved files: the arm really turned, and the shoulder, elbow (the
    // forearm with its hand) and every other joint of the skeleton hold in every frame.
    std::vector<std::unique_ptr<Actor>> saved;
    std::vector<Actor*> replay;
    for (std::size_t i = 0; i < actors.size(); ++i) {
        saved.push_back(std::make_unique<Actor>(actors[i]->name, images[i].get(), true));
        replay.push_back(saved.back().get());
    }
    std::ifstream original(source / (upper.name + kActorDataSuffix), std::ios::binary);
    ActorData before;
    ASSERT_EQ(readActorData(original, before), ActorDataStatus::Complete);
    float widest = 0.f;
    for (int f = 120; f < frameCount; ++f)
        widest = std::max(widest, std::fabs(replay[6]->poseAt(f).rotation - before.poses[std::size_t(f)].rotation));
    EXPECT_GT(widest, 1.f) << "the take turned the upper arm";

    auto spot = [](Point p) { return vector2df(p.x, p.y); };
    const std::vector<Joint> joints = {
        {6, 4, spot(upperArm::kShoulder), spot(torso::kShoulderLeft)},
        {8, 6, spot(forearm::kElbow), spot(upperArm::kElbow)},
        {7, 4, spot(upperArm::kShoulder), spot(torso::kShoulderRight)},
        {9, 7, spot(forearm::kElbow), spot(upperArm::kElbow)},
        {5, 4, spot(head::kNeck), spot(torso::kNeck)},
        {2, 4, spot(thigh::kHip), spot(torso::kHipLeft)},
        {0, 2, spot(shin::kKnee), spot(thigh::kKnee)},
    };
    const std::vector<float> gaps = widestGaps(replay, joints, frameCount);
    for (std::size_t j = 0; j < joints.size(); ++j)
        EXPECT_LE(gaps[j], kJointTolerancePixels) << replay[joints[j].child]->name << " on " << replay[joints[j].parent]->name;
}

TEST_F(RigTest, PivotAndParentSetInTheEditorArePlacedRefusedAndRecovered) {
    auto bodyImage = makeImage(100, 200), armImage = makeImage(40, 120);
    Actor body("body", bodyImage.get(), false), arm("arm", armImage.get(), false);
    body.poses = {ActorPose{{5.f, 4.f}, 0.f, {1.f, 1.f}}};
    arm.poses = {ActorPose{{6.f, 4.f}, 1.5707964f, {2.f, 1.f}}};  // a quarter turn, twice as wide
    const std::vector<Actor*> actors = {&body, &arm};
    RigEditing editing;

    // The pivot goes on the picture point under the pointer: 40 pixels right of the arm's
    // middle on stage is, turned back a quarter, 40 pixels above it in the picture.
    ASSERT_TRUE(editing.setPivotAt(actors, &arm, 0, vector2df(6.5f, 4.f)));
    std::string why;
    ASSERT_TRUE(editing.setParent(&arm, &body, why));
    const RigJoint* j = editing.rig().find("arm");
    ASSERT_NE(j, nullptr);
    EXPECT_NEAR(j->pivotX, 20.f, 1e-3f);
    EXPECT_NEAR(j->pivotY, 20.f, 1e-3f);
    EXPECT_EQ(j->parent, "body");
    const vector2df drawn = drawnPoint(arm, arm.poses[0], {j->pivotX, j->pivotY});
    EXPECT_NEAR(drawn.X, 6.5f * kSceneUnitPixels, 0.01f);
    EXPECT_NEAR(drawn.Y, 4.f * kSceneUnitPixels, 0.01f);

    // A loop is refused with the reason; the rig stays as it was.
    EXPECT_FALSE(editing.setParent(&body, &arm, why));
    EXPECT_NE(why.find("hangs from it"), std::string::npos) << why;
    EXPECT_EQ(editing.rig().find("body"), nullptr);

    // Unsaved, the rig is kept in its recovery file, and a new session takes it from there.
    std::string error;
    ASSERT_TRUE(editing.writeRecovery(actors, error)) << error;
    RigEditing next;
    ASSERT_TRUE(next.restoreRecovery(actors));
    ASSERT_NE(next.rig().find("arm"), nullptr);
    EXPECT_EQ(next.rig().find("arm")->parent, "body");
    next.removeRecovery();
    EXPECT_FALSE(RigEditing().restoreRecovery(actors));
}

// Hold, smooth, copy and paste, repeat through a range: exactly as defined on a plain track with
// a known motion, and on a rigged part (with a parent and a child) as playback shows it, its
// joints holding in every frame and its parent untouched.
TEST_F(RigTest, TrackEditsThroughARangeDoWhatTheySayAndKeepRiggedJoints) {
    // --- A plain track: x goes on at a steady pace, the turn and the height wave.
    auto boxImage = makeImage(60, 60);
    Actor box("box", boxImage.get(), false), other("other", boxImage.get(), false);
    const auto known = [](int f) {
        return ActorPose{{1.f + 0.01f * float(f), 2.f + 0.5f * std::sin(float(f) / 7.f)}, 0.3f * std::cos(float(f) / 11.f),
                         {1.f + 0.001f * float(f), 1.f}};
    };
    constexpr int kPlain = 400;
    box.poses.clear();
    other.poses.clear();
    for (int f = 0; f < kPlain; ++f) box.poses.push_back(known(f));
    for (int f = 0; f < kPlain; ++f) other.poses.push_back(ActorPose{{9.f, 5.f - 0.002f * float(f)}, 0.f, {1.f, 1.f}});
    const std::vector<Actor*> plain = {&box, &other};
    const Rig none;
    const auto same = [](const ActorPose& a, const ActorPose& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    const auto near = [](const ActorPose& a, const ActorPose& b, float tolerance) {
        return std::fabs(a.position.X - b.position.X) <= tolerance && std::fabs(a.position.Y - b.position.Y) <= tolerance &&
               std::fabs(a.rotation - b.rotation) <= tolerance && std::fabs(a.scale.X - b.scale.X) <= tolerance &&
               std::fabs(a.scale.Y - b.scale.Y) <= tolerance;
    };
    const std::vector<ActorPose> was = box.poses;

    // Hold 10..20: every frame takes frame 10's pose; the others keep theirs, bit for bit.
    FrameRange r{10, 20};
    editFamilyTracks(plain, none, 0, kPlain, r.in + 1, r.out,
                     [&](std::size_t, std::vector<ActorPose>& t) { holdPoses(t, r, kPlain); });
    ASSERT_EQ(box.poses.size(), std::size_t(kPlain));
    for (int f = 0; f < kPlain; ++f)
        EXPECT_TRUE(same(box.poses[std::size_t(f)], f >= 10 && f <= 20 ? was[10] : was[std::size_t(f)])) << f;

    // Smooth 30..90 on a track with a zigzag laid over it: in and out kept, the zigzag gone
    // (the steady part of the motion stays where it was).
    for (int f = 31; f < 90; ++f) box.poses[std::size_t(f)].position.Y += f % 2 ? 0.05f : -0.05f;
    // The roughness of a stretch of the height: its summed second differences.
    const auto roughness = [&box] {
        float sum = 0.f;
        for (std::size_t f = 34; f <= 86; ++f)
            sum += std::fabs(box.poses[f + 1].position.Y - 2.f * box.poses[f].position.Y + box.poses[f - 1].position.Y);
        return sum;
    };
    const float rough = roughness();
    r = {30, 90};
    editFamilyTracks(plain, none, 0, kPlain, r.in + 1, r.out,
                     [&](std::size_t, std::vector<ActorPose>& t) { smoothPoses(t, r, smoothHalfWindowFrames(), kPlain); });
    EXPECT_EQ(smoothHalfWindowFrames(), 3);  // seven frames: about a tenth of a second
    EXPECT_TRUE(same(box.poses[30], was[30]) && same(box.poses[90], was[90]) && same(box.poses[91], was[91]));
    for (int f = 31; f < 90; ++f) EXPECT_NEAR(box.poses[std::size_t(f)].position.X, was[std::size_t(f)].position.X, 1e-5f) << f;
    EXPECT_LT(roughness(), rough / 10.f);

    // Copy 100..130 from box, paste at 200 onto other: frame 200 + k is other's pose at 200
    // plus box's change from 100 to 100 + k; other's frames after 230 keep theirs.
    r = {100, 130};
    const MotionClip clip = copyFamilyMotion(plain, none, 0, r);
    ASSERT_EQ(clip.frames(), 31);
    const std::vector<ActorPose> otherWas = other.poses;
    const PasteReport pasted = pasteFamilyMotion(plain, none, 1, kPlain, 200, clip);
    EXPECT_EQ(pasted.parts, 1);
    for (int k = 0; k <= 30; ++k)
        EXPECT_TRUE(near(other.poses[std::size_t(200 + k)],
                         poseWithChange(otherWas[200], poseChange(box.poses[100], box.poses[std::size_t(100 + k)])), 1e-6f))
            << k;
    for (int f = 231; f < kPlain; ++f) EXPECT_TRUE(same(other.poses[std::size_t(f)], otherWas[std::size_t(f)])) << f;

    // Repeat 100..130 twice: frame 130 + k is the pose at 130 plus the change from 100 to
    // 100 + k, and the range moves onto the copy so that the second goes on from 160. Past the
    // animation's end the track grows.
    r = {100, 130};
    const std::vector<ActorPose> source(box.poses.begin() + 100, box.poses.begin() + 131);
    for (int time = 0; time < 2; ++time)
        r = repeatPoses(box.poses, r, kPlain);
    EXPECT_EQ(r.in, 160);
    EXPECT_EQ(r.out, 190);
    for (int k = 1; k <= 60; ++k) {
        const ActorPose start = k <= 30 ? source[30] : box.poses[160];
        const ActorPose want = poseWithChange(start, poseChange(source[0], source[std::size_t((k - 1) % 30 + 1)]));
        EXPECT_TRUE(near(box.poses[std::size_t(130 + k)], want, 1e-5f)) << k;
    }
    EXPECT_TRUE(same(box.poses[191], was[191]));
    FrameRange tail{kPlain - 11, kPlain - 1};
    repeatPoses(box.poses, tail, kPlain);
    EXPECT_EQ(box.poses.size(), std::size_t(kPlain + 10));

    // --- A rigged chain: the arm hangs from the body, the forearm from the arm. The body sways
    // and turns, the arm and forearm swing on it; the edits work on the arm, which has a
    // parent and a child.
    auto bodyImage = makeImage(100, 200), armImage = makeImage(40, 120), foreImage = makeImage(30, 100);
    Actor body("body", bodyImage.get(), false), arm("arm", armImage.get(), false), fore("fore", foreImage.get(), false);
    const std::vector<Actor*> actors = {&body, &arm, &fore};
    Rig rig;
    rig.joints["body"] = RigJoint{"", 50.f, 100.f};
    rig.joints["arm"] = RigJoint{"body", 20.f, 10.f};
    rig.joints["fore"] = RigJoint{"arm", 15.f, 8.f};
    const vector2df shoulder(50.f, 30.f), elbow(20.f, 110.f);
    constexpr int kFrames = 600;
    body.poses = {ActorPose{{6.f, 4.f}, 0.f, {1.f, 1.f}}};
    const auto hangAt = [&](Actor& child, const Actor& parent, const vector2df& spot, float rotation) {
        ActorPose p{{0.f, 0.f}, rotation, {1.f, 1.f}};
        p.position = picturePointAt(parent, parent.poses.front(), spot) - picturePointAt(child, p, rigPivotPixels(child, rig));
        child.poses = {p};
    };
    hangAt(arm, body, shoulder, 0.4f);
    hangAt(fore, arm, elbow, -0.6f);
    RigEditing editing;
    editing.rig() = rig;
    vector2df mouse(6.f, 5.f);
    for (int f = 0; f < kFrames; ++f) {
        // The body drifts and turns a little; the arm and the forearm swing.
        editing.beginDrag(&body, false);
        const vector2df next = mouse + vector2df(0.01f * std::cos(float(f) / 30.f), 0.008f * std::sin(float(f) / 23.f));
        ASSERT_TRUE(editing.drag(actors, f, kFrames, mouse, next));
        mouse = next;
        for (Actor* part : {&arm, &fore}) {
            const vector2df pivot = picturePointAt(*part, shownPoseAt(*part, f), rigPivotPixels(*part, rig));
            const float step = (part == &arm ? 0.03f : 0.05f) * std::sin(float(f) / (part == &arm ? 17.f : 9.f));
            editing.beginDrag(part, true);
            ASSERT_TRUE(editing.drag(actors, f, kFrames, pivot + vector2df(1.f, 0.f),
                                     pivot + vector2df(std::cos(step), std::sin(step))));
        }
    }
    editing.endDrag();
    const std::vector<Joint> joints = {{1, 0, {20.f, 10.f}, shoulder}, {2, 1, {15.f, 8.f}, elbow}};
    ASSERT_LE(widestGaps(actors, joints, kFrames)[0], kJointTolerancePixels) << "the take itself";
    // The arm's and the forearm's turns on their parents, frame by frame, as playback shows them.
    const auto turnsOnParents = [&] {
        const std::vector<ActorPose> b = shownTrack(body, kFrames), a = shownTrack(arm, kFrames), c = shownTrack(fore, kFrames);
        std::vector<vector2df> turns;
        for (int f = 0; f < kFrames; ++f)
            turns.emplace_back(a[std::size_t(f)].rotation - b[std::size_t(f)].rotation,
                               c[std::size_t(f)].rotation - a[std::size_t(f)].rotation);
        return turns;
    };
    const std::vector<ActorPose> bodyTrack = body.poses;
    const std::size_t armIndex = 1;
    const auto checkJoints = [&](const char* what) {
        const std::vector<float> gaps = widestGaps(actors, joints, kFrames);
        EXPECT_LE(gaps[0], kJointTolerancePixels) << what << ": shoulder";
        EXPECT_LE(gaps[1], kJointTolerancePixels) << what << ": elbow";
        EXPECT_EQ(body.poses.size(), bodyTrack.size()) << what;
        EXPECT_EQ(std::memcmp(body.poses.data(), bodyTrack.data(), bodyTrack.size() * sizeof(ActorPose)), 0)
            << what << ": the body is not the arm's";
    };
    // Past the edit playback shows what it showed, once a jump back (too large for one frame's
    // easing of the forearm) has been spread over a few frames.
    constexpr int kSettleFrames = 5;
    const auto expectShownAfter = [&](const std::vector<vector2df>& before, const std::vector<vector2df>& after, int from,
                                      const char* what) {
        for (int f = from + kSettleFrames; f < kFrames; ++f) {
            EXPECT_NEAR(after[std::size_t(f)].X, before[std::size_t(f)].X, 1e-4f) << what << " frame " << f;
            EXPECT_NEAR(after[std::size_t(f)].Y, before[std::size_t(f)].Y, 1e-4f) << what << " frame " << f;
        }
    };

    // Hold 200..260: the arm and the forearm stand on their parents as at 200; the body sways
    // on and carries them; from frame 261 on playback shows what it showed.
    std::vector<vector2df> before = turnsOnParents();
    r = {200, 260};
    editFamilyTracks(actors, rig, armIndex, kFrames, r.in + 1, r.out,
                     [&](std::size_t, std::vector<ActorPose>& t) { holdPoses(t, r, kFrames); });
    std::vector<vector2df> after = turnsOnParents();
    for (int f = r.in; f <= r.out; ++f) {
        EXPECT_NEAR(after[std::size_t(f)].X, before[200].X, 1e-4f) << f;
        EXPECT_NEAR(after[std::size_t(f)].Y, before[200].Y, 1e-4f) << f;
    }
    EXPECT_GT(std::fabs(before[260].X - before[200].X), 0.05f) << "the hold changed something";
    expectShownAfter(before, after, r.out + 1, "after the hold");
    checkJoints("hold");

    // Smooth 300..360: in and out as they were, the joints held.
    before = after;
    r = {300, 360};
    editFamilyTracks(actors, rig, armIndex, kFrames, r.in + 1, r.out, [&](std::size_t, std::vector<ActorPose>& t) {
        smoothPoses(t, r, smoothHalfWindowFrames(), kFrames);
    });
    after = turnsOnParents();
    EXPECT_NEAR(after[300].X, before[300].X, 1e-4f);
    EXPECT_NEAR(after[360].X, before[360].X, 1e-4f);
    expectShownAfter(before, after, r.out + 1, "after smoothing");
    checkJoints("smooth");

    // Copy 300..340, paste at 420: the turns on the parents from 420 on change as they did from 300.
    before = after;
    r = {300, 340};
    const MotionClip armClip = copyFamilyMotion(actors, rig, armIndex, r);
    ASSERT_EQ(armClip.parts.size(), 2u);
    EXPECT_TRUE(armClip.parts[0].onParent && armClip.parts[1].onParent);
    EXPECT_EQ(pasteFamilyMotion(actors, rig, armIndex, kFrames, 420, armClip).parts, 2);
    after = turnsOnParents();
    for (int k = 0; k <= 40; ++k) {
        EXPECT_NEAR(after[std::size_t(420 + k)].X - before[420].X, before[std::size_t(300 + k)].X - before[300].X, 1e-4f) << k;
        EXPECT_NEAR(after[std::size_t(420 + k)].Y - before[420].Y, before[std::size_t(300 + k)].Y - before[300].Y, 1e-4f) << k;
    }
    checkJoints("paste");

    // Repeat 480..520: 520 + k turns on from 520 as 480 + k did from 480.
    before = after;
    r = {480, 520};
    editFamilyTracks(actors, rig, armIndex, kFrames, r.out + 1, r.out + 40,
                     [&](std::size_t, std::vector<ActorPose>& t) { repeatPoses(t, r, kFrames); });
    after = turnsOnParents();
    for (int k = 1; k <= 40; ++k)
        EXPECT_NEAR(after[std::size_t(520 + k)].X - before[520].X, before[std::size_t(480 + k)].X - before[480].X, 1e-4f)
            << k;
    expectShownAfter(before, after, 561, "after the repeat");
    checkJoints("repeat");
}
