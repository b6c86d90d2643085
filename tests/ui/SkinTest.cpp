// The button and slider skins against the bundled pictures, decoded and turned into textures
// by the real engine: content sizes, hit tests, value mapping, and what a drawing pass puts on
// screen (recorded at flush) compared with a pass that is not drawing.
#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>

#include "render/Image.h"
#include "states/MainState.h"
#include "text/BitmapFont.h"
#include "tests/common/TestDevice.h"
#include "tests/render/RecordingRenderer.h"
#include "tests/ui/Recording.h"
#include "ui/ButtonSkin.h"
#include "ui/SliderSkin.h"
#include "ui/UiContext.h"

using ui_test::FlagRecordingImage;

namespace {

// The ten skin pictures, in the order the main state keeps them.
const char* const PICTURES[] = {
    "button.png",       "button-hot.png",          "button-active.png",
    "button-hot-active.png", "slider-base.png",    "slider-thumb.png",
    "slider-thumb-active.png", "checkbox.png",     "checkbox-active.png",
    "checkbox-check.png",
};
enum Picture {
    BUTTON, BUTTON_HOT, BUTTON_ACTIVE, BUTTON_HOT_ACTIVE, SLIDER_BASE, SLIDER_THUMB,
    SLIDER_THUMB_ACTIVE, CHECKBOX, CHECKBOX_ACTIVE, CHECKBOX_CHECK, PICTURE_COUNT
};

// A context whose drawing-pass flag is set as asked.
UiContext passContext(bool drawing) {
    UiContext ui;
    ui.beginPass(0, 0, drawing);
    return ui;
}

}  // namespace

class SkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        device = testing_support::createTestDevice(320, 240);
        if (!device) return;
        renderer = new RecordingRenderer(device);
        renderer->drawBatches = false;
        for (int i = 0; i < PICTURE_COUNT; ++i) {
            const std::string path = std::string(TUMELORA_SOURCE_DIR) + "/data/" + PICTURES[i];
            pictures[i] = renderer->loadImage(path.c_str(), 0xFFFFFFFFu);
        }
    }
    static void TearDownTestSuite() {
        for (Image*& p : pictures) {
            delete p;
            p = nullptr;
        }
        delete renderer;
        renderer = nullptr;
        if (device) device->drop();
        device = nullptr;
    }
    void SetUp() override {
        TUMELORA_REQUIRE_DEVICE(device);
        for (int i = 0; i < PICTURE_COUNT; ++i) ASSERT_NE(pictures[i], nullptr) << PICTURES[i];
        renderer->takeQuads();
    }
    Image* pic(Picture p) { return pictures[p]; }
    // The button skin of the panel, without its font.
    ButtonSkin buttonSkin() {
        return ButtonSkin(nullptr, pic(BUTTON), pic(BUTTON_HOT), pic(BUTTON_ACTIVE),
                          pic(BUTTON_HOT_ACTIVE));
    }
    // The check-box skin of the panel.
    ButtonSkin checkBoxSkin() {
        ButtonSkin s(nullptr, pic(CHECKBOX), pic(CHECKBOX), pic(CHECKBOX_ACTIVE),
                     pic(CHECKBOX_ACTIVE));
        s.setPressedIconOffset(0.f, 0.25f);
        return s;
    }
    // The slider skin of the panel: no track, the thumb pictures.
    SliderSkin sliderSkin() {
        return SliderSkin(nullptr, nullptr, nullptr, nullptr, pic(SLIDER_THUMB), pic(SLIDER_THUMB),
                          pic(SLIDER_THUMB_ACTIVE), pic(SLIDER_THUMB_ACTIVE));
    }

    static irr::IrrlichtDevice* device;
    static RecordingRenderer* renderer;
    static Image* pictures[PICTURE_COUNT];
};

irr::IrrlichtDevice* SkinTest::device = nullptr;
RecordingRenderer* SkinTest::renderer = nullptr;
Image* SkinTest::pictures[PICTURE_COUNT] = {};

TEST_F(SkinTest, ContentSizesComeFromTheBundledPictures) {
    ButtonSkin button = buttonSkin();
    EXPECT_EQ(button.width(), 144.f);
    EXPECT_EQ(button.height(), 40.f);
    ButtonSkin check = checkBoxSkin();
    EXPECT_EQ(check.width(), 16.f);
    EXPECT_EQ(check.height(), 16.f);
    SliderSkin slider = sliderSkin();
    EXPECT_EQ(slider.thumbWidthValue(), 16u);
    EXPECT_EQ(slider.thumbHeightValue(), 16u);
    EXPECT_EQ(slider.trackWidthValue(), SLIDER_DEFAULT_TRACK_WIDTH);
    // Every button state and both thumbs have the same size, so no state changes the layout.
    for (Picture p : {BUTTON_HOT, BUTTON_ACTIVE, BUTTON_HOT_ACTIVE}) {
        EXPECT_EQ(pic(p)->width(), 144.f);
        EXPECT_EQ(pic(p)->height(), 40.f);
    }
    EXPECT_EQ(pic(SLIDER_THUMB_ACTIVE)->width(), 16.f);
    EXPECT_EQ(pic(CHECKBOX_CHECK)->width(), 16.f);
    // The slider base is drawn 1280 x 16 behind each slider: it has that size itself.
    EXPECT_EQ(pic(SLIDER_BASE)->width(), 1280.f);
    EXPECT_EQ(pic(SLIDER_BASE)->height(), 16.f);

    // The first non-null picture in state order gives the size; none and no font gives 0.
    ButtonSkin onlyActive(nullptr, nullptr, nullptr, pic(CHECKBOX_ACTIVE), pic(BUTTON));
    EXPECT_EQ(onlyActive.width(), 16.f);
    ButtonSkin none(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(none.width(), 0.f);
    EXPECT_EQ(none.height(), 0.f);
    SliderSkin withTrack(pic(SLIDER_BASE), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr);
    EXPECT_EQ(withTrack.trackWidthValue(), 1280u);
    EXPECT_EQ(withTrack.trackHeightValue(), 16u);
    EXPECT_EQ(withTrack.thumbWidthValue(), SLIDER_DEFAULT_THUMB_WIDTH);
    button.setScale(0.5f);
    EXPECT_EQ(button.width(), 72.f);
    EXPECT_EQ(button.height(), 20.f);
}

TEST_F(SkinTest, ButtonHitTestUsesTheContentAreaAtTheCorner) {
    ButtonSkin skin = buttonSkin();
    UiContext ui = passContext(false);
    const RectF content(10, 20, 0, 0);
    EXPECT_TRUE(skin.hitTest(ui, 10, 20, content, nullptr, nullptr));
    EXPECT_TRUE(skin.hitTest(ui, 153.9f, 59.9f, content, nullptr, nullptr));
    EXPECT_FALSE(skin.hitTest(ui, 154, 30, content, nullptr, nullptr));
    EXPECT_FALSE(skin.hitTest(ui, 30, 60, content, nullptr, nullptr));
    EXPECT_FALSE(skin.hitTest(ui, 9.9f, 30, content, nullptr, nullptr));
    // One zero side is still content-sized.
    EXPECT_TRUE(skin.hitTest(ui, 150, 55, RectF(10, 20, 0, 25), nullptr, nullptr));
    // An explicit size replaces the content area.
    EXPECT_FALSE(skin.hitTest(ui, 150, 30, RectF(10, 20, 50, 25), nullptr, nullptr));
    EXPECT_TRUE(skin.hitTest(ui, 59, 44, RectF(10, 20, 50, 25), nullptr, nullptr));
    skin.setScale(2.f);
    EXPECT_TRUE(skin.hitTest(ui, 297, 99, content, nullptr, nullptr));
    EXPECT_FALSE(skin.hitTest(ui, 298, 30, content, nullptr, nullptr));

    // Without pictures the icon sizes the area (times scale); without icon or font: no hit.
    ButtonSkin bare(nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(bare.hitTest(ui, 25, 35, content, "text", pic(CHECKBOX_CHECK)));
    EXPECT_FALSE(bare.hitTest(ui, 26, 35, content, "text", pic(CHECKBOX_CHECK)));
    EXPECT_FALSE(bare.hitTest(ui, 10, 20, content, "text", nullptr));
}

TEST_F(SkinTest, NothingIsDrawnOutsideADrawingPassButTheRectangleIsTheSame) {
    ButtonSkin skin = buttonSkin();
    SliderSkin slider = sliderSkin();
    for (bool drawing : {false, true}) {
        UiContext ui = passContext(drawing);
        for (int state = 0; state < 4; ++state) {
            const RectF r = skin.draw(ui, state, 10, 20, 0, 0, nullptr, pic(CHECKBOX_CHECK));
            EXPECT_EQ(r.x, 10.f);
            EXPECT_EQ(r.y, 20.f);
            EXPECT_EQ(r.width, 144.f);
            EXPECT_EQ(r.height, 40.f);
            const RectF s = slider.drawFloat(ui, state, 0, 0.5f, 0.f, 1.f, 10.7f, 20.2f, 1280, 16);
            EXPECT_EQ(s.x, 10.f);
            EXPECT_EQ(s.y, 20.f);
            EXPECT_EQ(s.width, 1280.f);
            EXPECT_EQ(s.height, 16.f);
        }
        const std::vector<RecordedQuad> quads = renderer->takeQuads();
        // A drawing pass: picture and icon per button state, the thumb per slider.
        EXPECT_EQ(quads.size(), drawing ? 12u : 0u);
    }
}

TEST_F(SkinTest, ButtonDrawsTheStatePictureThenTheIcon) {
    ButtonSkin skin = buttonSkin();
    UiContext ui = passContext(true);
    const Picture expected[] = {BUTTON, BUTTON_HOT, BUTTON_ACTIVE, BUTTON_HOT_ACTIVE};
    for (int state = 0; state < 4; ++state) {
        skin.draw(ui, state, 10, 20, 0, 0, nullptr, pic(CHECKBOX_CHECK));
        const std::vector<RecordedQuad> q = renderer->takeQuads();
        ASSERT_EQ(q.size(), 2u);
        EXPECT_EQ(q[0].texture, pic(expected[state])->texture());
        EXPECT_EQ(q[0].left, 10.f);
        EXPECT_EQ(q[0].top, 20.f);
        EXPECT_EQ(q[0].right, 154.f);
        EXPECT_EQ(q[0].bottom, 60.f);
        EXPECT_EQ(q[1].texture, pic(CHECKBOX_CHECK)->texture());
    }
    // With an explicit size the state picture is left out; the icon stays.
    skin.draw(ui, 0, 10, 20, 100, 30, nullptr, pic(CHECKBOX_CHECK));
    const std::vector<RecordedQuad> q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].texture, pic(CHECKBOX_CHECK)->texture());
    EXPECT_EQ(q[0].left, 52.f);  // centred on 10 + 100 / 2
    EXPECT_EQ(q[0].top, 27.f);   // centred on 20 + 30 / 2
}

TEST_F(SkinTest, ImageFlagsAreThreeAtScaleOneElseWithTransformAndScale) {
    FlagRecordingImage normal(pic(BUTTON)), check(pic(CHECKBOX_CHECK));
    ButtonSkin skin(nullptr, &normal, nullptr, nullptr, nullptr);
    UiContext ui = passContext(true);
    skin.draw(ui, 0, 10, 20, 0, 0, nullptr, &check);
    ASSERT_EQ(normal.drawFlags.size(), 1u);
    EXPECT_EQ(normal.drawFlags[0], 0x3u);
    ASSERT_EQ(check.drawFlags.size(), 1u);
    EXPECT_EQ(check.drawFlags[0], 0x3u | 20u);  // plus the centring icon alignment
    renderer->takeQuads();

    skin.setScale(2.f);
    const RectF r = skin.draw(ui, 0, 10, 20, 0, 0, nullptr, nullptr);
    EXPECT_EQ(normal.drawFlags.back(), 0x503u);
    EXPECT_EQ(r.width, 288.f);
    const std::vector<RecordedQuad> q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].left, 10.f);
    EXPECT_EQ(q[0].top, 20.f);
    EXPECT_EQ(q[0].right, 298.f);
    EXPECT_EQ(q[0].bottom, 100.f);

    // The slider always draws with transform and scale; the thumb centred on its anchor.
    FlagRecordingImage track(pic(SLIDER_BASE)), thumb(pic(SLIDER_THUMB));
    SliderSkin slider(&track, nullptr, nullptr, nullptr, &thumb, nullptr, nullptr, nullptr);
    slider.drawInt(ui, 0, 0, 3, 0, 10, 0, 0, 0, 0);
    ASSERT_EQ(track.drawFlags.size(), 1u);
    EXPECT_EQ(track.drawFlags[0], 0x503u);
    ASSERT_EQ(thumb.drawFlags.size(), 1u);
    EXPECT_EQ(thumb.drawFlags[0], 0x517u);
    EXPECT_EQ(thumb.blends[0], BLEND_ALPHA);
    renderer->takeQuads();
}

TEST_F(SkinTest, PressedStateMovesIconAfterTruncatingTheAnchor) {
    ButtonSkin skin = checkBoxSkin();
    UiContext ui = passContext(true);
    // Anchor: trunc(10.7 + 8) = 18, trunc(20.9 + 8) = 28; the 16 x 16 mark is centred on it.
    skin.draw(ui, 2, 10.7f, 20.9f, 0, 0, nullptr, pic(CHECKBOX_CHECK));
    std::vector<RecordedQuad> q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].texture, pic(CHECKBOX_ACTIVE)->texture());
    EXPECT_FLOAT_EQ(q[1].left, 10.f);
    EXPECT_FLOAT_EQ(q[1].top, 20.f);
    skin.draw(ui, 3, 10.7f, 20.9f, 0, 0, nullptr, pic(CHECKBOX_CHECK));
    q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_FLOAT_EQ(q[1].left, 10.f);
    EXPECT_FLOAT_EQ(q[1].top, 20.25f);

    // The default pressed offset is 2 pixels down, times scale.
    ButtonSkin button = buttonSkin();
    button.setScale(2.f);
    button.draw(ui, 3, 0, 0, 0, 0, nullptr, pic(CHECKBOX_CHECK));
    q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 2u);
    // Anchor (144, 40); the mark is scaled to 32 x 32 and sinks by 4.
    EXPECT_FLOAT_EQ(q[1].left, 128.f);
    EXPECT_FLOAT_EQ(q[1].top, 28.f);
    EXPECT_FLOAT_EQ(q[1].bottom, 60.f);
}

TEST_F(SkinTest, ShadowIsDrawnBeforeTheFaceAndStaysWhenPressed) {
    ButtonSkin skin(nullptr, nullptr, nullptr, nullptr, nullptr);
    skin.setShadow(true);
    UiContext ui = passContext(true);
    skin.draw(ui, 3, 0, 0, 0, 0, nullptr, pic(CHECKBOX_CHECK));
    const std::vector<RecordedQuad> q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 2u);
    // Shadow: black at alpha 128, 2.5 down; the face: white, 2 down.
    EXPECT_EQ(q[0].colour, 0x80000000u);
    EXPECT_FLOAT_EQ(q[0].top, 2.5f);
    EXPECT_EQ(q[1].colour, 0xFFFFFFFFu);
    EXPECT_FLOAT_EQ(q[1].top, 2.f);
}

TEST_F(SkinTest, SliderHitTestUsesTheTrackPictureWhenThereIsOne) {
    UiContext ui = passContext(false);
    SliderSkin bare = sliderSkin();
    const RectF rect(100, 50, 200, 16);
    EXPECT_TRUE(bare.hitTest(ui, 100, 50, rect));
    EXPECT_TRUE(bare.hitTest(ui, 299.5f, 65.5f, rect));
    EXPECT_FALSE(bare.hitTest(ui, 300, 60, rect));
    EXPECT_FALSE(bare.hitTest(ui, 150, 66, rect));
    SliderSkin track(pic(SLIDER_BASE), nullptr, nullptr, nullptr, pic(SLIDER_THUMB), nullptr,
                     nullptr, nullptr);
    EXPECT_TRUE(track.hitTest(ui, 1379, 65, rect));
    EXPECT_FALSE(track.hitTest(ui, 1380, 65, rect));
    track.setScale(0.5f);
    EXPECT_FALSE(track.hitTest(ui, 740, 55, rect));
    EXPECT_TRUE(track.hitTest(ui, 739, 57, rect));
}

TEST_F(SkinTest, FloatSliderOverTheFullWidthReadsItsEnds) {
    SliderSkin skin = sliderSkin();
    UiContext ui = passContext(false);
    const RectF rect(100, 700, 1280, 16);
    for (float mx : {0.f, 100.f, 107.f, 108.f})
        EXPECT_EQ(skin.floatValueAt(ui, 0, 0.f, 1.f, mx, 708, rect), 0.f) << mx;
    EXPECT_GT(skin.floatValueAt(ui, 0, 0.f, 1.f, 109, 708, rect), 0.f);
    EXPECT_LT(skin.floatValueAt(ui, 0, 0.f, 1.f, 1371, 708, rect), 1.f);
    for (float mx : {1372.f, 1380.f, 5000.f})
        EXPECT_EQ(skin.floatValueAt(ui, 0, 0.f, 1.f, mx, 708, rect), 1.f) << mx;
    EXPECT_FLOAT_EQ(skin.floatValueAt(ui, 0, -4.f, 20.f, 740, 0, rect), 8.f);
    // Vertical: the position is limited to the span, the mouse x plays no part.
    const RectF column(0, 100, 16, 216);
    EXPECT_EQ(skin.floatValueAt(ui, 1, 0.f, 2.f, 999, 0, column), 0.f);
    EXPECT_FLOAT_EQ(skin.floatValueAt(ui, 1, 0.f, 2.f, 999, 208, column), 1.f);
    EXPECT_EQ(skin.floatValueAt(ui, 1, 0.f, 2.f, 999, 900, column), 2.f);
    // A track as long as the thumb has span 0, divided as 1: no division by zero.
    const RectF tight(0, 0, 16, 16);
    EXPECT_EQ(skin.floatValueAt(ui, 0, 0.f, 1.f, 8, 0, tight), 0.f);
    EXPECT_EQ(skin.floatValueAt(ui, 0, 0.f, 1.f, 9, 0, tight), 1.f);
    // (0 * n + n / 2) / 1 with n = 5 * 256 is the middle value.
    EXPECT_EQ(skin.intValueAt(ui, 0, 0, 4, 8, 0, tight), 2);
    EXPECT_EQ(skin.intValueAt(ui, 0, 0, 4, 7, 0, tight), 0);
    EXPECT_EQ(skin.intValueAt(ui, 1, 0, 4, 0, 9, tight), 4);
}

TEST_F(SkinTest, IntSliderGivesEveryValueAnEqualShare) {
    SliderSkin skin = sliderSkin();
    UiContext ui = passContext(false);
    // Track 116 wide, thumb 16: span 100; the position is the mouse x less x + 8.
    const RectF rect(50, 0, 116, 16);
    auto at = [&](int pos, int min, int max) {
        return skin.intValueAt(ui, 0, min, max, float(50 + 8 + pos), 8, rect);
    };
    for (int pos = -30; pos <= 130; ++pos) {
        const int expected = pos < 0 ? 0 : pos >= 80 ? 4 : pos / 20;
        ASSERT_EQ(at(pos, 0, 4), expected) << "position " << pos;
    }
    // Without the extra precision (n = 1000): (pos * 1000 + 500) / span.
    EXPECT_EQ(at(33, 0, 999), 335);
    EXPECT_EQ(at(0, 0, 999), 5);
    EXPECT_EQ(at(100, 0, 999), 999);
    EXPECT_EQ(at(-1, 0, 999), 0);
    EXPECT_EQ(at(50, -10, 10), 0);
    // Vertical, positioned by the mouse y.
    const RectF column(0, 50, 16, 116);
    EXPECT_EQ(skin.intValueAt(ui, 1, 0, 4, 500, 50 + 8 + 45, column), 2);
    EXPECT_EQ(skin.intValueAt(ui, 1, 0, 4, 500, 0, column), 0);
}

TEST_F(SkinTest, IntSliderOverTheWholeIntRangeStaysInRange) {
    SliderSkin skin = sliderSkin();
    UiContext ui = passContext(false);
    const RectF rect(0, 0, 1280, 16);
    int previous = INT_MIN;
    for (float mx = -100.f; mx <= 1400.f; mx += 50.f) {
        const int v = skin.intValueAt(ui, 0, INT_MIN, INT_MAX, mx, 8, rect);
        EXPECT_GE(v, previous);
        previous = v;
    }
    EXPECT_EQ(skin.intValueAt(ui, 0, INT_MIN, INT_MAX, 0, 8, rect), INT_MIN);
    EXPECT_EQ(skin.intValueAt(ui, 0, INT_MIN, INT_MAX, 1400, 8, rect), INT_MAX);
    const RectF far(-3e12f, 0, 1280, 16);
    EXPECT_EQ(skin.intValueAt(ui, 0, 0, 10, 0, 8, far), 10);
}

TEST_F(SkinTest, SliderThumbIsCentredAlongTheSpan) {
    SliderSkin skin = sliderSkin();
    UiContext ui = passContext(true);
    // Horizontal, fraction 0.5: centre trunc(10 + 0.5 * 1264 + 8) = 650, y 20 + 8.
    skin.drawFloat(ui, 0, 0, 0.5f, 0.f, 1.f, 10.6f, 20.2f, 1280, 16);
    std::vector<RecordedQuad> q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].texture, pic(SLIDER_THUMB)->texture());
    EXPECT_EQ(q[0].left, 642.f);
    EXPECT_EQ(q[0].top, 20.f);
    EXPECT_EQ(q[0].right, 658.f);
    EXPECT_EQ(q[0].bottom, 36.f);
    // The int slider at its top in the active state, vertical.
    skin.drawInt(ui, 2, 1, 10, 0, 10, 0, 0, 16, 216);
    q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].texture, pic(SLIDER_THUMB_ACTIVE)->texture());
    EXPECT_EQ(q[0].top, 200.f);
    EXPECT_EQ(q[0].bottom, 216.f);
    // An empty range draws the thumb at the start instead of dividing by zero.
    skin.drawInt(ui, 0, 0, 5, 5, 5, 0, 0, 1280, 16);
    skin.drawFloat(ui, 0, 0, 1.f, 1.f, 1.f, 0, 0, 1280, 16);
    q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].left, 0.f);
    EXPECT_EQ(q[1].left, 0.f);
    // With a track picture the track is drawn first and sets the size, thumb scaled with it.
    SliderSkin tracked(pic(SLIDER_BASE), nullptr, nullptr, nullptr, pic(SLIDER_THUMB), nullptr,
                       nullptr, nullptr);
    tracked.setScale(0.5f);
    const RectF r = tracked.drawFloat(ui, 0, 0, 1.f, 0.f, 1.f, 0, 0, 5, 5);
    EXPECT_EQ(r.width, 640.f);
    EXPECT_EQ(r.height, 8.f);
    q = renderer->takeQuads();
    ASSERT_EQ(q.size(), 2u);
    EXPECT_EQ(q[0].texture, pic(SLIDER_BASE)->texture());
    EXPECT_EQ(q[0].right, 640.f);
    EXPECT_EQ(q[1].left, 632.f);
    EXPECT_EQ(q[1].right, 640.f);
}

TEST_F(SkinTest, PanelWidgetsDriveTheRealSkinsThroughTheContext) {
    // A press on "Play" and its release click it; a drag on the frame slider moves the frame.
    ButtonSkin button = buttonSkin();
    SliderSkin slider = sliderSkin();
    UiContext ui;
    int clicks = 0, frame = 0;
    auto pass = [&] {
        ui.beginPass(0, 0, false);
        ui.setIdCounter(0);
        if (ui.button(0, 0, -1, &button, 0, 0, "Play", nullptr)) ++clicks;
        ui.setIdCounter(1000);
        ui.sliderInt(0, 720, &frame, -1, 0, &slider, 0, 999, 1, 1280, 16);
        ui.endPass();
    };
    ui.setMousePosition(143, 39);
    ui.pressMouse();
    pass();
    EXPECT_EQ(ui.activeId(), 1);
    ui.releaseMouse();
    pass();
    EXPECT_EQ(clicks, 1);
    ui.setMousePosition(640, 725);
    ui.pressMouse();
    pass();
    EXPECT_EQ(ui.activeId(), 1001);
    EXPECT_EQ(frame, (632 * 1000 + 500) / 1264);
    ui.releaseMouse();
    pass();
    EXPECT_EQ(renderer->takeQuads().size(), 0u);  // never a drawing pass
}

TEST_F(SkinTest, PanelLabelsFitTheButtonInTheBundledFont) {
    // Every button label of the panel, at the scale the panel draws it, stays inside the
    // button picture with a margin on each side, and its line is not taller than the button.
    const std::string path = std::string(TUMELORA_SOURCE_DIR) + "/data/droid30.fnt";
    BitmapFont font(renderer, path.c_str());
    ASSERT_TRUE(font.load());
    const float margin = 8.f;
    const float w = pic(BUTTON)->width(), h = pic(BUTTON)->height();
    struct Label { const char* text; float scale; };
    const Label labels[] = {{"Play", BUTTON_TEXT_SCALE}, {"Stop", BUTTON_TEXT_SCALE},
                            {"Rec", BUTTON_TEXT_SCALE},  {"<<", BUTTON_TEXT_SCALE},
                            {"Save", BUTTON_TEXT_SCALE}, {"Reset>>", RESET_TEXT_SCALE}};
    for (const Label& label : labels) {
        const float tw = font.textWidth(label.text, label.scale, -1);
        EXPECT_GT(tw, 0.f) << label.text;
        EXPECT_LE(tw + 2.f * margin, w) << label.text;
        EXPECT_LE(font.scaledLineHeight(label.scale), h) << label.text;
    }
}
