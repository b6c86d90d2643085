#include "text/Font.h"

#include "render/Drawable.h"
#include "text/LineBreaker.h"

int Font::measureText(float* width, float* height, const char* text, float scale,
                      float maxWidth, int maxChars) const {
    LineBreaker breaker(this, text, scale, maxWidth, maxChars);
    if (breaker.done()) return 0;
    float widest = 0.f;
    const char* start = nullptr;
    int length = 0;
    float lineWidth = 0.f;
    while (breaker.nextLine(&start, &length, &lineWidth))
        if (lineWidth > widest) widest = lineWidth;
    if (width) *width = widest;
    if (height) *height = float(breaker.lineCount()) * scaledLineHeight(scale);
    return breaker.lineCount();
}

int Font::drawText(float x, float y, const char* text, int alignFlags, float scale,
                   float maxWidth, const ColorRGBA* colour, int maxChars) {
    if (alignFlags & (ALIGN_CENTRE_Y | ALIGN_BOTTOM)) {
        float width = 0.f, height = 0.f;
        measureText(&width, &height, text, scale, maxWidth, maxChars);
        y -= (alignFlags & ALIGN_CENTRE_Y) ? height / 2.f : height;
        alignFlags &= ~(ALIGN_CENTRE_Y | ALIGN_BOTTOM);
    }
    LineBreaker breaker(this, text, scale, maxWidth, maxChars);
    if (breaker.done()) return 0;
    const char* start = nullptr;
    int length = 0;
    while (breaker.nextLine(&start, &length, nullptr)) {
        drawLine(x, y, start, alignFlags, scale, colour, length);
        y += scaledLineHeight(scale);
    }
    return breaker.lineCount();
}
