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

#include <string>
#include <vector>

#include "render/Renderer.h"

// Largest vertex count one batch reaches: setBatchState draws the batch once it holds
// 16383 (0x3FFF) or more vertices, so after the last quad it holds at most 16384.
constexpr irr::s32 MAX_BATCH_VERTICES = 0x4000;
// Quad capacity the Application passes: sizes the first reservation of the arrays only.
constexpr irr::s32 DEFAULT_QUAD_CAPACITY = 64;
// Growth policy of the pending arrays: a batch that starts empty (its storage released by the
// last flush) reserves room for a whole batch of quads at once, so filling it never copies;
// beyond that (direct appends) the arrays double.
constexpr irr::u32 BATCH_RESERVE_VERTICES = irr::u32(MAX_BATCH_VERTICES);
constexpr irr::u32 BATCH_RESERVE_INDICES = irr::u32(MAX_BATCH_VERTICES) / 4 * 6;

// The renderer's own batch-key bit, above the flags word's: the batch holds only quads of an
// opaque picture (Image::opaque) drawn in white with BLEND_ALPHA, each putting one texel on one
// whole pixel (copiesPixelForPixel). While one scene unit is one pixel, such a batch is drawn
// without blending or filtering: the same pixels, at a fraction of a software rasteriser's cost.
constexpr irr::u32 BATCH_PIXEL_COPY = 0x80000000u;

// Packing (beginPacking ... endPacking): pictures loaded in between share textures, "atlas
// pages", so that Images of different pictures draw in one batch. Each picture sits in its
// page with a gutter of ATLAS_GUTTER texels on every side that repeats its edge texels: the
// texels that filtering reads around the picture's edges are the ones it reads in the
// picture's own texture (clamped to the edge; past the right and bottom edges of a padded
// picture, the copy that bleedEdgeColors makes). A page is at most ATLAS_MAX_PAGE_SIDE (and
// the driver's largest texture) on a side, and its sides are powers of two, so the texture
// coordinates of a picture's corners are exact binary fractions as before.
// Largest page side in texels (a 4096 x 4096 page is 64 MiB).
constexpr irr::u32 ATLAS_MAX_PAGE_SIDE = 4096;
// A picture wider or higher than this (in texels) keeps a texture of its own: it would fill
// much of a page alone, saving no memory, and a backdrop such as the scene's 1280 x 720 one,
// drawn texel for pixel, is a batch of its own in any texture.
constexpr irr::u32 ATLAS_MAX_PICTURE_SIDE = 1024;
// Texels of repeated edge around each picture in a page (bilinear filtering reads one).
constexpr irr::u32 ATLAS_GUTTER = 1;

// Source rectangle of createImage / makeTexture, in picture pixels.
struct PictureRect {
    irr::s16 x = 0, y = 0, width = 0, height = 0;
};

class Renderer2D : public Renderer {
public:
    Renderer2D(irr::IrrlichtDevice* device, irr::s32 quadCapacity);
    ~Renderer2D() override;

    // Sets up one pixel per unit over the render target, or, with a stage size set and a
    // target of another size, over the stage scaled to fit the target and centred on it
    // (the bars beside it drawn black).
    void beginFrame() override;
    // The size of the picture drawn (0 x 0: the render target's own size).
    void setStageSize(irr::s32 width, irr::s32 height) {
        stageW_ = width;
        stageH_ = height;
    }
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
    void setBatchState(irr::video::ITexture* texture, irr::s32 blend, irr::u32 flags, bool force) {
        if (texture == currentTexture && blend == currentBlend && flags == currentFlags &&
            vertexCount_ < MAX_BATCH_VERTICES - 1 && !force)
            return;
        startBatch(texture, blend, flags);
    }
    // Appends one quad; corners are top-left, top-right, bottom-left, bottom-right.
    void addQuad(irr::video::ITexture* texture, irr::s32 blend, irr::u32 flags,
                 const irr::video::S3DVertex corners[4]);
    // addQuad without the corners: appends the quad's indices and returns its four vertices
    // (top-left, top-right, bottom-left, bottom-right) for the caller to fill at once.
    irr::video::S3DVertex* appendQuad(irr::video::ITexture* texture, irr::s32 blend,
                                      irr::u32 flags) {
        setBatchState(texture, blend, flags, false);
        const irr::u32 firstVertex = vertices_.size(), firstIndex = indices_.size();
        if (firstVertex + 4 > vertices_.allocated_size() ||
            firstIndex + 6 > indices_.allocated_size())
            makeRoom(4, 6);
        vertices_.set_used(firstVertex + 4);
        indices_.set_used(firstIndex + 6);
        const irr::u16 base = irr::u16(vertexCount_);
        irr::u16* index = indices_.pointer() + firstIndex;
        index[0] = base;
        index[1] = irr::u16(base + 1);
        index[2] = irr::u16(base + 2);
        index[3] = irr::u16(base + 3);
        index[4] = irr::u16(base + 2);
        index[5] = irr::u16(base + 1);
        vertexCount_ += 4;
        primitiveCount_ += 2;
        return vertices_.pointer() + firstVertex;
    }
    // Pending index array, for callers that append geometry themselves.
    irr::core::array<irr::u16>& indices() { return indices_; }
    // Pending vertex array, for callers that append geometry themselves.
    irr::core::array<irr::video::S3DVertex>& vertices() { return vertices_; }
    // Adds to the pending counts after a direct append.
    void addCounts(irr::s32 vertexCount, irr::s32 primitiveCount);

    // Starts a packing session (see ATLAS_MAX_PAGE_SIDE above); nothing if one is open. Until
    // endPacking, createImage (and so loadImage) returns an Image without a texture for a
    // picture that can share one (4-byte texels with or without alpha, 2 to
    // ATLAS_MAX_PICTURE_SIDE texels a side, flags without mip-maps or repeat) and keeps its
    // bled, guttered copy; other pictures get their own texture at once, as outside a session.
    // Such an Image must not be drawn before endPacking.
    void beginPacking();
    // Ends the session: packs the pictures kept since beginPacking into as few pages as fit
    // (each page the smallest power-of-two size that holds its pictures), registers each page
    // with the driver and points every Image at its area. A page the driver refuses leaves its
    // pictures a texture of their own each, as outside a session. Returns the Images left
    // without any texture (only if the driver refuses those too): their owners treat them as
    // pictures that could not be loaded.
    std::vector<Image*> endPacking();
    // True between beginPacking and endPacking.
    bool packing() const { return packing_; }
    // Lowers the largest page side (a power of two; tests use it to make several pages).
    void setAtlasPageSide(irr::u32 side) { atlasPageSide_ = side; }
    // The session forgets an Image deleted before endPacking (called by ~Image).
    void forgetPending(Image* image);

    irr::s32 vertexCount() const { return vertexCount_; }
    irr::s32 primitiveCount() const { return primitiveCount_; }
    irr::u32 defaultFlags() const { return defaultFlags_; }
    irr::IrrlichtDevice* device() const { return device_; }
    irr::video::IVideoDriver* driver() const { return driver_; }

protected:
    // Draws what is pending and makes (texture, blend, flags) the pending batch's key.
    void startBatch(irr::video::ITexture* texture, irr::s32 blend, irr::u32 flags);
    // Grows the pending arrays (see the growth policy above) to take this many more
    // vertices and indices.
    void makeRoom(irr::u32 moreVertices, irr::u32 moreIndices);
    // Empties the pending batch: no geometry, no counts, and the empty key.
    void resetBatch();

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
    irr::s32 stageW_ = 0, stageH_ = 0;  // the picture's size; 0: the render target's
    bool unitIsPixel_ = true;            // set by beginFrame: false while the stage is scaled

private:
    // A picture waiting in the packing session for its page.
    struct PendingPicture {
        Image* image;                   // made by createImage, no texture yet
        irr::video::IImage* guttered;   // the bled used area with its gutter (owned)
        std::string name;               // for a texture of its own, should the page fail
        irr::u32 flags;                 // the Image's flags word
    };
    // True when createImage may leave this picture to the packing session.
    bool canPack(irr::video::IImage* picture, irr::u32 flags, const PictureRect* rect) const;
    // The largest page side: ATLAS_MAX_PAGE_SIDE, atlasPageSide_ and the driver's limit.
    irr::u32 pageSideLimit() const;
    // Makes one page of these pictures at their places (x, y of each guttered copy) and points
    // their Images at it; falls back to own textures; adds Images left without one to failed.
    void makePage(const std::vector<PendingPicture*>& members, const std::vector<irr::u32>& xs,
                  const std::vector<irr::u32>& ys, irr::u32 w, irr::u32 h,
                  std::vector<Image*>& failed);
    // Gives a kept picture a texture of its own, as makeTexture would have; false if refused.
    bool makeOwnTexture(PendingPicture& p);

    bool packing_ = false;
    std::vector<PendingPicture> pending_;
    irr::u32 pagesMade_ = 0;  // numbers the pages' names
    irr::u32 atlasPageSide_ = ATLAS_MAX_PAGE_SIDE;
};

// Smallest power of two >= v (1 -> 1, 3 -> 4, 1280 -> 2048, 0 -> 0).
irr::u32 nextPowerOfTwo(irr::u32 v);
// Fills the colour of fully transparent texels in the used w x h area from their opaque
// neighbours and copies the last used column and row one texel outwards.
void bleedEdgeColors(irr::video::IImage* picture, irr::u32 w, irr::u32 h);
// The w x h area at (x, y) of a picture as a new A8R8G8B8 picture of (w + 2) x (h + 2): the
// area at (1, 1), bled as bleedEdgeColors bleeds a used area, and around it a gutter of one
// texel that repeats the nearest edge texel. Null when it cannot be made.
irr::video::IImage* makeGutteredPicture(irr::video::IVideoDriver* driver,
                                        irr::video::IImage* picture, irr::s32 x, irr::s32 y,
                                        irr::u32 w, irr::u32 h);
