// The editor's recovery files (see Recovery.h and the rig's own): unsaved work written beside
// the actors while the editor works, read back at the next start, and the status line's alarm
// while it cannot be written.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "actors/Actor.h"
#include "editor/Editor.h"
#include "platform/FileAside.h"
#include "platform/Words.h"
#include "states/DrawingOrder.h"

using namespace irr;

namespace {

// Added to the name of a recovery file that could not be read, to keep it aside.
constexpr const char* DAMAGED_RECOVERY_SUFFIX = ".damaged";

}  // namespace

void Editor::restoreRecovery() {
    const std::size_t told = play.rig().messages().size();
    const bool rigRestored = play.rig().restoreRecovery(play.actors());
    const std::vector<std::string>& rigMessages = play.rig().messages();
    for (std::size_t i = told; i < rigMessages.size(); ++i) status.warn(rigMessages[i]);
    if (rigRestored) {
        dirty = true;
        savedKnown = false;
        status.tell("Restored the unsaved rig of the last session; Ctrl+S saves it");
        std::fprintf(stderr, "tumelora: %s (%s)\n", status.newest().c_str(), play.rig().recoveryPath().c_str());
    }
    SceneSettings& scene = play.sceneSettings();
    const std::size_t sceneTold = scene.messages().size();
    if (scene.restoreRecovery(play.actors())) {
        dirty = true;
        status.tell("Restored the unsaved hidden and locked actors of the last session; Ctrl+S saves them");
        std::fprintf(stderr, "tumelora: %s (%s)\n", status.newest().c_str(), scene.recoveryPath().c_str());
    }
    for (std::size_t i = sceneTold; i < scene.messages().size(); ++i) status.warn(scene.messages()[i]);
    std::ifstream in(writer.path(), std::ios::binary);
    if (!in) return;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    RecoverySnapshot snapshot;
    std::string error;
    if (!decodeRecovery(bytes.data(), bytes.size(), snapshot, error)) {
        // Kept aside, never overwritten: it may still hold work someone wants back.
        std::string aside, asideError;
        std::string line = "Recovery file " + writer.path() + " refused (" + error + ")";
        if (moveAside(writer.path(), DAMAGED_RECOVERY_SUFFIX, aside, asideError))
            line += "; kept as " + aside;
        else
            line += "; " + asideError;
        status.warn(line);
        std::fprintf(stderr, "tumelora: %s\n", line.c_str());
        return;
    }
    int restored = 0;
    for (const RecoveredActor& r : snapshot.actors) {
        for (Actor* actor : play.actors()) {
            if (actor->name != r.name) continue;
            const ActorEditData before = ActorEditData::of(*actor);
            actor->poses = r.data.poses;
            actor->bindScale = r.data.bindScale;
            actor->wobble = r.data.wobble;
            actor->current = actor->poseAt(0);
            if (!ActorEditData::of(*actor).sameAs(before)) ++restored;
            break;
        }
    }
    // The file lists the actors in their drawing order: an unsaved order comes back too.
    std::vector<Actor*> order;
    bool orderRestored = false;
    for (const RecoveredActor& r : snapshot.actors)
        for (Actor* actor : play.actors())
            if (actor->name == r.name && std::find(order.begin(), order.end(), actor) == order.end())
                order.push_back(actor);
    if (order.size() == play.actors().size() && order != play.actors()) {
        // Only an order the player can load (JPEG pictures first).
        bool loadable = true;
        for (std::size_t i = 1; i < order.size(); ++i)
            loadable = loadable && !(isJpegPicture(order[i]->pictureFile) && !isJpegPicture(order[i - 1]->pictureFile));
        if (loadable) {
            play.setDrawingOrder(order);
            orderRestored = true;
        }
    }
    int frames = std::max(1, int(snapshot.frameCount));
    for (const Actor* actor : play.actors()) frames = std::max(frames, int(actor->poses.size()));
    play.setFrameCount(frames);
    dirty = true;
    savedKnown = false;
    status.tell("Restored the unsaved edits of the last session (" + countOf(restored, "actor") + " changed" +
                (orderRestored ? ", and the drawing order" : "") + "); Ctrl+S saves them");
    std::fprintf(stderr, "tumelora: %s (%s)\n", status.newest().c_str(), writer.path().c_str());
}

void Editor::writeRecovery() {
    RecoverySnapshot snapshot;
    snapshot.frameCount = play.frameCount();
    for (const Actor* actor : play.actors()) {
        RecoveredActor r;
        r.name = actor->name;
        r.data.version = kActorDataVersion;
        r.data.poses = actor->poses;
        r.data.bindScale = actor->bindScale;
        r.data.wobble = actor->wobble;
        snapshot.actors.push_back(std::move(r));
    }
    writer.write(std::move(snapshot));
    std::string rigError;
    rigRecoveryFailure.clear();
    if (!play.rig().writeRecovery(play.actors(), rigError)) rigRecoveryFailure = rigError;
    if (!play.sceneSettings().writeRecovery(play.actors(), rigError) && rigRecoveryFailure.empty())
        rigRecoveryFailure = rigError;
    recoveryDue = false;
}

void Editor::watchRecovery() {
    // Nothing unsaved: nothing to protect.
    std::string failure;
    if (hasUnsavedEdits()) {
        failure = writer.lastError();
        if (failure.empty()) failure = rigRecoveryFailure;
    }
    const u32 t = now();
    if (failure != recoveryFailure) {
        if (!failure.empty()) {
            status.setAlarm("Unsaved work is not protected against a crash: " + failure);
            std::fprintf(stderr, "tumelora: unsaved work is not protected against a crash: %s\n", failure.c_str());
            recoveryRetryAt = t + RECOVERY_RETRY_MS;
        } else {
            status.setAlarm("");
            if (hasUnsavedEdits()) {
                status.tell("Unsaved work is protected again: " + writer.path() + " written");
                std::fprintf(stderr, "tumelora: %s\n", status.newest().c_str());
            }
        }
        recoveryFailure = failure;
    }
    // Tried again while it fails, so that the alarm ends once the disk takes it again.
    if (!recoveryFailure.empty() && !recoveryDue && !play.recording() && !history.isOpen() &&
        int32_t(t - recoveryRetryAt) >= 0) {
        writeRecovery();
        recoveryRetryAt = t + RECOVERY_RETRY_MS;
    }
}
