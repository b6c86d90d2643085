#pragma once
// Reading a layered OpenRaster picture (.ora, what Krita, GIMP and MyPaint save): a zip
// archive whose stack.xml lists the layers, each a PNG file in the archive placed at (x, y)
// on the canvas. Layers inside stacks (groups) count; a hidden layer, or any layer of a hidden
// stack, is left out. The pictures are handed over as the PNG bytes they are stored as.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Largest stack.xml that is read, in bytes.
constexpr size_t OPENRASTER_MAX_STACK_BYTES = 4u << 20;
// Largest layer file that is read, in bytes (uncompressed).
constexpr uint64_t OPENRASTER_MAX_LAYER_BYTES = 256u << 20;
// Most bytes all the visible layers' files may hold together (uncompressed).
constexpr uint64_t OPENRASTER_MAX_TOTAL_BYTES = 1024u << 20;
// Most layers (visible or not) a stack may list.
constexpr size_t OPENRASTER_MAX_LAYERS = 999;
// Deepest nesting of stacks that is read.
constexpr int OPENRASTER_MAX_DEPTH = 64;
// Largest canvas side, and largest distance of a layer from the canvas origin, in pixels.
constexpr long OPENRASTER_MAX_COORDINATE = 1L << 20;

// One layer as the stack lists it.
struct StackLayer {
    std::vector<std::string> names;  // the names of its enclosing stacks (outermost first) and its own
    std::string source;              // the file of its picture in the archive
    long x = 0, y = 0;               // its place on the canvas, in pixels
    bool visible = true;             // false when it or a stack around it is hidden
};

// What stack.xml says.
struct LayerStack {
    long width = 0, height = 0;      // the canvas, in pixels
    std::vector<StackLayer> layers;  // bottom layer first
};

// Reads stack.xml text; false with error set when it is not a stack this reader understands.
bool parseOpenRasterStack(const char* xml, size_t size, LayerStack& out, std::string& error);

// One visible layer of a layered picture.
struct PictureLayer {
    std::string name;            // its stacks' names and its own, joined by '-' (empty names left out)
    long x = 0, y = 0;           // its place on the canvas, in pixels
    std::vector<uint8_t> bytes;  // its picture file as stored (PNG)
};

// A layered picture: the canvas and its visible layers, bottom first.
struct LayeredPicture {
    long width = 0, height = 0;
    std::vector<PictureLayer> layers;
};

// Reads the OpenRaster file at path; false with error set (in words, without the file's name)
// when it is not a readable OpenRaster picture.
bool readOpenRaster(const std::string& path, LayeredPicture& out, std::string& error);
// The same for an OpenRaster file held in memory.
bool readOpenRasterBytes(const void* data, size_t size, LayeredPicture& out, std::string& error);
