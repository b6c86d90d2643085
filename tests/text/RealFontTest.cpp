// The font written by the real BMFont generator, and the bundled font, read as the program does.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "FontTestSupport.h"
#include "render/Image.h"
#include "render/Renderer2D.h"

using namespace font_test;

namespace {

// The numbers of a .fnt file, read here independently of the font's own reader.
struct FntNumbers {
    std::map<int, int> advance;                    // id -> xadvance
    std::map<std::pair<int, int>, int> kerning;    // (first, second) -> amount (first listed)
    std::vector<std::pair<std::pair<int, int>, int>> pairs;  // in file order
};

// Value of key=... in a whitespace-separated line.
int field(const std::string& line, const std::string& key) {
    std::istringstream in(line);
    std::string word;
    while (in >> word)
        if (word.compare(0, key.size() + 1, key + "=") == 0) return std::stoi(word.substr(key.size() + 1));
    ADD_FAILURE() << "no " << key << " in " << line;
    return 0;
}

FntNumbers readNumbers(const std::string& path) {
    FntNumbers n;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("char ", 0) == 0) n.advance[field(line, "id")] = field(line, "xadvance");
        if (line.rfind("kerning ", 0) == 0) {
            const std::pair<int, int> key(field(line, "first"), field(line, "second"));
            const int amount = field(line, "amount");
            n.pairs.push_back({key, amount});
            n.kerning.emplace(key, amount);
        }
    }
    return n;
}

// Width of text by the rules of the format: advances plus the pair amounts, tracking 0.
int expectedWidth(const FntNumbers& n, const std::string& text) {
    int sum = 0;
    int previous = -1;
    for (unsigned char c : text) {
        auto a = n.advance.find(c);
        if (a == n.advance.end()) {
            previous = -1;
            continue;
        }
        if (previous >= 0) {
            auto k = n.kerning.find({previous, c});
            if (k != n.kerning.end()) sum += k->second;
        }
        sum += a->second;
        previous = c;
    }
    return sum;
}

// A null-driver engine device: real picture decoding and textures without a display.
struct NullDevice {
    irr::IrrlichtDevice* device = nullptr;
    NullDevice() {
        irr::SIrrlichtCreationParameters p;
        p.DriverType = irr::video::EDT_NULL;
        p.LoggingLevel = irr::ELL_NONE;
        device = irr::createDeviceEx(p);
    }
    ~NullDevice() {
        if (device) device->drop();
    }
};

}  // namespace

TEST(RealBMFontFile, LoadsWithEveryKerningPairAndItsPageBesideIt) {
    const std::string fixtures = fixturesDir();
    if (fixtures.empty()) GTEST_SKIP() << "shared fixtures folder absent: " TUMELORA_SOURCE_DIR "/../shared/fixtures";
    TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directory(dir.path() + "/fonts");
    for (const char* f : {"arial.fnt", "arial_0.png"})
        fs::copy_file(fixtures + "/bmfont-arial32/" + f, dir.path() + "/fonts/" + f);
    const std::string fnt = dir.path() + "/fonts/arial.fnt";

    NullDevice null;
    ASSERT_NE(null.device, nullptr);
    RecordingRenderer renderer(null.device);
    BitmapFont font(&renderer, fnt.c_str());
    ASSERT_TRUE(font.load());
    EXPECT_STREQ(font.face(), "Arial");
    EXPECT_STREQ(font.charset(), "");
    EXPECT_EQ(font.size(), 32);
    EXPECT_EQ(font.lineHeight(), 32);
    EXPECT_EQ(font.glyphCount(), 204);
    EXPECT_TRUE(font.hasGlyph(65532));
    ASSERT_EQ(font.pageCount(), 1);
    ASSERT_NE(font.page(0).image, nullptr);
    EXPECT_EQ(font.page(0).image->pixelWidth(), 256u);
    ASSERT_EQ(renderer.requested.size(), 1u);
    EXPECT_EQ(renderer.requested[0], dir.path() + "/fonts/arial_0.png");

    const FntNumbers n = readNumbers(fnt);
    ASSERT_EQ(n.pairs.size(), 70u);
    EXPECT_EQ(font.kerningCount(), 70);
    for (const auto& p : n.pairs)
        EXPECT_EQ(font.kerningOf(p.first.first, p.first.second), p.second)
            << p.first.first << "," << p.first.second;
    EXPECT_EQ(font.kerningOf('Y', 'o'), -2);  // in the third of the file's runs of 'Y'
    EXPECT_EQ(font.kerningOf('Y', 'Y'), 0);

    for (const std::string s : {"AVAYA", "Hello, World.", "Type: 'LY', 1,1 V.", "Tylor Fy Py"})
        EXPECT_FLOAT_EQ(font.textWidth(s.c_str(), 1.f, -1), float(expectedWidth(n, s))) << s;

    // The same file with CR LF line ends reads the same.
    std::ifstream in(fnt, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    dir.write("fonts/arial-crlf.fnt", crlf);
    BitmapFont windows(&renderer, (dir.path() + "/fonts/arial-crlf.fnt").c_str());
    ASSERT_TRUE(windows.load());
    EXPECT_EQ(windows.glyphCount(), 204);
    for (const auto& p : n.pairs)
        EXPECT_EQ(windows.kerningOf(p.first.first, p.first.second), p.second);
}

TEST(BundledFont, LoadsWithItsPageAndKerning) {
    NullDevice null;
    ASSERT_NE(null.device, nullptr);
    RecordingRenderer renderer(null.device);
    const std::string fnt = TUMELORA_SOURCE_DIR "/data/droid30.fnt";
    BitmapFont font(&renderer, fnt.c_str());
    ASSERT_TRUE(font.load());
    EXPECT_STREQ(font.face(), "Open Sans");
    EXPECT_EQ(font.size(), 30);
    for (int c = 32; c <= 126; ++c) EXPECT_TRUE(font.hasGlyph(c)) << c;
    EXPECT_EQ(renderer.requested[0], TUMELORA_SOURCE_DIR "/data/droid30_0.png");
    const FntNumbers n = readNumbers(fnt);
    EXPECT_GT(n.pairs.size(), 100u);
    EXPECT_EQ(font.kerningCount(), int(n.pairs.size()));
    EXPECT_LT(font.kerningOf('A', 'V'), 0);
    for (const std::string s : {"Play", "Reset>>", "AVAYA Tw", "Bind scale"})
        EXPECT_FLOAT_EQ(font.textWidth(s.c_str(), 1.f, -1), float(expectedWidth(n, s))) << s;
    // Every glyph lies inside the page.
    const Image* page = font.page(0).image.get();
    for (int i = 0; i < font.glyphCount(); ++i) {
        const Glyph& g = font.glyph(i);
        EXPECT_LE(g.x + g.width, int(page->pixelWidth()));
        EXPECT_LE(g.y + g.height, int(page->pixelHeight()));
    }
}
