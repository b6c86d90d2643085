#pragma once
// Writes pictures as PNG files with libpng, for the tools (no time or text chunks, so the same
// pixels always give the same bytes).
#include <png.h>

#include <cstddef>
#include <cstdio>

namespace pngfile {

// Compression level that leaves libpng's default.
constexpr int DEFAULT_COMPRESSION = -1;

// Writes w x h pixels of 8-bit channels (3: RGB, 4: RGBA), rows top to bottom without gaps,
// at the given zlib compression level (0-9); false when the file cannot be written.
inline bool write(const char* path, int w, int h, int channels, const unsigned char* pixels,
                  int compression = DEFAULT_COMPRESSION) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    if (compression != DEFAULT_COMPRESSION) png_set_compression_level(png, compression);
    png_set_IHDR(png, info, png_uint_32(w), png_uint_32(h), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = size_t(w) * size_t(channels);
    for (int y = 0; y < h; ++y) png_write_row(png, const_cast<png_bytep>(pixels + size_t(y) * stride));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace pngfile
