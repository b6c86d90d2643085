#pragma once
// The editing mode: the main state's scene on a stage scaled to fit the window, a tool bar,
// a timeline with the song, the selected actor's properties, a layer list and a status line,
// all laid out by EditorLayout; undo and redo of every edit; a recovery file that keeps
// unsaved work through a crash; a quit guard that keeps it through a key pressed by mistake.
// It reads and changes the state only through StateAccess.
//
// Behaviour apart from drawing: input (mouse, keys) runs a behaviour pass of the panel, which
// alone changes data; the drawing pass issues the same widgets on copies and only draws.
//
// Split by concern: Editor.cpp (the session: start, edits, undo, "Save", quitting),
// EditorRecovery.cpp (the recovery file), EditorInput.cpp (keys and mouse, through the key
// table of EditorKeys), EditorStage.cpp (the stage's zoom and pan, the drawing order, hidden
// and locked actors), EditorTimeline.cpp (playback, the timeline's view, the beats),
// EditorTakes.cpp (takes in time, the count-in, the calibration of the performer's delay),
// EditorRange.cpp (the range on the timeline, the track edits through it, the loop, punch-in and
// the animation's end), EditorDance.cpp (D and Shift+D), EditorPanel.cpp (the widgets),
// EditorDrawing.cpp (everything drawn).
#include <irrlicht.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "editor/Beats.h"
#include "editor/Calibration.h"
#include "editor/Dance.h"
#include "editor/EditHistory.h"
#include "editor/EditorKeys.h"
#include "editor/EditorLayout.h"
#include "editor/Recovery.h"
#include "editor/StatusLine.h"
#include "editor/TakeTiming.h"
#include "editor/Waveform.h"
#include "platform/PointerSampler.h"
#include "rig/RigTrackEdits.h"
#include "states/StateAccess.h"
#include "states/StateExtension.h"
#include "ui/ButtonSkin.h"

class Actor;
class MainState;

// After a settled edit, the recovery file is written within this many milliseconds.
constexpr irr::u32 RECOVERY_SETTLE_DELAY_MS = 500;
// During a take the recovery file is written this often (so at least once a second), in ms.
constexpr irr::u32 RECOVERY_TAKE_INTERVAL_MS = 900;
// While the recovery file cannot be written, unsaved work is tried again this often, in ms.
constexpr irr::u32 RECOVERY_RETRY_MS = 2000;
// A second Escape (or close) within this many milliseconds quits without saving.
constexpr irr::u32 QUIT_CONFIRM_MS = 3000;
// Onion skin: this many poses before and after the current frame, this many frames apart.
constexpr int ONION_POSES = 3;
constexpr int ONION_FRAME_STEP = 6;
// Timeline zoom: one wheel notch multiplies the frames per pixel by this (or divides), and
// the closest view shows one frame over this many pixels.
constexpr double TIMELINE_ZOOM_STEP = 1.25;
constexpr double TIMELINE_MAX_PIXELS_PER_FRAME = 12.0;
// Moving the beat grid by hand: one key press shifts it by this many ms (with Shift by the
// fine step), or changes its period by this many ms (with Shift by the fine step).
constexpr long BEAT_SHIFT_MS = 10;
constexpr long BEAT_SHIFT_FINE_MS = 1;
constexpr double BEAT_PERIOD_NUDGE_MS = 1.0;
constexpr double BEAT_PERIOD_NUDGE_FINE_MS = 0.1;
// Dances remembered (D, Shift+D), so that the next press on the same actors starts again from
// their tracks before the first one.
constexpr std::size_t DANCES_REMEMBERED = 16;
// The status line names this many parts that dance alike, and counts more.
constexpr std::size_t DANCE_STATUS_NAMES = 2;

// The count-in before a take: this many beats of the beat grid, this many clicks a beat; the
// beat's length (ms) while the grid is not there.
constexpr int COUNT_IN_BEATS = 4;
constexpr int COUNT_IN_CLICKS_PER_BEAT = 2;
constexpr double COUNT_IN_DEFAULT_BEAT_MS = 500.0;
// A count-in whose music is not heard within this long (ms) after it should have ended starts
// the take anyway.
constexpr double COUNT_IN_GRACE_MS = 2000.0;
// Punch-in: its pre-roll clicks this many times a beat; its take runs this many frames past out
// (and the performer's delay on top), so that out gets its own move before it stops.
constexpr int PUNCH_IN_CLICKS_PER_BEAT = 1;
constexpr int PUNCH_IN_SPARE_FRAMES = 2;
// The music's speed in a half-speed take (Shift+R): its frames run at half their rate, each on
// its own music.
constexpr double TAKE_HALF_SPEED = 0.5;
// A second Space within this share of the click's period is a key held down, not a tap.
constexpr double CALIBRATION_REPEAT_SHARE = 0.5;

// Widget id blocks of the panel: the tool bar from 0, the timeline, the properties, the layers.
constexpr int EDITOR_TIMELINE_ID_BLOCK = 1000;
constexpr int EDITOR_PROPERTY_ID_BLOCK = 2000;
constexpr int EDITOR_LAYER_ID_BLOCK = 3000;
// The timeline's slider: the first widget of its block.
constexpr int EDITOR_TIMELINE_SLIDER_ID = EDITOR_TIMELINE_ID_BLOCK + 1;
// Colours (0xAARRGGBB) of the panel's texts.
constexpr irr::u32 EDITOR_TEXT_COLOUR = 0xFFFFFFFF;
constexpr irr::u32 EDITOR_DIM_TEXT_COLOUR = 0xFFB0B8C8;
constexpr irr::u32 EDITOR_WARN_TEXT_COLOUR = 0xFFFFC070;

// Attaches the editing mode to the state (before init and enter).
void enableEditing(MainState& state);

class Editor : public StateExtension {
public:
    // Works on the state's actors, frame and modes; writes its recovery file beside the actors.
    explicit Editor(MainState& state);
    ~Editor() override;

    // Shows the pointer, stops at frame 0, restores a recovery file left by a crash, and says
    // what loading could not use.
    void enter() override;
    // Keeps unsaved work in the recovery file unless the user chose to discard it.
    void leave() override;
    // Waits for the recovery file's writer, frees the editor's skins.
    void shutdown() override;
    // Keeps the timeline on the playhead and the recovery file up to date.
    void afterUpdate() override;
    // The scaled stage with the scene, the onion skin and the selection, then the panel.
    void render(irr::IrrlichtDevice* device) override;
    // The editor's keys (EditorKeys); others work the focused widget at once.
    bool keyDown(const irr::SEvent::SKeyInput* key) override;
    // A press: the panel takes it, or on the stage the selection starts a drag.
    void mouseDown(const irr::SEvent::SMouseInput* mouse) override;
    // A release: the panel's clicks; on the stage a click selects.
    void mouseUp(const irr::SEvent::SMouseInput* mouse) override;
    // Motion: sliders follow; a drag moves the selection.
    void mouseMove(const irr::SEvent::SMouseInput* mouse) override;
    // The wheel zooms the timeline around the pointer, or scrolls the layer list; Ctrl+wheel on
    // the stage zooms it around the pointer.
    void mouseWheel(const irr::SEvent::SMouseInput* mouse) override;

    // Moves the selected actor by d scene units from the current frame on: every drag of the
    // stage ends here.
    void dragSelection(const irr::core::vector2df& d);
    // "Save": writes every actor; the status line says what it did.
    void save();
    // Escape or the window's close button: quits at once when nothing is unsaved, otherwise
    // only on a second request within QUIT_CONFIRM_MS; true when the program ends.
    bool requestQuit();
    // Takes back the newest edit (not while recording or while a mouse button is held).
    bool undo();
    // Makes the newest undone edit again (not while recording or while a button is held).
    bool redo();
    // Writes the recovery file now (in the background).
    void writeRecovery();
    // True while there are edits that no "Save" has written.
    bool hasUnsavedEdits() const;
    // What the status line says, whole (before it is cut to the window's width).
    std::string statusMessage() const { return status.text(); }
    // The status line.
    const StatusLine& statusLine() const { return status; }
    // The layout of the current window.
    const EditorLayout& currentLayout() const { return layout; }
    // How the stage is viewed (zoom and pan).
    const StageView& stageView() const { return view; }
    // Lays the window out again for its current size.
    void updateLayout();
    // The recovery file's writer.
    RecoveryWriter& recoveryWriter() { return writer; }
    // True while the onion skin is shown.
    bool onionSkin() const { return onion; }
    // The beat markers (ms); empty until the beats are there.
    const std::vector<long>& beatTimes() const { return beats; }
    // Waits until the beats are there and takes them (for tests and tools).
    void waitForBeats();
    // Replaces the beat grid (a shift or a new tempo by hand) and keeps it in the beats file.
    void setBeats(std::vector<long> grid);
    // True when the range's in and out are both set; the range (frames in to out, both included).
    bool hasRange() const { return inFrame >= 0 && outFrame >= inFrame; }
    FrameRange range() const { return FrameRange{inFrame, outFrame}; }
    // True while playback loops through the range.
    bool loopingRange() const { return looping; }
    // True from "Rec" with a range set until its take stops (its pre-roll included).
    bool punchingIn() const { return punch != nullptr; }
    // D (own false): the selected actor and everything hanging from it dance on the beats over
    // the frames [from, to) (Dance.h); Shift+D (own true): the selected actor's own beat motion
    // becomes the next of the five. One undo step each; a press right after another dance of
    // the same actors (nothing edited between) starts again from their tracks before the first
    // one, so Shift+D goes through the motions instead of piling them up. The status line says
    // what it did, or why not. True when the tracks changed.
    bool danceSelection(bool own, int from, int to);
    // The frames D dances over: the range, or without one the whole song (and the animation,
    // when it is longer).
    std::pair<int, int> danceSpan() const;
    // Takes follow the mouse events (as they arrive) instead of the window's pointer sampled
    // in time: for made-up events, as tests send them.
    void takePointerFromEvents() { pointerFromEvents = true; }
    // True while a count-in comes before each take (key C).
    bool countIn() const { return countInOn; }
    // True while the count-in of a take plays.
    bool countingIn() const { return countInRunning; }
    // True while a calibration runs (key T).
    bool calibrating() const { return calibration != nullptr; }
    // The performer's delay (ms) every take is shifted by.
    double performerDelayMs() const { return performerDelay; }

private:
    // --- The session (Editor.cpp)
    // Undoes (forward false) or redoes the newest step of the history; false when none was taken.
    bool stepHistory(bool forward);
    // Opens an edit unless one is open; ends it once nothing is held and nothing recorded.
    void beginEdit();
    void settleEdit();
    // Ends the open edit now, a button held or not: a step of the history when it changed
    // something.
    void commitEdit();
    // The edits are unsaved from now on, and the recovery file is due.
    void markUnsaved();
    // The files hold the work as it is now: nothing is unsaved, no recovery file is needed.
    void markSaved();
    // Milliseconds of the engine's real-time clock.
    irr::u32 now() const;

    // --- The recovery file (EditorRecovery.cpp)
    // Reads a recovery file left behind and puts its tracks on the actors.
    void restoreRecovery();
    // Says on the status line, for as long as it lasts, that the recovery file cannot be
    // written; tries again while it fails.
    void watchRecovery();

    // --- Keys and mouse (EditorInput.cpp)
    // Carries out a key's command; false when it did nothing (the key then works the widgets).
    bool runCommand(EditorCommand command, const irr::SEvent::SKeyInput& key);
    // The window point of a mouse record, and its scene point through the stage.
    irr::core::vector2df scenePoint(int x, int y) const;

    // --- The stage's view, the drawing order, hidden and locked actors (EditorStage.cpp)
    // Moves the selection places up (drawn over more) or down the drawing order; the status
    // line says what it did or why not.
    void moveSelection(int places);
    // Moves an actor to the drawing-order place of a layer row (a drag in the list).
    void moveToLayerRow(Actor* actor, int row);
    // Hides or shows an actor in the editor (V, the eye); locks or unlocks it on the stage (K,
    // the lock). The status line says which.
    void toggleHidden(Actor* actor);
    void toggleLocked(Actor* actor);
    // The stage fitted to the window again: no zoom, no pan (Ctrl+0).
    void fitStage();
    // The layer list's row at a window point (-1: none), and the actor a row shows (topmost
    // first; null: none).
    int layerRowAt(float x, float y) const;
    Actor* layerActor(int row) const;
    // What an edit keeps beside the tracks: the rig, the drawing order, the hidden and locked
    // actors and the animation's end, as bytes; and putting them back.
    std::string workExtras() const;
    void restoreExtras(const std::string& bytes);
    // Extras with the actors renamed (old name to new) after a "Save" renamed their files.
    static std::string renamedExtras(const std::string& bytes, const std::map<std::string, std::string>& renamed);
    // --- Takes, the count-in and the calibration (EditorTakes.cpp)
    // Starts a take's timing at the current frame, the pointer sampled (or its events kept).
    void startTake();
    // Hands the take the music heard, the pointer's samples, and writes the frames they give;
    // with final, every frame up to the current one.
    void feedTake(bool final);
    // Ends the take's timing: every frame written, the sampler stopped, and (with tell) the
    // status line told when the take recorded nothing.
    void endTake(bool tell);
    // Writes one frame's move of a drag of the take.
    void applyTakeMove(const TakeMove& move);
    // Keeps a mouse event's position for a take that follows the events.
    void keepPointerEvent(int x, int y, bool down);
    // Stops playback, a take, a count-in or a calibration, and the music; the music's speed
    // is its own again.
    void stopAll();
    // "Rec" with the count-in (named `name` on the status line): the music from a bar before the
    // frame with clicksPerBeat clicks a beat, the take once the frame's music is heard.
    void startCountIn(int clicksPerBeat = COUNT_IN_CLICKS_PER_BEAT, const char* name = "count-in");
    // Starts the take once the count-in has reached the take's frame.
    void watchCountIn();
    // Key T: starts the calibration's clicks (or cancels a running one).
    void startCalibration();
    // A tap of the calibration (Space).
    void tapCalibration();
    // Follows the clicks; works out the delay once the taps are in.
    void watchCalibration();
    // Ends the calibration, with its result when done.
    void endCalibration(bool done);
    // The beat's length (ms) of the beat grid, or fallback.
    double beatLengthMs(double fallback) const;

    // --- Dances (EditorDance.cpp)
    // A dance made by D or Shift+D: its plan (actors by load order), its frames, the tracks of
    // its family before the first press of a run (shared by the run's dances) and a digest of
    // them after it, and the rig it was made with.
    struct DanceMemory {
        DancePlan plan;
        int from = 0, to = 0;
        std::vector<std::size_t> family;
        std::shared_ptr<const std::vector<ActorEditData>> before;
        std::uint64_t after = 0;
        std::string rig;
    };
    // A digest of the tracks of the actors (load order) given by index.
    std::uint64_t tracksDigest(const std::vector<std::size_t>& family) const;

    // --- Playback, the timeline's view and the beats (EditorTimeline.cpp)
    // "Play" when stopped, "Stop" when playing or recording.
    void togglePlayback();
    // "Rec" when stopped, with the music at speed (MUSIC_RECORDED_SPEED, or TAKE_HALF_SPEED),
    // and with the count-in when it is on; "Stop" when recording.
    void toggleRecording(double speed = MUSIC_RECORDED_SPEED);
    // Moves to a frame (the music follows).
    void seek(int frame);
    // Plays the music from the timeline thumb while it is dragged; stops it when let go.
    void scrubMusic();
    // Frame of a pixel column of the timeline, and the column of a frame.
    double frameAtX(float x) const;
    float xOfFrame(double frame) const;
    // Frames shown by the timeline.
    double visibleFrames() const;
    // Keeps the view within the animation.
    void clampView();
    // Takes the beats once the loader has them.
    void takeBeats();

    // --- The range, the track edits through it, the loop and the end (EditorRange.cpp)
    // The playhead frames forward (negative: back), or to the next (or previous) beat marker.
    void stepPlayhead(int frames);
    void stepBeat(bool forward);
    // The range's in (or out) at the playhead.
    void setRangeEnd(bool in);
    // The range from the frame of a Shift+drag's press (start) to that under the pointer at x,
    // each end on the nearest beat marker unless Alt is held.
    void dragRange(float x, bool start);
    // The frame under the timeline's column x: the nearest beat marker's with snap (when there
    // are beats), otherwise the frame there.
    int timelineFrame(float x, bool snap) const;
    // "frames 100 to 228 (129 frames, 2.15 s)".
    std::string rangeText() const;
    // True when an edit through the range can be made now (an actor selected, the range set when
    // needsRange, no take, no button held); otherwise the status line says what is missing.
    bool rangeWorkable(bool needsRange);
    // "arm and 1 part hanging from it".
    std::string familyText(Actor* actor) const;
    // Hold, smooth or repeat through the range on the selection and what hangs from it (one
    // undo step); a repeat moves the range onto the copy.
    void editRange(EditorCommand command);
    // Copies the motion through the range; pastes the copy at the playhead (one undo step).
    void copyRange();
    void pasteClip();
    // Starts playback looped through the range, or stops it; keeps it looping after each step.
    void toggleLoop();
    void keepLooping();
    // The last frame the loop plays: the range's out, or the animation's end before it.
    int loopLast() const;
    // The animation ends at the playhead, or nowhere (clear); one undo step.
    void setEnd(bool clear);
    // "Rec" with a range set: the take from in after a pre-roll of one bar with a click a beat.
    void startPunchIn();
    // At each step: the pre-roll shows the frames before in as their music is heard; in the
    // take every frame outside the range is kept as it was, and the take stops past out.
    void keepPunchIn();
    // Once the take has stopped (or the program ends in it): only the frames in to out keep
    // what it recorded; the status line says which.
    void endPunchIn();

    // --- The widgets (EditorPanel.cpp)
    // One pass over the panel's widgets; only a behaviour pass (drawPass false) changes data.
    void runPanel(bool drawPass);
    // The tool bar.
    void runToolBar(bool act);
    // The timeline's slider.
    void runTimeline(bool act);
    // The selected actor's property rows, "Bind scale", "Wobble" and "Reset>>".
    void runProperties(bool act, bool drawPass);
    // The layer list.
    void runLayers(bool act, bool drawPass);

    // --- Drawing (EditorDrawing.cpp)
    // Draws the waveform, beat markers and playhead.
    void drawTimeline();
    // Draws the motion lanes: where the selected actor (the first lane) and the others move.
    void drawLanes();
    // Draws the range and the animation's end over the timeline.
    void drawRangeAndEnd();
    // Draws the status line, and the key list with the recent messages while it is shown.
    void drawStatus();
    void drawHelp();
    // Draws the selected actor's poses around the current frame, faint.
    void drawOnionSkin();
    // Outlines the selected actor as it is drawn (its turned and scaled picture, to its drawn
    // pixels' bounds), in the stage's view.
    void drawSelection();
    // Veils what the stage area shows outside the stage.
    void drawOffStage();
    // A line of the given width in window pixels.
    void line(const irr::core::vector2df& a, const irr::core::vector2df& b, float width, irr::u32 argb);
    // The layer list's icons: an eye (open while shown) and a lock (closed while locked).
    void drawEye(const RectF& r, bool shown);
    void drawLock(const RectF& r, bool locked);
    // Covers what the scene drew outside the stage with the panel's colour.
    void drawPanelBackground();
    // A solid rectangle.
    void fill(const RectF& r, irr::u32 argb);
    // A line of text.
    void text(float x, float y, const char* line, int flags, irr::u32 argb);
    // The line cut (with "...") to fit width pixels at the label scale.
    std::string fitted(const std::string& line, float width) const;

    StateAccess play;  // the state: what the editor reads and changes of it
    EditorLayout layout;
    EditorMetrics metrics;
    std::unique_ptr<ButtonSkin> toolSkin;   // tool-bar buttons and "Reset>>"
    std::unique_ptr<ButtonSkin> layerSkin;  // the rows of the layer list (text only)
    EditHistory history;
    RecoveryWriter writer;
    WaveformPeaks wave;
    BeatLoader beatLoader;
    std::vector<long> beats;
    bool beatsTaken = false;
    StatusLine status;
    bool dirty = false;
    bool discardConfirmed = false;
    bool quitArmed = false;
    irr::u32 quitArmedAt = 0;
    bool recoveryDue = false;
    irr::u32 recoveryDueAt = 0;
    irr::u32 nextTakeWrite = 0;
    std::string recoveryFailure;     // what the status line's alarm says ("" while writes succeed)
    std::string rigRecoveryFailure;  // why the rig's or the scene settings' recovery file was last not written
    irr::u32 recoveryRetryAt = 0;
    bool scrubbing = false;
    bool onStage = false;        // the current press landed on the stage
    bool showHelp = false;
    bool onion = false;
    double viewStart = 0.0;      // first frame the timeline shows
    double framesPerPixel = 0.0; // 0: the whole animation
    int layerScroll = 0;         // first row the layer list shows (rows topmost first)
    StageView view;              // the stage's zoom and pan
    bool panning = false;        // a middle-button drag pans the stage
    irr::core::vector2df panFrom{0.f, 0.f};  // the pointer at the last step of the pan
    Actor* layerDragged = nullptr;  // the actor whose layer row is held (a drag moves it)
    bool lockedDrag = false;        // the press on the stage would drag a locked actor
    irr::core::vector2df lastScene{0.f, 0.f};  // scene point of the last mouse position
    int inFrame = -1, outFrame = -1;  // the range's ends (-1: not set)
    bool rangeDragging = false;       // a Shift+drag on the timeline sets the range
    int rangeAnchor = 0;              // the frame where that drag began
    MotionClip clip;                  // the motion Ctrl+C copied
    bool looping = false;             // playback loops through the range
    // A punch-in while it runs: its frames, and every actor's track and the animation's length
    // as they were at "Rec".
    struct PunchIn {
        FrameRange range;
        int frameCount = 0;
        std::vector<std::pair<Actor*, std::vector<ActorPose>>> tracks;
        bool recorded = false;  // its take has begun
    };
    std::unique_ptr<PunchIn> punch;
    std::deque<DanceMemory> dances;  // the newest last, at most DANCES_REMEMBERED
    std::size_t savedPosition = 0;  // the history's position that the files hold
    bool savedKnown = true;         // savedPosition is known (false after a recovery)

    // The take in time.
    std::unique_ptr<TakeTiming> take;
    PointerSampler sampler;
    bool pointerFromEvents = false;  // takes follow the events (takePointerFromEvents)
    bool eventsFeedTake = false;     // the running take follows the events
    PointerSample lastEvent;         // the last mouse event's position and button
    struct TakeDrag {
        Actor* actor = nullptr;
        bool turn = false;
    };
    std::vector<TakeDrag> takeDrags;  // by the take's drag numbers
    bool takeMoved = false;           // a frame of the take moved
    bool takePressOffStage = false;   // a press of the take began outside the stage
    bool takePressUnselected = false; // a press on the stage found no actor selected
    double performerDelay = 0.0;
    // The count-in.
    bool countInOn = false;
    bool countInRunning = false;
    double countInTakeMs = 0.0;       // the music time of the take's first frame
    double countInDeadline = 0.0;     // steady ms by which its music must be heard
    // The calibration while it runs.
    struct CalibrationRun {
        HeardMusic music;                  // the clicks' music heard at steady moments
        std::vector<double> clickMusicMs;  // each click's music time
        std::vector<double> tapsMs;        // steady moments of the taps
        std::vector<PointerSample> keys;   // the sampler's key samples
        double periodMs = 0.0;
        double endMusicMs = 0.0;           // once this is heard, the taps are in
        bool sampled = false;              // the taps' moments come from the sampler
    };
    std::unique_ptr<CalibrationRun> calibration;
};
