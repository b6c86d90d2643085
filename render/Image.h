#pragma once
// A picture turned into a texture that draws itself as one quad through the renderer.
#include <irrlicht.h>

#include "render/Drawable.h"

class Renderer2D;

class Image : public Drawable {
public:
    // Grabs texture (when not null); texCoords are the used area's corners in the texture.
    Image(Renderer2D* renderer, irr::u32 width, irr::u32 height, irr::u32 flags,
          irr::video::ITexture* texture, const irr::core::vector2df texCoords[2]);
    ~Image() override;

    void setColor(const ColorRGBA* col) override;
    void setSize(float w, float h) override;
    void resetSize() override;
    void setRotation(float radians) override;
    void setScale(float sx, float sy) override;
    void setScale(float s) override;
    void draw(irr::s32 blend, irr::u32 drawFlags, float x, float y, const ColorRGBA* col,
              const RectF* rect) override;
    void draw(irr::s32 blend, irr::u32 drawFlags, float x, float y, const RectF* rect) override;
    void draw(float x, float y) override;

    irr::video::ITexture* texture() const { return texture_; }
    // Points the Image at another texture and area in it (grabbing the new texture, dropping
    // the old one): how a picture packed into a shared texture (Renderer2D::endPacking) gets
    // its place. The Image's own size, flags and everything else stay as they are.
    void setTexture(irr::video::ITexture* texture, const irr::core::vector2df texCoords[2]);
    // True while the Image waits in its renderer's packing session for its texture.
    bool awaitsPacking() const { return awaitsPacking_; }
    // Set by the renderer while the Image waits in its packing session.
    void setAwaitsPacking(bool value) { awaitsPacking_ = value; }
    const irr::core::vector2df* texCoords() const { return texCoords_; }
    Renderer2D* renderer() const { return renderer_; }
    // True when the picture has no pixel that is not fully opaque (set by its creator).
    bool opaque() const { return opaque_; }
    void setOpaque(bool value) { opaque_ = value; }

private:
    // The one drawing routine behind the three draws.
    void drawQuad(irr::s32 blend, irr::u32 drawFlags, float x, float y, irr::video::SColor col,
                  const RectF* rect);

    Renderer2D* renderer_;
    irr::video::ITexture* texture_;
    irr::core::vector2df texCoords_[2];
    irr::core::vector2df halfSize;
    irr::video::SColor color{0xFFFFFFFF};
    irr::core::vector2df drawSize;
    float rotation = 0.f;
    irr::core::vector2df scale{1.f, 1.f};
    bool sizeSet = false;
    bool opaque_ = false;
    bool awaitsPacking_ = false;
};

// Largest coordinate a copied quad may have: far beyond any target, and small enough that
// every whole number up to it is exact in a float.
constexpr float MAX_COPY_COORDINATE = 65536.f;
// True when a quad with these corners (top-left, top-right, bottom-left, bottom-right) and
// texture corners puts each texel of a texture of this size on exactly one whole pixel, upright
// and unmirrored (in units of the target's pixels).
bool copiesPixelForPixel(const irr::core::vector3df pos[4], const irr::core::vector2df& t0,
                         const irr::core::vector2df& t1, const irr::core::dimension2d<irr::u32>& textureSize);

// Places the four local corners (z = 0) of a DRAW_TRANSFORM draw: scaled (DRAW_SCALE), turned
// (DRAW_ROTATE), then moved onto (x, y); the same bits as the engine matrix would give.
void placeTransformed(irr::core::vector3df pos[4], irr::u32 drawFlags, irr::f32 x, irr::f32 y,
                      irr::f32 rotation, const irr::core::vector2df& scale);
// The same placement through the engine's matrix4 (translation, rotation, times scale).
void placeTransformedByMatrix(irr::core::vector3df pos[4], irr::u32 drawFlags, irr::f32 x,
                              irr::f32 y, irr::f32 rotation, const irr::core::vector2df& scale);
