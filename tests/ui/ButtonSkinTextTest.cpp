// The button skin's text: sizing from the font, anchors, pressed and shadow displacement, the
// blend mode handed to the font, and the check box hiding its text while unchecked. A small
// fake font with a fixed advance stands in for the bitmap font so every position is exact.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/ui/FakeSkins.h"
#include "render/Drawable.h"
#include "render/Renderer.h"
#include "text/Font.h"
#include "ui/ButtonSkin.h"
#include "ui/UiContext.h"

namespace {

// Every character is 10 pixels wide; lines are 30 pixels high.
class FakeFont : public Font {
public:
    struct Line {
        float x, y;
        std::string text;
        int flags;
        float scale;
        uint32_t colour;
        int blend;
    };
    std::vector<Line> lines;

    FakeFont() { loaded = true; }
    bool load() override { return true; }
    bool parse() override { return true; }
    void setTracking(int) override {}
    int tracking() const override { return 0; }
    float scaledLineHeight(float scale) const override { return 30.f * scale; }
    int lineHeight() const override { return 30; }
    bool hasGlyph(int) const override { return true; }
    float textWidth(const char* text, float scale, int length) const override {
        const size_t n = length < 0 ? std::strlen(text) : size_t(length);
        return float(n) * 10.f * scale;
    }
    int measureText(float* w, float* h, const char* text, float scale, float, int) const override {
        *w = textWidth(text, scale, -1);
        *h = scaledLineHeight(scale);
        return 1;
    }
    float drawLine(float x, float y, const char* text, int flags, float scale,
                   const ColorRGBA* colour, int length) override {
        lines.push_back({x, y, text, flags, scale, colour->argb(), blendMode()});
        return textWidth(text, scale, length);
    }
    int drawText(float x, float y, const char* text, int flags, float scale, float,
                 const ColorRGBA* colour, int) override {
        drawLine(x, y, text, flags, scale, colour, -1);
        return 1;
    }
};

UiContext passContext(bool drawing) {
    UiContext ui;
    ui.beginPass(0, 0, drawing);
    return ui;
}

}  // namespace

TEST(ButtonSkinText, WithoutPicturesTheTextSizesTheWidget) {
    FakeFont font;
    ButtonSkin skin(&font, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(skin.height(), 30.f);
    skin.setScale(2.f);
    EXPECT_EQ(skin.height(), 60.f);
    EXPECT_EQ(skin.width(), 0.f);
    UiContext ui = passContext(false);
    const RectF at(5, 5, 0, 0);
    // "Save": 4 x 10 x 2 wide, 30 x 2 high.
    EXPECT_TRUE(skin.hitTest(ui, 84.9f, 64.9f, at, "Save", nullptr));
    EXPECT_FALSE(skin.hitTest(ui, 85, 30, at, "Save", nullptr));
    EXPECT_FALSE(skin.hitTest(ui, 30, 65, at, "Save", nullptr));
    const RectF r = skin.draw(ui, 0, 5, 5, 0, 0, "Save", nullptr);
    EXPECT_EQ(r.width, 80.f);
    EXPECT_EQ(r.height, 60.f);
    // Content sizing ignores the text scale.
    skin.setTextScale(0.5f);
    EXPECT_EQ(skin.draw(ui, 0, 5, 5, 0, 0, "Save", nullptr).width, 80.f);
    EXPECT_TRUE(font.lines.empty());
}

TEST(ButtonSkinText, TextIsCentredTruncatedAndSinksWhenPressed) {
    FakeFont font;
    ButtonSkin skin(&font, nullptr, nullptr, nullptr, nullptr);
    skin.setTextScale(0.75f);
    skin.setTextColour(ColorRGBA(0xFFAAFFAAu));
    UiContext ui = passContext(true);
    // An explicit 144 x 40 box at (10.6, 20.3): anchor trunc(82.6) = 82, trunc(40.3) = 40.
    skin.draw(ui, 1, 10.6f, 20.3f, 144, 40, "Play", nullptr);
    skin.draw(ui, 3, 10.6f, 20.3f, 144, 40, "Play", nullptr);
    skin.draw(ui, 2, 10.6f, 20.3f, 144, 40, "Play", nullptr);
    ASSERT_EQ(font.lines.size(), 3u);
    EXPECT_EQ(font.lines[0].x, 82.f);
    EXPECT_EQ(font.lines[0].y, 40.f);
    EXPECT_EQ(font.lines[0].flags, 20);
    EXPECT_EQ(font.lines[0].scale, 0.75f);
    EXPECT_EQ(font.lines[0].colour, 0xFFAAFFAAu);
    EXPECT_EQ(font.lines[0].text, "Play");
    EXPECT_EQ(font.lines[1].y, 42.f);  // pressed with the mouse over it
    EXPECT_EQ(font.lines[2].y, 40.f);  // active or focused only

    // Other alignments anchor on the far edges; offsets are added before truncation.
    font.lines.clear();
    skin.setTextAlign(DRAW_RIGHT | DRAW_BOTTOM);
    skin.setTextOffset(-0.5f, 0.5f);
    skin.draw(ui, 0, 10.6f, 20.3f, 144, 40, "Play", nullptr);
    skin.setTextAlign(0);
    skin.draw(ui, 0, 10.6f, 20.3f, 144, 40, "Play", nullptr);
    ASSERT_EQ(font.lines.size(), 2u);
    EXPECT_EQ(font.lines[0].x, 154.f);  // trunc(154.6 - 0.5)
    EXPECT_EQ(font.lines[0].y, 60.f);   // trunc(60.3 + 0.5)
    EXPECT_EQ(font.lines[0].flags, DRAW_RIGHT | DRAW_BOTTOM);
    EXPECT_EQ(font.lines[1].x, 10.f);
    EXPECT_EQ(font.lines[1].y, 20.f);
}

TEST(ButtonSkinText, FontBlendModeIsSetForTheFaceAndRestored) {
    FakeFont font;
    font.setBlendMode(BLEND_MULTIPLY);
    ButtonSkin skin(&font, nullptr, nullptr, nullptr, nullptr);
    skin.setTextBlendMode(BLEND_ADD);
    skin.setShadow(true);
    UiContext ui = passContext(true);
    skin.draw(ui, 3, 0, 0, 100, 40, "Rec", nullptr);
    ASSERT_EQ(font.lines.size(), 2u);
    // The shadow first, 2.5 down, in the font's own blend mode and the shadow colour.
    EXPECT_EQ(font.lines[0].y, 22.5f);
    EXPECT_EQ(font.lines[0].blend, BLEND_MULTIPLY);
    EXPECT_EQ(font.lines[0].colour, 0x80000000u);
    // Then the face, 2 down in the pressed state, in the skin's text blend mode.
    EXPECT_EQ(font.lines[1].y, 22.f);
    EXPECT_EQ(font.lines[1].blend, BLEND_ADD);
    EXPECT_EQ(font.lines[1].colour, 0xFFFFFFFFu);
    EXPECT_EQ(font.blendMode(), BLEND_MULTIPLY);
}

TEST(ButtonSkinText, CheckBoxShowsItsTextOnlyWhileChecked) {
    FakeFont font;
    ButtonSkin skin(&font, nullptr, nullptr, nullptr, nullptr);
    UiContext ui;
    bool value = false;
    ui.beginPass(0, 0, true);
    ui.checkBox(0, 0, &value, -1, &skin, 20, 20, "x", nullptr);
    ui.endPass();
    EXPECT_TRUE(font.lines.empty());
    value = true;
    ui.beginPass(0, 0, true);
    ui.checkBox(0, 0, &value, -1, &skin, 20, 20, "x", nullptr);
    ui.endPass();
    ASSERT_EQ(font.lines.size(), 1u);
    EXPECT_EQ(font.lines[0].text, "x");
}
