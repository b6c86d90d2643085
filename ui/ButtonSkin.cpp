#include "ui/ButtonSkin.h"

#include <cmath>

#include "render/Drawable.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "text/Font.h"
#include "ui/UiContext.h"

namespace {

// Image flags of a skin drawn at scale exactly 1.
constexpr unsigned PLAIN_FLAGS = DRAW_COLOR | DRAW_ALPHA;
// Added when the skin is scaled.
constexpr unsigned SCALED_FLAGS = DRAW_TRANSFORM | DRAW_SCALE;

// Anchor of a box (x, y, w, h) for the alignment bits: centre or far edge on each axis.
void anchor(int align, float x, float y, float w, float h, float& ax, float& ay) {
    ax = x;
    if (align & ALIGN_CENTRE_X)
        ax += w / 2;
    else if (align & ALIGN_RIGHT)
        ax += w;
    ay = y;
    if (align & ALIGN_CENTRE_Y)
        ay += h / 2;
    else if (align & ALIGN_BOTTOM)
        ay += h;
}

// Half-open test of (dx, dy) against a box of w x h at the origin.
bool inside(float dx, float dy, float w, float h) { return dx >= 0 && dx < w && dy >= 0 && dy < h; }

}  // namespace

ButtonSkin::ButtonSkin(Font* font_, Image* normal, Image* hot, Image* active, Image* hotActive)
    : images{normal, hot, active, hotActive}, font(font_) {
    for (Image* image : images) {
        if (image) {
            width_ = unsigned(image->width());
            height_ = unsigned(image->height());
            break;
        }
    }
}

unsigned ButtonSkin::imageFlags() const {
    return scale == 1.f ? PLAIN_FLAGS : PLAIN_FLAGS | SCALED_FLAGS;
}

float ButtonSkin::width() const { return float(width_) * scale; }

float ButtonSkin::height() const {
    if (height_ != 0) return float(height_) * scale;
    if (font) return font->scaledLineHeight(scale);
    return 0.f;
}

// The area is the explicit rectangle when both its sides are non-zero, else the content size
// (the pictures', else the icon's, else the text's) with its top-left corner at rect's.
bool ButtonSkin::hitTest(const UiContext&, float mouseX, float mouseY, const RectF& rect,
                         const char* text, Image* icon) const {
    const float dx = mouseX - rect.x, dy = mouseY - rect.y;
    if (rect.width != 0 && rect.height != 0) return inside(dx, dy, rect.width, rect.height);
    if (width_ != 0 && height_ != 0)
        return inside(dx, dy, float(width_) * scale, float(height_) * scale);
    if (icon) return inside(dx, dy, icon->width() * scale, icon->height() * scale);
    if (text && font)
        return inside(dx, dy, font->textWidth(text, scale, -1), float(font->lineHeight()) * scale);
    return false;
}

// Draw order: state picture (content-sized widgets only), icon shadow, text shadow, icon,
// text. Anchors are truncated to whole pixels before the pressed displacement is added, so
// in the pressed state the face sinks onto its shadow.
RectF ButtonSkin::draw(const UiContext& ctx, int state, float x, float y, float w, float h,
                       const char* text, Image* icon) {
    const bool drawing = ctx.isDrawPass();
    Image* image = images[state & 3];
    const unsigned flags = imageFlags();

    if (w == 0 || h == 0) {
        if (image) {
            if (drawing) {
                image->setScale(scale);
                image->draw(BLEND_ALPHA, flags, x, y, &imageColour, nullptr);
            }
            w = float(width_) * scale;
            h = float(height_) * scale;
        } else if (icon) {
            w = icon->width() * scale;
            h = icon->height() * scale;
        } else if (text && font) {
            w = font->textWidth(text, scale, -1);
            h = font->scaledLineHeight(scale);
        }
    }
    const RectF result(x, y, w, h);

    float tx, ty, ix, iy;
    anchor(textAlign, x, y, w, h, tx, ty);
    tx = std::trunc(tx + textOffset.x);
    ty = std::trunc(ty + textOffset.y);
    anchor(iconAlign, x, y, w, h, ix, iy);
    ix = std::trunc(ix + iconOffset.x);
    iy = std::trunc(iy + iconOffset.y);

    const bool hasText = text && font;
    if (shadow && drawing) {
        const float sx = scale * shadowOffset.x, sy = scale * shadowOffset.y;
        if (icon) {
            icon->setScale(scale);
            icon->draw(BLEND_ALPHA, flags | unsigned(iconAlign), ix + sx, iy + sy, &shadowColour,
                       nullptr);
        }
        if (hasText)
            font->drawLine(tx + sx, ty + sy, text, textAlign, scale * textScale, &shadowColour, -1);
    }

    if (state == (UI_STATE_HOT | UI_STATE_ACTIVE)) {
        tx += scale * pressedTextOffset.x;
        ty += scale * pressedTextOffset.y;
        ix += scale * pressedIconOffset.x;
        iy += scale * pressedIconOffset.y;
    }

    if (drawing && icon) {
        icon->setScale(scale);
        icon->draw(iconBlendMode, flags | unsigned(iconAlign), ix, iy, &iconColour, nullptr);
    }
    if (drawing && hasText) {
        const int previousBlend = font->blendMode();
        font->setBlendMode(textBlendMode);
        font->drawLine(tx, ty, text, textAlign, scale * textScale, &textColour, -1);
        font->setBlendMode(previousBlend);
    }
    return result;
}
