#pragma once
// The tests' one recording renderer: a Renderer2D that records every batch it flushes (then
// hands it to the driver, or drops it when no driver should see it) and every picture path it
// is asked to load (then loads it, or answers with a stand-in).
#include <irrlicht.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "render/Renderer2D.h"

// One batch as flush found it.
struct RecordedBatch {
    irr::video::ITexture* texture;
    irr::s32 blend;
    irr::u32 flags;
    irr::s32 vertexCount;
    irr::s32 primitiveCount;
    std::vector<irr::video::S3DVertex> vertices;
    std::vector<irr::u16> indices;
};

// One quad of a recorded batch: its screen bounds and the colour of its top-left corner.
struct RecordedQuad {
    irr::video::ITexture* texture;
    irr::s32 blend;
    float left, top, right, bottom;
    irr::u32 colour;
};

class RecordingRenderer : public Renderer2D {
public:
    explicit RecordingRenderer(irr::IrrlichtDevice* device = nullptr, irr::s32 quadCapacity = 64)
        : Renderer2D(device, quadCapacity) {}

    std::vector<RecordedBatch> batches;  // every non-empty flush, in order
    int flushCalls = 0;                  // every flush, empty or not
    bool drawBatches = true;             // false: a recorded batch is dropped, not drawn
    std::vector<std::string> requested;  // every path loadImage was asked for, in order
    // When set, answers loadImage instead of loading the picture.
    std::function<Image*(const char* path, irr::u32 flags)> standIn;

    void flush() override {
        ++flushCalls;
        if (primitiveCount() > 0) {
            RecordedBatch b{currentTexture, currentBlend, currentFlags, vertexCount(),
                            primitiveCount(), {}, {}};
            b.vertices.assign(vertices().const_pointer(),
                              vertices().const_pointer() + vertices().size());
            b.indices.assign(indices().const_pointer(), indices().const_pointer() + indices().size());
            batches.push_back(b);
        }
        if (drawBatches)
            Renderer2D::flush();
        else
            resetBatch();
    }
    Image* loadImage(const char* path, irr::u32 flags) override {
        requested.push_back(path ? path : "");
        return standIn ? standIn(path, flags) : Renderer2D::loadImage(path, flags);
    }
    irr::video::ITexture* pendingTexture() const { return currentTexture; }

    // The quads of every batch recorded so far, in order.
    std::vector<RecordedQuad> quads() const {
        std::vector<RecordedQuad> out;
        for (const RecordedBatch& b : batches) {
            for (size_t q = 0; q + 3 < b.vertices.size(); q += 4) {
                float l = 1e9f, t = 1e9f, r = -1e9f, btm = -1e9f;
                for (size_t i = 0; i < 4; ++i) {
                    const irr::core::vector3df& p = b.vertices[q + i].Pos;
                    l = std::min(l, p.X);
                    r = std::max(r, p.X);
                    t = std::min(t, p.Y);
                    btm = std::max(btm, p.Y);
                }
                out.push_back({b.texture, b.blend, l, t, r, btm, b.vertices[q].Color.color});
            }
        }
        return out;
    }
    // Flushes what is pending and hands back the quads recorded so far, then forgets them.
    std::vector<RecordedQuad> takeQuads() {
        flush();
        std::vector<RecordedQuad> out = quads();
        batches.clear();
        return out;
    }
};

// An engine device on the null driver: no window needed, textures are placeholders.
inline irr::IrrlichtDevice* createNullDevice() {
    return irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2d<irr::u32>(640, 480));
}

// A placeholder texture registered with the driver under the given name.
inline irr::video::ITexture* makeTexture(irr::video::IVideoDriver* driver, const char* name) {
    irr::video::IImage* picture =
        driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2d<irr::u32>(4, 4));
    irr::video::ITexture* texture = driver->addTexture(name, picture);
    picture->drop();
    return texture;
}
