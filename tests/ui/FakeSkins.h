#pragma once
// Small skins for driving UiContext rules directly: plain rectangle hit tests, and a record
// of the states they were asked to draw.
#include <vector>

#include "ui/Skins.h"
#include "ui/UiContext.h"

namespace ui_test {

class FakeButtonSkin : public ButtonSkinInterface {
public:
    bool focusable = true;
    bool releaseClicks = true;
    std::vector<int> drawnStates;

    bool acceptsFocus() const override { return focusable; }
    bool clickOnRelease() const override { return releaseClicks; }
    bool hitTest(const UiContext&, float mx, float my, const RectF& rect, const char*,
                 Image*) const override {
        return rect.contains(mx, my);
    }
    RectF draw(const UiContext&, int state, float x, float y, float w, float h, const char*,
               Image*) override {
        drawnStates.push_back(state);
        return RectF(x, y, w, h);
    }
};

// Maps the mouse x linearly over the rectangle's width; configurable step factors.
class FakeSliderSkin : public SliderSkinInterface {
public:
    bool focusable = true;
    int intShift = 3, intControl = 7;
    float floatShift = 3.f, floatControl = 7.f;
    std::vector<int> drawnStates;

    bool acceptsFocus() const override { return focusable; }
    bool hitTest(const UiContext&, float mx, float my, const RectF& rect) const override {
        return rect.contains(mx, my);
    }
    void intStepFactors(int& s, int& c) const override {
        s = intShift;
        c = intControl;
    }
    void floatStepFactors(float& s, float& c) const override {
        s = floatShift;
        c = floatControl;
    }
    int intValueAt(const UiContext&, int, int min, int max, float mx, float,
                   const RectF& rect) const override {
        return min + int((mx - rect.x) / rect.width * float(max - min));
    }
    float floatValueAt(const UiContext&, int, float min, float max, float mx, float,
                       const RectF& rect) const override {
        return min + (mx - rect.x) / rect.width * (max - min);
    }
    RectF drawFloat(const UiContext&, int state, int, float, float, float, float x, float y,
                    float w, float h) override {
        drawnStates.push_back(state);
        return RectF(x, y, w, h);
    }
    RectF drawInt(const UiContext&, int state, int, int, int, int, float x, float y, float w,
                  float h) override {
        drawnStates.push_back(state);
        return RectF(x, y, w, h);
    }
};

class FakeTextFieldSkin : public TextFieldSkinInterface {
public:
    bool hitTest(const UiContext&, float mx, float my, const RectF& rect) const override {
        return rect.contains(mx, my);
    }
    // Letters and digits only.
    bool acceptCharacter(char c) const override {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    }
    RectF draw(const UiContext&, int, float x, float y, float w, float h, char*) override {
        return RectF(x, y, w, h);
    }
};

// A key event carrying just a command (and its modifiers / character).
inline UiKeyEvent keyOf(UiKeyCommand command, bool shift = false, bool control = false,
                        int character = 0) {
    UiKeyEvent e;
    e.command = command;
    e.shift = shift;
    e.control = control;
    e.character = character;
    return e;
}

}  // namespace ui_test
