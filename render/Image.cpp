#include "render/Image.h"

#include "render/Renderer2D.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

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
    // Deleted before its packing session ended: the session forgets its picture.
    if (awaitsPacking_ && renderer_) renderer_->forgetPending(this);
    if (texture_) texture_->drop();
}

void Image::setTexture(ITexture* texture, const core::vector2df texCoords[2]) {
    if (texture) texture->grab();
    if (texture_) texture_->drop();
    texture_ = texture;
    texCoords_[0] = texCoords[0];
    texCoords_[1] = texCoords[1];
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

void placeTransformedByMatrix(core::vector3df pos[4], u32 drawFlags, f32 x, f32 y, f32 rotation,
                              const core::vector2df& scale) {
    core::matrix4 m;
    m.setTranslation(core::vector3df(x, y, 0.f));
    if (drawFlags & DRAW_ROTATE) m.setRotationRadians(core::vector3df(0.f, 0.f, rotation));
    if (drawFlags & DRAW_SCALE) {
        core::matrix4 s;
        s.setScale(core::vector3df(scale.X, scale.Y, 0.f));
        m = m * s;
    }
    for (int i = 0; i < 4; ++i) m.transformVect(pos[i]);
}

namespace {

// placeTransformed, in a form the drawing routine inlines: the local corners are the four
// combinations of lx (left, right) and ly (top, bottom), in the order top-left, top-right,
// bottom-left, bottom-right; the placed corners go to out[0..3].
inline void placeCorners(const f32 lx[2], const f32 ly[2], u32 drawFlags, f32 x, f32 y,
                         f32 rotation, const core::vector2df& scale, core::vector3df* out[4]) {
    // The matrix's x and y rows reduced to the four entries a corner in the z = 0 plane
    // meets: (a, b | x) and (d, e | y). The full product only adds terms that are exact zeros
    // (products of finite values with the matrix's zero entries), and adding a zero leaves
    // every non-zero value unchanged; so wherever all results are finite and non-zero they
    // equal the matrix's bit for bit, z included (+0). A non-finite input (position, angle or
    // scale) always gives a non-finite result, since a and e both carry the angle's cosine
    // (never exactly 0) and each scale factor. Other cases (a zero result, whose sign the
    // dropped terms decide, or anything not finite) take the matrix itself.
    f32 a = 1.f, b = 0.f, d = 0.f, e = 1.f;
    if (drawFlags & DRAW_ROTATE) {
        // The matrix takes the float functions' results through f64, which keeps them exact.
        const f32 c = std::cos(rotation), s = std::sin(rotation);
        a = c;
        b = -s;
        d = s;
        e = c;
    }
    if (drawFlags & DRAW_SCALE) {
        a *= scale.X;
        b *= scale.Y;
        d *= scale.X;
        e *= scale.Y;
    }
    if (!(drawFlags & DRAW_ROTATE)) {
        // Without rotation the off-diagonal entries are zeros.
        b = 0.f;
        d = 0.f;
    }
    const f32 ax[2] = {lx[0] * a, lx[1] * a}, dx[2] = {lx[0] * d, lx[1] * d};
    const f32 by[2] = {ly[0] * b, ly[1] * b}, ey[2] = {ly[0] * e, ly[1] * e};
    // Results as x, y pairs; checked all at once on their bits (finite and non-zero: the
    // magnitude bits lie between 1 and the largest finite float's).
    f32 xy[8];
    for (int i = 0; i < 4; ++i) {
        xy[2 * i] = ax[i & 1] + by[i >> 1] + x;
        xy[2 * i + 1] = dx[i & 1] + ey[i >> 1] + y;
    }
    u32 bits[8];
    std::memcpy(bits, xy, sizeof bits);
    u32 bad = 0;
    for (u32 word : bits) bad |= u32((word & 0x7FFFFFFFu) - 1u >= 0x7F7FFFFFu);
    if (!bad) {
        for (int i = 0; i < 4; ++i) out[i]->set(xy[2 * i], xy[2 * i + 1], 0.f);
        return;
    }
    core::vector3df pos[4];
    for (int i = 0; i < 4; ++i) pos[i].set(lx[i & 1], ly[i >> 1], 0.f);
    placeTransformedByMatrix(pos, drawFlags, x, y, rotation, scale);
    for (int i = 0; i < 4; ++i) *out[i] = pos[i];
}

}  // namespace

bool copiesPixelForPixel(const core::vector3df pos[4], const core::vector2df& t0,
                         const core::vector2df& t1, const core::dimension2d<u32>& textureSize) {
    const f32 x0 = pos[0].X, y0 = pos[0].Y, x1 = pos[3].X, y1 = pos[3].Y;
    // An upright rectangle, not mirrored, on whole pixels.
    if (pos[1].X != x1 || pos[1].Y != y0 || pos[2].X != x0 || pos[2].Y != y1) return false;
    if (!(x1 > x0 && y1 > y0 && t1.X > t0.X && t1.Y > t0.Y)) return false;
    for (f32 value : {x0, y0, x1, y1})
        if (std::floor(value) != value || std::fabs(value) > MAX_COPY_COORDINATE) return false;
    // One texel to one pixel, starting on a texel's edge.
    const f32 tw = f32(textureSize.Width), th = f32(textureSize.Height);
    const f32 u0 = t0.X * tw, v0 = t0.Y * th;
    return std::floor(u0) == u0 && std::floor(v0) == v0 && t1.X * tw - u0 == x1 - x0 &&
           t1.Y * th - v0 == y1 - y0;
}

void placeTransformed(core::vector3df pos[4], u32 drawFlags, f32 x, f32 y, f32 rotation,
                      const core::vector2df& scale) {
    const f32 lx[2] = {pos[0].X, pos[1].X}, ly[2] = {pos[0].Y, pos[2].Y};
    core::vector3df* out[4] = {&pos[0], &pos[1], &pos[2], &pos[3]};
    placeCorners(lx, ly, drawFlags, x, y, rotation, scale, out);
}

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
    // The corners are placed first: whether the quad may be copied decides its batch.
    core::vector3df pos[4];
    if (f & DRAW_TRANSFORM) {
        // Local corners around the anchor; scaled, then turned, then moved onto (x, y).
        f32 ox = -hx, oy = -hy;
        if (f & DRAW_RIGHT) ox = hx;
        if (f & DRAW_HOTSPOT_X) ox = px - hx;
        if (f & DRAW_BOTTOM) oy = hy;
        if (f & DRAW_HOTSPOT_Y) oy = py - hy;
        const f32 lx[2] = {-hx - ox, hx - ox}, ly[2] = {-hy - oy, hy - oy};
        core::vector3df* out[4] = {&pos[0], &pos[1], &pos[2], &pos[3]};
        placeCorners(lx, ly, f, x, y, rotation, scale, out);
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
    // The batch key takes the Image's own flags word, never the draw flags.
    u32 key = flags_ & TEX_BATCH_KEY_MASK;
    if (opaque_ && blend == BLEND_ALPHA && c.color == 0xFFFFFFFFu && texture_ &&
        copiesPixelForPixel(pos, t0, t1, texture_->getSize()))
        key |= BATCH_PIXEL_COPY;
    S3DVertex* v = renderer_->appendQuad(texture_, blend, key);
    const f32 u[4] = {t0.X, t1.X, t0.X, t1.X}, tv[4] = {t0.Y, t0.Y, t1.Y, t1.Y};
    for (int i = 0; i < 4; ++i) {
        v[i].Pos = pos[i];
        v[i].Normal.set(0.f, 0.f, 0.f);
        v[i].Color = c;
        v[i].TCoords.set(u[i], tv[i]);
    }
}
