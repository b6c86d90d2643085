#pragma once
// Writes a short Ogg Vorbis test music: a steady sine tone, 44,100 Hz stereo. Used by the
// main state's tests (and the tone tool of the end-to-end tests) to make music of a known
// length in a temporary folder. Needs libvorbisenc.
#include <cmath>
#include <cstdio>
#include <vector>

#include "tools/VorbisWriter.h"

namespace testing_support {

// Writes seconds of a sine tone of hz at amplitude (0..1) to path; false on any failure.
inline bool writeToneOgg(const char* path, double seconds, double hz = 440.0,
                         double amplitude = 0.5) {
    constexpr int rate = 44100;
    constexpr float quality = 0.1f;
    constexpr int serial = 0x746f6e65;
    const size_t total = size_t(seconds * rate);
    std::vector<float> samples(2 * total);
    for (size_t i = 0; i < total; ++i) {
        const float s = float(amplitude * std::sin(2.0 * 3.14159265358979 * hz * double(i) / rate));
        samples[2 * i] = s;
        samples[2 * i + 1] = s;
    }
    const std::vector<unsigned char> bytes = vorbiswriter::encode(rate, 2, samples, quality, serial);
    if (bytes.empty()) return false;
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && written;
}

}  // namespace testing_support
