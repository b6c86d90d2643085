#pragma once
// Which pixels of an actor's picture are drawn: one bit per pixel, set where the pixel is at
// least half opaque (alpha 128 or more of 255). The editor picks an actor by the pixel under
// the pointer with it; kept on the CPU from the decoded picture when it is loaded.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "render/Types.h"

// The lowest alpha (of 255) of a pixel that counts as drawn: a pixel at least half
// transparent is not the actor's.
constexpr unsigned PICTURE_MASK_MIN_ALPHA = 128;

class PictureMask {
public:
    // An empty mask: no picture was kept (its user then takes the whole picture as drawn).
    PictureMask() = default;
    // A mask of width x height pixels, none drawn yet.
    PictureMask(unsigned width, unsigned height);

    // Marks the pixel (x, y) as drawn.
    void set(unsigned x, unsigned y);
    // True when the pixel (x, y) is drawn; false outside the mask.
    bool covers(unsigned x, unsigned y) const;
    // True when no picture was kept.
    bool empty() const { return bits.empty(); }
    unsigned width() const { return w; }
    unsigned height() const { return h; }
    // The smallest rectangle (picture pixels) holding every drawn pixel; empty when none is.
    RectF drawnBounds() const;

private:
    unsigned w = 0, h = 0;
    std::vector<uint64_t> bits;  // row by row, rowWords words a row
    std::size_t rowWords = 0;
};
