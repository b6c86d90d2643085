// The rig's hooks for the editing mode (editor/): rig.txt read at start and written by "Save",
// drags handed to the rig (moves with descendants, turns about the pivot), the rigged actors
// shown as playback shows them, and the rig drawn over the stage. Without the editing mode
// none of these is called.
#include <cstdio>

#include "actors/Actor.h"
#include "app/Application.h"
#include "states/MainState.h"

using namespace irr;

void MainState::loadRig() {
    rigEditing.setFolder(paths.actorFolder);
    rigEditing.load(actors);
}

void MainState::saveRig(SaveReport& report) {
    std::string error;
    if (rigEditing.save(actors, error)) return;
    report.failures.push_back(error);
    std::fprintf(stderr, "Not saved: %s\n", error.c_str());
}

bool MainState::turnsOnPress(const SEvent::SMouseInput* mouse) {
    return mouse->Event == EMIE_RMOUSE_PRESSED_DOWN || mouse->Shift;
}

void MainState::rigPress(const SEvent::SMouseInput* mouse) {
    if (!draggedActor) return;
    rigEditing.beginDrag(draggedActor, turnsOnPress(mouse));
}

bool MainState::rigDrag(const core::vector2df& fromScene, const core::vector2df& toScene) {
    return rigEditing.drag(actors, currentFrame, frameCount, fromScene, toScene);
}

void MainState::rigShownPose(const Actor* actor, core::vector2df& position, ActorPose& shown) const {
    const int index = rigActorIndex(actors, actor);
    if (index < 0 || !rigLinked(actors, rigEditing.rig(), std::size_t(index))) return;
    shown = rigEditing.editedPose(actors, actor, currentFrame);
    position = shown.position;
}

core::vector2df MainState::rigPosition(const Actor* actor) const {
    return rigEditing.editedPose(actors, actor, currentFrame).position;
}

bool MainState::rigKey(const SEvent::SKeyInput* key, const core::vector2df& m, std::string& said) {
    if (key->Control || !selectedActor || recording || ui.isMouseDown()) return false;
    if (key->Key != KEY_KEY_P && key->Key != KEY_KEY_H && key->Key != KEY_KEY_U) return false;
    const std::string& name = selectedActor->name;
    if (key->Key == KEY_KEY_P) {
        if (rigEditing.setPivotAt(actors, selectedActor, currentFrame, m)) {
            const RigJoint* joint = rigEditing.rig().find(name);
            char at[64];
            std::snprintf(at, sizeof at, "%.0f, %.0f px", double(joint->pivotX), double(joint->pivotY));
            said = "pivot of " + name + " at " + at;
        } else {
            said = name + ": no pivot there (the picture is flat at this frame)";
            rigEditing.tell(said);
        }
        return true;
    }
    const std::string before = rigEditing.rig().parentOf(name);
    if (key->Key == KEY_KEY_U) {
        std::string why;
        rigEditing.setParent(selectedActor, nullptr, why);
        said = before.empty() ? name + " hangs from nothing" : name + " no longer hangs from " + before;
        return true;
    }
    // H hangs the selection from the actor drawn topmost under the pointer.
    const Actor* parent = topmostDrawnAt(m, selectedActor);
    if (!parent) {
        said = "H: no actor is drawn under the pointer for " + name + " to hang from";
        return true;
    }
    std::string why;
    if (rigEditing.setParent(selectedActor, parent, why)) {
        said = name + " hangs from " + parent->name;
    } else {
        said = why;
        rigEditing.tell(why);
    }
    return true;
}

void MainState::drawRigOverlay() {
    if (!app) return;
    const irr::core::dimension2du picture(irr::u32(app->screenWidth()), irr::u32(app->screenHeight()));
    rigEditing.drawOverlay(app->renderer(), picture, actors, selectedActor, currentFrame);
}
