// Everything the editor draws: the scaled stage with the scene, the onion skin and the
// selection's outline, the panel's background, the timeline's waveform, beats and playhead, the
// panel's drawing pass, the status line and the key list.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "actors/Actor.h"
#include "app/Application.h"
#include "app/SceneScreen.h"
#include "editor/Editor.h"
#include "platform/X11Display.h"
#include "render/Drawable.h"
#include "render/Image.h"
#include "render/Renderer2D.h"
#include "rig/RigMotion.h"
#include "text/BitmapFont.h"
#include "text/Utf8.h"

using namespace irr;

namespace {

// Colours (0xAARRGGBB).
constexpr u32 PANEL_COLOUR = 0xFF2B3340;
constexpr u32 STAGE_COLOUR = 0xFFAACCEE;  // the scene's own background
constexpr u32 WAVE_BACK_COLOUR = 0xFF1E242D;
constexpr u32 WAVE_COLOUR = 0xFF6F9FD0;
constexpr u32 BEAT_COLOUR = 0xC0F0C040;
constexpr u32 PLAYHEAD_COLOUR = 0xFFFF5050;
constexpr u32 OUTLINE_COLOUR = 0xFFFF00FF;
// What the stage area shows around the stage: the scene, under a veil of this colour.
constexpr u32 OFF_STAGE_VEIL_COLOUR = 0xA02B3340;
// The layer list's icons: drawn while on (shown, locked), and dim while off.
constexpr u32 ICON_ON_COLOUR = 0xFFF0F0F0;
constexpr u32 ICON_OFF_COLOUR = 0xFF5A6475;
constexpr u32 ICON_PUPIL_COLOUR = 0xFF2B3340;
constexpr u32 LOCK_ON_COLOUR = 0xFFF0C040;
// The icons' size and strokes, in pixels.
constexpr float ICON_SIZE = 12.f;
constexpr float ICON_STROKE = 1.5f;
constexpr u32 HELP_BACK_COLOUR = 0xE0101418;
// Tints of the onion skin's poses before and after the current frame (alpha added).
constexpr u32 ONION_BEFORE_TINT = 0x00FF9090u;
constexpr u32 ONION_AFTER_TINT = 0x0090FF90u;
// Alpha of the onion skin's nearest pose; farther ones fade further.
constexpr float ONION_ALPHA = 0.35f;
// Outline of the selected actor, in pixels.
constexpr float OUTLINE_WIDTH = 2.f;
// The playhead's width, and the height of a frame tick, in pixels.
constexpr float PLAYHEAD_WIDTH = 2.f;
constexpr float FRAME_TICK_HEIGHT = 4.f;
// Frame ticks are drawn once a frame is this wide, in pixels.
constexpr float FRAME_TICK_MIN_WIDTH = 4.f;
// Room for a formatted line.
constexpr int LINE_SIZE = 256;
// The key list's heading of the recent messages.
constexpr const char* MESSAGES_HEADING = "Messages, newest first:";

}  // namespace

void Editor::fill(const RectF& r, u32 argb) {
    Renderer2D* renderer = play.app() ? play.app()->renderer() : nullptr;
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
    if (!play.font()) return;
    const ColorRGBA colour(argb);
    play.font()->drawLine(x, y, line, flags, EDITOR_LABEL_SCALE, &colour, -1);
}

std::string Editor::fitted(const std::string& line, float width) const {
    BitmapFont* font = play.font();
    if (!font || font->textWidth(line.c_str(), EDITOR_LABEL_SCALE, -1) <= width) return line;
    std::string cut = line;
    while (!cut.empty() && font->textWidth((cut + "...").c_str(), EDITOR_LABEL_SCALE, -1) > width)
        popLastCharacter(cut);  // whole characters, never part of one
    return cut + "...";
}

void Editor::render(IrrlichtDevice* device) {
    video::IVideoDriver* driver = device ? device->getVideoDriver() : nullptr;
    Renderer2D* renderer = play.app() ? play.app()->renderer() : nullptr;
    if (!driver || !renderer) return;
    // The window may have been resized: the driver follows it, the layout follows the driver.
    int ww = 0, wh = 0;
    if (currentWindowSize(device, ww, wh) &&
        (u32(ww) != driver->getScreenSize().Width || u32(wh) != driver->getScreenSize().Height))
        driver->OnResize(core::dimension2d<u32>(u32(ww), u32(wh)));
    updateLayout();
    driver->beginScene(true, true, video::SColor(PANEL_COLOUR));
    renderer->beginFrame();
    fill(layout.stageArea, PANEL_COLOUR);
    fill(layout.stage, STAGE_COLOUR);
    renderer->flush();

    // The scene, through a view that maps the player's stage onto the scaled one.
    const float W = float(play.app()->screenWidth()), H = float(play.app()->screenHeight());
    const float s = layout.stageScale;
    core::matrix4 view;
    view.setScale(core::vector3df(s, s, 1.f));
    view.setTranslation(core::vector3df(layout.stage.x - (W - float(STAGE_WIDTH_PIXELS)) / 2.f * s,
                                        layout.stage.y - (H - float(STAGE_HEIGHT_PIXELS)) / 2.f * s,
                                        0.f));
    driver->setTransform(video::ETS_VIEW, view);
    play.drawActors();
    if (onion) drawOnionSkin();
    play.drawRigOverlay();
    renderer->flush();
    driver->setTransform(video::ETS_VIEW, core::matrix4());

    // Around the stage the scene shows, veiled; the selection's outline over it, then the panel
    // covers everything outside the stage area.
    drawOffStage();
    drawSelection();
    drawPanelBackground();
    drawTimeline();
    runPanel(true);
    drawStatus();
    if (showHelp) drawHelp();
    renderer->endFrame();
    driver->endScene();
    scrubMusic();
}

void Editor::drawOffStage() {
    const RectF& a = layout.stageArea;
    const RectF& st = layout.stage;
    const float left = std::max(a.x, std::min(st.x, a.x + a.width));
    const float right = std::min(a.x + a.width, std::max(st.x + st.width, a.x));
    const float top = std::max(a.y, std::min(st.y, a.y + a.height));
    const float bottom = std::min(a.y + a.height, std::max(st.y + st.height, a.y));
    fill(RectF(a.x, a.y, a.width, top - a.y), OFF_STAGE_VEIL_COLOUR);
    fill(RectF(a.x, bottom, a.width, a.y + a.height - bottom), OFF_STAGE_VEIL_COLOUR);
    fill(RectF(a.x, top, left - a.x, bottom - top), OFF_STAGE_VEIL_COLOUR);
    fill(RectF(right, top, a.x + a.width - right, bottom - top), OFF_STAGE_VEIL_COLOUR);
}

void Editor::line(const core::vector2df& a, const core::vector2df& b, float width, u32 argb) {
    Renderer2D* renderer = play.app() ? play.app()->renderer() : nullptr;
    core::vector2df d = b - a;
    const float length = d.getLength();
    if (!renderer || length <= 0.f) return;
    d /= length;
    const core::vector2df n(-d.Y * width / 2.f, d.X * width / 2.f);
    const video::SColor c(argb);
    const core::vector3df normal(0.f, 0.f, 0.f);
    const core::vector2df corners[4] = {a + n, b + n, a - n, b - n};
    video::S3DVertex v[4];
    for (int i = 0; i < 4; ++i)
        v[i] = video::S3DVertex(core::vector3df(corners[i].X, corners[i].Y, 0.f), normal, c,
                                core::vector2df(float(i & 1), float(i >> 1)));
    renderer->addQuad(nullptr, BLEND_ALPHA, 0, v);
}

void Editor::drawEye(const RectF& r, bool shown) {
    const float cx = r.x + r.width / 2.f, cy = r.y + r.height / 2.f, h = ICON_SIZE / 2.f;
    const u32 colour = shown ? ICON_ON_COLOUR : ICON_OFF_COLOUR;
    // An almond: two arcs of three strokes each, and the pupil while shown.
    const core::vector2df left(cx - h, cy), right(cx + h, cy);
    const core::vector2df top(cx, cy - h * 0.6f), bottom(cx, cy + h * 0.6f);
    line(left, top, ICON_STROKE, colour);
    line(top, right, ICON_STROKE, colour);
    line(left, bottom, ICON_STROKE, colour);
    line(bottom, right, ICON_STROKE, colour);
    if (shown) {
        fill(RectF(cx - 2.f, cy - 2.f, 4.f, 4.f), colour);
        fill(RectF(cx - 0.75f, cy - 0.75f, 1.5f, 1.5f), ICON_PUPIL_COLOUR);
    } else {
        line(core::vector2df(cx - h, cy + h), core::vector2df(cx + h, cy - h), ICON_STROKE, colour);
    }
}

void Editor::drawLock(const RectF& r, bool locked) {
    const float cx = r.x + r.width / 2.f, cy = r.y + r.height / 2.f, h = ICON_SIZE / 2.f;
    const u32 colour = locked ? LOCK_ON_COLOUR : ICON_OFF_COLOUR;
    // The body, and the shackle over it (raised on one side while open).
    fill(RectF(cx - h * 0.8f, cy - 1.f, h * 1.6f, h + 1.f), colour);
    const float lift = locked ? 0.f : 2.f;
    const float s = ICON_STROKE;
    fill(RectF(cx - h * 0.55f, cy - h - lift, s, h - 1.f + lift), colour);
    fill(RectF(cx + h * 0.55f - s, cy - h - lift, s, locked ? h - 1.f : 2.f), colour);
    fill(RectF(cx - h * 0.55f, cy - h - lift, h * 1.1f, s), colour);
}

void Editor::drawPanelBackground() {
    const RectF& st = layout.stageArea;
    const float W = std::max(layout.windowW, float(play.app()->screenWidth()));
    const float H = std::max(layout.windowH, float(play.app()->screenHeight()));
    fill(RectF(0.f, 0.f, W, st.y), PANEL_COLOUR);
    fill(RectF(0.f, st.y + st.height, W, H - st.y - st.height), PANEL_COLOUR);
    fill(RectF(0.f, st.y, st.x, st.height), PANEL_COLOUR);
    fill(RectF(st.x + st.width, st.y, W - st.x - st.width, st.height), PANEL_COLOUR);
}

void Editor::drawOnionSkin() {
    Actor* actor = play.selectedActor();
    if (!actor || !actor->image || actor->hidden) return;
    const u32 flags = DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y | DRAW_TRANSFORM | DRAW_ROTATE | DRAW_SCALE |
                      DRAW_COLOR | DRAW_ALPHA;
    // The poses playback shows at those frames (what the easing makes of the track).
    const int last = std::min(play.frameCount() - 1, play.currentFrame() + ONION_POSES * ONION_FRAME_STEP);
    const std::vector<ActorPose> shown = shownTrack(*actor, std::size_t(std::max(last, 0) + 1));
    for (int k = ONION_POSES; k >= 1; --k) {
        const float alpha = ONION_ALPHA * float(ONION_POSES + 1 - k) / float(ONION_POSES);
        for (int sign : {-1, 1}) {
            const int frame = play.currentFrame() + sign * k * ONION_FRAME_STEP;
            if (frame < 0 || frame > last) continue;
            const ActorPose& pose = shown[std::size_t(frame)];
            const core::vector2df at = sceneToScreen(pose.position);
            const u32 tint = sign < 0 ? ONION_BEFORE_TINT : ONION_AFTER_TINT;
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
    Actor* actor = play.selectedActor();
    if (!actor) return;
    // The drawn pixels' bounds of the picture, turned and scaled as the actor is drawn.
    const ActorPose pose = play.drawnPose(actor);
    const RectF& b = actor->drawnArea;
    const core::vector2df corners[4] = {{b.x, b.y}, {b.x + b.width, b.y}, {b.x + b.width, b.y + b.height}, {b.x, b.y + b.height}};
    core::vector2df at[4];
    for (int i = 0; i < 4; ++i) at[i] = sceneToWindow(layout, picturePointAt(*actor, pose, corners[i]));
    // The line runs just inside the edges (the drawn rectangle is a rectangle on screen too:
    // scaled, then turned): each corner moves inward along both its edges by half the width.
    core::vector2df inset[4];
    for (int i = 0; i < 4; ++i) {
        core::vector2df a = at[(i + 1) % 4] - at[i], b = at[(i + 3) % 4] - at[i];
        const float la = a.getLength(), lb = b.getLength();
        inset[i] = at[i];
        if (la > OUTLINE_WIDTH && lb > OUTLINE_WIDTH) inset[i] += (a / la + b / lb) * (OUTLINE_WIDTH / 2.f);
    }
    for (int i = 0; i < 4; ++i) line(inset[i], inset[(i + 1) % 4], OUTLINE_WIDTH, OUTLINE_COLOUR);
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
    if (frameW >= FRAME_TICK_MIN_WIDTH) {
        for (int f = int(viewStart); f < int(viewStart + shown) + 1; ++f)
            fill(RectF(xOfFrame(f), w.y + w.height - FRAME_TICK_HEIGHT, 1.f, FRAME_TICK_HEIGHT),
                 EDITOR_DIM_TEXT_COLOUR);
    }
    // The playhead.
    const float px = xOfFrame(play.currentFrame());
    if (px >= w.x && px < w.x + w.width) fill(RectF(px, w.y, PLAYHEAD_WIDTH, w.height), PLAYHEAD_COLOUR);
    // Frame number and time.
    char line[LINE_SIZE];
    const int ms = musicTimeOfFrame(play.currentFrame());
    const double period = beatPeriodMs(beats);
    char tempo[32] = "no beats";
    if (period > 0.0) {
        // In tenths of a beat a minute, kept to what an int holds whatever the grid says.
        const long tenths = std::lround(std::min(600000.0 / period, 1e9));
        std::snprintf(tempo, sizeof tempo, "%ld.%ld BPM", tenths / 10, tenths % 10);
    }
    std::snprintf(line, sizeof line, "Frame %d / %d   %d:%02d.%03d   %s   stage %.0f%%%s", play.currentFrame(),
                  play.frameCount() - 1, ms / 60000, (ms / 1000) % 60, ms % 1000, tempo,
                  double(layout.stageScale * 100.f), view.scale > 0.f ? "" : " (fitted)");
    text(layout.timelineText.x, layout.timelineText.y, line, ALIGN_LEFT_TOP, EDITOR_TEXT_COLOUR);
    std::snprintf(line, sizeof line, "%s  wheel: zoom", framesPerPixel > 0.0 ? "zoomed" : "whole song");
    text(layout.timelineText.x + layout.timelineText.width, layout.timelineText.y, line, DRAW_RIGHT,
         EDITOR_DIM_TEXT_COLOUR);
}

void Editor::drawStatus() {
    const RectF& r = layout.status;
    const bool unsaved = hasUnsavedEdits();
    std::string flag = unsaved ? "Unsaved changes" : "All changes saved";
    if (countInOn) flag = std::string("Count-in on") + STATUS_SEPARATOR + flag;
    text(r.x + r.width, r.y, flag.c_str(), DRAW_RIGHT, unsaved ? EDITOR_WARN_TEXT_COLOUR : EDITOR_DIM_TEXT_COLOUR);
    const float room =
        r.width - (play.font() ? play.font()->textWidth(flag.c_str(), EDITOR_LABEL_SCALE, -1) : 0.f) - 4.f * EDITOR_GAP;
    // What the line says, cut to the room left of the flag.
    const std::string shown = fitted(status.text(), room);
    text(r.x, r.y, shown.c_str(), 0, status.urgent() ? EDITOR_WARN_TEXT_COLOUR : EDITOR_TEXT_COLOUR);
}

void Editor::drawHelp() {
    const RectF& st = layout.stageArea;
    fill(st, HELP_BACK_COLOUR);
    const float step = metrics.textH + EDITOR_GAP;
    const float width = st.width - 2.f * EDITOR_GAP;
    const float bottom = st.y + st.height - metrics.textH;
    float y = st.y + EDITOR_GAP;
    for (const std::string& line : editorHelpLines()) {
        text(st.x + EDITOR_GAP, y, line.c_str(), ALIGN_LEFT_TOP, EDITOR_TEXT_COLOUR);
        y += step;
    }
    // What the status line said, in full, as far as there is room.
    if (status.history().empty() || y > bottom) return;
    text(st.x + EDITOR_GAP, y, MESSAGES_HEADING, ALIGN_LEFT_TOP, EDITOR_DIM_TEXT_COLOUR);
    y += step;
    for (const std::string& message : status.history()) {
        if (y > bottom) break;
        text(st.x + EDITOR_GAP, y, fitted("  " + message, width).c_str(), ALIGN_LEFT_TOP, EDITOR_TEXT_COLOUR);
        y += step;
    }
}
