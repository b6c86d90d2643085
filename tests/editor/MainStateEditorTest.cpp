// The main state in its editing mode, on a real device: how it starts, the layout at several
// window sizes, the scaled stage with clicks and drags mapped back, undo and redo of drags,
// slider edits and whole takes, keys, the music while scrubbing, the drawn window read back,
// the quit guard, "Save" and its report, the recovery file, picking by drawn pixels, the
// drawing order kept on disk through a failure and a crash, sliders on a rigged part, and D's
// dance with its undo.
#include <GL/gl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

#include "app/Program.h"
#include "editor/Editor.h"
#include "rig/RigMotion.h"
#include "states/DrawingOrder.h"
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
    // The editor attached to the state.
    Editor& editor() { return static_cast<Editor&>(*play.extension()); }
    const EditorLayout& layout() { return editor().currentLayout(); }
    // Clicks the middle of a rectangle.
    void clickRect(const RectF& r) { click(int(r.x + r.width / 2.f), int(r.y + r.height / 2.f)); }
    // The window pixel of a scene point.
    int wx(float x, float y) { return int(sceneToWindow(layout(), core::vector2df(x, y)).X); }
    int wy(float x, float y) { return int(sceneToWindow(layout(), core::vector2df(x, y)).Y); }
    // A point on the stage away from the actor.
    int stageX() { return int(layout().stage.x + layout().stage.width * 0.6f); }
    int stageY() { return int(layout().stage.y + layout().stage.height * 0.6f); }
    // The track's bytes, to compare bit for bit.
    static std::vector<uint8_t> bits(const Actor* a) {
        std::vector<uint8_t> out(a->poses.size() * sizeof(ActorPose));
        std::memcpy(out.data(), a->poses.data(), out.size());
        out.push_back(a->bindScale);
        out.push_back(a->wobble);
        return out;
    }
    // Runs fixed steps of the state, as the loop does, until done() holds (false after a
    // generous limit).
    bool stepUntil(const std::function<bool()>& done) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!done()) {
            if (std::chrono::steady_clock::now() > limit) return false;
            state.update(16);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }
    // The frames where sound begins after a silence (and grows loud soon) in what the device
    // was handed: SDL's disk driver keeps it whole once the sound is closed, so the state ends.
    std::vector<int64_t> soundOnsets() {
        state.shutdown();
        initialised = false;
        const std::vector<uint8_t> raw = fileBytes(folder / "audio.raw");
        std::vector<int64_t> onsets;
        const std::size_t frames = raw.size() / 4;
        auto sample = [&](std::size_t f) { return std::abs(int(int16_t(raw[f * 4] | (raw[f * 4 + 1] << 8)))); };
        int64_t quiet = 0;
        for (std::size_t f = 0; f < frames; ++f) {
            if (sample(f) >= 100 && quiet >= 1000)
                for (std::size_t g = f; g < std::min(frames, f + 30); ++g)
                    if (sample(g) > 500) {
                        onsets.push_back(int64_t(f));
                        break;
                    }
            quiet = sample(f) < 100 ? quiet + 1 : 0;
        }
        return onsets;
    }
    // Editing state with one actor "a" at scene (2, 3), selected by a click on the stage.
    void startWithSelectedActor(int frames, float seconds = 2.0) {
        writeMusic(seconds);
        addActor("a", rampTrack(frames, 2.f, 0.01f, 3.f));
        enableEditing(state);
        ASSERT_TRUE(initState());
        state.enter();
        // The test's events are made up: the window's own pointer never moves.
        editor().takePointerFromEvents();
        click(wx(2.f, 3.f), wy(2.f, 3.f));
        ASSERT_EQ(play.selectedActor(), play.actors()[0]);
    }
};

TEST(EditorLayoutTest, NothingOverlapsAndTheStageFitsAtEveryAcceptedSize) {
    const EditorMetrics m;
    const int sizes[][2] = {{960, 560}, {1024, 600}, {1264, 672}, {1350, 720}, {1366, 768}, {1920, 1080}};
    for (const auto& size : sizes) {
        SCOPED_TRACE(std::to_string(size[0]) + "x" + std::to_string(size[1]));
        EditorLayout l = computeEditorLayout(size[0], size[1], m);
        const RectF window(0.f, 0.f, float(size[0]), float(size[1]));
        const std::vector<RectF> controls = l.controls();
        for (size_t i = 0; i < controls.size(); ++i) {
            EXPECT_TRUE(rectInside(controls[i], window)) << "control " << i << " off the window";
            EXPECT_GT(controls[i].width, 0.f) << "control " << i;
            for (size_t j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(rectsOverlap(controls[i], controls[j]))
                    << "controls " << i << " and " << j << " overlap";
        }
        // The stage keeps its shape, fits its room and is as large as fits (up to its size).
        EXPECT_NEAR(l.stage.width * 720.f, l.stage.height * 1280.f, 1.f);
        EXPECT_TRUE(rectInside(l.stage, l.stageArea));
        EXPECT_LE(l.stageScale, 1.f);
        EXPECT_TRUE(l.stage.width >= l.stageArea.width - 1.f ||
                    l.stage.height >= l.stageArea.height - 1.f || l.stageScale == 1.f);
        // Every layer row that the list shows lies in it; at 768 pixels most of an animation's
        // actors fit.
        EXPECT_GE(l.visibleLayerRows(), 10);
        // The selected actor's motion lane at least, in the timeline; the key list within the window.
        EXPECT_GE(l.laneCount(), 1);
        EXPECT_TRUE(rectInside(l.lanes, l.timeline));
        EXPECT_TRUE(rectInside(l.help, window));
        // A window pixel maps to a scene point and back exactly; 80 drawn pixels are 80 / scale
        // scene pixels.
        const core::vector2df s(3.25f, 4.5f);
        const core::vector2df back = windowToScene(l, sceneToWindow(l, s));
        EXPECT_NEAR(back.X, s.X, 1e-5);
        EXPECT_NEAR(back.Y, s.Y, 1e-5);
        const core::vector2df d = windowToScene(l, core::vector2df(l.stage.x + 80.f, 0.f)) -
                                  windowToScene(l, core::vector2df(l.stage.x, 0.f));
        EXPECT_NEAR(d.X, 1.f / l.stageScale, 1e-5);
        // Zoomed to 2x around a point and panned, the point stays under the pointer and a
        // drag of 80 window pixels is 40 stage pixels.
        StageView view;
        const core::vector2df p(l.stageArea.x + 100.f, l.stageArea.y + 50.f);
        for (int i = 0; i < 8 && l.stageScale < 2.f; ++i) {
            const core::vector2df before = windowToScene(l, p);
            view = zoomedView(l, view, p, true);
            const EditorLayout z = computeEditorLayout(size[0], size[1], m, view);
            EXPECT_NEAR(windowToScene(z, p).X, before.X, 1e-4);
            EXPECT_NEAR(windowToScene(z, p).Y, before.Y, 1e-4);
            l = z;
        }
        ASSERT_EQ(l.stageScale, 2.f);
        view = pannedView(l, view, core::vector2df(-37.f, 12.f));
        const EditorLayout z = computeEditorLayout(size[0], size[1], m, view);
        EXPECT_NEAR((windowToScene(z, p + core::vector2df(80.f, 0.f)) - windowToScene(z, p)).X * 80.f, 40.f, 1e-3);
    }
    // A 1366 x 768 screen gets a window that fits it.
    const core::dimension2d<u32> w = editorWindowSize(1366, 768);
    EXPECT_LE(w.Width, 1366u);
    EXPECT_LE(w.Height, 768u);
    EXPECT_GE(w.Width, u32(EDITOR_MIN_WIDTH));
    EXPECT_GE(w.Height, u32(EDITOR_MIN_HEIGHT));
}

TEST_F(EditorTest, EnterShowsThePointerAndStartsStoppedAtFrameZeroWithoutMusic) {
    writeMusic(1.0);
    addActor("a", rampTrack(30));
    enableEditing(state);
    ASSERT_TRUE(initState());
    device->getCursorControl()->setVisible(false);
    const u32 before = device->getTimer()->getRealTime();
    state.enter();
    const u32 after = device->getTimer()->getRealTime();
    EXPECT_LT(after - before, ENTER_PAUSE_MS) << "no pause before the editor";
    EXPECT_TRUE(device->getCursorControl()->isVisible());
    EXPECT_FALSE(play.playing());
    EXPECT_EQ(play.currentFrame(), 0);
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    for (int i = 0; i < 5; ++i) state.update(16);
    EXPECT_EQ(play.currentFrame(), 0);
    // Space plays and stops, Home goes back to frame 0.
    key(KEY_SPACE);
    EXPECT_TRUE(play.playing());
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    state.update(16);
    EXPECT_EQ(play.currentFrame(), 1);
    key(KEY_SPACE);
    EXPECT_FALSE(play.playing());
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    key(KEY_HOME);
    EXPECT_EQ(play.currentFrame(), 0);
    // R starts and stops a take.
    key(KEY_KEY_R);
    EXPECT_TRUE(play.recording());
    key(KEY_KEY_R);
    EXPECT_FALSE(play.recording());
}

TEST_F(EditorTest, ADragOnTheScaledStageMovesBySceneMotionAndIsUndoneExactly) {
    startWithSelectedActor(20);
    ASSERT_LT(layout().stageScale, 1.f) << "the 1280 x 720 window scales the stage down";
    Actor* a = play.actors()[0];
    play.setCurrentFrame(5);
    const std::vector<uint8_t> before = bits(a);
    const float x0 = a->poses[5].position.X, y0 = a->poses[5].position.Y;
    // 80 x 40 scene pixels, drawn smaller.
    const float s = layout().stageScale;
    const int x = stageX(), y = stageY();
    moveTo(x, y);
    press(x, y);
    moveTo(x + int(std::lround(80.f * s)), y + int(std::lround(40.f * s)));
    release(x + int(std::lround(80.f * s)), y + int(std::lround(40.f * s)));
    EXPECT_NEAR(a->poses[5].position.X - x0, std::lround(80.f * s) / (80.f * s), 1e-4);
    EXPECT_NEAR(a->poses[5].position.Y - y0, std::lround(40.f * s) / (80.f * s), 1e-4);
    EXPECT_EQ(a->poses[4].position.X, 2.04f) << "earlier frames keep theirs";
    EXPECT_EQ(play.selectedActor(), a);
    const std::vector<uint8_t> after = bits(a);
    undo();
    EXPECT_EQ(bits(a), before);
    redoShiftZ();
    EXPECT_EQ(bits(a), after);
    undo();
    redoY();
    EXPECT_EQ(bits(a), after);
    EXPECT_TRUE(editor().hasUnsavedEdits());
    // A drag on the panel moves nothing; a click on empty stage clears the selection.
    drag(int(layout().side.x + 10.f), int(layout().side.y + layout().side.height - 5.f), 60, 0);
    EXPECT_EQ(bits(a), after);
    click(int(layout().stage.x + 2.f), int(layout().stage.y + layout().stage.height - 3.f));
    EXPECT_EQ(play.selectedActor(), nullptr);
    // The layer list selects too.
    clickRect(layout().layerRow(0));
    EXPECT_EQ(play.selectedActor(), a);
}

TEST_F(EditorTest, SliderCheckBoxAndResetEditsAreOneStepEachAndDrawingChangesNothing) {
    startWithSelectedActor(50);
    Actor* a = play.actors()[0];
    play.setCurrentFrame(10);
    const std::vector<uint8_t> start = bits(a);

    // The X slider dragged over several drawn frames is one edit.
    const RectF& sx = layout().props[PROP_X].slider;
    const int y = int(sx.y + sx.height / 2.f);
    const int x = int(sx.x + sx.width / 2.f);
    moveTo(x, y);
    press(x, y);
    for (int i = 1; i <= 5; ++i) {
        moveTo(x + 4 * i, y);
        drawFrame();
    }
    const std::vector<uint8_t> held = bits(a);
    drawFrame();
    drawFrame();
    EXPECT_EQ(bits(a), held) << "a drawn frame changes no data";
    release(x + 20, y);
    drawFrame();
    const std::vector<uint8_t> slid = bits(a);
    ASSERT_NE(slid, start);

    // "Bind scale": the H row moves W and H together; drawn frames change nothing.
    clickRect(layout().bindScale);
    ASSERT_TRUE(a->bindScale);
    a->poses[10].scale = core::vector2df(1.5f, 1.f);
    const std::vector<uint8_t> bound = bits(a);
    drawFrame();
    drawFrame();
    EXPECT_EQ(bits(a), bound) << "bound scale is no edit by itself";
    // A step of the W slider makes H equal to the new W, from this frame on.
    play.ui().setFocus(2004);
    key(KEY_RIGHT);
    EXPECT_NEAR(a->poses[10].scale.X, 1.501f, 1e-5);
    EXPECT_NEAR(a->poses[10].scale.Y, 1.501f, 1e-5);
    EXPECT_NEAR(a->poses[9].scale.Y, 1.f, 1e-6);
    undo();
    undo();  // the poke above is not an edit of the editor; undo takes "Bind scale" back
    EXPECT_FALSE(a->bindScale);
    a->poses = std::vector<ActorPose>(reinterpret_cast<const ActorPose*>(slid.data()),
                                      reinterpret_cast<const ActorPose*>(slid.data()) + 50);

    // "Wobble".
    clickRect(layout().wobble);
    ASSERT_EQ(play.selectedActor(), a);
    ASSERT_TRUE(a->wobble);
    const std::vector<uint8_t> wobbled = bits(a);

    // "Reset>>" cuts the track after frame 10.
    clickRect(layout().reset);
    ASSERT_EQ(a->poses.size(), 11u);

    undo();
    EXPECT_EQ(bits(a), wobbled);
    undo();
    EXPECT_EQ(bits(a), slid);
    undo();
    EXPECT_EQ(bits(a), start);
}

TEST_F(EditorTest, KeysWorkTheFocusedWidgetAtOnceAndEachStepIsOneEdit) {
    startWithSelectedActor(30);
    Actor* a = play.actors()[0];
    const std::vector<uint8_t> start = bits(a);
    // The X slider: the first widget of the property block.
    play.ui().setFocus(2001);
    key(KEY_RIGHT);
    const std::vector<uint8_t> once = bits(a);
    EXPECT_NEAR(a->poses[0].position.X, 2.01f, 1e-5);
    drawFrame();
    drawFrame();
    EXPECT_EQ(bits(a), once) << "the key acts once, not again in drawn frames";
    key(KEY_RIGHT, false, true);  // Shift: five steps
    EXPECT_NEAR(a->poses[0].position.X, 2.06f, 1e-5);
    undo();
    EXPECT_EQ(bits(a), once);
    undo();
    EXPECT_EQ(bits(a), start);
    // Tab focuses "Play", Return presses it; the first widget is then "Stop".
    play.ui().setFocus(UI_NO_ID);
    key(KEY_TAB);
    key(KEY_RETURN);
    EXPECT_TRUE(play.playing());
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    key(KEY_RETURN);
    EXPECT_FALSE(play.playing());
}

// A drawing pass only draws: a selected "Bind scale" actor whose H differs from its W keeps
// its track, frame after frame, until the user changes something.
TEST_F(EditorTest, DrawnFramesNeverChangeTheSelectedActor) {
    writeMusic(2.0);
    std::vector<ActorPose> track = rampTrack(30, 2.f, 0.01f, 3.f);
    for (ActorPose& p : track) p.scale.set(2.f, 1.f);
    writePicture("a.png", 80, 80);
    writeTrack("a", track, true, false);
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    click(wx(2.f, 3.f), wy(2.f, 3.f));
    ASSERT_EQ(play.selectedActor(), play.actors()[0]);
    ASSERT_TRUE(play.actors()[0]->bindScale);
    const std::vector<uint8_t> before = bits(play.actors()[0]);
    for (int i = 0; i < 5; ++i) {
        state.update(16);
        drawFrame();
    }
    EXPECT_EQ(bits(play.actors()[0]), before);
    undo();
    EXPECT_EQ(bits(play.actors()[0]), before);
}

TEST_F(EditorTest, AWholeTakeIsOneStepAndSpaceEndsIt) {
    startWithSelectedActor(30, 3.0);
    Actor* a = play.actors()[0];
    play.setCurrentFrame(25);
    const std::vector<uint8_t> before = bits(a);
    clickRect(layout().tools[TOOL_REC]);
    ASSERT_TRUE(play.recording());
    // Two drags in one take, past the end of the animation.
    for (int take = 0; take < 2; ++take) {
        moveTo(stageX(), stageY());
        press(stageX(), stageY());
        for (int i = 1; i <= 5; ++i) {
            state.update(16);
            drawFrame();
            moveTo(stageX() + 8 * i, stageY());
        }
        release(stageX() + 40, stageY());
        drawFrame();
    }
    key(KEY_SPACE);  // stops the recording
    ASSERT_FALSE(play.recording());
    EXPECT_EQ(play.frameCount(), 36);
    const std::vector<uint8_t> after = bits(a);
    ASSERT_NE(after, before);

    undo();
    EXPECT_EQ(bits(a), before);
    EXPECT_EQ(play.frameCount(), 30);
    EXPECT_EQ(play.currentFrame(), 29);
    redoY();
    EXPECT_EQ(bits(a), after);
    EXPECT_EQ(play.frameCount(), 36);
}

TEST_F(EditorTest, AnEmptyTakeSaysWhyAndUndoBackToTheSavedStateIsAllSaved) {
    startWithSelectedActor(30, 3.0);
    // A take whose only press lies outside the stage (on the status line) records nothing.
    key(KEY_KEY_R);
    ASSERT_TRUE(play.recording());
    const RectF& line = layout().status;
    const int x = int(line.x + line.width / 2.f), y = int(line.y + line.height / 2.f);
    press(x, y);
    for (int i = 0; i < 3; ++i) {
        state.update(16);
        moveTo(x + 20 * i, y);
    }
    release(x + 40, y);
    key(KEY_KEY_R);
    ASSERT_FALSE(play.recording());
    EXPECT_NE(editor().statusMessage().find("The take recorded nothing: the drag began outside the stage"),
              std::string::npos)
        << editor().statusMessage();
    // Edited, saved, edited again, then undone back to what the files hold: nothing is unsaved.
    drag(stageX(), stageY(), 0, 40);
    key(KEY_KEY_S, true);
    EXPECT_FALSE(editor().hasUnsavedEdits());
    drag(stageX(), stageY(), 40, 0);
    EXPECT_TRUE(editor().hasUnsavedEdits());
    undo();
    EXPECT_FALSE(editor().hasUnsavedEdits()) << "undone back to the saved state";
    editor().recoveryWriter().finish();
    EXPECT_FALSE(fs::exists(recoveryFilePath(ACTOR_DIRECTORY)));
    redoY();
    EXPECT_TRUE(editor().hasUnsavedEdits());
    undo();
    undo();  // past the saved state: unsaved again
    EXPECT_TRUE(editor().hasUnsavedEdits());
}

TEST_F(EditorTest, TheCountInClicksABarOnTheBeatGridAndTheTakeStartsOnTimeToTheSample) {
    // A beat every 500 ms: the count-in from frame 0 is two seconds of silence before the song
    // with a click every 250 ms (the first of each beat accented), and the take starts at frame 0.
    std::ofstream(beatsPathOf(MUSIC_FILE)) << formatBeats({0, 500, 1000, 1500, 2000, 2500});
    startWithSelectedActor(30, 3.0);
    editor().waitForBeats();
    key(KEY_KEY_C);
    EXPECT_TRUE(editor().countIn());
    key(KEY_KEY_R);
    EXPECT_TRUE(editor().countingIn());
    EXPECT_FALSE(play.recording());
    ASSERT_TRUE(stepUntil([&] { return play.recording(); }));
    EXPECT_EQ(play.currentFrame(), 0) << "the take starts at its own frame";
    ASSERT_TRUE(stepUntil([&] { return play.currentFrame() >= 20; }));
    key(KEY_KEY_R);
    ASSERT_FALSE(play.recording());
    const std::vector<int64_t> onsets = soundOnsets();
    ASSERT_GE(onsets.size(), 9u);
    constexpr int64_t HALF_BEAT = 11025;  // 250 ms at 44,100 frames a second
    for (int k = 1; k < 8; ++k) EXPECT_EQ(onsets[std::size_t(k)] - onsets[0], k * HALF_BEAT) << "click " << k;
    EXPECT_NEAR(double(onsets[8] - onsets[0]), double(8 * HALF_BEAT), 2.0) << "the song starts on the bar's end";
}

TEST_F(EditorTest, APunchInRecordsOnlyTheRangeAfterABarOfClicksAndStopsAtItsOutByItself) {
    // A body with an arm hanging from it, and an actor of its own; a beat every 500 ms.
    std::ofstream(beatsPathOf(MUSIC_FILE)) << formatBeats({0, 500, 1000, 1500, 2000, 2500, 3000, 3500});
    writeMusic(4.0);
    addActor("1-body", rampTrack(200, 6.f, 0.02f, 4.f), 100, 200);
    addActor("2-arm", rampTrack(200, 6.5f, 0.02f, 3.5f), 40, 120);
    addActor("3-sun", rampTrack(200, 2.f, 0.01f, 2.f));
    {
        std::ofstream rig("data/actors/rig.txt");
        rig << "1-body\t-\t50\t100\n" << "2-arm\t1-body\t20\t20\n";
    }
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    editor().takePointerFromEvents();
    editor().waitForBeats();
    clickRect(layout().layerName(2));  // the body, under the sun and the arm
    ASSERT_EQ(play.selectedActor()->name, "1-body");
    play.setCurrentFrame(30);
    key(KEY_KEY_I);
    play.setCurrentFrame(60);
    key(KEY_KEY_O);
    play.setCurrentFrame(150);
    std::vector<std::vector<uint8_t>> before;
    for (const Actor* a : play.actors()) before.push_back(bits(a));

    // "Rec" with the range: the pre-roll from a bar before in, where a drag moves nothing.
    clickRect(layout().tools[TOOL_REC]);
    ASSERT_TRUE(editor().punchingIn());
    EXPECT_TRUE(editor().countingIn());
    EXPECT_FALSE(play.recording());
    moveTo(stageX(), stageY());
    press(stageX(), stageY());
    int x = stageX();
    ASSERT_TRUE(stepUntil([&] {
        moveTo(++x, stageY());
        return play.recording();
    }));
    EXPECT_EQ(play.currentFrame(), 30) << "the take starts at in";
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(bits(play.actors()[i]), before[i]) << "the pre-roll";
    // The drag goes on through the take, which stops past out by itself.
    ASSERT_TRUE(stepUntil([&] {
        moveTo(x += 4, stageY());
        return !editor().punchingIn();
    }));
    EXPECT_FALSE(play.recording());
    EXPECT_TRUE(editor().hasUnsavedEdits()) << "unsaved (Escape asks first) with the button still held";
    for (int i = 0; i < 5; ++i) moveTo(x += 4, stageY());  // the held drag goes no further
    release(x, stageY());
    EXPECT_EQ(play.frameCount(), 200);
    EXPECT_NE(editor().statusMessage().find("Punch-in: frames 30 to 60 recorded"), std::string::npos)
        << editor().statusMessage();

    // Every frame outside the range as it was, bit for bit; the body and the arm moved in it.
    constexpr std::size_t POSE = sizeof(ActorPose);
    std::vector<std::vector<uint8_t>> after;
    for (std::size_t i = 0; i < before.size(); ++i) {
        const std::vector<uint8_t> now = bits(play.actors()[i]);
        ASSERT_EQ(now.size(), before[i].size()) << play.actors()[i]->name;
        EXPECT_TRUE(std::equal(now.begin(), now.begin() + 30 * POSE, before[i].begin())) << play.actors()[i]->name;
        EXPECT_TRUE(std::equal(now.begin() + 61 * POSE, now.end(), before[i].begin() + 61 * POSE))
            << play.actors()[i]->name;
        const bool moved = !std::equal(now.begin() + 30 * POSE, now.begin() + 61 * POSE, before[i].begin() + 30 * POSE);
        EXPECT_EQ(moved, play.actors()[i]->name != "3-sun") << play.actors()[i]->name << " in the range";
        after.push_back(now);
    }

    // One undo step takes it all back, and redo brings it again.
    undo();
    for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(bits(play.actors()[i]), before[i]);
    redoY();
    for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(bits(play.actors()[i]), after[i]);

    // The pre-roll: from 1.5 s of silence before the song (in lies 0.5 s into it), one click a beat.
    const std::vector<int64_t> onsets = soundOnsets();
    ASSERT_GE(onsets.size(), 4u);
    constexpr int64_t BEAT = 22050;  // 500 ms at 44,100 frames a second
    for (int k = 1; k < 3; ++k) EXPECT_EQ(onsets[std::size_t(k)] - onsets[0], k * BEAT) << "click " << k;
    EXPECT_NEAR(double(onsets[3] - onsets[0]), double(3 * BEAT), 2.0) << "the last click, with the song's start";
}

TEST_F(EditorTest, UndoWaitsWhileRecordingAndANewEditDropsRedo) {
    startWithSelectedActor(30, 3.0);
    Actor* a = play.actors()[0];
    const std::vector<uint8_t> start = bits(a);
    drag(stageX(), stageY(), 80, 0);
    const std::vector<uint8_t> first = bits(a);
    clickRect(layout().tools[TOOL_REC]);
    ASSERT_TRUE(play.recording());
    undo();
    EXPECT_EQ(bits(a), first) << "no undo in the middle of a take";
    key(KEY_SPACE);
    undo();  // the take changed nothing: this undoes the drag
    undo();
    EXPECT_EQ(bits(a), start);
    drag(stageX(), stageY(), 0, 80);
    const std::vector<uint8_t> other = bits(a);
    redoY();
    EXPECT_EQ(bits(a), other);
}

TEST_F(EditorTest, TheMusicPlaysWhileTheTimelineThumbIsHeldAndTheWheelZooms) {
    startWithSelectedActor(250, 5.0);
    const RectF& t = layout().timelineSlider;
    const int y = int(t.y + t.height / 2.f);
    const int x = int(t.x + t.width * 0.5f);
    moveTo(x, y);
    press(x, y);
    drawFrame();
    ASSERT_GT(play.currentFrame(), 0);
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    const int at = tumeloraStreamPositionMs(musicStream);
    EXPECT_GE(at, musicTimeOfFrame(play.currentFrame()));
    EXPECT_LT(at, musicTimeOfFrame(play.currentFrame()) + 500);
    EXPECT_FALSE(play.playing()) << "the frame stays where the thumb is";
    moveTo(int(t.x + t.width * 0.2f), y);
    drawFrame();
    const int moved = tumeloraStreamPositionMs(musicStream);
    EXPECT_LT(moved, at) << "the music follows the thumb";
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    release(int(t.x + t.width * 0.2f), y);
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    EXPECT_FALSE(play.playing());

    // Zoomed all the way in around a point of the waveform, a click there hits single frames.
    const RectF& w = layout().wave;
    const int wxp = int(w.x + w.width / 2.f), wyp = int(w.y + w.height / 2.f);
    SEvent::SMouseInput wheel{};
    wheel.X = wxp;
    wheel.Y = wyp;
    wheel.Wheel = 1.f;
    wheel.Event = EMIE_MOUSE_WHEEL;
    for (int i = 0; i < 40; ++i) state.mouseWheel(&wheel);
    click(wxp, wyp);
    const int f = play.currentFrame();
    click(wxp + int(TIMELINE_MAX_PIXELS_PER_FRAME), wyp);
    EXPECT_EQ(play.currentFrame(), f + 1) << "one frame over " << TIMELINE_MAX_PIXELS_PER_FRAME
                                         << " pixels";
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

TEST_F(EditorTest, TheDrawnWindowShowsTheScaledStageInsideThePanel) {
    startWithSelectedActor(30);
    drawFrame();
    const EditorLayout& l = layout();
    // The actor (80 x 80 scene pixels, red) is drawn scaled around its scene point.
    EXPECT_EQ(pixelAt(device, wx(2.f, 3.f), wy(2.f, 3.f)), 0xCC3322u);
    const float s = l.stageScale;
    EXPECT_EQ(pixelAt(device, wx(2.f, 3.f) + int(30.f * s), wy(2.f, 3.f)), 0xCC3322u);
    EXPECT_EQ(pixelAt(device, wx(2.f, 3.f) + int(45.f * s), wy(2.f, 3.f)), 0xAACCEEu);
    // Its outline, just inside its right edge.
    EXPECT_EQ(pixelAt(device, wx(2.5f, 3.f) - 1, wy(2.f, 3.f)), 0xFF00FFu);
    // The stage's corners are the scene's; the panel is around it, never the scene.
    EXPECT_EQ(pixelAt(device, int(l.stage.x + 1.f), int(l.stage.y + 1.f)), 0xAACCEEu);
    EXPECT_EQ(pixelAt(device, int(l.stage.x + l.stage.width - 2.f),
                      int(l.stage.y + l.stage.height - 2.f)), 0xAACCEEu);
    EXPECT_EQ(pixelAt(device, int(l.stage.x - 2.f), int(l.stage.y + 10.f)), 0x2B3340u);
    EXPECT_EQ(pixelAt(device, int(l.side.x + l.side.width / 2.f), int(l.side.y + l.side.height - 2.f)),
              0x2B3340u);
    // The tool bar's buttons, the playhead at frame 0 and the waveform's band are drawn.
    EXPECT_NE(pixelAt(device, int(l.tools[TOOL_PLAY].x + 3.f), int(l.tools[TOOL_PLAY].y + 3.f)),
              0x2B3340u);
    EXPECT_EQ(pixelAt(device, int(l.wave.x + 1.f), int(l.wave.y + 1.f)), 0xFF5050u);
    EXPECT_EQ(pixelAt(device, int(l.wave.x + 10.f), int(l.wave.y)), 0x1E242Du);
    EXPECT_EQ(app->renderer()->vertices().size(), 0u) << "nothing left pending";
}

TEST_F(EditorTest, WithoutTheModeThePanelAndOutlineAreNotDrawn) {
    writeMusic(1.0);
    addActor("a", rampTrack(20, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    click(px(2.f), px(3.f));
    ASSERT_NE(play.selectedActor(), nullptr);
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
    const std::vector<ActorPose> moved = play.actors()[0]->poses;
    undo();
    EXPECT_FALSE(state.isEditing());
    EXPECT_EQ(std::memcmp(moved.data(), play.actors()[0]->poses.data(),
                          moved.size() * sizeof(ActorPose)), 0);
}

TEST_F(EditorTest, EscapeWithUnsavedEditsAsksFirstAndTheSecondQuitsWithoutSaving) {
    startWithSelectedActor(30);
    const std::vector<uint8_t> file = fileBytes("data/actors/a.data");
    drag(stageX(), stageY(), 40, 0);
    editor().writeRecovery();
    editor().recoveryWriter().finish();
    ASSERT_TRUE(fs::exists(recoveryFilePath(ACTOR_DIRECTORY)));
    key(KEY_ESCAPE);
    EXPECT_TRUE(app->isRunning()) << "unsaved edits: the first Escape only warns";
    EXPECT_NE(editor().statusMessage().find("Unsaved changes"), std::string::npos)
        << editor().statusMessage();
    // The window's close button asks the same; the second request within 3 s quits.
    EXPECT_TRUE(editor().requestQuit());
    EXPECT_FALSE(app->isRunning());
    state.leave();
    EXPECT_EQ(fileBytes("data/actors/a.data"), file) << "nothing saved";
    EXPECT_FALSE(fs::exists(recoveryFilePath(ACTOR_DIRECTORY))) << "a confirmed discard leaves no recovery";
}

TEST_F(EditorTest, SaveReportsWhatItWroteAndWhatNotAndNothingUnsavedQuitsAtOnce) {
    writeMusic(1.0);
    addActor("a", rampTrack(30, 2.f, 0.f, 3.f));
    addActor("b", rampTrack(30, 6.f, 0.f, 3.f));
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    click(wx(2.f, 3.f), wy(2.f, 3.f));
    drag(stageX(), stageY(), 40, 0);
    // "b"'s data file cannot be replaced: a folder stands in its place.
    fs::remove("data/actors/b.data");
    fs::create_directories("data/actors/b.data/x");
    key(KEY_KEY_S, true);
    EXPECT_NE(editor().statusMessage().find("Saved 1 actor;"), std::string::npos);
    EXPECT_NE(editor().statusMessage().find("data/actors/b.data"), std::string::npos)
        << editor().statusMessage();
    EXPECT_TRUE(editor().hasUnsavedEdits());
    fs::remove_all("data/actors/b.data");
    clickRect(layout().tools[TOOL_SAVE]);
    EXPECT_EQ(editor().statusMessage(), "Saved 2 actors");
    EXPECT_FALSE(editor().hasUnsavedEdits());
    editor().recoveryWriter().finish();
    EXPECT_FALSE(fs::exists(recoveryFilePath(ACTOR_DIRECTORY)));
    key(KEY_ESCAPE);
    EXPECT_FALSE(app->isRunning()) << "nothing unsaved: Escape quits at once";
}

TEST_F(EditorTest, TheRecoveryFileBringsBackUnsavedWorkAndDamagedOnesAreRefused) {
    startWithSelectedActor(30);
    drag(stageX(), stageY(), 40, 20);
    const std::vector<uint8_t> edited = bits(play.actors()[0]);
    // Leaving with unsaved edits (a signal ends the program this way) keeps them.
    state.leave();
    ASSERT_TRUE(fs::exists(recoveryFilePath(ACTOR_DIRECTORY)));
    state.shutdown();
    initialised = false;

    MainState next;
    enableEditing(next);
    ASSERT_TRUE(next.init());
    next.enter();
    Editor& restored = static_cast<Editor&>(*StateAccess(next).extension());
    EXPECT_EQ(bits(StateAccess(next).actors()[0]), edited);
    EXPECT_TRUE(restored.hasUnsavedEdits());
    EXPECT_NE(restored.statusMessage().find("Restored"), std::string::npos);
    restored.save();
    restored.recoveryWriter().finish();
    EXPECT_FALSE(fs::exists(recoveryFilePath(ACTOR_DIRECTORY)));
    next.shutdown();

    // Encoding round trip; every cut of the file is refused.
    RecoverySnapshot snap;
    snap.frameCount = 7;
    snap.actors.push_back({"x", ActorData{2, rampTrack(3), true, false}});
    const std::vector<uint8_t> bytes = encodeRecovery(snap);
    RecoverySnapshot back;
    std::string error;
    ASSERT_TRUE(decodeRecovery(bytes.data(), bytes.size(), back, error)) << error;
    EXPECT_EQ(back.frameCount, 7);
    ASSERT_EQ(back.actors.size(), 1u);
    EXPECT_EQ(back.actors[0].data.poses.size(), 3u);
    EXPECT_TRUE(back.actors[0].data.bindScale);
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(decodeRecovery(bytes.data(), n, back, error)) << n;

    // A damaged file on disk is refused with a message and kept aside.
    {
        std::ofstream out(recoveryFilePath(ACTOR_DIRECTORY), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size() - 3));
    }
    MainState third;
    enableEditing(third);
    ASSERT_TRUE(third.init());
    third.enter();
    Editor& refused = static_cast<Editor&>(*StateAccess(third).extension());
    EXPECT_NE(refused.statusMessage().find("refused"), std::string::npos);
    EXPECT_FALSE(refused.hasUnsavedEdits());
    EXPECT_TRUE(fs::exists(recoveryFilePath(ACTOR_DIRECTORY) + ".damaged"));
    third.shutdown();
}

// A picture of w x h pixels, opaque red, with the pixels where clear(x, y) holds fully
// transparent, or at alpha 127 (at least half transparent) when they are odd.
void writeMaskedPicture(IrrlichtDevice* device, const std::string& path, u32 w, u32 h,
                        const std::function<bool(u32, u32)>& clear) {
    video::IVideoDriver* driver = device->getVideoDriver();
    video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(w, h));
    ASSERT_NE(picture, nullptr);
    for (u32 y = 0; y < h; ++y)
        for (u32 x = 0; x < w; ++x)
            picture->setPixel(x, y, video::SColor(clear(x, y) ? ((x + y) % 2 ? 127 : 0) : 255, 0xCC, 0x33, 0x22));
    const bool written = driver->writeImageToFile(picture, path.c_str());
    picture->drop();
    ASSERT_TRUE(written) << path;
}

// A click picks the topmost actor whose drawn pixel is under it: a turned bar where it is
// drawn and not beside it, through a picture's (half) transparent part, never a locked
// backdrop; clicks again there go through what is drawn under the point.
TEST_F(EditorTest, AClickPicksWhatIsDrawnUnderItTurnedScaledOrSeenThroughAndNeverALockedBackdrop) {
    writeMusic(1.0);
    // The backdrop: the whole stage. The bar: 240 x 40 pixels, half as long again and turned
    // 45 degrees clockwise, at scene (8, 4.5). The frame: 160 x 160 pixels, clear but for a
    // 20-pixel border, over the bar's middle.
    addActor("0-backdrop", rampTrack(10, 8.f, 0.f, 4.5f), 1280, 720);
    std::vector<ActorPose> bar = rampTrack(10, 8.f, 0.f, 4.5f);
    for (ActorPose& p : bar) {
        p.rotation = 0.78539816f;
        p.scale.set(1.5f, 1.f);
    }
    addActor("1-bar", bar, 240, 40);
    writeMaskedPicture(device, "data/actors/2-frame.png", 160, 160,
                       [](u32 x, u32 y) { return x >= 20 && x < 140 && y >= 20 && y < 140; });
    writeTrack("2-frame", rampTrack(10, 8.f, 0.f, 4.5f));
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    Actor* backdrop = play.actors()[0];
    Actor* bar1 = play.actors()[1];
    Actor* frame = play.actors()[2];
    ASSERT_EQ(bar1->name, "1-bar");
    // Along the turned bar, 120 stage pixels from its centre (within its 180-pixel half
    // length), and the same distance along the other diagonal: beside it, inside the
    // upright rectangle the player would hit.
    const float along = 120.f / 80.f / std::sqrt(2.f);
    const core::vector2df onBar(8.f + along, 4.5f + along), beside(8.f + along, 4.5f - along * 0.2f);
    click(wx(onBar.X, onBar.Y), wy(onBar.X, onBar.Y));
    EXPECT_EQ(play.selectedActor(), bar1) << "the turned bar's drawn pixel";
    click(wx(beside.X, beside.Y), wy(beside.X, beside.Y));
    EXPECT_EQ(play.selectedActor(), backdrop) << "beside the bar: what is drawn there";
    // The middle of the frame is clear: the bar under it is picked, then the backdrop under
    // that, then the bar again; the frame's border is the frame's.
    click(wx(8.f, 4.5f), wy(8.f, 4.5f));
    EXPECT_EQ(play.selectedActor(), bar1);
    click(wx(8.f, 4.5f), wy(8.f, 4.5f));
    EXPECT_EQ(play.selectedActor(), backdrop);
    click(wx(8.f, 4.5f), wy(8.f, 4.5f));
    EXPECT_EQ(play.selectedActor(), bar1);
    click(wx(8.f - 0.875f, 4.5f), wy(8.f - 0.875f, 4.5f));  // 70 stage pixels left: the border
    EXPECT_EQ(play.selectedActor(), frame);
    // Its outline follows the turned bar: just inside the middle of its long edge.
    clickRect(layout().layerName(1));  // second from the top: the bar
    ASSERT_EQ(play.selectedActor(), bar1);
    drawFrame();
    const core::vector2df edge =
        sceneToWindow(layout(), picturePointAt(*bar1, bar1->poses[0], {120.f, 40.f - 1.f / layout().stageScale}));
    EXPECT_EQ(pixelAt(device, int(std::lround(edge.X)), int(std::lround(edge.Y))), 0xFF00FFu);
    // Locked (K), the backdrop is never picked: beside the bar nothing is.
    click(wx(beside.X, beside.Y), wy(beside.X, beside.Y));
    ASSERT_EQ(play.selectedActor(), backdrop);
    key(KEY_KEY_K);
    ASSERT_TRUE(backdrop->locked);
    click(wx(beside.X, beside.Y), wy(beside.X, beside.Y));
    EXPECT_EQ(play.selectedActor(), nullptr);
    click(wx(8.f, 4.5f), wy(8.f, 4.5f));
    click(wx(8.f, 4.5f), wy(8.f, 4.5f));
    EXPECT_EQ(play.selectedActor(), bar1) << "clicks again go round the bar alone";
}

// Page Up, then Save: the order is kept in the file names. A rename that fails halfway takes
// back what it did; a crash halfway leaves every picture and track readable under its old
// name or its new one, and the next start finishes the renaming and says so.
TEST_F(EditorTest, TheDrawingOrderIsKeptInTheFileNamesAndNeitherAFailureNorACrashLosesAFile) {
    writeMusic(1.0);
    writePicture("00-stage.jpg", 1280, 720);
    writeTrack("00-stage", rampTrack(10, 8.f, 0.f, 4.5f));
    addActor("01-body", rampTrack(10, 4.f, 0.f, 4.f));
    addActor("02-arm", rampTrack(10, 4.5f, 0.f, 4.f), 40, 80);
    {
        std::ofstream rig("data/actors/rig.txt");
        rig << "02-arm\t01-body\t20\t5\n";
        std::ofstream scene("data/actors/scene.txt");
        scene << "# mine\nlocked 00-stage\nzoom 2\n";
    }
    const std::vector<std::string> files = {"00-stage.jpg", "00-stage.data", "01-body.png", "01-body.data",
                                            "02-arm.png", "02-arm.data"};
    std::map<std::string, std::vector<uint8_t>> original;
    for (const std::string& f : files) original[f] = fileBytes("data/actors/" + f);
    // Every file's bytes are in the folder under one name or another.
    const auto nothingLost = [&] {
        std::vector<std::vector<uint8_t>> there;
        for (const fs::directory_entry& e : fs::directory_iterator("data/actors")) there.push_back(fileBytes(e.path()));
        for (const auto& [name, bytes] : original)
            if (std::find(there.begin(), there.end(), bytes) == there.end()) return "lost " + name;
        return std::string();
    };
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    Actor* body = play.actors()[1];
    clickRect(layout().layerName(1));  // rows topmost first: the body
    ASSERT_EQ(play.selectedActor(), body);
    EXPECT_TRUE(play.actors()[0]->locked) << "scene.txt locks the stage";
    // A JPEG picture is always drawn under every PNG picture; the top is the top.
    key(KEY_NEXT);
    EXPECT_EQ(play.actors()[1], body);
    EXPECT_NE(editor().statusMessage().find("JPEG"), std::string::npos) << editor().statusMessage();
    key(KEY_PRIOR);
    ASSERT_EQ(play.actors()[2], body) << "drawn over the arm now";
    undo();
    EXPECT_EQ(play.actors()[1], body) << "a move in the drawing order is one undo step";
    redoY();
    ASSERT_EQ(play.actors()[2], body);
    key(KEY_PRIOR);
    EXPECT_NE(editor().statusMessage().find("over every other actor already"), std::string::npos)
        << editor().statusMessage();

    // The second rename fails: the first is taken back, nothing is renamed, the order is unsaved.
    struct FailingMover : FileMover {
        int left;
        explicit FailingMover(int n) : left(n) {}
        bool move(const std::string& from, const std::string& to, bool replace, std::string& error) override {
            if (left-- == 0) {
                error = "cannot rename " + from + " (no space left on device)";
                return false;
            }
            return FileMover::move(from, to, replace, error);
        }
    } failing(1);
    play.setFileMover(&failing);
    key(KEY_KEY_S, true);
    play.setFileMover(nullptr);
    EXPECT_NE(editor().statusMessage().find("the drawing order is not kept"), std::string::npos)
        << editor().statusMessage();
    EXPECT_TRUE(editor().hasUnsavedEdits());
    for (const std::string& f : files) EXPECT_EQ(fileBytes("data/actors/" + f), original[f]) << f;
    EXPECT_FALSE(fs::exists(std::string("data/actors/") + DRAWING_ORDER_JOURNAL));

    // A crash in the middle: a child process renames the first picture and dies before its
    // data file (as "Save" does, the recovery file is gone first).
    editor().recoveryWriter().remove();
    editor().recoveryWriter().finish();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct DyingMover : FileMover {
            int left = 1;
            bool move(const std::string& from, const std::string& to, bool replace, std::string& error) override {
                if (left-- == 0) _exit(0);
                return FileMover::move(from, to, replace, error);
            }
        } dying;
        play.setFileMover(&dying);
        play.saveDrawingOrder();
        _exit(1);  // not reached: the mover ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(fs::exists(std::string("data/actors/") + DRAWING_ORDER_JOURNAL));
    EXPECT_EQ(nothingLost(), "");
    state.shutdown();
    initialised = false;

    // The next start finishes it and says so: the new order, every track, the rig's joint and
    // the scene settings under the new names.
    MainState next;
    enableEditing(next);
    ASSERT_TRUE(next.init());
    next.enter();
    StateAccess again(next);
    Editor& restarted = static_cast<Editor&>(*again.extension());
    EXPECT_NE(restarted.statusMessage().find("did not end; finished it"), std::string::npos)
        << restarted.statusMessage();
    EXPECT_FALSE(fs::exists(std::string("data/actors/") + DRAWING_ORDER_JOURNAL));
    EXPECT_EQ(nothingLost(), "");
    ASSERT_EQ(again.actors().size(), 3u);
    EXPECT_EQ(again.actors()[0]->name, "00-stage");
    EXPECT_EQ(again.actors()[1]->name, "02-arm");
    const std::string bodyNow = again.actors()[2]->name;
    EXPECT_NE(bodyNow, "01-body");
    EXPECT_EQ(bodyNow.substr(bodyNow.find('-')), "-body");
    EXPECT_EQ(fileBytes("data/actors/" + bodyNow + ".data"), original["01-body.data"]);
    EXPECT_EQ(again.rig().rig().parentOf("02-arm"), bodyNow);
    EXPECT_TRUE(again.actors()[0]->locked);
    std::ifstream scene("data/actors/scene.txt");
    const std::string sceneText((std::istreambuf_iterator<char>(scene)), std::istreambuf_iterator<char>());
    EXPECT_NE(sceneText.find("# mine"), std::string::npos) << sceneText;
    EXPECT_NE(sceneText.find("zoom 2"), std::string::npos) << "an unknown setting is kept: " << sceneText;
    next.shutdown();
}

// The property rows of a rigged parent move it through the rig: its child follows and stays
// on its joint, frame by frame, as playback eases them.
TEST_F(EditorTest, ASliderOnARiggedParentKeepsItsChildOnItsJointInPlayback) {
    writeMusic(1.0);
    addActor("1-body", rampTrack(40, 6.f, 0.02f, 4.f), 100, 200);
    addActor("2-arm", rampTrack(40, 6.5f, 0.02f, 3.5f), 40, 120);
    {
        std::ofstream rig("data/actors/rig.txt");
        rig << "1-body\t-\t50\t100\n" << "2-arm\t1-body\t20\t20\n";
    }
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    Actor* body = play.actors()[0];
    Actor* arm = play.actors()[1];
    // The arm's pivot and the body's point under it.
    const core::vector2df pivot(20.f, 20.f);
    const core::vector2df spot = pictureSpotAt(*body, shownPoseAt(*body, 0), picturePointAt(*arm, shownPoseAt(*arm, 0), pivot));
    clickRect(layout().layerName(1));  // the body, under the arm
    ASSERT_EQ(play.selectedActor(), body);
    play.setCurrentFrame(10);
    // The rot slider 30 steps right, the W slider 200 steps, by keys at once.
    play.ui().setFocus(EDITOR_PROPERTY_ID_BLOCK + 3);
    for (int i = 0; i < 6; ++i) key(KEY_RIGHT, false, true);
    play.ui().setFocus(EDITOR_PROPERTY_ID_BLOCK + 4);
    for (int i = 0; i < 40; ++i) key(KEY_RIGHT, false, true);
    const ActorPose shown = shownPoseAt(*body, 20);
    EXPECT_NEAR(shown.rotation, 0.03f, 1e-4f);
    EXPECT_NEAR(shown.scale.X, 1.2f, 1e-3f);
    // Played back from frame 0 through the player's easing: the arm's pivot on the body's spot.
    float widest = 0.f;
    ActorPose b = body->poses[0], a = arm->poses[0];
    for (int f = 0; f < 40; ++f) {
        if (f > 0) {
            easeToward(b, body->poseAt(f));
            easeToward(a, arm->poseAt(f));
        }
        widest = std::max(widest, (picturePointAt(*arm, a, pivot) - picturePointAt(*body, b, spot)).getLength() *
                                      kSceneUnitPixels);
    }
    EXPECT_LE(widest, 1.f) << "pixels between the arm's pivot and its point on the body";
    EXPECT_NEAR(a.rotation, 0.03f, 1e-4f) << "the arm turned with the body";
    EXPECT_NEAR(a.scale.X, 1.f, 1e-6f) << "and kept its own size";
    // "Reset>>" on the arm keeps it on the body too.
    clickRect(layout().layerName(0));
    ASSERT_EQ(play.selectedActor(), arm);
    play.setCurrentFrame(5);
    clickRect(layout().reset);
    b = body->poses[0];
    a = arm->poses[0];
    widest = 0.f;
    for (int f = 0; f < 40; ++f) {
        if (f > 0) {
            easeToward(b, body->poseAt(f));
            easeToward(a, arm->poseAt(f));
        }
        widest = std::max(widest, (picturePointAt(*arm, a, pivot) - picturePointAt(*body, b, spot)).getLength() *
                                      kSceneUnitPixels);
    }
    EXPECT_LE(widest, 1.f) << "after Reset>> on the arm";
}

TEST_F(EditorTest, DDancesTheSelectedCharacterOnTheBeatsShiftDChangesItsOwnMotionAndOneCtrlZTakesEachBack) {
    std::ofstream(beatsPathOf(MUSIC_FILE)) << formatBeats({0, 500, 1000, 1500, 2000, 2500, 3000});
    writeMusic(3.0);
    addActor("1-body", rampTrack(180, 6.f, 0.f, 4.f), 100, 200);
    addActor("2-arm-left", rampTrack(180, 5.5f, 0.f, 3.5f), 40, 120);
    addActor("3-arm-right", rampTrack(180, 6.5f, 0.f, 3.5f), 40, 120);
    {
        std::ofstream rig("data/actors/rig.txt");
        rig << "1-body\t-\t50\t200\n" << "2-arm-left\t1-body\t20\t10\n" << "3-arm-right\t1-body\t20\t10\n";
    }
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    editor().waitForBeats();
    clickRect(layout().layerName(2));  // the body, under both arms
    Actor* body = play.actors()[0];
    ASSERT_EQ(play.selectedActor(), body);
    std::vector<std::vector<uint8_t>> still;
    for (const Actor* a : play.actors()) still.push_back(bits(a));
    const auto tracksAre = [&](const std::vector<std::vector<uint8_t>>& wanted) {
        for (std::size_t i = 0; i < wanted.size(); ++i)
            if (bits(play.actors()[i]) != wanted[i]) return false;
        return true;
    };
    const auto says = [&](const std::string& start) { return editor().statusLine().newest().rfind(start, 0) == 0; };

    // D, once the song's loudness is known (until then it only says so).
    ASSERT_TRUE(stepUntil([&] {
        key(KEY_KEY_D);
        return says("Dance on the beats");
    })) << editor().statusLine().newest();
    EXPECT_TRUE(says("Dance on the beats: 1-body bounces and sways; 2-arm-left, 3-arm-right swing"))
        << editor().statusLine().newest();
    for (std::size_t i = 0; i < still.size(); ++i) EXPECT_NE(bits(play.actors()[i]), still[i]) << i;
    // Played back: the body lowest on the beat at 1000 ms (frame 60), the arms turned.
    EXPECT_GT(shownPoseAt(*body, 60).position.Y, shownPoseAt(*body, 45).position.Y + 0.05f);
    EXPECT_GT(std::fabs(shownPoseAt(*play.actors()[1], 90).rotation), 0.1f);
    std::vector<std::vector<uint8_t>> danced;
    for (const Actor* a : play.actors()) danced.push_back(bits(a));

    // One Ctrl+Z takes the whole dance back; redo brings it again.
    undo();
    EXPECT_TRUE(tracksAre(still));
    redoY();
    EXPECT_TRUE(tracksAre(danced));

    // Shift+D: the body's own motion becomes the next one, from the tracks before the dance.
    key(KEY_KEY_D, false, true);
    EXPECT_TRUE(says("1-body sways on the beats")) << editor().statusLine().newest();
    EXPECT_FALSE(tracksAre(danced));
    undo();
    EXPECT_TRUE(tracksAre(danced));
}

TEST_F(EditorTest, ProblemsStayOnTheStatusLineAndUnprotectedWorkRaisesTheAlarmUntilItIsWrittenAgain) {
    writeMusic(1.0);  // a plain tone: the tracker finds no beats in it
    addActor("a", rampTrack(30, 2.f, 0.f, 3.f));
    addActor("b", rampTrack(30, 8.f, 0.f, 3.f));
    std::vector<uint8_t> damaged = fileBytes("data/actors/b.data");
    damaged[4] = 3;  // a version newer than this program reads
    std::ofstream("data/actors/b.data", std::ios::binary)
        .write(reinterpret_cast<const char*>(damaged.data()), std::streamsize(damaged.size()));
    testing::internal::CaptureStderr();
    enableEditing(state);
    ASSERT_TRUE(initState());
    state.enter();
    const std::string unreadable = "data/actors/b.data cannot be read: version 3";
    EXPECT_NE(editor().statusMessage().find(unreadable), std::string::npos) << editor().statusMessage();
    // Later news does not push the problem off the line; an empty grid is not "Beats found".
    editor().waitForBeats();
    EXPECT_TRUE(editor().beatTimes().empty());
    EXPECT_NE(editor().statusMessage().find("found no beats"), std::string::npos) << editor().statusMessage();
    EXPECT_EQ(editor().statusMessage().find("Beats found"), std::string::npos) << editor().statusMessage();
    EXPECT_NE(editor().statusMessage().find(unreadable), std::string::npos) << editor().statusMessage();

    // The recovery file cannot be written (a folder stands in its place): the alarm names it.
    const std::string recovery = recoveryFilePath(ACTOR_DIRECTORY);
    fs::create_directories(fs::path(recovery) / "x");
    click(wx(2.f, 3.f), wy(2.f, 3.f));
    drag(stageX(), stageY(), 40, 0);
    ASSERT_TRUE(editor().hasUnsavedEdits());
    ASSERT_TRUE(stepUntil([&] { return !editor().statusLine().alarm().empty(); }));
    EXPECT_NE(editor().statusLine().alarm().find("not protected"), std::string::npos);
    EXPECT_NE(editor().statusLine().alarm().find(recovery), std::string::npos) << editor().statusLine().alarm();
    // Later news does not hide it.
    key(KEY_KEY_O);
    key(KEY_F1);
    EXPECT_NE(editor().statusMessage().find(recovery), std::string::npos);
    // Once the file can be written again, the alarm ends by itself.
    fs::remove_all(recovery);
    ASSERT_TRUE(stepUntil([&] { return editor().statusLine().alarm().empty(); }));
    EXPECT_TRUE(fs::is_regular_file(recovery));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.find(kRigRecoveryFileName), std::string::npos) << "the rig was never edited: " << said;
}

}  // namespace
}  // namespace state_test
