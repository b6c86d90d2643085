#pragma once
// A dance: beat motions (BeatMotion) given to an actor and everything hanging from it, written
// into their tracks as ordinary poses through the rig's motion rules (editRigParts), so that
// every joint holds in playback and the dance can be edited, undone and saved like any take.
// A part's motion is added to its pose as it stands (as recorded, or still).
//
// Who does what (planDance): the actor danced (the root) bounces and sways; a part hanging from
// it swings, a quarter as far when it hangs below the root's pivot (a leg); a part hanging
// deeper follows the swing of the part above it, smaller and a little later (DANCE_FOLLOW_*);
// the topmost small part standing on top of the root with nothing hanging from it (a head)
// nods instead, and what hangs from it is carried. Sizes follow the character's height.
//
// Mirror parts: two names that differ only in a word "left" and "right" (or "l" and "r"),
// words being separated by '-', '_', ' ' or '.', letters of any case, a leading number
// ("07-") aside. A part swings outward (away from the root's pivot), and the right one of a
// pair half a bar after the left one, so the pair alternates.
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "editor/BeatMotion.h"
#include "rig/RigFile.h"
#include "rig/RigMotion.h"

// Sizes of the motions at full loudness: bounce and sway as shares of the character's height
// (the family's drawn height where the dance starts), nod and swing in radians, pulse as a
// share of the part's scale.
constexpr float DANCE_BOUNCE_SHARE = 0.04f;
constexpr float DANCE_SWAY_SHARE = 0.05f;
constexpr float DANCE_NOD_RADIANS = 0.12f;
constexpr float DANCE_SWING_RADIANS = 0.5f;
constexpr float DANCE_PULSE_SHARE = 0.06f;
// A swinging part hanging below the root's pivot (a leg) swings this share as far.
constexpr float DANCE_LOW_SWING_SHARE = 0.25f;
// Each level deeper follows the swing above it this share as far, this many beats later.
constexpr float DANCE_FOLLOW_SHARE = 0.6f;
constexpr double DANCE_FOLLOW_LAG_BEATS = 0.25;

// One beat motion of a part, as the dance lays it on.
struct PartMotion {
    BeatMotion motion = BeatMotion::Bounce;
    // Full size, signed (its direction): scene units (bounce downward, sway to the right first),
    // radians (nod, swing: clockwise), share of the scale (pulse).
    float size = 0.f;
    // How far behind the beat grid it runs: half a bar for the right one of a mirror pair, a
    // little for a part that follows the one above it.
    double lagBeats = 0.0;
};

// A dance of a family: the root (its index in the actors) and each part's motions by index;
// a part without motions is carried by its parent.
struct DancePlan {
    std::size_t root = 0;
    std::map<std::size_t, std::vector<PartMotion>> parts;
};

// The song as a dance needs it: its beats and how far each one moves (beatLoudness).
struct DanceMusic {
    BeatGrid grid;
    std::vector<float> loudness;
};

// The name an actor is known by among its mirror parts, with its side word replaced, and its
// side (-1 left, 1 right, 0 none): "07-arm-Left" gives ("arm-*", -1).
std::pair<std::string, int> mirrorKey(const std::string& name);
// The index in actors of the mirror partner of actors[index] among candidates (indices), or -1.
int mirrorPartner(const std::vector<Actor*>& actors, const std::vector<std::size_t>& candidates,
                  std::size_t index);

// The dance of actors[root] and everything hanging from it, for the poses playback shows at frame.
DancePlan planDance(const std::vector<Actor*>& actors, const Rig& rig, std::size_t root, int frame);
// One motion of actors[index]'s own, sized for it as planDance sizes it, for the poses at frame.
PartMotion ownMotion(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, BeatMotion motion,
                     int frame);
// The motion (RigMotion: turn, move, change of scale) of a part with these motions at frame,
// for the pose it is shown with there before the dance.
RigMotion partMotionAt(const std::vector<PartMotion>& motions, const DanceMusic& music,
                       const BeatEnvelope& envelope, int frame, const ActorPose& shownBefore);
// Dances plan over the frames [from, to): writes the poses into the tracks of the family (grown
// to at least to frames), frames before from untouched; after to the parts go back to their
// poses as they were.
RigEditReport dance(const std::vector<Actor*>& actors, const Rig& rig, const DancePlan& plan,
                    const DanceMusic& music, int from, int to);
// The frames of a dance too quick for playback to follow at once, in words for the end of a
// message (" (3 frames too quick for playback follow a little later)"), or "" when none were.
std::string danceLateText(const RigEditReport& report);
// What a plan gives each part, in words ("24-torso bounces and sways; 25-head nods; 26-arm-left,
// 27-arm-right swing"); parts that do the same, when more than namesShown, as a count ("4 parts swing").
std::string describeDance(const std::vector<Actor*>& actors, const DancePlan& plan,
                          std::size_t namesShown = std::size_t(-1));
