#pragma once
// Decoding one music stream into the sound layer's output format: libvorbisfile decodes,
// libsamplerate converts other rates and a fixed down-mix other channel counts.
#include <samplerate.h>
#include <vorbis/vorbisfile.h>

#include <cstdint>
#include <vector>

#include "platform/Timebase.h"

namespace fsound {

// The output format: SOUND_MIX_RATE frames a second of interleaved stereo 16-bit samples.
constexpr int OUTPUT_RATE = SOUND_MIX_RATE;
constexpr int OUTPUT_CHANNELS = 2;
constexpr int BYTES_PER_FRAME = OUTPUT_CHANNELS * static_cast<int>(sizeof(int16_t));
// Source formats accepted: channel counts and sample rates.
constexpr int MAX_SOURCE_CHANNELS = 8;
constexpr long MIN_SOURCE_RATE = 1000;
constexpr long MAX_SOURCE_RATE = 384000;
// Output frames the decoder produces at once.
constexpr int64_t DECODE_FRAMES = 4096;
// Output frames a converted stream decodes before a sought frame, so that the resampler's
// filter holds only real music by then.
constexpr int64_t RESAMPLER_PREROLL_FRAMES = 1024;
// Source frames read from libvorbisfile at once.
constexpr int READ_FRAMES = 1024;
// The resampler's quality.
constexpr int RESAMPLER_TYPE = SRC_SINC_MEDIUM_QUALITY;

// Weights of a Vorbis channel (in the format's channel order) in the left and right output.
void downmixWeights(int channels, std::vector<float>& left, std::vector<float>& right);

// Decodes and converts one stream, on its decoder thread only (after open).
class Decoder {
public:
    // Decodes vf (opened and checked) of the given channel count and rate.
    Decoder(OggVorbis_File* vf, int channels, int rate);
    // Frees the resampler.
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Writes `count` output frames from output frame `at` into out; silence where the music
    // cannot be decoded.
    void produce(int64_t at, int64_t count, int16_t* out);

private:
    // True when the music needs no conversion.
    bool direct() const { return rate_ == OUTPUT_RATE && channels_ == OUTPUT_CHANNELS; }
    // Makes output frame `at` the next one produced.
    void seek(int64_t at);
    // Up to count frames of unconverted music into out; 0 at the end or on failure.
    int64_t readDirect(int16_t* out, int64_t count);
    // Fills pending_ with stereo source frames; false at the end of the music or on failure.
    bool readSource();
    // Up to count converted frames into out; 0 at the end or on failure.
    int64_t readConverted(int16_t* out, int64_t count);

    OggVorbis_File* vf_;
    int channels_;
    int rate_;
    int64_t position_ = 0;  // the next output frame the decoder gives
    bool failed_ = false;
    // Conversion.
    SRC_STATE* resampler_ = nullptr;
    int gridOut_ = 1, gridIn_ = 1;
    std::vector<float> left_, right_;
    std::vector<float> pending_;  // stereo source frames not yet converted, from pendingFrom_
    long pendingFrom_ = 0;
    bool ended_ = false;
    std::vector<float> converted_;
};

}  // namespace fsound
