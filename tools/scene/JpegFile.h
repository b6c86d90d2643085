#pragma once
// Reads a JPEG file as 8-bit RGB (libjpeg), for the scene tools that look at the backdrop.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace scene {

// Reads path into rgb (3 bytes a pixel, rows top to bottom) and its size; false when the file
// cannot be opened.
inline bool readJpegRgb(const char* path, int& w, int& h, std::vector<uint8_t>& rgb) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    jpeg_decompress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_decompress(&c);
    jpeg_stdio_src(&c, f);
    jpeg_read_header(&c, TRUE);
    c.out_color_space = JCS_RGB;
    jpeg_start_decompress(&c);
    w = int(c.output_width);
    h = int(c.output_height);
    rgb.assign(size_t(w) * size_t(h) * 3, 0);
    while (c.output_scanline < c.output_height) {
        JSAMPROW row = &rgb[size_t(c.output_scanline) * size_t(w) * 3];
        jpeg_read_scanlines(&c, &row, 1);
    }
    jpeg_finish_decompress(&c);
    jpeg_destroy_decompress(&c);
    std::fclose(f);
    return true;
}

}  // namespace scene
