#pragma once
// A font read from a BMFont text file (".fnt") with its page pictures beside it.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "text/Font.h"

class Image;
class Renderer2D;
struct Utf8Char;

// Longest font path kept (the buffer holds one more byte for the NUL).
constexpr int FONT_PATH_MAX = 127;
// Longest face and charset texts read from the info line.
constexpr int FONT_NAME_MAX = 63;
// Longest page file name read from a page line.
constexpr int FONT_PAGE_FILE_MAX = 127;
// Size of the buffer that holds directory part + page file name (with its NUL).
constexpr int FONT_PAGE_PATH_BUFFER = 254;
// The directory part of the font path is only used when it is shorter than this.
constexpr int FONT_PAGE_DIR_MAX = 200;
// Most page pictures one font may have.
constexpr int FONT_MAX_PAGES = 256;
// Most glyphs one font may have (the synthetic space not counted).
constexpr int FONT_MAX_GLYPHS = 65536;
// Most kerning pairs: a glyph's kerningStart is a 16-bit index.
constexpr int FONT_MAX_KERNINGS = 32767;

// One page picture of a font.
struct FontPage {
    uint16_t id = 0;                           // as read from the page line
    char file[FONT_PAGE_FILE_MAX + 1] = {};    // file name as written in the .fnt
    std::unique_ptr<Image> image;              // owned; null until loaded
};

// One character's rectangle in its page and its placement metrics.
struct Glyph {
    uint32_t id = 0;            // character code
    int16_t kerningStart = -1;  // first pair whose first is this glyph, -1 for none
    uint16_t x = 0, y = 0, width = 0, height = 0;  // rectangle in the page, pixels
    int16_t xoffset = 0, yoffset = 0;              // rectangle offset from the pen
    int16_t xadvance = 0;                          // pen advance
    uint16_t page = 0;                             // position in the page table
    uint8_t chnl = 0;
};

// Pen adjustment between two characters.
struct KerningPair {
    int32_t first = 0;
    int32_t second = 0;
    int16_t amount = 0;
};

class BitmapFont : public Font {
public:
    // Keeps the renderer (not owned) and up to FONT_PATH_MAX characters of path; reads nothing.
    BitmapFont(Renderer2D* renderer, const char* path);
    ~BitmapFont() override;
    BitmapFont(const BitmapFont&) = delete;
    BitmapFont& operator=(const BitmapFont&) = delete;

    // Reads the font (parse); false when it cannot be used.
    bool load() override;
    // (Re)reads the font file and its page pictures; false on any failure.
    bool parse() override;
    // Reads the font from an open stream as parse does after opening the file (pages included).
    bool parseStream(std::FILE* file);
    void setTracking(int pixels) override;
    int tracking() const override;
    float scaledLineHeight(float scale) const override;
    int lineHeight() const override;
    bool hasGlyph(int character) const override;
    float textWidth(const char* text, float scale, int length) const override;
    float drawLine(float x, float y, const char* text, int alignFlags, float scale,
                   const ColorRGBA* colour, int length) override;

    // Index of the character's glyph in the glyph table, or -1.
    int findGlyph(unsigned character) const;
    // Pen adjustment for the pair, 0 if none; firstIndex is first's glyph index or -1.
    int kerning(int first, int second, int firstIndex) const;
    // kerning(first, second, findGlyph(first)).
    int kerningOf(int first, int second) const;

    // The font file's path as kept.
    const char* path() const { return path_; }
    // Face name from the info line.
    const char* face() const { return face_; }
    // Charset from the info line, without its quotes.
    const char* charset() const { return charset_; }
    // Font size from the info line.
    int size() const { return size_; }
    // Baseline from the common line.
    int base() const { return base_; }
    // Number of page records.
    int pageCount() const { return int(pages_.size()); }
    // Page record i (0 <= i < pageCount()).
    const FontPage& page(int i) const { return pages_[size_t(i)]; }
    // Number of glyphs, a synthetic space included.
    int glyphCount() const { return glyphCount_; }
    // Glyph i (0 <= i < glyphCount()).
    const Glyph& glyph(int i) const { return glyphs_[size_t(i)]; }
    // Number of kerning pairs.
    int kerningCount() const { return kerningCount_; }
    // Kerning pair i in lookup order (0 <= i < kerningCount()).
    const KerningPair& kerningPair(int i) const { return kernings_[size_t(i)]; }

private:
    // Drops pictures, pages, glyphs and kernings of an earlier load.
    void release();
    // Reads every line of the file; false on any malformed or oversized part.
    bool readFile(std::FILE* file);
    // Loads every page picture beside the font file, else by its bare name.
    bool loadPages();
    // True when the glyph's rectangle lies inside a loaded page picture.
    bool glyphDrawable(const Glyph& g) const;
    // The glyph drawn for a character of the text: its own; for a printable character beyond
    // the single-byte range that the font lacks, or one that is not valid UTF-8, the
    // replacement (U+FFFD, else '?'); -1 draws nothing.
    int glyphFor(const Utf8Char& c) const;

    int tracking_ = 0;
    Renderer2D* renderer_;
    char path_[FONT_PATH_MAX + 1] = {};
    bool pathTooLong_ = false;
    char face_[FONT_NAME_MAX + 1] = {};
    char charset_[FONT_NAME_MAX + 1] = {};
    uint16_t size_ = 0;
    uint16_t stretchH_ = 0;
    uint16_t padding_[4] = {};
    uint16_t spacing_[2] = {};
    uint16_t outline_ = 0;
    uint8_t aa_ = 0;
    bool bold_ = false, italic_ = false, unicode_ = false, smooth_ = false;
    uint16_t lineHeightPx_ = 0;
    uint16_t base_ = 0;
    uint16_t scaleW_ = 0, scaleH_ = 0;
    uint16_t pageCount_ = 0;
    uint8_t alphaChnl_ = 0, redChnl_ = 0, greenChnl_ = 0, blueChnl_ = 0;
    bool packed_ = false;
    std::vector<FontPage> pages_;
    int32_t kerningCount_ = 0;
    std::vector<KerningPair> kernings_;
    int32_t glyphCount_ = 0;
    std::vector<Glyph> glyphs_;
};
