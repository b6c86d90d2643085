// make_sound_seeds OUTDIR: writes small Ogg Vorbis files (tones of several rates and channel
// counts) as the seed corpus of the music loader's fuzzer.
#include "tools/VorbisWriter.h"

#include <cmath>
#include <cstdio>
#include <string>

namespace {

bool writeTone(const std::string& path, int rate, int channels, double seconds) {
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> samples(frames * static_cast<size_t>(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] =
                static_cast<float>(0.4 * std::sin(2 * 3.14159265358979 * (300.0 + 100.0 * c) * static_cast<double>(i) / rate));
    const std::vector<unsigned char> bytes = vorbiswriter::encode(rate, channels, samples, 0.0f);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || bytes.empty()) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sound_seeds OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = writeTone(dir + "/mono-8000.ogg", 8000, 1, 0.1) && writeTone(dir + "/stereo-44100.ogg", 44100, 2, 0.05) &&
                    writeTone(dir + "/quad-22050.ogg", 22050, 4, 0.05);
    if (!ok) std::fprintf(stderr, "make_sound_seeds: cannot write into %s\n", dir.c_str());
    return ok ? 0 : 1;
}
