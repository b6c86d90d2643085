#pragma once
// A stream's music played at another speed with its pitch kept: Rubber Band time-stretches the
// decoded music on the stream's decoder thread. Music frame m is heard at frame
// soundFrameOfMusic(m, speed) of the sound (SoundStream.h); a stretch started at any frame of
// the sound gives the same sound there as one played through from the start, within the
// stretcher's own analysis (it is given a little music before the frame, and its delay is
// dropped).
#include <cstdint>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace fsound {

class Decoder;

// Music frames the stretcher is given before the frame a stretch starts at, so that its
// analysis holds real music by then (about 93 ms).
constexpr int64_t STRETCH_PREROLL_FRAMES = 4096;
// Frames handed to the stretcher, or taken from it, at once.
constexpr int64_t STRETCH_BLOCK_FRAMES = 1024;

// Stretches one stream's music (on its decoder thread only).
class Stretcher {
public:
    // Stretches what decoder gives of music musicFrames frames long (at the mix rate).
    Stretcher(Decoder& decoder, int64_t musicFrames);
    // Frees the stretcher.
    ~Stretcher();
    Stretcher(const Stretcher&) = delete;
    Stretcher& operator=(const Stretcher&) = delete;

    // Writes `count` frames of the sound of the music played at `speed` (not 1), from frame
    // `at` of that sound, into out (interleaved stereo 16-bit at the mix rate); silence past
    // the music's end.
    void produce(double speed, int64_t at, int64_t count, int16_t* out);

private:
    // Starts the stretch afresh so that frame `at` of the sound at `speed` comes next.
    void seek(double speed, int64_t at);
    // Hands the stretcher the next block of music (the last one marked as the end).
    void feed();

    Decoder& decoder_;
    int64_t musicFrames_;
    std::unique_ptr<RubberBand::RubberBandStretcher> band_;  // made at the first stretch
    double speed_ = 0.0;   // the speed stretched at (0: none yet)
    int64_t next_ = -1;    // the frame of the sound that produce gives next
    int64_t fed_ = 0;      // the next music frame to hand the stretcher
    bool ended_ = false;   // the music's last frame has been handed over
    int64_t drop_ = 0;     // frames the stretcher gives before next_ (its delay, the preroll)
    std::vector<int16_t> music_;        // a block of decoded music, interleaved
    std::vector<float> left_, right_;   // a block going in or coming out, one array a channel
};

}  // namespace fsound
