#pragma once
// Helpers of the font tests: temporary folders, font files written on the fly, and the
// recording renderer with page pictures that record every draw instead of drawing.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "render/Image.h"
#include "render/Renderer2D.h"
#include "tests/render/RecordingRenderer.h"
#include "text/BitmapFont.h"

namespace font_test {

// A folder of its own under the system's temporary folder, removed with the object.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "tumelora-text-XXXXXX").string();
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (mkdtemp(buf.data())) path_ = buf.data();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    // Writes a file (binary, exactly these bytes) and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::string p = path_ + "/" + name;
        std::ofstream(p, std::ios::binary) << bytes;
        return p;
    }

private:
    std::string path_;
};

// One draw a page picture received.
struct DrawCall {
    int page = -1;
    irr::s32 blend = 0;
    irr::u32 flags = 0;
    float x = 0, y = 0;
    ColorRGBA colour;
    RectF source;
    float scale = 1.f;
};

// A page picture without texture that records its draws into a shared list.
class RecordingImage : public Image {
public:
    RecordingImage(Renderer2D* r, int page, irr::u32 w, irr::u32 h, std::vector<DrawCall>* log)
        : Image(r, w, h, DEFAULT_IMAGE_FLAGS, nullptr, uv()), page_(page), log_(log) {}
    void setScale(float s) override {
        Image::setScale(s);
        scale_ = s;
    }
    void draw(irr::s32 blend, irr::u32 drawFlags, float x, float y, const ColorRGBA* col,
              const RectF* rect) override {
        DrawCall d;
        d.page = page_;
        d.blend = blend;
        d.flags = drawFlags;
        d.x = x;
        d.y = y;
        d.colour = *col;
        if (rect) d.source = *rect;
        d.scale = scale_;
        log_->push_back(d);
    }

private:
    static const irr::core::vector2df* uv() {
        static const irr::core::vector2df corners[2] = {{0.f, 0.f}, {1.f, 1.f}};
        return corners;
    }
    int page_;
    std::vector<DrawCall>* log_;
    float scale_ = 1.f;
};

// The shared recording renderer with recording page pictures: a picture path asked for is
// answered with a 256 x 256 picture that records its draws into draws when accept(path) is true.
class PageRecorder : public RecordingRenderer {
public:
    PageRecorder() {
        standIn = [this](const char* path, irr::u32) -> Image* {
            if (!accept(path)) return nullptr;
            return new RecordingImage(this, pictures++, pageSize, pageSize, &draws);
        };
    }
    std::function<bool(const std::string&)> accept = [](const std::string&) { return true; };
    std::vector<DrawCall> draws;
    int pictures = 0;
    irr::u32 pageSize = 256;
};

// The info line with a face name and size.
inline std::string infoLine(const std::string& face = "Test", int size = 30) {
    return "info face=\"" + face + "\" size=" + std::to_string(size) +
           " bold=0 italic=0 charset=\"ANSI\" unicode=0 stretchH=100 smooth=1 aa=1 "
           "padding=0,0,0,0 spacing=1,1 outline=0\n";
}

// The common line with a line height and page count.
inline std::string commonLine(int lineHeight = 32, int pages = 1) {
    return "common lineHeight=" + std::to_string(lineHeight) +
           " base=26 scaleW=256 scaleH=256 pages=" + std::to_string(pages) +
           " packed=0 alphaChnl=0 redChnl=4 greenChnl=4 blueChnl=4\n";
}

// A char line in the padded layout the BMFont generator writes.
inline std::string charLine(int id, int x, int y, int w, int h, int xo, int yo, int adv,
                            int page = 0) {
    char line[200];
    std::snprintf(line, sizeof line,
                  "char id=%-4d x=%-5d y=%-5d width=%-5d height=%-5d xoffset=%-5d yoffset=%-5d "
                  "xadvance=%-5d page=%-2d chnl=15\n",
                  id, x, y, w, h, xo, yo, adv, page);
    return line;
}

// A kerning line as the BMFont generator writes it.
inline std::string kerningLine(int first, int second, int amount) {
    char line[100];
    std::snprintf(line, sizeof line, "kerning first=%-3d second=%-3d amount=%-4d\n", first, second,
                  amount);
    return line;
}

// Glyphs space (8), A (11), B (12), V (13), backslash (7), a, b, c (9 each) on page 0.
inline std::string standardChars() {
    return "chars count=8\n" + charLine(32, 0, 0, 0, 0, 0, 0, 8) + charLine(65, 0, 0, 10, 12, 1, 4, 11) +
           charLine(66, 12, 0, 10, 12, 1, 4, 12) + charLine(86, 24, 0, 12, 12, 0, 4, 13) +
           charLine(92, 70, 0, 6, 12, 0, 4, 7) +
           charLine(97, 40, 0, 8, 9, 0, 7, 9) + charLine(98, 50, 0, 8, 12, 0, 4, 9) +
           charLine(99, 60, 0, 8, 9, 0, 7, 9);
}

// A whole font file: header, one page "p0.png", the standard glyphs, these kerning lines.
inline std::string standardFont(const std::vector<std::string>& kernings = {}) {
    std::string s = infoLine() + commonLine() + "page id=0 file=\"p0.png\"\n" + standardChars();
    if (!kernings.empty()) {
        s += "kernings count=" + std::to_string(kernings.size()) + "\n";
        for (const std::string& k : kernings) s += k;
    }
    return s;
}

// Folder of the read-only real-world fixtures beside the checkout (TUMELORA_FIXTURES names
// another one), or empty when absent.
inline std::string fixturesDir() {
    const char* env = std::getenv("TUMELORA_FIXTURES");
    const std::string dir = env && *env ? env : TUMELORA_SOURCE_DIR "/../shared/fixtures";
    return std::filesystem::is_directory(dir) ? dir : std::string();
}

}  // namespace font_test
