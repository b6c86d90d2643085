#pragma once
// Helpers for the sound layer's tests: temporary folders, Ogg Vorbis test files written with
// libvorbisenc, SDL's `disk` audio driver (it writes every buffer handed to the device into a
// raw file of native 16-bit stereo frames at 44,100 Hz) and waiting on the layer's counters.
#include "platform/FSound.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include "tools/VorbisWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace soundtest {

// A folder made with mkdtemp, removed with its files when the object goes.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/tumelora-sound-XXXXXX";
        const char* made = mkdtemp(pattern);
        path_ = made != nullptr ? made : "";
    }
    ~TempDir() {
        if (!path_.empty()) std::system(("rm -rf '" + path_ + "'").c_str());
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline std::vector<unsigned char> readBytes(const std::string& path) {
    std::vector<unsigned char> out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        unsigned char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
        std::fclose(f);
    }
    return out;
}

inline bool writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// Encodes interleaved float samples (channels per frame) as an Ogg Vorbis file.
inline bool writeVorbis(const std::string& path, int rate, int channels, const std::vector<float>& samples) {
    const std::vector<unsigned char> bytes = vorbiswriter::encode(rate, channels, samples);
    return !bytes.empty() && writeBytes(path, bytes);
}

// Writes a sine tone: freqs[c] Hz on channel c, peak amplitude, for the given seconds.
inline bool writeTone(const std::string& path, int rate, const std::vector<double>& freqs, double amplitude,
                      double seconds) {
    const int channels = static_cast<int>(freqs.size());
    const size_t frames = static_cast<size_t>(seconds * rate);
    std::vector<float> samples(frames * freqs.size());
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * freqs.size() + static_cast<size_t>(c)] = static_cast<float>(
                amplitude * std::sin(2 * M_PI * freqs[static_cast<size_t>(c)] * static_cast<double>(i) / rate));
    return writeVorbis(path, rate, channels, samples);
}

// The whole music of a stream that is not playing, read through the layer from its start
// (interleaved stereo 16-bit at 44,100 Hz); the stream is left at its start.
inline std::vector<int16_t> decodeAll(FSOUND_STREAM* stream) {
    std::vector<int16_t> pcm(static_cast<size_t>(tumeloraStreamLengthFrames(stream)) * 2);
    FSOUND_Stream_SetTime(stream, 0);
    const int64_t got = tumeloraStreamRead(stream, pcm.data(), tumeloraStreamLengthFrames(stream));
    pcm.resize(static_cast<size_t>(got) * 2);
    FSOUND_Stream_SetTime(stream, 0);
    return pcm;
}

// Reads the disk driver's output: interleaved stereo 16-bit frames.
inline std::vector<int16_t> readRaw(const std::string& path) {
    const std::vector<unsigned char> bytes = readBytes(path);
    std::vector<int16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

// Polls until the condition holds or the time (ms) is up; true if it held.
inline bool waitFor(const std::function<bool()>& condition, uint32_t timeoutMs = 20000) {
    const uint32_t start = SDL_GetTicks();
    while (!condition()) {
        if (SDL_GetTicks() - start > timeoutMs) return false;
        SDL_Delay(1);
    }
    return true;
}

// Waits until the device has taken at least `frames` more frames than now.
inline bool waitFrames(uint64_t frames) {
    const uint64_t target = tumeloraSoundFramesPlayed() + frames;
    return waitFor([target] { return tumeloraSoundFramesPlayed() >= target; });
}

// Index of the first stereo frame from `from` whose samples are not both zero, or -1.
inline long firstSoundingFrame(const std::vector<int16_t>& pcm, size_t from = 0) {
    for (size_t f = from; f * 2 + 1 < pcm.size(); ++f)
        if (pcm[f * 2] != 0 || pcm[f * 2 + 1] != 0) return static_cast<long>(f);
    return -1;
}

// Opens the audio device on SDL's disk driver, writing into `file`; `delayMs` is the pause
// the driver makes after each buffer (1024 frames, about 23 ms of sound).
// Frames at the start of the disk driver's file that SDL wrote as silence while the device
// was still paused, before the layer's first callback: the file's frames less the frames the
// layer counted (read the count after FSOUND_Close). Negative when the file is short.
inline long pausedFrames(const std::vector<int16_t>& out) {
    return static_cast<long>(out.size() / 2) - static_cast<long>(tumeloraSoundFramesPlayed());
}

inline bool initDisk(const std::string& file, int delayMs) {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", file.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", std::to_string(delayMs).c_str(), 1);
    return FSOUND_Init(44100, 32, 0);
}

} // namespace soundtest
