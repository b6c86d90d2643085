// The bundled music and its beat list, decoded through the sound layer.
#include "SoundTestUtil.h"

#include <fstream>

using namespace soundtest;

namespace {

const std::string kMusic = std::string(TUMELORA_SOURCE_DIR) + "/data/lumokari2_tumelora_voices.ogg";
const std::string kBeats = std::string(TUMELORA_SOURCE_DIR) + "/data/lumokari2_tumelora_voices.beats";

// Mean square of the low band (a crude 150 Hz low-pass of the mid signal) over [from, to) frames.
double lowEnergy(const int16_t* pcm, int64_t from, int64_t to) {
    double state = 0, sum = 0;
    const double k = 1.0 - std::exp(-2 * M_PI * 150.0 / 44100.0);
    for (int64_t f = from - 2000; f < to; ++f) { // settle the filter first
        const double mid = (pcm[f * 2] + pcm[f * 2 + 1]) / 65536.0;
        state += (mid - state) * k;
        if (f >= from) sum += state * state;
    }
    return sum / static_cast<double>(to - from);
}

} // namespace

// The piece is 40 to 70 s long, loud enough, never clipped, and truly stereo.
TEST(Music, LengthAndLevels) {
    FSOUND_STREAM* stream = FSOUND_Stream_Open(kMusic.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr);
    const int64_t frames = tumeloraStreamLengthFrames(stream);
    EXPECT_GE(frames, 40 * 44100);
    EXPECT_LE(frames, 70 * 44100);
    const std::vector<int16_t> music = decodeAll(stream);
    ASSERT_EQ(music.size(), static_cast<size_t>(frames) * 2);
    const int16_t* pcm = music.data();
    int peak = 0;
    double sum = 0, sideSum = 0;
    for (int64_t i = 0; i < frames; ++i) {
        const int l = pcm[i * 2], r = pcm[i * 2 + 1];
        peak = std::max({peak, std::abs(l), std::abs(r)});
        sum += (static_cast<double>(l) * l + static_cast<double>(r) * r) / 2;
        sideSum += static_cast<double>(l - r) * (l - r);
    }
    const double rmsDb = 20 * std::log10(std::sqrt(sum / static_cast<double>(frames)) / 32768.0);
    EXPECT_LT(peak, 32000) << "the music clips";
    EXPECT_GT(peak, 16000) << "the music is too quiet";
    EXPECT_GT(rmsDb, -24.0);
    EXPECT_LT(rmsDb, -12.0);
    EXPECT_GT(sideSum / static_cast<double>(frames), 1000.0) << "left and right are the same";
    // It ends in silence (faded out).
    for (int64_t i = frames - 441; i < frames; ++i) EXPECT_LE(std::abs(pcm[i * 2]), 64);
    FSOUND_Stream_Close(stream);
}

// The beat list: every 500 ms from 0, inside the music, and the kick drum lands on the beats.
TEST(Music, BeatListMatchesTheKicks) {
    std::ifstream in(kBeats);
    ASSERT_TRUE(in) << kBeats;
    std::vector<long> beats;
    for (long ms; in >> ms;) beats.push_back(ms);
    ASSERT_GE(beats.size(), 80u);
    EXPECT_EQ(beats.front(), 0);
    for (size_t i = 1; i < beats.size(); ++i) EXPECT_EQ(beats[i] - beats[i - 1], 500) << i;

    FSOUND_STREAM* stream = FSOUND_Stream_Open(kMusic.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr);
    const int64_t frames = tumeloraStreamLengthFrames(stream);
    EXPECT_LT(beats.back() * 44100 / 1000, frames);
    const std::vector<int16_t> music = decodeAll(stream);
    ASSERT_EQ(music.size(), static_cast<size_t>(frames) * 2);
    const int16_t* pcm = music.data();
    // From the third bar on, most beats carry a kick: low-band energy jumps at the beat.
    int kicks = 0, checked = 0;
    for (size_t i = 8; i < beats.size(); ++i) {
        const int64_t at = beats[i] * 44100 / 1000;
        const double before = lowEnergy(pcm, at - 2205, at - 220);
        const double after = lowEnergy(pcm, at, at + 2205);
        ++checked;
        if (after > 4 * before) ++kicks;
    }
    EXPECT_GE(kicks, checked * 3 / 4) << kicks << " of " << checked << " beats carry a kick";
    // And half a beat off, the low band does not jump.
    int offbeatJumps = 0;
    for (size_t i = 8; i + 1 < beats.size(); ++i) {
        const int64_t at = (beats[i] + 250) * 44100 / 1000;
        if (lowEnergy(pcm, at, at + 2205) > 4 * lowEnergy(pcm, at - 2205, at - 220)) ++offbeatJumps;
    }
    EXPECT_LE(offbeatJumps, checked / 10);
    FSOUND_Stream_Close(stream);
}
