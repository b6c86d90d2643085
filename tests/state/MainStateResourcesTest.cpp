// Loading, the actor scan, the failure cases of start-up, stepping, music end and keys.
#include <algorithm>
#include <chrono>
#include <thread>

#include "StateTestSupport.h"
#include "platform/Ticks.h"
#include "render/PictureLimits.h"

namespace state_test {
namespace {

std::vector<std::string> namesOf(const std::vector<Actor*>& actors) {
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(a->name);
    return names;
}

TEST_F(MainStateTest, InitLoadsFontSkinsActorsAndMusic) {
    writeMusic(1.0);
    addActor("dog", rampTrack(10));
    addActor("cat", rampTrack(250));
    addActor("owl", rampTrack(40));
    ASSERT_TRUE(initState());
    ASSERT_NE(play.font(), nullptr);
    ASSERT_NE(play.buttonSkin(), nullptr);
    ASSERT_NE(play.sliderSkin(), nullptr);
    ASSERT_NE(play.checkBoxSkin(), nullptr);
    EXPECT_EQ(play.app(), app);
    // Ten skin pictures, then one per actor, in load order.
    ASSERT_EQ(play.imageCount(), size_t(SKIN_PICTURE_COUNT + 3));
    for (int i = 0; i < SKIN_PICTURE_COUNT; ++i) EXPECT_NE(play.image(size_t(i)), nullptr) << i;
    for (size_t i = 0; i < play.actors().size(); ++i)
        EXPECT_EQ(play.actors()[i]->image, play.image(SKIN_PICTURE_COUNT + i));
    // The longest track sets the animation length.
    EXPECT_EQ(play.frameCount(), 250);
    EXPECT_EQ(play.currentFrame(), 0);
    EXPECT_FALSE(play.playing());
    EXPECT_FALSE(play.recording());
    // The button rows are as high as the button picture, the check boxes as their picture.
    EXPECT_EQ(play.buttonSkin()->height(), play.image(SKIN_BUTTON)->height());
    EXPECT_EQ(play.checkBoxSkin()->height(), play.image(SKIN_CHECKBOX)->height());
    EXPECT_FLOAT_EQ(play.buttonSkin()->textScaleValue(), 0.75f);
    EXPECT_EQ(play.mousePosition(), core::vector2di(640, 360));
    // The music is open, stopped, and as long as the file.
    ASSERT_NE(musicStream, nullptr);
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    EXPECT_NEAR(FSOUND_Stream_GetLengthMs(musicStream), 1000, 30);
    EXPECT_EQ(tumeloraSoundOutputRate(), SOUND_MIX_RATE);
}

TEST_F(MainStateTest, ScanLoadsJpegsBeforePngsAndIgnoresOtherFiles) {
    writeMusic(0.5);
    writePicture("a.JPG", 40, 40);
    writePicture("b.png", 40, 40);
    writePicture("c.jpg", 40, 40);
    writePicture("x.jpeg", 40, 40);
    std::ofstream(folder / "data" / "actors" / "readme") << "not a picture\n";
    fs::create_directories(folder / "data" / "actors" / "folder.png");
    ASSERT_TRUE(initState());
    EXPECT_EQ(namesOf(play.actors()), (std::vector<std::string>{"a", "c", "b"}));
    EXPECT_EQ(play.imageCount(), size_t(SKIN_PICTURE_COUNT + 3));
    // Without data files every actor has the single default pose.
    EXPECT_EQ(play.frameCount(), 1);
    for (const Actor* a : play.actors()) {
        EXPECT_EQ(a->poses.size(), 1u);
        EXPECT_FLOAT_EQ(a->size.X, 0.5f);
    }
}

// a.jpg and a.PNG would share a.data: the first one loads, the second is skipped with a
// message naming both, and a "Save" writes only the first one's track.
TEST_F(MainStateTest, ASecondPictureWithTheSameNameIsSkippedAndTold) {
    writeMusic(0.5);
    writePicture("a.jpg", 40, 40);
    writePicture("a.PNG", 80, 80);
    writeTrack("a", rampTrack(7, 2.f, 0.1f, 3.f));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(initState());
    const std::string said = testing::internal::GetCapturedStderr();
    ASSERT_EQ(play.actors().size(), 1u);
    EXPECT_FLOAT_EQ(play.actors()[0]->size.X, 0.5f);  // the 40-pixel JPEG
    EXPECT_EQ(play.imageCount(), size_t(SKIN_PICTURE_COUNT + 1));
    EXPECT_NE(said.find("data/actors/a.PNG is not loaded: data/actors/a.jpg already uses its "
                        "data file data/actors/a.data."),
              std::string::npos)
        << said;
    EXPECT_EQ(state.saveActors().saved, 1);
    std::ifstream in(folder / "data" / "actors" / "a.data", std::ios::binary);
    ActorData data;
    ASSERT_EQ(readActorData(in, data), ActorDataStatus::Complete);
    EXPECT_EQ(data.poses.size(), 7u);
}

TEST_F(MainStateTest, AnUndecodablePictureIsSkippedAndTheRestLoads) {
    writeMusic(0.5);
    addActor("good", rampTrack(30));
    std::ofstream(folder / "data" / "actors" / "broken.png", std::ios::binary)
        << "\x89PNG\r\n\x1a\n garbage that is no picture";
    std::ofstream(folder / "data" / "actors" / "empty.jpg", std::ios::binary);
    writePicture("wide.png", PICTURE_MAX_SIDE_PIXELS + 1, 1);
    ASSERT_TRUE(initState());
    EXPECT_EQ(namesOf(play.actors()), (std::vector<std::string>{"good"}));
    EXPECT_EQ(play.imageCount(), size_t(SKIN_PICTURE_COUNT + 1));
    EXPECT_EQ(play.frameCount(), 30);
    // Each skipped picture is named with its reason (the limit holds for pictures put in by hand).
    std::vector<std::string> told = play.loadProblems();
    std::sort(told.begin(), told.end());
    EXPECT_EQ(told, (std::vector<std::string>{
                        "data/actors/broken.png is not loaded: the picture is damaged or cut short",
                        "data/actors/empty.jpg is not loaded: the file is empty",
                        "data/actors/wide.png is not loaded: 8193 x 1 pixels: pictures may have up to 8192 "
                        "pixels a side"}));
}

TEST_F(MainStateTest, WithoutActorFolderThereAreNoActorsAndOneFrame) {
    writeMusic(0.5);
    fs::remove_all(folder / "data" / "actors");
    // Pictures in the working folder itself are not actors.
    fs::copy_file(folder / "data" / "button.png", folder / "stray.png");
    ASSERT_TRUE(initState());
    EXPECT_TRUE(play.actors().empty());
    EXPECT_EQ(play.frameCount(), 1);
    EXPECT_EQ(fs::current_path(), folder);
}

TEST_F(MainStateTest, WithoutFontInitFailsAfterTheSoundWasSetUp) {
    writeMusic(0.5);
    addActor("dog", rampTrack(3));
    fs::remove(folder / "data" / "droid30.fnt");
    EXPECT_FALSE(initState());
    // Nothing after the font was loaded; sound and music were.
    EXPECT_EQ(play.imageCount(), 0u);
    EXPECT_TRUE(play.actors().empty());
    EXPECT_EQ(play.buttonSkin(), nullptr);
    EXPECT_NE(musicStream, nullptr);
    // shutdown (in TearDown) releases the half-loaded state: LeakSanitizer checks it.
}

TEST_F(MainStateTest, AMissingSkinPictureIsNullAndThePanelStillRuns) {
    writeMusic(0.5);
    addActor("dog", rampTrack(20));
    for (int i : {SKIN_BUTTON, SKIN_SLIDER_BASE, SKIN_SLIDER_THUMB, SKIN_CHECKBOX_CHECK})
        fs::remove(folder / SKIN_PICTURE_FILES[i]);
    ASSERT_TRUE(initState());
    EXPECT_EQ(play.image(SKIN_BUTTON), nullptr);
    EXPECT_EQ(play.image(SKIN_SLIDER_BASE), nullptr);
    EXPECT_NE(play.image(SKIN_BUTTON_HOT), nullptr);
    // The button skin takes its size from the next picture.
    EXPECT_EQ(play.buttonSkin()->height(), play.image(SKIN_BUTTON_HOT)->height());
    // With the actor selected, a press and a release run passes over every row.
    play.select(play.actors()[0]);
    play.setCurrentFrame(5);
    moveTo(600, 730);
    press(600, 730);
    release(600, 730);
    EXPECT_EQ(play.actors()[0]->poses.size(), 20u);
    // The buttons still work.
    clickPlay();
    EXPECT_TRUE(play.playing());
}

TEST_F(MainStateTest, WithoutMusicFileInitSucceedsWithoutStream) {
    addActor("dog", rampTrack(5));
    ASSERT_TRUE(initState());
    EXPECT_EQ(musicStream, nullptr);
    // Playback still runs to the end.
    clickPlay();
    ASSERT_TRUE(play.playing());
    for (int i = 0; i < 10; ++i) state.update(16);
    EXPECT_FALSE(play.playing());
    EXPECT_EQ(play.currentFrame(), 4);
}

TEST_F(MainStateTest, WithoutAudioDeviceInitSucceedsAndTheMusicCannotPlay) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    writeMusic(0.5);
    addActor("dog", rampTrack(5));
    ASSERT_TRUE(initState());
    EXPECT_EQ(tumeloraSoundOutputRate(), 0);
    // The stream still opens; playing it fails quietly and the animation runs.
    clickPlay();
    EXPECT_TRUE(play.playing());
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
}

TEST_F(MainStateTest, EnterPausesHidesThePointerAndStartsMusicAndPlayback) {
    writeMusic(3.0);
    addActor("dog", rampTrack(10));
    ASSERT_TRUE(initState());
    state.update(16);
    const u32 before = device->getTimer()->getRealTime();
    state.enter();
    const u32 after = device->getTimer()->getRealTime();
    EXPECT_GE(after - before, ENTER_PAUSE_MS - 5);
    EXPECT_FALSE(device->getCursorControl()->isVisible());
    EXPECT_EQ(play.elapsedMs(), 0);
    EXPECT_TRUE(play.playing());
    EXPECT_EQ(play.currentFrame(), 0);
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    // No one hears SDL's disk driver: while the music plays, the frames follow the tick clock
    // (the clock closes half of its lag behind the tick), not the disk device's position.
    EXPECT_FALSE(tumeloraSoundIsHeard());
    uint32_t tick = 5000;
    setTickSource([&tick] { return tick; });
    app->resetClock();
    tick += 1000;
    app->smoothClock();
    EXPECT_EQ(app->clock.smoothedTimeMs, 500);
    setTickSource(nullptr);
    state.leave();
}

TEST_F(MainStateTest, TheAudioDelayOfTheSettingsOrTheCommandLineHoldsTheHeardMusicBack) {
    writeMusic(3.0);
    addActor("a", rampTrack(30));
    fs::create_directories(folder / "config" / "tumelora");
    std::ofstream(folder / "config" / "tumelora" / "settings") << "audio-delay-ms 250\n";
    ASSERT_TRUE(initState());
    // The heard music, with and without the delay, read between two plain readings.
    auto delayOf = [&]() {
        double before = 0.0, delayed = 0.0, after = 0.0;
        EXPECT_TRUE(tumeloraStreamHeardMs(musicStream, &before));
        EXPECT_TRUE(play.heardMusicMs(&delayed));
        EXPECT_TRUE(tumeloraStreamHeardMs(musicStream, &after));
        EXPECT_GE(after - before, 0.0);
        return std::make_pair(before - delayed, after - delayed);
    };
    play.play();
    auto [least, most] = delayOf();
    EXPECT_LE(least, 250.0 + 1e-6);
    EXPECT_GE(most, 250.0 - 1e-6);
    play.stop();
    double ms = 0.0;
    EXPECT_FALSE(play.heardMusicMs(&ms)) << "nothing heard while stopped";
    state.shutdown();
    initialised = false;
    // --audio-delay takes the settings' place; garbage in the settings is told and not used.
    std::ofstream(folder / "config" / "tumelora" / "settings") << "audio-delay-ms soon\n";
    MainState other;
    other.setAudioDelayOverride(-40.0);
    ASSERT_TRUE(other.init());
    StateAccess otherPlay(other);
    ASSERT_FALSE(otherPlay.loadProblems().empty());
    EXPECT_NE(otherPlay.loadProblems().front().find("settings: line 1: audio-delay-ms"), std::string::npos)
        << otherPlay.loadProblems().front();
    otherPlay.play();
    double before = 0.0, delayed = 0.0, after = 0.0;
    EXPECT_TRUE(tumeloraStreamHeardMs(musicStream, &before));
    EXPECT_TRUE(otherPlay.heardMusicMs(&delayed));
    EXPECT_TRUE(tumeloraStreamHeardMs(musicStream, &after));
    EXPECT_LE(before - delayed, -40.0 + 1e-6);
    EXPECT_GE(after - delayed, -40.0 - 1e-6);
    other.shutdown();
}

TEST_F(MainStateTest, PlaybackEndsAtTheLastFrameAndStopsTheMusic) {
    writeMusic(6.0);
    addActor("short", rampTrack(10));
    addActor("long", rampTrack(250, 0.f, 0.01f));
    addActor("mid", rampTrack(40));
    ASSERT_TRUE(initState());
    ASSERT_EQ(play.frameCount(), 250);
    clickPlay();
    ASSERT_TRUE(play.playing());
    ASSERT_TRUE(tumeloraStreamIsPlaying(musicStream));
    for (int i = 0; i < 249; ++i) state.update(16);
    EXPECT_EQ(play.currentFrame(), 249);
    EXPECT_TRUE(play.playing());
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    EXPECT_EQ(play.elapsedMs(), 249 * 16);
    state.update(16);
    EXPECT_FALSE(play.playing());
    EXPECT_EQ(play.currentFrame(), 249);
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    // Resting on the last frame: further steps change nothing.
    state.update(16);
    EXPECT_EQ(play.currentFrame(), 249);
    // Every actor eased toward the pose of the frame: the moving one is close behind it.
    const Actor* moving = nullptr;
    for (const Actor* a : play.actors())
        if (a->name == "long") moving = a;
    ASSERT_NE(moving, nullptr);
    EXPECT_NEAR(moving->current.position.X, 2.49f, 0.05f);
}

TEST_F(MainStateTest, RecordingAdvancesThenGrowsTheAnimation) {
    writeMusic(2.0);
    addActor("dog", rampTrack(20));
    ASSERT_TRUE(initState());
    play.setCurrentFrame(17);
    clickRec();
    ASSERT_TRUE(play.recording());
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    state.update(16);
    EXPECT_EQ(play.currentFrame(), 18);
    EXPECT_EQ(play.frameCount(), 20);
    state.update(16);
    // At the end: the frame equals the old length and the length grows by one.
    EXPECT_EQ(play.currentFrame(), 19);
    EXPECT_EQ(play.frameCount(), 20);
    state.update(16);
    EXPECT_EQ(play.currentFrame(), 20);
    EXPECT_EQ(play.frameCount(), 21);
    state.update(16);
    EXPECT_EQ(play.currentFrame(), 21);
    EXPECT_EQ(play.frameCount(), 22);
}

TEST_F(MainStateTest, StoppedStepsLeaveTheFrameButEaseTheActors) {
    writeMusic(0.5);
    std::vector<ActorPose> track = rampTrack(2);
    track[0].position.set(0.f, 0.f);
    track[1].position.set(2.f, 2.f);
    addActor("dog", track);
    ASSERT_TRUE(initState());
    play.setCurrentFrame(1);
    state.update(16);
    EXPECT_EQ(play.currentFrame(), 1);
    EXPECT_FLOAT_EQ(play.actors()[0]->current.position.X, 0.5f);
    EXPECT_FLOAT_EQ(play.actors()[0]->current.position.Y, 0.5f);
}

TEST_F(MainStateTest, TheEndOfTheMusicEndsTheProgramAtTheNextStep) {
    writeMusic(0.25);
    addActor("dog", rampTrack(600));
    ASSERT_TRUE(initState());
    clickPlay();
    ASSERT_TRUE(tumeloraStreamIsPlaying(musicStream));
    // The audio thread reports the end; wait for it (up to 30 s on a busy machine).
    for (int i = 0; i < 3000 && !musicEnded; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(musicEnded) << "the end callback did not run";
    EXPECT_TRUE(app->isRunning());
    state.update(16);
    EXPECT_FALSE(app->isRunning());
}

TEST_F(MainStateTest, MusicEndCallbackSetsTheFlagAndReturnsFalse) {
    musicEnded = false;
    EXPECT_EQ(onMusicEnd(nullptr, nullptr, 0, nullptr), 0);
    EXPECT_TRUE(musicEnded);
}

TEST_F(MainStateTest, MusicTimeOfAFrameIsTruncatedMilliseconds) {
    EXPECT_EQ(musicTimeOfFrame(0), 0);
    EXPECT_EQ(musicTimeOfFrame(7), 116);
    EXPECT_EQ(musicTimeOfFrame(120), 2000);
    EXPECT_EQ(musicTimeOfFrame(1), 16);
}

// Key records as the engine builds them.
SEvent::SKeyInput keyRecord(EKEY_CODE code, wchar_t ch = 0, bool shift = false, bool control = false) {
    SEvent::SKeyInput k{};
    k.Key = code;
    k.Char = ch;
    k.PressedDown = true;
    k.Shift = shift;
    k.Control = control;
    return k;
}

TEST_F(MainStateTest, KeysBecomeUiCommands) {
    writeMusic(0.5);
    ASSERT_TRUE(initState());
    struct Case {
        EKEY_CODE key;
        bool shift;
        UiKeyCommand command;
    };
    const Case cases[] = {
        {KEY_TAB, false, UiKeyCommand::FocusNext},  {KEY_TAB, true, UiKeyCommand::FocusPrevious},
        {KEY_RETURN, false, UiKeyCommand::Activate}, {KEY_LEFT, false, UiKeyCommand::Left},
        {KEY_RIGHT, true, UiKeyCommand::Right},      {KEY_UP, false, UiKeyCommand::Up},
        {KEY_DOWN, false, UiKeyCommand::Down},       {KEY_KEY_A, false, UiKeyCommand::Character},
        {KEY_SPACE, false, UiKeyCommand::Character},
    };
    for (const Case& c : cases) {
        const SEvent::SKeyInput k = keyRecord(c.key, L'a', c.shift, !c.shift);
        EXPECT_FALSE(state.keyDown(&k));
        const UiKeyEvent& e = play.ui().pendingKey();
        EXPECT_EQ(e.command, c.command) << int(c.key);
        EXPECT_EQ(e.character, int(L'a'));
        EXPECT_EQ(e.shift, c.shift);
        EXPECT_EQ(e.control, !c.shift);
        EXPECT_FALSE(e.extra);
        EXPECT_TRUE(app->isRunning());
    }
    const SEvent::SKeyInput up = keyRecord(KEY_TAB);
    EXPECT_FALSE(state.keyUp(&up));
    EXPECT_EQ(play.ui().pendingKey().command, UiKeyCommand::Character);  // unchanged
}

TEST_F(MainStateTest, EscapeReachesTheUiAsACharacterThenEndsTheProgram) {
    writeMusic(0.5);
    ASSERT_TRUE(initState());
    const SEvent::SKeyInput k = keyRecord(KEY_ESCAPE, 27);
    EXPECT_FALSE(state.keyDown(&k));
    EXPECT_EQ(play.ui().pendingKey().command, UiKeyCommand::Character);
    EXPECT_EQ(play.ui().pendingKey().character, 27);
    EXPECT_FALSE(app->isRunning());
}

TEST_F(MainStateTest, ReturnOnTheFocusedStopButtonStopsTheRecording) {
    writeMusic(2.0);
    addActor("dog", rampTrack(20));
    ASSERT_TRUE(initState());
    clickRec();
    ASSERT_TRUE(play.recording());
    EXPECT_EQ(play.ui().focusId(), 1);
    const SEvent::SKeyInput k = keyRecord(KEY_RETURN);
    state.keyDown(&k);
    // The command acts when pressed.
    EXPECT_FALSE(play.recording());
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    // A later click on "Play" plays once: nothing is left over from Return.
    clickPlay();
    EXPECT_TRUE(play.playing());
}

TEST_F(MainStateTest, TheWheelAndKeyReleasesDoNothing) {
    writeMusic(0.5);
    ASSERT_TRUE(initState());
    SEvent::SMouseInput m{};
    m.Event = EMIE_MOUSE_WHEEL;
    m.Wheel = 1.f;
    EXPECT_FALSE(state.mouseWheel(&m));
    EXPECT_FALSE(play.playing());
    EXPECT_EQ(play.currentFrame(), 0);
}

TEST_F(MainStateTest, ShutdownReleasesEverythingAndClosesTheSound) {
    writeMusic(0.5);
    addActor("dog", rampTrack(5));
    ASSERT_TRUE(initState());
    play.select(play.actors()[0]);
    state.shutdown();
    EXPECT_EQ(play.imageCount(), 0u);
    EXPECT_TRUE(play.actors().empty());
    EXPECT_EQ(play.font(), nullptr);
    EXPECT_EQ(play.buttonSkin(), nullptr);
    EXPECT_EQ(play.selectedActor(), nullptr);
    EXPECT_EQ(musicStream, nullptr);
    EXPECT_EQ(tumeloraSoundOutputRate(), 0);
    // A second shutdown (TearDown) finds nothing left to release.
}

}  // namespace
}  // namespace state_test
