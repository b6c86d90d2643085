#include "platform/SoundStretch.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>

#include "platform/SoundDecoder.h"
#include "platform/SoundStream.h"

namespace fsound {

namespace {

using RubberBand::RubberBandStretcher;

// The stretcher: for a stream that plays while it is stretched (real-time mode, on the decoder
// thread alone); the finer engine with its short window, which holds a steady tone's pitch
// exactly and costs about a twentieth of a processor at half speed (about a third of the
// standard window's cost); the two channels kept together.
constexpr RubberBandStretcher::Options STRETCH_OPTIONS =
    RubberBandStretcher::OptionProcessRealTime | RubberBandStretcher::OptionEngineFiner |
    RubberBandStretcher::OptionWindowShort | RubberBandStretcher::OptionThreadingNever |
    RubberBandStretcher::OptionChannelsTogether;
// Full scale of a 16-bit sample, as a float sample's 1.0.
constexpr float SAMPLE_SCALE = 32768.f;

// A float sample as a 16-bit one (rounded, saturating).
int16_t toSample(float v) {
    return static_cast<int16_t>(std::clamp(std::lround(v * SAMPLE_SCALE), -32768L, 32767L));
}

}  // namespace

Stretcher::Stretcher(Decoder& decoder, int64_t musicFrames)
    : decoder_(decoder),
      musicFrames_(musicFrames),
      music_(static_cast<size_t>(STRETCH_BLOCK_FRAMES) * OUTPUT_CHANNELS),
      left_(static_cast<size_t>(STRETCH_BLOCK_FRAMES)),
      right_(static_cast<size_t>(STRETCH_BLOCK_FRAMES)) {}

Stretcher::~Stretcher() = default;

void Stretcher::produce(double speed, int64_t at, int64_t count, int16_t* out) {
    if (speed != speed_ || at != next_) seek(speed, at);
    float* const planes[OUTPUT_CHANNELS] = {left_.data(), right_.data()};
    int64_t done = 0;
    while (done < count) {
        const int available = band_->available();
        if (available > 0) {
            const int64_t wanted = std::min({static_cast<int64_t>(available), drop_ + count - done, STRETCH_BLOCK_FRAMES});
            const int64_t got = static_cast<int64_t>(band_->retrieve(planes, static_cast<size_t>(wanted)));
            const int64_t dropped = std::min(got, drop_);
            drop_ -= dropped;
            for (int64_t i = dropped; i < got; ++i, ++done) {
                out[done * 2] = toSample(left_[static_cast<size_t>(i)]);
                out[done * 2 + 1] = toSample(right_[static_cast<size_t>(i)]);
            }
        } else if (!ended_) {
            feed();
        } else {
            break;  // all the music is out
        }
    }
    std::fill(out + done * 2, out + count * 2, int16_t(0));
    next_ = at + count;
}

void Stretcher::seek(double speed, int64_t at) {
    if (!band_)
        band_ = std::make_unique<RubberBandStretcher>(OUTPUT_RATE, OUTPUT_CHANNELS, STRETCH_OPTIONS, 1.0 / speed);
    else
        band_->reset();
    band_->setTimeRatio(1.0 / speed);
    speed_ = speed;
    // From a little before the music frame heard at `at`; the sound before `at` and the
    // stretcher's own delay are dropped.
    const int64_t music = std::min(static_cast<int64_t>(std::floor(musicFrameOfSound(double(at), speed))), musicFrames_);
    fed_ = std::max<int64_t>(0, music - STRETCH_PREROLL_FRAMES);
    ended_ = false;
    drop_ = std::max<int64_t>(0, at - soundFrameOfMusic(fed_, speed)) + static_cast<int64_t>(band_->getStartDelay());
    // The silence the stretcher wants before the music, so that its delay is all it adds.
    std::fill(left_.begin(), left_.end(), 0.f);
    std::fill(right_.begin(), right_.end(), 0.f);
    const float* const planes[OUTPUT_CHANNELS] = {left_.data(), right_.data()};
    for (int64_t pad = static_cast<int64_t>(band_->getPreferredStartPad()); pad > 0; pad -= STRETCH_BLOCK_FRAMES)
        band_->process(planes, static_cast<size_t>(std::min(pad, STRETCH_BLOCK_FRAMES)), false);
    next_ = at;
}

void Stretcher::feed() {
    const int64_t n = std::min(STRETCH_BLOCK_FRAMES, musicFrames_ - fed_);
    decoder_.produce(fed_, n, music_.data());
    for (int64_t i = 0; i < n; ++i) {
        left_[static_cast<size_t>(i)] = static_cast<float>(music_[static_cast<size_t>(i) * 2]) / SAMPLE_SCALE;
        right_[static_cast<size_t>(i)] = static_cast<float>(music_[static_cast<size_t>(i) * 2 + 1]) / SAMPLE_SCALE;
    }
    fed_ += n;
    ended_ = fed_ >= musicFrames_;
    const float* const planes[OUTPUT_CHANNELS] = {left_.data(), right_.data()};
    band_->process(planes, static_cast<size_t>(n), ended_);
}

}  // namespace fsound
