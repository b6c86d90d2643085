#pragma once
// Something that can be put on screen: size, flags word and optional geometry.
#include <irrlicht.h>

#include "render/Types.h"

// Draw flags: the low 16 bits of a draw-flags word (and of an Image's flags word).
enum DrawFlags : irr::u32 {
    DRAW_COLOR = 0x001,      // corners take the draw colour (else white)
    DRAW_ALPHA = 0x002,      // keep the colour's alpha (else alpha forced to 255)
    DRAW_HOTSPOT_X = 0x004,  // horizontal anchor at the hot-spot (middle when none is set)
    DRAW_RIGHT = 0x008,      // horizontal anchor at the right edge
    DRAW_HOTSPOT_Y = 0x010,  // vertical anchor at the hot-spot (middle when none is set)
    DRAW_BOTTOM = 0x020,     // vertical anchor at the bottom edge
    DRAW_FLIP_X = 0x040,     // mirror left-right (swap u)
    DRAW_FLIP_Y = 0x080,     // mirror top-bottom (swap v)
    DRAW_TRANSFORM = 0x100,  // translate, rotate and scale about the anchor
    DRAW_ROTATE = 0x200,     // with DRAW_TRANSFORM: rotate by the rotation
    DRAW_SCALE = 0x400,      // with DRAW_TRANSFORM: scale by the scale
};

// Alignment: the anchor bits of the draw flags, which mean the same to an Image drawn without
// transform, to a line of text and to a skin's text and icon: where (x, y) lies on the box.
enum AlignFlags : int {
    ALIGN_LEFT_TOP = 0,                     // the top-left corner
    ALIGN_CENTRE_X = int(DRAW_HOTSPOT_X),  // centred horizontally on x
    ALIGN_RIGHT = int(DRAW_RIGHT),          // right edge at x (unless ALIGN_CENTRE_X)
    ALIGN_CENTRE_Y = int(DRAW_HOTSPOT_Y),  // centred vertically on y
    ALIGN_BOTTOM = int(DRAW_BOTTOM),        // bottom at y (unless ALIGN_CENTRE_Y)
};

class Drawable {
public:
    Drawable(irr::u32 width, irr::u32 height, irr::u32 flags);
    virtual ~Drawable() = default;

    // Own colour, used by the draws without a colour argument.
    virtual void setColor(const ColorRGBA* col) = 0;
    // Quad size when not transforming.
    virtual void setSize(float w, float h) = 0;
    // Back to the picture's own size.
    virtual void resetSize() = 0;
    // Rotation in radians, used with DRAW_TRANSFORM | DRAW_ROTATE.
    virtual void setRotation(float radians) = 0;
    // Scale factors, used with DRAW_TRANSFORM | DRAW_SCALE.
    virtual void setScale(float sx, float sy) = 0;
    // Uniform scale.
    virtual void setScale(float s) = 0;
    // Anchor in pixels from the top-left of the drawn area.
    virtual void setHotSpot(float x, float y);
    // No hot-spot: anchors fall back to the middle.
    virtual void clearHotSpot();
    // Sub-rectangle in picture pixels for every later draw; null clears it.
    virtual void setSourceRect(const RectF* r);
    // Draws with the given colour; rect (may be null) overrides the source rectangle once.
    virtual void draw(irr::s32 blend, irr::u32 drawFlags, float x, float y, const ColorRGBA* col,
                      const RectF* rect) = 0;
    // Draws with the own colour.
    virtual void draw(irr::s32 blend, irr::u32 drawFlags, float x, float y, const RectF* rect) = 0;
    // Draws with the own blend mode and flags word.
    virtual void draw(float x, float y) = 0;

    // Used pixel width given at creation (not the drawn size, not a source rectangle).
    irr::u32 pixelWidth() const { return width_; }
    // Used pixel height given at creation.
    irr::u32 pixelHeight() const { return height_; }
    // The Image flags word given at creation.
    irr::u32 flags() const { return flags_; }
    // Width of the source rectangle while one is set, else of the picture.
    float width() const { return hasSourceRect ? sourceRect.width : float(width_); }
    // Height of the source rectangle while one is set, else of the picture.
    float height() const { return hasSourceRect ? sourceRect.height : float(height_); }

protected:
    irr::u32 width_;
    irr::u32 height_;
    irr::u32 flags_;
    irr::s32 blendMode = 0;
    bool hasSourceRect = false;
    RectF sourceRect;
    irr::core::vector2df hotSpot{0.f, 0.f};
    bool hasHotSpot = false;
};
