#pragma once
// The batching 2D renderer.
//
// Batch rule: quads accumulate into one pending indexed triangle list for as long as
// the batch key (texture, blend mode, flags value as passed to setBatchState) stays the
// same and the batch holds fewer than MAX_BATCH_VERTICES - 1 vertices; any change of key,
// or a full batch, draws what is pending first. One quad costs 4 vertices of 36 bytes
// (S3DVertex) plus 6 indices of 2 bytes: 156 bytes. A full batch (16384 vertices, 4096
// quads, 8192 triangles) is about 624 KiB; 16-bit indices never overflow.
#include <irrlicht.h>

#include "render/Renderer.h"

// Largest vertex count one batch reaches: setBatchState draws the batch once it holds
// 16383 (0x3FFF) or more vertices, so after the last quad it holds at most 16384.
constexpr irr::s32 MAX_BATCH_VERTICES = 0x4000;
// Quad capacity the Application passes: sizes the first reservation of the arrays only.
constexpr irr::s32 DEFAULT_QUAD_CAPACITY = 64;

// Source rectangle of createImage / makeTexture, in picture pixels.
struct PictureRect {
    irr::s16 x = 0, y = 0, width = 0, height = 0;
};

class Renderer2D : public Renderer {
public:
    Renderer2D(irr::IrrlichtDevice* device, irr::s32 quadCapacity);
    ~Renderer2D() override;

    void beginFrame() override;
    void endFrame() override;
    void setDefaultFlags(irr::u32 flags) override;
    Image* loadImage(const char* path, irr::u32 flags) override;
    void flush() override;

    // Loads an open engine file as a new Image; null on failure.
    virtual Image* loadImage(const char* name, irr::io::IReadFile* file, irr::u32 flags);
    // Makes the texture and Image for a decoded picture; drops the picture when releasePicture.
    virtual Image* createImage(const char* name, irr::video::IImage* picture, bool releasePicture,
                               irr::u32 flags, const PictureRect* rect);
    // Decodes a picture from an open engine file; null on failure.
    virtual irr::video::IImage* readPicture(irr::io::IReadFile* file);
    // Decodes a picture file; null on failure.
    virtual irr::video::IImage* readPicture(const char* path);
    // Pads the picture to powers of two, bleeds edge colours, registers the texture.
    virtual bool makeTexture(const char* name, irr::video::ITexture** texture,
                             irr::core::vector2df texCoords[2], irr::video::IImage* picture,
                             irr::u32 flags, const PictureRect* rect);

    // Flushes unless (texture, blend, flags) equal the pending batch's, the batch has room and !force.
    void setBatchState(irr::video::ITexture* texture, irr::s32 blend, irr::u32 flags, bool force);
    // Appends one quad; corners are top-left, top-right, bottom-left, bottom-right.
    void addQuad(irr::video::ITexture* texture, irr::s32 blend, irr::u32 flags,
                 const irr::video::S3DVertex corners[4]);
    // Pending index array, for callers that append geometry themselves.
    irr::core::array<irr::u16>& indices() { return indices_; }
    // Pending vertex array, for callers that append geometry themselves.
    irr::core::array<irr::video::S3DVertex>& vertices() { return vertices_; }
    // Adds to the pending counts after a direct append.
    void addCounts(irr::s32 vertexCount, irr::s32 primitiveCount);

    irr::s32 vertexCount() const { return vertexCount_; }
    irr::s32 primitiveCount() const { return primitiveCount_; }
    irr::u32 defaultFlags() const { return defaultFlags_; }
    irr::IrrlichtDevice* device() const { return device_; }
    irr::video::IVideoDriver* driver() const { return driver_; }

protected:
    irr::core::matrix4 viewMatrix;
    irr::IrrlichtDevice* device_;
    irr::video::IVideoDriver* driver_;
    irr::video::SMaterial baseMaterial;
    irr::u32 defaultFlags_;
    irr::s32 vertexCount_;
    irr::s32 primitiveCount_;
    irr::video::ITexture* currentTexture;
    irr::s32 currentBlend;
    irr::u32 currentFlags;
    irr::core::array<irr::u16> indices_;
    irr::core::array<irr::video::S3DVertex> vertices_;
};

// Smallest power of two >= v (1 -> 1, 3 -> 4, 1280 -> 2048, 0 -> 0).
irr::u32 nextPowerOfTwo(irr::u32 v);
// Fills the colour of fully transparent texels in the used w x h area from their opaque
// neighbours and copies the last used column and row one texel outwards.
void bleedEdgeColors(irr::video::IImage* picture, irr::u32 w, irr::u32 h);
