// Feeds arbitrary bytes to the checks an actor picture passes before the decoder sees it: the
// start of the file (PNG or JPEG) and the end of a JPEG file. Neither may read past the bytes,
// and a JPEG tail is complete only when it ends in its end marker (padding aside).
#include <cstdint>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

#include "states/ActorPictures.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Copies of exactly the given length, so that a read past them is caught.
    const std::vector<unsigned char> start(data, data + std::min(size, PICTURE_SIGNATURE_BYTES));
    pictureSignatureProblem(start.data(), start.size());
    const std::size_t tailSize = std::min(size, JPEG_TAIL_BYTES);
    const std::vector<unsigned char> tail(data + size - tailSize, data + size);
    const bool complete = jpegTailComplete(tail.data(), tail.size());
    // A complete tail holds the marker FF D9 somewhere.
    bool marker = false;
    for (std::size_t i = 0; i + 1 < tail.size(); ++i) marker = marker || (tail[i] == 0xFF && tail[i + 1] == 0xD9);
    if (complete && !marker) std::abort();
    return 0;
}
