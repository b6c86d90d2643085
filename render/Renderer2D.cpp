#include "render/Renderer2D.h"

#include "render/Image.h"

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

Renderer2D::~Renderer2D() = default;

void Renderer2D::beginFrame() {
    IVideoDriver* driver = device_->getVideoDriver();
    core::matrix4 identity;
    driver->setTransform(ETS_WORLD, identity);
    driver->setTransform(ETS_VIEW, viewMatrix);

    const core::dimension2d<u32> target = driver->getCurrentRenderTargetSize();
    const f32 w = f32(target.Width);
    const f32 h = f32(target.Height);
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
