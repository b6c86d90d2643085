#include "render/Image.h"

#include "render/Renderer2D.h"

using namespace irr;
using namespace irr::video;

namespace {

SColor toSColor(const ColorRGBA* col) { return SColor(col->a, col->r, col->g, col->b); }

}  // namespace

Image::Image(Renderer2D* renderer, u32 width, u32 height, u32 flags, ITexture* texture,
             const core::vector2df texCoords[2])
    : Drawable(width, height, flags),
      renderer_(renderer),
      texture_(texture),
      halfSize(f32(width) / 2.f, f32(height) / 2.f),
      drawSize(f32(width), f32(height)) {
    texCoords_[0] = texCoords[0];
    texCoords_[1] = texCoords[1];
    if (texture_) texture_->grab();
}

Image::~Image() {
    if (texture_) texture_->drop();
}

void Image::setColor(const ColorRGBA* col) { color = toSColor(col); }

void Image::setSize(float w, float h) {
    drawSize.set(w, h);
    sizeSet = true;
}

void Image::resetSize() {
    drawSize.set(f32(width_), f32(height_));
    sizeSet = false;
}

void Image::setRotation(float radians) { rotation = radians; }

void Image::setScale(float sx, float sy) { scale.set(sx, sy); }

void Image::setScale(float s) { scale.set(s, s); }

void Image::draw(s32 blend, u32 drawFlags, float x, float y, const ColorRGBA* col,
                 const RectF* rect) {
    drawQuad(blend, drawFlags, x, y, toSColor(col), rect);
}

void Image::draw(s32 blend, u32 drawFlags, float x, float y, const RectF* rect) {
    drawQuad(blend, drawFlags, x, y, color, rect);
}

void Image::draw(float x, float y) { drawQuad(blendMode, flags_, x, y, color, nullptr); }

void Image::drawQuad(s32 blend, u32 f, float x, float y, SColor col, const RectF* rect) {
    // Source area: this draw's rectangle, else the Image's own, else the whole picture.
    RectF src(0.f, 0.f, f32(width_), f32(height_));
    bool sub = false;
    if (rect) {
        src = *rect;
        sub = true;
    } else if (hasSourceRect) {
        src = sourceRect;
        sub = true;
    }

    // Corner colour: the draw colour with DRAW_COLOR, else white; alpha forced opaque
    // without DRAW_ALPHA, or the draw colour's alpha on white with DRAW_ALPHA alone.
    u32 corner = (f & DRAW_COLOR) ? col.color : 0xFFFFFFFFu;
    if (!(f & DRAW_ALPHA))
        corner |= 0xFF000000u;
    else if (!(f & DRAW_COLOR))
        corner = (corner & 0x00FFFFFFu) | (col.color & 0xFF000000u);
    const SColor c(corner);

    core::vector2df t0 = texCoords_[0], t1 = texCoords_[1];
    if (f & DRAW_FLIP_X) core::swap(t0.X, t1.X);
    if (f & DRAW_FLIP_Y) core::swap(t0.Y, t1.Y);

    f32 hx = halfSize.X, hy = halfSize.Y;
    if (sub) {
        // Taken after the flips, so a mirrored sub-rectangle shows the same area mirrored.
        const f32 du = t1.X - t0.X, dv = t1.Y - t0.Y;
        t0.X += du * src.x / f32(width_);
        t0.Y += dv * src.y / f32(height_);
        t1.X = t0.X + du * src.width / f32(width_);
        t1.Y = t0.Y + dv * src.height / f32(height_);
        hx = src.width / 2.f;
        hy = src.height / 2.f;
    }

    const f32 px = hasHotSpot ? hotSpot.X : hx;
    const f32 py = hasHotSpot ? hotSpot.Y : hy;
    core::vector3df pos[4];
    if (f & DRAW_TRANSFORM) {
        // Local corners around the anchor; scaled, then turned, then moved onto (x, y).
        f32 ox = -hx, oy = -hy;
        if (f & DRAW_RIGHT) ox = hx;
        if (f & DRAW_HOTSPOT_X) ox = px - hx;
        if (f & DRAW_BOTTOM) oy = hy;
        if (f & DRAW_HOTSPOT_Y) oy = py - hy;
        pos[0].set(-hx - ox, -hy - oy, 0.f);
        pos[1].set(hx - ox, -hy - oy, 0.f);
        pos[2].set(-hx - ox, hy - oy, 0.f);
        pos[3].set(hx - ox, hy - oy, 0.f);
        core::matrix4 m;
        m.setTranslation(core::vector3df(x, y, 0.f));
        if (f & DRAW_ROTATE) m.setRotationRadians(core::vector3df(0.f, 0.f, rotation));
        if (f & DRAW_SCALE) {
            core::matrix4 s;
            s.setScale(core::vector3df(scale.X, scale.Y, 0.f));
            m = m * s;
        }
        for (auto& p : pos) m.transformVect(p);
    } else {
        f32 w = drawSize.X, h = drawSize.Y;
        if (sub && !sizeSet) {
            w = src.width;
            h = src.height;
        }
        f32 X = x, Y = y;
        if (f & DRAW_RIGHT) X -= w;
        // A hot-spot in picture pixels scales with the drawn size.
        if (f & DRAW_HOTSPOT_X) X -= w / 2.f + (w / 2.f) * (hx != 0.f ? (px - hx) / hx : 0.f);
        if (f & DRAW_BOTTOM) Y -= h;
        if (f & DRAW_HOTSPOT_Y) Y -= h / 2.f + (h / 2.f) * (hy != 0.f ? (py - hy) / hy : 0.f);
        pos[0].set(X, Y, 0.f);
        pos[1].set(X + w, Y, 0.f);
        pos[2].set(X, Y + h, 0.f);
        pos[3].set(X + w, Y + h, 0.f);
    }

    const core::vector3df normal(0.f, 0.f, 0.f);
    const S3DVertex corners[4] = {
        S3DVertex(pos[0], normal, c, core::vector2df(t0.X, t0.Y)),
        S3DVertex(pos[1], normal, c, core::vector2df(t1.X, t0.Y)),
        S3DVertex(pos[2], normal, c, core::vector2df(t0.X, t1.Y)),
        S3DVertex(pos[3], normal, c, core::vector2df(t1.X, t1.Y)),
    };
    // The batch key takes the Image's own flags word, never the draw flags.
    renderer_->addQuad(texture_, blend, flags_ & TEX_BATCH_KEY_MASK, corners);
}
