#pragma once
// The editor's layout: every rectangle of the editing window, computed in one place from the
// window size and the sizes of the skins and the font. Widgets take their rectangle from here
// and carry no numbers of their own.
//
//   +--------------------------------------------------------------+
//   | tool bar: Play/Stop  <<  Rec  Save  Undo  Redo  Help          |
//   +------------------------------------------+-------------------+
//   |                                          | actor name        |
//   |   stage (1280 x 720 scene, scaled to     | X   [slider] value|
//   |   fit, centred in its area)              | ... rot, W, H     |
//   |                                          | [] Bind scale     |
//   |                                          | [] Wobble         |
//   +------------------------------------------+ Reset>>           |
//   | timeline: waveform, beats, playhead      | Layers            |
//   | motion lanes (the selected actor first)  |  actor rows ...   |
//   | [frame slider]                           |                   |
//   | frame / time                             |                   |
//   +------------------------------------------+-------------------+
//   | status line                                                  |
//   +--------------------------------------------------------------+
#include <irrlicht.h>

#include <vector>

#include "render/Types.h"
#include "platform/Timebase.h"

// The smallest window the layout is made for; below it the layout is that of this size (the
// window then shows part of it), so nothing ever overlaps.
constexpr int EDITOR_MIN_WIDTH = 960;
constexpr int EDITOR_MIN_HEIGHT = 560;
// Pixels between neighbouring controls and around the window's edge.
constexpr float EDITOR_GAP = 4.f;
// Width of the side column (properties and layers), in pixels.
constexpr float EDITOR_SIDE_WIDTH = 300.f;
// Width of a property row's label ("X", "rot") and of its value text, in pixels.
constexpr float EDITOR_LABEL_WIDTH = 36.f;
constexpr float EDITOR_VALUE_WIDTH = 96.f;
// Width of each icon (the eye, the lock) at the start of a layer row, in pixels.
constexpr float EDITOR_LAYER_ICON_WIDTH = 20.f;
// Height of the waveform band of the timeline, in pixels.
constexpr float EDITOR_WAVE_HEIGHT = 48.f;
// The motion lanes under the waveform: one row of this many pixels (its mark one pixel less)
// per actor, the selected actor's always, and as many more as the room the stage leaves
// (it keeps its fitted size), up to EDITOR_MAX_LANES.
constexpr float EDITOR_LANE_HEIGHT = 7.f;
constexpr int EDITOR_MAX_LANES = 40;
// The stage is never drawn larger than its own size (1280 x 720) times this.
constexpr float EDITOR_MAX_STAGE_SCALE = 1.f;
// The stage's zoom levels, in window pixels per stage pixel, as an artist's zoom steps: each
// Ctrl+wheel notch goes to the next one (from the fitted size, whatever it is). How far from
// the stage's centre the view may be panned (scene units: a stage's width or height either way).
constexpr float STAGE_ZOOM_LEVELS[] = {0.25f, 1.f / 3.f, 0.5f, 2.f / 3.f, 1.f, 1.5f, 2.f, 3.f, 4.f, 6.f, 8.f};
constexpr float STAGE_PAN_REACH_X = 16.f;
constexpr float STAGE_PAN_REACH_Y = 9.f;

// The editor's button pictures (and their text) are drawn at this scale, its labels at this
// text scale (the bundled font is large).
constexpr float EDITOR_BUTTON_SCALE = 0.65f;
constexpr float EDITOR_LABEL_SCALE = 0.42f;

// How the stage is viewed: its scale (window pixels per stage pixel; 0: fitted to its room, as
// large as fits and never larger than its own size), and the scene point shown at the room's
// centre (scene units; the stage's centre unless panned).
struct StageView {
    float scale = 0.f;
    irr::core::vector2df centre{float(STAGE_WIDTH_PIXELS) / 160.f, float(STAGE_HEIGHT_PIXELS) / 160.f};
};

// Sizes the layout is built from: the skins' and the font's, in pixels.
struct EditorMetrics {
    float buttonW = 94.f;  // a tool-bar button
    float buttonH = 26.f;
    float thumbH = 16.f;   // a slider's thumb (the height of a slider row)
    float checkW = 16.f;   // a check box
    float checkH = 16.f;
    float textH = 17.f;    // one line of label text
};

// The tool bar's buttons, left to right.
enum EditorToolButton : int {
    TOOL_PLAY = 0,  // "Play" or "Stop"
    TOOL_REWIND,    // "<<"
    TOOL_REC,       // "Rec" or "Stop"
    TOOL_SAVE,
    TOOL_UNDO,
    TOOL_REDO,
    TOOL_HELP,      // "Help": every key and mouse action
    TOOL_COUNT,
};

// The five property rows, top to bottom.
enum EditorPropertyRow : int { PROP_X = 0, PROP_Y, PROP_ROT, PROP_W, PROP_H, PROP_COUNT };

// One property row: its label, its slider and its value text.
struct EditorPropertyRect {
    RectF label, slider, value;
};

// Where everything is, for one window size.
struct EditorLayout {
    float windowW = 0.f, windowH = 0.f;  // the size laid out (at least the minimum)
    RectF toolBar;
    RectF tools[TOOL_COUNT];
    RectF stageArea;  // the room the stage is shown in: the scene within it, off the stage veiled
    RectF stage;      // the stage as drawn: 1280 x 720 times stageScale (zoomed, it may reach
                      // past stageArea; only stageArea shows)
    float stageScale = 1.f;  // window pixels per stage pixel, as the view has it
    float fitScale = 1.f;    // the scale at which the whole stage fits its room
    RectF timeline;   // the whole timeline band
    RectF wave;       // waveform, beat markers and playhead
    RectF lanes;      // the motion lanes: rows of EDITOR_LANE_HEIGHT from its top
    RectF timelineSlider;
    RectF timelineText;  // frame number and time
    RectF side;          // the side column
    RectF actorName;     // the selected actor's name
    EditorPropertyRect props[PROP_COUNT];
    RectF bindScale;     // check box, its text right of it
    RectF bindScaleText;
    RectF wobble;
    RectF wobbleText;
    RectF reset;         // "Reset>>"
    RectF layersTitle;
    RectF layers;        // the list: rows of layerRowH from its top
    float layerRowH = 0.f;
    RectF status;        // the status line
    RectF help;          // the key list (F1), over the stage area and the timeline

    // Number of whole layer rows the list shows.
    int visibleLayerRows() const;
    // Number of motion lanes, and lane i (0: the selected actor's).
    int laneCount() const;
    RectF lane(int i) const;
    // Row i of the layer list counted from the first one shown.
    RectF layerRow(int i) const;
    // In row i of the layer list: the eye (hide or show), the lock, and the name's room.
    RectF layerEye(int i) const;
    RectF layerLock(int i) const;
    RectF layerName(int i) const;
    // Every control and text rectangle, to check that none overlaps another.
    std::vector<RectF> controls() const;
};

// The metrics of the skin pictures' and the font's sizes, in pixels.
EditorMetrics editorMetrics(float buttonPictureW, float buttonPictureH, float thumbH,
                            float checkW, float checkH, float fontLineHeight);
// The layout of a window of width x height pixels, the stage viewed as view says.
EditorLayout computeEditorLayout(int width, int height, const EditorMetrics& metrics,
                                 const StageView& view = StageView());
// The view zoomed to the next level in (in) or out about the window point p (the scene point
// under it stays there); the same view past the last level.
StageView zoomedView(const EditorLayout& layout, const StageView& view, const irr::core::vector2df& p, bool in);
// The view moved by d window pixels (the scene follows the pointer), within the pan's reach.
StageView pannedView(const EditorLayout& layout, const StageView& view, const irr::core::vector2df& d);

// True when the two rectangles share an area (touching edges do not count).
bool rectsOverlap(const RectF& a, const RectF& b);
// True when inner lies wholly within outer.
bool rectInside(const RectF& inner, const RectF& outer);

// Scene units (80 stage pixels each) of a window pixel, through the scaled stage.
irr::core::vector2df windowToScene(const EditorLayout& layout, const irr::core::vector2df& p);
// Window pixels of a scene point, through the scaled stage.
irr::core::vector2df sceneToWindow(const EditorLayout& layout, const irr::core::vector2df& s);
