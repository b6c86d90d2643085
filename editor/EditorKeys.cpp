#include "editor/EditorKeys.h"

using namespace irr;

const EditorKey EDITOR_KEYS[] = {
    {KEY_KEY_P, Held::No, Held::Either, EditorCommand::RigPivot, "P", "its pivot under the pointer", 0},
    {KEY_KEY_H, Held::No, Held::Either, EditorCommand::RigHang, "H", "hang it from the actor under the pointer", 0},
    {KEY_KEY_U, Held::No, Held::Either, EditorCommand::RigUnhang, "U", "unhang", 0},
    {KEY_PRIOR, Held::No, Held::Either, EditorCommand::LayerUp, "Page Up", "one place up / down the drawing order", 1},
    {KEY_NEXT, Held::No, Held::Either, EditorCommand::LayerDown, "Page Down", "one place up / down the drawing order", 1},
    {KEY_KEY_V, Held::No, Held::Either, EditorCommand::HideShow, "V", "hide / show it in the editor", 1},
    {KEY_KEY_K, Held::No, Held::Either, EditorCommand::LockUnlock, "K", "lock / unlock it on the stage", 2},
    {KEY_KEY_0, Held::Yes, Held::Either, EditorCommand::FitStage, "Ctrl+0", "fit the stage to the window", 2},
    {KEY_SPACE, Held::No, Held::Either, EditorCommand::PlayStop, "Space", "Play / Stop", 3},
    {KEY_KEY_R, Held::No, Held::No, EditorCommand::RecStop, "R", "Rec / Stop (a range set: punch-in)", 3},
    {KEY_KEY_R, Held::No, Held::Yes, EditorCommand::RecHalfSpeed, "Shift+R",
     "Rec at half speed (the music slowed, its pitch kept) / Stop", 3},
    {KEY_HOME, Held::No, Held::Either, EditorCommand::Rewind, "Home", "frame 0", 3},
    {KEY_KEY_L, Held::No, Held::No, EditorCommand::Loop, "L", "loop playback through the range", 3},
    {KEY_KEY_C, Held::No, Held::Either, EditorCommand::CountIn, "C", "count-in on / off (a bar of clicks before Rec)", 4},
    {KEY_KEY_T, Held::No, Held::Either, EditorCommand::Calibrate, "T",
     "your delay: tap Space on 8 clicks (takes are shifted by it)", 4},
    {KEY_KEY_S, Held::Yes, Held::Either, EditorCommand::Save, "Ctrl+S", "Save", 5},
    {KEY_KEY_Z, Held::Yes, Held::No, EditorCommand::Undo, "Ctrl+Z", "Undo", 5},
    {KEY_KEY_Z, Held::Yes, Held::Yes, EditorCommand::Redo, "Ctrl+Shift+Z", "Redo", 5},
    {KEY_KEY_Y, Held::Yes, Held::Either, EditorCommand::Redo, "Ctrl+Y", "Redo", 5},
    {KEY_KEY_O, Held::No, Held::Yes, EditorCommand::OnionSkin, "Shift+O", "onion skin", 6},
    {KEY_KEY_E, Held::No, Held::No, EditorCommand::SetEnd, "E", "the animation ends at the playhead", 6},
    {KEY_KEY_E, Held::No, Held::Yes, EditorCommand::ClearEnd, "Shift+E", "no end", 6},
    {KEY_OEM_4, Held::No, Held::Either, EditorCommand::BeatsEarlier, "[", "shift the beats (Shift: finer)", 7},
    {KEY_OEM_6, Held::No, Held::Either, EditorCommand::BeatsLater, "]", "shift the beats (Shift: finer)", 7},
    {KEY_MINUS, Held::No, Held::Either, EditorCommand::BeatsSlower, "-", "slower / faster beats", 7},
    {KEY_PLUS, Held::No, Held::Either, EditorCommand::BeatsFaster, "=", "slower / faster beats", 7},  // the = key
    {KEY_COMMA, Held::No, Held::No, EditorCommand::FrameBack, ",", "one frame back", 8},
    {KEY_PERIOD, Held::No, Held::No, EditorCommand::FrameForward, ".", "one frame forward", 8},
    {KEY_COMMA, Held::No, Held::Yes, EditorCommand::BeatBack, "<", "previous beat marker", 8},
    {KEY_PERIOD, Held::No, Held::Yes, EditorCommand::BeatForward, ">", "next beat marker", 8},
    {KEY_KEY_I, Held::No, Held::No, EditorCommand::RangeIn, "I", "the range's in / out at the playhead", 9},
    {KEY_KEY_O, Held::No, Held::No, EditorCommand::RangeOut, "O", "the range's in / out at the playhead", 9},
    {KEY_DELETE, Held::No, Held::Either, EditorCommand::Hold, "Delete", "hold the pose at in", 9},
    {KEY_KEY_S, Held::No, Held::No, EditorCommand::Smooth, "S", "smooth", 9},
    {KEY_KEY_C, Held::Yes, Held::No, EditorCommand::Copy, "Ctrl+C", "copy", 10},
    {KEY_KEY_V, Held::Yes, Held::No, EditorCommand::Paste, "Ctrl+V", "paste at the playhead", 10},
    {KEY_KEY_R, Held::Yes, Held::No, EditorCommand::Repeat, "Ctrl+R", "repeat after the range (again: on)", 10},
    {KEY_KEY_D, Held::No, Held::No, EditorCommand::Dance, "D", "dance on the beats (with what hangs from it)", 11},
    {KEY_KEY_D, Held::No, Held::Yes, EditorCommand::DanceOwn, "Shift+D",
     "its own beat motion: bounce, sway, nod, swing, pulse", 11},
    {KEY_ESCAPE, Held::Either, Held::Either, EditorCommand::Quit, "Escape",
     "quit, as closing the window does (unsaved edits: twice in 3 s)", 12},
    {KEY_F1, Held::No, Held::Either, EditorCommand::Help, "F1", "show or hide this list", 12},
};
const std::size_t EDITOR_KEY_COUNT = sizeof EDITOR_KEYS / sizeof EDITOR_KEYS[0];

namespace {

// The mouse and the widgets, before the keys in the key list.
const char* const MOUSE_HELP_LINES[] = {
    "Keys and mouse",
    "Click an actor on the stage (the topmost one drawn there) or its name in Layers: select it",
    "  (click again there: the next one drawn under it; hidden and locked ones are passed by)",
    "Drag on the stage: move the selected actor from this frame on (with what hangs from it)",
    "Right-drag or Shift+drag on the stage: turn it about its pivot (with what hangs from it)",
    "Ctrl+wheel on the stage: zoom around the pointer; middle-drag: pan",
    "Layers (topmost first): drag a name up or down the drawing order; the eye hides",
    "  or shows it in the editor, the lock keeps clicks on the stage off it",
    "Timeline: click or drag to go to a frame (the music plays while the thumb is held); the wheel",
    "  zooms, over Layers it scrolls; Shift+drag sets the range on the beat markers (Alt: any frame);",
    "  the lanes under the song mark where the selected actor (top lane) and the others move",
    "Delete, S, Ctrl+C, Ctrl+R: through the range, on the selected actor and what hangs from it",
    "Tab, Shift+Tab: next / previous control; Return presses it; arrows move a slider",
};
// Between the keys on one line of the key list.
constexpr const char* KEY_HELP_GAP = "    ";

// True when a modifier's state is what an entry asks.
bool holds(Held wanted, bool held) { return wanted == Held::Either || (wanted == Held::Yes) == held; }

}  // namespace

const EditorKey* editorKeyFor(const SEvent::SKeyInput& key) {
    for (const EditorKey& entry : EDITOR_KEYS)
        if (entry.key == key.Key && holds(entry.control, key.Control) && holds(entry.shift, key.Shift))
            return &entry;
    return nullptr;
}

std::vector<std::string> editorHelpLines() {
    std::vector<std::string> lines(std::begin(MOUSE_HELP_LINES), std::end(MOUSE_HELP_LINES));
    std::string line;
    for (std::size_t i = 0; i < EDITOR_KEY_COUNT; ++i) {
        const EditorKey& entry = EDITOR_KEYS[i];
        const bool sameHelpAsNext = i + 1 < EDITOR_KEY_COUNT && EDITOR_KEYS[i + 1].line == entry.line &&
                                    std::string(EDITOR_KEYS[i + 1].help) == entry.help;
        const bool sameHelpAsLast = i > 0 && EDITOR_KEYS[i - 1].line == entry.line &&
                                    std::string(EDITOR_KEYS[i - 1].help) == entry.help;
        if (!line.empty()) line += sameHelpAsLast ? ", " : KEY_HELP_GAP;
        line += entry.name;
        if (!sameHelpAsNext) line += std::string(": ") + entry.help;
        if (i + 1 == EDITOR_KEY_COUNT || EDITOR_KEYS[i + 1].line != entry.line) {
            lines.push_back(line);
            line.clear();
        }
    }
    return lines;
}
