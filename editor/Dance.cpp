#include "editor/Dance.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "platform/Timebase.h"
#include "platform/Words.h"

using irr::core::vector2df;

namespace {

// Characters that separate the words of a name.
bool separates(char c) { return c == '-' || c == '_' || c == ' ' || c == '.'; }

// The word in lower case.
std::string lower(std::string word) {
    for (char& c : word) c = char(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

// The family of a part as a dance sees it where it starts: every member's pose there, the
// character's height and the root's pivot.
struct FamilyShape {
    std::vector<std::size_t> members;  // actors[index] first, then what hangs from it
    std::map<std::size_t, ActorPose> shown;
    float height = 0.f;  // scene units, from the highest drawn point to the lowest
    float top = 0.f;     // the root's highest drawn point (scene y)
    vector2df rootPivot{0.f, 0.f};
};

// The stage points of the corners of an actor's picture drawn with pose.
std::vector<vector2df> corners(const Actor& actor, const ActorPose& pose) {
    const float w = actor.size.X * kSceneUnitPixels, h = actor.size.Y * kSceneUnitPixels;
    return {picturePointAt(actor, pose, {0.f, 0.f}), picturePointAt(actor, pose, {w, 0.f}),
            picturePointAt(actor, pose, {0.f, h}), picturePointAt(actor, pose, {w, h})};
}

// The shape of actors[index]'s family as playback shows it at frame.
FamilyShape shapeOf(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frame) {
    FamilyShape shape;
    shape.members = rigFamily(actors, rig, index);
    float low = 0.f, high = 0.f;
    bool first = true;
    for (std::size_t m : shape.members) {
        const ActorPose pose = shownPoseAt(*actors[m], frame);
        shape.shown[m] = pose;
        for (const vector2df& c : corners(*actors[m], pose)) {
            low = first ? c.Y : std::max(low, c.Y);
            high = first ? c.Y : std::min(high, c.Y);
            first = false;
        }
    }
    shape.height = low - high;
    const Actor& root = *actors[index];
    const std::vector<vector2df> rootCorners = corners(root, shape.shown[index]);
    shape.top = rootCorners[0].Y;
    for (const vector2df& c : rootCorners) shape.top = std::min(shape.top, c.Y);
    shape.rootPivot = picturePointAt(root, shape.shown[index], rigPivotPixels(root, rig));
    return shape;
}

// The topmost ancestor of actors[index] in the rig (itself when it hangs from nothing).
std::size_t rigRootOf(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index) {
    std::size_t at = index;
    for (std::size_t steps = 0; steps < actors.size(); ++steps) {
        const int parent = rigParentIndex(actors, rig, at);
        if (parent < 0) break;
        at = std::size_t(parent);
    }
    return at;
}

}  // namespace

std::pair<std::string, int> mirrorKey(const std::string& name) {
    std::vector<std::string> words, gaps;  // gaps[i] follows words[i]
    std::string word;
    for (char c : name) {
        if (separates(c)) {
            words.push_back(word);
            gaps.push_back(std::string(1, c));
            word.clear();
        } else {
            word += c;
        }
    }
    words.push_back(word);
    gaps.push_back("");
    std::size_t first = 0;
    if (words.size() > 1 && !words[0].empty() &&
        std::all_of(words[0].begin(), words[0].end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        first = 1;  // the drawing order's number
    std::string key;
    int side = 0;
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string w = lower(words[i]);
        if (w == "left" || w == "l" || w == "right" || w == "r") {
            side = w[0] == 'l' ? -1 : 1;
            key += "*";
        } else {
            key += w;
        }
        key += gaps[i];
    }
    return {key, side};
}

int mirrorPartner(const std::vector<Actor*>& actors, const std::vector<std::size_t>& candidates,
                  std::size_t index) {
    const auto [key, side] = mirrorKey(actors[index]->name);
    if (side == 0) return -1;
    int found = -1;
    for (std::size_t c : candidates) {
        if (c == index) continue;
        const auto [otherKey, otherSide] = mirrorKey(actors[c]->name);
        if (otherKey != key || otherSide != -side) continue;
        if (found >= 0) return -1;  // two partners: none
        found = int(c);
    }
    return found;
}

PartMotion ownMotion(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, BeatMotion motion,
                     int frame) {
    PartMotion part;
    part.motion = motion;
    switch (motion) {
        case BeatMotion::Bounce:
        case BeatMotion::Sway: {
            const FamilyShape shape = shapeOf(actors, rig, index, frame);
            part.size = (motion == BeatMotion::Bounce ? DANCE_BOUNCE_SHARE : DANCE_SWAY_SHARE) * shape.height;
            break;
        }
        case BeatMotion::Nod: part.size = DANCE_NOD_RADIANS; break;
        case BeatMotion::Pulse: part.size = DANCE_PULSE_SHARE; break;
        case BeatMotion::Swing: {
            // Outward, away from the pivot of the character's root; a quarter as far below it.
            const std::size_t root = rigRootOf(actors, rig, index);
            const FamilyShape shape = shapeOf(actors, rig, root, frame);
            const Actor& actor = *actors[index];
            const ActorPose& pose = shape.shown.at(index);
            const vector2df pivot = picturePointAt(actor, pose, rigPivotPixels(actor, rig));
            const int side = mirrorKey(actor.name).second;
            const float outward = pivot.X < shape.rootPivot.X   ? 1.f
                                  : pivot.X > shape.rootPivot.X ? -1.f
                                                                : (side > 0 ? -1.f : 1.f);
            const bool low = index != root && pose.position.Y > shape.rootPivot.Y;
            part.size = DANCE_SWING_RADIANS * outward * (low ? DANCE_LOW_SWING_SHARE : 1.f);
            // The right one of a mirror pair half a bar after the left one.
            if (side > 0 && mirrorPartner(actors, shape.members, index) >= 0) part.lagBeats = BEATS_PER_BAR / 2.0;
            break;
        }
    }
    return part;
}

DancePlan planDance(const std::vector<Actor*>& actors, const Rig& rig, std::size_t root, int frame) {
    DancePlan plan;
    plan.root = root;
    if (root >= actors.size()) return plan;
    plan.parts[root] = {ownMotion(actors, rig, root, BeatMotion::Bounce, frame),
                        ownMotion(actors, rig, root, BeatMotion::Sway, frame)};
    const FamilyShape shape = shapeOf(actors, rig, root, frame);
    // Each member's parent, and its first-level part (the one hanging from the root it hangs under).
    std::map<std::size_t, std::size_t> firstLevel;
    std::map<std::size_t, int> depth;
    std::map<std::size_t, bool> hasChildren;
    for (std::size_t m : shape.members) {
        if (m == root) continue;
        int d = 0;
        std::size_t at = m, below = m;
        for (std::size_t steps = 0; at != root && steps < actors.size(); ++steps, ++d) {
            below = at;
            const int parent = rigParentIndex(actors, rig, at);
            if (parent < 0) break;
            at = std::size_t(parent);
        }
        firstLevel[m] = below;
        depth[m] = d;
        const int parent = rigParentIndex(actors, rig, m);
        if (parent >= 0) hasChildren[std::size_t(parent)] = true;
    }
    // The head: the topmost small part standing on top of the root, with nothing hanging from it.
    const Actor& rootActor = *actors[root];
    const float rootArea = rootActor.size.X * rootActor.size.Y;
    int head = -1;
    for (std::size_t m : shape.members) {
        if (m == root || depth[m] != 1 || hasChildren[m]) continue;
        const float area = actors[m]->size.X * actors[m]->size.Y;
        const float y = shape.shown.at(m).position.Y;
        if (area < rootArea && y < shape.top && (head < 0 || y < shape.shown.at(std::size_t(head)).position.Y))
            head = int(m);
    }
    for (std::size_t m : shape.members) {
        if (m == root) continue;
        if (int(m) == head) {
            plan.parts[m] = {ownMotion(actors, rig, m, BeatMotion::Nod, frame)};
            continue;
        }
        if (int(firstLevel[m]) == head) continue;  // carried by the nodding part
        PartMotion swing = ownMotion(actors, rig, firstLevel[m], BeatMotion::Swing, frame);
        const int deeper = depth[m] - 1;
        swing.size *= float(std::pow(double(DANCE_FOLLOW_SHARE), deeper));
        swing.lagBeats += DANCE_FOLLOW_LAG_BEATS * deeper;
        plan.parts[m] = {swing};
    }
    return plan;
}

RigMotion partMotionAt(const std::vector<PartMotion>& motions, const DanceMusic& music,
                       const BeatEnvelope& envelope, int frame, const ActorPose& shownBefore) {
    RigMotion out;
    const double beat = music.grid.beatAt(double(frame) * FRAME_MS);
    for (const PartMotion& part : motions) {
        const float amount = part.size * float(beatMotionAt(part.motion, beat - part.lagBeats, envelope));
        switch (part.motion) {
            case BeatMotion::Bounce: out.offset.Y += amount; break;
            case BeatMotion::Sway: out.offset.X += amount; break;
            case BeatMotion::Nod:
            case BeatMotion::Swing: out.angle += amount; break;
            case BeatMotion::Pulse: out.scale += shownBefore.scale * amount; break;
        }
    }
    return out;
}

RigEditReport dance(const std::vector<Actor*>& actors, const Rig& rig, const DancePlan& plan,
                    const DanceMusic& music, int from, int to) {
    if (plan.root >= actors.size() || !music.grid.valid() || to <= from) return RigEditReport();
    const BeatEnvelope envelope(music.grid, music.loudness, double(from) * FRAME_MS, double(to) * FRAME_MS);
    return editRigParts(actors, rig, plan.root, from, to,
                        [&](std::size_t actor, std::size_t k, const ActorPose& before) {
                            const auto it = plan.parts.find(actor);
                            if (it == plan.parts.end()) return RigMotion();
                            return partMotionAt(it->second, music, envelope, int(k), before);
                        });
}

std::string danceLateText(const RigEditReport& report) {
    const int late = report.spreadFrames + report.clippedFrames;
    return late > 0 ? " (" + countOf(late, "frame") + " too quick for playback follow a little later)" : "";
}

std::string describeDance(const std::vector<Actor*>& actors, const DancePlan& plan, std::size_t namesShown) {
    // The parts grouped by what they do, the root first, the others in actor order.
    std::vector<std::pair<std::vector<BeatMotion>, std::vector<std::string>>> groups;
    std::vector<std::pair<std::size_t, std::vector<PartMotion>>> parts(plan.parts.begin(), plan.parts.end());
    std::stable_partition(parts.begin(), parts.end(), [&](const auto& p) { return p.first == plan.root; });
    for (const auto& [index, motions] : parts) {
        if (index >= actors.size() || motions.empty()) continue;
        std::vector<BeatMotion> does;
        for (const PartMotion& m : motions)
            if (std::find(does.begin(), does.end(), m.motion) == does.end()) does.push_back(m.motion);
        auto group = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == does; });
        if (group == groups.end()) group = groups.insert(groups.end(), {does, {}});
        group->second.push_back(actors[index]->name);
    }
    std::string out;
    for (const auto& [does, names] : groups) {
        if (!out.empty()) out += "; ";
        if (names.size() > namesShown)
            out += std::to_string(names.size()) + " parts";
        else
            for (std::size_t i = 0; i < names.size(); ++i) out += (i ? ", " : "") + names[i];
        for (std::size_t i = 0; i < does.size(); ++i)
            out += std::string(i ? " and " : " ") + beatMotionName(does[i]) + (names.size() == 1 ? "s" : "");
    }
    return out;
}
