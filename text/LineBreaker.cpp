#include "text/LineBreaker.h"

#include <climits>

#include "text/Font.h"

LineBreaker::LineBreaker(const Font* font, const char* text, float scale, float maxWidth,
                         int maxChars)
    : font_(font),
      text_(text),
      scale_(scale),
      maxWidth_(maxWidth),
      maxChars_(maxChars > 0 ? maxChars : INT_MAX),
      wrap_(maxWidth > 0.f),
      scaledTracking_(font ? float(font->tracking()) * scale : 0.f),
      lineStart_(text),
      wordStart_(text) {
    if (!font || !text || text[0] == '\0') {
        done_ = true;
        lineCount_ = 0;
        return;
    }
    spaceWidth_ = (font->hasGlyph(32) ? font->textWidth(" ", 1.f, 1) : float(font->lineHeight() / 3)) *
                  scale;
}

int LineBreaker::readChar(int at, unsigned char* c) const {
    if (at >= maxChars_ || text_[at] == '\0') return 0;
    unsigned char ch = static_cast<unsigned char>(text_[at]);
    if (ch != '\\' || !(font_->flags() & 1)) {
        *c = ch;
        return 1;
    }
    // An escape takes two bytes; a backslash at the end of the text is dropped.
    if (at + 1 >= maxChars_ || text_[at + 1] == '\0') return 0;
    ch = static_cast<unsigned char>(text_[at + 1]);
    *c = ch == 'n' ? '\n' : ch == 'r' ? '\r' : ch == 't' ? '\t' : ch;
    return 2;
}

bool LineBreaker::nextLine(const char** start, int* length, float* width) {
    if (done_) {
        if (start) *start = text_ ? text_ + pos_ : nullptr;
        if (length) *length = 0;
        if (width) *width = 0.f;
        return false;
    }
    // Lines are byte ranges of the text: an escape's two bytes count in the lengths. The end
    // of the text (NUL, the character limit or a dropped final backslash) acts as a NUL.
    bool produced = false;
    auto produce = [&](const char* from, int len, float w) {
        if (start) *start = from;
        if (length) *length = len;
        if (width) *width = w;
        produced = true;
    };
    for (;;) {
        unsigned char c = 0;
        const int bytes = readChar(pos_, &c);
        const bool end = bytes == 0;
        bool again = false;  // the character is looked at once more by the next call
        if (wrap_ && (end || c == ' ' || c == '\n')) {
            bool overflow = false;
            bool brk = false;
            float w = 0.f;
            if (wordLen_ > 0) {
                w = font_->textWidth(wordStart_, scale_, wordLen_);
                if (lineWidth_ + w <= maxWidth_) {
                    lineWidth_ += w + scaledTracking_;
                } else if (lineWidth_ > 0.f) {
                    overflow = true;
                } else {
                    // A word wider than the limit stands alone, reported with its own width.
                    lineWidth_ = w + scaledTracking_;
                    brk = !end;
                }
            }
            if (!overflow && !end && lineWidth_ + spaceWidth_ >= maxWidth_) brk = true;
            if (overflow) {
                produce(lineStart_, lineLen_ - wordLen_, lineWidth_);
                lineStart_ = wordStart_;
                if (c == '\n') {
                    // The newline still ends the overflowed word's line: look at it again.
                    lineLen_ = wordLen_;
                    lineWidth_ = w + scaledTracking_;
                    again = true;
                } else {
                    lineLen_ = wordLen_ + bytes;
                    lineWidth_ = w + scaledTracking_ + 1.f;
                }
                ++lineCount_;
            } else if (brk) {
                produce(lineStart_, lineLen_ + bytes, lineWidth_);
                lineStart_ = text_ + pos_ + bytes;
                lineLen_ = 0;
                lineWidth_ = 0.f;
                ++lineCount_;
            } else if (c == ' ') {
                lineWidth_ += spaceWidth_ + scaledTracking_;
            }
            if (!end) wordStart_ = text_ + pos_ + bytes;
            wordLen_ = 0;
        } else if (wrap_) {
            wordLen_ += bytes;
        }
        if (!produced && !end && c == '\n') {
            // A line ended by a newline reports its own measured width.
            produce(lineStart_, lineLen_, font_->textWidth(lineStart_, scale_, lineLen_));
            ++lineCount_;
            lineStart_ = text_ + pos_ + bytes;
            lineLen_ = 0;
            lineWidth_ = 0.f;
        } else if (!produced) {
            lineLen_ += bytes;
        }
        if (!again) pos_ += bytes;
        if (produced || end) break;
    }
    if (!produced) {
        done_ = true;
        if (lineLen_ > 0) produce(lineStart_, lineLen_, font_->textWidth(lineStart_, scale_, lineLen_));
    }
    return produced;
}
