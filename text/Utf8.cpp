#include "text/Utf8.h"

namespace {

// Limits of the Unicode code space and of the surrogates (not characters in UTF-8).
constexpr uint32_t MAX_CODE_POINT = 0x10FFFF;
constexpr uint32_t FIRST_SURROGATE = 0xD800;
constexpr uint32_t LAST_SURROGATE = 0xDFFF;
// The control characters: C0 below the space, DEL, and C1.
constexpr uint32_t FIRST_PRINTABLE = 0x20;
constexpr uint32_t DELETE_CHARACTER = 0x7F;
constexpr uint32_t LAST_C1_CONTROL = 0x9F;

// True for a continuation byte (10xxxxxx).
bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

// Bytes of the sequence a lead byte starts and the bits it carries; 0 for a byte that starts
// no sequence (a continuation byte, 0xC0, 0xC1, 0xF5 and above).
int sequenceLength(unsigned char lead, uint32_t& bits) {
    if (lead < 0x80) {
        bits = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        bits = lead & 0x1Fu;
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        bits = lead & 0x0Fu;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        bits = lead & 0x07u;
        return 4;
    }
    return 0;
}

// The range the second byte of a sequence may take after lead (narrower than a continuation
// byte's after E0, ED, F0 and F4: no overlong forms, no surrogates, nothing past U+10FFFF).
bool secondByteFits(unsigned char lead, unsigned char second) {
    if (lead == 0xE0) return second >= 0xA0 && second <= 0xBF;
    if (lead == 0xED) return second >= 0x80 && second <= 0x9F;
    if (lead == 0xF0) return second >= 0x90 && second <= 0xBF;
    if (lead == 0xF4) return second >= 0x80 && second <= 0x8F;
    return isContinuation(second);
}

}  // namespace

Utf8Char decodeUtf8(const char* text, int available) {
    Utf8Char c;
    const auto byteAt = [text, available](int i) -> int {
        if (available >= 0 && i >= available) return -1;
        return static_cast<unsigned char>(text[i]);
    };
    const int lead = text ? byteAt(0) : -1;
    if (lead <= 0) return c;
    c.code = uint32_t(lead);
    c.bytes = 1;
    uint32_t bits = 0;
    const int length = sequenceLength(static_cast<unsigned char>(lead), bits);
    if (length == 0) return c;  // not valid, one byte
    for (int i = 1; i < length; ++i) {
        const int b = byteAt(i);
        // A NUL or the end of the text also ends a sequence cut short.
        const bool fits = b > 0 && (i == 1 ? secondByteFits(static_cast<unsigned char>(lead), static_cast<unsigned char>(b))
                                           : isContinuation(static_cast<unsigned char>(b)));
        if (!fits) return c;  // not valid: the lead and the bytes that fitted
        bits = bits << 6 | (uint32_t(b) & 0x3Fu);
        c.bytes = i + 1;
    }
    if (bits > MAX_CODE_POINT || (bits >= FIRST_SURROGATE && bits <= LAST_SURROGATE)) return c;
    c.code = bits;
    c.valid = true;
    return c;
}

bool isControlCharacter(uint32_t code) {
    return code < FIRST_PRINTABLE || (code >= DELETE_CHARACTER && code <= LAST_C1_CONTROL);
}

void popLastCharacter(std::string& text) {
    if (text.empty()) return;
    // Back over continuation bytes to the byte that starts the last character (at most four).
    size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 && isContinuation(static_cast<unsigned char>(text[start])))
        --start;
    const Utf8Char last = decodeUtf8(text.c_str() + start, int(text.size() - start));
    // Only a valid character is taken whole; otherwise a single byte goes.
    text.erase(last.valid && start + size_t(last.bytes) == text.size() ? start : text.size() - 1);
}
