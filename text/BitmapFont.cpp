#include "text/BitmapFont.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/Image.h"
#include "render/Renderer2D.h"
#include "text/Utf8.h"

namespace {

// Shortest lines the scans can match, used to bound each count by the bytes left in the file.
// (A blank in a scan pattern also matches no white space at all; %*[ ] needs one blank.)
constexpr long MIN_PAGE_LINE = 16;     // pageid=0file="a"
constexpr long MIN_CHAR_LINE = 79;     // char id=0 x=0 ... chnl=0
constexpr long MIN_KERNING_LINE = 32;  // kerningfirst=0 second=0 amount=0

bool fitsU16(int v) { return v >= 0 && v <= 0xFFFF; }
bool fitsS16(int v) { return v >= -0x8000 && v <= 0x7FFF; }
bool fitsU8(int v) { return v >= 0 && v <= 0xFF; }

// Bytes from the current position to the end of the stream (0 when unknown).
long bytesLeft(std::FILE* file, long total) {
    const long at = std::ftell(file);
    return at < 0 || at > total ? 0 : total - at;
}

// Size of an open stream, restoring its position; -1 when it cannot be told.
long streamSize(std::FILE* file) {
    const long at = std::ftell(file);
    if (at < 0 || std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    if (std::fseek(file, at, SEEK_SET) != 0) return -1;
    return end;
}

}  // namespace

BitmapFont::BitmapFont(Renderer2D* renderer, const char* path) : renderer_(renderer) {
    if (path) {
        std::strncpy(path_, path, FONT_PATH_MAX);
        path_[FONT_PATH_MAX] = '\0';
        // A longer path would name another file once cut: such a font never loads.
        pathTooLong_ = std::strlen(path) > size_t(FONT_PATH_MAX);
    }
}

BitmapFont::~BitmapFont() { release(); }

bool BitmapFont::load() { return parse(); }

void BitmapFont::release() {
    pages_.clear();
    glyphs_.clear();
    kernings_.clear();
    glyphCount_ = 0;
    kerningCount_ = 0;
    pageCount_ = 0;
}

bool BitmapFont::parse() {
    loaded = false;
    release();
    if (pathTooLong_ || path_[0] == '\0') return false;
    std::FILE* file = std::fopen(path_, "r");
    if (!file) return false;
    const bool ok = parseStream(file);
    std::fclose(file);
    return ok;
}

bool BitmapFont::parseStream(std::FILE* file) {
    loaded = false;
    release();
    if (!file) return false;
    if (!readFile(file)) return false;
    if (!loadPages()) return false;
    loaded = true;
    return true;
}

bool BitmapFont::readFile(std::FILE* file) {
    const long total = streamSize(file);
    if (total < 0) return false;

    // Info line. The charset is one blank-delimited word that still carries its closing quote.
    int size = 0, bold = 0, italic = 0, unicode = 0, stretchH = 0, smooth = 0, aa = 0;
    int pad[4] = {}, spc[2] = {}, outline = 0;
    char charset[FONT_NAME_MAX + 1] = {};
    if (std::fscanf(file,
                    "info face=\"%63[^\"]\" size=%d bold=%d italic=%d charset=\"%63s unicode=%d "
                    "stretchH=%d smooth=%d aa=%d padding=%d,%d,%d,%d spacing=%d,%d "
                    "outline=%d%*[\n\r]",
                    face_, &size, &bold, &italic, charset, &unicode, &stretchH, &smooth, &aa,
                    &pad[0], &pad[1], &pad[2], &pad[3], &spc[0], &spc[1], &outline) != 16)
        return false;
    if (!fitsU16(size)) return false;
    const size_t charsetLen = std::strlen(charset);
    if (charsetLen > 0) charset[charsetLen - 1] = '\0';
    std::memcpy(charset_, charset, sizeof charset_);
    size_ = uint16_t(size);
    stretchH_ = uint16_t(stretchH);
    for (int i = 0; i < 4; ++i) padding_[i] = uint16_t(pad[i]);
    spacing_[0] = uint16_t(spc[0]);
    spacing_[1] = uint16_t(spc[1]);
    outline_ = uint16_t(outline);
    aa_ = uint8_t(aa);
    bold_ = bold != 0;
    italic_ = italic != 0;
    unicode_ = unicode != 0;
    smooth_ = smooth != 0;

    // Common line.
    int lineHeight = 0, base = 0, scaleW = 0, scaleH = 0, pages = 0, packed = 0;
    int alpha = 0, red = 0, green = 0, blue = 0;
    if (std::fscanf(file,
                    "common lineHeight=%d base=%d scaleW=%d scaleH=%d pages=%d packed=%d "
                    "alphaChnl=%d redChnl=%d greenChnl=%d blueChnl=%d%*[\n\r]",
                    &lineHeight, &base, &scaleW, &scaleH, &pages, &packed, &alpha, &red, &green,
                    &blue) != 10)
        return false;
    if (!fitsU16(lineHeight) || pages < 0 || pages > FONT_MAX_PAGES ||
        pages > bytesLeft(file, total) / MIN_PAGE_LINE)
        return false;
    lineHeightPx_ = uint16_t(lineHeight);
    base_ = uint16_t(base);
    scaleW_ = uint16_t(scaleW);
    scaleH_ = uint16_t(scaleH);
    pageCount_ = uint16_t(pages);
    packed_ = packed != 0;
    alphaChnl_ = uint8_t(alpha);
    redChnl_ = uint8_t(red);
    greenChnl_ = uint8_t(green);
    blueChnl_ = uint8_t(blue);

    // Page lines.
    pages_.resize(pageCount_);
    for (FontPage& page : pages_) {
        int id = 0;
        if (std::fscanf(file, "page id=%d file=\"%127[^\"]\"%*[\n\r]", &id, page.file) != 2)
            return false;
        page.id = uint16_t(id);
    }

    // Glyph lines, with room for a synthetic space.
    int count = 0;
    if (std::fscanf(file, "chars count=%d\n", &count) != 1) return false;
    if (count < 0 || count > FONT_MAX_GLYPHS || count > bytesLeft(file, total) / MIN_CHAR_LINE)
        return false;
    glyphs_.reserve(size_t(count) + 1);
    bool hasSpace = false;
    int below32 = 0;
    for (int i = 0; i < count; ++i) {
        int v[10];
        if (std::fscanf(file,
                        "char%*[ ]id=%d%*[ ]x=%d%*[ ]y=%d%*[ ]width=%d%*[ ]height=%d%*[ ]xoffset=%d"
                        "%*[ ]yoffset=%d%*[ ]xadvance=%d%*[ ]page=%d%*[ ]chnl=%d%*[\n\r]",
                        &v[0], &v[1], &v[2], &v[3], &v[4], &v[5], &v[6], &v[7], &v[8],
                        &v[9]) != 10)
            return false;
        // Every value must fit its field: a wrapped value would put the glyph somewhere else.
        if (v[0] < 0 || !fitsU16(v[1]) || !fitsU16(v[2]) || !fitsU16(v[3]) || !fitsU16(v[4]) ||
            !fitsS16(v[5]) || !fitsS16(v[6]) || !fitsS16(v[7]) || !fitsU16(v[8]) || !fitsU8(v[9]))
            return false;
        Glyph g;
        g.id = uint32_t(v[0]);
        g.x = uint16_t(v[1]);
        g.y = uint16_t(v[2]);
        g.width = uint16_t(v[3]);
        g.height = uint16_t(v[4]);
        g.xoffset = int16_t(v[5]);
        g.yoffset = int16_t(v[6]);
        g.xadvance = int16_t(v[7]);
        g.page = uint16_t(v[8]);
        g.chnl = uint8_t(v[9]);
        if (g.id == 32) hasSpace = true;
        if (g.id < 32u) ++below32;
        glyphs_.push_back(g);
        glyphCount_ = int32_t(glyphs_.size());
    }

    // Synthetic space, placed as if the file's ids were ascending (the loader does not sort).
    if (!hasSpace) {
        Glyph space;
        space.id = 32;
        space.xadvance = int16_t(size_ / 3);
        glyphs_.insert(glyphs_.begin() + below32, space);
        glyphCount_ = int32_t(glyphs_.size());
    }

    // Kerning section; a file without one loads with no kerning.
    int pairs = 0;
    if (std::fscanf(file, "kernings count=%d%*[\n\r]", &pairs) != 1) return true;
    if (pairs < 0 || pairs > FONT_MAX_KERNINGS || pairs > bytesLeft(file, total) / MIN_KERNING_LINE)
        return false;
    kernings_.reserve(size_t(pairs));
    for (int i = 0; i < pairs; ++i) {
        int first = 0, second = 0, amount = 0;
        if (std::fscanf(file, "kerning first=%d%*[ ]second=%d%*[ ]amount=%d%*[ \n\r]", &first,
                        &second, &amount) != 3)
            return false;
        if (!fitsS16(amount)) return false;
        KerningPair k;
        k.first = first;
        k.second = second;
        k.amount = int16_t(amount);
        kernings_.push_back(k);
    }
    // Kerning index: the pairs are ordered by first with a stable sort (file order kept
    // among equal firsts), so all pairs of one first form one run, even when the file lists
    // them in several separate runs; each glyph's kerningStart is the start of its run.
    // Files that already group their pairs keep their order.
    std::stable_sort(kernings_.begin(), kernings_.end(),
                     [](const KerningPair& a, const KerningPair& b) { return a.first < b.first; });
    kerningCount_ = int32_t(kernings_.size());
    for (int i = 0; i < kerningCount_; ++i) {
        const int g = findGlyph(unsigned(kernings_[size_t(i)].first));
        if (g >= 0 && glyphs_[size_t(g)].kerningStart < 0)
            glyphs_[size_t(g)].kerningStart = int16_t(i);
    }
    return true;
}

bool BitmapFont::loadPages() {
    if (pages_.empty()) return true;
    if (!renderer_) return false;
    // Directory part of the font path: up to the last '/', or else the last '\'.
    const char* sep = std::strrchr(path_, '/');
    if (!sep) sep = std::strrchr(path_, '\\');
    const size_t dirLen = sep ? size_t(sep - path_) + 1 : 0;
    for (FontPage& page : pages_) {
        const size_t fileLen = std::strlen(page.file);
        // Beside the font file, when the directory part is short enough and the combined
        // path fits its buffer; otherwise (or when that fails) by the bare page name.
        if (sep && dirLen < size_t(FONT_PAGE_DIR_MAX) &&
            dirLen + fileLen < size_t(FONT_PAGE_PATH_BUFFER)) {
            char full[FONT_PAGE_PATH_BUFFER];
            std::memcpy(full, path_, dirLen);
            std::memcpy(full + dirLen, page.file, fileLen + 1);
            page.image.reset(renderer_->loadImage(full, 0xFFFFFFFFu));
        }
        if (!page.image) page.image.reset(renderer_->loadImage(page.file, 0xFFFFFFFFu));
        if (!page.image) return false;
    }
    return true;
}

void BitmapFont::setTracking(int pixels) { tracking_ = pixels; }

int BitmapFont::tracking() const { return tracking_; }

float BitmapFont::scaledLineHeight(float scale) const { return float(lineHeightPx_) * scale; }

int BitmapFont::lineHeight() const { return lineHeightPx_; }

bool BitmapFont::hasGlyph(int character) const { return findGlyph(unsigned(character)) != -1; }

int BitmapFont::findGlyph(unsigned character) const {
    int lo = 0, hi = glyphCount_ - 1;
    while (lo <= hi) {
        const int mid = lo + (hi - lo) / 2;
        const uint32_t id = glyphs_[size_t(mid)].id;
        if (character < id)
            hi = mid - 1;
        else if (character > id)
            lo = mid + 1;
        else
            return mid;
    }
    return -1;
}

int BitmapFont::kerning(int first, int second, int firstIndex) const {
    int start = 0;
    if (firstIndex >= 0 && firstIndex < glyphCount_) {
        start = glyphs_[size_t(firstIndex)].kerningStart;
        if (start < 0) return 0;
    }
    for (int i = start; i < kerningCount_; ++i) {
        const KerningPair& k = kernings_[size_t(i)];
        if (k.first == first) {
            if (k.second == second) return k.amount;
        } else if (i > 0 && kernings_[size_t(i) - 1].first == first) {
            break;  // the run of first's pairs has ended
        }
    }
    return 0;
}

int BitmapFont::kerningOf(int first, int second) const {
    return kerning(first, second, findGlyph(unsigned(first)));
}

namespace {

// Walks the characters of a UTF-8 text (up to length bytes or the NUL), resolving backslash
// escapes.
class TextCursor {
public:
    TextCursor(const char* text, int length, bool escapes)
        : text_(text ? text : ""), length_(length), escapes_(escapes) {}

    // Next character after escapes; false at the end (a lone final backslash is dropped).
    bool next(Utf8Char* c) {
        *c = decodeUtf8(text_ + at_, left());
        if (c->bytes == 0) return false;
        at_ += c->bytes;
        if (!escapes_ || c->code != '\\' || !c->valid) return true;
        *c = decodeUtf8(text_ + at_, left());
        if (c->bytes == 0) return false;
        at_ += c->bytes;
        if (c->code == 'n')
            c->code = '\n';
        else if (c->code == 'r')
            c->code = '\r';
        else if (c->code == 't')
            c->code = '\t';
        return true;
    }

private:
    // Bytes left before the length limit (negative: up to the NUL).
    int left() const { return length_ < 0 ? -1 : length_ - at_; }

    const char* text_;
    int length_;
    bool escapes_;
    int at_ = 0;
};

}  // namespace

int BitmapFont::glyphFor(const Utf8Char& c) const {
    if (c.valid) {
        const int index = findGlyph(c.code);
        // An ASCII or control character the font lacks draws nothing (a tab, a newline).
        if (index >= 0 || c.code < 0x80 || isControlCharacter(c.code)) return index;
    }
    const int replacement = findGlyph(REPLACEMENT_CHARACTER);
    return replacement >= 0 ? replacement : findGlyph(FALLBACK_REPLACEMENT_CHARACTER);
}

float BitmapFont::textWidth(const char* text, float scale, int length) const {
    int sum = 0;
    int previous = -1;
    bool hasPrevious = false;
    TextCursor cursor(text, length, (flags_ & 1) != 0);
    Utf8Char c;
    while (cursor.next(&c)) {
        const int index = glyphFor(c);
        if (index < 0) {
            hasPrevious = false;
            continue;
        }
        const int character = int(glyphs_[size_t(index)].id);
        if (hasPrevious) sum += kerningOf(previous, character);
        sum += glyphs_[size_t(index)].xadvance + tracking_;
        previous = character;
        hasPrevious = true;
    }
    return scale * float(sum - tracking_);
}

bool BitmapFont::glyphDrawable(const Glyph& g) const {
    if (g.page >= pages_.size()) return false;
    const Image* image = pages_[g.page].image.get();
    if (!image) return false;
    return uint32_t(g.x) + g.width <= image->pixelWidth() &&
           uint32_t(g.y) + g.height <= image->pixelHeight();
}

float BitmapFont::drawLine(float x, float y, const char* text, int alignFlags, float scale,
                           const ColorRGBA* colour, int length) {
    float penX = x, penY = y;
    if (alignFlags & ALIGN_CENTRE_X)
        penX = x - textWidth(text, scale, length) / 2.f;
    else if (alignFlags & ALIGN_RIGHT)
        penX = x - textWidth(text, scale, length);
    if (alignFlags & ALIGN_CENTRE_Y)
        penY = y - scaledLineHeight(scale) / 2.f;
    else if (alignFlags & ALIGN_BOTTOM)
        penY = y - scaledLineHeight(scale);

    for (FontPage& page : pages_)
        if (page.image) page.image->setScale(scale);

    const bool unscaled = scale == 1.0f;
    const irr::u32 drawFlags =
        DRAW_COLOR | DRAW_ALPHA | (unscaled ? 0u : irr::u32(DRAW_TRANSFORM | DRAW_SCALE));
    const ColorRGBA white;
    const ColorRGBA* col = colour ? colour : &white;

    int previous = -1, previousIndex = -1;
    bool hasPrevious = false;
    float drawn = 0.f;
    TextCursor cursor(text, length, (flags_ & 1) != 0);
    Utf8Char c;
    while (cursor.next(&c)) {
        const int index = glyphFor(c);
        // The character kerned against: the glyph's own (the replacement's for a replaced one).
        const int character = index >= 0 ? int(glyphs_[size_t(index)].id) : int(c.code);
        const float kern = hasPrevious ? float(kerning(previous, character, previousIndex)) * scale : 0.f;
        penX += kern;
        if (index < 0) {
            hasPrevious = false;
            continue;
        }
        // The width drawn counts the kerning between glyphs, as textWidth does.
        drawn += kern;
        const Glyph& g = glyphs_[size_t(index)];
        const RectF source(g.x, g.y, g.width, g.height);
        float advance = float(g.xadvance + tracking_);
        float gx, gy;
        if (unscaled) {
            gx = std::trunc(penX + float(g.xoffset));
            gy = std::trunc(penY + float(g.yoffset));
        } else {
            gx = penX + float(g.xoffset) * scale;
            gy = penY + float(g.yoffset) * scale;
            advance *= scale;
        }
        drawn += advance;
        penX += advance;
        // A glyph outside its page (or on a page the font lacks) advances but draws nothing.
        if (glyphDrawable(g))
            pages_[g.page].image->draw(blendMode_, drawFlags, gx, gy, col, &source);
        previous = character;
        previousIndex = index;
        hasPrevious = true;
    }
    return drawn - float(tracking_) * scale;
}
