// The main state in its editing mode, on a real device: how it starts, undo and redo of
// drags, slider edits and whole takes, Space, the music while scrubbing, and the drawn
// panel leaving the scene's pending batch empty.
#include <GL/gl.h>

#include <cstring>

#include "tests/state/StateTestSupport.h"
#include "text/BitmapFont.h"

namespace state_test {
namespace {

class EditorTest : public MainStateTest {
protected:
    // Sends a key press to the state.
    void key(EKEY_CODE code, bool control = false, bool shift = false) {
        SEvent::SKeyInput k{};
        k.Key = code;
        k.PressedDown = true;
        k.Control = control;
        k.Shift = shift;
        state.keyDown(&k);
    }
    void undo() { key(KEY_KEY_Z, true); }
    void redoShiftZ() { key(KEY_KEY_Z, true, true); }
    void redoY() { key(KEY_KEY_Y, true); }
    // Drags from (x, y) by (dx, dy) pixels in ten steps, then releases.
    void drag(int x, int y, int dx, int dy) {
        moveTo(x, y);
        press(x, y);
        for (int i = 1; i <= 10; ++i) moveTo(x + dx * i / 10, y + dy * i / 10);
        release(x + dx, y + dy);
    }
    // One drawn frame, as the loop draws it.
    void drawFrame() { state.render(device); }
    // The track's bytes, to compare bit for bit.
    static std::vector<uint8_t> bits(const Actor* a) {
        std::vector<uint8_t> out(a->poses.size() * sizeof(ActorPose));
        std::memcpy(out.data(), a->poses.data(), out.size());
        out.push_back(a->bindScale);
        out.push_back(a->wobble);
        return out;
    }
    // Editing state with one actor "a" at scene (2, 3), selected.
    void startWithSelectedActor(int frames, float seconds = 2.0) {
        writeMusic(seconds);
        addActor("a", rampTrack(frames, 2.f, 0.01f, 3.f));
        state.enableEditing();
        ASSERT_TRUE(initState());
        state.enter();
        click(px(2.f), px(3.f));
        ASSERT_EQ(state.selectedActor, state.actors[0]);
    }
};

TEST_F(EditorTest, EnterShowsThePointerAndStartsStoppedAtFrameZeroWithoutMusic) {
    writeMusic(1.0);
    addActor("a", rampTrack(30));
    state.enableEditing();
    ASSERT_TRUE(initState());
    device->getCursorControl()->setVisible(false);
    const u32 before = device->getTimer()->getRealTime();
    state.enter();
    const u32 after = device->getTimer()->getRealTime();
    EXPECT_LT(after - before, ENTER_PAUSE_MS) << "no pause before the editor";
    EXPECT_TRUE(device->getCursorControl()->isVisible());
    EXPECT_FALSE(state.playing);
    EXPECT_EQ(state.currentFrame, 0);
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    for (int i = 0; i < 5; ++i) state.update(16);
    EXPECT_EQ(state.currentFrame, 0);
    // Play starts it.
    key(KEY_SPACE);
    EXPECT_TRUE(state.playing);
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    state.update(16);
    EXPECT_EQ(state.currentFrame, 1);
    key(KEY_SPACE);
    EXPECT_FALSE(state.playing);
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
}

TEST_F(EditorTest, ADragIsUndoneAndRedoneExactly) {
    startWithSelectedActor(20);
    Actor* a = state.actors[0];
    state.currentFrame = 5;
    const std::vector<uint8_t> before = bits(a);
    drag(600, 400, 80, 40);
    const std::vector<uint8_t> after = bits(a);
    ASSERT_NE(before, after);
    undo();
    EXPECT_EQ(bits(a), before);
    redoShiftZ();
    EXPECT_EQ(bits(a), after);
    undo();
    redoY();
    EXPECT_EQ(bits(a), after);
    // Nothing more to redo; one more undo goes back, the next does nothing.
    redoY();
    EXPECT_EQ(bits(a), after);
    undo();
    undo();
    EXPECT_EQ(bits(a), before);
}

TEST_F(EditorTest, SliderCheckBoxAndResetEditsAreOneStepEach) {
    startWithSelectedActor(50);
    Actor* a = state.actors[0];
    state.currentFrame = 10;
    const std::vector<uint8_t> start = bits(a);
    const float rowH = state.images[SKIN_SLIDER_THUMB]->height() + 2.f;
    const float firstRow = 720.f + rowH + state.font->scaledLineHeight(0.5f);

    // The X slider dragged over several drawn frames is one edit.
    const int y = int(firstRow) + 4;
    moveTo(300, y);
    press(300, y);
    for (int i = 1; i <= 5; ++i) {
        moveTo(300 + 20 * i, y);
        drawFrame();
    }
    release(400, y);
    drawFrame();
    const std::vector<uint8_t> slid = bits(a);
    ASSERT_NE(slid, start);

    // The "Wobble" box, at the rows' left edge below the five slider rows.
    click(4, int(firstRow + 5.f * rowH) + 4);
    ASSERT_EQ(state.selectedActor, a);
    ASSERT_TRUE(a->wobble);
    const std::vector<uint8_t> wobbled = bits(a);

    // "Reset>>" cuts the track after frame 10.
    click(5, int(state.buttonSkin->height() + 2.f) * 5 + 5);
    ASSERT_EQ(a->poses.size(), 11u);

    undo();
    EXPECT_EQ(bits(a), wobbled);
    undo();
    EXPECT_EQ(bits(a), slid);
    undo();
    EXPECT_EQ(bits(a), start);
}

TEST_F(EditorTest, KeyboardStepsOfTheFocusedSliderAreOneStepEach) {
    startWithSelectedActor(30);
    Actor* a = state.actors[0];
    const std::vector<uint8_t> start = bits(a);
    // The X slider: the first widget after the timeline.
    state.ui.setFocus(TIMELINE_WIDGET_ID + 1);
    key(KEY_RIGHT);
    drawFrame();  // the drawn pass takes the key at once
    const std::vector<uint8_t> once = bits(a);
    EXPECT_NEAR(a->poses[0].position.X, 2.01f, 1e-5);
    key(KEY_RIGHT, false, true);  // Shift: five steps
    drawFrame();
    EXPECT_NEAR(a->poses[0].position.X, 2.06f, 1e-5);
    undo();
    EXPECT_EQ(bits(a), once);
    undo();
    EXPECT_EQ(bits(a), start);
}

TEST_F(EditorTest, TabAndReturnWorkTheButtons) {
    startWithSelectedActor(30);
    key(KEY_TAB);
    drawFrame();  // the focus moves to the first widget, "Play"
    key(KEY_RETURN);
    EXPECT_TRUE(state.playing) << "Return acts on the focused button when pressed";
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    drawFrame();
    EXPECT_TRUE(state.playing) << "and only once";
    // Now the first widget is "Stop", which keeps the focus.
    key(KEY_RETURN);
    EXPECT_FALSE(state.playing);
}

// A drawing pass only draws: a selected "Bind scale" actor whose H differs from its W keeps
// its track, frame after frame, until the user changes something.
TEST_F(EditorTest, DrawnFramesNeverChangeTheSelectedActor) {
    writeMusic(2.0);
    std::vector<ActorPose> track = rampTrack(30, 2.f, 0.01f, 3.f);
    for (ActorPose& p : track) p.scale.set(2.f, 1.f);
    writePicture("a.png", 80, 80);
    writeTrack("a", track, true, false);
    state.enableEditing();
    ASSERT_TRUE(initState());
    state.enter();
    click(px(2.f), px(3.f));
    ASSERT_EQ(state.selectedActor, state.actors[0]);
    ASSERT_TRUE(state.actors[0]->bindScale);
    const std::vector<uint8_t> before = bits(state.actors[0]);
    for (int i = 0; i < 5; ++i) {
        state.update(16);
        drawFrame();
    }
    EXPECT_EQ(bits(state.actors[0]), before);
    undo();
    EXPECT_EQ(bits(state.actors[0]), before);
}

TEST_F(EditorTest, AWholeTakeIsOneStepAndSpaceEndsIt) {
    startWithSelectedActor(30, 3.0);
    Actor* a = state.actors[0];
    state.currentFrame = 25;
    const std::vector<uint8_t> before = bits(a);
    const float rowStep = state.buttonSkin->height() + 2.f;
    click(5, int(rowStep) + 5);  // "Rec"
    ASSERT_TRUE(state.recording);
    // Two drags in one take, past the end of the animation.
    for (int take = 0; take < 2; ++take) {
        moveTo(600, 400);
        press(600, 400);
        for (int i = 1; i <= 5; ++i) {
            state.update(16);
            drawFrame();
            moveTo(600 + 8 * i, 400);
        }
        release(640, 400);
        drawFrame();
    }
    key(KEY_SPACE);  // stops the recording
    ASSERT_FALSE(state.recording);
    EXPECT_EQ(state.frameCount, 36);
    const std::vector<uint8_t> after = bits(a);
    ASSERT_NE(after, before);

    undo();
    EXPECT_EQ(bits(a), before);
    EXPECT_EQ(state.frameCount, 30);
    EXPECT_EQ(state.currentFrame, 29);
    redoY();
    EXPECT_EQ(bits(a), after);
    EXPECT_EQ(state.frameCount, 36);
}

TEST_F(EditorTest, UndoWaitsWhileRecordingAndANewEditDropsRedo) {
    startWithSelectedActor(30, 3.0);
    Actor* a = state.actors[0];
    const std::vector<uint8_t> start = bits(a);
    drag(600, 400, 80, 0);
    const std::vector<uint8_t> first = bits(a);
    click(5, int(state.buttonSkin->height() + 2.f) + 5);  // "Rec"
    ASSERT_TRUE(state.recording);
    undo();
    EXPECT_EQ(bits(a), first) << "no undo in the middle of a take";
    key(KEY_SPACE);
    undo();  // the take changed nothing: this undoes the drag
    undo();
    EXPECT_EQ(bits(a), start);
    drag(600, 400, 0, 80);
    const std::vector<uint8_t> other = bits(a);
    redoY();
    EXPECT_EQ(bits(a), other);
}

TEST_F(EditorTest, TheMusicPlaysWhileTheTimelineThumbIsHeld) {
    startWithSelectedActor(250, 5.0);
    const int y = 724;
    moveTo(700, y);
    press(700, y);
    drawFrame();
    ASSERT_GT(state.currentFrame, 0);
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    const int at = tumeloraStreamPositionMs(musicStream);
    EXPECT_GE(at, musicTimeOfFrame(state.currentFrame));
    EXPECT_LT(at, musicTimeOfFrame(state.currentFrame) + 500);
    EXPECT_FALSE(state.playing) << "the frame stays where the thumb is";
    moveTo(300, y);
    drawFrame();
    const int moved = tumeloraStreamPositionMs(musicStream);
    EXPECT_LT(moved, at) << "the music follows the thumb";
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    release(300, y);
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    EXPECT_FALSE(state.playing);
}

TEST_F(EditorTest, TheEndOfTheMusicDoesNotEndTheEditor) {
    startWithSelectedActor(30, 0.2);
    key(KEY_SPACE);
    musicEnded = true;
    state.update(16);
    EXPECT_TRUE(app->isRunning());
    EXPECT_FALSE(musicEnded);
}

// The colour of one pixel (from the top-left corner) of the frame last shown, 0xRRGGBB.
u32 pixelAt(IrrlichtDevice* device, int x, int y) {
    const int h = int(device->getVideoDriver()->getScreenSize().Height);
    unsigned char rgba[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, h - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
    return u32(rgba[0]) << 16 | u32(rgba[1]) << 8 | u32(rgba[2]);
}

TEST_F(EditorTest, DrawnFramesOutlineTheSelectionAndShowThePanel) {
    startWithSelectedActor(30);
    drawFrame();
    // The actor (80 x 80, red) is centred on (160, 240): its outline runs along its edges.
    EXPECT_EQ(pixelAt(device, 199, 240), 0xFF00FFu);
    EXPECT_EQ(pixelAt(device, 160, 201), 0xFF00FFu);
    EXPECT_EQ(pixelAt(device, 160, 240), 0xCC3322u);
    // The "Play" button's picture covers the stage's top-left corner.
    EXPECT_NE(pixelAt(device, 10, 10), 0xAACCEEu);
    EXPECT_EQ(app->renderer()->vertices().size(), 0u) << "nothing left pending";
}

TEST_F(EditorTest, WithoutTheModeThePanelAndOutlineAreNotDrawn) {
    writeMusic(1.0);
    addActor("a", rampTrack(20, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    click(px(2.f), px(3.f));
    ASSERT_NE(state.selectedActor, nullptr);
    state.render(device);
    EXPECT_EQ(pixelAt(device, 120, 240), 0xCC3322u);
    EXPECT_EQ(pixelAt(device, 10, 10), 0xAACCEEu);
}

TEST_F(EditorTest, WithoutTheModeCtrlZChangesNothing) {
    writeMusic(1.0);
    addActor("a", rampTrack(20, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    click(px(2.f), px(3.f));
    moveTo(600, 400);
    press(600, 400);
    moveTo(680, 400);
    release(680, 400);
    const std::vector<ActorPose> moved = state.actors[0]->poses;
    undo();
    EXPECT_FALSE(state.isEditing());
    EXPECT_EQ(std::memcmp(moved.data(), state.actors[0]->poses.data(),
                          moved.size() * sizeof(ActorPose)), 0);
}

}  // namespace
}  // namespace state_test
