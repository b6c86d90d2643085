#include "rig/RigEditing.h"

#include <cmath>
#include <cstdio>

#include "render/Renderer2D.h"

using irr::core::vector2df;

namespace {

constexpr double kPi = 3.14159265358979323846;

// Appends a solid quad with the given corners (top-left, top-right, bottom-left, bottom-right).
void solidQuad(Renderer2D* renderer, const vector2df c[4], irr::u32 argb) {
    const irr::video::SColor colour(argb);
    const irr::core::vector3df normal(0.f, 0.f, 0.f);
    irr::video::S3DVertex v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = irr::video::S3DVertex(irr::core::vector3df(c[i].X, c[i].Y, 0.f), normal, colour,
                                     irr::core::vector2df(float(i & 1), float(i >> 1)));
    renderer->addQuad(nullptr, BLEND_ALPHA, 0, v);
}

// A square of side size centred on p.
void square(Renderer2D* renderer, const vector2df& p, float size, irr::u32 argb) {
    const float h = size / 2.f;
    const vector2df c[4] = {{p.X - h, p.Y - h}, {p.X + h, p.Y - h}, {p.X - h, p.Y + h}, {p.X + h, p.Y + h}};
    solidQuad(renderer, c, argb);
}

// A line of the given width from a to b.
void line(Renderer2D* renderer, const vector2df& a, const vector2df& b, float width, irr::u32 argb) {
    vector2df d = b - a;
    const float len = d.getLength();
    if (len <= 0.f) return;
    d /= len;
    const vector2df n(-d.Y * width / 2.f, d.X * width / 2.f);
    const vector2df c[4] = {a + n, b + n, a - n, b - n};
    solidQuad(renderer, c, argb);
}

}  // namespace

int rigActorIndex(const std::vector<Actor*>& actors, const Actor* actor) {
    for (std::size_t i = 0; i < actors.size(); ++i)
        if (actors[i] == actor) return int(i);
    return -1;
}

void RigEditing::load(const std::vector<Actor*>& actors) {
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(a->name);
    RigLoad loaded = loadRigFile(rigFilePath(), names);
    rig_ = std::move(loaded.rig);
    fileFound = loaded.found;
    fileRead = !loaded.found || loaded.read;
    messages_ = loaded.errors;
    for (const std::string& m : messages_) std::fprintf(stderr, "tumelora: %s\n", m.c_str());
}

bool RigEditing::save(const std::vector<Actor*>& actors, std::string& error) const {
    if (!fileRead) {
        error = rigFilePath() + ": not replaced, since it could not be read at start";
        return false;
    }
    if (!fileFound && rig_.joints.empty() && rig_.refusedLines.empty()) return true;
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(a->name);
    return saveRigFile(rigFilePath(), rig_, names, error);
}

void RigEditing::beginDrag(Actor* actor, bool turn) {
    dragging = actor;
    turn_ = turn;
}

bool RigEditing::drag(const std::vector<Actor*>& actors, int frame, int frameCount,
                      const vector2df& fromScene, const vector2df& toScene) {
    const int index = rigActorIndex(actors, dragging);
    if (index < 0) return false;
    if (!turn_ && !rigLinked(actors, rig_, std::size_t(index))) return false;
    std::vector<Actor*> family;
    for (std::size_t i : rigFamily(actors, rig_, std::size_t(index))) family.push_back(actors[i]);
    const vector2df pivotPixels = rigPivotPixels(*dragging, rig_);
    RigMotion motion;
    if (turn_) {
        const vector2df pivot = picturePointAt(*dragging, shownPoseAt(*dragging, frame), pivotPixels);
        const vector2df a = fromScene - pivot, b = toScene - pivot;
        const float dead = kRigTurnDeadPixels / kSceneUnitPixels;
        if (a.getLength() < dead || b.getLength() < dead) return true;
        double angle = std::atan2(double(b.Y), double(b.X)) - std::atan2(double(a.Y), double(a.X));
        if (angle > kPi) angle -= 2 * kPi;
        if (angle <= -kPi) angle += 2 * kPi;
        motion.angle = float(angle);
        if (motion.angle == 0.f) return true;
    } else {
        motion.offset = toScene - fromScene;
        if (motion.offset.X == 0.f && motion.offset.Y == 0.f) return true;
    }
    moveRigFamily(family, pivotPixels, frame, frameCount, motion);
    return true;
}

ActorPose RigEditing::editedPose(const std::vector<Actor*>& actors, const Actor* actor, int frame) const {
    const int index = rigActorIndex(actors, actor);
    if (index >= 0 && rigLinked(actors, rig_, std::size_t(index))) return shownPoseAt(*actor, frame);
    return actor->poseAt(frame);
}

void RigEditing::drawOverlay(Renderer2D* renderer, const std::vector<Actor*>& actors,
                             const Actor* selected, int frame) const {
    const int chosen = rigActorIndex(actors, selected);
    if (!renderer || chosen < 0 || !rigLinked(actors, rig_, std::size_t(chosen))) return;
    std::vector<vector2df> pivots(actors.size());
    std::vector<bool> linked(actors.size(), false);
    for (std::size_t i = 0; i < actors.size(); ++i) {
        linked[i] = rigLinked(actors, rig_, i);
        if (!linked[i]) continue;
        const Actor& a = *actors[i];
        pivots[i] = sceneToScreen(picturePointAt(a, shownPoseAt(a, frame), rigPivotPixels(a, rig_)));
    }
    for (std::size_t i = 0; i < actors.size(); ++i) {
        const int parent = rigParentIndex(actors, rig_, i);
        if (parent >= 0) line(renderer, pivots[i], pivots[std::size_t(parent)], kRigLinkWidthPixels, kRigLinkColour);
    }
    for (std::size_t i = 0; i < actors.size(); ++i)
        if (linked[i] && int(i) != chosen) square(renderer, pivots[i], kRigPivotMarkPixels, kRigPivotColour);
    square(renderer, pivots[std::size_t(chosen)], kRigSelectedPivotMarkPixels, kRigSelectedPivotColour);
}
