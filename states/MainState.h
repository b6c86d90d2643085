#pragma once
// The program's one game state: it loads the font, the skin pictures, the skins, every
// actor and the music, advances the animation one frame per fixed step (playing or
// recording), draws the scene, and runs the invisible editor panel from the mouse.
//
// Split by concern: MainStateResources.cpp (loading, release, stepping, keys),
// ActorPictures.cpp (reading an actor's picture), MainStateScene.cpp (drawing and the waving
// strip), MainStatePanel.cpp (the editor panel and the mouse handlers). The editing mode lives
// in editor/: the state hands it its moments through a StateExtension, and it reads and
// changes the state through the declared interface of states/StateAccess.h, as the export
// and the tests do; MainStateRig.cpp holds the rig's hooks for it (rig/).
#include <irrlicht.h>

#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/GameState.h"
#include "platform/FSound.h"
#include "platform/UserSettings.h"
#include "rig/RigEditing.h"
#include "states/ScenePaths.h"
#include "states/SceneSettings.h"
#include "states/StateExtension.h"
#include "ui/UiContext.h"
#include "platform/Timebase.h"

class Actor;
class Application;
class FileMover;
class BitmapFont;
class ButtonSkin;
class Image;
class SliderSkin;

// Skin pictures, loaded in this order into the first entries of the image list.
enum SkinPicture : int {
    SKIN_BUTTON = 0,
    SKIN_BUTTON_HOT = 1,
    SKIN_BUTTON_ACTIVE = 2,
    SKIN_BUTTON_HOT_ACTIVE = 3,
    SKIN_SLIDER_BASE = 4,          // drawn by the panel behind its sliders
    SKIN_SLIDER_THUMB = 5,         // its height sets the panel's slider rows
    SKIN_SLIDER_THUMB_ACTIVE = 6,
    SKIN_CHECKBOX = 7,
    SKIN_CHECKBOX_ACTIVE = 8,
    SKIN_CHECKBOX_CHECK = 9,       // the check mark, the icon of every check box
    SKIN_PICTURE_COUNT = 10,
};
// File of each skin picture, by SkinPicture index.
extern const char* const SKIN_PICTURE_FILES[SKIN_PICTURE_COUNT];

// Sound set-up: mixing rate, channels, and the channel the music plays on.
constexpr int SOUND_CHANNELS = 32;
constexpr int MUSIC_CHANNEL = 0;
// Pause between loading and the start of playback.
constexpr irr::u32 ENTER_PAUSE_MS = 2000;
// The panel's widgets after its transport buttons take automatic ids from this block, so
// they keep their ids whichever transport buttons are shown.
constexpr int PANEL_ID_BLOCK = 1000;
// Id of the timeline slider: the first widget of that block (present with two frames or more).
constexpr int TIMELINE_WIDGET_ID = PANEL_ID_BLOCK + 1;
// Text scales of the panel's buttons: every button but "Reset>>", and "Reset>>".
constexpr float BUTTON_TEXT_SCALE = 0.75f;
constexpr float RESET_TEXT_SCALE = 0.5f;

// The speed the music was recorded at (music seconds a second), at which it plays unless a
// mode asks for another.
constexpr double MUSIC_RECORDED_SPEED = 1.0;

// The music stream, null when it could not be opened.
extern FSOUND_STREAM* musicStream;
// Set by the music's end callback (on the audio thread), read by update; never cleared.
extern std::atomic<bool> musicEnded;
// End-of-stream callback of the music: sets musicEnded; returns false.
signed char onMusicEnd(FSOUND_STREAM* stream, void* buffer, int length, void* userData);

// What one "Save" did: how many data files were written, each one that was not, as
// "FILE: reason", and what else the user should know (a file kept as it was, or kept aside);
// in the editing mode also the rig's joints and whether the scene settings were written.
struct SaveReport {
    int saved = 0;
    std::vector<std::string> failures;
    std::vector<std::string> notes;
    int rigJoints = -1;          // joints of the rig written (-1: no rig file)
    bool sceneSettings = false;  // scene.txt written
};

// What keeping the drawing order in the file names did.
struct OrderSaveReport {
    bool changed = false;     // the order differed from the file names' (files were to be renamed)
    int renamedActors = 0;    // actors that got a new name
    std::string failure;      // why it was not kept ("" when it was)
    std::vector<std::string> notes;  // what else the user should know
    std::map<std::string, std::string> renamed;  // old actor name to new
};

class MainState : public GameState {
public:
    // What the modes beyond the player, the export and the tests may read and change of the
    // state (states/StateAccess.h).
    class Access;

    MainState();
    // Releases whatever shutdown has not released.
    ~MainState() override;

    // Sets up sound and music, loads font, skin pictures, skins and actors; false without a font.
    bool init() override;
    // Deletes skins, font, pictures and actors, closes the music and the sound system.
    void shutdown() override;
    // One fixed step: playback or recording advances the frame, actors ease toward it.
    bool update(int stepMs) override;
    // Clears to light blue and draws every actor at its pose (wobbling ones as a strip).
    void render(irr::IrrlichtDevice* device) override;
    // Pauses two seconds, hides the pointer, starts the music and playback from frame 0; the
    // application's clock follows the heard music from now on.
    void enter() override;
    // The application's clock no longer follows the music; the attached mode is told.
    void leave() override;
    // Hands the key to the panel as a keyboard command (Return and the arrows act on the
    // focused widget at once); Escape also ends the program.
    bool keyDown(const irr::SEvent::SKeyInput* key) override;
    // Does nothing.
    bool keyUp(const irr::SEvent::SKeyInput* key) override;
    // Runs the panel for the press; without a widget taking it, starts dragging the selection.
    bool mouseDown(const irr::SEvent::SMouseInput* mouse) override;
    // Runs the panel for the release; a click outside the panel selects the next actor under it.
    bool mouseUp(const irr::SEvent::SMouseInput* mouse) override;
    // Moves the dragged actor by the motion from the current frame on (not while playing).
    bool mouseMove(const irr::SEvent::SMouseInput* mouse) override;
    // Does nothing.
    bool mouseWheel(const irr::SEvent::SMouseInput* mouse) override;

    // Loads <actor folder>/<fileName> and appends its picture and a new actor; nothing on failure
    // (the picture is then named with the reason on stderr and in loadProblems).
    void createActor(const char* fileName);
    // One pass over every widget of the editor panel (drawing only when drawPass).
    void runPanel(bool drawPass);
    // Writes every actor's data file; one that cannot be written keeps its old contents and is
    // named with its reason on stderr; the report says what was written and what not. A data
    // file that could not be read at load is left as it is while its actor is unedited, and
    // kept aside under a new name before an edited track takes its place.
    SaveReport saveActors();
    // Offline rendering: starts playback at frame 0 now, without the pause or the music; returns frameCount.
    int startOffline();
    // The frame playback started at from stops before: the frame after the animation's end (scene
    // settings) when one is set at or after from, otherwise frameCount.
    int playbackStop(int from) const;
    // Keeps the drawing order in the actors' file names (states/DrawingOrder.h) when it differs
    // from theirs: renames the pictures and data files that must move, with rig.txt and
    // scene.txt following the new names; nothing changes when it fails.
    OrderSaveReport saveDrawingOrder();

    // Where init finds the program's files, the actors and the music (before init; by default
    // the paths under data/ of the working directory).
    void setScenePaths(const ScenePaths& where) { paths = where; }
    // Where this state's files are.
    const ScenePaths& scenePaths() const { return paths; }

    // Sets the audio delay (ms) for this run, in place of the user's settings (before init).
    void setAudioDelayOverride(double ms) {
        audioDelayOverride = ms;
        audioDelayOverridden = true;
    }
    // The music heard now (ms), less the audio delay: false while none is played (nothing
    // plays, no sound device, or SDL's dummy driver). The takes follow it, and the picture
    // where a listener hears it (musicClock).
    bool heardMusicMs(double* ms) const;
    // Plays the music at speed (MUSIC_RECORDED_SPEED, or slower for a half-speed take) with
    // its pitch kept, from where it stands; the clock that steps the frames runs at it too (the
    // heard music does, and the tick clock is set to), so each frame stays on its music.
    void setMusicSpeed(double speed);
    // The speed the music plays at.
    double musicSpeed() const { return musicSpeed_; }
    // True when a press turns the dragged actor (the right button, or Shift) instead of moving it.
    static bool turnsOnPress(const irr::SEvent::SMouseInput* mouse);

    // Hands the state a mode beyond the player (before enter); the state owns it.
    void setExtension(std::unique_ptr<StateExtension> mode) { extension = std::move(mode); }
    // True while a mode beyond the player (the editor) is attached.
    bool isEditing() const { return extension != nullptr; }

protected:
    // Loads every ".jpg" then every ".png" picture of the actor directory, in file-list order.
    void scanActors();
    // Starts the music at the time of the current frame; at or past the music's end it stays
    // silent there (it does not start over).
    void startMusicAtCurrentFrame();
    // Moves the music to the time of the current frame; at or past its end the music stops
    // there, silent, without ending the program.
    void seekMusicToCurrentFrame();
    // The fixed-step clock's time source while the music plays with playback or recording on
    // a device someone hears: the heard music, placed so that the frame shown is the one
    // nearest to it. False otherwise, also on SDL's dummy and disk drivers (the tick clock runs).
    bool musicClock(double* ms);
    // The property rows of the selected actor and its "Reset>>" row.
    void runPropertyRows(float ox, float oy, float thumbH, float rowH, float rowStep);
    // Draws a panel text line (the skin pictures' font may be missing text: then nothing).
    void panelText(float x, float y, const char* text, int flags, float scale, irr::u32 argb);
    // Draws the slider base picture behind a slider row at (x, y).
    void drawSliderBase(float x, float y);
    // Selects the next actor under the pointer at the clicked pixel.
    void pickAt(int x, int y);

    // Draws every actor at its pose (wobbling ones as a strip) into the renderer's batch.
    void drawActors();
    // Selects the next actor under the scene point m (units), cycling through overlapping ones.
    void pickAtScene(const irr::core::vector2df& m);
    // The keyboard command of a key press, for the panel's widgets.
    static UiKeyEvent keyEventOf(const irr::SEvent::SKeyInput* key);

    // Rig hooks of the editing mode (MainStateRig.cpp).
    // Reads rig.txt for the loaded actors.
    void loadRig();
    // Writes rig.txt as part of "Save"; a failure is added to the report and told on stderr.
    void saveRig(SaveReport& report);
    // A drag starts: a turn with the right button or Shift, else a move.
    void rigPress(const irr::SEvent::SMouseInput* mouse);
    // Drag motion between two scene points: true when the rig moved or turned the actor.
    bool rigDrag(const irr::core::vector2df& fromScene, const irr::core::vector2df& toScene);
    // The pose the editor shows for an actor while not playing: its position and its pose.
    void rigShownPose(const Actor* actor, irr::core::vector2df& position, ActorPose& shown) const;
    // The position of an actor at the current frame as the editor shows it while stopped.
    irr::core::vector2df rigPosition(const Actor* actor) const;
    // Draws the rig's pivots and links (in the scene's screen coordinates).
    void drawRigOverlay();
    // The rig's keys (P: pivot, H and U: parent) with the pointer at a scene point; true when
    // the key was one of them (the caller brackets it as an edit), with what it did in said.
    bool rigKey(const irr::SEvent::SKeyInput* key, const irr::core::vector2df& pointerScene, std::string& said);

    // Tells the user what loading could not use: stderr now, loadProblems for a status line.
    void reportLoadProblem(const std::string& problem);
    // Reads the user's settings and takes the audio delay from them (or from the override).
    void loadSettings();

    // The editing mode's stage (MainStatePicking.cpp).
    // The pose an actor is drawn with now (the eased pose while playing; while stopped the
    // frame's position, and in the editing mode rigged actors as playback shows them).
    ActorPose drawnPose(const Actor* actor) const;
    // True when the actor, drawn as it is now, has a drawn pixel (PictureMask) at the scene point.
    bool drawsAt(const Actor* actor, const irr::core::vector2df& m) const;
    // The actors drawn at the scene point that a click may pick (not hidden, not locked),
    // topmost first.
    std::vector<Actor*> pickableAt(const irr::core::vector2df& m) const;
    // The topmost actor drawn at the scene point (not hidden) other than except, or null.
    Actor* topmostDrawnAt(const irr::core::vector2df& m, const Actor* except) const;
    // Selects the topmost pickable actor drawn at the scene point; a click again there selects
    // the next one under it.
    void pickDrawnAt(const irr::core::vector2df& m);
    // Moves the actor places up (later in the drawing order, drawn over more) or down; false
    // with the reason in why when it cannot go (the end of the order, or a JPEG picture, which
    // is always drawn under every PNG picture).
    bool moveInDrawingOrder(Actor* actor, int places, std::string& why);
    // The drawing order becomes order (the same actors).
    void setDrawingOrder(const std::vector<Actor*>& order);
    // Every actor in load order, which never changes.
    std::vector<Actor*> loadOrder() const;

    // Scene settings: read at start (by the player for the end alone), written by "Save".
    void loadSceneSettings();
    void saveSceneSettings(SaveReport& report);

    Application* app = nullptr;
    UiContext ui;
    std::unique_ptr<ButtonSkin> buttonSkin;
    std::unique_ptr<SliderSkin> sliderSkin;
    std::unique_ptr<ButtonSkin> checkBoxSkin;
    std::unique_ptr<BitmapFont> font;
    // The skin pictures at their SkinPicture indices (null when missing), then one per actor.
    std::vector<std::unique_ptr<Image>> images;
    irr::core::vector2di mousePosition{0, 0};
    irr::core::vector2di pressPosition{0, 0};
    // The actors in actor order (borrowed from actorStore, which owns them).
    std::vector<Actor*> actors;
    std::vector<Actor*> pickList;
    Actor* draggedActor = nullptr;
    Actor* selectedActor = nullptr;
    int currentFrame = 0;
    int frameCount = 1;
    bool recording = false;
    bool playing = false;
    bool uiOwnsMouse = false;

    // Where the files are.
    ScenePaths paths;
    // Owns every actor, in actor order.
    std::vector<std::unique_ptr<Actor>> actorStore;
    // What loading could not use (a picture, a data file), one line each, as said on stderr.
    std::vector<std::string> loadProblems;

    // The user's settings file, what was read from it, and the audio delay in use (ms).
    std::string settingsPath;
    UserSettingsLoad settings;
    double audioDelayMs = 0.0;
    double audioDelayOverride = 0.0;
    // The speed the music plays at (setMusicSpeed).
    double musicSpeed_ = MUSIC_RECORDED_SPEED;
    bool audioDelayOverridden = false;

    // The mode beyond the player, or null.
    std::unique_ptr<StateExtension> extension;
    // The rig, used by the editing mode only.
    RigEditing rigEditing;
    // The scene settings: the animation's end, and the editing mode's hidden and locked actors.
    SceneSettings sceneSettings;
    // The drawing order the file names give (as loaded, or as the last Save renamed them).
    std::vector<Actor*> namedOrder;
    // What moves the files of a renaming (a test's, to make one fail); null: the file system.
    FileMover* fileMover = nullptr;
};
