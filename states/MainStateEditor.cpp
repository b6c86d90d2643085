// The editing mode of the main state: the panel drawn over every frame, the pointer shown,
// the selected actor outlined, undo and redo of every edit, and the music heard while the
// timeline thumb is dragged. Without the mode none of this runs.
//
// Edit rule: an edit opens at a mouse press or a key press (a copy of every actor's track
// and flags) and closes once no button is held and nothing is being recorded; so a drag, a
// slider or check-box change, "Reset>>" and a whole recorded take ("Rec" to "Stop") are one
// undo step each.
#include "actors/Actor.h"
#include "app/Application.h"
#include "render/Renderer2D.h"
#include "states/MainState.h"
#include "text/BitmapFont.h"

using namespace irr;

namespace {

// Outline of the selected actor: width in pixels and colour (0xAARRGGBB).
constexpr float OUTLINE_WIDTH = 2.f;
constexpr u32 OUTLINE_COLOUR = 0xFFFF00FF;
// Frame drawn just outside the stage, so that the stage stands out from the panel's room.
constexpr float STAGE_FRAME_WIDTH = 1.f;
constexpr u32 STAGE_FRAME_COLOUR = 0xFF5A6E8C;
// The list of files a "Save" could not write: text scale, colour, and the most lines shown.
constexpr float SAVE_FAILURE_SCALE = 0.5f;
constexpr u32 SAVE_FAILURE_COLOUR = 0xFFFF5050;
constexpr size_t SAVE_FAILURE_MAX_LINES = 4;

// Appends a solid, untextured rectangle to the renderer's batch.
void solidRect(Renderer2D* renderer, float x, float y, float w, float h, u32 argb) {
    const video::SColor c(argb);
    const core::vector3df n(0.f, 0.f, 0.f);
    const video::S3DVertex corners[4] = {
        video::S3DVertex(core::vector3df(x, y, 0.f), n, c, core::vector2df(0.f, 0.f)),
        video::S3DVertex(core::vector3df(x + w, y, 0.f), n, c, core::vector2df(1.f, 0.f)),
        video::S3DVertex(core::vector3df(x, y + h, 0.f), n, c, core::vector2df(0.f, 1.f)),
        video::S3DVertex(core::vector3df(x + w, y + h, 0.f), n, c, core::vector2df(1.f, 1.f)),
    };
    renderer->addQuad(nullptr, BLEND_ALPHA, 0, corners);
}

}  // namespace

void MainState::enterEditor() {
    IrrlichtDevice* device = app ? app->device() : nullptr;
    if (device)
        if (gui::ICursorControl* cursor = device->getCursorControl()) cursor->setVisible(true);
    GameState::enter();
    currentFrame = 0;
    playing = false;
    recording = false;
}

bool MainState::editorKey(const SEvent::SKeyInput* key) {
    if (key->Control && (key->Key == KEY_KEY_Z || key->Key == KEY_KEY_Y)) {
        if (key->Key == KEY_KEY_Y || key->Shift)
            redoEdit();
        else
            undoEdit();
        return true;
    }
    if (key->Key == KEY_SPACE) {
        beginEdit();  // Space may end a take
        togglePlayback();
        settleEdit();
        return true;
    }
    // Any other key may edit through the focused widget in the next drawn pass.
    beginEdit();
    return false;
}

void MainState::togglePlayback() {
    if (recording || playing) {
        FSOUND_Stream_Stop(musicStream);
        if (recording)
            recording = false;
        else
            playing = false;
    } else {
        startMusicAtCurrentFrame();
        playing = true;
    }
    scrubbing = false;
}

void MainState::drawEditor() {
    drawStageFrame();
    drawSelectionOutline();
    runPanel(true);
    drawSaveFailures();
    scrubMusic();
    settleEdit();
}

void MainState::drawStageFrame() {
    Renderer2D* renderer = app ? app->renderer() : nullptr;
    if (!renderer) return;
    const core::vector2df a = sceneToScreen(core::vector2df(0.f, 0.f));
    const float w = kStageWidthPixels, h = kStageHeightPixels, t = STAGE_FRAME_WIDTH;
    solidRect(renderer, a.X - t, a.Y - t, w + 2.f * t, t, STAGE_FRAME_COLOUR);
    solidRect(renderer, a.X - t, a.Y + h, w + 2.f * t, t, STAGE_FRAME_COLOUR);
    solidRect(renderer, a.X - t, a.Y, t, h, STAGE_FRAME_COLOUR);
    solidRect(renderer, a.X + w, a.Y, t, h, STAGE_FRAME_COLOUR);
}

void MainState::drawSelectionOutline() {
    Renderer2D* renderer = app ? app->renderer() : nullptr;
    if (!selectedActor || !renderer) return;
    // The hit area of a click: the unscaled picture rectangle centred on the frame's position.
    const core::vector2df c = selectedActor->poseAt(currentFrame).position;
    const core::vector2df half = selectedActor->size / 2.f;
    const core::vector2df a = sceneToScreen(c - half), b = sceneToScreen(c + half);
    const float w = b.X - a.X, h = b.Y - a.Y;
    solidRect(renderer, a.X, a.Y, w, OUTLINE_WIDTH, OUTLINE_COLOUR);
    solidRect(renderer, a.X, b.Y - OUTLINE_WIDTH, w, OUTLINE_WIDTH, OUTLINE_COLOUR);
    solidRect(renderer, a.X, a.Y, OUTLINE_WIDTH, h, OUTLINE_COLOUR);
    solidRect(renderer, b.X - OUTLINE_WIDTH, a.Y, OUTLINE_WIDTH, h, OUTLINE_COLOUR);
}

void MainState::drawSaveFailures() {
    if (!font || saveFailures.empty()) return;
    const float x = sceneToScreen(core::vector2df(0.f, 0.f)).X;
    const float lineH = font->scaledLineHeight(SAVE_FAILURE_SCALE);
    float y = 0.f;
    for (size_t i = 0; i < saveFailures.size() && i < SAVE_FAILURE_MAX_LINES; ++i, y += lineH)
        panelText(x, y, ("Not saved: " + saveFailures[i]).c_str(), 0, SAVE_FAILURE_SCALE,
                  SAVE_FAILURE_COLOUR);
    if (saveFailures.size() > SAVE_FAILURE_MAX_LINES) {
        const std::string more =
            "... and " + std::to_string(saveFailures.size() - SAVE_FAILURE_MAX_LINES) + " more";
        panelText(x, y, more.c_str(), 0, SAVE_FAILURE_SCALE, SAVE_FAILURE_COLOUR);
    }
}

void MainState::beginEdit() { history.begin(actors, frameCount); }

void MainState::settleEdit() {
    if (!history.isOpen() || ui.isMouseDown() || recording) return;
    history.commit(actors, frameCount);
}

void MainState::scrubMusic() {
    const bool held = frameCount > 1 && ui.isMouseDown() &&
                      ui.activeId() == TIMELINE_WIDGET_ID && !playing && !recording;
    if (held && !scrubbing) {
        // The panel has already moved the music to the thumb's frame while seeking.
        startMusicAtCurrentFrame();
        scrubbing = true;
    } else if (!held && scrubbing) {
        scrubbing = false;
        if (!playing && !recording) FSOUND_Stream_Stop(musicStream);
    }
}

bool MainState::undoEdit() {
    if (recording || ui.isMouseDown()) return false;
    settleEdit();
    if (!history.undo(actors, frameCount)) return false;
    if (currentFrame > frameCount - 1) currentFrame = frameCount - 1;
    draggedActor = nullptr;
    return true;
}

bool MainState::redoEdit() {
    if (recording || ui.isMouseDown()) return false;
    settleEdit();
    if (!history.redo(actors, frameCount)) return false;
    if (currentFrame > frameCount - 1) currentFrame = frameCount - 1;
    draggedActor = nullptr;
    return true;
}
