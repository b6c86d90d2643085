// The editor panel (an immediate-mode pass over its widgets, run on every mouse press and
// release and on Return and the arrow keys, and never drawn) and the mouse
// handlers that select and drag actors.
//
// Editing rule: a change made at the current frame is added to that frame's pose and to
// every later one (Actor::offsetPoses); earlier frames never change.
#include <cmath>
#include <cstdio>

#include "actors/Actor.h"
#include "app/Application.h"
#include "app/SceneScreen.h"
#include "platform/FileAside.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "states/MainState.h"
#include "states/PropertyRows.h"
#include "text/BitmapFont.h"
#include "ui/ButtonSkin.h"
#include "ui/SliderSkin.h"

using namespace irr;

namespace {

// Stage size in pixels: the panel lays itself out around it.
constexpr float STAGE_W = float(STAGE_WIDTH_PIXELS);
constexpr float STAGE_H = float(STAGE_HEIGHT_PIXELS);
// Size the slider base picture is drawn at behind each slider row.
constexpr float SLIDER_BASE_H = 16.f;
// Gap between rows and between side-by-side buttons.
constexpr float ROW_GAP = 2.f;
// Id the "Stop" button has while playing or recording: "Rec" gives it the keyboard focus.
constexpr int STOP_BUTTON_ID = 1;
// Scale of every panel text but the actor name.
constexpr float LABEL_SCALE = 0.5f;
constexpr float NAME_SCALE = 1.f;
// Panel colours (0xAARRGGBB).
constexpr u32 LIGHT_GREEN = 0xFFAAFFAA;
constexpr u32 LIGHT_RED = 0xFFFFAAAA;
constexpr u32 WHITE = 0xFFFFFFFF;
constexpr u32 PINK = 0xFFFFAAFF;
constexpr u32 BLACK = 0xFF000000;
// Room for a formatted panel value.
constexpr int VALUE_TEXT_SIZE = 64;


// Formats one value with a printf format holding a single %f.
void formatValue(char* out, size_t size, const char* format, float value) {
    std::snprintf(out, size, format, double(value));
}

}  // namespace

void MainState::panelText(float x, float y, const char* text, int flags, float scale, u32 argb) {
    if (!font) return;
    const ColorRGBA colour(argb);
    font->drawLine(x, y, text, flags, scale, &colour, -1);
}

void MainState::drawSliderBase(float x, float y) {
    Image* base = images.size() > SKIN_SLIDER_BASE ? images[SKIN_SLIDER_BASE].get() : nullptr;
    if (!base) return;
    base->setSize(STAGE_W, SLIDER_BASE_H);
    base->draw(BLEND_ALPHA, 0, x, y, nullptr);
}

void MainState::runPanel(bool drawPass) {
    if (!app || !buttonSkin || !sliderSkin || !checkBoxSkin) return;
    const float W = float(app->screenWidth()), H = float(app->screenHeight());
    const float ox = (W - STAGE_W) / 2.f, oy = (H - STAGE_H) / 2.f;
    const float rowStep = buttonSkin->height() + ROW_GAP;
    Image* thumb = images.size() > SKIN_SLIDER_THUMB ? images[SKIN_SLIDER_THUMB].get() : nullptr;
    const float thumbH = thumb ? thumb->height() : 0.f;
    const float rowH = thumbH + ROW_GAP;

    ui.beginPass(elapsedMs, 0, drawPass);
    ui.setIdCounter(0);
    float x = 0.f, y = oy;

    // Transport, at the screen's left edge.
    if (recording || playing) {
        y += rowStep * 0.5f;
        if (ui.button(0.f, y, UI_NO_ID, buttonSkin.get(), 0.f, 0.f, "Stop", nullptr)) {
            FSOUND_Stream_Stop(musicStream);
            if (recording)
                recording = false;
            else
                playing = false;
        }
        y += rowStep * 1.5f;
    } else {
        buttonSkin->setTextColour(ColorRGBA(LIGHT_GREEN));
        if (ui.button(0.f, y, UI_NO_ID, buttonSkin.get(), 0.f, 0.f, "Play", nullptr)) {
            startMusicAtCurrentFrame();
            playing = true;
        }
        if (ui.button(buttonSkin->width() + ROW_GAP, y, UI_NO_ID, buttonSkin.get(), 0.f, 0.f, "<<",
                      nullptr))
            currentFrame = 0;
        y += rowStep;
        buttonSkin->setTextColour(ColorRGBA(LIGHT_RED));
        if (ui.button(0.f, y, UI_NO_ID, buttonSkin.get(), 0.f, 0.f, "Rec", nullptr)) {
            // While recording the first widget is "Stop": Return then stops the recording.
            ui.setFocus(STOP_BUTTON_ID);
            startMusicAtCurrentFrame();
            recording = true;
        }
        y += rowStep;
    }

    // "Save" in the stage's bottom-left corner.
    buttonSkin->setTextColour(ColorRGBA(WHITE));
    if (ui.button(0.f, oy + STAGE_H - rowStep, UI_NO_ID, buttonSkin.get(), 0.f, 0.f, "Save", nullptr)) {
        saveActors();
    }

    ui.setIdCounter(PANEL_ID_BLOCK);

    // Timeline, just below the stage.
    if (frameCount > 1) {
        x = ox;
        y = oy + STAGE_H;
        drawSliderBase(x, y);
        int v = currentFrame;
        ui.sliderInt(x, y, &v, UI_NO_ID, UI_HORIZONTAL, sliderSkin.get(), 0, frameCount - 1, 1, STAGE_W,
                     thumbH);
        if (v != currentFrame) {
            currentFrame = v;
            seekMusicToCurrentFrame();
        }
        if (drawPass) {
            y += thumbH;
            const float tx = ox + float(currentFrame * int(STAGE_W) / frameCount);
            char text[VALUE_TEXT_SIZE];
            panelText(tx, y, "/", ALIGN_CENTRE_X, LABEL_SCALE, WHITE);
            std::snprintf(text, sizeof text, "%d", currentFrame + 1);
            panelText(tx - 5.f, y, text, ALIGN_RIGHT, LABEL_SCALE, WHITE);
            std::snprintf(text, sizeof text, "%d", frameCount);
            panelText(tx + 5.f, y, text, ALIGN_LEFT_TOP, LABEL_SCALE, WHITE);
        }
    }

    if (selectedActor) runPropertyRows(ox, oy, thumbH, rowH, rowStep);

    ui.endPass();
}

void MainState::runPropertyRows(float ox, float oy, float thumbH, float rowH, float rowStep) {
    Actor* actor = selectedActor;
    const float H = float(app->screenHeight());
    const float checkW = checkBoxSkin->width(), checkH = checkBoxSkin->height();
    Image* check = images.size() > SKIN_CHECKBOX_CHECK ? images[SKIN_CHECKBOX_CHECK].get() : nullptr;
    float x = ox;
    float y = oy + STAGE_H + rowH + (font ? font->scaledLineHeight(LABEL_SCALE) : 0.f);

    // A copy: the edit below may grow the track and move its storage.
    const ActorPose p = actor->poseAt(currentFrame);
    ActorPose e = p;
    char text[VALUE_TEXT_SIZE];

    const PropertyRow rows[] = {
        {&e.position.X, POSITION_MIN, POSITION_MAX, POSITION_STEP, "X", "X %.2f", 1.f},
        {&e.position.Y, POSITION_MIN, POSITION_MAX, POSITION_STEP, "Y", "Y %.2f", 1.f},
        {&e.rotation, ROTATION_MIN, ROTATION_MAX, ROTATION_STEP, "rot", "rot %.2f",
         RADIANS_TO_DEGREES},
        {&e.scale.X, SCALE_MIN, SCALE_MAX, SCALE_STEP, "W", "W %.3f", 1.f},
    };
    for (const PropertyRow& row : rows) {
        drawSliderBase(x, y);
        ui.sliderFloat(x, y, row.value, UI_NO_ID, UI_HORIZONTAL, sliderSkin.get(), row.min, row.max,
                       row.step, STAGE_W, thumbH);
        panelText(x - 1.f, y, row.label, ALIGN_RIGHT, LABEL_SCALE, WHITE);
        formatValue(text, sizeof text, row.format, *row.value * row.shownAs);
        panelText(x + STAGE_W + 1.f, y, text, ALIGN_LEFT_TOP, LABEL_SCALE, WHITE);
        y += rowH;
    }

    // Row H: bound to W while "Bind scale" is set.
    drawSliderBase(x, y);
    float* h = &e.scale.Y;
    if (actor->bindScale) {
        e.scale.Y = e.scale.X;
        h = &e.scale.X;
    }
    ui.sliderFloat(x, y, h, UI_NO_ID, UI_HORIZONTAL, sliderSkin.get(), SCALE_MIN, SCALE_MAX, SCALE_STEP,
                   STAGE_W, thumbH);
    panelText(x - 1.f, y, "H", ALIGN_RIGHT, LABEL_SCALE, WHITE);
    formatValue(text, sizeof text, "H %.3f", e.scale.Y);
    panelText(x + STAGE_W + 1.f, y, text, ALIGN_LEFT_TOP, LABEL_SCALE, WHITE);
    panelText(x - 13.f - checkW, y + checkH / 2.f, "Bind scale", ALIGN_RIGHT | ALIGN_CENTRE_Y,
              LABEL_SCALE, WHITE);
    ui.checkBox(x - 12.f - checkW, y, &actor->bindScale, UI_NO_ID, checkBoxSkin.get(), 0.f, 0.f, nullptr,
                check);
    y += rowH;

    // Row Wobble.
    ui.checkBox(x, y, &actor->wobble, UI_NO_ID, checkBoxSkin.get(), 0.f, 0.f, nullptr, check);
    panelText(x + checkW + 2.f, y, "Wobble", ALIGN_LEFT_TOP, LABEL_SCALE, WHITE);

    // Apply the edit from the current frame on. A drawing pass only draws: with "Bind scale"
    // it shows H bound to W, but the rule edits only in the passes of the user's own input.
    if (!ui.isDrawPass()) applyRowEdit(*actor, currentFrame, p, e);

    // The actor's name in the bottom-left corner: black with a white copy one pixel lower.
    panelText(1.f, H - 1.f, actor->name.c_str(), ALIGN_BOTTOM, NAME_SCALE, WHITE);
    panelText(1.f, H - 2.f, actor->name.c_str(), ALIGN_BOTTOM, NAME_SCALE, BLACK);

    // Reset row: "Reset>>" cuts the track after the current frame.
    x = 0.f;
    y = oy + rowStep * 5.f;
    panelText(1.f, y - 1.f, "Actor:", ALIGN_BOTTOM, LABEL_SCALE, BLACK);
    buttonSkin->setTextColour(ColorRGBA(PINK));
    buttonSkin->setTextScale(RESET_TEXT_SCALE);
    if (ui.button(x, y, UI_NO_ID, buttonSkin.get(), 0.f, 0.f, "Reset>>", nullptr))
        actor->cutAfter(currentFrame, frameCount);
    buttonSkin->setTextScale(BUTTON_TEXT_SCALE);
}

bool MainState::mouseDown(const SEvent::SMouseInput* mouse) {
    if (!mouse) return false;
    if (extension) {
        extension->mouseDown(mouse);
        return false;
    }
    // The press acts where it happened, also when no motion event came before it.
    ui.setMousePosition(mouse->X, mouse->Y);
    mousePosition.set(mouse->X, mouse->Y);
    ui.pressMouse();
    runPanel(false);
    uiOwnsMouse = ui.activeId() >= 0;
    // The drag starts wherever the press is; it need not be on the actor.
    if (selectedActor && !uiOwnsMouse) draggedActor = selectedActor;
    pressPosition.set(mouse->X, mouse->Y);
    return false;
}

bool MainState::mouseMove(const SEvent::SMouseInput* mouse) {
    if (!mouse) return false;
    if (extension) {
        extension->mouseMove(mouse);
        return false;
    }
    ui.setMousePosition(mouse->X, mouse->Y);
    if (draggedActor && !playing)
        draggedActor->moveFrom(currentFrame,
                               screenToScene(core::vector2df(f32(mouse->X), f32(mouse->Y))) -
                                   screenToScene(core::vector2df(f32(mousePosition.X), f32(mousePosition.Y))));
    mousePosition.set(mouse->X, mouse->Y);
    return false;
}

bool MainState::mouseUp(const SEvent::SMouseInput* mouse) {
    if (!mouse) return false;
    if (extension) {
        extension->mouseUp(mouse);
        return false;
    }
    ui.setMousePosition(mouse->X, mouse->Y);
    ui.releaseMouse();
    runPanel(false);
    // No drag outlives its buttons (a second button, or a press the panel took after a
    // release that never arrived, must not leave the actor following the pointer).
    draggedActor = nullptr;
    if (playing || uiOwnsMouse) return false;
    const int dx = mouse->X - pressPosition.X, dy = mouse->Y - pressPosition.Y;
    if (dx * dx + dy * dy > CLICK_SLOP_SQUARED) return false;  // a drag, not a click
    pickAt(mouse->X, mouse->Y);
    return false;
}

void MainState::pickAt(int x, int y) { pickAtScene(screenToScene(core::vector2df(f32(x), f32(y)))); }

void MainState::pickAtScene(const core::vector2df& m) {
    pickList.clear();
    // Hit area: the unscaled, unturned picture rectangle centred on the frame's position.
    for (Actor* actor : actors) {
        const core::vector2df c = isEditing() ? rigPosition(actor) : actor->poseAt(currentFrame).position;
        const core::vector2df half = actor->size / 2.f;
        if (c.X - half.X <= m.X && m.X <= c.X + half.X && c.Y - half.Y <= m.Y &&
            m.Y <= c.Y + half.Y)
            pickList.push_back(actor);
    }
    if (pickList.empty()) {
        draggedActor = nullptr;
        selectedActor = nullptr;
        return;
    }
    // Repeated clicks cycle through overlapping actors in actor order.
    for (size_t j = 0; j < pickList.size(); ++j) {
        if (pickList[j] == selectedActor) {
            selectedActor = pickList[(j + 1) % pickList.size()];
            return;
        }
    }
    selectedActor = pickList[0];
}

SaveReport MainState::saveActors() {
    SaveReport report;
    for (Actor* actor : actors) {
        std::string reason;
        if (actor->trackFile == Actor::TrackFile::Unreadable) {
            // The file may still be mended: it is replaced only by an edited track, and then
            // kept aside first.
            if (actor->keepsUnreadableFile()) {
                report.notes.push_back(actor->dataPath() + " left as it is (it could not be read: " +
                                       actor->trackProblem + ")");
                std::fprintf(stderr, "tumelora: %s\n", report.notes.back().c_str());
                continue;
            }
            std::string keptAs;
            if (!moveAside(actor->dataPath(), kUnreadableDataSuffix, keptAs, reason)) {
                report.failures.push_back(actor->dataPath() + ": " + reason);
                std::fprintf(stderr, "Not saved: %s\n", report.failures.back().c_str());
                continue;
            }
            actor->trackFile = Actor::TrackFile::Missing;
            report.notes.push_back(actor->dataPath() + " could not be read (" + actor->trackProblem +
                                   "): kept as " + keptAs);
            std::fprintf(stderr, "tumelora: %s\n", report.notes.back().c_str());
        }
        if (actor->saveData(&reason)) {
            ++report.saved;
        } else {
            report.failures.push_back(actor->dataPath() + ": " + reason);
            std::fprintf(stderr, "Not saved: %s\n", report.failures.back().c_str());
        }
    }
    if (isEditing()) {
        const std::size_t failed = report.failures.size();
        saveRig(report);
        if (report.failures.size() == failed && rigEditing.hasFile())
            report.rigJoints = int(rigEditing.rig().joints.size());
        saveSceneSettings(report);
    }
    std::fflush(stderr);
    return report;
}
