#include "platform/SoundDecoder.h"

#include <SDL.h>

#include <algorithm>
#include <numeric>

namespace fsound {

void downmixWeights(int channels, std::vector<float>& left, std::vector<float>& right) {
    // L: left side, R: right side, C: centre (half to each), F: low frequency (left out).
    static const char* const kLayouts[MAX_SOURCE_CHANNELS + 1] = {
        "", "C", "LR", "LCR", "LRLR", "LCRLR", "LCRLRF", "LCRLRCF", "LCRLRLRF"};
    const char* layout = kLayouts[channels];
    left.assign(static_cast<size_t>(channels), 0.f);
    right.assign(static_cast<size_t>(channels), 0.f);
    float sumL = 0, sumR = 0;
    for (int c = 0; c < channels; ++c) {
        const size_t i = static_cast<size_t>(c);
        if (layout[c] == 'L') left[i] = 1.f;
        if (layout[c] == 'R') right[i] = 1.f;
        if (layout[c] == 'C') left[i] = right[i] = 0.5f;
        sumL += left[i];
        sumR += right[i];
    }
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] /= sumL;
        right[i] /= sumR;
    }
}

Decoder::Decoder(OggVorbis_File* vf, int channels, int rate) : vf_(vf), channels_(channels), rate_(rate) {
    if (!direct()) {
        int error = 0;
        resampler_ = src_new(RESAMPLER_TYPE, OUTPUT_CHANNELS, &error);
        const int g = std::gcd(rate_, OUTPUT_RATE);
        gridOut_ = OUTPUT_RATE / g;
        gridIn_ = rate_ / g;
        downmixWeights(channels_, left_, right_);
    }
}

Decoder::~Decoder() {
    if (resampler_ != nullptr) src_delete(resampler_);
}

void Decoder::produce(int64_t at, int64_t count, int16_t* out) {
    if (at != position_) seek(at);
    int64_t done = 0;
    while (done < count) {
        const int64_t n = failed_ ? 0 : (direct() ? readDirect(out + done * 2, count - done)
                                                  : readConverted(out + done * 2, count - done));
        if (n <= 0) break;
        done += n;
    }
    std::fill(out + done * 2, out + count * 2, int16_t(0));
    position_ = at + count;
}

void Decoder::seek(int64_t at) {
    failed_ = false;
    if (direct()) {
        failed_ = ov_pcm_seek(vf_, at) != 0;
        position_ = at;
        return;
    }
    // Start where both sample grids meet, a little before the wanted frame, and drop the
    // frames before it: the output is then the same as when played from the start.
    const int64_t start = std::max<int64_t>(0, at - RESAMPLER_PREROLL_FRAMES) / gridOut_ * gridOut_;
    failed_ = ov_pcm_seek(vf_, start / gridOut_ * gridIn_) != 0;
    src_reset(resampler_);
    pending_.clear();
    pendingFrom_ = 0;
    ended_ = false;
    std::vector<int16_t> dropped(static_cast<size_t>(DECODE_FRAMES) * 2);
    for (int64_t p = start; p < at && !failed_;) {
        const int64_t n = readConverted(dropped.data(), std::min(DECODE_FRAMES, at - p));
        if (n <= 0) break;
        p += n;
    }
    position_ = at;
}

int64_t Decoder::readDirect(int16_t* out, int64_t count) {
    const int bigEndian = SDL_BYTEORDER == SDL_BIG_ENDIAN ? 1 : 0;
    for (;;) {
        int link = 0;
        const long n = ov_read(vf_, reinterpret_cast<char*>(out),
                               static_cast<int>(std::min<int64_t>(count, DECODE_FRAMES) * BYTES_PER_FRAME),
                               bigEndian, 2, 1, &link);
        if (n == OV_HOLE) continue;
        if (n < 0 || n % BYTES_PER_FRAME != 0) failed_ = true;
        return n > 0 && !failed_ ? n / BYTES_PER_FRAME : 0;
    }
}

bool Decoder::readSource() {
    for (;;) {
        float** pcm = nullptr;
        int link = 0;
        const long n = ov_read_float(vf_, &pcm, READ_FRAMES, &link);
        if (n == OV_HOLE) continue;
        if (n < 0) failed_ = true;
        if (n <= 0) return false;
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(pendingFrom_ * 2));
        pendingFrom_ = 0;
        for (long i = 0; i < n; ++i) {
            float l = 0, r = 0;
            for (int c = 0; c < channels_; ++c) {
                l += pcm[c][i] * left_[static_cast<size_t>(c)];
                r += pcm[c][i] * right_[static_cast<size_t>(c)];
            }
            pending_.push_back(l);
            pending_.push_back(r);
        }
        return true;
    }
}

int64_t Decoder::readConverted(int16_t* out, int64_t count) {
    if (resampler_ == nullptr) {
        failed_ = true;
        return 0;
    }
    converted_.resize(static_cast<size_t>(std::min(count, DECODE_FRAMES)) * 2);
    bool starved = false;
    for (;;) {
        const long available = static_cast<long>(pending_.size() / 2) - pendingFrom_;
        if ((available == 0 || starved) && !ended_ && !readSource()) ended_ = true;
        if (failed_) return 0;
        SRC_DATA data{};
        data.data_in = pending_.data() + pendingFrom_ * 2;
        data.input_frames = static_cast<long>(pending_.size() / 2) - pendingFrom_;
        data.data_out = converted_.data();
        data.output_frames = static_cast<long>(converted_.size() / 2);
        data.end_of_input = ended_ ? 1 : 0;
        data.src_ratio = static_cast<double>(OUTPUT_RATE) / rate_;
        if (src_process(resampler_, &data) != 0) {
            failed_ = true;
            return 0;
        }
        pendingFrom_ += data.input_frames_used;
        if (data.output_frames_gen > 0) {
            src_float_to_short_array(converted_.data(), out, static_cast<int>(data.output_frames_gen * 2));
            return data.output_frames_gen;
        }
        if (ended_ && data.input_frames_used == 0) return 0;
        starved = true;
    }
}

}  // namespace fsound
