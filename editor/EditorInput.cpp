// The editor's input: keys through the key table (EditorKeys), and the mouse on the panel, the
// stage and the timeline.
#include <algorithm>
#include <cmath>

#include "actors/Actor.h"
#include "editor/Editor.h"
#include "platform/Ticks.h"
#include "states/PropertyRows.h"

using namespace irr;

core::vector2df Editor::scenePoint(int x, int y) const {
    return windowToScene(layout, core::vector2df(f32(x), f32(y)));
}

void Editor::dragSelection(const core::vector2df& d) {
    if (!play.draggedActor() || play.playing()) return;
    play.draggedActor()->moveFrom(play.currentFrame(), d);
}

bool Editor::keyDown(const SEvent::SKeyInput* key) {
    const EditorKey* entry = editorKeyFor(*key);
    if (entry && runCommand(entry->command, *key)) return true;
    // Any other key works the focused widget, at once.
    beginEdit();
    play.ui().setKeyEvent(StateAccess::keyEventOf(key));
    runPanel(false);
    play.ui().setKeyEvent(UiKeyEvent());
    settleEdit();
    return true;
}

bool Editor::runCommand(EditorCommand command, const SEvent::SKeyInput& key) {
    switch (command) {
        case EditorCommand::Quit: requestQuit(); return true;
        case EditorCommand::Save: save(); return true;
        case EditorCommand::Undo: undo(); return true;
        case EditorCommand::Redo: redo(); return true;
        case EditorCommand::PlayStop:
            // While a calibration runs, Space is its tap.
            if (calibration)
                tapCalibration();
            else
                togglePlayback();
            return true;
        case EditorCommand::CountIn:
            countInOn = !countInOn;
            status.tell(countInOn ? "Count-in on: one bar of clicks, two a beat, before each take"
                                  : "Count-in off: takes start at once");
            return true;
        case EditorCommand::Calibrate: startCalibration(); return true;
        case EditorCommand::RecStop: toggleRecording(); return true;
        case EditorCommand::RecHalfSpeed: toggleRecording(TAKE_HALF_SPEED); return true;
        case EditorCommand::Rewind: seek(0); return true;
        case EditorCommand::Help: showHelp = !showHelp; return true;
        case EditorCommand::OnionSkin: onion = !onion; return true;
        case EditorCommand::FrameBack: stepPlayhead(-1); return true;
        case EditorCommand::FrameForward: stepPlayhead(1); return true;
        case EditorCommand::BeatBack: stepBeat(false); return true;
        case EditorCommand::BeatForward: stepBeat(true); return true;
        case EditorCommand::RangeIn: setRangeEnd(true); return true;
        case EditorCommand::RangeOut: setRangeEnd(false); return true;
        case EditorCommand::Hold:
        case EditorCommand::Smooth:
        case EditorCommand::Repeat: editRange(command); return true;
        case EditorCommand::Copy: copyRange(); return true;
        case EditorCommand::Paste: pasteClip(); return true;
        case EditorCommand::Loop: toggleLoop(); return true;
        case EditorCommand::SetEnd:
        case EditorCommand::ClearEnd: setEnd(command == EditorCommand::ClearEnd); return true;
        case EditorCommand::BeatsEarlier:
        case EditorCommand::BeatsLater:
            if (!beats.empty()) {
                const long step = key.Shift ? BEAT_SHIFT_FINE_MS : BEAT_SHIFT_MS;
                setBeats(shiftBeats(beats, command == EditorCommand::BeatsEarlier ? -step : step));
            }
            return true;
        case EditorCommand::BeatsSlower:
        case EditorCommand::BeatsFaster:
            if (beats.size() >= 2) {
                const double step = key.Shift ? BEAT_PERIOD_NUDGE_FINE_MS : BEAT_PERIOD_NUDGE_MS;
                setBeats(retimeBeats(beats, command == EditorCommand::BeatsSlower ? step : -step));
            }
            return true;
        case EditorCommand::RigPivot:
        case EditorCommand::RigHang:
        case EditorCommand::RigUnhang: {
            // The pivot and parent of the selection, the pointer on the stage; the rig declines
            // (no selection, a take, a button held) and the key then works the widgets.
            std::string said;
            beginEdit();
            const bool used = play.rigKey(&key, lastScene, said);
            settleEdit();
            if (!said.empty()) status.tell(said);
            return used;
        }
        case EditorCommand::LayerUp:
        case EditorCommand::LayerDown:
            if (!play.selectedActor() || play.recording() || play.ui().isMouseDown()) return false;
            beginEdit();
            moveSelection(command == EditorCommand::LayerUp ? 1 : -1);
            settleEdit();
            return true;
        case EditorCommand::HideShow:
        case EditorCommand::LockUnlock:
            if (!play.selectedActor() || play.ui().isMouseDown()) return false;
            beginEdit();
            if (command == EditorCommand::HideShow)
                toggleHidden(play.selectedActor());
            else
                toggleLocked(play.selectedActor());
            settleEdit();
            return true;
        case EditorCommand::FitStage:
            fitStage();
            return true;
        case EditorCommand::Dance:
        case EditorCommand::DanceOwn: {
            const std::pair<int, int> span = danceSpan();
            danceSelection(command == EditorCommand::DanceOwn, span.first, span.second);
            return true;
        }
    }
    return false;
}

void Editor::mouseDown(const SEvent::SMouseInput* mouse) {
    updateLayout();
    const float x = f32(mouse->X), y = f32(mouse->Y);
    // The middle button on the stage pans it, and does nothing else.
    if (mouse->Event == EMIE_MMOUSE_PRESSED_DOWN && layout.stageArea.contains(x, y) && !showHelp &&
        !play.ui().isMouseDown()) {
        panning = true;
        panFrom.set(x, y);
        return;
    }
    // Shift and the left button on the song or the lanes set the range.
    if (mouse->Event == EMIE_LMOUSE_PRESSED_DOWN && mouse->Shift && !showHelp && !play.ui().isMouseDown() &&
        play.frameCount() > 1 && (layout.wave.contains(x, y) || layout.lanes.contains(x, y))) {
        rangeDragging = true;
        dragRange(x, true);
        return;
    }
    beginEdit();
    UiContext& ui = play.ui();
    ui.setMousePosition(mouse->X, mouse->Y);
    ui.pressMouse();
    runPanel(false);
    play.setUiOwnsMouse(ui.activeId() >= 0);
    onStage = !play.uiOwnsMouse() && layout.stageArea.contains(x, y) && !showHelp;
    if (!play.uiOwnsMouse() && (layout.wave.contains(x, y) || layout.lanes.contains(x, y)) && !showHelp)
        seek(int(std::floor(frameAtX(x))));
    // The drag starts anywhere on the stage; it need not be on the actor. A locked actor is
    // not moved on the stage.
    Actor* selected = play.selectedActor();
    lockedDrag = selected && onStage && selected->locked;
    if (selected && onStage && !lockedDrag) play.setDraggedActor(selected);
    keepPointerEvent(mouse->X, mouse->Y, true);
    if (take) {
        // In a take the drag's frames are written as the pointer's path reaches their moments.
        if (play.draggedActor()) {
            takeDrags.push_back(TakeDrag{play.draggedActor(), StateAccess::turnsOnPress(mouse)});
            take->beginDrag(steadyClockMs());
        } else if (!play.uiOwnsMouse() && !showHelp && !lockedDrag) {
            (onStage ? takePressUnselected : takePressOffStage) = true;
        }
    } else {
        play.rigPress(mouse);  // the right button or Shift turns
    }
    play.setPressPosition(mouse->X, mouse->Y);
    lastScene = scenePoint(mouse->X, mouse->Y);
    // A name held in the layer list moves up and down the drawing order with the pointer.
    const int row = layerRowAt(x, y);
    layerDragged = row >= 0 && layout.layerName(row).contains(x, y) && !play.playing() && !play.recording()
                       ? layerActor(row)
                       : nullptr;
    scrubMusic();
}

void Editor::mouseMove(const SEvent::SMouseInput* mouse) {
    const core::vector2df at(f32(mouse->X), f32(mouse->Y));
    if (rangeDragging) {
        dragRange(at.X, false);
        return;
    }
    if (panning) {
        view = pannedView(layout, view, at - panFrom);
        panFrom = at;
        updateLayout();
        lastScene = scenePoint(mouse->X, mouse->Y);
        play.setMousePosition(mouse->X, mouse->Y);
        return;
    }
    play.ui().setMousePosition(mouse->X, mouse->Y);
    if (play.ui().isMouseDown()) runPanel(false);
    if (layerDragged && play.ui().isMouseDown()) {
        // Above or below the list: the first or last row shown.
        const float y = std::max(layout.layers.y, std::min(at.Y, layout.layers.y + layout.layers.height - 1.f));
        const int row = layerRowAt(layout.layers.x + 1.f, y);
        if (row >= 0) moveToLayerRow(layerDragged, layerScroll + row);
    }
    if (lockedDrag && play.ui().isMouseDown()) {
        // Said once a press becomes a drag: a click on the stage is no attempt to move it.
        const float dx = at.X - f32(play.pressPosition().X), dy = at.Y - f32(play.pressPosition().Y);
        if (dx * dx + dy * dy > f32(CLICK_SLOP_SQUARED) && play.selectedActor()) {
            status.tell(play.selectedActor()->name + " is locked and does not move on the stage: K unlocks it");
            lockedDrag = false;
        }
    }
    const core::vector2df p = scenePoint(mouse->X, mouse->Y);
    keepPointerEvent(mouse->X, mouse->Y, play.ui().isMouseDown());
    // A turn, or a move of an actor with a parent or children, goes through the rig; in a take
    // the frames are written from the pointer's path instead, and a punch-in's pre-roll moves
    // nothing (its take starts at in).
    if (!take && !(punch && countInRunning) && play.draggedActor() && (play.playing() || !play.rigDrag(lastScene, p)))
        dragSelection(p - lastScene);
    lastScene = p;
    play.setMousePosition(mouse->X, mouse->Y);
    scrubMusic();
}

void Editor::mouseUp(const SEvent::SMouseInput* mouse) {
    if (panning && mouse->Event == EMIE_MMOUSE_LEFT_UP) {
        panning = false;
        return;
    }
    if (rangeDragging && mouse->Event == EMIE_LMOUSE_LEFT_UP) {
        rangeDragging = false;
        dragRange(f32(mouse->X), false);
        status.tell("Range: " + rangeText());
        return;
    }
    keepPointerEvent(mouse->X, mouse->Y, false);
    if (take) take->endDrag(steadyClockMs());
    play.ui().setMousePosition(mouse->X, mouse->Y);
    play.ui().releaseMouse();
    runPanel(false);
    scrubMusic();
    play.setDraggedActor(nullptr);
    // A take's drag ends in the rig once its last frame is written.
    if (!take) play.rig().endDrag();
    if (layerDragged && !play.playing()) play.select(layerDragged);  // the row held is the one worked on
    layerDragged = nullptr;
    settleEdit();
    if (play.playing() || play.uiOwnsMouse() || !onStage) return;
    const float dx = f32(mouse->X - play.pressPosition().X);
    const float dy = f32(mouse->Y - play.pressPosition().Y);
    if (dx * dx + dy * dy > f32(CLICK_SLOP_SQUARED)) return;  // a drag, not a click
    // The topmost actor drawn at the pointer (hidden and locked ones aside); again: the next.
    play.pickDrawnAt(scenePoint(mouse->X, mouse->Y));
}

void Editor::mouseWheel(const SEvent::SMouseInput* mouse) {
    const float x = f32(mouse->X), y = f32(mouse->Y);
    if (mouse->Control && layout.stageArea.contains(x, y) && !showHelp) {
        // Zoom around the pointer: the scene point under it stays there.
        view = zoomedView(layout, view, core::vector2df(x, y), mouse->Wheel > 0);
        updateLayout();
        lastScene = scenePoint(mouse->X, mouse->Y);
        return;
    }
    if (layout.layers.contains(x, y)) {
        layerScroll -= mouse->Wheel > 0 ? 1 : -1;
        const int maxScroll = std::max(0, int(play.actors().size()) - layout.visibleLayerRows());
        layerScroll = std::max(0, std::min(layerScroll, maxScroll));
        return;
    }
    if (!layout.timeline.contains(x, y) || play.frameCount() < 2) return;
    // Zoom around the frame under the pointer: it stays under the pointer.
    const double width = std::max(1.f, layout.wave.width);
    const double anchor = frameAtX(x);
    const double whole = double(play.frameCount()) / width;
    double fpp = framesPerPixel > 0.0 ? framesPerPixel : whole;
    fpp = mouse->Wheel > 0 ? fpp / TIMELINE_ZOOM_STEP : fpp * TIMELINE_ZOOM_STEP;
    fpp = std::max(1.0 / TIMELINE_MAX_PIXELS_PER_FRAME, fpp);
    framesPerPixel = fpp >= whole ? 0.0 : fpp;
    viewStart = anchor - double(x - layout.wave.x) * (framesPerPixel > 0.0 ? framesPerPixel : whole);
    clampView();
}
