#include "rig/RigEditing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "actors/ActorDataFile.h"
#include "platform/SafeFile.h"
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
    RigLoad loaded = loadRigFile(filePath(), names);
    rig_ = std::move(loaded.rig);
    fileFound = loaded.found;
    fileRead = !loaded.found || loaded.read;
    messages_ = loaded.errors;
    for (const std::string& m : messages_) std::fprintf(stderr, "tumelora: %s\n", m.c_str());
    std::vector<std::string> unwritable;
    savedText = formatRig(rig_, names, unwritable);
    savedKnown = true;
}

bool RigEditing::save(const std::vector<Actor*>& actors, std::string& error) {
    if (!fileRead) {
        error = filePath() + ": not replaced, since it could not be read at start";
        return false;
    }
    std::vector<std::string> names, unwritable;
    for (const Actor* a : actors) names.push_back(a->name);
    if (!fileFound && rig_.joints.empty() && rig_.refusedLines.empty()) return true;
    if (!saveRigFile(filePath(), rig_, names, error)) return false;
    savedText = formatRig(rig_, names, unwritable);
    savedKnown = true;
    return true;
}

std::string RigEditing::recoveryPath() const { return folder_ + kRigRecoveryFileName; }

bool RigEditing::writeRecovery(const std::vector<Actor*>& actors, std::string& error) {
    std::vector<std::string> names, unwritable;
    for (const Actor* a : actors) names.push_back(a->name);
    const std::string text = formatRig(rig_, names, unwritable);
    if (savedKnown && text == savedText) {
        // As rig.txt holds it: nothing to recover.
        if (!recoveryWritten.empty()) removeRecovery();
        return true;
    }
    if (text == recoveryWritten) return true;
    std::string reason;
    if (!replaceFileSafely(recoveryPath(), std::vector<uint8_t>(text.begin(), text.end()), &reason)) {
        error = recoveryPath() + ": could not be written (" + reason + ")";
        return false;
    }
    recoveryWritten = text;
    return true;
}

void RigEditing::removeRecovery() {
    std::remove(recoveryPath().c_str());
    recoveryWritten.clear();
}

bool RigEditing::restoreRecovery(const std::vector<Actor*>& actors) {
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(a->name);
    RigLoad loaded = loadRigFile(recoveryPath(), names);
    if (!loaded.found || !loaded.read) return false;
    std::vector<std::string> unwritable;
    const std::string text = formatRig(loaded.rig, names, unwritable);
    if (text == formatRig(rig_, names, unwritable)) return false;  // nothing unsaved in it
    rig_ = std::move(loaded.rig);
    recoveryWritten = text;
    for (const std::string& m : loaded.errors) tell(m);
    return true;
}

void RigEditing::tell(const std::string& message) {
    messages_.push_back(message);
    std::fprintf(stderr, "tumelora: %s\n", message.c_str());
}

void RigEditing::beginDrag(Actor* actor, bool turn) {
    dragging = actor;
    turn_ = turn;
    turnAnchored = false;
}

bool RigEditing::drag(const std::vector<Actor*>& actors, int frame, int frameCount,
                      const vector2df& fromScene, const vector2df& toScene) {
    if (rigActorIndex(actors, dragging) < 0) return false;
    if (!turn_) return move(actors, frame, frameCount, toScene - fromScene);
    turn(actors, frame, frameCount, fromScene, toScene);
    return true;
}

bool RigEditing::move(const std::vector<Actor*>& actors, int frame, int frameCount,
                      const vector2df& offset) {
    const int index = rigActorIndex(actors, dragging);
    if (index < 0 || !rigLinked(actors, rig_, std::size_t(index))) return false;
    if (offset.X == 0.f && offset.Y == 0.f) return true;
    std::vector<Actor*> family;
    for (std::size_t i : rigFamily(actors, rig_, std::size_t(index))) family.push_back(actors[i]);
    RigMotion motion;
    motion.offset = offset;
    moveRigFamily(family, rigPivotPixels(*dragging, rig_), frame, frameCount, motion);
    return true;
}

void RigEditing::turn(const std::vector<Actor*>& actors, int frame, int frameCount,
                      const vector2df& fromScene, const vector2df& toScene) {
    const int index = rigActorIndex(actors, dragging);
    if (index < 0) return;
    const vector2df pivotPixels = rigPivotPixels(*dragging, rig_);
    // The angle is measured about the pivot where it stood when the turn began: a parent moving
    // the pivot during a take adds nothing to it (the turn is added to where the parent carries
    // the actor, frame by frame, by moveRigFamily).
    if (!turnAnchored) {
        turnAnchor = picturePointAt(*dragging, editedPose(actors, dragging, frame), pivotPixels);
        turnAnchored = true;
    }
    const vector2df a = fromScene - turnAnchor, b = toScene - turnAnchor;
    const float dead = kRigTurnDeadPixels / kSceneUnitPixels;
    if (a.getLength() < dead || b.getLength() < dead) return;
    double angle = std::atan2(double(b.Y), double(b.X)) - std::atan2(double(a.Y), double(a.X));
    if (angle > kPi) angle -= 2 * kPi;
    if (angle <= -kPi) angle += 2 * kPi;
    RigMotion motion;
    motion.angle = float(angle);
    if (motion.angle == 0.f) return;
    std::vector<Actor*> family;
    for (std::size_t i : rigFamily(actors, rig_, std::size_t(index))) family.push_back(actors[i]);
    if (family.size() == 1 && pivotPixels == rigPivotPixels(*dragging, Rig())) {
        // Alone and about its centre: only the rotation changes, and rotation is never eased.
        ActorPose delta;
        delta.rotation = motion.angle;
        dragging->offsetPoses(frame, delta, true);
        return;
    }
    moveRigFamily(family, pivotPixels, frame, frameCount, motion);
}

bool RigEditing::editShownPose(const std::vector<Actor*>& actors, Actor* actor, int frame, int frameCount,
                               const ActorPose& before, const ActorPose& wanted) {
    const int index = rigActorIndex(actors, actor);
    if (index < 0 || !rigLinked(actors, rig_, std::size_t(index))) return false;
    RigMotion motion;
    motion.angle = wanted.rotation - before.rotation;
    motion.scale = wanted.scale - before.scale;
    motion.offset = wanted.position - before.position;
    editRigFamily(actors, rig_, std::size_t(index), frame, frameCount,
                  [&motion](std::size_t, const ActorPose&) { return motion; });
    return true;
}

bool RigEditing::holdFrom(const std::vector<Actor*>& actors, Actor* actor, int frame, int frameCount) {
    const int index = rigActorIndex(actors, actor);
    if (index < 0 || !rigLinked(actors, rig_, std::size_t(index))) return false;
    frame = std::max(frame, 0);
    const ActorPose held = shownPoseAt(*actor, frame);
    const vector2df pivotPixels = rigPivotPixels(*actor, rig_);
    const vector2df heldPivot = picturePointAt(*actor, held, pivotPixels);
    // Carried by the parent: the point of the parent's picture under the pivot at frame, and
    // the parent's turn since.
    std::size_t length = std::size_t(std::max(frameCount, frame + 2));
    for (const Actor* a : actors) length = std::max(length, a->poses.size());
    const int parent = rigParentIndex(actors, rig_, std::size_t(index));
    std::vector<ActorPose> carrier;
    vector2df spot;
    if (parent >= 0) {
        carrier = shownTrack(*actors[std::size_t(parent)], length);
        const ActorPose& at = carrier[std::size_t(frame)];
        if (std::fabs(at.scale.X) < 1e-6f || std::fabs(at.scale.Y) < 1e-6f)
            carrier.clear();  // flat at that frame: held where it stands instead
        else
            spot = pictureSpotAt(*actors[std::size_t(parent)], at, heldPivot);
    }
    const Actor* carrierActor = parent >= 0 ? actors[std::size_t(parent)] : nullptr;
    editRigFamily(actors, rig_, std::size_t(index), frame + 1, frameCount,
                  [&](std::size_t k, const ActorPose& before) {
                      float rotation = held.rotation;
                      vector2df pivot = heldPivot;
                      if (!carrier.empty()) {
                          const ActorPose& c = carrier[std::min(k, carrier.size() - 1)];
                          rotation += c.rotation - carrier[std::size_t(frame)].rotation;
                          pivot = picturePointAt(*carrierActor, c, spot);
                      }
                      RigMotion motion;
                      motion.angle = rotation - before.rotation;
                      motion.scale = held.scale - before.scale;
                      motion.offset = pivot - picturePointAt(*actor, before, pivotPixels);
                      return motion;
                  });
    return true;
}

bool RigEditing::setPivotAt(const std::vector<Actor*>& actors, Actor* actor, int frame,
                            const vector2df& scenePoint) {
    if (!actor) return false;
    const ActorPose pose = editedPose(actors, actor, frame);
    if (std::fabs(pose.scale.X) < 1e-6f || std::fabs(pose.scale.Y) < 1e-6f) return false;
    const vector2df spot = pictureSpotAt(*actor, pose, scenePoint);
    if (!std::isfinite(spot.X) || !std::isfinite(spot.Y) || std::fabs(spot.X) > kRigMaxPivotPixels ||
        std::fabs(spot.Y) > kRigMaxPivotPixels)
        return false;
    RigJoint& joint = rig_.joints[actor->name];
    joint.pivotX = spot.X;
    joint.pivotY = spot.Y;
    return true;
}

bool RigEditing::setParent(Actor* child, const Actor* parent, std::string& why) {
    if (!child) return false;
    const std::string name = parent ? parent->name : std::string();
    if (!name.empty() && rig_.wouldLoop(child->name, name)) {
        why = child->name + " cannot hang from " + name + ": " + name + " hangs from it";
        return false;
    }
    auto it = rig_.joints.find(child->name);
    if (it == rig_.joints.end()) {
        // A new joint turns about the picture's centre until a pivot is set.
        RigJoint joint;
        joint.pivotX = child->size.X * kSceneUnitPixels / 2.f;
        joint.pivotY = child->size.Y * kSceneUnitPixels / 2.f;
        it = rig_.joints.emplace(child->name, joint).first;
    }
    it->second.parent = name;
    return true;
}

std::string RigEditing::snapshot() const {
    // Length-prefixed fields, so that any name survives exactly.
    std::string out;
    auto put = [&out](const std::string& field) {
        out += std::to_string(field.size());
        out += ':';
        out += field;
    };
    auto putFloat = [&put](float v) {
        std::string bytes(sizeof v, '\0');
        std::memcpy(&bytes[0], &v, sizeof v);
        put(bytes);
    };
    put(std::to_string(rig_.joints.size()));
    for (const auto& [name, joint] : rig_.joints) {
        put(name);
        put(joint.parent);
        putFloat(joint.pivotX);
        putFloat(joint.pivotY);
    }
    put(std::to_string(rig_.comments.size()));
    for (const std::string& c : rig_.comments) put(c);
    put(std::to_string(rig_.refusedLines.size()));
    for (const std::string& l : rig_.refusedLines) put(l);
    return out;
}

void RigEditing::restore(const std::string& text) {
    std::size_t at = 0;
    auto get = [&](std::string& field) {
        const std::size_t colon = text.find(':', at);
        if (colon == std::string::npos) return false;
        const std::size_t n = std::size_t(std::stoull(text.substr(at, colon - at)));
        if (n > text.size() - colon - 1) return false;
        field = text.substr(colon + 1, n);
        at = colon + 1 + n;
        return true;
    };
    auto getFloat = [&](float& v) {
        std::string bytes;
        if (!get(bytes) || bytes.size() != sizeof v) return false;
        std::memcpy(&v, bytes.data(), sizeof v);
        return true;
    };
    auto getCount = [&](std::size_t& n) {
        std::string field;
        if (!get(field)) return false;
        n = std::size_t(std::stoull(field));
        return true;
    };
    Rig rig;
    std::size_t n = 0;
    if (!getCount(n)) return;
    for (std::size_t i = 0; i < n; ++i) {
        std::string name;
        RigJoint joint;
        if (!get(name) || !get(joint.parent) || !getFloat(joint.pivotX) || !getFloat(joint.pivotY)) return;
        rig.joints[name] = joint;
    }
    for (std::vector<std::string>* list : {&rig.comments, &rig.refusedLines}) {
        if (!getCount(n)) return;
        list->resize(n);
        for (std::string& line : *list)
            if (!get(line)) return;
    }
    rig_ = std::move(rig);
}

namespace {

// The name an actor has after a renaming.
std::string renamedTo(const std::map<std::string, std::string>& renamed, const std::string& name) {
    const auto it = renamed.find(name);
    return it == renamed.end() ? name : it->second;
}

// The rig with the actors renamed: joints, parents, and the names that start a kept line or
// stand as its parent.
Rig renamedRig(const Rig& rig, const std::map<std::string, std::string>& renamed) {
    Rig out;
    out.comments = rig.comments;
    for (const auto& [name, joint] : rig.joints) {
        RigJoint j = joint;
        if (!j.parent.empty()) j.parent = renamedTo(renamed, j.parent);
        out.joints[renamedTo(renamed, name)] = j;
    }
    for (const std::string& line : rig.refusedLines) {
        const std::size_t tab = line.find('\t');
        std::string name = line.substr(0, tab), rest = tab == std::string::npos ? "" : line.substr(tab);
        if (!rest.empty()) {
            const std::size_t next = rest.find('\t', 1);
            const std::string parent = rest.substr(1, next == std::string::npos ? std::string::npos : next - 1);
            rest = "\t" + renamedTo(renamed, parent) + (next == std::string::npos ? "" : rest.substr(next));
        }
        out.refusedLines.push_back(renamedTo(renamed, name) + rest);
    }
    return out;
}

}  // namespace

void RigEditing::renameActors(const std::map<std::string, std::string>& renamed, const std::vector<Actor*>& actors) {
    rig_ = renamedRig(rig_, renamed);
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(a->name);
    if (savedKnown) savedText = fileText(names);
    recoveryWritten.clear();
    fileFound = fileFound || hasFile();
}

std::string RigEditing::renamedSnapshot(const std::string& bytes, const std::map<std::string, std::string>& renamed) {
    RigEditing rig;
    rig.restore(bytes);
    if (rig.snapshot() != bytes) return bytes;  // not a snapshot of this program's
    rig.rig_ = renamedRig(rig.rig_, renamed);
    return rig.snapshot();
}

std::string RigEditing::fileText(const std::vector<std::string>& names,
                                 const std::map<std::string, std::string>& renamed) const {
    std::vector<std::string> unwritable;
    return formatRig(renamed.empty() ? rig_ : renamedRig(rig_, renamed), names, unwritable);
}

ActorPose RigEditing::editedPose(const std::vector<Actor*>& actors, const Actor* actor, int frame) const {
    const int index = rigActorIndex(actors, actor);
    if (index >= 0 && rigLinked(actors, rig_, std::size_t(index))) return shownPoseAt(*actor, frame);
    return actor->poseAt(frame);
}

void RigEditing::drawOverlay(Renderer2D* renderer, const irr::core::dimension2du& picture,
                             const std::vector<Actor*>& actors, const Actor* selected, int frame) const {
    const int chosen = rigActorIndex(actors, selected);
    if (!renderer || chosen < 0 || !rigLinked(actors, rig_, std::size_t(chosen))) return;
    std::vector<vector2df> pivots(actors.size());
    std::vector<bool> linked(actors.size(), false);
    for (std::size_t i = 0; i < actors.size(); ++i) {
        linked[i] = rigLinked(actors, rig_, i);
        if (!linked[i]) continue;
        const Actor& a = *actors[i];
        pivots[i] = sceneToScreen(picturePointAt(a, shownPoseAt(a, frame), rigPivotPixels(a, rig_)), picture);
    }
    for (std::size_t i = 0; i < actors.size(); ++i) {
        const int parent = rigParentIndex(actors, rig_, i);
        if (parent >= 0) line(renderer, pivots[i], pivots[std::size_t(parent)], kRigLinkWidthPixels, kRigLinkColour);
    }
    for (std::size_t i = 0; i < actors.size(); ++i)
        if (linked[i] && int(i) != chosen) square(renderer, pivots[i], kRigPivotMarkPixels, kRigPivotColour);
    square(renderer, pivots[std::size_t(chosen)], kRigSelectedPivotMarkPixels, kRigSelectedPivotColour);
}
