#include "render/Drawable.h"

Drawable::Drawable(irr::u32 width, irr::u32 height, irr::u32 flags)
    : width_(width), height_(height), flags_(flags) {}

void Drawable::setHotSpot(float x, float y) {
    hotSpot.set(x, y);
    hasHotSpot = true;
}

void Drawable::clearHotSpot() {
    hotSpot.set(0.f, 0.f);
    hasHotSpot = false;
}

void Drawable::setSourceRect(const RectF* r) {
    hasSourceRect = false;
    if (r) {
        sourceRect = *r;
        hasSourceRect = true;
    }
}
