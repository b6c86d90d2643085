#pragma once
// The skin of sliders: track and thumb geometry, value mapping, keyboard step factors and
// drawing of track and thumb from state pictures.
#include "render/Types.h"
#include "ui/ButtonSkin.h"
#include "ui/Skins.h"

// Keyboard step factors: Shift multiplies a step by 5, Control by 20, both by 100.
constexpr int SLIDER_SHIFT_FACTOR = 5;
constexpr int SLIDER_CONTROL_FACTOR = 20;
// Sizes used while no picture of the kind is given.
constexpr unsigned SLIDER_DEFAULT_TRACK_WIDTH = 30;
constexpr unsigned SLIDER_DEFAULT_TRACK_HEIGHT = 8;
constexpr unsigned SLIDER_DEFAULT_THUMB_WIDTH = 3;
constexpr unsigned SLIDER_DEFAULT_THUMB_HEIGHT = 4;
// Int ranges with fewer values than this are mapped with 8 extra bits of precision.
constexpr long long SLIDER_PRECISION_RANGE = 256;
constexpr int SLIDER_PRECISION_SHIFT = 8;

class SliderSkin : public SliderSkinInterface {
public:
    // Borrows the four track and four thumb pictures (any may be null); sizes come from the
    // first non-null picture of each kind in state order.
    SliderSkin(Image* trackNormal, Image* trackHot, Image* trackActive, Image* trackHotActive,
               Image* thumbNormal, Image* thumbHot, Image* thumbActive, Image* thumbHotActive);
    ~SliderSkin() override = default;

    // True unless set otherwise with setFocusable.
    bool acceptsFocus() const override { return focusable; }
    // Hit when the mouse is on the track (the picture's area, or rect without a track picture).
    bool hitTest(const UiContext& ctx, float mouseX, float mouseY,
                 const RectF& rect) const override;
    // Gives (5, 20).
    void intStepFactors(int& shiftFactor, int& controlFactor) const override;
    // Gives (5.0, 20.0).
    void floatStepFactors(float& shiftFactor, float& controlFactor) const override;
    // Value whose thumb centre is at the mouse; every value owns an equal share of the span.
    int intValueAt(const UiContext& ctx, int orientation, int min, int max, float mouseX,
                   float mouseY, const RectF& rect) const override;
    // Value whose thumb centre is at the mouse, clamped to [min, max].
    float floatValueAt(const UiContext& ctx, int orientation, float min, float max,
                       float mouseX, float mouseY, const RectF& rect) const override;
    // Draws track and thumb at the value's fraction of [min, max] (an empty range: at min).
    RectF drawFloat(const UiContext& ctx, int state, int orientation, float value, float min,
                    float max, float x, float y, float w, float h) override;
    // As drawFloat, for int values.
    RectF drawInt(const UiContext& ctx, int state, int orientation, int value, int min, int max,
                  float x, float y, float w, float h) override;

    // Factor on the picture-derived sizes.
    void setScale(float s) { scale = s; }
    // Tint of the track pictures.
    void setTrackColour(const ColorRGBA& colour) { trackColour = colour; }
    // Tint of the thumb pictures.
    void setThumbColour(const ColorRGBA& colour) { thumbColour = colour; }
    // Whether sliders with this skin take the keyboard focus.
    void setFocusable(bool on) { focusable = on; }

    // Track picture width (or the default).
    unsigned trackWidthValue() const { return trackWidth; }
    // Track picture height (or the default).
    unsigned trackHeightValue() const { return trackHeight; }
    // Thumb picture width (or the default).
    unsigned thumbWidthValue() const { return thumbWidth; }
    // Thumb picture height (or the default).
    unsigned thumbHeightValue() const { return thumbHeight; }

protected:
    // Track and thumb sizes used by hit tests and value mapping.
    void geometry(const RectF& rect, float& tw, float& th, float& uw, float& uh) const;
    // Draws track and thumb for the thumb at fraction (0..1) of the span; returns the rectangle.
    RectF drawCommon(const UiContext& ctx, int state, int orientation, float fraction, float x,
                     float y, float w, float h);

    float scale = 1.f;
    ColorRGBA trackColour{0xFFFFFFFFu};
    ColorRGBA thumbColour{0xFFFFFFFFu};
    Image* trackImages[SKIN_STATE_COUNT] = {};
    Image* thumbImages[SKIN_STATE_COUNT] = {};
    unsigned trackWidth = SLIDER_DEFAULT_TRACK_WIDTH;
    unsigned trackHeight = SLIDER_DEFAULT_TRACK_HEIGHT;
    unsigned thumbWidth = SLIDER_DEFAULT_THUMB_WIDTH;
    unsigned thumbHeight = SLIDER_DEFAULT_THUMB_HEIGHT;
    bool focusable = true;
};
