// The editing mode (see Editor.h).
//
// Edit rule: an edit opens at a mouse press or a key press (a copy of every actor's track
// and flags) and closes once no button is held and nothing is being recorded; so a drag, a
// slider or check-box change, "Reset>>" and a whole recorded take ("Rec" to "Stop") are one
// undo step each. Every closed edit that changed something leaves the work unsaved until the
// next successful "Save", and is written to the recovery file soon after.
#include "editor/Editor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "actors/Actor.h"
#include "app/Application.h"
#include "app/SceneScreen.h"
#include "platform/X11Display.h"
#include "render/Image.h"
#include "render/Renderer2D.h"
#include "states/MainState.h"
#include "states/PropertyRows.h"
#include "text/BitmapFont.h"
#include "text/Utf8.h"
#include "ui/ButtonSkin.h"
#include "ui/SliderSkin.h"

using namespace irr;

namespace {

constexpr float LABEL_SCALE = EDITOR_LABEL_SCALE;
// Colours (0xAARRGGBB).
constexpr u32 PANEL_COLOUR = 0xFF2B3340;
constexpr u32 STAGE_COLOUR = 0xFFAACCEE;  // the scene's own background
constexpr u32 WAVE_BACK_COLOUR = 0xFF1E242D;
constexpr u32 WAVE_COLOUR = 0xFF6F9FD0;
constexpr u32 BEAT_COLOUR = 0xC0F0C040;
constexpr u32 PLAYHEAD_COLOUR = 0xFFFF5050;
constexpr u32 TEXT_COLOUR = 0xFFFFFFFF;
constexpr u32 DIM_TEXT_COLOUR = 0xFFB0B8C8;
constexpr u32 WARN_TEXT_COLOUR = 0xFFFFC070;
constexpr u32 SELECTED_ROW_COLOUR = 0xFF4A6A9A;
constexpr u32 OUTLINE_COLOUR = 0xFFFF00FF;
constexpr u32 HELP_BACK_COLOUR = 0xE0101418;
constexpr u32 PLAY_TEXT = 0xFFAAFFAA;
constexpr u32 REC_TEXT = 0xFFFFAAAA;
constexpr u32 RESET_TEXT = 0xFFFFAAFF;
// Alpha of the onion skin's nearest pose; farther ones fade further.
constexpr float ONION_ALPHA = 0.35f;
// Outline of the selected actor, in pixels.
constexpr float OUTLINE_WIDTH = 2.f;
// Widget id blocks: the tool bar from 0, the timeline, the properties, the layers.
constexpr int TIMELINE_ID_BLOCK = 1000;
constexpr int PROPERTY_ID_BLOCK = 2000;
constexpr int LAYER_ID_BLOCK = 3000;
// Room for a formatted line.
constexpr int LINE_SIZE = 256;
// The keys and mouse actions, as F1 shows them.
const char* const HELP_LINES[] = {
    "Keys and mouse",
    "Click an actor on the stage or its name in Layers: select it",
    "  (click again where actors overlap: the next one)",
    "Drag on the stage: move the selected actor from this frame on (with what hangs from it)",
    "Right-drag or Shift+drag on the stage: turn it about its pivot (with what hangs from it)",
    "P: its pivot under the pointer    H: hang it from the actor under the pointer    U: unhang",
    "Space: Play / Stop    R: Rec / Stop    Home: frame 0",
    "Ctrl+S: Save    Ctrl+Z: Undo    Ctrl+Shift+Z, Ctrl+Y: Redo",
    "O: onion skin (the selected actor before and after)",
    "[ ]: shift the beats (Shift: finer)    - =: slower / faster beats",
    "Timeline: click or drag to go to a frame (the music plays",
    "  while the thumb is held); the wheel zooms, over Layers it scrolls",
    "Tab, Shift+Tab: next / previous control; Return presses it;",
    "  arrows move a slider",
    "Escape or closing the window: quit (unsaved edits: twice in 3 s)",
    "F1: show or hide this list",
};

}  // namespace

void enableEditing(MainState& state) { state.setExtension(std::make_unique<Editor>(state)); }

Editor::Editor(MainState& s) : state(s), writer(recoveryFilePath(s.paths.actorFolder)) {}

Editor::~Editor() {
    delete toolSkin;
    delete layerSkin;
}

u32 Editor::now() const {
    IrrlichtDevice* device = state.app ? state.app->device() : nullptr;
    return device && device->getTimer() ? device->getTimer()->getRealTime() : 0;
}

void Editor::updateLayout() {
    if (!state.app) return;
    const Image* button = state.images.size() > SKIN_BUTTON ? state.images[SKIN_BUTTON] : nullptr;
    const Image* thumb =
        state.images.size() > SKIN_SLIDER_THUMB ? state.images[SKIN_SLIDER_THUMB] : nullptr;
    if (button && thumb && state.checkBoxSkin && state.font)
        metrics = editorMetrics(button->width(), button->height(), thumb->height(),
                                state.checkBoxSkin->width(), state.checkBoxSkin->height(),
                                float(state.font->lineHeight()));
    layout = computeEditorLayout(state.app->screenWidth(), state.app->screenHeight(), metrics);
}

void Editor::enter() {
    IrrlichtDevice* device = state.app ? state.app->device() : nullptr;
    if (device)
        if (gui::ICursorControl* cursor = device->getCursorControl()) cursor->setVisible(true);
    // The state's folders are known by now (they may have been set after this editor was made).
    writer.setPath(recoveryFilePath(state.paths.actorFolder));
    state.GameState::enter();
    state.currentFrame = 0;
    state.playing = false;
    state.recording = false;
    if (!toolSkin && state.images.size() > SKIN_BUTTON_HOT_ACTIVE) {
        toolSkin = new ButtonSkin(state.font, state.images[SKIN_BUTTON],
                                  state.images[SKIN_BUTTON_HOT], state.images[SKIN_BUTTON_ACTIVE],
                                  state.images[SKIN_BUTTON_HOT_ACTIVE]);
        toolSkin->setScale(EDITOR_BUTTON_SCALE);
        toolSkin->setTextScale(EDITOR_BUTTON_SCALE);
        layerSkin = new ButtonSkin(state.font, nullptr, nullptr, nullptr, nullptr);
        layerSkin->setTextScale(LABEL_SCALE);
        layerSkin->setTextAlign(ALIGN_CENTRE_Y);  // left, centred vertically
    }
    updateLayout();
    if (state.app)
        state.app->setCloseGuard([this] { return requestQuit(); });
    wave.start(state.paths.musicFile, FRAMES_PER_SECOND);
    beatLoader.start(state.paths.musicFile);
    status = "F1 shows every key and mouse action";
    restoreRecovery();
    // What the rig file held that could not be used (also on stderr, each line).
    const std::vector<std::string>& rigMessages = state.rigEditing.messages();
    if (!rigMessages.empty()) {
        status = rigMessages.front();
        if (rigMessages.size() > 1) status += " (and " + std::to_string(rigMessages.size() - 1) + " more on stderr)";
    }
}

void Editor::restoreRecovery() {
    if (state.rigEditing.restoreRecovery(state.actors)) {
        dirty = true;
        status = "Restored the unsaved rig of the last session; Ctrl+S saves it";
        std::fprintf(stderr, "tumelora: %s (%s)\n", status.c_str(), state.rigEditing.recoveryPath().c_str());
    }
    std::ifstream in(writer.path(), std::ios::binary);
    if (!in) return;
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    RecoverySnapshot snapshot;
    std::string error;
    if (!decodeRecovery(bytes.data(), bytes.size(), snapshot, error)) {
        // Kept aside, never overwritten: it may still hold work someone wants back.
        const std::string aside = writer.path() + ".damaged";
        std::rename(writer.path().c_str(), aside.c_str());
        status = "Recovery file refused (" + error + "); kept as " + aside;
        std::fprintf(stderr, "tumelora: %s: %s; kept as %s\n", writer.path().c_str(),
                     error.c_str(), aside.c_str());
        return;
    }
    int restored = 0;
    for (const RecoveredActor& r : snapshot.actors) {
        for (Actor* actor : state.actors) {
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
    state.frameCount = std::max(1, int(snapshot.frameCount));
    for (const Actor* actor : state.actors)
        state.frameCount = std::max(state.frameCount, int(actor->poses.size()));
    dirty = true;
    char line[LINE_SIZE];
    std::snprintf(line, sizeof line,
                  "Restored the unsaved edits of the last session (%d actors changed); Ctrl+S saves them",
                  restored);
    status = line;
    std::fprintf(stderr, "tumelora: %s (%s)\n", line, writer.path().c_str());
}

void Editor::leave() {
    if (state.app) state.app->setCloseGuard(nullptr);
    if (hasUnsavedEdits() && !discardConfirmed) {
        writeRecovery();
        writer.finish();
        const std::string error = writer.lastError();
        if (!error.empty()) std::fprintf(stderr, "tumelora: %s\n", error.c_str());
        else
            std::fprintf(stderr, "tumelora: unsaved edits kept in %s\n", writer.path().c_str());
    }
}

void Editor::shutdown() {
    wave.stop();
    beatLoader.cancel();
    writer.finish();
}

bool Editor::hasUnsavedEdits() const { return dirty || state.recording; }

void Editor::writeRecovery() {
    RecoverySnapshot snapshot;
    snapshot.frameCount = state.frameCount;
    for (const Actor* actor : state.actors) {
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
    if (!state.rigEditing.writeRecovery(state.actors, rigError))
        std::fprintf(stderr, "tumelora: %s\n", rigError.c_str());
    recoveryDue = false;
}

void Editor::takeBeats() {
    if (beatsTaken || !beatLoader.ready()) return;
    beatsTaken = true;
    beats = beatLoader.beats;
    if (beatLoader.message.empty()) return;
    std::fprintf(stderr, "tumelora: %s\n", beatLoader.message.c_str());
    if (!dirty && !quitArmed) status = beatLoader.message;
}

void Editor::waitForBeats() {
    beatLoader.stop();
    takeBeats();
}

void Editor::setBeats(std::vector<long> grid) {
    if (grid.empty()) return;
    beats = std::move(grid);
    const std::string path = beatsPathOf(state.paths.musicFile);
    std::string error;
    char line[LINE_SIZE];
    const double period = beatPeriodMs(beats);
    std::snprintf(line, sizeof line, "Beat grid: first beat at %ld ms, a beat every %.1f ms (%.2f BPM)",
                  beats.front(), period, period > 0.0 ? 60000.0 / period : 0.0);
    status = line;
    if (!writeBeatsFile(path, beats, error)) {
        status += "; " + error;
        std::fprintf(stderr, "tumelora: %s\n", error.c_str());
    }
}

void Editor::afterUpdate() {
    takeBeats();
    const u32 t = now();
    if (state.recording) {
        if (int32_t(t - nextTakeWrite) >= 0) {
            writeRecovery();
            nextTakeWrite = t + RECOVERY_TAKE_INTERVAL_MS;
        }
    } else if (recoveryDue && int32_t(t - recoveryDueAt) >= 0 && !history.isOpen()) {
        writeRecovery();
    }
    if (quitArmed && t - quitArmedAt > QUIT_CONFIRM_MS) quitArmed = false;
    // The timeline pages along with the playhead.
    const double shown = visibleFrames();
    if ((state.playing || state.recording) &&
        (state.currentFrame < viewStart || state.currentFrame >= viewStart + shown)) {
        viewStart = state.currentFrame;
        clampView();
    }
}

// --- Edits, saving and quitting ------------------------------------------------------------

void Editor::beginEdit() { history.begin(state.actors, state.frameCount, state.rigEditing.snapshot()); }

void Editor::settleEdit() {
    if (!history.isOpen() || state.ui.isMouseDown() || state.recording) return;
    if (history.commit(state.actors, state.frameCount, state.rigEditing.snapshot())) {
        dirty = true;
        recoveryDue = true;
        recoveryDueAt = now() + RECOVERY_SETTLE_DELAY_MS;
        quitArmed = false;
    }
}

bool Editor::undo() { return stepHistory(false); }

bool Editor::redo() { return stepHistory(true); }

bool Editor::stepHistory(bool forward) {
    if (state.recording || state.ui.isMouseDown()) return false;
    settleEdit();
    std::string rig = state.rigEditing.snapshot();
    const bool stepped = forward ? history.redo(state.actors, state.frameCount, &rig)
                                 : history.undo(state.actors, state.frameCount, &rig);
    if (!stepped) return false;
    state.rigEditing.restore(rig);
    if (state.currentFrame > state.frameCount - 1) state.currentFrame = state.frameCount - 1;
    state.draggedActor = nullptr;
    dirty = true;
    recoveryDue = true;
    recoveryDueAt = now() + RECOVERY_SETTLE_DELAY_MS;
    return true;
}

void Editor::save() {
    const SaveReport report = state.saveActors();
    char line[LINE_SIZE];
    if (report.failures.empty()) {
        std::snprintf(line, sizeof line, "Saved %d actors", report.saved);
        status = line;
        dirty = false;
        recoveryDue = false;
        quitArmed = false;
        writer.remove();
        state.rigEditing.removeRecovery();
        return;
    }
    std::snprintf(line, sizeof line, "Saved %d actors; %d could not be saved: ", report.saved,
                  int(report.failures.size()));
    status = line;
    for (size_t i = 0; i < report.failures.size(); ++i) {
        if (i) status += "; ";
        status += report.failures[i];  // saveActors has named each on stderr
    }
    // What could not be written stays in the recovery file.
    writeRecovery();
}

bool Editor::requestQuit() {
    if (!hasUnsavedEdits()) {
        writer.remove();
        state.rigEditing.removeRecovery();
        discardConfirmed = true;
        if (state.app) state.app->setRunning(false);
        return true;
    }
    const u32 t = now();
    if (quitArmed && t - quitArmedAt <= QUIT_CONFIRM_MS) {
        discardConfirmed = true;
        writer.remove();
        state.rigEditing.removeRecovery();
        writer.finish();
        if (state.app) state.app->setRunning(false);
        return true;
    }
    quitArmed = true;
    quitArmedAt = t;
    status = "Unsaved changes: Ctrl+S saves them; press Escape or close again within 3 s to "
             "quit without saving";
    std::fprintf(stderr, "tumelora: unsaved changes: not quitting\n");
    return false;
}

// --- Playback --------------------------------------------------------------------------------

void Editor::togglePlayback() {
    beginEdit();  // may end a take
    if (state.recording || state.playing) {
        FSOUND_Stream_Stop(musicStream);
        state.recording = false;
        state.playing = false;
    } else {
        state.startMusicAtCurrentFrame();
        state.playing = true;
    }
    scrubbing = false;
    settleEdit();
}

void Editor::toggleRecording() {
    beginEdit();
    if (state.recording) {
        FSOUND_Stream_Stop(musicStream);
        state.recording = false;
    } else if (!state.playing) {
        state.startMusicAtCurrentFrame();
        state.recording = true;
        nextTakeWrite = now() + RECOVERY_TAKE_INTERVAL_MS;
    }
    scrubbing = false;
    settleEdit();
}

void Editor::seek(int frame) {
    frame = std::max(0, std::min(frame, state.frameCount - 1));
    if (frame == state.currentFrame) return;
    state.currentFrame = frame;
    state.seekMusicToCurrentFrame();
    // A frame out of the timeline's view (Home, say) brings the view to it.
    const double shown = visibleFrames();
    if (frame < viewStart || frame >= viewStart + shown) {
        viewStart = frame - shown / 2.0;
        clampView();
    }
}

void Editor::scrubMusic() {
    const bool held = state.frameCount > 1 && state.ui.isMouseDown() &&
                      state.ui.activeId() == TIMELINE_ID_BLOCK + 1 && !state.playing &&
                      !state.recording;
    if (held && !scrubbing) {
        state.startMusicAtCurrentFrame();
        scrubbing = true;
    } else if (!held && scrubbing) {
        scrubbing = false;
        if (!state.playing && !state.recording) FSOUND_Stream_Stop(musicStream);
    }
}

// --- Timeline view ---------------------------------------------------------------------------

double Editor::visibleFrames() const {
    const double width = std::max(1.f, layout.wave.width);
    if (framesPerPixel <= 0.0) return double(state.frameCount);
    return std::min(double(state.frameCount), framesPerPixel * width);
}

void Editor::clampView() {
    const double shown = visibleFrames();
    viewStart = std::max(0.0, std::min(viewStart, double(state.frameCount) - shown));
}

double Editor::frameAtX(float x) const {
    return viewStart + double(x - layout.wave.x) / double(std::max(1.f, layout.wave.width)) *
                           visibleFrames();
}

float Editor::xOfFrame(double frame) const {
    return layout.wave.x +
           float((frame - viewStart) / visibleFrames() * double(layout.wave.width));
}

// --- Input -----------------------------------------------------------------------------------

core::vector2df Editor::scenePoint(int x, int y) const {
    return windowToScene(layout, core::vector2df(f32(x), f32(y)));
}

void Editor::dragSelection(const core::vector2df& d) {
    if (!state.draggedActor || state.playing) return;
    ActorPose delta;  // rotation 0, scale (0, 0)
    delta.position = d;
    state.draggedActor->offsetPoses(state.currentFrame, delta, true);
}

bool Editor::keyDown(const SEvent::SKeyInput* key) {
    if (key->Key == KEY_ESCAPE) {
        requestQuit();
        return true;
    }
    if (key->Control && key->Key == KEY_KEY_S) {
        save();
        return true;
    }
    if (key->Control && (key->Key == KEY_KEY_Z || key->Key == KEY_KEY_Y)) {
        if (key->Key == KEY_KEY_Y || key->Shift)
            redo();
        else
            undo();
        return true;
    }
    if (!key->Control) {
        switch (key->Key) {
            case KEY_SPACE: togglePlayback(); return true;
            case KEY_KEY_R: toggleRecording(); return true;
            case KEY_HOME: seek(0); return true;
            case KEY_F1: showHelp = !showHelp; return true;
            case KEY_KEY_O: onion = !onion; return true;
            case KEY_OEM_4:  // [
            case KEY_OEM_6:  // ]
                if (!beats.empty()) {
                    const long step = key->Shift ? BEAT_SHIFT_FINE_MS : BEAT_SHIFT_MS;
                    setBeats(shiftBeats(beats, key->Key == KEY_OEM_4 ? -step : step));
                }
                return true;
            case KEY_MINUS:
            case KEY_PLUS:  // the = key
                if (beats.size() >= 2) {
                    const double step = key->Shift ? BEAT_PERIOD_NUDGE_FINE_MS : BEAT_PERIOD_NUDGE_MS;
                    setBeats(retimeBeats(beats, key->Key == KEY_MINUS ? step : -step));
                }
                return true;
            default: break;
        }
    }
    // The rig's keys (pivot and parent of the selection, the pointer on the stage).
    const std::size_t told = state.rigEditing.messages().size();
    beginEdit();
    const bool rigKey = state.rigKey(key, lastScene);
    settleEdit();
    if (state.rigEditing.messages().size() > told) status = state.rigEditing.messages().back();
    if (rigKey) return true;
    // Any other key works the focused widget, at once.
    beginEdit();
    state.ui.setKeyEvent(MainState::keyEventOf(key));
    runPanel(false);
    state.ui.setKeyEvent(UiKeyEvent());
    settleEdit();
    return true;
}

void Editor::mouseDown(const SEvent::SMouseInput* mouse) {
    updateLayout();
    beginEdit();
    state.ui.setMousePosition(mouse->X, mouse->Y);
    state.ui.pressMouse();
    runPanel(false);
    state.uiOwnsMouse = state.ui.activeId() >= 0;
    const float x = f32(mouse->X), y = f32(mouse->Y);
    onStage = !state.uiOwnsMouse && layout.stage.contains(x, y) && !showHelp;
    if (!state.uiOwnsMouse && layout.wave.contains(x, y)) {
        seek(int(std::floor(frameAtX(x))));
    }
    // The drag starts anywhere on the stage; it need not be on the actor.
    if (state.selectedActor && onStage) state.draggedActor = state.selectedActor;
    state.rigPress(mouse);  // the right button or Shift turns
    state.pressPosition.set(mouse->X, mouse->Y);
    lastScene = scenePoint(mouse->X, mouse->Y);
    scrubMusic();
}

void Editor::mouseMove(const SEvent::SMouseInput* mouse) {
    state.ui.setMousePosition(mouse->X, mouse->Y);
    if (state.ui.isMouseDown()) runPanel(false);
    const core::vector2df p = scenePoint(mouse->X, mouse->Y);
    // A turn, or a move of an actor with a parent or children, goes through the rig.
    if (state.draggedActor && (state.playing || !state.rigDrag(lastScene, p))) dragSelection(p - lastScene);
    lastScene = p;
    state.mousePosition.set(mouse->X, mouse->Y);
    scrubMusic();
}

void Editor::mouseUp(const SEvent::SMouseInput* mouse) {
    state.ui.setMousePosition(mouse->X, mouse->Y);
    state.ui.releaseMouse();
    runPanel(false);
    scrubMusic();
    state.draggedActor = nullptr;
    state.rigEditing.endDrag();
    settleEdit();
    if (state.playing || state.uiOwnsMouse || !onStage) return;
    const float dx = f32(mouse->X - state.pressPosition.X);
    const float dy = f32(mouse->Y - state.pressPosition.Y);
    if (dx * dx + dy * dy > f32(CLICK_SLOP_SQUARED)) return;  // a drag, not a click
    state.pickAtScene(scenePoint(mouse->X, mouse->Y));
}

void Editor::mouseWheel(const SEvent::SMouseInput* mouse) {
    const float x = f32(mouse->X), y = f32(mouse->Y);
    if (layout.layers.contains(x, y)) {
        layerScroll -= mouse->Wheel > 0 ? 1 : -1;
        const int maxScroll = std::max(0, int(state.actors.size()) - layout.visibleLayerRows());
        layerScroll = std::max(0, std::min(layerScroll, maxScroll));
        return;
    }
    if (!layout.timeline.contains(x, y) || state.frameCount < 2) return;
    // Zoom around the frame under the pointer: it stays under the pointer.
    const double width = std::max(1.f, layout.wave.width);
    const double anchor = frameAtX(x);
    const double whole = double(state.frameCount) / width;
    double fpp = framesPerPixel > 0.0 ? framesPerPixel : whole;
    fpp = mouse->Wheel > 0 ? fpp / TIMELINE_ZOOM_STEP : fpp * TIMELINE_ZOOM_STEP;
    fpp = std::max(1.0 / TIMELINE_MAX_PIXELS_PER_FRAME, fpp);
    framesPerPixel = fpp >= whole ? 0.0 : fpp;
    viewStart = anchor - double(x - layout.wave.x) * (framesPerPixel > 0.0 ? framesPerPixel : whole);
    clampView();
}

// --- The panel -------------------------------------------------------------------------------

void Editor::runPanel(bool drawPass) {
    if (!toolSkin || !state.sliderSkin || !state.checkBoxSkin) return;
    UiContext& ui = state.ui;
    const bool act = !drawPass;
    ui.beginPass(state.elapsedMs, 0, drawPass);
    ui.setIdCounter(0);
    runToolBar(act);
    ui.setIdCounter(TIMELINE_ID_BLOCK);
    runTimeline(act);
    ui.setIdCounter(PROPERTY_ID_BLOCK);
    runProperties(act, drawPass);
    ui.setIdCounter(LAYER_ID_BLOCK);
    runLayers(act, drawPass);
    ui.endPass();
}

void Editor::runToolBar(bool act) {
    UiContext& ui = state.ui;
    const bool running = state.playing || state.recording;
    auto button = [&](int which, const char* label, u32 colour) {
        toolSkin->setTextColour(ColorRGBA(colour));
        const RectF& r = layout.tools[which];
        return ui.button(r.x, r.y, UI_NO_ID, toolSkin, 0.f, 0.f, label, nullptr) && act;
    };
    if (button(TOOL_PLAY, state.playing ? "Stop" : "Play", PLAY_TEXT)) togglePlayback();
    if (button(TOOL_REWIND, "<<", TEXT_COLOUR) && !running) seek(0);
    if (button(TOOL_REC, state.recording ? "Stop" : "Rec", REC_TEXT)) toggleRecording();
    if (button(TOOL_SAVE, "Save", TEXT_COLOUR)) save();
    if (button(TOOL_UNDO, "Undo", TEXT_COLOUR)) undo();
    if (button(TOOL_REDO, "Redo", TEXT_COLOUR)) redo();
    if (button(TOOL_HELP, "Help", TEXT_COLOUR)) showHelp = !showHelp;
}

void Editor::runTimeline(bool act) {
    if (state.frameCount < 2) return;
    const RectF& r = layout.timelineSlider;
    const int first = int(std::floor(viewStart));
    const int last = std::max(first + 1, std::min(state.frameCount - 1,
                                                  int(std::ceil(viewStart + visibleFrames())) - 1));
    int v = std::max(first, std::min(state.currentFrame, last));
    const int shown = v;
    Image* base = state.images.size() > SKIN_SLIDER_BASE ? state.images[SKIN_SLIDER_BASE] : nullptr;
    if (base && state.ui.isDrawPass()) {
        base->setSize(r.width, r.height);
        base->draw(BLEND_ALPHA, 0, r.x, r.y, nullptr);
    }
    state.ui.sliderInt(r.x, r.y, &v, UI_NO_ID, UI_HORIZONTAL, state.sliderSkin, first, last, 1,
                       r.width, r.height);
    if (act && v != shown) seek(v);
}

void Editor::runProperties(bool act, bool drawPass) {
    Actor* actor = state.selectedActor;
    UiContext& ui = state.ui;
    char line[LINE_SIZE];
    if (!actor) {
        if (drawPass)
            text(layout.actorName.x, layout.actorName.y, "No actor selected", ALIGN_LEFT_TOP,
                 DIM_TEXT_COLOUR);
        return;
    }
    if (drawPass) {
        const std::string name = fitted("Actor: " + actor->name, layout.actorName.width);
        text(layout.actorName.x, layout.actorName.y, name.c_str(), ALIGN_LEFT_TOP, TEXT_COLOUR);
    }
    const ActorPose p = actor->poseAt(state.currentFrame);  // a copy: edits may move the track
    ActorPose e = p;
    // Bound scale: the H row edits W too, and a change of either makes H equal to W. Only a
    // change by the user does this: a pass in which nothing moved changes nothing.
    const bool bound = actor->bindScale;
    const PropertyRow rows[PROP_COUNT] = {
        {&e.position.X, POSITION_MIN, POSITION_MAX, POSITION_STEP, "X", "%.2f", 1.f},
        {&e.position.Y, POSITION_MIN, POSITION_MAX, POSITION_STEP, "Y", "%.2f", 1.f},
        {&e.rotation, ROTATION_MIN, ROTATION_MAX, ROTATION_STEP, "rot", "%.2f", RADIANS_TO_DEGREES},
        {&e.scale.X, SCALE_MIN, SCALE_MAX, SCALE_STEP, "W", "%.3f", 1.f},
        {bound ? &e.scale.X : &e.scale.Y, SCALE_MIN, SCALE_MAX, SCALE_STEP, "H", "%.3f", 1.f},
    };
    Image* base = state.images.size() > SKIN_SLIDER_BASE ? state.images[SKIN_SLIDER_BASE] : nullptr;
    for (int i = 0; i < PROP_COUNT; ++i) {
        const PropertyRow& row = rows[i];
        const EditorPropertyRect& r = layout.props[i];
        if (base && drawPass) {
            base->setSize(r.slider.width, r.slider.height);
            base->draw(BLEND_ALPHA, 0, r.slider.x, r.slider.y, nullptr);
        }
        ui.sliderFloat(r.slider.x, r.slider.y, row.value, UI_NO_ID, UI_HORIZONTAL,
                       state.sliderSkin, row.min, row.max, row.step, r.slider.width,
                       r.slider.height);
        if (drawPass) {
            text(r.label.x, r.label.y, row.label, ALIGN_LEFT_TOP, TEXT_COLOUR);
            const float shown = i == PROP_H ? p.scale.Y : *row.value;
            std::snprintf(line, sizeof line, row.format, double(shown * row.shownAs));
            text(r.value.x + r.value.width, r.value.y, line, ALIGN_RIGHT, TEXT_COLOUR);
        }
    }
    if (bound && e.scale.X != p.scale.X) e.scale.Y = e.scale.X;

    Image* check = state.images.size() > SKIN_CHECKBOX_CHECK ? state.images[SKIN_CHECKBOX_CHECK]
                                                            : nullptr;
    bool bindScale = actor->bindScale, wobble = actor->wobble;
    ui.checkBox(layout.bindScale.x, layout.bindScale.y, &bindScale, UI_NO_ID, state.checkBoxSkin,
                0.f, 0.f, nullptr, check);
    ui.checkBox(layout.wobble.x, layout.wobble.y, &wobble, UI_NO_ID, state.checkBoxSkin, 0.f,
                0.f, nullptr, check);
    toolSkin->setTextColour(ColorRGBA(RESET_TEXT));
    const bool reset = ui.button(layout.reset.x, layout.reset.y, UI_NO_ID, toolSkin, 0.f, 0.f,
                                 "Reset>>", nullptr);
    if (drawPass) {
        text(layout.bindScaleText.x, layout.bindScaleText.y, "Bind scale", ALIGN_LEFT_TOP,
             TEXT_COLOUR);
        text(layout.wobbleText.x, layout.wobbleText.y, "Wobble", ALIGN_LEFT_TOP, TEXT_COLOUR);
    }
    if (!act) return;  // a drawing pass changes nothing
    actor->bindScale = bindScale;
    actor->wobble = wobble;
    if (poseEdited(p, e)) {
        ActorPose d;
        d.position = e.position - p.position;
        d.rotation = e.rotation - p.rotation;
        d.scale = e.scale - p.scale;
        actor->offsetPoses(state.currentFrame, d, true);
    }
    if (reset) {
        // The track ends at the current frame: the actor keeps this pose from here on.
        const int from = state.currentFrame + 1;
        const int n = std::min(state.frameCount, int(actor->poses.size()));
        if (n > from) actor->poses.erase(actor->poses.begin() + from, actor->poses.begin() + n);
    }
}

void Editor::runLayers(bool act, bool drawPass) {
    if (drawPass)
        text(layout.layersTitle.x, layout.layersTitle.y, "Layers (drawing order)",
             ALIGN_LEFT_TOP, DIM_TEXT_COLOUR);
    const int rows = layout.visibleLayerRows();
    const int count = int(state.actors.size());
    layerScroll = std::max(0, std::min(layerScroll, std::max(0, count - rows)));
    for (int i = 0; i < rows && layerScroll + i < count; ++i) {
        Actor* actor = state.actors[size_t(layerScroll + i)];
        const RectF r = layout.layerRow(i);
        if (drawPass && actor == state.selectedActor) fill(r, SELECTED_ROW_COLOUR);
        layerSkin->setTextColour(ColorRGBA(TEXT_COLOUR));
        layerSkin->setTextOffset(EDITOR_GAP, 0.f);
        const std::string name = fitted(actor->name, r.width - 2.f * EDITOR_GAP);
        if (state.ui.button(r.x, r.y, UI_NO_ID, layerSkin, r.width, r.height, name.c_str(),
                            nullptr) &&
            act && !state.playing) {
            state.selectedActor = actor;
        }
    }
}

// --- Drawing ---------------------------------------------------------------------------------

void Editor::fill(const RectF& r, u32 argb) {
    Renderer2D* renderer = state.app ? state.app->renderer() : nullptr;
    if (!renderer || r.width <= 0.f || r.height <= 0.f) return;
    const video::SColor c(argb);
    const core::vector3df n(0.f, 0.f, 0.f);
    const video::S3DVertex corners[4] = {
        video::S3DVertex(core::vector3df(r.x, r.y, 0.f), n, c, core::vector2df(0.f, 0.f)),
        video::S3DVertex(core::vector3df(r.x + r.width, r.y, 0.f), n, c, core::vector2df(1.f, 0.f)),
        video::S3DVertex(core::vector3df(r.x, r.y + r.height, 0.f), n, c, core::vector2df(0.f, 1.f)),
        video::S3DVertex(core::vector3df(r.x + r.width, r.y + r.height, 0.f), n, c,
                         core::vector2df(1.f, 1.f)),
    };
    renderer->addQuad(nullptr, BLEND_ALPHA, 0, corners);
}

void Editor::text(float x, float y, const char* line, int flags, u32 argb) {
    if (!state.font) return;
    const ColorRGBA colour(argb);
    state.font->drawLine(x, y, line, flags, LABEL_SCALE, &colour, -1);
}

std::string Editor::fitted(const std::string& line, float width) const {
    if (!state.font || state.font->textWidth(line.c_str(), LABEL_SCALE, -1) <= width) return line;
    std::string cut = line;
    while (!cut.empty() &&
           state.font->textWidth((cut + "...").c_str(), LABEL_SCALE, -1) > width)
        popLastCharacter(cut);  // whole characters, never part of one
    return cut + "...";
}

void Editor::render(IrrlichtDevice* device) {
    video::IVideoDriver* driver = device ? device->getVideoDriver() : nullptr;
    Renderer2D* renderer = state.app ? state.app->renderer() : nullptr;
    if (!driver || !renderer) return;
    // The window may have been resized: the driver follows it, the layout follows the driver.
    int ww = 0, wh = 0;
    if (currentWindowSize(device, ww, wh) &&
        (u32(ww) != driver->getScreenSize().Width || u32(wh) != driver->getScreenSize().Height))
        driver->OnResize(core::dimension2d<u32>(u32(ww), u32(wh)));
    updateLayout();
    driver->beginScene(true, true, video::SColor(PANEL_COLOUR));
    renderer->beginFrame();
    fill(layout.stage, STAGE_COLOUR);
    renderer->flush();

    // The scene, through a view that maps the player's stage onto the scaled one.
    const float W = float(state.app->screenWidth()), H = float(state.app->screenHeight());
    const float s = layout.stageScale;
    core::matrix4 view;
    view.setScale(core::vector3df(s, s, 1.f));
    view.setTranslation(core::vector3df(layout.stage.x - (W - float(STAGE_WIDTH_PIXELS)) / 2.f * s,
                                        layout.stage.y - (H - float(STAGE_HEIGHT_PIXELS)) / 2.f * s,
                                        0.f));
    driver->setTransform(video::ETS_VIEW, view);
    state.drawActors();
    if (onion) drawOnionSkin();
    state.drawRigOverlay();
    renderer->flush();
    driver->setTransform(video::ETS_VIEW, core::matrix4());

    drawPanelBackground();
    drawSelection();
    drawTimeline();
    runPanel(true);
    drawStatus();
    if (showHelp) drawHelp();
    renderer->endFrame();
    driver->endScene();
    scrubMusic();
}

void Editor::drawPanelBackground() {
    const RectF& st = layout.stage;
    const float W = std::max(layout.windowW, float(state.app->screenWidth()));
    const float H = std::max(layout.windowH, float(state.app->screenHeight()));
    fill(RectF(0.f, 0.f, W, st.y), PANEL_COLOUR);
    fill(RectF(0.f, st.y + st.height, W, H - st.y - st.height), PANEL_COLOUR);
    fill(RectF(0.f, st.y, st.x, st.height), PANEL_COLOUR);
    fill(RectF(st.x + st.width, st.y, W - st.x - st.width, st.height), PANEL_COLOUR);
}

void Editor::drawOnionSkin() {
    Actor* actor = state.selectedActor;
    if (!actor || !actor->image) return;
    const u32 flags = DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y | DRAW_TRANSFORM | DRAW_ROTATE | DRAW_SCALE |
                      DRAW_COLOR | DRAW_ALPHA;
    for (int k = ONION_POSES; k >= 1; --k) {
        const float alpha = ONION_ALPHA * float(ONION_POSES + 1 - k) / float(ONION_POSES);
        for (int sign : {-1, 1}) {
            const int frame = state.currentFrame + sign * k * ONION_FRAME_STEP;
            if (frame < 0 || frame >= state.frameCount) continue;
            const ActorPose& pose = actor->poseAt(frame);
            const core::vector2df at = sceneToScreen(pose.position);
            const u32 tint = sign < 0 ? 0x00FF9090u : 0x0090FF90u;
            const ColorRGBA colour(tint | (u32(alpha * 255.f) << 24));
            actor->image->setRotation(pose.rotation);
            actor->image->setScale(pose.scale.X, pose.scale.Y);
            actor->image->draw(BLEND_ALPHA, flags, at.X, at.Y, &colour, nullptr);
        }
    }
    // The scene's own drawing set these from the eased pose; put them back.
    actor->image->setRotation(actor->current.rotation);
    actor->image->setScale(actor->current.scale.X, actor->current.scale.Y);
}

void Editor::drawSelection() {
    Actor* actor = state.selectedActor;
    if (!actor) return;
    // The hit area of a click: the unscaled picture rectangle centred on the frame's position.
    const core::vector2df c = state.rigPosition(actor);
    const core::vector2df half = actor->size / 2.f;
    const core::vector2df a = sceneToWindow(layout, c - half), b = sceneToWindow(layout, c + half);
    // Clipped to the stage, so that it never covers the panel.
    const float x0 = std::max(a.X, layout.stage.x), y0 = std::max(a.Y, layout.stage.y);
    const float x1 = std::min(b.X, layout.stage.x + layout.stage.width);
    const float y1 = std::min(b.Y, layout.stage.y + layout.stage.height);
    if (x1 <= x0 || y1 <= y0) return;
    const float t = OUTLINE_WIDTH;
    if (a.Y >= y0) fill(RectF(x0, y0, x1 - x0, t), OUTLINE_COLOUR);
    if (b.Y <= y1) fill(RectF(x0, y1 - t, x1 - x0, t), OUTLINE_COLOUR);
    if (a.X >= x0) fill(RectF(x0, y0, t, y1 - y0), OUTLINE_COLOUR);
    if (b.X <= x1) fill(RectF(x1 - t, y0, t, y1 - y0), OUTLINE_COLOUR);
}

void Editor::drawTimeline() {
    const RectF& w = layout.wave;
    fill(w, WAVE_BACK_COLOUR);
    const double shown = visibleFrames();
    if (shown <= 0.0) return;
    // The song's peaks, one bar per pixel column.
    if (wave.ready()) {
        const std::vector<float>& peaks = wave.peaks();
        const float mid = w.y + w.height / 2.f;
        for (int col = 0; col < int(w.width); ++col) {
            const double f0 = frameAtX(w.x + float(col)), f1 = frameAtX(w.x + float(col + 1));
            size_t i0 = size_t(std::max(0.0, std::floor(f0)));
            const size_t i1 = size_t(std::max(0.0, std::ceil(f1)));
            float peak = 0.f;
            for (; i0 < i1 && i0 < peaks.size(); ++i0) peak = std::max(peak, peaks[i0]);
            const float h = peak * (w.height / 2.f - 1.f);
            if (h > 0.f) fill(RectF(w.x + float(col), mid - h, 1.f, 2.f * h), WAVE_COLOUR);
        }
    }
    // Beat markers.
    const double firstMs = viewStart * 1000.0 / FRAMES_PER_SECOND;
    for (auto it = std::lower_bound(beats.begin(), beats.end(), long(firstMs)); it != beats.end(); ++it) {
        const float bx = xOfFrame(double(*it) * FRAMES_PER_SECOND / 1000.0);
        if (bx >= w.x + w.width) break;
        if (bx >= w.x) fill(RectF(bx, w.y, 1.f, w.height), BEAT_COLOUR);
    }
    // Frame ticks when a frame is wide enough to be seen on its own.
    const float frameW = float(double(w.width) / shown);
    if (frameW >= 4.f) {
        for (int f = int(viewStart); f < int(viewStart + shown) + 1; ++f)
            fill(RectF(xOfFrame(f), w.y + w.height - 4.f, 1.f, 4.f), DIM_TEXT_COLOUR);
    }
    // The playhead.
    const float px = xOfFrame(state.currentFrame);
    if (px >= w.x && px < w.x + w.width) fill(RectF(px, w.y, 2.f, w.height), PLAYHEAD_COLOUR);
    // Frame number and time.
    char line[LINE_SIZE];
    const int ms = musicTimeOfFrame(state.currentFrame);
    const double period = beatPeriodMs(beats);
    char tempo[32] = "no beats";
    if (period > 0.0) {
        // In tenths of a beat a minute, kept to what an int holds whatever the grid says.
        const long tenths = std::lround(std::min(600000.0 / period, 1e9));
        std::snprintf(tempo, sizeof tempo, "%ld.%ld BPM", tenths / 10, tenths % 10);
    }
    std::snprintf(line, sizeof line, "Frame %d / %d   %d:%02d.%03d   %s", state.currentFrame,
                  state.frameCount - 1, ms / 60000, (ms / 1000) % 60, ms % 1000, tempo);
    text(layout.timelineText.x, layout.timelineText.y, line, ALIGN_LEFT_TOP, TEXT_COLOUR);
    std::snprintf(line, sizeof line, "%s  wheel: zoom", framesPerPixel > 0.0 ? "zoomed" : "whole song");
    text(layout.timelineText.x + layout.timelineText.width, layout.timelineText.y, line,
         ALIGN_RIGHT, DIM_TEXT_COLOUR);
}

void Editor::drawStatus() {
    const RectF& r = layout.status;
    const bool unsaved = hasUnsavedEdits();
    const char* flag = unsaved ? "Unsaved changes" : "All changes saved";
    text(r.x + r.width, r.y, flag, ALIGN_RIGHT, unsaved ? WARN_TEXT_COLOUR : DIM_TEXT_COLOUR);
    const float room = r.width - (state.font ? state.font->textWidth(flag, LABEL_SCALE, -1) : 0.f) -
                       4.f * EDITOR_GAP;
    // The message, cut to the room left of the flag.
    const std::string shown = fitted(status, room);
    text(r.x, r.y, shown.c_str(), ALIGN_LEFT_TOP, quitArmed ? WARN_TEXT_COLOUR : TEXT_COLOUR);
}

void Editor::drawHelp() {
    const RectF& st = layout.stageArea;
    fill(st, HELP_BACK_COLOUR);
    float y = st.y + EDITOR_GAP;
    for (const char* line : HELP_LINES) {
        text(st.x + EDITOR_GAP, y, line, ALIGN_LEFT_TOP, TEXT_COLOUR);
        y += metrics.textH + EDITOR_GAP;
    }
}
