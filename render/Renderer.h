#pragma once
// The abstract drawing service that states and widgets talk to.
#include <irrlicht.h>

class Image;

// Image flags word: low 16 bits are the DRAW_... flags of Image, the bits from
// 0x10000 up steer texture creation and the batch material.
enum TextureFlags : irr::u32 {
    TEX_BILINEAR = 0x10000,   // batch material: bilinear filter on
    TEX_TRILINEAR = 0x20000,  // batch material: trilinear filter on; texture gets mip-maps
    TEX_MIPMAPS = 0x40000,    // texture creation makes mip-maps (not in the batch key)
    TEX_BORDER = 0x80000,     // no effect of its own, but part of the batch key
    TEX_REPEAT = 0x100000,    // layer 0 wraps with repeat instead of clamping
};

// Of an Image's flags word only these bits reach the batch key.
constexpr irr::u32 TEX_BATCH_KEY_MASK = 0x1B0000;
// Flags word an Image gets when its creator passes -1 (until setDefaultFlags changes it):
// DRAW_COLOR | DRAW_ALPHA | TEX_BILINEAR | TEX_BORDER.
constexpr irr::u32 DEFAULT_IMAGE_FLAGS = 0x90003;

// How a batch is blended with what is already on screen; any other value acts as BLEND_ALPHA.
enum BlendMode : irr::s32 {
    BLEND_ALPHA = 0,
    BLEND_ADD = 1,
    BLEND_MULTIPLY = 2,
    BLEND_PREMULTIPLIED = 3,
};

class Renderer {
public:
    virtual ~Renderer() = default;
    // Sets the pixel-exact projection and world/view transforms; drops any pending batch undrawn.
    virtual void beginFrame() = 0;
    // Draws what is pending.
    virtual void endFrame() = 0;
    // Flags word used for Images created with flags -1 from now on.
    virtual void setDefaultFlags(irr::u32 flags) = 0;
    // Loads a picture file as a new Image (owned by the caller); null on failure.
    virtual Image* loadImage(const char* path, irr::u32 flags) = 0;
    // Hands the pending batch to the driver as one indexed triangle list.
    virtual void flush() = 0;
};
