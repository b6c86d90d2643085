#pragma once
// The skin interfaces: widgets hand hit testing, value mapping and drawing to these.
// A skin is owned by the caller; the context only borrows it for one widget call.
#include "render/Types.h"

class Image;
class UiContext;

class Skin {
public:
    virtual ~Skin() = default;
    // Whether widgets with this skin take the keyboard focus.
    virtual bool acceptsFocus() const { return true; }
};

// Skin of buttons, check boxes and drop targets.
class ButtonSkinInterface : public Skin {
public:
    ~ButtonSkinInterface() override = default;
    bool acceptsFocus() const override { return true; }
    // True: a click is a press and release over the button; false: the press itself.
    virtual bool clickOnRelease() const { return true; }
    // Whether the mouse is over the widget placed at rect (w or h 0: sized from content).
    virtual bool hitTest(const UiContext& ctx, float mouseX, float mouseY, const RectF& rect,
                         const char* text, Image* icon) const = 0;
    // Draws the widget in state (only in a drawing pass); returns its rectangle.
    virtual RectF draw(const UiContext& ctx, int state, float x, float y, float w, float h,
                       const char* text, Image* icon) = 0;
};

// Skin of sliders: geometry, value mapping, keyboard step factors and drawing.
class SliderSkinInterface : public Skin {
public:
    ~SliderSkinInterface() override = default;
    bool acceptsFocus() const override { return true; }
    // Whether the mouse is over the slider's track.
    virtual bool hitTest(const UiContext& ctx, float mouseX, float mouseY,
                         const RectF& rect) const = 0;
    // Factors a keyboard step of an int slider is multiplied by with Shift and Control.
    virtual void intStepFactors(int& shiftFactor, int& controlFactor) const = 0;
    // Factors a keyboard step of a float slider is multiplied by with Shift and Control.
    virtual void floatStepFactors(float& shiftFactor, float& controlFactor) const = 0;
    // Int value in [min, max] the mouse position selects.
    virtual int intValueAt(const UiContext& ctx, int orientation, int min, int max,
                           float mouseX, float mouseY, const RectF& rect) const = 0;
    // Float value in [min, max] the mouse position selects.
    virtual float floatValueAt(const UiContext& ctx, int orientation, float min, float max,
                               float mouseX, float mouseY, const RectF& rect) const = 0;
    // Draws a float slider (only in a drawing pass); returns its rectangle.
    virtual RectF drawFloat(const UiContext& ctx, int state, int orientation, float value,
                            float min, float max, float x, float y, float w, float h) = 0;
    // Draws an int slider (only in a drawing pass); returns its rectangle.
    virtual RectF drawInt(const UiContext& ctx, int state, int orientation, int value, int min,
                          int max, float x, float y, float w, float h) = 0;
};

// Skin of text fields (no concrete one ships with the program).
class TextFieldSkinInterface : public Skin {
public:
    ~TextFieldSkinInterface() override = default;
    bool acceptsFocus() const override { return true; }
    // Whether the mouse is over the field.
    virtual bool hitTest(const UiContext& ctx, float mouseX, float mouseY,
                         const RectF& rect) const = 0;
    // Whether a typed byte may be appended to the text.
    virtual bool acceptCharacter(char c) const = 0;
    // Draws the field (only in a drawing pass); returns its rectangle.
    virtual RectF draw(const UiContext& ctx, int state, float x, float y, float w, float h,
                       char* text) = 0;
};
