#include "ui/SliderSkin.h"

#include <cmath>

#include "render/Drawable.h"
#include "render/Image.h"
#include "render/Renderer.h"
#include "ui/UiContext.h"

namespace {

// Flags of the track picture: colour, alpha, transform and scale, top-left at (x, y).
constexpr unsigned TRACK_FLAGS = DRAW_COLOR | DRAW_ALPHA | DRAW_TRANSFORM | DRAW_SCALE;
// Flags of the thumb picture: as the track's, centred on its anchor.
constexpr unsigned THUMB_FLAGS = TRACK_FLAGS | DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y;
// Pixel positions are limited to this magnitude before they become integers.
constexpr float POSITION_LIMIT = 1.0e9f;

// Truncates toward zero to an integer, limiting the magnitude so the conversion is defined.
long long truncToInt(float v) {
    if (!(v == v)) return 0;  // NaN
    if (v > POSITION_LIMIT) v = POSITION_LIMIT;
    if (v < -POSITION_LIMIT) v = -POSITION_LIMIT;
    return static_cast<long long>(v);
}

Image* firstOf(Image* const* images) {
    for (int i = 0; i < SKIN_STATE_COUNT; ++i)
        if (images[i]) return images[i];
    return nullptr;
}

}  // namespace

SliderSkin::SliderSkin(Image* trackNormal, Image* trackHot, Image* trackActive,
                       Image* trackHotActive, Image* thumbNormal, Image* thumbHot,
                       Image* thumbActive, Image* thumbHotActive)
    : trackImages{trackNormal, trackHot, trackActive, trackHotActive},
      thumbImages{thumbNormal, thumbHot, thumbActive, thumbHotActive} {
    if (Image* track = firstOf(trackImages)) {
        trackWidth = unsigned(track->width());
        trackHeight = unsigned(track->height());
    }
    if (Image* thumb = firstOf(thumbImages)) {
        thumbWidth = unsigned(thumb->width());
        thumbHeight = unsigned(thumb->height());
    }
}

// With a normal track picture the track and thumb have the pictures' sizes times scale;
// without one the track is the widget rectangle and the thumb keeps its unscaled size.
void SliderSkin::geometry(const RectF& rect, float& tw, float& th, float& uw, float& uh) const {
    if (trackImages[0]) {
        tw = float(trackWidth) * scale;
        th = float(trackHeight) * scale;
        uw = float(thumbWidth) * scale;
        uh = float(thumbHeight) * scale;
    } else {
        tw = rect.width;
        th = rect.height;
        uw = float(thumbWidth);
        uh = float(thumbHeight);
    }
}

bool SliderSkin::hitTest(const UiContext&, float mouseX, float mouseY, const RectF& rect) const {
    RectF area = rect;
    if (trackImages[0]) {
        area.width = float(trackWidth) * scale;
        area.height = float(trackHeight) * scale;
    }
    return area.contains(mouseX, mouseY);
}

void SliderSkin::intStepFactors(int& shiftFactor, int& controlFactor) const {
    shiftFactor = SLIDER_SHIFT_FACTOR;
    controlFactor = SLIDER_CONTROL_FACTOR;
}

void SliderSkin::floatStepFactors(float& shiftFactor, float& controlFactor) const {
    shiftFactor = float(SLIDER_SHIFT_FACTOR);
    controlFactor = float(SLIDER_CONTROL_FACTOR);
}

// The thumb centre follows the mouse: position 0 (thumb at the start) is min, the span
// (track length less thumb length; 1 when that is 0) is max.
float SliderSkin::floatValueAt(const UiContext&, int orientation, float min, float max,
                               float mouseX, float mouseY, const RectF& rect) const {
    float tw, th, uw, uh;
    geometry(rect, tw, th, uw, uh);
    float pos, span;
    if (orientation == UI_VERTICAL) {
        pos = mouseY - rect.y - uh / 2;
        if (pos < 0) pos = 0;
        span = th - uh;
        if (pos > span) pos = span;
    } else {
        pos = mouseX - rect.x - uw / 2;
        span = tw - uw;
    }
    if (span == 0) span = 1;
    float value = min + pos * (max - min) / span;
    if (value < min) value = min;
    if (value > max) value = max;
    return value;
}

// Every value owns an equal share of the span: value = min + (pos * n + n / 2) / span for
// n = max - min + 1 values, with 8 extra bits of precision when n is below 256. Computed in
// 64 bits so that wide ranges cannot overflow.
int SliderSkin::intValueAt(const UiContext&, int orientation, int min, int max, float mouseX,
                           float mouseY, const RectF& rect) const {
    float tw, th, uw, uh;
    geometry(rect, tw, th, uw, uh);
    long long pos, span;
    if (orientation == UI_VERTICAL) {
        pos = truncToInt(mouseY - rect.y - uh / 2);
        span = truncToInt(th - uh);
    } else {
        pos = truncToInt(mouseX - rect.x - uw / 2);
        span = truncToInt(tw - uw);
    }
    if (span == 0) span = 1;
    long long n = static_cast<long long>(max) - min + 1;
    int shift = 0;
    if (n < SLIDER_PRECISION_RANGE) {
        n *= 1 << SLIDER_PRECISION_SHIFT;
        shift = SLIDER_PRECISION_SHIFT;
    }
    long long value = min + ((pos * n + n / 2) / span >> shift);
    if (value < min) value = min;
    if (value > max) value = max;
    return static_cast<int>(value);
}

RectF SliderSkin::drawFloat(const UiContext& ctx, int state, int orientation, float value,
                            float min, float max, float x, float y, float w, float h) {
    // An empty range draws the thumb at the start.
    const float fraction = max != min ? (value - min) / (max - min) : 0.f;
    return drawCommon(ctx, state, orientation, fraction, x, y, w, h);
}

RectF SliderSkin::drawInt(const UiContext& ctx, int state, int orientation, int value, int min,
                          int max, float x, float y, float w, float h) {
    const long long range = static_cast<long long>(max) - min;
    const float fraction =
        range != 0 ? float(static_cast<long long>(value) - min) / float(range) : 0.f;
    return drawCommon(ctx, state, orientation, fraction, x, y, w, h);
}

// The track picture of the state (when there is one) is drawn at the truncated corner and
// then sets the size; the thumb of the state is drawn centred at its place along the span.
RectF SliderSkin::drawCommon(const UiContext& ctx, int state, int orientation, float fraction,
                             float x, float y, float w, float h) {
    const bool drawing = ctx.isDrawPass();
    Image* track = trackImages[state & 3];
    float uw = float(thumbWidth), uh = float(thumbHeight);
    x = std::trunc(x);
    y = std::trunc(y);
    if (track) {
        if (drawing) {
            track->setScale(scale);
            track->draw(BLEND_ALPHA, TRACK_FLAGS, x, y, &trackColour, nullptr);
        }
        w = float(trackWidth) * scale;
        h = float(trackHeight) * scale;
        uw *= scale;
        uh *= scale;
    }
    const RectF result(x, y, w, h);
    float cx, cy;
    if (orientation == UI_VERTICAL) {
        cx = x + w / 2;
        cy = y + fraction * (h - uh) + uh / 2;
    } else {
        cx = x + fraction * (w - uw) + uw / 2;
        cy = y + h / 2;
    }
    cx = std::trunc(cx);
    cy = std::trunc(cy);
    Image* thumb = thumbImages[state & 3];
    if (drawing && thumb) {
        thumb->setScale(scale);
        thumb->draw(BLEND_ALPHA, THUMB_FLAGS, cx, cy, &thumbColour, nullptr);
    }
    return result;
}
