#include "editor/Waveform.h"

#include <vorbis/vorbisfile.h>

#include <cmath>

namespace {

// Samples read from the decoder per call, per channel at most.
constexpr int DECODE_CHUNK_SAMPLES = 4096;

}  // namespace

WaveformPeaks::~WaveformPeaks() { stop(); }

void WaveformPeaks::start(const std::string& path, int framesPerSecond) {
    stop();
    cancel = false;
    done = false;
    over = false;
    thread = std::thread(&WaveformPeaks::decode, this, path, framesPerSecond);
}

void WaveformPeaks::stop() {
    cancel = true;
    if (thread.joinable()) thread.join();
}

void WaveformPeaks::decode(std::string path, int framesPerSecond) {
    read(path, framesPerSecond);
    over = true;
}

void WaveformPeaks::read(const std::string& path, int framesPerSecond) {
    OggVorbis_File file;
    if (framesPerSecond <= 0 || ov_fopen(path.c_str(), &file) != 0) return;
    const vorbis_info* info = ov_info(&file, -1);
    if (!info || info->rate <= 0 || info->channels <= 0) {
        ov_clear(&file);
        return;
    }
    const double samplesPerFrame = double(info->rate) / double(framesPerSecond);
    const long long maxSamples = (long long)(WAVEFORM_MAX_SECONDS * double(info->rate));
    std::vector<float> peaks;
    long long sample = 0;
    int section = 0;
    while (!cancel && sample < maxSamples) {
        float** pcm = nullptr;
        const long n = ov_read_float(&file, &pcm, DECODE_CHUNK_SAMPLES, &section);
        if (n == OV_HOLE) continue;
        if (n <= 0) break;
        for (long i = 0; i < n; ++i, ++sample) {
            float peak = 0.f;
            for (int c = 0; c < info->channels; ++c) peak = std::fmax(peak, std::fabs(pcm[c][i]));
            const std::size_t frame = std::size_t(double(sample) / samplesPerFrame);
            if (frame >= peaks.size()) peaks.resize(frame + 1, 0.f);
            if (peak > peaks[frame]) peaks[frame] = std::fmin(peak, 1.f);
        }
    }
    ov_clear(&file);
    if (cancel) return;
    values = std::move(peaks);
    done = true;
}
