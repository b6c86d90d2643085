#pragma once
// Text is UTF-8: a character is one to four bytes. A byte sequence that is not UTF-8 (a stray
// continuation byte, a sequence cut short, an overlong or surrogate form) stands for one
// character that is not valid, as few bytes long as Unicode's "maximal subpart" rule says,
// so that the text after it decodes as it should.
#include <cstdint>
#include <string>

// The character drawn in place of one the font lacks or one that is not valid UTF-8.
constexpr uint32_t REPLACEMENT_CHARACTER = 0xFFFD;
// Drawn instead when the font lacks the replacement character too.
constexpr uint32_t FALLBACK_REPLACEMENT_CHARACTER = '?';

// One character decoded from the text.
struct Utf8Char {
    uint32_t code = 0;  // the Unicode code point (the first byte when not valid)
    int bytes = 0;      // bytes it takes, 0 at the end of the text
    bool valid = false; // false: a byte sequence that is not UTF-8
};

// Decodes the character at text, reading at most available bytes (negative: up to the NUL).
Utf8Char decodeUtf8(const char* text, int available);
// True for a code point that is a control character (C0, DEL, C1): never drawn, never replaced.
bool isControlCharacter(uint32_t code);
// Removes the last character (all of its bytes) from text.
void popLastCharacter(std::string& text);
