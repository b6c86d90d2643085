#pragma once
// The font interface used by widgets and the editor: measuring and drawing lines of text.
#include "render/Types.h"

class Font {
public:
    virtual ~Font() = default;
    // Reads the font; false when it cannot be used.
    virtual bool load() = 0;
    // (Re)reads the font file and its pages, releasing an earlier load first.
    virtual bool parse() = 0;
    // Extra advance in pixels after every glyph.
    virtual void setTracking(int pixels) = 0;
    virtual int tracking() const = 0;
    // Line height times scale.
    virtual float scaledLineHeight(float scale) const = 0;
    // Distance between lines in pixels.
    virtual int lineHeight() const = 0;
    // True when the font has a glyph for the character.
    virtual bool hasGlyph(int character) const = 0;
    // Width of the first length bytes of text (negative: up to the NUL) at scale.
    virtual float textWidth(const char* text, float scale, int length) const = 0;
    // Size of text broken into lines (wrapping when maxWidth > 0); returns the line count.
    virtual int measureText(float* width, float* height, const char* text, float scale,
                            float maxWidth, int maxChars) const;
    // Draws one line aligned by the ALIGN_... bits (render/Drawable.h); returns the width drawn.
    virtual float drawLine(float x, float y, const char* text, int alignFlags, float scale,
                           const ColorRGBA* colour, int length) = 0;
    // Draws text broken into lines; returns the line count.
    virtual int drawText(float x, float y, const char* text, int alignFlags, float scale,
                         float maxWidth, const ColorRGBA* colour, int maxChars);

    bool isLoaded() const { return loaded; }
    // Blend mode handed to every glyph draw.
    int blendMode() const { return blendMode_; }
    void setBlendMode(int mode) { blendMode_ = mode; }
    // Bit 0: backslash escapes in text are interpreted.
    int flags() const { return flags_; }

protected:
    bool loaded = false;
    int blendMode_ = 0;
    int flags_ = 1;
};
