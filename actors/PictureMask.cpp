#include "actors/PictureMask.h"

namespace {

// Bits in one word of the mask.
constexpr unsigned WORD_BITS = 64;

}  // namespace

PictureMask::PictureMask(unsigned width, unsigned height)
    : w(width), h(height), bits(std::size_t((width + WORD_BITS - 1) / WORD_BITS) * height, 0),
      rowWords((width + WORD_BITS - 1) / WORD_BITS) {}

void PictureMask::set(unsigned x, unsigned y) {
    if (x >= w || y >= h) return;
    bits[std::size_t(y) * rowWords + x / WORD_BITS] |= uint64_t(1) << (x % WORD_BITS);
}

bool PictureMask::covers(unsigned x, unsigned y) const {
    if (x >= w || y >= h) return false;
    return (bits[std::size_t(y) * rowWords + x / WORD_BITS] >> (x % WORD_BITS)) & 1u;
}

RectF PictureMask::drawnBounds() const {
    unsigned left = w, top = h, right = 0, bottom = 0;
    for (unsigned y = 0; y < h; ++y) {
        const uint64_t* row = bits.data() + std::size_t(y) * rowWords;
        for (std::size_t i = 0; i < rowWords; ++i) {
            if (!row[i]) continue;
            for (unsigned b = 0; b < WORD_BITS; ++b) {
                if (!((row[i] >> b) & 1u)) continue;
                const unsigned x = unsigned(i) * WORD_BITS + b;
                if (x < left) left = x;
                if (x + 1 > right) right = x + 1;
            }
            if (y < top) top = y;
            bottom = y + 1;
        }
    }
    if (right <= left || bottom <= top) return RectF();
    return RectF(float(left), float(top), float(right - left), float(bottom - top));
}
