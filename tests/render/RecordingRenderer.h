#pragma once
// A Renderer2D that records every batch it hands to the driver, then draws it.
#include <irrlicht.h>

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

class RecordingRenderer : public Renderer2D {
public:
    using Renderer2D::Renderer2D;

    std::vector<RecordedBatch> batches;  // every non-empty flush, in order
    int flushCalls = 0;                  // every flush, empty or not

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
        Renderer2D::flush();
    }
    irr::video::ITexture* pendingTexture() const { return currentTexture; }
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
