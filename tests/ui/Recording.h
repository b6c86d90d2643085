#pragma once
// Observers for what skins put on screen: a renderer that records every quad of a batch when
// the batch is flushed (instead of handing it to the driver), and an Image that records the
// flags of each draw before drawing as usual.
#include <algorithm>
#include <vector>

#include "render/Image.h"
#include "render/Renderer2D.h"

namespace ui_test {

struct RecordedQuad {
    irr::video::ITexture* texture;
    irr::s32 blend;
    float left, top, right, bottom;
    irr::u32 colour;  // of the top-left corner
};

class RecordingRenderer : public Renderer2D {
public:
    explicit RecordingRenderer(irr::IrrlichtDevice* device) : Renderer2D(device, 64) {}

    std::vector<RecordedQuad> quads;

    void flush() override {
        for (irr::s32 q = 0; q + 3 < vertexCount_; q += 4) {
            float l = 1e9f, t = 1e9f, r = -1e9f, b = -1e9f;
            for (int i = 0; i < 4; ++i) {
                const auto& p = vertices_[irr::u32(q + i)].Pos;
                l = std::min(l, p.X);
                r = std::max(r, p.X);
                t = std::min(t, p.Y);
                b = std::max(b, p.Y);
            }
            quads.push_back({currentTexture, currentBlend, l, t, r, b,
                             vertices_[irr::u32(q)].Color.color});
        }
        vertexCount_ = 0;
        primitiveCount_ = 0;
        currentTexture = nullptr;
        currentBlend = 0;
        currentFlags = 0;
        indices_.clear();
        vertices_.clear();
    }
    // Flushes what is pending and hands back everything recorded so far, then forgets it.
    std::vector<RecordedQuad> take() {
        flush();
        std::vector<RecordedQuad> out;
        out.swap(quads);
        return out;
    }
};

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
