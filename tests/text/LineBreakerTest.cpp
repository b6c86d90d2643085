// Breaking text into lines, measureText and drawText.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "FontTestSupport.h"
#include "text/LineBreaker.h"

using namespace font_test;

namespace {

// The standard font (a, b, c 9 wide, space 8, line height 32), no kerning.
struct Fixture {
    PageRecorder renderer;
    BitmapFont font{&renderer, "t.fnt"};
    Fixture() {
        const std::string text = standardFont();
        std::FILE* f = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
        EXPECT_TRUE(font.parseStream(f));
        std::fclose(f);
    }
};

struct Line {
    std::string text;
    float width;
};

// Every line a breaker produces.
std::vector<Line> lines(const Font& font, const char* text, float maxWidth, int maxChars = 0) {
    LineBreaker b(&font, text, 1.f, maxWidth, maxChars);
    std::vector<Line> out;
    const char* start = nullptr;
    int length = -1;
    float width = -1;
    while (b.nextLine(&start, &length, &width)) out.push_back({std::string(start, size_t(length)), width});
    EXPECT_FALSE(b.nextLine(&start, &length, &width));
    EXPECT_EQ(length, 0);
    return out;
}

}  // namespace

TEST(LineBreaker, NewlinesWithoutWrapping) {
    Fixture t;
    const auto l = lines(t.font, "ab\ncab\n\nc", 0.f);
    ASSERT_EQ(l.size(), 4u);
    EXPECT_EQ(l[0].text, "ab");
    EXPECT_FLOAT_EQ(l[0].width, 18.f);
    EXPECT_EQ(l[1].text, "cab");
    EXPECT_FLOAT_EQ(l[1].width, 27.f);
    EXPECT_EQ(l[2].text, "");
    EXPECT_EQ(l[3].text, "c");

    // An escaped newline breaks too; an escaped tab stays inside the line with both its bytes.
    const auto e = lines(t.font, "ab\\nc\\tab", 0.f);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].text, "ab");
    EXPECT_EQ(e[1].text, "c\\tab");
    EXPECT_FLOAT_EQ(e[1].width, 27.f);

    LineBreaker empty(&t.font, "", 1.f, 0.f, 0);
    EXPECT_TRUE(empty.done());
    EXPECT_EQ(empty.lineCount(), 0);
    LineBreaker noFont(nullptr, "abc", 1.f, 0.f, 0);
    EXPECT_TRUE(noFont.done());
}

TEST(LineBreaker, WrapsBetweenWordsWithinTheWidth) {
    Fixture t;
    // "abc" is 27 wide, a space 8: two words need 62 > 60.
    const auto l = lines(t.font, "abc abc abc", 60.f);
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l[0].text, "abc ");
    EXPECT_EQ(l[1].text, "abc ");
    EXPECT_EQ(l[2].text, "abc");
    for (const Line& line : l) EXPECT_LE(t.font.textWidth(line.text.c_str(), 1.f, -1), 60.f);
    // With room for two words per line.
    const auto two = lines(t.font, "abc abc abc", 70.f);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].text, "abc abc ");
    EXPECT_EQ(two[1].text, "abc");

    // A newline after an overflowing word still ends that word's line.
    const auto nl = lines(t.font, "abc abc\nab", 60.f);
    ASSERT_EQ(nl.size(), 3u);
    EXPECT_EQ(nl[1].text, "abc");
    EXPECT_EQ(nl[2].text, "ab");

    // A word wider than the limit stands alone and reports its own width.
    const auto wide = lines(t.font, "aaaaaaaa b", 30.f);
    ASSERT_EQ(wide.size(), 2u);
    EXPECT_EQ(wide[0].text, "aaaaaaaa ");
    EXPECT_FLOAT_EQ(wide[0].width, 72.f);
    EXPECT_EQ(wide[1].text, "b");
}

TEST(LineBreaker, CharacterLimitEndsTheText) {
    Fixture t;
    const auto l = lines(t.font, "abcabc", 0.f, 4);
    ASSERT_EQ(l.size(), 1u);
    EXPECT_EQ(l[0].text, "abca");
    const auto w = lines(t.font, "abc abc", 100.f, 5);
    ASSERT_EQ(w.size(), 1u);
    EXPECT_EQ(w[0].text, "abc a");
    // The limit cuts an escape: its lone backslash is dropped.
    const auto e = lines(t.font, "ab\\n", 0.f, 3);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].text, "ab");
}

TEST(MeasureText, CountsLinesAndTheWidestLine) {
    Fixture t;
    float w = -1.f, h = -1.f;
    // The break after a three-letter word is counted although only one line is produced.
    EXPECT_EQ(t.font.measureText(&w, &h, "abc\n", 1.f, 0.f, 0), 2);
    EXPECT_FLOAT_EQ(w, 27.f);
    EXPECT_FLOAT_EQ(h, 64.f);
    EXPECT_EQ(t.font.measureText(&w, &h, "ab\ncab", 2.f, 0.f, 0), 2);
    EXPECT_FLOAT_EQ(w, 54.f);
    EXPECT_FLOAT_EQ(h, 128.f);
    EXPECT_EQ(t.font.measureText(&w, &h, "aaaaaaaa b", 1.f, 30.f, 0), 2);
    EXPECT_FLOAT_EQ(w, 72.f);
    // An empty text: 0 lines, outputs untouched.
    w = h = -7.f;
    EXPECT_EQ(t.font.measureText(&w, &h, "", 1.f, 0.f, 0), 0);
    EXPECT_FLOAT_EQ(w, -7.f);
    EXPECT_FLOAT_EQ(h, -7.f);
}

TEST(DrawText, DrawsEveryLineBelowTheLast) {
    Fixture t;
    const ColorRGBA white;
    EXPECT_EQ(t.font.drawText(10.f, 20.f, "ab\nc", 0, 1.f, 0.f, &white, 0), 2);
    ASSERT_EQ(t.renderer.draws.size(), 3u);
    EXPECT_FLOAT_EQ(t.renderer.draws[0].y, 20.f + 7);
    EXPECT_FLOAT_EQ(t.renderer.draws[2].x, 10.f);
    EXPECT_FLOAT_EQ(t.renderer.draws[2].y, 20.f + 32 + 7);

    // Bottom alignment lifts the block by its height; centring by half; x alignment per line.
    t.renderer.draws.clear();
    t.font.drawText(100.f, 200.f, "ab\nc", 0x20 | 0x08, 1.f, 0.f, &white, 0);
    EXPECT_FLOAT_EQ(t.renderer.draws[0].y, 200.f - 64 + 7);
    EXPECT_FLOAT_EQ(t.renderer.draws[0].x, 100.f - 18);
    EXPECT_FLOAT_EQ(t.renderer.draws[2].x, 100.f - 9);
    t.renderer.draws.clear();
    t.font.drawText(100.f, 200.f, "ab\nc", 0x10, 1.f, 0.f, &white, 0);
    EXPECT_FLOAT_EQ(t.renderer.draws[0].y, 200.f - 32 + 7);

    // Wrapped, limited and escaped texts draw every character they keep.
    t.renderer.draws.clear();
    EXPECT_EQ(t.font.drawText(0.f, 0.f, "abc abc abc", 0, 1.f, 60.f, &white, 0), 3);
    EXPECT_EQ(t.renderer.draws.size(), 11u);  // the spaces draw empty glyphs
    t.renderer.draws.clear();
    EXPECT_EQ(t.font.drawText(0.f, 0.f, "a\\tb", 0, 1.f, 0.f, &white, 0), 1);
    EXPECT_EQ(t.renderer.draws.size(), 2u);
    t.renderer.draws.clear();
    EXPECT_EQ(t.font.drawText(0.f, 0.f, "", 0, 1.f, 0.f, &white, 0), 0);
    EXPECT_TRUE(t.renderer.draws.empty());
}
