// Scene drawing: the light-blue background and every actor at its pose, wobbling actors
// as a waving strip appended straight into the renderer's batch.
#include <cmath>

#include "actors/Actor.h"
#include "app/Application.h"
#include "app/SceneScreen.h"
#include "render/Image.h"
#include "render/Renderer2D.h"
#include "states/MainState.h"
#include "states/Wobble.h"

using namespace irr;

namespace {

// Background colour (0xAARRGGBB): red 170, green 204, blue 238.
constexpr u32 CLEAR_COLOUR = 0x00AACCEE;
// Actors are drawn centred on their position, turned and scaled.
constexpr u32 ACTOR_DRAW_FLAGS = DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y | DRAW_TRANSFORM | DRAW_ROTATE |
                                 DRAW_SCALE;
// Opaque white: the strip's colour as the scene passes it.
constexpr u32 OPAQUE_WHITE = 0xFFFFFFFF;

// The strip's index table: two triangles per band, built on first use.
const u16* stripIndices() {
    static u16 table[WOBBLE_INDICES];
    static bool built = false;
    if (!built) {
        for (int i = 0; i < WOBBLE_BANDS; ++i) {
            u16* t = table + 6 * i;
            const u16 v = u16(2 * i);
            t[0] = v;
            t[1] = u16(v + 1);
            t[2] = u16(v + 2);
            t[3] = u16(v + 3);
            t[4] = u16(v + 2);
            t[5] = u16(v + 1);
        }
        built = true;
    }
    return table;
}

}  // namespace

float smoothStep(float x, float edge0, float edge1) {
    if (edge0 > x) return 0.f;
    if (x >= edge1) return 1.f;
    if (edge1 - edge0 == 0.f) return x >= edge0 ? 1.f : 0.f;
    const float t = (x - edge0) / (edge1 - edge0);
    return t * t * (3.f - 2.f * t);
}

float pulse(float x, float a0, float a1, float b0, float b1) {
    return smoothStep(x, a0, a1) - smoothStep(x, b0, b1);
}

float wobbleShift(float row, float time, float width, float amplitude) {
    const float reach = width * WOBBLE_AMPLITUDE_SHARE * amplitude;
    const float e = pulse(row, WOBBLE_RISE_START, WOBBLE_PEAK, WOBBLE_PEAK, WOBBLE_FALL_END);
    return std::sin(row * WOBBLE_PHASE_PER_ROW + time) * e * reach;
}

void drawWobbled(float time, Renderer2D* renderer, Image* image, int blend, unsigned drawFlags,
                 float x, float y, float rotation, float scaleX, float scaleY,
                 video::SColor colour, float amplitude) {
    if (!renderer || !image) return;
    const float w = image->width(), h = image->height();
    const float hw = w / 2.f, hh = h / 2.f;

    const core::vector2df* tc = image->texCoords();
    float left = tc[0].X, top = tc[0].Y, right = tc[1].X, bottom = tc[1].Y;
    if (drawFlags & DRAW_FLIP_X) core::swap(left, right);
    if (drawFlags & DRAW_FLIP_Y) core::swap(top, bottom);

    u32 c = (drawFlags & DRAW_COLOR) ? colour.color : OPAQUE_WHITE;
    if (!(drawFlags & DRAW_ALPHA))
        c |= 0xFF000000u;
    else if (!(drawFlags & DRAW_COLOR))
        c = (c & 0x00FFFFFFu) | (colour.color & 0xFF000000u);
    const video::SColor vertexColour(c);

    // Pivot: the top-left corner unless the anchor flags move it (the centre with 0x714).
    float px = -hw, py = -hh;
    if (drawFlags & DRAW_RIGHT) px = hw;
    if (drawFlags & DRAW_HOTSPOT_X) px = 0.f;
    if (drawFlags & DRAW_BOTTOM) py = hh;
    if (drawFlags & DRAW_HOTSPOT_Y) py = 0.f;

    core::matrix4 m;
    m.setTranslation(core::vector3df(x, y, 0.f));
    if (drawFlags & DRAW_ROTATE) m.setRotationRadians(core::vector3df(0.f, 0.f, rotation));
    if (drawFlags & DRAW_SCALE) {
        core::matrix4 s;
        s.setScale(core::vector3df(scaleX, scaleY, 0.f));
        m = m * s;
    }

    // Reused by every call; copied into the batch before returning.
    static video::S3DVertex strip[WOBBLE_VERTICES];
    const core::vector3df normal(0.f, 0.f, 0.f);
    for (int i = 0; i < WOBBLE_ROWS; ++i) {
        const float row = float(i);
        const float k = wobbleShift(row, time, w, amplitude);
        const float ly = -hh - py + row * h / float(WOBBLE_BANDS);
        const float tv = top + row * (bottom - top) / float(WOBBLE_BANDS);
        core::vector3df l(-hw - px + k, ly, 0.f), r(hw - px + k, ly, 0.f);
        m.transformVect(l);
        m.transformVect(r);
        l.Z = 0.f;
        r.Z = 0.f;
        strip[2 * i] = video::S3DVertex(l, normal, vertexColour, core::vector2df(left, tv));
        strip[2 * i + 1] = video::S3DVertex(r, normal, vertexColour, core::vector2df(right, tv));
    }

    // Forced: what is pending is drawn first, so the strip's indices start at 0.
    renderer->setBatchState(image->texture(), blend, image->flags() & TEX_BATCH_KEY_MASK, true);
    const u16* idx = stripIndices();
    core::array<u16>& indices = renderer->indices();
    for (int i = 0; i < WOBBLE_INDICES; ++i) indices.push_back(idx[i]);
    core::array<video::S3DVertex>& vertices = renderer->vertices();
    for (int i = 0; i < WOBBLE_VERTICES; ++i) vertices.push_back(strip[i]);
    renderer->addCounts(WOBBLE_VERTICES, WOBBLE_TRIANGLES);
}

void MainState::render(IrrlichtDevice* device) {
    if (!device || !app) return;
    video::IVideoDriver* driver = device->getVideoDriver();
    Renderer2D* renderer = app->renderer();
    if (!driver || !renderer) return;

    if (extension) {
        extension->render(device);
        return;
    }
    driver->beginScene(true, true, video::SColor(CLEAR_COLOUR));
    renderer->beginFrame();
    drawActors();
    renderer->endFrame();
    driver->endScene();
}

void MainState::drawActors() {
    Renderer2D* renderer = app ? app->renderer() : nullptr;
    if (!renderer) return;
    for (Actor* actor : actors) {
        // The editing mode leaves out the actors hidden in it (playback and export draw all).
        if (isEditing() && actor->hidden) continue;
        const ActorPose shown = drawnPose(actor);
        const core::vector2df at = sceneToScreen(shown.position);
        if (actor->wobble) {
            drawWobbled(float(elapsedMs) / WOBBLE_TIME_DIVISOR, renderer, actor->image, BLEND_ALPHA,
                        ACTOR_DRAW_FLAGS, at.X, at.Y, shown.rotation, shown.scale.X,
                        shown.scale.Y, video::SColor(OPAQUE_WHITE), SCENE_WOBBLE_AMPLITUDE);
            renderer->flush();
        } else {
            actor->image->setRotation(shown.rotation);
            actor->image->setScale(shown.scale.X, shown.scale.Y);
            actor->image->draw(BLEND_ALPHA, ACTOR_DRAW_FLAGS, at.X, at.Y, nullptr);
        }
    }
}
