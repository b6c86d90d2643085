// The editor's widgets: the tool bar, the timeline's slider, the selected actor's properties
// and the layer list. A behaviour pass (input) changes data; a drawing pass issues the same
// widgets on copies and only draws.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "actors/Actor.h"
#include "editor/Editor.h"
#include "render/Drawable.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "states/PropertyRows.h"
#include "ui/SliderSkin.h"

using namespace irr;

namespace {

// Colours (0xAARRGGBB) of the button texts and the selected layer's row.
constexpr u32 PLAY_TEXT = 0xFFAAFFAA;
constexpr u32 REC_TEXT = 0xFFFFAAAA;
constexpr u32 RESET_TEXT = 0xFFFFAAFF;
constexpr u32 SELECTED_ROW_COLOUR = 0xFF4A6A9A;
// Room for a formatted value.
constexpr int VALUE_TEXT_SIZE = 64;

}  // namespace

void Editor::runPanel(bool drawPass) {
    if (!toolSkin || !play.sliderSkin() || !play.checkBoxSkin()) return;
    UiContext& ui = play.ui();
    const bool act = !drawPass;
    ui.beginPass(play.elapsedMs(), 0, drawPass);
    ui.setIdCounter(0);
    runToolBar(act);
    ui.setIdCounter(EDITOR_TIMELINE_ID_BLOCK);
    runTimeline(act);
    ui.setIdCounter(EDITOR_PROPERTY_ID_BLOCK);
    runProperties(act, drawPass);
    ui.setIdCounter(EDITOR_LAYER_ID_BLOCK);
    runLayers(act, drawPass);
    ui.endPass();
}

void Editor::runToolBar(bool act) {
    UiContext& ui = play.ui();
    const bool running = play.playing() || play.recording() || countInRunning;
    auto button = [&](int which, const char* label, u32 colour) {
        toolSkin->setTextColour(ColorRGBA(colour));
        const RectF& r = layout.tools[which];
        return ui.button(r.x, r.y, UI_NO_ID, toolSkin.get(), 0.f, 0.f, label, nullptr) && act;
    };
    if (button(TOOL_PLAY, play.playing() ? "Stop" : "Play", PLAY_TEXT)) togglePlayback();
    if (button(TOOL_REWIND, "<<", EDITOR_TEXT_COLOUR) && !running) seek(0);
    if (button(TOOL_REC, play.recording() || countInRunning ? "Stop" : "Rec", REC_TEXT)) toggleRecording();
    if (button(TOOL_SAVE, "Save", EDITOR_TEXT_COLOUR)) save();
    if (button(TOOL_UNDO, "Undo", EDITOR_TEXT_COLOUR)) undo();
    if (button(TOOL_REDO, "Redo", EDITOR_TEXT_COLOUR)) redo();
    if (button(TOOL_HELP, "Help", EDITOR_TEXT_COLOUR)) showHelp = !showHelp;
}

void Editor::runTimeline(bool act) {
    if (play.frameCount() < 2) return;
    const RectF& r = layout.timelineSlider;
    const int first = int(std::floor(viewStart));
    const int last = std::max(first + 1, std::min(play.frameCount() - 1,
                                                  int(std::ceil(viewStart + visibleFrames())) - 1));
    int v = std::max(first, std::min(play.currentFrame(), last));
    const int shown = v;
    Image* base = play.image(SKIN_SLIDER_BASE);
    if (base && play.ui().isDrawPass()) {
        base->setSize(r.width, r.height);
        base->draw(BLEND_ALPHA, 0, r.x, r.y, nullptr);
    }
    play.ui().sliderInt(r.x, r.y, &v, UI_NO_ID, UI_HORIZONTAL, play.sliderSkin(), first, last, 1,
                        r.width, r.height);
    if (act && v != shown) seek(v);
}

void Editor::runProperties(bool act, bool drawPass) {
    Actor* actor = play.selectedActor();
    UiContext& ui = play.ui();
    char line[VALUE_TEXT_SIZE];
    if (!actor) {
        if (drawPass)
            text(layout.actorName.x, layout.actorName.y, "No actor selected", ALIGN_LEFT_TOP, EDITOR_DIM_TEXT_COLOUR);
        return;
    }
    if (drawPass) {
        const std::string name = fitted("Actor: " + actor->name, layout.actorName.width);
        text(layout.actorName.x, layout.actorName.y, name.c_str(), ALIGN_LEFT_TOP, EDITOR_TEXT_COLOUR);
    }
    const int frame = play.currentFrame();
    // A rigged actor shows, and is edited from, the pose playback shows (the rig's motion then
    // keeps its joints); another one its track's pose. A copy: edits may move the track.
    const ActorPose p = play.rig().editedPose(play.actors(), actor, frame);
    ActorPose e = p;
    // Bound scale: the H row edits W too, and a change of either makes H equal to W. Only a
    // change by the user does this: a pass in which nothing moved changes nothing.
    const bool bound = actor->bindScale;
    // Positions in stage pixels (of the 1280 x 720 stage), turns in degrees.
    const PropertyRow rows[PROP_COUNT] = {
        {&e.position.X, POSITION_MIN, POSITION_MAX, POSITION_STEP, "X", "%.1f px", kSceneUnitPixels},
        {&e.position.Y, POSITION_MIN, POSITION_MAX, POSITION_STEP, "Y", "%.1f px", kSceneUnitPixels},
        {&e.rotation, ROTATION_MIN, ROTATION_MAX, ROTATION_STEP, "rot", "%.1f\u00B0", RADIANS_TO_DEGREES},
        {&e.scale.X, SCALE_MIN, SCALE_MAX, SCALE_STEP, "W", "%.3f", 1.f},
        {bound ? &e.scale.X : &e.scale.Y, SCALE_MIN, SCALE_MAX, SCALE_STEP, "H", "%.3f", 1.f},
    };
    Image* base = play.image(SKIN_SLIDER_BASE);
    for (int i = 0; i < PROP_COUNT; ++i) {
        const PropertyRow& row = rows[i];
        const EditorPropertyRect& r = layout.props[i];
        if (base && drawPass) {
            base->setSize(r.slider.width, r.slider.height);
            base->draw(BLEND_ALPHA, 0, r.slider.x, r.slider.y, nullptr);
        }
        ui.sliderFloat(r.slider.x, r.slider.y, row.value, UI_NO_ID, UI_HORIZONTAL, play.sliderSkin(), row.min,
                       row.max, row.step, r.slider.width, r.slider.height);
        if (drawPass) {
            text(r.label.x, r.label.y, row.label, ALIGN_LEFT_TOP, EDITOR_TEXT_COLOUR);
            const float shown = i == PROP_H ? p.scale.Y : *row.value;
            std::snprintf(line, sizeof line, row.format, double(shown * row.shownAs));
            text(r.value.x + r.value.width, r.value.y, line, DRAW_RIGHT, EDITOR_TEXT_COLOUR);
        }
    }
    if (bound && e.scale.X != p.scale.X) e.scale.Y = e.scale.X;

    Image* check = play.image(SKIN_CHECKBOX_CHECK);
    bool bindScale = actor->bindScale, wobble = actor->wobble;
    ui.checkBox(layout.bindScale.x, layout.bindScale.y, &bindScale, UI_NO_ID, play.checkBoxSkin(), 0.f, 0.f,
                nullptr, check);
    ui.checkBox(layout.wobble.x, layout.wobble.y, &wobble, UI_NO_ID, play.checkBoxSkin(), 0.f, 0.f, nullptr,
                check);
    toolSkin->setTextColour(ColorRGBA(RESET_TEXT));
    const bool reset =
        ui.button(layout.reset.x, layout.reset.y, UI_NO_ID, toolSkin.get(), 0.f, 0.f, "Reset>>", nullptr);
    if (drawPass) {
        text(layout.bindScaleText.x, layout.bindScaleText.y, "Bind scale", ALIGN_LEFT_TOP, EDITOR_TEXT_COLOUR);
        text(layout.wobbleText.x, layout.wobbleText.y, "Wobble", ALIGN_LEFT_TOP, EDITOR_TEXT_COLOUR);
    }
    if (!act) return;  // a drawing pass changes nothing
    actor->bindScale = bindScale;
    actor->wobble = wobble;
    // A rigged actor's rows and "Reset>>" go through the rig's motion, as a drag does.
    if (!poseEdited(p, e) ||
        !play.rig().editShownPose(play.actors(), actor, frame, play.frameCount(), p, e))
        applyRowEdit(*actor, frame, p, e);
    if (reset && !play.rig().holdFrom(play.actors(), actor, frame, play.frameCount()))
        actor->cutAfter(frame, play.frameCount());
}

void Editor::runLayers(bool act, bool drawPass) {
    if (drawPass)
        text(layout.layersTitle.x, layout.layersTitle.y, "Layers (topmost first)", ALIGN_LEFT_TOP, EDITOR_DIM_TEXT_COLOUR);
    const int rows = layout.visibleLayerRows();
    const int count = int(play.actors().size());
    layerScroll = std::max(0, std::min(layerScroll, std::max(0, count - rows)));
    for (int i = 0; i < rows && layerScroll + i < count; ++i) {
        Actor* actor = layerActor(i);
        const RectF r = layout.layerRow(i), eye = layout.layerEye(i), lock = layout.layerLock(i),
                    room = layout.layerName(i);
        if (drawPass && actor == play.selectedActor()) fill(r, SELECTED_ROW_COLOUR);
        layerSkin->setTextColour(ColorRGBA(actor->hidden ? EDITOR_DIM_TEXT_COLOUR : EDITOR_TEXT_COLOUR));
        layerSkin->setTextOffset(EDITOR_GAP, 0.f);
        UiContext& ui = play.ui();
        const bool eyeClicked = ui.button(eye.x, eye.y, UI_NO_ID, layerSkin.get(), eye.width, eye.height, "", nullptr);
        const bool lockClicked = ui.button(lock.x, lock.y, UI_NO_ID, layerSkin.get(), lock.width, lock.height, "", nullptr);
        const std::string name = fitted(actor->name, room.width - 2.f * EDITOR_GAP);
        const bool nameClicked =
            ui.button(room.x, room.y, UI_NO_ID, layerSkin.get(), room.width, room.height, name.c_str(), nullptr);
        if (drawPass) {
            drawEye(eye, !actor->hidden);
            drawLock(lock, actor->locked);
        }
        if (!act || play.playing()) continue;
        if (eyeClicked) toggleHidden(actor);
        if (lockClicked) toggleLocked(actor);
        if (nameClicked) play.select(actor);
    }
}
