// The widget context's rules: ids, hot / active / blocked, clicks, focus moves, sliders,
// text fields, drop targets and the lifetime of pending keyboard commands.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <tuple>

#include "tests/ui/FakeSkins.h"
#include "ui/SliderSkin.h"
#include "ui/UiContext.h"

using ui_test::FakeButtonSkin;
using ui_test::FakeSliderSkin;
using ui_test::FakeTextFieldSkin;
using ui_test::keyOf;

namespace {

// Two 100 x 40 buttons side by side, A at (0, 0) and B at (200, 0), as the panel would issue
// them; the pass result is which of them clicked.
struct TwoButtons {
    UiContext ui;
    FakeButtonSkin skin;
    int clicksA = 0, clicksB = 0;

    void pass() {
        ui.beginPass(0, 0, false);
        if (ui.button(0, 0, -1, &skin, 100, 40, "A", nullptr)) ++clicksA;
        if (ui.button(200, 0, -1, &skin, 100, 40, "B", nullptr)) ++clicksB;
        ui.endPass();
    }
    void press(int x, int y) {
        ui.setMousePosition(x, y);
        ui.pressMouse();
        pass();
    }
    void release(int x, int y) {
        ui.setMousePosition(x, y);
        ui.releaseMouse();
        pass();
    }
};

}  // namespace

// Return pressed while a slider had the focus (sliders never take it), then a click on a
// button: the click moves the focus there, and the button clicks once, on its release. An
// arrow left over at a slider's limit does not step it when a press comes later.
TEST(UiContextClicks, AStaleKeyCommandNeverFiresOnALaterPress) {
    TwoButtons t;
    FakeSliderSkin sliderSkin;
    float value = 1.f;
    const auto passWithSlider = [&] {
        t.ui.beginPass(0, 0, false);
        if (t.ui.button(0, 0, -1, &t.skin, 100, 40, "A", nullptr)) ++t.clicksA;
        t.ui.sliderFloat(0, 100, &value, -1, UI_HORIZONTAL, &sliderSkin, 0.f, 1.f, 0.25f, 100, 20);
        t.ui.endPass();
    };
    t.ui.setFocus(2);
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Activate));
    passWithSlider();
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Right));  // at the maximum: left pending
    passWithSlider();
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::Right);
    t.ui.setMousePosition(50, 20);
    t.ui.pressMouse();
    passWithSlider();
    EXPECT_EQ(t.clicksA, 0);
    EXPECT_EQ(t.ui.focusId(), 1);
    t.ui.releaseMouse();
    passWithSlider();
    EXPECT_EQ(t.clicksA, 1);
    // Return on the slider again, then a press on the slider itself after its value went down.
    t.ui.setFocus(2);
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Right));
    value = 0.5f;
    t.ui.setMousePosition(-500, -500);
    t.ui.pressMouse();
    passWithSlider();
    EXPECT_FLOAT_EQ(value, 0.5f);
    t.ui.releaseMouse();
    passWithSlider();
    EXPECT_FLOAT_EQ(value, 0.5f);
    // A drawing pass only draws: a key pressed for the focused button does not click it there.
    t.ui.setFocus(1);
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Activate));
    t.ui.beginPass(0, 0, true);
    EXPECT_FALSE(t.ui.button(0, 0, -1, &t.skin, 100, 40, "A", nullptr));
    t.ui.endPass();
    passWithSlider();
    EXPECT_EQ(t.clicksA, 2);
}

TEST(UiContextClicks, PressAndReleaseOverButtonClicksOnceOnRelease) {
    TwoButtons t;
    t.press(50, 20);
    EXPECT_EQ(t.ui.activeId(), 1);
    EXPECT_EQ(t.clicksA, 0);
    t.release(50, 20);
    EXPECT_EQ(t.clicksA, 1);
    EXPECT_EQ(t.clicksB, 0);
    EXPECT_EQ(t.ui.activeId(), UI_NO_ID);
    // A further pass with nothing pressed clicks nothing.
    t.pass();
    EXPECT_EQ(t.clicksA, 1);
}

TEST(UiContextClicks, PressOutsideThenReleaseOverButtonDoesNotClick) {
    TwoButtons t;
    t.press(500, 500);
    EXPECT_EQ(t.ui.activeId(), UI_ACTIVE_BLOCKED);
    // Dragging onto A while held: hot, but blocked from becoming active.
    t.ui.setMousePosition(50, 20);
    t.pass();
    EXPECT_EQ(t.ui.hotId(), 1);
    EXPECT_EQ(t.ui.activeId(), UI_ACTIVE_BLOCKED);
    t.release(50, 20);
    EXPECT_EQ(t.clicksA, 0);
    EXPECT_EQ(t.ui.activeId(), UI_NO_ID);
    EXPECT_EQ(t.skin.drawnStates.back(), 0);  // B, neither hot nor active
}

TEST(UiContextClicks, PressOnOneButtonReleaseOnAnotherClicksNeither) {
    TwoButtons t;
    t.press(50, 20);
    t.release(250, 20);
    EXPECT_EQ(t.clicksA, 0);
    EXPECT_EQ(t.clicksB, 0);
    // During the release pass A was active but not hot (state 2), B hot but not active (1).
    const auto& s = t.skin.drawnStates;
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0], 3);  // press pass: A pressed with the mouse over it
    EXPECT_EQ(s[2], 2);
    EXPECT_EQ(s[3], 1);
}

TEST(UiContextClicks, LaterWidgetWinsHotOnOverlapButFirstTakesThePress) {
    UiContext ui;
    FakeButtonSkin skin;
    ui.setMousePosition(10, 10);
    ui.pressMouse();
    ui.beginPass(0, 0, false);
    ui.button(0, 0, 5, &skin, 50, 50, nullptr, nullptr);
    ui.button(0, 0, 6, &skin, 50, 50, nullptr, nullptr);
    EXPECT_EQ(ui.hotId(), 6);
    EXPECT_EQ(ui.activeId(), 5);
    ui.endPass();
}

TEST(UiContextClicks, ClickOnPressCheckBoxTogglesOncePerPress) {
    UiContext ui;
    FakeButtonSkin skin;
    skin.releaseClicks = false;
    bool value = false;
    int toggles = 0;
    auto pass = [&] {
        ui.beginPass(0, 0, false);
        if (ui.checkBox(0, 0, &value, -1, &skin, 16, 16, nullptr, nullptr)) ++toggles;
        ui.endPass();
    };
    ui.setMousePosition(8, 8);
    ui.pressMouse();
    pass();
    EXPECT_EQ(toggles, 1);
    EXPECT_TRUE(value);
    pass();  // still held (e.g. a motion pass)
    ui.releaseMouse();
    pass();
    EXPECT_EQ(toggles, 1);
    EXPECT_TRUE(value);
    // The next press toggles back.
    ui.pressMouse();
    pass();
    EXPECT_EQ(toggles, 2);
    EXPECT_FALSE(value);
}

TEST(UiContextClicks, CheckBoxOnReleaseTogglesOnlyOnRelease) {
    UiContext ui;
    FakeButtonSkin skin;
    bool value = true;
    ui.setMousePosition(8, 8);
    ui.pressMouse();
    ui.beginPass(0, 0, false);
    EXPECT_FALSE(ui.checkBox(0, 0, &value, -1, &skin, 16, 16, nullptr, nullptr));
    ui.endPass();
    EXPECT_TRUE(value);
    ui.releaseMouse();
    ui.beginPass(0, 0, false);
    EXPECT_TRUE(ui.checkBox(0, 0, &value, -1, &skin, 16, 16, nullptr, nullptr));
    ui.endPass();
    EXPECT_FALSE(value);
}

TEST(UiContextClicks, ButtonWithoutSkinUsesItsRectangle) {
    UiContext ui;
    ui.setMousePosition(99, 39);
    ui.pressMouse();
    ui.beginPass(0, 0, false);
    ui.button(0, 0, -1, nullptr, 100, 40, nullptr, nullptr);
    ui.endPass();
    EXPECT_EQ(ui.activeId(), 1);
    ui.setMousePosition(100, 39);  // the right edge is outside
    ui.releaseMouse();
    ui.beginPass(0, 0, false);
    EXPECT_FALSE(ui.button(0, 0, -1, nullptr, 100, 40, nullptr, nullptr));
    ui.endPass();
}

TEST(UiContextClicks, ActivateClicksTheFocusedButtonOnce) {
    TwoButtons t;
    t.ui.setFocus(2);
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Activate));
    t.pass();
    EXPECT_EQ(t.clicksA, 0);
    EXPECT_EQ(t.clicksB, 1);
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::None);
    t.pass();
    EXPECT_EQ(t.clicksB, 1);
}

TEST(UiContextClicks, PressMovesAnExistingFocusButCreatesNone) {
    TwoButtons t;
    t.press(50, 20);
    t.release(50, 20);
    EXPECT_EQ(t.ui.focusId(), UI_NO_ID);
    t.ui.setFocus(2);
    t.press(50, 20);
    EXPECT_EQ(t.ui.focusId(), 1);
}

TEST(UiContextIds, AutomaticIdsFollowTheIdBase) {
    UiContext ui;
    FakeButtonSkin skin;
    ui.beginPass(0, 1, false);
    ui.button(0, 0, -1, &skin, 1, 1, nullptr, nullptr);
    EXPECT_EQ(ui.lastWidgetId(), 65537);
    ui.button(0, 0, -1, &skin, 1, 1, nullptr, nullptr);
    EXPECT_EQ(ui.lastWidgetId(), 65538);
    ui.endPass();
    // Bases that differ only above bit 14 share their block.
    ui.beginPass(0, short(0x8001), false);
    ui.button(0, 0, -1, &skin, 1, 1, nullptr, nullptr);
    EXPECT_EQ(ui.lastWidgetId(), 65537);
    ui.endPass();
    ui.beginPass(0, 0, false);
    ui.setIdCounter(1000);
    ui.button(0, 0, -1, &skin, 1, 1, nullptr, nullptr);
    EXPECT_EQ(ui.lastWidgetId(), 1001);
    // An explicit id is used as given and leaves the counter alone.
    ui.button(0, 0, 42, &skin, 1, 1, nullptr, nullptr);
    EXPECT_EQ(ui.lastWidgetId(), 42);
    EXPECT_EQ(ui.idCounterValue(), 1001);
    ui.endPass();
}

TEST(UiContextIds, BeginPassKeepsActiveFocusAndKeyButClearsHot) {
    TwoButtons t;
    t.ui.setMousePosition(50, 20);
    t.ui.pressMouse();
    t.ui.setFocus(2);
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Left));
    t.pass();
    EXPECT_EQ(t.ui.hotId(), 1);
    t.ui.beginPass(7, 0, true);
    EXPECT_EQ(t.ui.hotId(), UI_NO_ID);
    EXPECT_EQ(t.ui.activeId(), 1);
    EXPECT_EQ(t.ui.focusId(), 1);
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::Left);
    EXPECT_EQ(t.ui.currentPassTime(), 7);
    EXPECT_TRUE(t.ui.isDrawPass());
    t.ui.endPass();
}

TEST(UiContextIds, ResetForgetsWidgetsButKeepsTheKey) {
    TwoButtons t;
    t.ui.setFocus(1);
    t.press(50, 20);
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Right));
    t.ui.reset();
    EXPECT_EQ(t.ui.activeId(), UI_NO_ID);
    EXPECT_EQ(t.ui.focusId(), UI_NO_ID);
    EXPECT_FALSE(t.ui.isMouseDown());
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::Right);
    EXPECT_EQ(t.ui.lastWidgetId(), 2);
}

namespace {

// Three buttons with ids 1..3; the middle one's skin may refuse focus.
struct ThreeButtons {
    UiContext ui;
    FakeButtonSkin skin, middle;
    void pass(int time = 0) {
        ui.beginPass(time, 0, false);
        ui.button(0, 0, -1, &skin, 10, 10, nullptr, nullptr);
        ui.button(20, 0, -1, &middle, 10, 10, nullptr, nullptr);
        ui.button(40, 0, -1, &skin, 10, 10, nullptr, nullptr);
        ui.endPass();
    }
    void key(UiKeyCommand c, int time = 0) {
        ui.setKeyEvent(keyOf(c));
        pass(time);
    }
};

}  // namespace

TEST(UiContextFocus, TabWalksTheWidgetsAndWrapsToTheFirst) {
    ThreeButtons t;
    t.pass();
    t.key(UiKeyCommand::FocusNext, 11);
    EXPECT_EQ(t.ui.focusId(), 1);
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::None);
    EXPECT_EQ(t.ui.lastKeyConsumedTime(), 11);
    t.key(UiKeyCommand::FocusNext);
    EXPECT_EQ(t.ui.focusId(), 2);
    t.key(UiKeyCommand::FocusNext);
    EXPECT_EQ(t.ui.focusId(), 3);
    t.key(UiKeyCommand::FocusNext);
    EXPECT_EQ(t.ui.focusId(), 1);
    // The focused widget is drawn as active (2).
    EXPECT_EQ(t.skin.drawnStates[t.skin.drawnStates.size() - 2], 2);
}

TEST(UiContextFocus, ShiftTabWalksBackAndWrapsToTheLast) {
    ThreeButtons t;
    t.pass();
    t.key(UiKeyCommand::FocusPrevious);
    EXPECT_EQ(t.ui.focusId(), 3);  // the last focusable widget of the previous pass
    t.key(UiKeyCommand::FocusPrevious);
    EXPECT_EQ(t.ui.focusId(), 2);
    t.key(UiKeyCommand::FocusPrevious);
    EXPECT_EQ(t.ui.focusId(), 1);
    t.key(UiKeyCommand::FocusPrevious);
    EXPECT_EQ(t.ui.focusId(), 3);
}

TEST(UiContextFocus, WidgetRefusingFocusIsSkippedBothWays) {
    ThreeButtons t;
    t.middle.focusable = false;
    t.pass();
    t.key(UiKeyCommand::FocusNext);
    EXPECT_EQ(t.ui.focusId(), 1);
    t.key(UiKeyCommand::FocusNext);
    EXPECT_EQ(t.ui.focusId(), 3);
    t.key(UiKeyCommand::FocusPrevious);
    EXPECT_EQ(t.ui.focusId(), 1);
    // A focus set on the refusing widget is handed on within the pass.
    t.ui.setFocus(2);
    t.pass();
    EXPECT_EQ(t.ui.focusId(), 3);
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::None);
}

TEST(UiContextKeys, TypedCharacterIsDroppedByEndPassArrowsStay) {
    ThreeButtons t;
    t.ui.setKeyEvent(keyOf(UiKeyCommand::Character, false, false, 'x'));
    t.ui.beginPass(0, 0, false);
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::Character);
    t.ui.endPass();
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::None);

    t.ui.setKeyEvent(keyOf(UiKeyCommand::Down));
    t.pass();
    t.pass();
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::Down);
    // A new event replaces the pending one and the engine record is not kept.
    irr::SEvent::SKeyInput record{};
    UiKeyEvent e = keyOf(UiKeyCommand::Up, true, true, 'q');
    e.keyInput = &record;
    t.ui.setKeyEvent(e);
    EXPECT_EQ(t.ui.pendingKey().command, UiKeyCommand::Up);
    EXPECT_EQ(t.ui.pendingKey().character, 'q');
    EXPECT_TRUE(t.ui.pendingKey().shift);
    EXPECT_TRUE(t.ui.pendingKey().control);
    EXPECT_EQ(t.ui.pendingKey().keyInput, nullptr);
}

namespace {

// One float slider (id 1) over (100, 50, 200, 20), focused, at a given value.
struct OneSlider {
    UiContext ui;
    FakeSliderSkin skin;
    float value = 0.f;
    void pass(float min = 0.f, float max = 10.f, float step = 0.5f, int orientation = 0) {
        ui.beginPass(0, 0, false);
        ui.sliderFloat(100, 50, &value, -1, orientation, &skin, min, max, step, 200, 20);
        ui.endPass();
    }
};

}  // namespace

TEST(UiContextSliders, ArrowsStepAndStopAtTheLimitsLeavingTheCommand) {
    OneSlider s;
    s.ui.setFocus(1);
    s.value = 10.f;
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Right));
    s.pass();
    EXPECT_FLOAT_EQ(s.value, 10.f);
    EXPECT_EQ(s.ui.pendingKey().command, UiKeyCommand::Right);
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Left));
    s.pass();
    EXPECT_FLOAT_EQ(s.value, 9.5f);
    EXPECT_EQ(s.ui.pendingKey().command, UiKeyCommand::None);
    // Up and Down mean nothing to a horizontal slider and stay pending.
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Down));
    s.pass();
    EXPECT_FLOAT_EQ(s.value, 9.5f);
    EXPECT_EQ(s.ui.pendingKey().command, UiKeyCommand::Down);
    // A step past the limit is clamped.
    s.value = 0.2f;
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Left));
    s.pass();
    EXPECT_FLOAT_EQ(s.value, 0.f);
}

TEST(UiContextSliders, VerticalSliderStepsWithUpAndDown) {
    OneSlider s;
    s.ui.setFocus(1);
    s.value = 5.f;
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Down));
    s.pass(0.f, 10.f, 1.f, UI_VERTICAL);
    EXPECT_FLOAT_EQ(s.value, 6.f);
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Right));
    s.pass(0.f, 10.f, 1.f, UI_VERTICAL);
    EXPECT_FLOAT_EQ(s.value, 6.f);
    EXPECT_EQ(s.ui.pendingKey().command, UiKeyCommand::Right);
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Up));
    s.pass(0.f, 10.f, 1.f, UI_VERTICAL);
    EXPECT_FLOAT_EQ(s.value, 5.f);
}

TEST(UiContextSliders, ShiftAndControlMultiplyTheStep) {
    OneSlider s;
    s.ui.setFocus(1);
    s.value = 0.f;
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Right, true, false));
    s.pass(0.f, 100.f, 0.5f);
    EXPECT_FLOAT_EQ(s.value, 1.5f);
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Right, false, true));
    s.pass(0.f, 100.f, 0.5f);
    EXPECT_FLOAT_EQ(s.value, 5.f);
    s.ui.setKeyEvent(keyOf(UiKeyCommand::Right, true, true));
    s.pass(0.f, 100.f, 0.5f);
    EXPECT_FLOAT_EQ(s.value, 15.5f);

    // The int slider with the real skin's factors: 5, 20, and 100 for both.
    UiContext ui;
    SliderSkin real(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    int v = 0;
    ui.setFocus(1);
    for (auto [shift, control, expected] :
         {std::tuple{true, true, 200}, std::tuple{true, false, 210}, std::tuple{false, true, 250}}) {
        ui.setKeyEvent(keyOf(UiKeyCommand::Right, shift, control));
        ui.beginPass(0, 0, false);
        ui.sliderInt(0, 0, &v, -1, 0, &real, 0, 1000, 2, 1280, 16);
        ui.endPass();
        EXPECT_EQ(v, expected);
    }
}

TEST(UiContextSliders, IntStepNearTheIntLimitClampsWithoutOverflow) {
    UiContext ui;
    FakeSliderSkin skin;
    int v = INT_MAX - 1;
    ui.setFocus(1);
    ui.setKeyEvent(keyOf(UiKeyCommand::Right, true, true));
    ui.beginPass(0, 0, false);
    ui.sliderInt(0, 0, &v, -1, 0, &skin, INT_MIN, INT_MAX, INT_MAX / 2, 100, 10);
    ui.endPass();
    EXPECT_EQ(v, INT_MAX);
}

TEST(UiContextSliders, DraggedValueFollowsTheMouseWhileHeld) {
    OneSlider s;
    s.ui.setMousePosition(150, 60);
    s.ui.pressMouse();
    s.pass();
    EXPECT_FLOAT_EQ(s.value, 2.5f);
    EXPECT_EQ(s.skin.drawnStates.back(), 3);
    s.ui.setMousePosition(250, 500);  // off the track: still active, still follows
    s.pass();
    EXPECT_FLOAT_EQ(s.value, 7.5f);
    EXPECT_EQ(s.skin.drawnStates.back(), 2);
    s.ui.releaseMouse();
    s.pass();
    s.ui.setMousePosition(120, 60);
    s.pass();
    EXPECT_FLOAT_EQ(s.value, 7.5f);
    EXPECT_EQ(s.ui.lastDrawnRect().width, 200.f);
}

TEST(UiContextSliders, SliderWithoutSkinIgnoresTheMouseButTakesKeys) {
    UiContext ui;
    float v = 1.f;
    ui.setMousePosition(5, 5);
    ui.pressMouse();
    ui.beginPass(0, 0, false);
    ui.sliderFloat(0, 0, &v, -1, 0, nullptr, 0.f, 2.f, 0.25f, 100, 10);
    ui.endPass();
    EXPECT_EQ(ui.hotId(), UI_NO_ID);
    EXPECT_EQ(ui.activeId(), UI_ACTIVE_BLOCKED);
    ui.releaseMouse();
    ui.setFocus(1);
    ui.setKeyEvent(keyOf(UiKeyCommand::Right, true, true));
    ui.beginPass(0, 0, false);
    ui.sliderFloat(0, 0, &v, -1, 0, nullptr, 0.f, 2.f, 0.25f, 100, 10);
    ui.endPass();
    EXPECT_FLOAT_EQ(v, 1.25f);  // no skin: factors of 1
}

TEST(UiContextTextField, FocusedFieldTakesCharactersWithinItsLength) {
    UiContext ui;
    FakeTextFieldSkin skin;
    char buffer[5] = "ab";
    auto pass = [&] {
        ui.beginPass(3, 0, false);
        ui.textField(0, 0, buffer, 4, -1, &skin, 100, 20);
        ui.endPass();
    };
    // Pressing the field focuses it even when nothing had the focus.
    ui.setMousePosition(10, 10);
    ui.pressMouse();
    pass();
    EXPECT_EQ(ui.focusId(), 1);
    ui.releaseMouse();
    for (int c : {'c', 'd', 'e'}) {
        ui.setKeyEvent(keyOf(UiKeyCommand::Character, false, false, c));
        pass();
    }
    EXPECT_STREQ(buffer, "abcd");  // the fifth byte is the terminator
    ui.setKeyEvent(keyOf(UiKeyCommand::Character, false, false, 8));
    pass();
    EXPECT_STREQ(buffer, "abc");
    ui.setKeyEvent(keyOf(UiKeyCommand::Character, false, false, '!'));
    ui.beginPass(9, 0, false);
    ui.textField(0, 0, buffer, 4, -1, &skin, 100, 20);
    EXPECT_EQ(ui.pendingKey().command, UiKeyCommand::None);  // refused but consumed
    EXPECT_EQ(ui.lastKeyConsumedTime(), 9);
    ui.endPass();
    EXPECT_STREQ(buffer, "abc");
}

TEST(UiContextTextField, UnfocusedFieldLeavesTheCharacterToEndPass) {
    UiContext ui;
    char buffer[8] = "";
    ui.setKeyEvent(keyOf(UiKeyCommand::Character, false, false, 'z'));
    ui.beginPass(0, 0, false);
    ui.textField(0, 0, buffer, 7, -1, nullptr, 100, 20);
    EXPECT_EQ(ui.pendingKey().command, UiKeyCommand::Character);
    ui.endPass();
    EXPECT_EQ(ui.pendingKey().command, UiKeyCommand::None);
    EXPECT_STREQ(buffer, "");
}

TEST(UiContextDropTarget, ReportsTheDraggedWidgetReleasedOverIt) {
    UiContext ui;
    FakeButtonSkin skin;
    int dragged = -7;
    auto pass = [&](bool* dropped) {
        ui.beginPass(0, 0, false);
        ui.button(0, 0, -1, &skin, 50, 50, nullptr, nullptr);
        *dropped = ui.dropTarget(300, 0, &dragged, &skin, 50, 50, nullptr, nullptr);
        ui.endPass();
    };
    bool dropped = true;
    ui.setMousePosition(10, 10);
    ui.pressMouse();
    pass(&dropped);
    EXPECT_FALSE(dropped);  // still held
    EXPECT_EQ(dragged, -7);
    ui.setMousePosition(320, 20);
    ui.releaseMouse();
    pass(&dropped);
    EXPECT_TRUE(dropped);
    EXPECT_EQ(dragged, 1);
    EXPECT_EQ(ui.activeId(), UI_NO_ID);
    // Released over the dragged widget itself: nothing dropped.
    ui.setMousePosition(10, 10);
    ui.pressMouse();
    pass(&dropped);
    ui.releaseMouse();
    dragged = -7;
    pass(&dropped);
    EXPECT_FALSE(dropped);
    EXPECT_EQ(dragged, -7);
}
