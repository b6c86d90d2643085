// The editing mode's session (see Editor.h): its start and end, the edits with their undo and
// redo, "Save" and the quit guard.
//
// Edit rule: an edit opens at a mouse press or a key press (a copy of every actor's track
// and flags) and closes once no button is held and nothing is being recorded; so a drag, a
// slider or check-box change, "Reset>>" and a whole recorded take ("Rec" to "Stop") are one
// undo step each. Every closed edit that changed something leaves the work unsaved until the
// next successful "Save", and is written to the recovery file soon after.
#include "editor/Editor.h"

#include <cstdio>

#include "app/Application.h"
#include "platform/Words.h"
#include "render/Drawable.h"
#include "render/Image.h"
#include "text/BitmapFont.h"

using namespace irr;

void enableEditing(MainState& state) { state.setExtension(std::make_unique<Editor>(state)); }

Editor::Editor(MainState& state) : play(state), writer(recoveryFilePath(state.scenePaths().actorFolder)) {}

Editor::~Editor() = default;

u32 Editor::now() const {
    IrrlichtDevice* device = play.app() ? play.app()->device() : nullptr;
    return device && device->getTimer() ? device->getTimer()->getRealTime() : 0;
}

void Editor::updateLayout() {
    if (!play.app()) return;
    const Image* button = play.image(SKIN_BUTTON);
    const Image* thumb = play.image(SKIN_SLIDER_THUMB);
    if (button && thumb && play.checkBoxSkin() && play.font())
        metrics = editorMetrics(button->width(), button->height(), thumb->height(),
                                play.checkBoxSkin()->width(), play.checkBoxSkin()->height(),
                                float(play.font()->lineHeight()));
    layout = computeEditorLayout(play.app()->screenWidth(), play.app()->screenHeight(), metrics, view);
}

void Editor::enter() {
    Application* app = play.app();
    IrrlichtDevice* device = app ? app->device() : nullptr;
    if (device)
        if (gui::ICursorControl* cursor = device->getCursorControl()) cursor->setVisible(true);
    // The state's folders are known by now (they may have been set after this editor was made).
    writer.setPath(recoveryFilePath(play.paths().actorFolder));
    play.startStopped();
    if (!toolSkin && play.imageCount() > SKIN_BUTTON_HOT_ACTIVE) {
        toolSkin = std::make_unique<ButtonSkin>(play.font(), play.image(SKIN_BUTTON), play.image(SKIN_BUTTON_HOT),
                                                play.image(SKIN_BUTTON_ACTIVE), play.image(SKIN_BUTTON_HOT_ACTIVE));
        toolSkin->setScale(EDITOR_BUTTON_SCALE);
        toolSkin->setTextScale(EDITOR_BUTTON_SCALE);
        layerSkin = std::make_unique<ButtonSkin>(play.font(), nullptr, nullptr, nullptr, nullptr);
        layerSkin->setTextScale(EDITOR_LABEL_SCALE);
        layerSkin->setTextAlign(ALIGN_CENTRE_Y);  // left, centred vertically
    }
    updateLayout();
    if (app) app->setCloseGuard([this] { return requestQuit(); });
    wave.start(play.paths().musicFile, FRAMES_PER_SECOND);
    beatLoader.start(play.paths().musicFile);
    // What loading could not use, and what the rig file held that could not be used (each
    // already said on stderr) stay on the status line.
    for (const std::string& problem : play.loadProblems()) status.warn(problem);
    for (const std::string& message : play.rig().messages()) status.warn(message);
    for (const std::string& message : play.sceneSettings().messages()) status.warn(message);
    performerDelay = play.settings().settings.performerDelayMs;
    restoreRecovery();
}

void Editor::leave() {
    if (play.app()) play.app()->setCloseGuard(nullptr);
    // A take that runs as the program ends keeps every frame it holds.
    if (calibration) endCalibration(false);
    endTake(false);
    endPunchIn();
    if (hasUnsavedEdits() && !discardConfirmed) {
        writeRecovery();
        writer.finish();
        const std::string error = writer.lastError();
        if (!error.empty())
            std::fprintf(stderr, "tumelora: unsaved edits are lost: %s\n", error.c_str());
        else
            std::fprintf(stderr, "tumelora: unsaved edits kept in %s\n", writer.path().c_str());
    }
}

void Editor::shutdown() {
    play.setMusicSpeed(MUSIC_RECORDED_SPEED);
    sampler.stop();
    wave.stop();
    beatLoader.cancel();
    writer.finish();
}

bool Editor::hasUnsavedEdits() const { return dirty || play.recording(); }

void Editor::afterUpdate() {
    takeBeats();
    keepLooping();
    if (countInRunning) watchCountIn();
    if (calibration) watchCalibration();
    feedTake(false);
    keepPunchIn();
    const u32 t = now();
    if (play.recording()) {
        if (int32_t(t - nextTakeWrite) >= 0) {
            writeRecovery();
            nextTakeWrite = t + RECOVERY_TAKE_INTERVAL_MS;
        }
    } else if (recoveryDue && int32_t(t - recoveryDueAt) >= 0 && !history.isOpen()) {
        writeRecovery();
    }
    watchRecovery();
    if (quitArmed && t - quitArmedAt > QUIT_CONFIRM_MS) {
        quitArmed = false;
        status.setPrompt("");
    }
    // The timeline pages along with the playhead.
    const double shown = visibleFrames();
    if ((play.playing() || play.recording()) &&
        (play.currentFrame() < viewStart || play.currentFrame() >= viewStart + shown)) {
        viewStart = play.currentFrame();
        clampView();
    }
}

// --- Edits, saving and quitting ------------------------------------------------------------

// The history names actors by their load order, which never changes; the drawing order is
// kept with the other extras.
void Editor::beginEdit() { history.begin(play.loadOrder(), play.frameCount(), workExtras()); }

void Editor::settleEdit() {
    if (!play.ui().isMouseDown() && !play.recording()) commitEdit();
}

void Editor::commitEdit() {
    if (!history.isOpen()) return;
    if (history.commit(play.loadOrder(), play.frameCount(), workExtras())) {
        markUnsaved();
        quitArmed = false;
        status.setPrompt("");
    }
}

void Editor::markUnsaved() {
    dirty = true;
    recoveryDue = true;
    recoveryDueAt = now() + RECOVERY_SETTLE_DELAY_MS;
}

bool Editor::undo() { return stepHistory(false); }

bool Editor::redo() { return stepHistory(true); }

bool Editor::stepHistory(bool forward) {
    if (play.recording() || countInRunning || play.ui().isMouseDown()) return false;
    settleEdit();
    std::string extras = workExtras();
    int frames = play.frameCount();
    const bool stepped = forward ? history.redo(play.loadOrder(), frames, &extras)
                                 : history.undo(play.loadOrder(), frames, &extras);
    if (!stepped) return false;
    play.setFrameCount(frames);
    restoreExtras(extras);
    if (play.currentFrame() > play.frameCount() - 1) play.setCurrentFrame(play.frameCount() - 1);
    play.setDraggedActor(nullptr);
    // Back to what the files hold: nothing is unsaved.
    if (savedKnown && history.position() == savedPosition)
        markSaved();
    else
        markUnsaved();
    return true;
}

void Editor::markSaved() {
    dirty = false;
    savedPosition = history.position();
    savedKnown = true;
    recoveryDue = false;
    quitArmed = false;
    status.setPrompt("");
    writer.remove();
    play.rig().removeRecovery();
    play.sceneSettings().removeRecovery();
}

void Editor::save() {
    const SaveReport report = play.saveActors();
    // "Saved 27 actors, the rig (9 joints) and the scene settings".
    std::vector<std::string> parts{countOf(report.saved, "actor")};
    if (report.rigJoints >= 0) parts.push_back("the rig (" + countOf(report.rigJoints, "joint") + ")");
    if (report.sceneSettings) parts.push_back("the scene settings");
    std::string line = "Saved ";
    for (size_t i = 0; i < parts.size(); ++i)
        line += (i == 0 ? "" : i + 1 == parts.size() ? " and " : ", ") + parts[i];
    if (!report.failures.empty()) {
        line += "; " + countOf(static_cast<long long>(report.failures.size()), "file") + " could not be saved: ";
        for (size_t i = 0; i < report.failures.size(); ++i) {
            if (i) line += "; ";
            line += report.failures[i];  // saveActors has named each on stderr
        }
    }
    for (const std::string& note : report.notes) line += "; " + note;
    if (!report.failures.empty()) {
        status.tell(line);
        // What could not be written stays in the recovery file.
        writeRecovery();
        return;
    }
    // Every file is written: the recovery files go before the drawing order renames files
    // (they name the actors by their old names).
    writer.remove();
    writer.finish();
    play.rig().removeRecovery();
    play.sceneSettings().removeRecovery();
    const OrderSaveReport order = play.saveDrawingOrder();
    if (!order.failure.empty()) {
        status.tell(line + "; " + order.failure);
        writeRecovery();
        return;
    }
    if (order.changed) {
        line += "; the drawing order is kept in the file names (" + countOf(order.renamedActors, "actor") + " renamed)";
        // The undo steps keep the rig under the actors' names: they follow the new ones.
        history.mapExtras([&order](const std::string& bytes) { return renamedExtras(bytes, order.renamed); });
    }
    for (const std::string& note : order.notes) line += "; " + note;
    status.tell(line);
    markSaved();
}

bool Editor::requestQuit() {
    Application* app = play.app();
    if (!hasUnsavedEdits()) {
        writer.remove();
        play.rig().removeRecovery();
        play.sceneSettings().removeRecovery();
        discardConfirmed = true;
        if (app) app->setRunning(false);
        return true;
    }
    const u32 t = now();
    if (quitArmed && t - quitArmedAt <= QUIT_CONFIRM_MS) {
        discardConfirmed = true;
        writer.remove();
        play.rig().removeRecovery();
        play.sceneSettings().removeRecovery();
        writer.finish();
        if (app) app->setRunning(false);
        return true;
    }
    quitArmed = true;
    quitArmedAt = t;
    status.setPrompt("Unsaved changes: Ctrl+S saves them; press Escape or close again within 3 s to "
                     "quit without saving");
    std::fprintf(stderr, "tumelora: unsaved changes: not quitting\n");
    return false;
}
