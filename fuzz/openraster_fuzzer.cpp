// Feeds arbitrary bytes to the OpenRaster reader, as an archive and as its stack.xml alone:
// whatever it accepts keeps to its limits and lists only pictures it has the bytes of.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "project/OpenRaster.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    LayerStack stack;
    if (parseOpenRasterStack(reinterpret_cast<const char*>(data), size, stack, error)) {
        if (stack.width <= 0 || stack.height <= 0 || stack.width > OPENRASTER_MAX_COORDINATE ||
            stack.height > OPENRASTER_MAX_COORDINATE || stack.layers.size() > OPENRASTER_MAX_LAYERS)
            std::abort();
        for (const StackLayer& layer : stack.layers)
            if (layer.source.empty() || layer.names.empty()) std::abort();
    } else if (error.empty()) {
        std::abort();  // a refusal always says why
    }
    LayeredPicture picture;
    error.clear();
    if (readOpenRasterBytes(data, size, picture, error)) {
        if (picture.layers.size() > OPENRASTER_MAX_LAYERS) std::abort();
        for (const PictureLayer& layer : picture.layers)
            if (layer.bytes.size() > OPENRASTER_MAX_LAYER_BYTES) std::abort();
    } else if (error.empty()) {
        std::abort();
    }
    return 0;
}
