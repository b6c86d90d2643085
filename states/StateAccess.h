#pragma once
// The declared way into the playing state for what extends it (the editor), for the export and
// for the tests: what they may read, and what they may change. Everything else of MainState is
// its own. A change made here is a plain change of that value; the rules around it (the music
// following the frame, the panel's edits) are the caller's to keep, with the operations below
// that keep them.
//
//   StateAccess play(state);
//   if (!play.playing()) play.seek(0);
#include <irrlicht.h>

#include <string>
#include <vector>

#include "states/MainState.h"

class MainState::Access {
public:
    // Reads and changes state, which must outlive this.
    explicit Access(MainState& state) : s(state) {}

    // --- What may be read -----------------------------------------------------------------
    // The application the state runs in (null before init).
    Application* app() const { return s.app; }
    // Where the state's files are.
    const ScenePaths& paths() const { return s.paths; }
    // The actors in actor order (the state owns them).
    const std::vector<Actor*>& actors() const { return s.actors; }
    // The frame shown and the animation's length in frames.
    int currentFrame() const { return s.currentFrame; }
    int frameCount() const { return s.frameCount; }
    // The two modes: playback, and recording (a take).
    bool playing() const { return s.playing; }
    bool recording() const { return s.recording; }
    // The selected actor, the one that mouse motion moves, and the last click's hits.
    Actor* selectedActor() const { return s.selectedActor; }
    Actor* draggedActor() const { return s.draggedActor; }
    const std::vector<Actor*>& pickList() const { return s.pickList; }
    // True when the panel took the last press.
    bool uiOwnsMouse() const { return s.uiOwnsMouse; }
    // The last pointer position and that of the last press, in window pixels.
    irr::core::vector2di mousePosition() const { return s.mousePosition; }
    irr::core::vector2di pressPosition() const { return s.pressPosition; }
    // Milliseconds of state time since enter.
    int elapsedMs() const { return s.elapsedMs; }
    // What loading could not use, one line each.
    const std::vector<std::string>& loadProblems() const { return s.loadProblems; }
    // The mode beyond the player, or null.
    StateExtension* extension() const { return s.extension.get(); }
    // The animation's last frame from the scene settings (-1: none set), and the frame playback
    // started at from stops before (the one after that end, or frameCount).
    int endFrame() const { return s.sceneSettings.endFrame(); }
    int playbackStop(int from) const { return s.playbackStop(from); }
    // The music heard now (ms) less the audio delay; false while none is heard.
    bool heardMusicMs(double* ms) const { return s.heardMusicMs(ms); }
    // The speed the music plays at (MUSIC_RECORDED_SPEED unless a take asked for another).
    double musicSpeed() const { return s.musicSpeed(); }
    // The user's settings file and what was read from it at init.
    const std::string& settingsPath() const { return s.settingsPath; }
    const UserSettingsLoad& settings() const { return s.settings; }

    // --- What a panel draws and works with (the state owns each) ---------------------------
    // The widget context: a panel runs its passes with it.
    UiContext& ui() const { return s.ui; }
    BitmapFont* font() const { return s.font.get(); }
    ButtonSkin* buttonSkin() const { return s.buttonSkin.get(); }
    SliderSkin* sliderSkin() const { return s.sliderSkin.get(); }
    ButtonSkin* checkBoxSkin() const { return s.checkBoxSkin.get(); }
    // The picture at an index of the image list (SkinPicture indices first); null when missing.
    Image* image(std::size_t index) const { return index < s.images.size() ? s.images[index].get() : nullptr; }
    // Entries of the image list: the skin pictures and one per actor.
    std::size_t imageCount() const { return s.images.size(); }
    // The rig of the editing mode.
    RigEditing& rig() const { return s.rigEditing; }
    // The scene settings of the editing mode.
    SceneSettings& sceneSettings() const { return s.sceneSettings; }
    // Every actor in load order, which never changes (actors() is the drawing order).
    std::vector<Actor*> loadOrder() const { return s.loadOrder(); }

    // --- What may be changed ---------------------------------------------------------------
    // Starts the state's clock and stands it at frame 0, stopped: the editor's start (no pause,
    // no music).
    void startStopped() {
        s.GameState::enter();
        s.currentFrame = 0;
        s.playing = false;
        s.recording = false;
    }
    // Puts the state at a frame; the music does not follow (seekMusic moves it).
    void setCurrentFrame(int frame) { s.currentFrame = frame; }
    // Moves to a frame within the animation, the music with it.
    void seek(int frame) {
        s.currentFrame = frame < 0 ? 0 : frame >= s.frameCount ? s.frameCount - 1 : frame;
        s.seekMusicToCurrentFrame();
    }
    // Sets the animation's length in frames (at least 1).
    void setFrameCount(int frames) { s.frameCount = frames < 1 ? 1 : frames; }
    // Playback from the current frame, the music with it.
    void play() {
        s.startMusicAtCurrentFrame();
        s.playing = true;
    }
    // A take from the current frame, the music with it.
    void record() {
        s.startMusicAtCurrentFrame();
        s.recording = true;
    }
    // A take from the current frame, with the music already playing there (after a count-in).
    void recordWithMusicPlaying() { s.recording = true; }
    // Stops playback and recording and the music; the frame stays.
    void stop() {
        FSOUND_Stream_Stop(musicStream);
        s.playing = false;
        s.recording = false;
    }
    // Plays the music, and steps the frames, at speed (MainState::setMusicSpeed).
    void setMusicSpeed(double speed) { s.setMusicSpeed(speed); }
    // Moves the music to the time of the current frame (playing on, or staying stopped).
    void seekMusic() { s.seekMusicToCurrentFrame(); }
    // Starts the music at the time of the current frame.
    void startMusic() { s.startMusicAtCurrentFrame(); }
    // Sets the animation's end (-1: none), kept in the scene settings.
    void setEndFrame(int frame) { s.sceneSettings.setEnd(frame); }
    // Selects an actor (null: none).
    void select(Actor* actor) { s.selectedActor = actor; }
    // The actor mouse motion moves (null: none).
    void setDraggedActor(Actor* actor) { s.draggedActor = actor; }
    // Selects the next actor under a scene point, cycling through overlapping ones.
    void pickAtScene(const irr::core::vector2df& m) { s.pickAtScene(m); }
    // Whether the panel took the press, and the pointer's positions (window pixels).
    void setUiOwnsMouse(bool owns) { s.uiOwnsMouse = owns; }
    void setPressPosition(int x, int y) { s.pressPosition.set(x, y); }
    void setMousePosition(int x, int y) { s.mousePosition.set(x, y); }
    // Writes every actor's data file (MainState::saveActors).
    SaveReport saveActors() { return s.saveActors(); }
    // Keeps the drawing order in the file names (MainState::saveDrawingOrder).
    OrderSaveReport saveDrawingOrder() { return s.saveDrawingOrder(); }
    // What moves the files of that renaming (null: the file system; a test's, to fail halfway).
    void setFileMover(FileMover* mover) { s.fileMover = mover; }
    // Moves an actor places up (drawn over more) or down the drawing order; false with why.
    bool moveInDrawingOrder(Actor* actor, int places, std::string& why) {
        return s.moveInDrawingOrder(actor, places, why);
    }
    // Puts the actors in this drawing order (the same actors).
    void setDrawingOrder(const std::vector<Actor*>& order) { s.setDrawingOrder(order); }
    // The editing mode's click: the topmost pickable actor drawn at a scene point, the next
    // one under it when clicked again.
    void pickDrawnAt(const irr::core::vector2df& m) { s.pickDrawnAt(m); }
    // The settings as the file now holds them (after the caller wrote it).
    void keepSettings(const UserSettings& written) {
        s.settings.settings = written;
        s.settings.found = true;
        s.settings.read = true;
        s.settings.problem.clear();
    }

    // --- Drawing and the rig's hooks, for the editing mode ---------------------------------
    // Draws every actor at its pose into the renderer's batch.
    void drawActors() { s.drawActors(); }
    // Draws the rig's pivots and links.
    void drawRigOverlay() { s.drawRigOverlay(); }
    // The position of an actor at the current frame as the editor shows it while stopped.
    irr::core::vector2df rigPosition(const Actor* actor) const { return s.rigPosition(actor); }
    // The pose an actor is drawn with now.
    ActorPose drawnPose(const Actor* actor) const { return s.drawnPose(actor); }
    // A drag starts: a turn with the right button or Shift, else a move.
    void rigPress(const irr::SEvent::SMouseInput* mouse) { s.rigPress(mouse); }
    // Drag motion between two scene points: true when the rig moved or turned the actor.
    bool rigDrag(const irr::core::vector2df& from, const irr::core::vector2df& to) { return s.rigDrag(from, to); }
    // The same at a given frame (a take writes each frame's motion once the pointer's path at
    // its time is known).
    bool rigDragAt(int frame, const irr::core::vector2df& from, const irr::core::vector2df& to) {
        return s.rigEditing.drag(s.actors, frame, s.frameCount, from, to);
    }
    // True when a press turns the dragged actor instead of moving it.
    static bool turnsOnPress(const irr::SEvent::SMouseInput* mouse) { return MainState::turnsOnPress(mouse); }
    // The rig's keys with the pointer at a scene point; true when the key was one of them,
    // with what it did in said.
    bool rigKey(const irr::SEvent::SKeyInput* key, const irr::core::vector2df& pointerScene, std::string& said) {
        return s.rigKey(key, pointerScene, said);
    }
    // The keyboard command of a key press, for the widgets.
    static UiKeyEvent keyEventOf(const irr::SEvent::SKeyInput* key) { return MainState::keyEventOf(key); }

private:
    MainState& s;
};

// The name the users of this header know it by.
using StateAccess = MainState::Access;
