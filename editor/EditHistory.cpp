#include "editor/EditHistory.h"

#include <cstring>

static_assert(sizeof(ActorPose) == 5 * sizeof(float), "a pose is five floats without padding");

ActorEditData ActorEditData::of(const Actor& actor) {
    ActorEditData data;
    data.poses = actor.poses;
    data.bindScale = actor.bindScale;
    data.wobble = actor.wobble;
    return data;
}

void ActorEditData::applyTo(Actor& actor) const {
    actor.poses = poses;
    // The track is never empty (an actor without poses could not be drawn or edited).
    if (actor.poses.empty()) actor.poses.push_back(ActorPose::defaultPose());
    actor.bindScale = bindScale;
    actor.wobble = wobble;
}

bool ActorEditData::sameAs(const ActorEditData& other) const {
    if (bindScale != other.bindScale || wobble != other.wobble) return false;
    if (poses.size() != other.poses.size()) return false;
    return poses.empty() || std::memcmp(poses.data(), other.poses.data(), bytes()) == 0;
}

EditHistory::EditHistory(std::size_t maxSteps, std::size_t maxBytes)
    : maxSteps(maxSteps), maxBytes(maxBytes) {}

void EditHistory::begin(const std::vector<Actor*>& actors, int frameCount, const std::string& extra) {
    if (open) return;
    snapshot.clear();
    snapshot.reserve(actors.size());
    for (const Actor* actor : actors) snapshot.push_back(actor ? ActorEditData::of(*actor) : ActorEditData{});
    snapshotFrames = frameCount;
    snapshotExtra = extra;
    open = true;
}

bool EditHistory::commit(const std::vector<Actor*>& actors, int frameCount, const std::string& extra) {
    if (!open) return false;
    open = false;
    Step step;
    step.framesBefore = snapshotFrames;
    step.framesAfter = frameCount;
    if (extra != snapshotExtra) {
        step.extraChanged = true;
        step.extraBefore = std::move(snapshotExtra);
        step.extraAfter = extra;
        step.bytes += step.extraBefore.size() + step.extraAfter.size();
    }
    snapshotExtra.clear();
    const std::size_t n = actors.size() < snapshot.size() ? actors.size() : snapshot.size();
    for (std::size_t i = 0; i < n; ++i) {
        if (!actors[i]) continue;
        ActorEditData now = ActorEditData::of(*actors[i]);
        if (now.sameAs(snapshot[i])) continue;
        Change change;
        change.actor = i;
        change.before = std::move(snapshot[i]);
        change.after = std::move(now);
        step.bytes += change.before.bytes() + change.after.bytes();
        step.changes.push_back(std::move(change));
    }
    snapshot.clear();
    if (step.changes.empty() && step.framesBefore == step.framesAfter && !step.extraChanged) return false;

    for (const Step& dropped : redoSteps) heldBytes -= dropped.bytes;
    redoSteps.clear();
    heldBytes += step.bytes;
    step.id = ++lastId;
    undoSteps.push_back(std::move(step));
    enforceLimits();
    return true;
}

void EditHistory::cancel() {
    open = false;
    snapshot.clear();
    snapshotExtra.clear();
}

void EditHistory::apply(const Step& step, bool after, const std::vector<Actor*>& actors,
                        int& frameCount, std::string* extra) {
    for (const Change& change : step.changes) {
        if (change.actor >= actors.size() || !actors[change.actor]) continue;
        (after ? change.after : change.before).applyTo(*actors[change.actor]);
    }
    frameCount = after ? step.framesAfter : step.framesBefore;
    if (step.extraChanged && extra) *extra = after ? step.extraAfter : step.extraBefore;
}

bool EditHistory::undo(const std::vector<Actor*>& actors, int& frameCount, std::string* extra) {
    cancel();
    if (undoSteps.empty()) return false;
    Step step = std::move(undoSteps.back());
    undoSteps.pop_back();
    apply(step, false, actors, frameCount, extra);
    redoSteps.push_back(std::move(step));
    return true;
}

bool EditHistory::redo(const std::vector<Actor*>& actors, int& frameCount, std::string* extra) {
    cancel();
    if (redoSteps.empty()) return false;
    Step step = std::move(redoSteps.back());
    redoSteps.pop_back();
    apply(step, true, actors, frameCount, extra);
    undoSteps.push_back(std::move(step));
    return true;
}

void EditHistory::clear() {
    cancel();
    undoSteps.clear();
    redoSteps.clear();
    heldBytes = 0;
    forgottenPosition = ++lastId;
}

void EditHistory::mapExtras(const std::function<std::string(const std::string&)>& change) {
    if (open) snapshotExtra = change(snapshotExtra);
    const auto mapStep = [&change](Step& step) {
        if (!step.extraChanged) return;
        step.extraBefore = change(step.extraBefore);
        step.extraAfter = change(step.extraAfter);
    };
    for (Step& step : undoSteps) mapStep(step);
    for (Step& step : redoSteps) mapStep(step);
}

void EditHistory::enforceLimits() {
    while (undoSteps.size() > 1 && (undoSteps.size() > maxSteps || heldBytes > maxBytes)) {
        heldBytes -= undoSteps.front().bytes;
        forgottenPosition = undoSteps.front().id;
        undoSteps.pop_front();
    }
}
