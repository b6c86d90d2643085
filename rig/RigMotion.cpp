#include "rig/RigMotion.h"

#include <algorithm>
#include <cmath>

#include "platform/Words.h"

using irr::core::vector2df;

namespace {

// Scale factors smaller than this cannot be undone to find a picture point.
constexpr double kFlatScale = 1e-6;

// The actor's half size in picture pixels.
vector2df halfPixels(const Actor& actor) { return actor.size * (kSceneUnitPixels / 2.f); }

// pose turned by angle about pivot, then moved by offset.
ActorPose moved(const ActorPose& pose, const vector2df& pivot, float angle, const vector2df& offset) {
    ActorPose out = pose;
    const double c = std::cos(double(angle)), s = std::sin(double(angle));
    const double dx = double(pose.position.X) - pivot.X, dy = double(pose.position.Y) - pivot.Y;
    out.position.set(float(pivot.X + dx * c - dy * s + offset.X),
                     float(pivot.Y + dx * s + dy * c + offset.Y));
    out.rotation = pose.rotation + angle;
    return out;
}

}  // namespace

ActorPose storedPoseFor(const ActorPose& shown, const ActorPose& want, bool& clipped) {
    clipped = false;
    ActorPose t = want;
    const vector2df far = want.position - shown.position;
    if (far.X * far.X + far.Y * far.Y < kFollowJumpDistanceSq) {
        // An easing step: the pose that one step turns the shown pose into want.
        const float ease = 1.f - kFollowKeep;
        t.position = (want.position - shown.position * kFollowKeep) / ease;
        t.scale = (want.scale - shown.scale * kFollowKeep) / ease;
        const vector2df step = t.position - shown.position;
        const float len = step.getLength();
        if (len >= kEaseMaxStoredStep) {
            t.position = shown.position + step * (kEaseMaxStoredStep / len);
            clipped = true;
        }
    }
    // Otherwise a jump: playback takes the stored pose as it is.
    return t;
}

std::vector<ActorPose> shownTrack(const Actor& actor, std::size_t length) {
    std::vector<ActorPose> shown;
    shown.reserve(length);
    // Playback starts on the first pose (the actor's constructor) and eases from there.
    ActorPose current = actor.poseAt(0);
    for (std::size_t k = 0; k < length; ++k) {
        if (k > 0) easeToward(current, actor.poseAt(int(k)));
        shown.push_back(current);
    }
    return shown;
}

ActorPose shownPoseAt(const Actor& actor, int frame) {
    ActorPose current = actor.poseAt(0);
    for (int k = 1; k <= frame; ++k) easeToward(current, actor.poseAt(k));
    return current;
}

vector2df picturePointAt(const Actor& actor, const ActorPose& pose, const vector2df& pixel) {
    const vector2df half = halfPixels(actor);
    const double lx = (double(pixel.X) - half.X) * pose.scale.X;
    const double ly = (double(pixel.Y) - half.Y) * pose.scale.Y;
    const double c = std::cos(double(pose.rotation)), s = std::sin(double(pose.rotation));
    return vector2df(float(pose.position.X + (lx * c - ly * s) / kSceneUnitPixels),
                     float(pose.position.Y + (lx * s + ly * c) / kSceneUnitPixels));
}

vector2df pictureSpotAt(const Actor& actor, const ActorPose& pose, const vector2df& scenePoint) {
    const vector2df half = halfPixels(actor);
    if (std::fabs(double(pose.scale.X)) < kFlatScale || std::fabs(double(pose.scale.Y)) < kFlatScale)
        return half;
    const double dx = (double(scenePoint.X) - pose.position.X) * kSceneUnitPixels;
    const double dy = (double(scenePoint.Y) - pose.position.Y) * kSceneUnitPixels;
    const double c = std::cos(double(pose.rotation)), s = std::sin(double(pose.rotation));
    return vector2df(float((dx * c + dy * s) / pose.scale.X + half.X),
                     float((-dx * s + dy * c) / pose.scale.Y + half.Y));
}

vector2df rigPivotPixels(const Actor& actor, const Rig& rig) {
    const RigJoint* j = rig.find(actor.name);
    return j ? vector2df(j->pivotX, j->pivotY) : halfPixels(actor);
}

int rigParentIndex(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index) {
    const std::string parent = rig.parentOf(actors[index]->name);
    if (parent.empty()) return -1;
    for (std::size_t i = 0; i < actors.size(); ++i)
        if (actors[i]->name == parent) return int(i);
    return -1;
}

std::vector<std::size_t> rigFamily(const std::vector<Actor*>& actors, const Rig& rig,
                                   std::size_t index) {
    std::vector<std::size_t> family{index};
    for (std::size_t i = 0; i < actors.size(); ++i) {
        if (i == index) continue;
        // Walk up from actor i; it belongs when the walk meets index (bounded by the count).
        int at = rigParentIndex(actors, rig, i);
        for (std::size_t steps = 0; at >= 0 && steps < actors.size(); ++steps) {
            if (std::size_t(at) == index) {
                family.push_back(i);
                break;
            }
            at = rigParentIndex(actors, rig, std::size_t(at));
        }
    }
    return family;
}

std::string rigFamilyText(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index) {
    const std::size_t parts = rigFamily(actors, rig, index).size();
    return actors[index]->name + (parts > 1 ? " and " + countOf(long(parts - 1), "part") + " hanging from it" : "");
}

bool rigLinked(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index) {
    if (rigParentIndex(actors, rig, index) >= 0) return true;
    for (std::size_t i = 0; i < actors.size(); ++i)
        if (rigParentIndex(actors, rig, i) == int(index)) return true;
    return false;
}

RigFamilyOrder rigFamilyInOrder(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index) {
    RigFamilyOrder order;
    if (index >= actors.size()) return order;
    order.members = rigFamily(actors, rig, index);
    const auto depth = [&](std::size_t i) {
        std::size_t d = 0;
        for (int at = int(i); at >= 0 && std::size_t(at) != index && d <= actors.size(); ++d)
            at = rigParentIndex(actors, rig, std::size_t(at));
        return d;
    };
    std::stable_sort(order.members.begin() + 1, order.members.end(),
                     [&](std::size_t a, std::size_t b) { return depth(a) < depth(b); });
    order.parentIn.assign(order.members.size(), -1);
    for (std::size_t m = 1; m < order.members.size(); ++m) {
        const int parent = rigParentIndex(actors, rig, order.members[m]);
        for (std::size_t p = 0; p < m; ++p)
            if (int(order.members[p]) == parent) order.parentIn[m] = int(p);
    }
    return order;
}

namespace {

// The poses frame k of an edit wants of each family member, given a share of the edit and
// what playback showed of each before the edit (before[i][k]).
using WantedPoses = std::function<void(std::size_t k, float share,
                                       const std::vector<std::vector<ActorPose>>& before,
                                       std::vector<ActorPose>& want)>;

// Grows the tracks, then stores from frame on, frame by frame, the poses that playback eases
// onto the wanted ones: the whole edit where every part can follow it exactly, otherwise the
// largest share of it that all can (no less than the previous frame's), the rest later.
RigEditReport storeFamilyEdit(const std::vector<Actor*>& family, int frame, int minLength,
                              const WantedPoses& wanted) {
    RigEditReport report;
    if (family.empty()) return report;
    const std::size_t first = std::size_t(std::max(frame, 0));
    std::size_t length = std::max<std::size_t>(first + 1, std::size_t(std::max(minLength, 1)));
    for (const Actor* a : family) length = std::max(length, a->poses.size());

    // What playback shows now, before the edit.
    std::vector<std::vector<ActorPose>> before;
    before.reserve(family.size());
    for (const Actor* a : family) before.push_back(shownTrack(*a, length));
    for (Actor* a : family) a->poses.resize(length, a->poses.back());

    const std::size_t n = family.size();
    std::vector<ActorPose> shown(n), stored(n), trial(n), want(n);
    if (first > 0)
        for (std::size_t i = 0; i < n; ++i) shown[i] = before[i][first - 1];

    // The poses to store at frame k for a share of the edit, and whether every part can follow
    // them exactly from the shown poses.
    auto attempt = [&](std::size_t k, float share, std::vector<ActorPose>& out) {
        wanted(k, share, before, want);
        bool exact = true;
        for (std::size_t i = 0; i < n; ++i) {
            if (k == 0) {
                out[i] = want[i];  // the first frame is shown as it is stored
                continue;
            }
            bool clipped = false;
            out[i] = storedPoseFor(shown[i], want[i], clipped);
            exact = exact && !clipped;
        }
        return exact;
    };

    float share = 0.f;
    for (std::size_t k = first; k < length; ++k) {
        float taken = 1.f;
        if (!attempt(k, 1.f, stored)) {
            // Too much for one frame: the largest share the whole family can follow exactly,
            // no less than the previous frame's; the rest comes in later frames.
            if (attempt(k, share, trial)) {
                float lo = share, hi = 1.f;
                for (int step = 0; step < kRigShareSearchSteps; ++step) {
                    const float mid = (lo + hi) / 2.f;
                    if (attempt(k, mid, trial))
                        lo = mid;
                    else
                        hi = mid;
                }
                attempt(k, lo, stored);
                taken = lo;
                ++report.spreadFrames;
            } else {
                // Even the track as it was cannot be followed here: shortened steps, as ever.
                attempt(k, share, stored);
                taken = share;
                ++report.clippedFrames;
            }
        }
        share = taken;
        for (std::size_t i = 0; i < n; ++i) {
            family[i]->poses[k] = stored[i];
            if (k == 0)
                shown[i] = stored[i];
            else
                easeToward(shown[i], stored[i]);
        }
    }
    return report;
}

// The pose whose picture point pixel lies at the scene point, for the rotation and scale of pose.
ActorPose placedBy(const Actor& actor, ActorPose pose, const vector2df& pixel, const vector2df& at) {
    pose.position += at - picturePointAt(actor, pose, pixel);
    return pose;
}

bool flat(const ActorPose& pose) {
    return std::fabs(double(pose.scale.X)) < kFlatScale || std::fabs(double(pose.scale.Y)) < kFlatScale;
}

}  // namespace

ActorPose poseOnParent(const Actor& part, const vector2df& pivotPixels, const ActorPose& pose, const Actor* parent,
                       const ActorPose* parentPose) {
    ActorPose local = pose;
    local.position = picturePointAt(part, pose, pivotPixels);
    if (!parent || !parentPose || flat(*parentPose)) return local;
    local.position = pictureSpotAt(*parent, *parentPose, local.position);
    local.rotation = pose.rotation - parentPose->rotation;
    return local;
}

ActorPose poseFromParent(const Actor& part, const vector2df& pivotPixels, const ActorPose& local, const Actor* parent,
                         const ActorPose* parentPose) {
    ActorPose pose = local;
    vector2df at = local.position;
    if (parent && parentPose && !flat(*parentPose)) {
        at = picturePointAt(*parent, *parentPose, local.position);
        pose.rotation = local.rotation + parentPose->rotation;
    }
    return placedBy(part, pose, pivotPixels, at);
}

RigEditReport moveRigFamily(const std::vector<Actor*>& family, const vector2df& pivotPixels,
                            int frame, int minLength, const RigMotion& motion) {
    if (family.empty()) return RigEditReport();
    const Actor& turning = *family[0];
    return storeFamilyEdit(family, frame, minLength,
                           [&](std::size_t k, float share, const std::vector<std::vector<ActorPose>>& before,
                               std::vector<ActorPose>& want) {
                               // The turning actor's pivot follows what playback shows.
                               const vector2df pivot = picturePointAt(turning, before[0][k], pivotPixels);
                               for (std::size_t i = 0; i < family.size(); ++i)
                                   want[i] = moved(before[i][k], pivot, motion.angle * share, motion.offset * share);
                           });
}

RigEditReport editRigFamily(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frame,
                            int minLength, const RigMotionAt& motionAt) {
    // The moved actor's motion; what hangs from it is carried along.
    return editRigParts(actors, rig, index, frame, minLength,
                        [&](std::size_t actor, std::size_t k, const ActorPose& before) {
                            return actor == index ? motionAt(k, before) : RigMotion();
                        });
}

RigEditReport editRigParts(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frame,
                           int minLength, const RigPartMotionAt& partMotionAt) {
    if (index >= actors.size()) return RigEditReport();
    const RigFamilyOrder order = rigFamilyInOrder(actors, rig, index);
    const std::vector<int>& parentIn = order.parentIn;
    std::vector<Actor*> family;
    std::vector<vector2df> pivots;
    for (std::size_t m : order.members) {
        family.push_back(actors[m]);
        pivots.push_back(rigPivotPixels(*actors[m], rig));
    }
    return storeFamilyEdit(
        family, frame, minLength,
        [&](std::size_t k, float share, const std::vector<std::vector<ActorPose>>& before,
            std::vector<ActorPose>& want) {
            for (std::size_t i = 0; i < family.size(); ++i) {
                const ActorPose& was = before[i][k];
                const RigMotion motion = partMotionAt(order.members[i], k, was);
                ActorPose pose = was;
                pose.rotation += motion.angle * share;
                pose.scale += motion.scale * share;
                // Where the parent carries the part's pivot, and how far it turns it.
                const vector2df joint = picturePointAt(*family[i], was, pivots[i]);
                vector2df pivotAt = joint;
                const int p = i == 0 ? -1 : parentIn[i];
                if (p >= 0) {
                    const std::size_t q = std::size_t(p);
                    const Actor& parent = *family[q];
                    const float carried = want[q].rotation - before[q][k].rotation;
                    pose.rotation += carried;
                    if (flat(before[q][k])) {
                        // No point of a flat picture can be found again: turned with the parent
                        // about its pivot.
                        const vector2df from = picturePointAt(parent, before[q][k], pivots[q]);
                        vector2df arm = joint - from;
                        arm.rotateBy(double(carried) * irr::core::RADTODEG64);
                        pivotAt = picturePointAt(parent, want[q], pivots[q]) + arm;
                    } else {
                        pivotAt = picturePointAt(parent, want[q], pictureSpotAt(parent, before[q][k], joint));
                    }
                }
                want[i] = placedBy(*family[i], pose, pivots[i], pivotAt + motion.offset * share);
            }
        });
}
