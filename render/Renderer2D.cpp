#include "render/Renderer2D.h"

#include "render/Image.h"
#include "render/Letterbox.h"

using namespace irr;
using namespace irr::video;

namespace {

// Clamps every texture layer of a material to its edges.
void clampAllLayers(SMaterial& material) {
    for (u32 i = 0; i < MATERIAL_MAX_TEXTURES; ++i) {
        material.TextureLayer[i].TextureWrapU = ETC_CLAMP_TO_EDGE;
        material.TextureLayer[i].TextureWrapV = ETC_CLAMP_TO_EDGE;
    }
}

// MaterialTypeParam of a blend mode; unknown modes blend like BLEND_ALPHA.
f32 blendParam(s32 blend, f32 alphaParam) {
    switch (blend) {
        case BLEND_ADD:
            return pack_textureBlendFunc(EBF_SRC_ALPHA, EBF_ONE, EMFN_MODULATE_1X, EAS_TEXTURE);
        case BLEND_MULTIPLY:
            return pack_textureBlendFunc(EBF_ZERO, EBF_SRC_COLOR, EMFN_MODULATE_1X, EAS_TEXTURE);
        case BLEND_PREMULTIPLIED:
            return pack_textureBlendFunc(EBF_ONE, EBF_ONE_MINUS_SRC_ALPHA, EMFN_MODULATE_1X,
                                         EAS_TEXTURE);
        default:
            return alphaParam;
    }
}

// Grows a pending array to hold n more elements: an empty array reserves `reserve`
// elements, a full one doubles.
template <typename T>
void grow(core::array<T>& a, u32 n, u32 reserve) {
    const u32 used = a.size();
    const u32 needed = used + n;
    if (needed <= a.allocated_size()) return;
    u32 capacity = used == 0 ? reserve : a.allocated_size() * 2;
    if (capacity < needed) capacity = needed;
    a.reallocate(capacity);
}

}  // namespace

Renderer2D::Renderer2D(IrrlichtDevice* device, s32 quadCapacity)
    : device_(device),
      driver_(nullptr),
      defaultFlags_(DEFAULT_IMAGE_FLAGS),
      vertexCount_(0),
      primitiveCount_(0),
      currentTexture(nullptr),
      currentBlend(0),
      currentFlags(0) {
    viewMatrix.makeIdentity();
    baseMaterial.MaterialType = EMT_ONETEXTURE_BLEND;
    baseMaterial.MaterialTypeParam =
        pack_textureBlendFunc(EBF_SRC_ALPHA, EBF_ONE_MINUS_SRC_ALPHA, EMFN_MODULATE_1X, EAS_NONE);
    baseMaterial.setFlag(EMF_LIGHTING, false);
    baseMaterial.setFlag(EMF_ZBUFFER, false);
    baseMaterial.setFlag(EMF_ZWRITE_ENABLE, false);
    baseMaterial.setFlag(EMF_BACK_FACE_CULLING, false);
    baseMaterial.setFlag(EMF_BILINEAR_FILTER, false);
    baseMaterial.setFlag(EMF_TRILINEAR_FILTER, false);
    baseMaterial.AntiAliasing = EAAM_OFF;
    clampAllLayers(baseMaterial);
    if (quadCapacity > 0) {
        indices_.reallocate(u32(quadCapacity) * 6);
        vertices_.reallocate(u32(quadCapacity) * 4);
    }
    driver_ = device ? device->getVideoDriver() : nullptr;
}

Renderer2D::~Renderer2D() {
    // A session never ended: its Images stay without a texture and forget the renderer.
    for (PendingPicture& p : pending_) {
        p.image->setAwaitsPacking(false);
        p.guttered->drop();
    }
}

namespace {

// Colour of the bars beside a stage that does not fill the screen.
constexpr u32 BAR_COLOUR = 0xFF000000;

// One unit per pixel of a w x h area, (0, 0) at its top-left corner.
void setPixelProjection(IVideoDriver* driver, f32 w, f32 h) {
    core::matrix4 projection;
    projection.buildProjectionMatrixOrthoLH(w, -h, -1.f, 1.f);
    // Corner translation per driver, so that one unit is one pixel and (0, 0) is the
    // top-left corner of the target. OpenGL needs (-1, 1): with (1, 1) everything lands a
    // whole target width to the right. Direct3D adds its half-pixel shift.
    switch (driver->getDriverType()) {
        case EDT_OPENGL:
        case EDT_SOFTWARE:
            projection.setTranslation(core::vector3df(-1.f, 1.f, 0.f));
            break;
        case EDT_DIRECT3D8:
        case EDT_DIRECT3D9:
            projection.setTranslation(core::vector3df(-1.f - 1.f / w, 1.f + 1.f / h, 0.f));
            break;
        default:
            break;
    }
    driver->setTransform(ETS_PROJECTION, projection);
}

}  // namespace

void Renderer2D::beginFrame() {
    IVideoDriver* driver = device_->getVideoDriver();
    core::matrix4 identity;
    driver->setTransform(ETS_WORLD, identity);
    driver->setTransform(ETS_VIEW, viewMatrix);

    const core::dimension2d<u32> target = driver->getCurrentRenderTargetSize();
    const bool letterboxed = stageW_ > 0 && stageH_ > 0 &&
                             (target.Width != u32(stageW_) || target.Height != u32(stageH_));
    unitIsPixel_ = !letterboxed;
    if (!letterboxed) {
        setPixelProjection(driver, f32(target.Width), f32(target.Height));
        resetBatch();
        return;
    }

    // The bars, over the whole target.
    const s32 tw = s32(target.Width), th = s32(target.Height);
    const Letterbox box = fitStage(tw, th, stageW_, stageH_);
    driver->setViewPort(core::rect<s32>(0, 0, tw, th));
    setPixelProjection(driver, f32(tw), f32(th));
    resetBatch();
    const SColor black(BAR_COLOUR);
    const core::vector3df normal(0.f, 0.f, 0.f);
    const auto bar = [&](s32 x, s32 y, s32 w, s32 h) {
        if (w <= 0 || h <= 0) return;
        const f32 x0 = f32(x), y0 = f32(y), x1 = f32(x + w), y1 = f32(y + h);
        const S3DVertex corners[4] = {
            S3DVertex(core::vector3df(x0, y0, 0.f), normal, black, core::vector2df(0.f, 0.f)),
            S3DVertex(core::vector3df(x1, y0, 0.f), normal, black, core::vector2df(1.f, 0.f)),
            S3DVertex(core::vector3df(x0, y1, 0.f), normal, black, core::vector2df(0.f, 1.f)),
            S3DVertex(core::vector3df(x1, y1, 0.f), normal, black, core::vector2df(1.f, 1.f)),
        };
        addQuad(nullptr, BLEND_ALPHA, 0, corners);
    };
    bar(0, 0, box.x, th);
    bar(box.x + box.width, 0, tw - box.x - box.width, th);
    bar(box.x, 0, box.width, box.y);
    bar(box.x, box.y + box.height, box.width, th - box.y - box.height);
    flush();

    // Then the stage, scaled into its box.
    driver->setViewPort(core::rect<s32>(box.x, box.y, box.x + box.width, box.y + box.height));
    setPixelProjection(driver, f32(stageW_), f32(stageH_));
    resetBatch();
}

void Renderer2D::endFrame() { flush(); }

void Renderer2D::setDefaultFlags(u32 flags) { defaultFlags_ = flags; }

void Renderer2D::flush() {
    if (primitiveCount_ <= 0) return;
    SMaterial material = baseMaterial;
    material.MaterialTypeParam = blendParam(currentBlend, baseMaterial.MaterialTypeParam);
    if (currentFlags & TEX_REPEAT) {
        material.TextureLayer[0].TextureWrapU = ETC_REPEAT;
        material.TextureLayer[0].TextureWrapV = ETC_REPEAT;
    }
    if (currentFlags & TEX_TRILINEAR) material.setFlag(EMF_TRILINEAR_FILTER, true);
    if (currentFlags & TEX_BILINEAR) material.setFlag(EMF_BILINEAR_FILTER, true);
    // A caller may scale the picture through the view or world transform (the editor's stage).
    if ((currentFlags & BATCH_PIXEL_COPY) && unitIsPixel_ && driver_->getTransform(ETS_VIEW).isIdentity() &&
        driver_->getTransform(ETS_WORLD).isIdentity()) {
        material.MaterialType = EMT_SOLID;
        material.setFlag(EMF_TRILINEAR_FILTER, false);
        material.setFlag(EMF_BILINEAR_FILTER, false);
    }
    material.setTexture(0, currentTexture);
    driver_->setMaterial(material);
    driver_->drawVertexPrimitiveList(vertices_.const_pointer(), u32(vertexCount_),
                                     indices_.const_pointer(), u32(primitiveCount_), EVT_STANDARD,
                                     scene::EPT_TRIANGLES, EIT_16BIT);
    resetBatch();
}

void Renderer2D::resetBatch() {
    vertexCount_ = 0;
    primitiveCount_ = 0;
    currentTexture = nullptr;
    currentBlend = 0;
    currentFlags = 0;
    indices_.clear();
    vertices_.clear();
}

void Renderer2D::startBatch(ITexture* texture, s32 blend, u32 flags) {
    flush();
    currentTexture = texture;
    currentBlend = blend;
    currentFlags = flags;
}

void Renderer2D::makeRoom(u32 moreVertices, u32 moreIndices) {
    grow(vertices_, moreVertices, BATCH_RESERVE_VERTICES);
    grow(indices_, moreIndices, BATCH_RESERVE_INDICES);
}

void Renderer2D::addQuad(ITexture* texture, s32 blend, u32 flags, const S3DVertex corners[4]) {
    // Copied first: the corners may lie in the pending array that appending can move.
    const S3DVertex copy[4] = {corners[0], corners[1], corners[2], corners[3]};
    S3DVertex* v = appendQuad(texture, blend, flags);
    for (int i = 0; i < 4; ++i) v[i] = copy[i];
}

void Renderer2D::addCounts(s32 vertexCount, s32 primitiveCount) {
    vertexCount_ += vertexCount;
    primitiveCount_ += primitiveCount;
}
