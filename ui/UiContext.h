#pragma once
// The immediate-mode widget context: ids, hot / active / focus, keyboard commands.
//
// No widget object outlives a call. Each pass the caller issues widget calls in a stable
// order (which is also the Tab order); between calls the context keeps only the ids of
// the widget under the mouse (hot), the widget that took the mouse press (active, or
// UI_ACTIVE_BLOCKED when the press landed on no widget) and the widget with keyboard
// focus, plus the mouse and keyboard input fed to it. Hit tests, value mapping and
// drawing belong to the skins handed to each call (ui/Skins.h).
//
// A drawing pass only draws: in it no widget takes the mouse, clicks, toggles, moves a value
// or takes a typed character (keyboard focus may still move). A command that acts on a widget
// (Return, the arrows) acts only on the widget that had the focus when the key was pressed,
// and a mouse press drops it: a later click never fires a stale key.
#include <irrlicht.h>

#include "render/Types.h"

class Image;
class Skin;
class ButtonSkinInterface;
class SliderSkinInterface;
class TextFieldSkinInterface;

// Widget id meaning "no widget" in the id fields; as an argument it asks for an automatic id.
constexpr int UI_NO_ID = -1;
// Value of the active id while the mouse button is held after a press that hit no widget.
constexpr int UI_ACTIVE_BLOCKED = -2;
// Each id base owns a block of this many automatic ids (the base's low 15 bits, shifted).
constexpr int UI_ID_BLOCK_SHIFT = 16;
constexpr int UI_ID_BASE_MASK = 0x7FFF;

// Widget state handed to skins: bit 0 hot, bit 1 active or focused.
constexpr int UI_STATE_HOT = 1;
constexpr int UI_STATE_ACTIVE = 2;

// Slider orientation.
constexpr int UI_HORIZONTAL = 0;
constexpr int UI_VERTICAL = 1;

// Keyboard commands the context understands.
enum class UiKeyCommand : int {
    None = 0,
    Character = 1,      // a typed character, for text fields; dropped by endPass
    FocusNext = 2,      // Tab
    FocusPrevious = 3,  // Shift+Tab
    Left = 4,           // horizontal slider: step down
    Right = 5,          // horizontal slider: step up
    Up = 6,             // vertical slider: step down
    Down = 7,           // vertical slider: step up
    Activate = 8,       // Return: the focused button or check box clicks
};

// One keyboard command as built by the state from a key press.
struct UiKeyEvent {
    UiKeyCommand command = UiKeyCommand::None;
    int character = 0;  // the typed character (8 is backspace)
    bool shift = false;
    bool control = false;
    bool extra = false;  // carried along, read by nothing
    const irr::SEvent::SKeyInput* keyInput = nullptr;  // the engine's record; not kept
};

class UiContext {
public:
    // Nothing hot, active or focused; no pending key.
    UiContext() = default;
    virtual ~UiContext() = default;

    // Starts a pass: clears hot, sets the automatic ids to the id base's block.
    virtual void beginPass(int time, short idBase, bool drawPass);
    // Ends a pass: releases or blocks the active id, drops a pending typed character.
    virtual void endPass();
    // Forgets hot, active, focus and the mouse button (ids and the pending key stay).
    virtual void reset();
    // A push button; true when clicked in this pass.
    virtual bool button(float x, float y, int id, ButtonSkinInterface* skin, float w, float h,
                        const char* text, Image* icon);
    // A check box showing text and icon only while *value is set; true when toggled.
    virtual bool checkBox(float x, float y, bool* value, int id, ButtonSkinInterface* skin,
                          float w, float h, const char* text, Image* icon);
    // A float slider that follows the dragging mouse and steps by the arrow keys.
    virtual void sliderFloat(float x, float y, float* value, int id, int orientation,
                             SliderSkinInterface* skin, float min, float max, float step,
                             float w, float h);
    // An int slider that follows the dragging mouse and steps by the arrow keys.
    virtual void sliderInt(float x, float y, int* value, int id, int orientation,
                           SliderSkinInterface* skin, int min, int max, int step, float w,
                           float h);
    // A one-line text field editing buffer (room for maxLength characters plus the NUL).
    virtual void textField(float x, float y, char* buffer, int maxLength, int id,
                           TextFieldSkinInterface* skin, float w, float h);
    // True when the dragged widget was released over this area; *draggedId gets its id.
    virtual bool dropTarget(float x, float y, int* draggedId, ButtonSkinInterface* skin,
                            float w, float h, const char* text, Image* icon);
    // Replaces the pending keyboard command; it belongs to the widget that has the focus now.
    virtual void setKeyEvent(const UiKeyEvent& event);
    // A mouse button went down: a pending Return or arrow command is dropped.
    virtual void pressMouse();
    // The mouse button went up.
    virtual void releaseMouse();
    // The mouse moved to (x, y) screen pixels.
    virtual void setMousePosition(int x, int y);

    // Sets the last automatic id handed out; the next one is counter + 1.
    void setIdCounter(int counter) { idCounter = counter; }
    // Widget that took the current press, UI_ACTIVE_BLOCKED, or UI_NO_ID.
    int activeId() const { return active; }
    // Gives the keyboard focus to a widget id.
    void setFocus(int id) { focus = id; }
    // True while skins may put things on screen.
    bool isDrawPass() const { return drawPass; }

    // Widget under the mouse in this pass, or UI_NO_ID.
    int hotId() const { return hot; }
    // Widget with keyboard focus, or UI_NO_ID.
    int focusId() const { return focus; }
    // Widget processed last.
    int lastWidgetId() const { return lastId; }
    // Last automatic id handed out.
    int idCounterValue() const { return idCounter; }
    // The pending keyboard command.
    const UiKeyEvent& pendingKey() const { return key; }
    // Rectangle the most recent skin draw returned.
    const RectF& lastDrawnRect() const { return lastRect; }
    // Clock value given to beginPass.
    int currentPassTime() const { return passTime; }
    // Pass time at which a focus move or text edit last consumed a key.
    int lastKeyConsumedTime() const { return lastKeyTime; }
    // True while a mouse button is held.
    bool isMouseDown() const { return mouseDown; }
    // Mouse x in screen pixels.
    int mousePositionX() const { return mouseX; }
    // Mouse y in screen pixels.
    int mousePositionY() const { return mouseY; }

protected:
    // Resolves UI_NO_ID to the next automatic id.
    int resolveId(int id);
    // The hot / active / focus rule shared by every widget; returns the widget state.
    int update(int id, bool over, const Skin* skin);
    // The click rule of buttons (on release or on press, or the Activate key).
    bool clicked(int id, const ButtonSkinInterface* skin);
    // True when the pending command is cmd.
    bool pending(UiKeyCommand cmd) const { return key.command == cmd; }
    // True when widget id may act on the pending command: it is focused, had the focus when the
    // key was pressed, and this is not a drawing pass.
    bool keyActsOn(int id) const { return !drawPass && focus == id && keyFocus == id; }

    int idCounter = 0;
    int mouseX = 0;
    int mouseY = 0;
    bool mouseDown = false;
    int lastId = UI_NO_ID;
    int hot = UI_NO_ID;
    int active = UI_NO_ID;
    int previousActive = UI_NO_ID;
    int focus = UI_NO_ID;
    int lastFocusable = UI_NO_ID;
    bool drawPass = false;
    RectF lastRect;
    int passTime = 0;
    int lastKeyTime = 0;
    UiKeyEvent key;
    int keyFocus = UI_NO_ID;  // the focus when the pending key was pressed
};
