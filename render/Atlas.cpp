// Packing pictures into shared textures ("atlas pages"): the packing session of Renderer2D.
// Rectangles are placed with stb_rect_pack (Debian's libstb-dev; skyline, bottom-left).
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#define STBRP_STATIC
#define STB_RECT_PACK_IMPLEMENTATION
#include <stb/stb_rect_pack.h>

#include "render/Image.h"
#include "render/Renderer2D.h"

using namespace irr;
using namespace irr::video;

namespace {

// A page size: both sides powers of two.
struct PageSize {
    u32 w = 0, h = 0;
};

// Packs rects into a w x h page; true when every one of them found a place.
bool packInto(std::vector<stbrp_rect>& rects, u32 w, u32 h) {
    for (stbrp_rect& r : rects) r.was_packed = 0;
    std::vector<stbrp_node> nodes(w);  // as many nodes as the width: no rounding of widths
    stbrp_context context;
    stbrp_init_target(&context, int(w), int(h), nodes.data(), int(nodes.size()));
    return stbrp_pack_rects(&context, rects.data(), int(rects.size())) == 1;
}

// The smallest page (by area, then the squarer, then the wider) of at most limit x limit that
// holds all rects, packing them there; or, when none does, limit x limit with as many as fit.
PageSize packPage(std::vector<stbrp_rect>& rects, u32 limit) {
    u64 area = 0;
    u32 widest = 0, highest = 0;
    for (const stbrp_rect& r : rects) {
        area += u64(r.w) * u64(r.h);
        widest = std::max(widest, u32(r.w));
        highest = std::max(highest, u32(r.h));
    }
    std::vector<PageSize> sizes;
    for (u32 w = 1; w <= limit; w *= 2)
        for (u32 h = 1; h <= limit; h *= 2)
            if (w >= widest && h >= highest && u64(w) * h >= area) sizes.push_back({w, h});
    std::sort(sizes.begin(), sizes.end(), [](const PageSize& a, const PageSize& b) {
        const u64 aa = u64(a.w) * a.h, ba = u64(b.w) * b.h;
        if (aa != ba) return aa < ba;
        const u32 am = std::max(a.w, a.h), bm = std::max(b.w, b.h);
        if (am != bm) return am < bm;
        return a.w > b.w;
    });
    for (const PageSize& size : sizes)
        if (packInto(rects, size.w, size.h)) return size;
    packInto(rects, limit, limit);
    return {limit, limit};
}

}  // namespace

void Renderer2D::beginPacking() { packing_ = true; }

void Renderer2D::forgetPending(Image* image) {
    for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (it->image != image) continue;
        it->guttered->drop();
        pending_.erase(it);
        return;
    }
}

u32 Renderer2D::pageSideLimit() const {
    u32 side = std::min(ATLAS_MAX_PAGE_SIDE, atlasPageSide_);
    if (driver_) {
        const core::dimension2du most = driver_->getMaxTextureSize();
        if (most.Width > 0) side = std::min(side, most.Width);
        if (most.Height > 0) side = std::min(side, most.Height);
    }
    // A power of two (the largest not above the limit), so corners stay exact fractions.
    u32 p = 1;
    while (p * 2 <= side) p *= 2;
    return p;
}

bool Renderer2D::canPack(IImage* picture, u32 flags, const PictureRect* rect) const {
    const ECOLOR_FORMAT format = picture->getColorFormat();
    // The two formats the decoders give; they reach the page as the padding copy makes them.
    if (format != ECF_A8R8G8B8 && format != ECF_R8G8B8) return false;
    // Mip-maps would mix neighbours in a page, and repeat wraps around the whole texture.
    if (flags & (TEX_MIPMAPS | TEX_TRILINEAR | TEX_REPEAT)) return false;
    const core::dimension2d<u32> size = picture->getDimension();
    s32 x = 0, y = 0, w = s32(size.Width), h = s32(size.Height);
    if (rect) {
        x = rect->x;
        y = rect->y;
        w = rect->width;
        h = rect->height;
        if (x < 0 || y < 0 || x + w > s32(size.Width) || y + h > s32(size.Height)) return false;
    }
    // Smaller than 2 x 2 a used area is not bled (and not copied outwards): it keeps its own.
    if (w < 2 || h < 2) return false;
    if (u32(w) > ATLAS_MAX_PICTURE_SIDE || u32(h) > ATLAS_MAX_PICTURE_SIDE) return false;
    const u32 limit = pageSideLimit();
    return u32(w) + 2 * ATLAS_GUTTER <= limit && u32(h) + 2 * ATLAS_GUTTER <= limit;
}

bool Renderer2D::makeOwnTexture(PendingPicture& p) {
    const core::dimension2d<u32> size = p.guttered->getDimension();
    PictureRect area;
    area.x = s16(ATLAS_GUTTER);
    area.y = s16(ATLAS_GUTTER);
    area.width = s16(size.Width - 2 * ATLAS_GUTTER);
    area.height = s16(size.Height - 2 * ATLAS_GUTTER);
    // Bleeding the bled area again changes nothing: the texture is the one createImage makes
    // outside a session.
    ITexture* texture = nullptr;
    core::vector2df texCoords[2];
    if (!makeTexture(p.name.c_str(), &texture, texCoords, p.guttered, p.flags, &area)) return false;
    p.image->setTexture(texture, texCoords);
    return true;
}

void Renderer2D::makePage(const std::vector<PendingPicture*>& members, const std::vector<u32>& xs,
                          const std::vector<u32>& ys, u32 w, u32 h, std::vector<Image*>& failed) {
    ITexture* texture = nullptr;
    IImage* page = driver_->createImage(ECF_A8R8G8B8, core::dimension2d<u32>(w, h));
    if (page) {
        page->fill(SColor(0));
        u8* to = static_cast<u8*>(page->lock());
        const u32 pitch = page->getPitch();
        for (size_t i = 0; to && i < members.size(); ++i) {
            IImage* from = members[i]->guttered;
            const u8* src = static_cast<const u8*>(from->lock());
            if (!src) continue;
            const u32 rowBytes = from->getDimension().Width * 4, rows = from->getDimension().Height;
            for (u32 row = 0; row < rows; ++row)
                std::memcpy(to + size_t(ys[i] + row) * pitch + size_t(xs[i]) * 4,
                            src + size_t(row) * from->getPitch(), rowBytes);
            from->unlock();
        }
        if (to) {
            page->unlock();
            // The texture-creation flags of makeTexture for a picture without mip-maps.
            const bool savedMipMaps = driver_->getTextureCreationFlag(ETCF_CREATE_MIP_MAPS);
            const bool savedQuality = driver_->getTextureCreationFlag(ETCF_OPTIMIZED_FOR_QUALITY);
            const bool savedNoAlpha = driver_->getTextureCreationFlag(ETCF_NO_ALPHA_CHANNEL);
            driver_->setTextureCreationFlag(ETCF_CREATE_MIP_MAPS, false);
            driver_->setTextureCreationFlag(ETCF_OPTIMIZED_FOR_QUALITY, true);
            driver_->setTextureCreationFlag(ETCF_NO_ALPHA_CHANNEL, false);
            const std::string name = "tumelora atlas page " + std::to_string(++pagesMade_);
            texture = driver_->addTexture(io::path(name.c_str()), page, nullptr);
            driver_->setTextureCreationFlag(ETCF_CREATE_MIP_MAPS, savedMipMaps);
            driver_->setTextureCreationFlag(ETCF_OPTIMIZED_FOR_QUALITY, savedQuality);
            driver_->setTextureCreationFlag(ETCF_NO_ALPHA_CHANNEL, savedNoAlpha);
        }
        page->drop();
    }
    for (size_t i = 0; i < members.size(); ++i) {
        PendingPicture& p = *members[i];
        p.image->setAwaitsPacking(false);
        if (texture) {
            const core::dimension2d<u32> size = p.guttered->getDimension();
            const f32 x0 = f32(xs[i] + ATLAS_GUTTER), y0 = f32(ys[i] + ATLAS_GUTTER);
            const f32 x1 = x0 + f32(size.Width - 2 * ATLAS_GUTTER);
            const f32 y1 = y0 + f32(size.Height - 2 * ATLAS_GUTTER);
            const core::vector2df texCoords[2] = {core::vector2df(x0 / f32(w), y0 / f32(h)),
                                                  core::vector2df(x1 / f32(w), y1 / f32(h))};
            p.image->setTexture(texture, texCoords);
        } else if (!makeOwnTexture(p)) {
            failed.push_back(p.image);
        }
        p.guttered->drop();
        p.guttered = nullptr;
    }
}

std::vector<Image*> Renderer2D::endPacking() {
    std::vector<Image*> failed;
    packing_ = false;
    std::vector<PendingPicture> pending;
    pending.swap(pending_);
    const u32 limit = pageSideLimit();
    std::vector<PendingPicture*> remaining;
    for (PendingPicture& p : pending) remaining.push_back(&p);
    while (!remaining.empty()) {
        std::vector<stbrp_rect> rects(remaining.size());
        for (size_t i = 0; i < remaining.size(); ++i) {
            const core::dimension2d<u32> size = remaining[i]->guttered->getDimension();
            rects[i].id = int(i);
            rects[i].w = int(size.Width);
            rects[i].h = int(size.Height);
        }
        const PageSize page = packPage(rects, limit);
        std::vector<PendingPicture*> members, rest;
        std::vector<u32> xs, ys;
        for (const stbrp_rect& r : rects) {
            PendingPicture* p = remaining[size_t(r.id)];
            if (r.was_packed) {
                members.push_back(p);
                xs.push_back(u32(r.x));
                ys.push_back(u32(r.y));
            } else {
                rest.push_back(p);
            }
        }
        if (members.empty()) {
            // Cannot happen (every kept picture fits an empty page); own textures, as a guard.
            for (PendingPicture* p : rest) {
                p->image->setAwaitsPacking(false);
                if (!makeOwnTexture(*p)) failed.push_back(p->image);
                p->guttered->drop();
                p->guttered = nullptr;
            }
            break;
        }
        makePage(members, xs, ys, page.w, page.h, failed);
        remaining.swap(rest);
    }
    return failed;
}
