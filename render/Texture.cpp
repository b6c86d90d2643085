// The picture side of the renderer: decoding, power-of-two padding, edge bleeding and
// texture registration. No cache: every load makes a new texture (or, in a packing session,
// a place in a shared one: render/Atlas.cpp).
#include <cstring>

#include "render/Image.h"
#include "render/Renderer2D.h"

using namespace irr;
using namespace irr::video;

u32 nextPowerOfTwo(u32 v) {
    --v;
    v |= v >> 1;
    v |= v >> 2;
    v |= v >> 4;
    v |= v >> 8;
    v |= v >> 16;
    return v + 1;
}

namespace {

// Texel access for the two formats that are bled: 32-bit A8R8G8B8 and 16-bit A1R5G5B5.
template <typename Texel>
void bleedTexels(Texel* texels, u32 pitchTexels, u32 pictureW, u32 pictureH, u32 w, u32 h,
                 u32 alphaMask, const u32 masks[3], const u32 shifts[3]) {
    // Transparent texels take the mean colour of their non-transparent 3 x 3 neighbours
    // within the used area; their alpha stays zero, so filled texels never count as
    // neighbours later in the same pass.
    for (u32 y = 0; y < h; ++y) {
        for (u32 x = 0; x < w; ++x) {
            Texel& texel = texels[y * pitchTexels + x];
            if (texel & alphaMask) continue;
            u32 sum[3] = {0, 0, 0};
            u32 count = 0;
            const u32 x0 = x > 0 ? x - 1 : 0, x1 = x + 1 < w ? x + 1 : w - 1;
            const u32 y0 = y > 0 ? y - 1 : 0, y1 = y + 1 < h ? y + 1 : h - 1;
            for (u32 ny = y0; ny <= y1; ++ny) {
                for (u32 nx = x0; nx <= x1; ++nx) {
                    const u32 n = texels[ny * pitchTexels + nx];
                    if (!(n & alphaMask)) continue;
                    for (int c = 0; c < 3; ++c) sum[c] += (n & masks[c]) >> shifts[c];
                    ++count;
                }
            }
            if (count == 0) continue;
            u32 value = texel & alphaMask;
            for (int c = 0; c < 3; ++c) value |= (sum[c] / count) << shifts[c];
            texel = Texel(value);
        }
    }
    // Copy the used area's last column and row one texel outwards (alpha included), so
    // filtering at the used area's edge does not pull in the padding.
    if (w < pictureW)
        for (u32 y = 0; y < h; ++y) texels[y * pitchTexels + w] = texels[y * pitchTexels + w - 1];
    if (h < pictureH)
        for (u32 x = 0; x < w; ++x) texels[h * pitchTexels + x] = texels[(h - 1) * pitchTexels + x];
    if (w < pictureW && h < pictureH)
        texels[h * pitchTexels + w] = texels[(h - 1) * pitchTexels + w - 1];
}

// True when every pixel of the picture's used area is fully opaque (a format without alpha is).
bool isOpaque(IImage* picture, const PictureRect* rect) {
    const core::dimension2d<u32> size = picture->getDimension();
    u32 x0 = 0, y0 = 0, x1 = size.Width, y1 = size.Height;
    if (rect) {
        x0 = u32(core::max_(s32(rect->x), 0));
        y0 = u32(core::max_(s32(rect->y), 0));
        x1 = core::min_(x1, u32(core::max_(s32(rect->x) + s32(rect->width), 0)));
        y1 = core::min_(y1, u32(core::max_(s32(rect->y) + s32(rect->height), 0)));
    }
    switch (picture->getColorFormat()) {
        case ECF_R8G8B8:
        case ECF_R5G6B5:
            return true;
        case ECF_A8R8G8B8: {
            const u8* bytes = static_cast<const u8*>(picture->lock());
            if (!bytes) return false;
            const u32 pitch = picture->getPitch();
            bool opaque = true;
            for (u32 y = y0; y < y1 && opaque; ++y) {
                const u32* row = reinterpret_cast<const u32*>(bytes + size_t(y) * pitch);
                for (u32 x = x0; x < x1; ++x)
                    if ((row[x] >> 24) != 0xFFu) {
                        opaque = false;
                        break;
                    }
            }
            picture->unlock();
            return opaque;
        }
        default:
            return false;  // other formats (with one bit of alpha or none read here) blend as before
    }
}

}  // namespace

void bleedEdgeColors(IImage* picture, u32 w, u32 h) {
    const core::dimension2d<u32> size = picture->getDimension();
    if (size.Width < 2 || size.Height < 2 || w < 2 || h < 2) return;
    const u32 alphaMask = picture->getAlphaMask();
    if (alphaMask == 0) return;
    // The used area cannot reach past the picture.
    if (w > size.Width) w = size.Width;
    if (h > size.Height) h = size.Height;
    void* data = picture->lock();
    if (!data) return;
    const ECOLOR_FORMAT format = picture->getColorFormat();
    const u32 masks[3] = {picture->getRedMask(), picture->getGreenMask(), picture->getBlueMask()};
    u32 shifts[3] = {16, 8, 0};
    if (format == ECF_A1R5G5B5) {
        shifts[0] = 10;
        shifts[1] = 5;
    } else if (format == ECF_R5G6B5) {
        shifts[0] = 11;
        shifts[1] = 5;
    }
    if (format == ECF_A8R8G8B8)
        bleedTexels(static_cast<u32*>(data), size.Width, size.Width, size.Height, w, h, alphaMask,
                    masks, shifts);
    else if (format == ECF_A1R5G5B5)
        bleedTexels(static_cast<u16*>(data), size.Width, size.Width, size.Height, w, h, alphaMask,
                    masks, shifts);
    picture->unlock();
}

IImage* makeGutteredPicture(IVideoDriver* driver, IImage* picture, s32 x, s32 y, u32 w, u32 h) {
    const u32 g = ATLAS_GUTTER, gw = w + 2 * g, gh = h + 2 * g;
    IImage* out = driver->createImage(ECF_A8R8G8B8, core::dimension2d<u32>(gw, gh));
    if (!out) return nullptr;
    out->fill(SColor(0));
    // The same copy (and format conversion) as makeTexture's padding.
    picture->copyTo(out, core::position2d<s32>(s32(g), s32(g)),
                    core::rect<s32>(core::position2d<s32>(x, y),
                                    core::dimension2d<s32>(s32(w), s32(h))));
    u32* texels = static_cast<u32*>(out->lock());
    if (!texels) {
        out->drop();
        return nullptr;
    }
    const u32 pitch = out->getPitch() / 4;
    // Bled like a used area of w x h (bleedEdgeColors on a picture of at least 2 x 2 with an
    // alpha mask): the gutter takes the place of its outward copy.
    if (w >= 2 && h >= 2) {
        const u32 masks[3] = {out->getRedMask(), out->getGreenMask(), out->getBlueMask()};
        const u32 shifts[3] = {16, 8, 0};
        bleedTexels(texels + g * pitch + g, pitch, w, h, w, h, out->getAlphaMask(), masks, shifts);
    }
    // Every gutter texel repeats the nearest texel of the area: clamping to its edge.
    for (u32 row = g; row < g + h; ++row) {
        u32* r = texels + row * pitch;
        for (u32 i = 0; i < g; ++i) {
            r[i] = r[g];
            r[g + w + i] = r[g + w - 1];
        }
    }
    for (u32 i = 0; i < g; ++i) {
        std::memcpy(texels + i * pitch, texels + g * pitch, gw * 4);
        std::memcpy(texels + (g + h + i) * pitch, texels + (g + h - 1) * pitch, gw * 4);
    }
    out->unlock();
    return out;
}

Image* Renderer2D::loadImage(const char* path, u32 flags) {
    IImage* picture = readPicture(path);
    if (!picture) return nullptr;
    return createImage(path, picture, true, flags, nullptr);
}

Image* Renderer2D::loadImage(const char* name, io::IReadFile* file, u32 flags) {
    IImage* picture = readPicture(file);
    if (!picture) return nullptr;
    return createImage(name, picture, true, flags, nullptr);
}

IImage* Renderer2D::readPicture(io::IReadFile* file) {
    return file ? driver_->createImageFromFile(file) : nullptr;
}

IImage* Renderer2D::readPicture(const char* path) {
    return path ? driver_->createImageFromFile(io::path(path)) : nullptr;
}

Image* Renderer2D::createImage(const char* name, IImage* picture, bool releasePicture, u32 flags,
                               const PictureRect* rect) {
    if (flags == 0xFFFFFFFFu) flags = defaultFlags_;
    core::dimension2d<u32> size = picture->getDimension();
    if (rect) size = core::dimension2d<u32>(u32(rect->width), u32(rect->height));
    if (packing_ && canPack(picture, flags, rect)) {
        // Its texture comes with the session's end (endPacking); the bled, guttered copy waits.
        const s32 x = rect ? rect->x : 0, y = rect ? rect->y : 0;
        IImage* guttered = makeGutteredPicture(driver_, picture, x, y, size.Width, size.Height);
        if (guttered) {
            const bool opaque = isOpaque(picture, rect);
            if (releasePicture) picture->drop();
            const core::vector2df none[2];
            Image* image = new Image(this, size.Width, size.Height, flags, nullptr, none);
            image->setOpaque(opaque);
            image->setAwaitsPacking(true);
            pending_.push_back({image, guttered, name ? name : "", flags});
            return image;
        }
    }
    ITexture* texture = nullptr;
    core::vector2df texCoords[2];
    const bool made = makeTexture(name, &texture, texCoords, picture, flags, rect);
    const bool opaque = made && isOpaque(picture, rect);
    if (releasePicture) picture->drop();
    if (!made) return nullptr;
    Image* image = new Image(this, size.Width, size.Height, flags, texture, texCoords);
    image->setOpaque(opaque);
    return image;
}

bool Renderer2D::makeTexture(const char* name, ITexture** texture, core::vector2df texCoords[2],
                             IImage* picture, u32 flags, const PictureRect* rect) {
    IVideoDriver* driver = device_->getVideoDriver();
    const bool savedMipMaps = driver->getTextureCreationFlag(ETCF_CREATE_MIP_MAPS);
    const bool savedQuality = driver->getTextureCreationFlag(ETCF_OPTIMIZED_FOR_QUALITY);
    const bool savedNoAlpha = driver->getTextureCreationFlag(ETCF_NO_ALPHA_CHANNEL);

    if (flags & TEX_TRILINEAR) flags |= TEX_MIPMAPS;
    driver->setTextureCreationFlag(ETCF_CREATE_MIP_MAPS, (flags & TEX_MIPMAPS) != 0);
    driver->setTextureCreationFlag(ETCF_OPTIMIZED_FOR_QUALITY, true);
    driver->setTextureCreationFlag(ETCF_NO_ALPHA_CHANNEL, false);

    const core::dimension2d<u32> dimension = picture->getDimension();
    s32 sx = 0, sy = 0;
    u32 w = dimension.Width, h = dimension.Height;
    if (rect) {
        sx = rect->x;
        sy = rect->y;
        w = rect->width > 0 ? u32(rect->width) : 0;
        h = rect->height > 0 ? u32(rect->height) : 0;
    }
    const u32 W = nextPowerOfTwo(w), H = nextPowerOfTwo(h);

    IImage* work = picture;
    IImage* padded = nullptr;
    const bool needsPadding =
        dimension != core::dimension2d<u32>(W, H) || dimension != core::dimension2d<u32>(w, h);
    if (needsPadding && w > 0 && h > 0) {
        padded = driver->createImage(ECF_A8R8G8B8, core::dimension2d<u32>(W, H));
        if (padded) {
            padded->fill(SColor(0));
            picture->copyTo(padded, core::position2d<s32>(0, 0),
                            core::rect<s32>(core::position2d<s32>(sx, sy),
                                            core::dimension2d<s32>(s32(w), s32(h))));
            work = padded;
        }
    }
    *texture = nullptr;
    // An empty used area, or padding that could not be made, gives no texture.
    if (w > 0 && h > 0 && (padded || !needsPadding)) {
        bleedEdgeColors(work, w, h);
        *texture = driver->addTexture(io::path(name ? name : ""), work, nullptr);
    }
    if (padded) padded->drop();

    texCoords[0] = core::vector2df(0.f, 0.f);
    texCoords[1] = core::vector2df(W ? f32(w) / f32(W) : 0.f, H ? f32(h) / f32(H) : 0.f);

    driver->setTextureCreationFlag(ETCF_CREATE_MIP_MAPS, savedMipMaps);
    driver->setTextureCreationFlag(ETCF_OPTIMIZED_FOR_QUALITY, savedQuality);
    driver->setTextureCreationFlag(ETCF_NO_ALPHA_CHANNEL, savedNoAlpha);
    return *texture != nullptr;
}
