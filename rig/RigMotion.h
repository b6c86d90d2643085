#pragma once
// Moving and turning rigged actors so that their joints hold in playback.
//
// Playback shows each actor eased toward its track (easeToward: position and scale a quarter
// of the way per frame, rotation at once), so what it shows is not what the track stores. A
// track that simply turns a child about its joint lets the child's eased position lag behind
// its rotation and the parts drift apart. So rig edits work on the shown poses (what playback
// from frame 0 shows) and store, frame by frame, the pose that one easing step turns the
// previously shown pose into the wanted one: playback then lands on the wanted poses.
//
// That inverse of the easing amplifies: the stored position runs ahead of the shown one by
// three times the frame's motion. It is bounded so that a step always eases (a stored pose
// 3 scene units or more away would be jumped to): a step of kEaseMaxStoredStep or more is
// shortened (the shown pose then catches up over the next frames). For a family of rigged
// actors a shortened step would tear the joints, so an edit that asks too much of one frame
// is spread over the next frames instead: each frame takes the largest share of the edit that
// every part of the family can follow exactly, and the rest follows in later frames.
#include <irrlicht.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "rig/RigFile.h"

// The largest distance (scene units) a stored position may lie from the shown one; below the
// easing's jump distance (3 units), so that the step eases.
constexpr float kEaseMaxStoredStep = 2.95f;
// Halvings used to find the largest share of an edit that a frame can take.
constexpr int kRigShareSearchSteps = 16;

// The pose to store so that one easing step from shown gives want (a jump when want is 3
// units or more away). clipped is set when the stored step had to be shortened; the result
// is then only part of the way.
ActorPose storedPoseFor(const ActorPose& shown, const ActorPose& want, bool& clipped);
// What playback from frame 0 shows in each of the first length frames of the actor's track.
std::vector<ActorPose> shownTrack(const Actor& actor, std::size_t length);
// What playback from frame 0 shows at frame.
ActorPose shownPoseAt(const Actor& actor, int frame);

// Where a point of the actor's picture (pixels from its top-left corner) is on stage, in
// scene units, for a pose: the picture drawn centred on the position, scaled, then turned.
irr::core::vector2df picturePointAt(const Actor& actor, const ActorPose& pose,
                                    const irr::core::vector2df& pixel);
// The point of the actor's picture (pixels) that lies at the scene point for a pose; the
// picture's centre when the pose's scale is flat.
irr::core::vector2df pictureSpotAt(const Actor& actor, const ActorPose& pose,
                                   const irr::core::vector2df& scenePoint);
// The actor's pivot in its picture's pixels: the rig's, else the picture's centre.
irr::core::vector2df rigPivotPixels(const Actor& actor, const Rig& rig);
// The index of the actor's parent in actors, or -1.
int rigParentIndex(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index);
// actors[index] and every actor hanging from it, directly or not: index first, the others in
// actor order.
std::vector<std::size_t> rigFamily(const std::vector<Actor*>& actors, const Rig& rig,
                                   std::size_t index);
// actors[index] and what hangs from it, in words: "NAME", or "NAME and 2 parts hanging from it".
std::string rigFamilyText(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index);
// True when the actor has a parent or a child in the rig.
bool rigLinked(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index);
// actors[index] and everything hanging from it with every parent before its children (index
// first), and for each the place of its parent in that list (-1: the first, or none).
struct RigFamilyOrder {
    std::vector<std::size_t> members;  // indices in actors
    std::vector<int> parentIn;         // the parent's place in members, or -1
};
RigFamilyOrder rigFamilyInOrder(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index);

// A part's pose on its parent, for edits that carry parts along with their parents: its pivot's
// place (on the parent's picture, in its pixels; without a parent, or one flat at that frame, on
// the stage, in scene units), its turn less the parent's, and its own scale (a part keeps its
// size whatever its parent's).
ActorPose poseOnParent(const Actor& part, const irr::core::vector2df& pivotPixels, const ActorPose& pose,
                       const Actor* parent, const ActorPose* parentPose);
// The pose whose place on the parent posed as parentPose is local (poseOnParent undone).
ActorPose poseFromParent(const Actor& part, const irr::core::vector2df& pivotPixels, const ActorPose& local,
                         const Actor* parent, const ActorPose* parentPose);

// A motion of a rigged actor: a turn by angle (radians, clockwise) and a change of its scale
// factors by scale, both about its pivot, then a move by offset (scene units). What hangs from
// it turns with it and stays on its joints (a change of scale moves the joints on the actor's
// picture, and the parts hanging there follow them without being scaled).
struct RigMotion {
    float angle = 0.f;
    irr::core::vector2df offset{0.f, 0.f};
    irr::core::vector2df scale{0.f, 0.f};
};

// What a family edit did.
struct RigEditReport {
    int spreadFrames = 0;   // frames that took only part of the edit (the rest came later)
    int clippedFrames = 0;  // frames whose stored step was shortened for some part
};

// Applies a rigid motion (its scale is not used) to the shown poses of family (the first one
// turning about its pivot, given in picture pixels, the others about the same point) from frame
// on, and stores the poses that playback eases onto them. Tracks are first grown to at least
// minLength frames (copies of their last pose); frames before frame keep their poses.
RigEditReport moveRigFamily(const std::vector<Actor*>& family,
                            const irr::core::vector2df& pivotPixels, int frame, int minLength,
                            const RigMotion& motion);

// The motion wanted at a frame, given what playback shows of the moved actor there before the edit.
using RigMotionAt = std::function<RigMotion(std::size_t frame, const ActorPose& shownBefore)>;
// Applies the motion of each frame (motionAt) to the shown poses of actors[index] and of every
// actor hanging from it from frame on, as moveRigFamily does: the actor turns and scales about
// its pivot and moves, the others turn with it and stay on their joints.
RigEditReport editRigFamily(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frame,
                            int minLength, const RigMotionAt& motionAt);

// The motion of one part of a family at a frame, its own (actor: its index in actors), given
// what playback shows of it there before the edit.
using RigPartMotionAt =
    std::function<RigMotion(std::size_t actor, std::size_t frame, const ActorPose& shownBefore)>;
// Applies to actors[index] and every actor hanging from it, from frame on, each part's own motion
// (partMotionAt): a part turns and scales about its pivot and moves, on top of where its parent
// carries it (its pivot stays on its point of the parent's picture, and it turns as far as the
// parent turned); so what hangs from a moving part follows it, and parts move each their own way
// at once. Stores the poses playback eases onto, as moveRigFamily does.
RigEditReport editRigParts(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frame,
                           int minLength, const RigPartMotionAt& partMotionAt);
