// Event routing from constructed engine events to the current state.
#include <gtest/gtest.h>

#include "app/Application.h"
#include "RecordingState.h"

using namespace irr;

namespace {

SEvent mouseEvent(EMOUSE_INPUT_EVENT type) {
    SEvent e{};
    e.EventType = EET_MOUSE_INPUT_EVENT;
    e.MouseInput.Event = type;
    e.MouseInput.X = 12;
    e.MouseInput.Y = 34;
    return e;
}

SEvent keyEvent(bool pressed) {
    SEvent e{};
    e.EventType = EET_KEY_INPUT_EVENT;
    e.KeyInput.Key = KEY_ESCAPE;
    e.KeyInput.PressedDown = pressed;
    return e;
}

class EventRoutingTest : public ::testing::Test {
protected:
    void SetUp() override {
        app.setState(&state);
        state.calls.clear();
    }
    Application app{nullptr};
    RecordingState state;
};

TEST_F(EventRoutingTest, AllThreeButtonsShareOneHandlerPerKindOfEvent) {
    const struct {
        EMOUSE_INPUT_EVENT type;
        const char* handler;
    } cases[] = {
        {EMIE_LMOUSE_PRESSED_DOWN, "mouseDown"}, {EMIE_RMOUSE_PRESSED_DOWN, "mouseDown"},
        {EMIE_MMOUSE_PRESSED_DOWN, "mouseDown"}, {EMIE_LMOUSE_LEFT_UP, "mouseUp"},
        {EMIE_RMOUSE_LEFT_UP, "mouseUp"},        {EMIE_MMOUSE_LEFT_UP, "mouseUp"},
        {EMIE_MOUSE_MOVED, "mouseMove"},         {EMIE_MOUSE_WHEEL, "mouseWheel"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.handler);
        state.calls.clear();
        const SEvent e = mouseEvent(c.type);
        for (bool result : {false, true}) {
            state.handlerResult = result;
            EXPECT_EQ(app.OnEvent(e), result);
        }
        EXPECT_EQ(state.calls, (std::vector<std::string>{c.handler, c.handler}));
        EXPECT_EQ(state.lastRecord, &e.MouseInput);
    }
}

TEST_F(EventRoutingTest, DoubleAndTripleClicksReachNothing) {
    state.handlerResult = true;
    for (EMOUSE_INPUT_EVENT type :
         {EMIE_LMOUSE_DOUBLE_CLICK, EMIE_RMOUSE_DOUBLE_CLICK, EMIE_MMOUSE_DOUBLE_CLICK,
          EMIE_LMOUSE_TRIPLE_CLICK, EMIE_RMOUSE_TRIPLE_CLICK, EMIE_MMOUSE_TRIPLE_CLICK}) {
        EXPECT_FALSE(app.OnEvent(mouseEvent(type)));
    }
    EXPECT_TRUE(state.calls.empty());
}

TEST_F(EventRoutingTest, KeyReleaseGoesToKeyUpOnly) {
    state.handlerResult = true;
    const SEvent up = keyEvent(false);
    EXPECT_TRUE(app.OnEvent(up));
    EXPECT_EQ(state.lastRecord, &up.KeyInput);
    const SEvent down = keyEvent(true);
    EXPECT_TRUE(app.OnEvent(down));
    EXPECT_EQ(state.lastRecord, &down.KeyInput);
    EXPECT_EQ(state.calls, (std::vector<std::string>{"keyUp", "keyDown"}));
}

TEST_F(EventRoutingTest, OtherEventTypesAreNotHandled) {
    state.handlerResult = true;
    SEvent e{};
    for (EEVENT_TYPE type : {EET_GUI_EVENT, EET_JOYSTICK_INPUT_EVENT, EET_LOG_TEXT_EVENT,
                             EET_USER_EVENT}) {
        e.EventType = type;
        EXPECT_FALSE(app.OnEvent(e));
    }
    EXPECT_TRUE(state.calls.empty());
}

TEST_F(EventRoutingTest, WithoutStateNothingIsHandled) {
    app.setState(nullptr);
    state.calls.clear();
    state.handlerResult = true;
    EXPECT_FALSE(app.OnEvent(mouseEvent(EMIE_LMOUSE_PRESSED_DOWN)));
    EXPECT_FALSE(app.OnEvent(keyEvent(true)));
    EXPECT_TRUE(state.calls.empty());
}

TEST_F(EventRoutingTest, BaseHandlersLeaveEventsUnhandled) {
    PlainState plain;
    app.setState(&plain);
    EXPECT_FALSE(app.OnEvent(mouseEvent(EMIE_LMOUSE_PRESSED_DOWN)));
    EXPECT_FALSE(app.OnEvent(mouseEvent(EMIE_MOUSE_WHEEL)));
    EXPECT_FALSE(app.OnEvent(keyEvent(true)));
    EXPECT_FALSE(app.OnEvent(keyEvent(false)));
}

}  // namespace
