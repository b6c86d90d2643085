// The editor panel's click areas and actions, and selecting and dragging actors.
#include <cerrno>
#include <cstring>

#include "StateTestSupport.h"
#include "text/BitmapFont.h"
#include "ui/SliderSkin.h"

namespace state_test {
namespace {

class PanelTest : public MainStateTest {
protected:
    // Height of the slider rows (the thumb picture) plus the gap.
    float rowH() const { return play.image(SKIN_SLIDER_THUMB)->height() + 2.f; }
    // Top of the first property row (just below the timeline row and the frame numbers).
    float firstPropertyRowY() const {
        return 720.f + rowH() + play.font()->scaledLineHeight(0.5f);
    }
    // Reads the data file of an actor as this program wrote it.
    ActorData savedData(const std::string& name) {
        std::ifstream in(folder / "data" / "actors" / (name + ".data"), std::ios::binary);
        ActorData data;
        EXPECT_EQ(readActorData(in, data), ActorDataStatus::Complete) << name;
        return data;
    }
    // Drags from (x, y) by (dx, dy) pixels in steps of one tenth, then releases.
    void drag(int x, int y, int dx, int dy) {
        moveTo(x, y);
        press(x, y);
        for (int i = 1; i <= 10; ++i) moveTo(x + dx * i / 10, y + dy * i / 10);
        release(x + dx, y + dy);
    }
};

TEST_F(PanelTest, ClicksCycleThroughOverlappingActorsButNotWhilePlaying) {
    writeMusic(2.0);
    addActor("a", rampTrack(10, 4.f, 0.f, 4.f));
    addActor("b", rampTrack(10, 4.25f, 0.f, 4.f));
    addActor("c", rampTrack(10, 10.f, 0.f, 4.f));
    ASSERT_TRUE(initState());
    Actor* a = play.actors()[0];
    Actor* b = play.actors()[1];
    ASSERT_EQ(a->name, "a");
    ASSERT_EQ(b->name, "b");
    const int x = px(4.1f), y = px(4.f);
    click(x, y);
    EXPECT_EQ(play.selectedActor(), a);
    EXPECT_EQ(play.pickList(), (std::vector<Actor*>{a, b}));
    click(x, y);
    EXPECT_EQ(play.selectedActor(), b);
    // Within 2 pixels of the press it is still a click.
    moveTo(x, y);
    press(x, y);
    release(x + 2, y);
    EXPECT_EQ(play.selectedActor(), a);
    // Three pixels away it is a drag: the selection stays.
    moveTo(x, y);
    press(x, y);
    release(x + 3, y);
    EXPECT_EQ(play.selectedActor(), a);
    // While playing a click selects nothing.
    clickPlay();
    ASSERT_TRUE(play.playing());
    click(x, y);
    click(x, y);
    EXPECT_EQ(play.selectedActor(), a);
    click(px(12.f), px(8.f));
    EXPECT_EQ(play.selectedActor(), a);
}

TEST_F(PanelTest, HitAreaIsTheUnscaledPictureIncludingItsEdges) {
    writeMusic(0.5);
    std::vector<ActorPose> track = rampTrack(3, 4.f, 0.f, 4.f);
    for (ActorPose& p : track) p.scale.set(3.f, 3.f);  // scale does not widen the hit area
    addActor("a", track);
    ASSERT_TRUE(initState());
    // The picture is 80 pixels wide, centred on scene x 4: from pixel 280 to 360 inclusive.
    click(360, 320);
    EXPECT_EQ(play.selectedActor(), play.actors()[0]);
    click(361, 320);
    EXPECT_EQ(play.selectedActor(), nullptr);
    click(280, 280);
    EXPECT_EQ(play.selectedActor(), play.actors()[0]);
    click(279, 320);
    EXPECT_EQ(play.selectedActor(), nullptr);
    EXPECT_TRUE(play.pickList().empty());
    // A press on empty space with nothing selected drags nothing.
    press(600, 600);
    EXPECT_EQ(play.draggedActor(), nullptr);
    release(600, 600);
}

TEST_F(PanelTest, DraggingEightyPixelsMovesOneUnitFromTheCurrentFrameOn) {
    writeMusic(0.5);
    addActor("a", rampTrack(10, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    Actor* a = play.actors()[0];
    click(px(2.f), px(3.f));
    ASSERT_EQ(play.selectedActor(), a);
    play.setCurrentFrame(5);
    // The drag starts anywhere outside the widgets.
    drag(600, 400, 80, 0);
    EXPECT_EQ(play.selectedActor(), a);
    EXPECT_EQ(play.draggedActor(), nullptr);
    ASSERT_EQ(a->poses.size(), 10u);
    for (int i = 0; i < 5; ++i) EXPECT_FLOAT_EQ(a->poses[size_t(i)].position.X, 2.f) << i;
    for (int i = 5; i < 10; ++i) EXPECT_NEAR(a->poses[size_t(i)].position.X, 3.f, 1e-4) << i;
    for (const ActorPose& p : a->poses) {
        EXPECT_FLOAT_EQ(p.position.Y, 3.f);
        EXPECT_FLOAT_EQ(p.scale.X, 1.f);
        EXPECT_FLOAT_EQ(p.rotation, 0.f);
    }
    // After the release, motion moves nothing.
    moveTo(700, 500);
    EXPECT_NEAR(a->poses[9].position.X, 3.f, 1e-4);
}

TEST_F(PanelTest, WhilePlayingDragsMoveNothing) {
    writeMusic(2.0);
    addActor("a", rampTrack(100, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    click(px(2.f), px(3.f));
    ASSERT_NE(play.selectedActor(), nullptr);
    clickPlay();
    drag(600, 400, 80, 40);
    for (const ActorPose& p : play.actors()[0]->poses) EXPECT_FLOAT_EQ(p.position.X, 2.f);
}

TEST_F(PanelTest, DraggingPastTheTrackPadsItWithItsLastPose) {
    writeMusic(0.5);
    addActor("a", rampTrack(10, 2.f, 0.1f, 3.f));
    ASSERT_TRUE(initState());
    Actor* a = play.actors()[0];
    click(px(2.f), px(3.f));
    ASSERT_EQ(play.selectedActor(), a);
    play.setCurrentFrame(300);
    drag(600, 400, 80, 0);
    ASSERT_EQ(a->poses.size(), 301u);
    const float last = 2.f + 0.1f * 9.f;
    for (size_t i = 9; i < 300; ++i) EXPECT_FLOAT_EQ(a->poses[i].position.X, last) << i;
    EXPECT_NEAR(a->poses[300].position.X, last + 1.f, 1e-4);
    EXPECT_FLOAT_EQ(a->poses[0].position.X, 2.f);
}

TEST_F(PanelTest, RecordingWhileDraggingRecordsThePathFrameByFrame) {
    writeMusic(3.0);
    addActor("a", rampTrack(30, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    Actor* a = play.actors()[0];
    click(px(2.f), px(3.f));
    ASSERT_EQ(play.selectedActor(), a);
    play.setCurrentFrame(10);
    clickRec();
    ASSERT_TRUE(play.recording());
    moveTo(600, 400);
    press(600, 400);
    for (int i = 1; i <= 5; ++i) {
        state.update(16);
        moveTo(600 + 8 * i, 400);  // 0.1 scene units at frames 11 to 15
    }
    release(640, 400);
    clickStop();
    EXPECT_FALSE(play.recording());
    EXPECT_EQ(play.currentFrame(), 15);
    for (int f = 0; f <= 10; ++f) EXPECT_FLOAT_EQ(a->poses[size_t(f)].position.X, 2.f) << f;
    for (int f = 11; f <= 15; ++f)
        EXPECT_NEAR(a->poses[size_t(f)].position.X, 2.f + 0.1f * float(f - 10), 1e-4) << f;
    for (int f = 16; f < 30; ++f) EXPECT_NEAR(a->poses[size_t(f)].position.X, 2.5f, 1e-4) << f;
}

TEST_F(PanelTest, BindScaleMakesHFollowWFromTheCurrentFrameOn) {
    writeMusic(0.5);
    std::vector<ActorPose> track = rampTrack(10, 2.f, 0.f, 3.f);
    for (size_t i = 0; i < track.size(); ++i) track[i].scale.set(1.5f, i < 6 ? 1.f : 2.f);
    writePicture("a.png", 80, 80);
    writeTrack("a", track, true, false);
    ASSERT_TRUE(initState());
    Actor* a = play.actors()[0];
    ASSERT_TRUE(a->bindScale);
    play.select(a);
    play.setCurrentFrame(4);
    // One pass in which no widget changes anything.
    moveTo(900, 600);
    press(900, 600);
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(a->poses[size_t(i)].scale.Y, 1.f) << i;
    EXPECT_FLOAT_EQ(a->poses[4].scale.Y, 1.5f);
    EXPECT_FLOAT_EQ(a->poses[5].scale.Y, 1.5f);
    for (int i = 6; i < 10; ++i) EXPECT_FLOAT_EQ(a->poses[size_t(i)].scale.Y, 2.5f) << i;
    for (const ActorPose& p : a->poses) EXPECT_FLOAT_EQ(p.scale.X, 1.5f);
    // The next pass finds H equal to W: nothing more changes.
    release(900, 600);
    EXPECT_FLOAT_EQ(a->poses[6].scale.Y, 2.5f);
}

TEST_F(PanelTest, WithoutBindScaleAPassChangesNothing) {
    writeMusic(0.5);
    std::vector<ActorPose> track = rampTrack(10, 2.f, 0.f, 3.f);
    for (ActorPose& p : track) p.scale.set(1.5f, 1.f);
    addActor("a", track);
    ASSERT_TRUE(initState());
    play.select(play.actors()[0]);
    play.setCurrentFrame(4);
    press(900, 600);
    release(900, 600);
    for (const ActorPose& p : play.actors()[0]->poses) {
        EXPECT_FLOAT_EQ(p.scale.Y, 1.f);
        EXPECT_FLOAT_EQ(p.position.X, 2.f);
    }
}

TEST_F(PanelTest, TheWobbleBoxTogglesTheFlag) {
    writeMusic(0.5);
    addActor("a", rampTrack(1));
    ASSERT_TRUE(initState());
    Actor* a = play.actors()[0];
    play.select(a);
    // Frame count 1: no timeline; rows X, Y, rot, W, H, then the wobble box.
    const float y = firstPropertyRowY() + 5.f * rowH();
    click(4, int(y) + 4);
    EXPECT_TRUE(a->wobble);
    EXPECT_TRUE(play.uiOwnsMouse());
    EXPECT_EQ(play.selectedActor(), a);  // the click belonged to the panel
    click(4, int(y) + 4);
    EXPECT_FALSE(a->wobble);
    // The "Bind scale" box sits left of the H row, off the screen's left edge.
    const float checkW = play.checkBoxSkin()->width();
    click(int(-12.f - checkW) + 4, int(firstPropertyRowY() + 4.f * rowH()) + 4);
    EXPECT_TRUE(a->bindScale);
}

TEST_F(PanelTest, ResetCutsTheTrackAfterTheCurrentFrame) {
    writeMusic(0.5);
    addActor("a", rampTrack(100, 2.f, 0.01f, 3.f));
    ASSERT_TRUE(initState());
    Actor* a = play.actors()[0];
    play.select(a);
    play.setCurrentFrame(99);
    clickReset();
    EXPECT_EQ(a->poses.size(), 100u);  // at the last frame nothing goes
    play.setCurrentFrame(5);
    clickReset();
    ASSERT_EQ(a->poses.size(), 6u);
    EXPECT_FLOAT_EQ(a->poses[5].position.X, 2.05f);
    // The actor keeps the pose of the cut frame for the rest of the animation.
    EXPECT_FLOAT_EQ(a->poseAt(80).position.X, 2.05f);
    EXPECT_EQ(play.frameCount(), 100);
    EXPECT_EQ(play.selectedActor(), a);
    // Without a selection there is no "Reset>>" button.
    play.select(nullptr);
    play.setCurrentFrame(2);
    clickReset();
    EXPECT_EQ(a->poses.size(), 6u);
}

TEST_F(PanelTest, WithOneFrameTheFirstPropertyRowHasId1001) {
    writeMusic(0.5);
    addActor("a", rampTrack(1));
    ASSERT_TRUE(initState());
    ASSERT_EQ(play.frameCount(), 1);
    play.select(play.actors()[0]);
    const int y = int(firstPropertyRowY()) + 4;
    moveTo(600, y);
    press(600, y);
    EXPECT_EQ(play.ui().activeId(), 1001);
    EXPECT_TRUE(play.uiOwnsMouse());
    release(600, y);
    // Pressing the X row moved the actor to the value under the pointer (from frame 0 on).
    const float expected = play.sliderSkin()->floatValueAt(play.ui(), UI_HORIZONTAL, -4.f, 20.f,
                                                          600.f, float(y), RectF(0, 0, 1280, 16));
    EXPECT_NEAR(play.actors()[0]->poses[0].position.X, expected, 1e-4);
}

TEST_F(PanelTest, WithATimelineItTakesId1001AndTheRowsFollow) {
    writeMusic(0.5);
    addActor("a", rampTrack(2));
    ASSERT_TRUE(initState());
    play.select(play.actors()[0]);
    moveTo(600, 724);
    press(600, 724);
    EXPECT_EQ(play.ui().activeId(), 1001);
    release(600, 724);
    const int y = int(firstPropertyRowY()) + 4;
    moveTo(600, y);
    press(600, y);
    EXPECT_EQ(play.ui().activeId(), 1002);
    release(600, y);
}

TEST_F(PanelTest, TheTimelineSeeksTheFrameAndTheMusic) {
    writeMusic(5.0);
    addActor("a", rampTrack(250));
    ASSERT_TRUE(initState());
    const int x = 700, y = 724;
    const int expected = play.sliderSkin()->intValueAt(play.ui(), UI_HORIZONTAL, 0, 249, float(x),
                                                      float(y), RectF(0, 720, 1280, 16));
    ASSERT_GT(expected, 0);
    moveTo(x, y);
    press(x, y);
    EXPECT_EQ(play.currentFrame(), expected);
    EXPECT_EQ(tumeloraStreamPositionMs(musicStream), musicTimeOfFrame(expected));
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));  // it stays stopped
    // The release pass reads the pointer where the drag along the timeline left it.
    moveTo(0, y);
    release(0, y);
    EXPECT_EQ(play.currentFrame(), 0);
    EXPECT_EQ(tumeloraStreamPositionMs(musicStream), 0);
    EXPECT_FALSE(play.playing());
}

TEST_F(PanelTest, PlayAndRecStartTheMusicAtTheTimeOfTheFrame) {
    writeMusic(4.0);
    addActor("a", rampTrack(200));
    ASSERT_TRUE(initState());
    play.setCurrentFrame(120);
    clickPlay();
    ASSERT_TRUE(play.playing());
    EXPECT_TRUE(tumeloraStreamIsPlaying(musicStream));
    int ms = tumeloraStreamPositionMs(musicStream);
    EXPECT_GE(ms, 2000);
    EXPECT_LT(ms, 2500);
    clickStop();
    EXPECT_FALSE(play.playing());
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
    EXPECT_EQ(play.currentFrame(), 120);  // "Stop" leaves the frame
    play.setCurrentFrame(7);
    clickRec();
    ASSERT_TRUE(play.recording());
    ms = tumeloraStreamPositionMs(musicStream);
    EXPECT_GE(ms, 116);
    EXPECT_LT(ms, 616);
    clickStop();
    EXPECT_FALSE(play.recording());
    EXPECT_FALSE(play.playing());
    EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
}

// At or past the music's end, "Play", "Rec" and the timeline leave the music silent at its
// end (it does not start over, and its end does not end the program) while the frames run on.
TEST_F(PanelTest, PastTheMusicsEndPlayRecAndTheTimelineLeaveItSilent) {
    writeMusic(1.0);  // 60 frames of music
    addActor("a", rampTrack(250));
    ASSERT_TRUE(initState());
    const int64_t end = tumeloraStreamLengthFrames(musicStream);
    auto silentAtTheEnd = [&](const char* what) {
        SCOPED_TRACE(what);
        const uint64_t heard = tumeloraSoundMusicFramesPlayed();
        const int frame = play.currentFrame();
        for (int i = 0; i < 10; ++i) state.update(16);
        EXPECT_EQ(play.currentFrame(), frame + 10) << "the frames run on";
        const uint64_t target = tumeloraSoundFramesPlayed() + 4096;
        while (tumeloraSoundFramesPlayed() < target) usleep(2000);
        EXPECT_EQ(tumeloraSoundMusicFramesPlayed(), heard) << "the music started over";
        EXPECT_FALSE(tumeloraStreamIsPlaying(musicStream));
        EXPECT_EQ(tumeloraStreamPositionFrames(musicStream), end);
        EXPECT_FALSE(musicEnded);
        EXPECT_TRUE(app->isRunning());
    };
    play.setCurrentFrame(60);  // exactly the music's end
    clickPlay();
    ASSERT_TRUE(play.playing());
    silentAtTheEnd("Play");
    clickStop();
    play.setCurrentFrame(100);
    clickRec();
    ASSERT_TRUE(play.recording());
    silentAtTheEnd("Rec");
    clickStop();
    // Playing from the start, the timeline moved past the end stops the music there.
    play.setCurrentFrame(0);
    clickPlay();
    ASSERT_TRUE(tumeloraStreamIsPlaying(musicStream));
    const int x = 1200, y = 724;
    moveTo(x, y);
    press(x, y);
    release(x, y);
    ASSERT_GT(play.currentFrame(), 60);
    ASSERT_TRUE(play.playing());
    silentAtTheEnd("timeline");
}

TEST_F(PanelTest, RewindGoesToFrameZero) {
    writeMusic(0.5);
    addActor("a", rampTrack(200));
    ASSERT_TRUE(initState());
    play.setCurrentFrame(150);
    clickRewind();
    EXPECT_EQ(play.currentFrame(), 0);
    EXPECT_FALSE(play.playing());
}

TEST_F(PanelTest, APressOnAWidgetStartsNoDrag) {
    writeMusic(0.5);
    addActor("a", rampTrack(10, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    click(px(2.f), px(3.f));
    ASSERT_NE(play.selectedActor(), nullptr);
    moveTo(5, int(720.f - rowStep()) + 5);
    press(5, int(720.f - rowStep()) + 5);
    EXPECT_TRUE(play.uiOwnsMouse());
    EXPECT_EQ(play.draggedActor(), nullptr);
    moveTo(85, int(720.f - rowStep()) + 5);
    release(85, int(720.f - rowStep()) + 5);
    for (const ActorPose& p : play.actors()[0]->poses) EXPECT_FLOAT_EQ(p.position.X, 2.f);
}

// A press acts where it happens, also without a motion event before it: on "Save" it belongs
// to the panel and starts no drag; after a drag no motion moves the actor once the buttons are up.
TEST_F(PanelTest, APressActsWhereItHappensAndNoDragOutlivesItsButtons) {
    writeMusic(0.5);
    addActor("a", rampTrack(10, 2.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    click(px(2.f), px(3.f));
    ASSERT_NE(play.selectedActor(), nullptr);
    const int saveY = int(720.f - rowStep()) + 5;
    press(5, saveY);  // the pointer was last seen over the actor
    EXPECT_TRUE(play.uiOwnsMouse());
    EXPECT_EQ(play.draggedActor(), nullptr);
    moveTo(85, saveY);
    release(85, saveY);
    for (const ActorPose& p : play.actors()[0]->poses) EXPECT_FLOAT_EQ(p.position.X, 2.f);
    // A drag with a second button pressed over a widget: once both are up nothing follows.
    moveTo(600, 400);
    press(600, 400);
    mouse(EMIE_RMOUSE_PRESSED_DOWN, 5, saveY);
    mouse(EMIE_RMOUSE_LEFT_UP, 5, saveY);
    release(5, saveY);
    const float x = play.actors()[0]->poses[0].position.X;
    moveTo(700, 400);
    EXPECT_EQ(play.draggedActor(), nullptr);
    EXPECT_FLOAT_EQ(play.actors()[0]->poses[0].position.X, x);
}

TEST_F(PanelTest, SaveWritesEveryActorAndABlockedFileKeepsWhatIsThere) {
    writeMusic(0.5);
    addActor("a", rampTrack(10, 2.f, 0.f, 3.f));
    addActor("b", rampTrack(4, 6.f, 0.f, 3.f));
    addActor("c", rampTrack(3, 9.f, 0.f, 3.f));
    ASSERT_TRUE(initState());
    ASSERT_EQ(play.actors().size(), 3u);
    // c's data file cannot be replaced: a folder with something in it took its place.
    fs::remove(folder / "data" / "actors" / "c.data");
    fs::create_directories(folder / "data" / "actors" / "c.data");
    std::ofstream(folder / "data" / "actors" / "c.data" / "keep") << "kept";
    Actor* a = play.actors()[0];
    click(px(2.f), px(3.f));
    ASSERT_EQ(play.selectedActor(), a);
    play.setCurrentFrame(4);
    drag(600, 400, 80, 0);
    play.actors()[1]->wobble = true;
    testing::internal::CaptureStderr();
    clickSave();
    // The file that was not written is named with its reason; the others are written.
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "Not saved: data/actors/c.data: cannot put it in place: " +
                        std::string(std::strerror(EISDIR)) + "\n");
    const SaveReport report = state.saveActors();
    EXPECT_EQ(report.saved, 2);
    ASSERT_EQ(report.failures.size(), 1u);
    EXPECT_EQ(report.failures[0] + "\n", said.substr(std::strlen("Not saved: ")));
    const ActorData da = savedData("a");
    ASSERT_EQ(da.poses.size(), 10u);
    for (size_t i = 0; i < 10; ++i)
        EXPECT_FLOAT_EQ(da.poses[i].position.X, a->poses[i].position.X) << i;
    EXPECT_FLOAT_EQ(da.poses[3].position.X, 2.f);
    EXPECT_NEAR(da.poses[4].position.X, 3.f, 1e-4);
    const ActorData db = savedData("b");
    EXPECT_EQ(db.poses.size(), 4u);
    EXPECT_TRUE(db.wobble);
    EXPECT_FALSE(db.bindScale);
    EXPECT_TRUE(fs::is_directory(folder / "data" / "actors" / "c.data"));
    EXPECT_EQ(fileBytes(folder / "data" / "actors" / "c.data" / "keep").size(), 4u);
    // No temporary file is left behind.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(folder / "data" / "actors")) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 6);
}

TEST_F(PanelTest, ADamagedTrackIsNamedAndSaveLeavesItUntilItsActorIsEditedThenKeepsItAside) {
    writeMusic(0.5);
    addActor("a", rampTrack(10, 2.f, 0.f, 3.f));
    // One byte of the magic damaged: the loader refuses the file, which one byte would mend.
    const fs::path track = folder / "data" / "actors" / "a.data";
    std::vector<uint8_t> damaged = fileBytes(track);
    damaged[0] = 'X';
    std::ofstream(track, std::ios::binary).write(reinterpret_cast<const char*>(damaged.data()),
                                                 std::streamsize(damaged.size()));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(initState());
    const std::string atLoad = testing::internal::GetCapturedStderr();
    EXPECT_NE(atLoad.find("data/actors/a.data cannot be read: not a track file"), std::string::npos) << atLoad;
    ASSERT_EQ(play.loadProblems().size(), 1u);
    EXPECT_NE(play.loadProblems()[0].find("data/actors/a.data"), std::string::npos);

    // "Save" without an edit of the actor leaves the file as it is, and says so.
    testing::internal::CaptureStderr();
    clickSave();
    const std::string atSave = testing::internal::GetCapturedStderr();
    EXPECT_EQ(fileBytes(track), damaged);
    EXPECT_NE(atSave.find("data/actors/a.data left as it is"), std::string::npos) << atSave;

    // Once the actor is edited, "Save" writes its track, the damaged file kept beside it.
    play.select(play.actors()[0]);  // its default pose lies off the stage, out of a click's reach
    drag(600, 400, 80, 0);
    ASSERT_EQ(play.actors()[0]->poses.front().position.X, 0.f);
    const SaveReport report = state.saveActors();
    EXPECT_EQ(report.saved, 1);
    ASSERT_EQ(report.notes.size(), 1u);
    EXPECT_NE(report.notes[0].find("kept as data/actors/a.data.unreadable"), std::string::npos) << report.notes[0];
    EXPECT_EQ(fileBytes(folder / "data" / "actors" / "a.data.unreadable"), damaged);
    EXPECT_EQ(savedData("a").poses.size(), 1u);
}

}  // namespace
}  // namespace state_test
