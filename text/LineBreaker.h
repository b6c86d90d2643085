#pragma once
// Splits a text into lines at newlines and, when a width limit is given, between words.
#include <cstdint>

class Font;

class LineBreaker {
public:
    // One pass over text; wraps when maxWidth > 0; maxChars 0 (or negative) means no limit.
    LineBreaker(const Font* font, const char* text, float scale, float maxWidth, int maxChars);

    // Produces the next line (start, byte length, width when asked); false when none is left.
    bool nextLine(const char** start, int* length, float* width);

    // Lines counted so far: 1 at the start, +1 at every break; 0 for an empty text.
    int lineCount() const { return lineCount_; }
    // True once the end of the text has been reached.
    bool done() const { return done_; }

private:
    // The character at pos after escapes, its byte count (0 at the end of the text).
    int readChar(int at, unsigned char* c) const;

    const Font* font_;
    const char* text_;
    float scale_;
    float maxWidth_;
    int32_t maxChars_;
    bool wrap_;
    float scaledTracking_;
    float spaceWidth_ = 0.f;
    int32_t lineCount_ = 1;
    int32_t pos_ = 0;
    const char* lineStart_;
    const char* wordStart_;
    int32_t lineLen_ = 0;
    int32_t wordLen_ = 0;
    float lineWidth_ = 0.f;
    bool done_ = false;
};
