#include "ui/UiContext.h"

#include <cstring>

#include "ui/Skins.h"

namespace {

// Character code of backspace in a Character command.
constexpr int BACKSPACE = 8;

// Text-field rule when no skin decides: printable bytes only.
bool acceptByDefault(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 0x20 && u != 0x7F;
}

// The keyboard step of a slider (shared by the float and int sliders): Shift and Control
// multiply the step by the skin's factors, an arrow along the orientation moves the value
// unless it already sits at that end (then the command stays pending), and the value is
// clamped whatever the command was.
template <typename T>
void keyboardStep(UiKeyEvent& key, int orientation, T* value, T min, T max, T step,
                  T shiftFactor, T controlFactor) {
    T s = step;
    if (key.shift) s = s * shiftFactor;
    if (key.control) s = s * controlFactor;
    const UiKeyCommand down = orientation == UI_VERTICAL ? UiKeyCommand::Up : UiKeyCommand::Left;
    const UiKeyCommand up = orientation == UI_VERTICAL ? UiKeyCommand::Down : UiKeyCommand::Right;
    if (key.command == down && *value > min) {
        *value = *value - s;
        key.command = UiKeyCommand::None;
    } else if (key.command == up && *value < max) {
        *value = *value + s;
        key.command = UiKeyCommand::None;
    }
    if (*value < min) *value = min;
    if (*value > max) *value = max;
}

// Int slider values are stepped in 64 bits so that a step near the int limits cannot
// overflow before the clamp.
void keyboardStepInt(UiKeyEvent& key, int orientation, int* value, int min, int max, int step,
                     int shiftFactor, int controlFactor) {
    long long v = *value;
    keyboardStep<long long>(key, orientation, &v, min, max, step, shiftFactor, controlFactor);
    *value = static_cast<int>(v);
}

}  // namespace

void UiContext::beginPass(int time, short idBase, bool isDrawing) {
    passTime = time;
    drawPass = isDrawing;
    hot = UI_NO_ID;
    idCounter = (idBase & UI_ID_BASE_MASK) << UI_ID_BLOCK_SHIFT;
}

void UiContext::endPass() {
    if (!mouseDown)
        active = UI_NO_ID;
    else if (active == UI_NO_ID)
        active = UI_ACTIVE_BLOCKED;
    if (key.command == UiKeyCommand::Character) key.command = UiKeyCommand::None;
}

void UiContext::reset() {
    hot = UI_NO_ID;
    active = UI_NO_ID;
    previousActive = UI_NO_ID;
    focus = UI_NO_ID;
    lastFocusable = UI_NO_ID;
    mouseDown = false;
}

int UiContext::resolveId(int id) {
    if (id == UI_NO_ID) id = ++idCounter;
    return id;
}

// The hot / active / focus rule. A widget under the mouse is hot (the last one in call order
// wins); it becomes active when the button is down and nothing is active yet (a press that hit
// nothing leaves UI_ACTIVE_BLOCKED, which blocks every widget until the release). Becoming
// active moves an existing keyboard focus along. Then at most one focus move happens per
// widget: Shift+Tab goes back to the last focusable widget processed before this one (across
// the start of a pass that is the last one of the previous pass, so focus wraps), Tab goes to
// the widget processed right after the focused one (or the first one when none is focused).
// A skin that refuses focus passes a Tab on, and hands on a focus it was given.
int UiContext::update(int id, bool over, const Skin* skin) {
    previousActive = active;
    if (over) {
        hot = id;
        if (active == UI_NO_ID && mouseDown && !drawPass) {
            active = id;
            if (focus != UI_NO_ID) focus = id;
        }
    }
    int state = (hot == id ? UI_STATE_HOT : 0) + (active == id ? UI_STATE_ACTIVE : 0);

    const bool accepts = !skin || skin->acceptsFocus();
    if ((focus == id || focus == UI_NO_ID) && pending(UiKeyCommand::FocusPrevious)) {
        focus = lastFocusable;
        key.command = UiKeyCommand::None;
        lastKeyTime = passTime;
    } else if ((lastId == focus || focus == UI_NO_ID) && pending(UiKeyCommand::FocusNext)) {
        focus = id;
        if (accepts) key.command = UiKeyCommand::None;
        lastKeyTime = passTime;
    }

    if (focus == id) state = (hot == id && active == id) ? 3 : UI_STATE_ACTIVE;
    if (focus == id && !accepts) {
        key.command = UiKeyCommand::FocusNext;
        lastKeyTime = passTime;
    }

    lastId = id;
    if (accepts && skin) lastFocusable = id;
    return state;
}

// A button clicks when pressed and released over itself (click on release), or in the pass
// in which the press lands on it (click on press), or when focused and Return is pending.
bool UiContext::clicked(int id, const ButtonSkinInterface* skin) {
    if (drawPass) return false;
    bool result;
    if (!skin || skin->clickOnRelease())
        result = !mouseDown && hot == id && active == id;
    else
        result = mouseDown && previousActive == UI_NO_ID && active == id;
    if (keyActsOn(id) && pending(UiKeyCommand::Activate)) {
        result = true;
        key.command = UiKeyCommand::None;
    }
    return result;
}

bool UiContext::button(float x, float y, int id, ButtonSkinInterface* skin, float w, float h,
                       const char* text, Image* icon) {
    id = resolveId(id);
    const RectF rect(x, y, w, h);
    const float mx = float(mouseX), my = float(mouseY);
    const bool over = skin ? skin->hitTest(*this, mx, my, rect, text, icon) : rect.contains(mx, my);
    const int state = update(id, over, skin);
    if (skin) lastRect = skin->draw(*this, state, x, y, w, h, text, icon);
    return clicked(id, skin);
}

bool UiContext::checkBox(float x, float y, bool* value, int id, ButtonSkinInterface* skin,
                         float w, float h, const char* text, Image* icon) {
    const bool checked = value && *value;
    if (!checked) {
        text = nullptr;
        icon = nullptr;
    }
    const bool toggled = button(x, y, id, skin, w, h, text, icon);
    if (toggled && value) *value = !*value;
    return toggled;
}

void UiContext::sliderFloat(float x, float y, float* value, int id, int orientation,
                            SliderSkinInterface* skin, float min, float max, float step, float w,
                            float h) {
    id = resolveId(id);
    const RectF rect(x, y, w, h);
    const float mx = float(mouseX), my = float(mouseY);
    const bool over = skin ? skin->hitTest(*this, mx, my, rect) : false;
    const int state = update(id, over, skin);
    if (!value) return;
    if (skin && (state & UI_STATE_ACTIVE) && active == id && !drawPass)
        *value = skin->floatValueAt(*this, orientation, min, max, mx, my, rect);
    if ((state & UI_STATE_ACTIVE) && keyActsOn(id) && key.command != UiKeyCommand::None) {
        float shiftFactor = 1.f, controlFactor = 1.f;
        if (skin) skin->floatStepFactors(shiftFactor, controlFactor);
        keyboardStep<float>(key, orientation, value, min, max, step, shiftFactor, controlFactor);
    }
    if (skin) lastRect = skin->drawFloat(*this, state, orientation, *value, min, max, x, y, w, h);
}

void UiContext::sliderInt(float x, float y, int* value, int id, int orientation,
                          SliderSkinInterface* skin, int min, int max, int step, float w,
                          float h) {
    id = resolveId(id);
    const RectF rect(x, y, w, h);
    const float mx = float(mouseX), my = float(mouseY);
    const bool over = skin ? skin->hitTest(*this, mx, my, rect) : false;
    const int state = update(id, over, skin);
    if (!value) return;
    if (skin && (state & UI_STATE_ACTIVE) && active == id && !drawPass)
        *value = skin->intValueAt(*this, orientation, min, max, mx, my, rect);
    if ((state & UI_STATE_ACTIVE) && keyActsOn(id) && key.command != UiKeyCommand::None) {
        int shiftFactor = 1, controlFactor = 1;
        if (skin) skin->intStepFactors(shiftFactor, controlFactor);
        keyboardStepInt(key, orientation, value, min, max, step, shiftFactor, controlFactor);
    }
    if (skin) lastRect = skin->drawInt(*this, state, orientation, *value, min, max, x, y, w, h);
}

void UiContext::textField(float x, float y, char* buffer, int maxLength, int id,
                          TextFieldSkinInterface* skin, float w, float h) {
    id = resolveId(id);
    const RectF rect(x, y, w, h);
    const float mx = float(mouseX), my = float(mouseY);
    const bool over = skin ? skin->hitTest(*this, mx, my, rect) : rect.contains(mx, my);
    const int state = update(id, over, skin);
    if (mouseDown && previousActive != active && active == id) focus = id;
    if (pending(UiKeyCommand::Character) && (state & UI_STATE_ACTIVE) && focus == id &&
        !drawPass) {
        if (buffer && maxLength >= 0) {
            // The text is never read beyond maxLength bytes.
            const size_t len = strnlen(buffer, size_t(maxLength));
            const char c = static_cast<char>(key.character & 0xFF);
            if (len > 0 && key.character == BACKSPACE) {
                buffer[len - 1] = 0;
            } else if (len < size_t(maxLength) &&
                       (skin ? skin->acceptCharacter(c) : acceptByDefault(c))) {
                buffer[len] = c;
                buffer[len + 1] = 0;
            }
        }
        lastKeyTime = passTime;
        key.command = UiKeyCommand::None;
    }
    if (skin && buffer) lastRect = skin->draw(*this, state, x, y, w, h, buffer);
}

bool UiContext::dropTarget(float x, float y, int* draggedId, ButtonSkinInterface* skin, float w,
                           float h, const char* text, Image* icon) {
    if (active == UI_NO_ID || active == UI_ACTIVE_BLOCKED || active == hot || mouseDown)
        return false;
    const RectF rect(x, y, w, h);
    const float mx = float(mouseX), my = float(mouseY);
    const bool over = skin ? skin->hitTest(*this, mx, my, rect, text, icon) : rect.contains(mx, my);
    if (draggedId) *draggedId = active;
    return over;
}

void UiContext::setKeyEvent(const UiKeyEvent& event) {
    key.command = event.command;
    key.character = event.character;
    key.shift = event.shift;
    key.control = event.control;
    key.extra = event.extra;
    key.keyInput = nullptr;
    keyFocus = focus;
}

void UiContext::pressMouse() {
    mouseDown = true;
    switch (key.command) {
        case UiKeyCommand::Activate:
        case UiKeyCommand::Left:
        case UiKeyCommand::Right:
        case UiKeyCommand::Up:
        case UiKeyCommand::Down: key.command = UiKeyCommand::None; break;
        default: break;
    }
}

void UiContext::releaseMouse() { mouseDown = false; }

void UiContext::setMousePosition(int x, int y) {
    mouseX = x;
    mouseY = y;
}
