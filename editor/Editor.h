#pragma once
// The editing mode: the main state's scene on a stage scaled to fit the window, a tool bar,
// a timeline with the song, the selected actor's properties, a layer list and a status line,
// all laid out by EditorLayout; undo and redo of every edit; a recovery file that keeps
// unsaved work through a crash; a quit guard that keeps it through a key pressed by mistake.
//
// Behaviour apart from drawing: input (mouse, keys) runs a behaviour pass of the panel, which
// alone changes data; the drawing pass issues the same widgets on copies and only draws.
#include <irrlicht.h>

#include <memory>
#include <string>

#include "editor/Beats.h"
#include "editor/EditHistory.h"
#include "editor/EditorLayout.h"
#include "editor/Recovery.h"
#include "editor/Waveform.h"
#include "states/StateExtension.h"

class Actor;
class ButtonSkin;
class MainState;

// After a settled edit, the recovery file is written within this many milliseconds.
constexpr irr::u32 RECOVERY_SETTLE_DELAY_MS = 500;
// During a take the recovery file is written this often (so at least once a second), in ms.
constexpr irr::u32 RECOVERY_TAKE_INTERVAL_MS = 900;
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

// Attaches the editing mode to the state (before init and enter).
void enableEditing(MainState& state);

class Editor : public StateExtension {
public:
    // Works on the state's actors, frame and modes; writes its recovery file beside the actors.
    explicit Editor(MainState& state);
    ~Editor() override;

    // Shows the pointer, stops at frame 0, restores a recovery file left by a crash.
    void enter() override;
    // Keeps unsaved work in the recovery file unless the user chose to discard it.
    void leave() override;
    // Waits for the recovery file's writer, frees the editor's skins.
    void shutdown() override;
    // Keeps the timeline on the playhead and the recovery file up to date.
    void afterUpdate() override;
    // The scaled stage with the scene, the onion skin and the selection, then the panel.
    void render(irr::IrrlichtDevice* device) override;
    // The editor's keys; others work the focused widget at once.
    bool keyDown(const irr::SEvent::SKeyInput* key) override;
    // A press: the panel takes it, or on the stage the selection starts a drag.
    void mouseDown(const irr::SEvent::SMouseInput* mouse) override;
    // A release: the panel's clicks; on the stage a click selects.
    void mouseUp(const irr::SEvent::SMouseInput* mouse) override;
    // Motion: sliders follow; a drag moves the selection.
    void mouseMove(const irr::SEvent::SMouseInput* mouse) override;
    // The wheel zooms the timeline around the pointer, or scrolls the layer list.
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
    // The status line's message.
    const std::string& statusMessage() const { return status; }
    // The layout of the current window.
    const EditorLayout& currentLayout() const { return layout; }
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

private:
    // Undoes (forward false) or redoes the newest step of the history; false when none was taken.
    bool stepHistory(bool forward);
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
    // Draws the waveform, beat markers and playhead.
    void drawTimeline();
    // Draws the status line, and the key list while it is shown.
    void drawStatus();
    void drawHelp();
    // Draws the selected actor's poses around the current frame, faint.
    void drawOnionSkin();
    // Outlines the selected actor's hit area.
    void drawSelection();
    // Covers what the scene drew outside the stage with the panel's colour.
    void drawPanelBackground();
    // A solid rectangle.
    void fill(const RectF& r, irr::u32 argb);
    // A line of text.
    void text(float x, float y, const char* line, int flags, irr::u32 argb);
    // The line cut (with "...") to fit width pixels at the label scale.
    std::string fitted(const std::string& line, float width) const;
    // "Play" when stopped, "Stop" when playing or recording.
    void togglePlayback();
    // "Rec" when stopped, "Stop" when recording.
    void toggleRecording();
    // Moves to a frame (the music follows).
    void seek(int frame);
    // Opens an edit unless one is open; ends it once nothing is held and nothing recorded.
    void beginEdit();
    void settleEdit();
    // Plays the music from the timeline thumb while it is dragged; stops it when let go.
    void scrubMusic();
    // Reads a recovery file left behind and puts its tracks on the actors.
    void restoreRecovery();
    // Frame of a pixel column of the timeline, and the column of a frame.
    double frameAtX(float x) const;
    float xOfFrame(double frame) const;
    // Frames shown by the timeline.
    double visibleFrames() const;
    // Keeps the view within the animation.
    void clampView();
    // Milliseconds of the engine's real-time clock.
    irr::u32 now() const;
    // The window point of a mouse record, and its scene point through the stage.
    irr::core::vector2df scenePoint(int x, int y) const;

    MainState& state;
    EditorLayout layout;
    EditorMetrics metrics;
    ButtonSkin* toolSkin = nullptr;   // tool-bar buttons and "Reset>>"
    ButtonSkin* layerSkin = nullptr;  // the rows of the layer list (text only)
    EditHistory history;
    RecoveryWriter writer;
    WaveformPeaks wave;
    BeatLoader beatLoader;
    std::vector<long> beats;
    bool beatsTaken = false;
    // Takes the beats once the loader has them.
    void takeBeats();
    std::string status;
    bool dirty = false;
    bool discardConfirmed = false;
    bool quitArmed = false;
    irr::u32 quitArmedAt = 0;
    bool recoveryDue = false;
    irr::u32 recoveryDueAt = 0;
    irr::u32 nextTakeWrite = 0;
    bool scrubbing = false;
    bool onStage = false;        // the current press landed on the stage
    bool showHelp = false;
    bool onion = false;
    double viewStart = 0.0;      // first frame the timeline shows
    double framesPerPixel = 0.0; // 0: the whole animation
    int layerScroll = 0;         // first actor the layer list shows
    irr::core::vector2df lastScene{0.f, 0.f};  // scene point of the last mouse position
};
