// Measuring and drawing single lines: kerning, tracking, escapes, alignment and scale.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "FontTestSupport.h"
#include "text/Utf8.h"

using namespace font_test;

namespace {

// A loaded standard font with kerning A-V -2, V-A -3, a-b -5, drawing into its recorder.
struct Fixture {
    PageRecorder renderer;
    BitmapFont font{&renderer, "fonts/t.fnt"};
    Fixture() {
        const std::string text =
            standardFont({kerningLine(65, 86, -2), kerningLine(86, 65, -3), kerningLine(97, 98, -5)});
        std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
        EXPECT_TRUE(font.parseStream(f));
        std::fclose(f);
    }
    std::vector<DrawCall>& draws() { return renderer.draws; }
};

const ColorRGBA kRed(255, 0, 0, 200);

}  // namespace

TEST(TextWidth, SumsAdvancesKerningAndTracking) {
    Fixture t;
    EXPECT_FLOAT_EQ(t.font.textWidth("AV", 1.f, -1), 11 - 2 + 13);
    EXPECT_FLOAT_EQ(t.font.textWidth("AV", 2.f, -1), 2 * (11 - 2 + 13));
    EXPECT_FLOAT_EQ(t.font.textWidth("AVA", 1.f, 2), 22.f);
    EXPECT_FLOAT_EQ(t.font.textWidth("", 1.f, -1), 0.f);
    EXPECT_FLOAT_EQ(t.font.textWidth(nullptr, 1.f, -1), 0.f);
    t.font.setTracking(3);
    EXPECT_EQ(t.font.tracking(), 3);
    EXPECT_FLOAT_EQ(t.font.textWidth("", 2.f, -1), -6.f);
    EXPECT_FLOAT_EQ(t.font.textWidth("AB", 1.f, -1), 11 + 3 + 12);
    // A character without a glyph adds nothing and breaks the kerning chain.
    EXPECT_FLOAT_EQ(t.font.textWidth("A\x01V", 1.f, -1), 11 + 3 + 13);
}

TEST(TextWidth, Escapes) {
    Fixture t;
    EXPECT_FLOAT_EQ(t.font.textWidth("ab", 1.f, -1), 13.f);
    EXPECT_FLOAT_EQ(t.font.textWidth("a\\tb", 1.f, -1), 18.f);  // tab has no glyph: no kerning
    EXPECT_FLOAT_EQ(t.font.textWidth("A\\", 1.f, -1), 11.f);    // final backslash dropped
    EXPECT_FLOAT_EQ(t.font.textWidth("\\\\", 1.f, -1), 7.f);    // two give one backslash
    EXPECT_FLOAT_EQ(t.font.textWidth("\\A", 1.f, -1), 11.f);    // any other: itself
    EXPECT_FLOAT_EQ(t.font.textWidth("\\nA", 1.f, -1), 11.f);
}

TEST(DrawLine, OneDrawPerGlyphAtWholePixelsWithKerning) {
    Fixture t;
    t.font.setBlendMode(BLEND_ADD);
    const float w = t.font.drawLine(100.5f, 50.7f, "AVa", 0x0, 1.f, &kRed, -1);
    ASSERT_EQ(t.draws().size(), 3u);
    const DrawCall& a = t.draws()[0];
    EXPECT_EQ(a.flags, 3u);
    EXPECT_EQ(a.blend, BLEND_ADD);
    EXPECT_EQ(a.colour.argb(), kRed.argb());
    EXPECT_FLOAT_EQ(a.x, 101.f);  // trunc(100.5 + 1)
    EXPECT_FLOAT_EQ(a.y, 54.f);   // trunc(50.7 + 4)
    EXPECT_FLOAT_EQ(a.source.x, 0.f);
    EXPECT_FLOAT_EQ(a.source.width, 10.f);
    EXPECT_FLOAT_EQ(a.source.height, 12.f);
    const DrawCall& v = t.draws()[1];
    EXPECT_FLOAT_EQ(v.x, 109.f);  // 100.5 + 11 - 2
    EXPECT_FLOAT_EQ(v.source.x, 24.f);
    EXPECT_FLOAT_EQ(t.draws()[2].x, 122.f);  // trunc(100.5 + 11 - 2 + 13), no pair V-a
    EXPECT_FLOAT_EQ(t.draws()[2].y, 57.f);
    // The width drawn sums the advances and the kerning, as textWidth measures it.
    EXPECT_FLOAT_EQ(w, 11 - 2 + 13 + 9);
    EXPECT_FLOAT_EQ(w, t.font.textWidth("AVa", 1.f, -1));
    EXPECT_FLOAT_EQ(t.font.drawLine(0.f, 0.f, "VAV", 0x0, 2.f, &kRed, -1),
                    t.font.textWidth("VAV", 2.f, -1));
}

TEST(DrawLine, ScaleTwoTransformsAndDoublesOffsetsAndAdvances) {
    Fixture t;
    const float w = t.font.drawLine(10.f, 20.f, "AV", 0, 2.f, &kRed, -1);
    ASSERT_EQ(t.draws().size(), 2u);
    for (const DrawCall& d : t.draws()) {
        EXPECT_EQ(d.flags, 0x503u);
        EXPECT_FLOAT_EQ(d.scale, 2.f);
    }
    EXPECT_FLOAT_EQ(t.draws()[0].x, 12.f);
    EXPECT_FLOAT_EQ(t.draws()[0].y, 28.f);
    EXPECT_FLOAT_EQ(t.draws()[1].x, 10.f + 22 - 4);
    EXPECT_FLOAT_EQ(w, 48.f - 4.f);  // the advances and the kerning, doubled
    // Back at scale 1 the pages are reset and the flags are 3 again.
    t.draws().clear();
    t.font.drawLine(0.f, 0.f, "A", 0, 1.f, &kRed, -1);
    EXPECT_EQ(t.draws()[0].flags, 3u);
    EXPECT_FLOAT_EQ(t.draws()[0].scale, 1.f);
}

TEST(DrawLine, Alignment) {
    Fixture t;
    // "AB" is 23 wide, the line 32 high.
    struct Case {
        int flags;
        float x, y;
    };
    const Case cases[] = {
        {0x04, 200 - 11.5f + 1, 100 + 4},  {0x08, 200 - 23 + 1, 100 + 4},
        {0x0C, 200 - 11.5f + 1, 100 + 4},  {0x10, 200 + 1, 100 - 16 + 4},
        {0x20, 200 + 1, 100 - 32 + 4},     {0x30, 200 + 1, 100 - 16 + 4},
        {0x24, 200 - 11.5f + 1, 100 - 32 + 4},
    };
    for (const Case& c : cases) {
        t.draws().clear();
        t.font.drawLine(200.f, 100.f, "AB", c.flags, 1.f, &kRed, -1);
        ASSERT_EQ(t.draws().size(), 2u);
        EXPECT_FLOAT_EQ(t.draws()[0].x, float(int(c.x))) << c.flags;
        EXPECT_FLOAT_EQ(t.draws()[0].y, c.y) << c.flags;
        EXPECT_EQ(t.draws()[0].flags, 3u) << "alignment is not passed on";
    }
    // At scale 2 the alignment uses the scaled width and height.
    t.draws().clear();
    t.font.drawLine(200.f, 100.f, "AB", 0x28, 2.f, &kRed, -1);
    EXPECT_FLOAT_EQ(t.draws()[0].x, 200 - 46 + 2);
    EXPECT_FLOAT_EQ(t.draws()[0].y, 100 - 64 + 8);
}

TEST(DrawLine, EscapesTrackingLengthAndMissingGlyphs) {
    Fixture t;
    // a, tab (no glyph: nothing drawn, no kerning a-b), b.
    t.font.drawLine(0.f, 0.f, "a\\tb", 0, 1.f, &kRed, -1);
    ASSERT_EQ(t.draws().size(), 2u);
    EXPECT_FLOAT_EQ(t.draws()[1].x, 9.f);
    t.draws().clear();
    t.font.drawLine(0.f, 0.f, "ab", 0, 1.f, &kRed, -1);
    EXPECT_FLOAT_EQ(t.draws()[1].x, 4.f);  // kerning -5

    // Two backslashes draw one; a final one is dropped.
    t.draws().clear();
    t.font.drawLine(0.f, 0.f, "\\\\A\\", 0, 1.f, &kRed, -1);
    ASSERT_EQ(t.draws().size(), 2u);
    EXPECT_FLOAT_EQ(t.draws()[0].source.x, 70.f);

    // A missing character breaks the kerning chain.
    t.draws().clear();
    t.font.drawLine(0.f, 0.f, "A\x01V", 0, 1.f, &kRed, -1);
    ASSERT_EQ(t.draws().size(), 2u);
    EXPECT_FLOAT_EQ(t.draws()[1].x, 11.f);

    // Tracking after every glyph, not after the last; the length limit stops the line.
    t.draws().clear();
    t.font.setTracking(2);
    const float w = t.font.drawLine(0.f, 0.f, "ABV", 0, 1.f, &kRed, 2);
    ASSERT_EQ(t.draws().size(), 2u);
    EXPECT_FLOAT_EQ(t.draws()[1].x, 11 + 2 + 1);
    EXPECT_FLOAT_EQ(w, 11 + 2 + 12);

    // Empty and missing texts draw nothing; no colour draws white.
    t.draws().clear();
    t.font.drawLine(0.f, 0.f, "", 0, 1.f, nullptr, -1);
    t.font.drawLine(0.f, 0.f, nullptr, 0, 1.f, nullptr, -1);
    EXPECT_TRUE(t.draws().empty());
    t.font.drawLine(0.f, 0.f, "A", 0, 1.f, nullptr, -1);
    EXPECT_EQ(t.draws()[0].colour.argb(), 0xFFFFFFFFu);
}

TEST(DrawLine, Utf8DrawsWhatTheFontHasAndAReplacementForWhatItLacks) {
    // ü (252) and ï (239) by their code points, n, a space and '?', but no U+FFFD.
    PageRecorder renderer;
    BitmapFont font(&renderer, "fonts/u.fnt");
    const std::string text = infoLine() + commonLine() + "page id=0 file=\"p0.png\"\nchars count=5\n" +
                             charLine(32, 0, 0, 0, 0, 0, 0, 8) + charLine(63, 10, 0, 8, 12, 0, 4, 9) +
                             charLine(110, 20, 0, 8, 9, 0, 7, 10) + charLine(239, 30, 0, 6, 12, 0, 4, 5) +
                             charLine(252, 40, 0, 8, 12, 0, 4, 10);
    std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
    ASSERT_TRUE(font.parseStream(f));
    std::fclose(f);

    // "ünï 图": the CJK character is not in the font and draws as '?'.
    const char* name = "\xC3\xBCn\xC3\xAF \xE5\x9B\xBE";
    const float width = font.drawLine(0.f, 0.f, name, 0, 1.f, &kRed, -1);
    std::vector<float> sources;
    for (const DrawCall& d : renderer.draws) sources.push_back(d.source.x);
    EXPECT_EQ(sources, (std::vector<float>{40.f, 20.f, 30.f, 0.f, 10.f}));
    EXPECT_FLOAT_EQ(width, 10 + 10 + 5 + 8 + 9);
    EXPECT_FLOAT_EQ(font.textWidth(name, 1.f, -1), width);

    // Bytes that are not UTF-8 (a stray continuation byte, a sequence cut short) draw one
    // replacement each; control characters still draw nothing.
    renderer.draws.clear();
    font.drawLine(0.f, 0.f, "n\x80n\xE5\x9Bn\x01\xC2\x85", 0, 1.f, &kRed, -1);
    sources.clear();
    for (const DrawCall& d : renderer.draws) sources.push_back(d.source.x);
    EXPECT_EQ(sources, (std::vector<float>{20.f, 10.f, 20.f, 10.f, 20.f}));

    // Cutting a name to fit takes whole characters off its end.
    std::string cut = name;
    popLastCharacter(cut);
    EXPECT_EQ(cut, "\xC3\xBCn\xC3\xAF ");
    cut = "a\xC3";
    popLastCharacter(cut);
    EXPECT_EQ(cut, "a");
}
