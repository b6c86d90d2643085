// Feeds arbitrary bytes to the font reader as an open stream, with page pictures that load
// as empty stand-ins, then measures and draws a few texts with whatever loaded.
#include <irrlicht.h>

#include <cstdint>
#include <cstdio>

#include "render/Image.h"
#include "render/Renderer2D.h"
#include "text/BitmapFont.h"

namespace {

// Hands out a 64 x 64 picture without texture for every page and drops every batch.
class StandInRenderer : public Renderer2D {
public:
    StandInRenderer() : Renderer2D(nullptr, 0) {}
    Image* loadImage(const char* path, irr::u32 flags) override {
        if (!path || path[0] == '\0') return nullptr;
        const irr::core::vector2df uv[2] = {{0.f, 0.f}, {1.f, 1.f}};
        return new Image(this, 64, 64, flags == 0xFFFFFFFFu ? defaultFlags() : flags, nullptr, uv);
    }
    void flush() override {
        vertexCount_ = 0;
        primitiveCount_ = 0;
        indices_.clear();
        vertices_.clear();
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::FILE* stream = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!stream) return 0;
    StandInRenderer renderer;
    BitmapFont font(&renderer, "fonts/fuzz.fnt");
    const bool ok = font.parseStream(stream);
    std::fclose(stream);
    if (ok) {
        const char* texts[] = {"Hello, World", "AV Ty\\n\\t\\\\x\\", "\x01\x7f\xff  ab",
                               "\xc3\xbcn\xc3\xaf \xe5\x9b\xbe\xf0\x9f\x98\x80\xe2\x82 \xed\xa0\x80\\\xc3\xa9"};
        for (const char* t : texts) {
            font.textWidth(t, 1.f, -1);
            font.drawLine(10.f, 10.f, t, 0x14, 1.f, nullptr, -1);
            font.drawLine(10.f, 10.f, t, 0x28, 2.f, nullptr, 5);
            float w = 0, h = 0;
            font.measureText(&w, &h, t, 1.f, 40.f, 0);
            font.drawText(0.f, 0.f, t, 0x10, 1.f, 30.f, nullptr, 7);
        }
        for (int i = 0; i < font.kerningCount() && i < 64; ++i)
            font.kerningOf(font.kerningPair(i).first, font.kerningPair(i).second);
        renderer.flush();
    }
    return 0;
}
