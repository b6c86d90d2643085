#include "rig/RigTrackEdits.h"

#include <algorithm>
#include <cmath>

using irr::core::vector2df;

namespace {

// A family of rigged parts as playback shows it, with each part's pose on its parent.
struct ShownFamily {
    std::vector<Actor*> parts;
    std::vector<int> parentIn;          // the parent's place in parts, -1 for the first part
    std::vector<vector2df> pivots;      // each part's pivot (picture pixels)
    const Actor* carrier = nullptr;     // what the first part hangs from (outside the family)
    std::vector<ActorPose> carrierShown;
    std::vector<std::vector<ActorPose>> shown;  // before the edit, frame by frame
    std::vector<std::vector<ActorPose>> local;  // poses on the parents, frame by frame

    // The parent's actor and pose at frame k of part m, given the family's poses out at k.
    const Actor* parentOf(std::size_t m) const { return parentIn[m] < 0 ? carrier : parts[std::size_t(parentIn[m])]; }
    const ActorPose* parentPose(std::size_t m, std::size_t k, const std::vector<ActorPose>& out) const {
        if (parentIn[m] >= 0) return &out[std::size_t(parentIn[m])];
        return carrier ? &carrierShown[k] : nullptr;
    }
    // The family's poses at frame k from poses on the parents (parents first).
    void place(std::size_t k, const std::vector<ActorPose>& locals, std::vector<ActorPose>& out) const {
        for (std::size_t m = 0; m < parts.size(); ++m)
            out[m] = poseFromParent(*parts[m], pivots[m], locals[m], parentOf(m), parentPose(m, k, out));
    }
    // The poses on the parents of the family's poses at frame k.
    void localOf(std::size_t k, const std::vector<ActorPose>& poses, std::vector<ActorPose>& out) const {
        for (std::size_t m = 0; m < parts.size(); ++m)
            out[m] = poseOnParent(*parts[m], pivots[m], poses[m], parentOf(m), parentPose(m, k, poses));
    }
};

// The family of actors[index] as playback shows it over length frames (at least; as long as its
// longest track).
ShownFamily shownFamily(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, std::size_t length) {
    ShownFamily f;
    const RigFamilyOrder order = rigFamilyInOrder(actors, rig, index);
    f.parentIn = order.parentIn;
    for (std::size_t m : order.members) {
        f.parts.push_back(actors[m]);
        f.pivots.push_back(rigPivotPixels(*actors[m], rig));
        length = std::max(length, actors[m]->poses.size());
    }
    const int carrier = rigParentIndex(actors, rig, index);
    if (carrier >= 0) {
        f.carrier = actors[std::size_t(carrier)];
        f.carrierShown = shownTrack(*f.carrier, length);
    }
    for (const Actor* a : f.parts) f.shown.push_back(shownTrack(*a, length));
    f.local.assign(f.parts.size(), std::vector<ActorPose>(length));
    std::vector<ActorPose> poses(f.parts.size()), locals(f.parts.size());
    for (std::size_t k = 0; k < length; ++k) {
        for (std::size_t m = 0; m < f.parts.size(); ++m) poses[m] = f.shown[m][k];
        f.localOf(k, poses, locals);
        for (std::size_t m = 0; m < f.parts.size(); ++m) f.local[m][k] = locals[m];
    }
    return f;
}

ActorPose blend(const ActorPose& a, const ActorPose& b, float t) { return poseWithChange(a, scaledChange(poseChange(a, b), t)); }

bool settled(const ActorPose& a, const ActorPose& b) {
    return std::fabs(a.position.X - b.position.X) <= kRigSettledPosition &&
           std::fabs(a.position.Y - b.position.Y) <= kRigSettledPosition &&
           std::fabs(a.rotation - b.rotation) <= kRigSettledTurn && std::fabs(a.scale.X - b.scale.X) <= kRigSettledScale &&
           std::fabs(a.scale.Y - b.scale.Y) <= kRigSettledScale;
}

// Stores from frame first on the poses that playback eases onto the family's wanted poses on
// their parents (wanted[m][k]); where a frame cannot follow them exactly, the largest share of
// the way there from what it shows that every part can follow, the rest in later frames. Past
// last, once every part shows what it showed before, the stored poses after are kept.
RigEditReport storeOnParents(const ShownFamily& f, const std::vector<std::vector<ActorPose>>& wanted, int first, int last) {
    RigEditReport report;
    const std::size_t n = f.parts.size(), length = f.shown.front().size();
    const std::size_t start = std::size_t(std::max(first, 0));
    std::vector<ActorPose> shown(n), from(n), target(n), want(n), stored(n), trial(n);
    if (start > 0)
        for (std::size_t m = 0; m < n; ++m) shown[m] = f.shown[m][start - 1];
    // The poses to store at frame k for a share t of the way from what the parts show to what
    // is wanted, and whether every part lands on them exactly.
    const auto attempt = [&](std::size_t k, float t, std::vector<ActorPose>& out) {
        for (std::size_t m = 0; m < n; ++m) target[m] = blend(from[m], wanted[m][k], t);
        f.place(k, target, want);
        bool exact = true;
        for (std::size_t m = 0; m < n; ++m) {
            bool clipped = false;
            out[m] = k == 0 ? want[m] : storedPoseFor(shown[m], want[m], clipped);
            exact = exact && !clipped;
        }
        return exact;
    };
    for (std::size_t k = start; k < length; ++k) {
        if (k > std::size_t(last)) {
            bool same = true;
            for (std::size_t m = 0; m < n && same; ++m) same = settled(shown[m], f.shown[m][k - 1]);
            if (same) break;
        }
        // Where the parts stand now, on their parents as they stand at frame k.
        if (k == 0)
            for (std::size_t m = 0; m < n; ++m) from[m] = wanted[m][0];
        else
            f.localOf(k - 1, shown, from);
        if (!attempt(k, 1.f, stored)) {
            if (attempt(k, 0.f, trial)) {
                float lo = 0.f, hi = 1.f;
                for (int step = 0; step < kRigShareSearchSteps; ++step) {
                    const float mid = (lo + hi) / 2.f;
                    (attempt(k, mid, trial) ? lo : hi) = mid;
                }
                attempt(k, lo, stored);
                ++report.spreadFrames;
            } else {
                attempt(k, 1.f, stored);  // even standing still on the parent cannot be followed
                ++report.clippedFrames;
            }
        }
        for (std::size_t m = 0; m < n; ++m) {
            f.parts[m]->poses[k] = stored[m];
            if (k == 0)
                shown[m] = stored[m];
            else
                easeToward(shown[m], stored[m]);
        }
    }
    return report;
}

}  // namespace

RigEditReport editFamilyTracks(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frameCount,
                               int first, int last, const PartTrackEdit& edit) {
    if (index >= actors.size() || last < first) return RigEditReport();
    if (!rigLinked(actors, rig, index)) {
        edit(0, actors[index]->poses);
        return RigEditReport();
    }
    // Past last the frames keep what they show; those after the animation's end need no track.
    const std::size_t length = std::size_t(std::max(frameCount, last + 1));
    const ShownFamily f = shownFamily(actors, rig, index, length);
    std::vector<std::vector<ActorPose>> wanted = f.local;
    for (std::size_t m = 0; m < f.parts.size(); ++m) edit(m, wanted[m]);
    // Every part's track reaches as far as the family is shown; then the frames are stored.
    for (Actor* a : f.parts) a->poses.resize(f.shown.front().size(), a->poses.back());
    return storeOnParents(f, wanted, first, last);
}

MotionClip copyFamilyMotion(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, FrameRange range) {
    MotionClip clip;
    if (index >= actors.size() || range.in < 0 || range.out < range.in) return clip;
    if (!rigLinked(actors, rig, index)) {
        clip.parts.push_back({actors[index]->name, false, poseChanges(actors[index]->poses, range)});
        return clip;
    }
    const ShownFamily f = shownFamily(actors, rig, index, std::size_t(range.out) + 1);
    for (std::size_t m = 0; m < f.parts.size(); ++m)
        clip.parts.push_back({f.parts[m]->name, m > 0 || f.carrier, poseChanges(f.local[m], range)});
    return clip;
}

PasteReport pasteFamilyMotion(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frameCount,
                              int at, const MotionClip& clip) {
    PasteReport report;
    if (index >= actors.size() || clip.frames() == 0 || at < 0) return report;
    // The parts of the family pasted onto, and whether each stands on a parent.
    const bool linked = rigLinked(actors, rig, index);
    const std::size_t parts = linked ? rigFamilyInOrder(actors, rig, index).members.size() : 1;
    const bool partByPart = parts == clip.parts.size();
    const bool carried = linked && rigParentIndex(actors, rig, index) >= 0;
    std::vector<std::vector<ActorPose>> changes(parts);
    for (std::size_t m = 0; m < parts && (m == 0 || partByPart); ++m) {
        const MotionClip::Part& source = clip.parts[m];
        changes[m] = source.changes;
        ++report.parts;
        if (source.onParent != (m > 0 || carried)) {
            for (ActorPose& d : changes[m]) d.position.set(0.f, 0.f);
            ++report.turnsOnly;
        }
    }
    report.rig = editFamilyTracks(actors, rig, index, frameCount, at + 1, at + clip.frames() - 1,
                                  [&](std::size_t part, std::vector<ActorPose>& track) {
                                      if (part < changes.size() && !changes[part].empty())
                                          pastePoseChanges(track, at, changes[part], frameCount);
                                  });
    return report;
}
