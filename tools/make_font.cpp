// make_font FONT.ttf OUTDIR: renders the face at 30 pixels into OUTDIR/droid30.fnt (BMFont
// text format, laid out like the files the BMFont generator writes) and its page picture
// OUTDIR/droid30_0.png (white glyphs, coverage in alpha). The output depends only on the
// face file and the FreeType and libpng versions: same inputs, same bytes.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/PngFile.h"

namespace {

constexpr int FONT_PIXELS = 30;
constexpr int PAGE_WIDTH = 512;
constexpr int GLYPH_SPACING = 1;  // free pixels right of and below every glyph
const char* const FONT_NAME = "droid30";

struct Rendered {
    unsigned id = 0;
    int x = 0, y = 0, width = 0, height = 0;
    int xoffset = 0, yoffset = 0, xadvance = 0;
    std::vector<unsigned char> alpha;  // width * height coverage values
};

struct Pair {
    unsigned first, second;
    int amount;
};

// Character codes in the font: printable ASCII and the printable Latin-1 supplement.
std::vector<unsigned> characterSet() {
    std::vector<unsigned> ids;
    for (unsigned c = 32; c <= 126; ++c) ids.push_back(c);
    for (unsigned c = 160; c <= 255; ++c) ids.push_back(c);
    return ids;
}

// Compression of the page picture.
constexpr int PAGE_PNG_COMPRESSION = 9;

// Writes an RGBA picture.
bool writePng(const std::string& path, int w, int h, const std::vector<unsigned char>& rgba) {
    return pngfile::write(path.c_str(), w, h, 4, rgba.data(), PAGE_PNG_COMPRESSION);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_font FONT.ttf OUTDIR\n");
        return 2;
    }
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) || FT_New_Face(library, argv[1], 0, &face) ||
        FT_Set_Pixel_Sizes(face, 0, FONT_PIXELS)) {
        std::fprintf(stderr, "make_font: cannot open %s\n", argv[1]);
        return 1;
    }
    const int base = int((face->size->metrics.ascender + 63) >> 6);
    const int lineHeight = int((face->size->metrics.height + 32) >> 6);

    std::vector<Rendered> glyphs;
    for (unsigned id : characterSet()) {
        if (FT_Get_Char_Index(face, id) == 0) continue;
        if (FT_Load_Char(face, id, FT_LOAD_RENDER)) continue;
        const FT_GlyphSlot slot = face->glyph;
        Rendered r;
        r.id = id;
        r.width = int(slot->bitmap.width);
        r.height = int(slot->bitmap.rows);
        r.xoffset = r.width ? slot->bitmap_left : 0;
        r.yoffset = r.height ? base - slot->bitmap_top : 0;
        r.xadvance = int((slot->advance.x + 32) >> 6);
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                r.alpha.push_back(slot->bitmap.buffer[y * slot->bitmap.pitch + x]);
        glyphs.push_back(std::move(r));
    }

    // Shelf packing, tallest glyphs first (ties by id), rows left to right.
    std::vector<Rendered*> order;
    for (Rendered& r : glyphs) order.push_back(&r);
    std::stable_sort(order.begin(), order.end(),
                     [](const Rendered* a, const Rendered* b) { return a->height > b->height; });
    int penX = 0, penY = 0, rowHeight = 0;
    for (Rendered* r : order) {
        if (r->width == 0 || r->height == 0) continue;
        if (penX + r->width > PAGE_WIDTH) {
            penX = 0;
            penY += rowHeight + GLYPH_SPACING;
            rowHeight = 0;
        }
        r->x = penX;
        r->y = penY;
        penX += r->width + GLYPH_SPACING;
        rowHeight = std::max(rowHeight, r->height);
    }
    int pageHeight = 1;
    while (pageHeight < penY + rowHeight) pageHeight *= 2;

    std::vector<unsigned char> rgba(size_t(PAGE_WIDTH) * size_t(pageHeight) * 4, 0);
    for (size_t i = 0; i < rgba.size(); i += 4) rgba[i] = rgba[i + 1] = rgba[i + 2] = 255;
    for (const Rendered& r : glyphs)
        for (int y = 0; y < r.height; ++y)
            for (int x = 0; x < r.width; ++x)
                rgba[(size_t(r.y + y) * PAGE_WIDTH + size_t(r.x + x)) * 4 + 3] =
                    r.alpha[size_t(y) * size_t(r.width) + size_t(x)];

    // Kerning pairs from the face's kerning table, grid-fitted to whole pixels.
    std::vector<Pair> pairs;
    if (FT_HAS_KERNING(face)) {
        for (const Rendered& a : glyphs)
            for (const Rendered& b : glyphs) {
                FT_Vector delta;
                if (FT_Get_Kerning(face, FT_Get_Char_Index(face, a.id), FT_Get_Char_Index(face, b.id),
                                   FT_KERNING_DEFAULT, &delta))
                    continue;
                const int amount = int(delta.x >> 6);
                if (amount != 0) pairs.push_back({a.id, b.id, amount});
            }
    }

    const std::string dir = argv[2];
    const std::string page = std::string(FONT_NAME) + "_0.png";
    if (!writePng(dir + "/" + page, PAGE_WIDTH, pageHeight, rgba)) {
        std::fprintf(stderr, "make_font: cannot write %s/%s\n", dir.c_str(), page.c_str());
        return 1;
    }
    const std::string fnt = dir + "/" + FONT_NAME + ".fnt";
    std::FILE* out = std::fopen(fnt.c_str(), "w");
    if (!out) {
        std::fprintf(stderr, "make_font: cannot write %s\n", fnt.c_str());
        return 1;
    }
    std::fprintf(out,
                 "info face=\"%s\" size=%d bold=0 italic=0 charset=\"\" unicode=1 stretchH=100 "
                 "smooth=1 aa=1 padding=0,0,0,0 spacing=%d,%d outline=0\n",
                 face->family_name, FONT_PIXELS, GLYPH_SPACING, GLYPH_SPACING);
    std::fprintf(out,
                 "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=1 packed=0 alphaChnl=0 "
                 "redChnl=4 greenChnl=4 blueChnl=4\n",
                 lineHeight, base, PAGE_WIDTH, pageHeight);
    std::fprintf(out, "page id=0 file=\"%s\"\n", page.c_str());
    std::fprintf(out, "chars count=%zu\n", glyphs.size());
    for (const Rendered& r : glyphs)
        std::fprintf(out,
                     "char id=%-4u x=%-5d y=%-5d width=%-5d height=%-5d xoffset=%-5d yoffset=%-5d "
                     "xadvance=%-5d page=%-2d chnl=15\n",
                     r.id, r.x, r.y, r.width, r.height, r.xoffset, r.yoffset, r.xadvance, 0);
    std::fprintf(out, "kernings count=%zu\n", pairs.size());
    for (const Pair& p : pairs)
        std::fprintf(out, "kerning first=%-3u second=%-3u amount=%-4d\n", p.first, p.second,
                     p.amount);
    const bool ok = std::fclose(out) == 0;
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return ok ? 0 : 1;
}
