#pragma once
// The editor's keys as data: one table of { key, modifiers, command, help } from which the key
// handler dispatches and the key list (F1) is made, so that the two can never disagree. Keys
// not in the table work the focused widget (Tab, Shift+Tab, Return, the arrows).
#include <irrlicht.h>

#include <cstddef>
#include <string>
#include <vector>

// What a key press must hold of a modifier for an entry to match.
enum class Held : unsigned char { No, Yes, Either };

// What the editor's keys do.
enum class EditorCommand {
    PlayStop,      // Play, or Stop while playing or recording
    RecStop,       // Rec (a punch-in with a range set), or Stop while recording
    RecHalfSpeed,  // Rec with the music at half speed, or Stop while recording
    Rewind,        // frame 0
    CountIn,       // a bar of clicks before each take, or none
    Calibrate,     // the performer's delay, from taps on a steady click
    Save,
    Undo,
    Redo,
    OnionSkin,     // the selected actor's poses before and after, faint
    FrameBack,     // the playhead one frame back, or forward
    FrameForward,
    BeatBack,      // the playhead to the previous, or next, beat marker
    BeatForward,
    RangeIn,       // the range's in, or out, at the playhead
    RangeOut,
    Hold,          // through the range, on the selection and what hangs from it: frames take the pose at in
    Smooth,        // its motion smoothed
    Copy,          // its motion copied
    Paste,         // the copied motion pasted at the playhead
    Repeat,        // its motion repeated after the range, which moves onto the copy
    Loop,          // playback looped through the range
    SetEnd,        // the animation ends at the playhead
    ClearEnd,      // the animation's end cleared
    BeatsEarlier,  // the beat grid, by a step (Shift: a fine step)
    BeatsLater,
    BeatsSlower,   // the grid's period, by a step (Shift: a fine step)
    BeatsFaster,
    RigPivot,      // the selected actor's pivot under the pointer
    RigHang,       // hang the selection from the actor under the pointer
    RigUnhang,
    LayerUp,       // the selection one place up the drawing order (drawn over one more)
    LayerDown,     // one place down
    HideShow,      // the selection hidden or shown in the editor
    LockUnlock,    // the selection locked (never picked on the stage) or unlocked
    FitStage,      // the stage fitted to the window again (no zoom, no pan)
    Dance,         // the selection and what hangs from it dance on the beats
    DanceOwn,      // the selection's own beat motion: the next of the five
    Quit,          // as closing the window (the quit guard)
    Help,          // the key list
};

// One key of the editor.
struct EditorKey {
    irr::EKEY_CODE key;
    Held control;
    Held shift;
    EditorCommand command;
    const char* name;  // the key as the key list shows it
    const char* help;  // what it does, one line (keys with the same help share it)
    int line;          // the key list's line it is shown on, counted from the first key line
};

// The table, in the order the key list shows it.
extern const EditorKey EDITOR_KEYS[];
extern const std::size_t EDITOR_KEY_COUNT;

// The entry a key press matches, or null (the key then works the focused widget).
const EditorKey* editorKeyFor(const irr::SEvent::SKeyInput& key);
// The key list: the mouse and the widgets, then the keys of the table, a line per line number
// ("NAME: help" for each, keys with the same help as "NAME, NAME: help").
std::vector<std::string> editorHelpLines();
