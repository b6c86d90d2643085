// Reading font files: the space glyph, kerning runs, page paths, limits and bad input.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "FontTestSupport.h"

using namespace font_test;

namespace {

// Parses bytes as if read from a file at fontPath.
bool parseBytes(BitmapFont& font, const std::string& bytes) {
    std::FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
    if (!f) return false;
    const bool ok = font.parseStream(f);
    std::fclose(f);
    return ok;
}

}  // namespace

TEST(BitmapFontLoad, StandardFileLoadsFromDiskWithItsHeader) {
    TempDir dir;
    const std::string path = dir.write("t.fnt", standardFont({kerningLine(65, 86, -2)}));
    PageRecorder r;
    BitmapFont font(&r, path.c_str());
    EXPECT_FALSE(font.isLoaded());
    ASSERT_TRUE(font.load());
    EXPECT_TRUE(font.isLoaded());
    EXPECT_STREQ(font.face(), "Test");
    EXPECT_STREQ(font.charset(), "ANSI");
    EXPECT_EQ(font.size(), 30);
    EXPECT_EQ(font.lineHeight(), 32);
    EXPECT_FLOAT_EQ(font.scaledLineHeight(1.5f), 48.f);
    EXPECT_EQ(font.glyphCount(), 8);
    EXPECT_EQ(font.kerningCount(), 1);
    EXPECT_EQ(font.pageCount(), 1);
    EXPECT_TRUE(font.hasGlyph('A'));
    EXPECT_FALSE(font.hasGlyph('Z'));
    EXPECT_EQ(font.findGlyph('V'), 3);
    EXPECT_EQ(font.findGlyph('a'), 5);
    EXPECT_EQ(font.kerningOf('A', 'V'), -2);
    EXPECT_EQ(font.kerningOf('V', 'A'), 0);

    // A second parse starts afresh instead of adding to the first.
    ASSERT_TRUE(font.parse());
    EXPECT_EQ(font.glyphCount(), 8);
    EXPECT_EQ(font.kerningCount(), 1);
    // A parse of a broken file leaves the font unloaded.
    dir.write("t.fnt", "info face=\"Test\"\n");
    EXPECT_FALSE(font.parse());
    EXPECT_FALSE(font.isLoaded());
}

TEST(BitmapFontLoad, CrLfLineEndsAndEmptyCharsetLoad) {
    std::string text = standardFont({kerningLine(65, 86, -2), kerningLine(86, 65, -3)});
    std::string crlf;
    for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    const size_t at = crlf.find("\"ANSI\"");
    crlf.replace(at, 6, "\"\"");
    PageRecorder r;
    BitmapFont font(&r, "fonts/t.fnt");
    ASSERT_TRUE(parseBytes(font, crlf));
    EXPECT_STREQ(font.charset(), "");
    EXPECT_EQ(font.glyphCount(), 8);
    EXPECT_EQ(font.kerningOf('V', 'A'), -3);
    EXPECT_FLOAT_EQ(font.textWidth("AV", 1.f, -1), 22.f);
}

TEST(BitmapFontLoad, MissingFileFails) {
    PageRecorder r;
    BitmapFont font(&r, "/nonexistent/dir/x.fnt");
    EXPECT_FALSE(font.load());
    BitmapFont empty(&r, "");
    EXPECT_FALSE(empty.load());
}

TEST(BitmapFontLoad, SpaceIsSynthesizedAfterControlCharacters) {
    const std::string text = infoLine("Test", 30) + commonLine() + "page id=0 file=\"p0.png\"\n" +
                             "chars count=4\n" + charLine(9, 0, 0, 1, 1, 0, 0, 4) +
                             charLine(10, 0, 0, 1, 1, 0, 0, 4) + charLine(65, 0, 0, 10, 12, 1, 4, 11) +
                             charLine(66, 12, 0, 10, 12, 1, 4, 12);
    PageRecorder r;
    BitmapFont font(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(font, text));
    ASSERT_EQ(font.glyphCount(), 5);
    EXPECT_EQ(font.findGlyph(32), 2);
    const Glyph& space = font.glyph(2);
    EXPECT_EQ(space.xadvance, 10);
    EXPECT_EQ(space.width, 0);
    EXPECT_EQ(space.kerningStart, -1);
    EXPECT_EQ(font.findGlyph(65), 3);
    EXPECT_EQ(font.findGlyph(10), 1);

    // Integer division of the size; and a file with its own space gets no second one.
    BitmapFont odd(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(odd, infoLine("Test", 32) + text.substr(text.find("common"))));
    EXPECT_EQ(odd.glyph(odd.findGlyph(32)).xadvance, 10);
    BitmapFont own(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(own, standardFont()));
    EXPECT_EQ(own.glyphCount(), 8);
    EXPECT_EQ(own.glyph(own.findGlyph(32)).xadvance, 8);
}

TEST(BitmapFontLoad, KerningRunsAndTheirIndex) {
    PageRecorder r;
    // All pairs of first 65: other first characters with a glyph find nothing.
    BitmapFont grouped(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(grouped, standardFont({kerningLine(65, 86, -2), kerningLine(65, 66, -1),
                                                  kerningLine(65, 97, 1)})));
    EXPECT_EQ(grouped.glyph(grouped.findGlyph('A')).kerningStart, 0);
    EXPECT_EQ(grouped.glyph(grouped.findGlyph('B')).kerningStart, -1);
    EXPECT_EQ(grouped.kerningOf('A', 'B'), -1);
    EXPECT_EQ(grouped.kerningOf('A', 'a'), 1);
    EXPECT_EQ(grouped.kerningOf('B', 'V'), 0);
    EXPECT_EQ(grouped.kerning('A', 'c', grouped.findGlyph('A')), 0);

    // A first character without a glyph is searched from pair 0 to the end of its run.
    BitmapFont noGlyph(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(noGlyph, standardFont({kerningLine(300, 65, -4), kerningLine(300, 66, -5),
                                                  kerningLine(65, 86, -2)})));
    EXPECT_EQ(noGlyph.kerning(300, 66, -1), -5);
    EXPECT_EQ(noGlyph.kerningOf(300, 65), -4);
    EXPECT_EQ(noGlyph.kerningOf(300, 86), 0);
    EXPECT_EQ(noGlyph.kerningOf(65, 86), -2);

    // Pairs of one first listed in separate runs are all found; equal firsts keep file order,
    // so of two entries for one pair the first listed wins.
    BitmapFont split(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(split, standardFont({kerningLine(65, 86, -2), kerningLine(86, 65, -3),
                                                kerningLine(65, 97, -1), kerningLine(66, 65, 2),
                                                kerningLine(65, 86, -9), kerningLine(65, 98, -6)})));
    EXPECT_EQ(split.kerningOf('A', 'V'), -2);
    EXPECT_EQ(split.kerningOf('A', 'a'), -1);
    EXPECT_EQ(split.kerningOf('A', 'b'), -6);
    EXPECT_EQ(split.kerningOf('V', 'A'), -3);
    EXPECT_EQ(split.kerningOf('B', 'A'), 2);
    ASSERT_EQ(split.kerningCount(), 6);
    const int expectedSeconds[6] = {86, 97, 86, 98, 65, 65};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(split.kerningPair(i).second, expectedSeconds[i]) << i;
    EXPECT_EQ(split.kerningPair(2).amount, -9);
}

TEST(BitmapFontLoad, FileWithoutKerningSectionLoads) {
    PageRecorder r;
    BitmapFont font(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(font, standardFont()));
    EXPECT_EQ(font.kerningCount(), 0);
    EXPECT_EQ(font.kerningOf('A', 'V'), 0);
    EXPECT_EQ(font.kerning('A', 'V', -1), 0);
}

TEST(BitmapFontLoad, PagesAreLookedForBesideTheFontFileThenByBareName) {
    struct Case {
        const char* fontPath;
        std::vector<std::string> tried;  // when nothing loads
    };
    const Case cases[] = {
        {"data/droid30.fnt", {"data/p0.png", "p0.png"}},
        {"x.fnt", {"p0.png"}},
        {"fonts\\x.fnt", {"fonts\\p0.png", "p0.png"}},
        {"a/b\\x.fnt", {"a/p0.png", "p0.png"}},
        {"c:\\a\\b/d/x.fnt", {"c:\\a\\b/d/p0.png", "p0.png"}},
    };
    for (const Case& c : cases) {
        PageRecorder fails;
        fails.accept = [](const std::string&) { return false; };
        BitmapFont font(&fails, c.fontPath);
        EXPECT_FALSE(parseBytes(font, standardFont())) << c.fontPath;
        EXPECT_EQ(fails.requested, c.tried) << c.fontPath;

        // Beside the font when that loads; else the bare name.
        PageRecorder beside;
        BitmapFont first(&beside, c.fontPath);
        EXPECT_TRUE(parseBytes(first, standardFont())) << c.fontPath;
        ASSERT_EQ(beside.requested.size(), 1u);
        EXPECT_EQ(beside.requested[0], c.tried[0]);
        PageRecorder bare;
        bare.accept = [](const std::string& p) { return p == "p0.png"; };
        BitmapFont second(&bare, c.fontPath);
        EXPECT_TRUE(parseBytes(second, standardFont())) << c.fontPath;
        EXPECT_EQ(bare.requested, c.tried) << c.fontPath;
    }
}

TEST(BitmapFontLoad, NameLimits) {
    PageRecorder r;
    // Face: 63 characters load, 64 do not.
    BitmapFont face63(&r, "t.fnt");
    const std::string body = commonLine() + "page id=0 file=\"p0.png\"\n" + standardChars();
    EXPECT_TRUE(parseBytes(face63, infoLine(std::string(63, 'f')) + body));
    EXPECT_EQ(std::string(face63.face()), std::string(63, 'f'));
    BitmapFont face64(&r, "t.fnt");
    EXPECT_FALSE(parseBytes(face64, infoLine(std::string(64, 'f')) + body));
    EXPECT_FALSE(face64.isLoaded());

    // Page file: 127 characters load, 128 do not.
    const std::string tail = standardChars();
    const std::string f127(127, 'p');
    BitmapFont page127(&r, "t.fnt");
    EXPECT_TRUE(parseBytes(page127, infoLine() + commonLine() + "page id=0 file=\"" + f127 + "\"\n" + tail));
    EXPECT_STREQ(page127.page(0).file, f127.c_str());
    BitmapFont page128(&r, "t.fnt");
    EXPECT_FALSE(parseBytes(page128, infoLine() + commonLine() + "page id=0 file=\"" + f127 + "q\"\n" + tail));

    // The longest directory part with the longest page name is tried whole (253 characters).
    const std::string dirPart = std::string(125, 'd') + "/";
    const std::string fontPath = dirPart + "x";
    ASSERT_EQ(fontPath.size(), size_t(FONT_PATH_MAX));
    PageRecorder longest;
    BitmapFont full(&longest, fontPath.c_str());
    EXPECT_TRUE(parseBytes(full, infoLine() + commonLine() + "page id=0 file=\"" + f127 + "\"\n" + tail));
    ASSERT_EQ(longest.requested.size(), 1u);
    EXPECT_EQ(longest.requested[0], dirPart + f127);

    // A font path longer than the limit is not cut down to another file's name: it fails.
    TempDir dir;
    std::string longPath = dir.path() + "/" + std::string(FONT_PATH_MAX, 'n') + ".fnt";
    BitmapFont tooLong(&r, longPath.c_str());
    EXPECT_EQ(std::string(tooLong.path()).size(), size_t(FONT_PATH_MAX));
    EXPECT_FALSE(tooLong.load());
}

// The shortest lines the scans match load: a blank in a pattern also matches no blank at all.
TEST(BitmapFontLoad, TheShortestPageAndKerningLinesLoad) {
    PageRecorder r;
    std::string pages;
    for (int i = 0; i < 7; ++i) pages += "pageid=" + std::to_string(i) + "file=\"a\"";
    BitmapFont a(&r, "t.fnt");
    EXPECT_TRUE(parseBytes(a, infoLine() + commonLine(32, 7) + pages + "chars count=0"));
    EXPECT_EQ(a.pageCount(), 7);
    BitmapFont b(&r, "t.fnt");
    EXPECT_TRUE(parseBytes(b, standardFont() + "kernings count=2\nkerningfirst=0 second=0 amount=0\n"
                                               "kerningfirst=0 second=1 amount=0"));
    EXPECT_EQ(b.kerningCount(), 2);
}

TEST(BitmapFontLoad, OversizedAndNegativeCountsFailCleanly) {
    PageRecorder r;
    const std::string info = infoLine();
    const std::string page = "page id=0 file=\"p0.png\"\n";
    const std::string chars = standardChars();
    const std::string bad[] = {
        info + commonLine(32, 100000) + page + chars,
        info + commonLine(32, 70000) + page + chars,
        info + commonLine(32, -1) + page + chars,
        info + commonLine(32, 200) + page + chars,  // fewer page lines than pages
        info + commonLine(-5, 1) + page + chars,
        info + commonLine() + page + "chars count=2000000000\n" + chars.substr(chars.find("char id")),
        info + commonLine() + page + "chars count=-3\n",
        info + commonLine() + page + "chars count=9\n" + chars.substr(chars.find("char id")),
        info + commonLine() + page + chars + "kernings count=-1\n",
        info + commonLine() + page + chars + "kernings count=1000000\n" + kerningLine(65, 86, -2),
        info + commonLine() + page + chars + "kernings count=2\n" + kerningLine(65, 86, -2),
        info + commonLine() + page + chars + "kernings count=1\n" + kerningLine(65, 86, 40000),
        info + commonLine() + page + "chars count=1\n" + charLine(65, 70000, 0, 10, 12, 1, 4, 11),
        info + commonLine() + page + "chars count=1\n" + charLine(65, 0, 0, 10, 12, 1, 4, 99999),
        info + commonLine() + page + "chars count=1\n" + charLine(-65, 0, 0, 10, 12, 1, 4, 11),
        info + commonLine() + page + "chars count=1\nchar id=65 x=1\n",
        info + "common lineHeight=32 base=26\n",
        "\x89PNG\r\n\x1a\n garbage \xff\xfe",
        "",
    };
    for (const std::string& text : bad) {
        BitmapFont font(&r, "t.fnt");
        EXPECT_FALSE(parseBytes(font, text)) << text.substr(0, 300);
        EXPECT_FALSE(font.isLoaded());
    }
}

TEST(BitmapFontLoad, EveryTruncationEitherFailsOrLoadsWhatItHas) {
    const std::string text = standardFont({kerningLine(65, 86, -2), kerningLine(86, 65, -3)});
    const size_t charsEnd = text.find("kernings");
    PageRecorder r;
    for (size_t len = 0; len < text.size(); ++len) {
        BitmapFont font(&r, "t.fnt");
        const bool ok = parseBytes(font, text.substr(0, len));
        EXPECT_EQ(ok, font.isLoaded());
        // Once the last char line is complete the file loads; until then it cannot.
        if (len + 2 < charsEnd) {
            EXPECT_FALSE(ok) << len;
        }
        if (ok) {
            EXPECT_EQ(font.glyphCount(), 8) << len;
        }
    }
}

TEST(BitmapFontLoad, GlyphsOutsideTheirPageDrawNothing) {
    const std::string text = infoLine() + commonLine(32, 1) + "page id=0 file=\"p0.png\"\n" +
                             "chars count=4\n" + charLine(65, 0, 0, 10, 12, 1, 4, 11) +
                             charLine(66, 250, 0, 10, 12, 1, 4, 12) +  // past the right edge
                             charLine(67, 0, 250, 10, 12, 1, 4, 13) +  // past the bottom
                             charLine(68, 0, 0, 10, 12, 1, 4, 14, 5);  // page 5 of 1
    PageRecorder r;
    BitmapFont font(&r, "t.fnt");
    ASSERT_TRUE(parseBytes(font, text));
    const ColorRGBA white;
    const float width = font.drawLine(0.f, 0.f, "ABCDA", 0, 1.f, &white, -1);
    ASSERT_EQ(r.draws.size(), 2u);  // the two A glyphs
    EXPECT_FLOAT_EQ(r.draws[0].x, 1.f);
    EXPECT_FLOAT_EQ(r.draws[1].x, 11.f + 12 + 13 + 14 + 1);
    EXPECT_FLOAT_EQ(width, 11.f + 12 + 13 + 14 + 11);

    // No pages at all: it loads, measures, and draws nothing.
    PageRecorder none;
    BitmapFont noPages(&none, "t.fnt");
    ASSERT_TRUE(parseBytes(noPages, infoLine() + commonLine(32, 0) + standardChars()));
    EXPECT_TRUE(none.requested.empty());
    EXPECT_FLOAT_EQ(noPages.drawLine(0.f, 0.f, "AB", 0, 1.f, &white, -1), 23.f);
    EXPECT_TRUE(none.draws.empty());
}
