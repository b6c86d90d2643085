#pragma once
// The largest picture the program shows, whether a project was made from it or it was put in an
// actor folder by hand: textures are padded to a power of two, and 8192 is what every OpenGL
// driver the program runs on offers.
#include <string>

// Largest picture side accepted, in pixels.
constexpr unsigned PICTURE_MAX_SIDE_PIXELS = 8192;

// Why a picture of width x height pixels is not shown ("" when it may be).
inline std::string pictureSizeProblem(unsigned width, unsigned height) {
    if (width > 0 && height > 0 && width <= PICTURE_MAX_SIDE_PIXELS && height <= PICTURE_MAX_SIDE_PIXELS)
        return "";
    return std::to_string(width) + " x " + std::to_string(height) + " pixels: pictures may have up to " +
           std::to_string(PICTURE_MAX_SIDE_PIXELS) + " pixels a side";
}
