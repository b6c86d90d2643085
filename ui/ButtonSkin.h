#pragma once
// The skin of buttons and check boxes: four state pictures, an optional icon and one line
// of text, with an optional drop shadow and a pressed displacement.
#include "render/Drawable.h"
#include "render/Types.h"
#include "ui/Skins.h"

class Font;
class Image;

// Number of state pictures: 0 normal, 1 hot, 2 active, 3 hot and active.
constexpr int SKIN_STATE_COUNT = 4;

// A pair of floats (offsets in pixels before scaling).
struct SkinOffset {
    float x = 0.f, y = 0.f;
};

class ButtonSkin : public ButtonSkinInterface {
public:
    // Borrows the font and the four state pictures (any may be null); the content size
    // comes from the first non-null picture in state order.
    ButtonSkin(Font* font, Image* normal, Image* hot, Image* active, Image* hotActive);
    ~ButtonSkin() override = default;

    // True unless set otherwise with setFocusable.
    bool acceptsFocus() const override { return focusable; }
    // True unless set otherwise with setClickOnRelease.
    bool clickOnRelease() const override { return releaseClicks; }
    // Hit when the mouse is in the explicit rectangle or else in the content area at its corner.
    bool hitTest(const UiContext& ctx, float mouseX, float mouseY, const RectF& rect,
                 const char* text, Image* icon) const override;
    // State picture (content size only), shadows, icon, text; returns the widget rectangle.
    RectF draw(const UiContext& ctx, int state, float x, float y, float w, float h,
               const char* text, Image* icon) override;

    // Content width: the picture width times scale.
    float width() const;
    // Content height: picture height times scale, else the font's scaled line height, else 0.
    float height() const;

    // Colour of the text (0xAARRGGBB).
    void setTextColour(const ColorRGBA& colour) { textColour = colour; }
    // Extra factor on the text size (not used for content sizing).
    void setTextScale(float s) { textScale = s; }
    // Icon displacement in the pressed state, before scaling.
    void setPressedIconOffset(float x, float y) { pressedIconOffset = {x, y}; }
    // Text displacement in the pressed state, before scaling.
    void setPressedTextOffset(float x, float y) { pressedTextOffset = {x, y}; }
    // Factor on every size and offset.
    void setScale(float s) { scale = s; }
    // Drop shadow on or off.
    void setShadow(bool on) { shadow = on; }
    // Shadow displacement before scaling.
    void setShadowOffset(float x, float y) { shadowOffset = {x, y}; }
    // Colour of icon and text shadows.
    void setShadowColour(const ColorRGBA& colour) { shadowColour = colour; }
    // Tint of the state pictures.
    void setImageColour(const ColorRGBA& colour) { imageColour = colour; }
    // Tint of the icon.
    void setIconColour(const ColorRGBA& colour) { iconColour = colour; }
    // Added to the text anchor.
    void setTextOffset(float x, float y) { textOffset = {x, y}; }
    // Added to the icon anchor.
    void setIconOffset(float x, float y) { iconOffset = {x, y}; }
    // Alignment bits (ALIGN_..., render/Drawable.h) of the text.
    void setTextAlign(int flags) { textAlign = flags; }
    // Alignment bits of the icon.
    void setIconAlign(int flags) { iconAlign = flags; }
    // Blend mode the text is drawn with.
    void setTextBlendMode(int mode) { textBlendMode = mode; }
    // Blend mode the icon is drawn with.
    void setIconBlendMode(int mode) { iconBlendMode = mode; }
    // Whether widgets with this skin take the keyboard focus.
    void setFocusable(bool on) { focusable = on; }
    // True: click on release (the default); false: click on press.
    void setClickOnRelease(bool on) { releaseClicks = on; }

    // Current extra text factor.
    float textScaleValue() const { return textScale; }
    // Current text colour.
    const ColorRGBA& textColourValue() const { return textColour; }

protected:
    // Image flags: colour and alpha, plus transform and scale unless scale is exactly 1.
    unsigned imageFlags() const;

    float scale = 1.f;
    ColorRGBA imageColour{0xFFFFFFFFu};
    ColorRGBA iconColour{0xFFFFFFFFu};
    ColorRGBA textColour{0xFFFFFFFFu};
    ColorRGBA shadowColour{0x80000000u};
    Image* images[SKIN_STATE_COUNT] = {};
    unsigned width_ = 0;
    unsigned height_ = 0;
    Font* font;
    bool shadow = false;
    SkinOffset textOffset{0.f, 0.f};
    SkinOffset iconOffset{0.f, 0.f};
    SkinOffset shadowOffset{0.f, 2.5f};
    SkinOffset pressedTextOffset{0.f, 2.f};
    SkinOffset pressedIconOffset{0.f, 2.f};
    int textAlign = ALIGN_CENTRE_X | ALIGN_CENTRE_Y;
    int iconAlign = ALIGN_CENTRE_X | ALIGN_CENTRE_Y;
    int textBlendMode = 0;
    int iconBlendMode = 0;
    float textScale = 1.f;
    bool focusable = true;
    bool releaseClicks = true;
};
