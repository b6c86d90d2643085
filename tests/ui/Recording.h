#pragma once
// An Image that records the flags of each draw before drawing as usual (what skins put on
// screen is recorded by tests/render/RecordingRenderer.h).
#include <vector>

#include "render/Image.h"

namespace ui_test {

// Shares the texture of a loaded Image and records the draw flags it is given.
class FlagRecordingImage : public Image {
public:
    explicit FlagRecordingImage(Image* from)
        : Image(from->renderer(), from->pixelWidth(), from->pixelHeight(), from->flags(),
                from->texture(), from->texCoords()) {}

    std::vector<irr::u32> drawFlags;
    std::vector<irr::s32> blends;

    void draw(irr::s32 blend, irr::u32 flags, float x, float y, const ColorRGBA* col,
              const RectF* rect) override {
        drawFlags.push_back(flags);
        blends.push_back(blend);
        Image::draw(blend, flags, x, y, col, rect);
    }
    using Image::draw;
};

}  // namespace ui_test
