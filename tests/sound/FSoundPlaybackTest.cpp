// Playback through SDL's disk driver: what reaches the device, positioning, stop and the end
// callback.
#include "SoundTestUtil.h"

#include <vorbis/vorbisfile.h>

#include <atomic>

using namespace soundtest;

namespace {

constexpr int kFastDelayMs = 4; // the disk driver runs about five times faster than real time
// The disk driver's pause after each 1024-frame buffer at real time: a whole song played
// through at this pace never outruns the decoder, however busy the machine.
constexpr int kRealTimeDelayMs = 23;

// Frequency from rising zero crossings (interpolated) of one channel over [from, from + count).
double estimateFrequency(const std::vector<int16_t>& pcm, int channel, size_t from, size_t count) {
    double first = -1, last = -1;
    int crossings = 0;
    for (size_t f = from + 1; f < from + count; ++f) {
        const double a = pcm[(f - 1) * 2 + static_cast<size_t>(channel)];
        const double b = pcm[f * 2 + static_cast<size_t>(channel)];
        if (a < 0 && b >= 0) {
            const double at = static_cast<double>(f - 1) + a / (a - b);
            if (first < 0) first = at;
            else ++crossings;
            last = at;
        }
    }
    return crossings > 0 ? 44100.0 * crossings / (last - first) : 0.0;
}

double rms(const std::vector<int16_t>& pcm, int channel, size_t from, size_t count) {
    double sum = 0;
    for (size_t f = from; f < from + count; ++f) {
        const double v = pcm[f * 2 + static_cast<size_t>(channel)] / 32768.0;
        sum += v * v;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

struct EndRecord {
    std::atomic<int> calls{0};
    std::atomic<uint64_t> framesAtCall{0};
};

signed char F_CALLBACKAPI recordEnd(FSOUND_STREAM*, void*, int, void* userdata) {
    auto* record = static_cast<EndRecord*>(userdata);
    record->framesAtCall = tumeloraSoundFramesPlayed();
    ++record->calls;
    return 0;
}

// Plays the whole stream once and returns what reached the device.
std::vector<int16_t> playToEnd(const TempDir& dir, const std::string& ogg, int64_t* lengthFrames) {
    const std::string raw = dir.file("out.raw");
    EXPECT_TRUE(initDisk(raw, kRealTimeDelayMs)) << SDL_GetError();
    // No one hears the disk driver; its buffers stay 1024 frames, as its pauses assume.
    EXPECT_FALSE(tumeloraSoundIsHeard());
    EXPECT_EQ(tumeloraSoundBufferFrames(), 1024);
    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    EXPECT_NE(stream, nullptr);
    EndRecord record;
    FSOUND_Stream_SetEndCallback(stream, recordEnd, &record);
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_TRUE(waitFor([&] { return record.calls > 0; }));
    *lengthFrames = tumeloraStreamLengthFrames(stream);
    FSOUND_Stream_Close(stream);
    FSOUND_Close();
    return readRaw(raw);
}

} // namespace

// A tone of another rate and channel count arrives at 44,100 Hz stereo, with its pitch and level.
TEST(FSoundPlayback, ConvertedToneHasItsFrequencyAndLevel) {
    struct Case {
        int rate;
        std::vector<double> freqs; // per source channel
        std::vector<double> expected; // per output channel
    };
    const Case cases[] = {
        {22050, {440.0}, {440.0, 440.0}},       // mono, half the rate: duplicated, resampled up
        {48000, {330.0, 660.0}, {330.0, 660.0}}, // stereo at a higher rate: channel order kept
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate);
        TempDir dir;
        const std::string ogg = dir.file("tone.ogg");
        const double amplitude = 0.5, seconds = 1.0;
        ASSERT_TRUE(writeTone(ogg, c.rate, c.freqs, amplitude, seconds));
        int64_t length = 0;
        const std::vector<int16_t> out = playToEnd(dir, ogg, &length);
        EXPECT_EQ(length, static_cast<int64_t>(44100 * seconds)) << "converted length";
        const long start = firstSoundingFrame(out);
        ASSERT_GE(start, 0);
        ASSERT_GE(out.size() / 2, static_cast<size_t>(start + length));
        // The middle half of the tone, away from the codec's and resampler's edges.
        const size_t from = static_cast<size_t>(start) + 11025, count = 22050;
        for (int ch = 0; ch < 2; ++ch) {
            SCOPED_TRACE(ch);
            EXPECT_NEAR(estimateFrequency(out, ch, from, count), c.expected[static_cast<size_t>(ch)], 0.5);
            EXPECT_NEAR(rms(out, ch, from, count), amplitude / std::sqrt(2.0), 0.01);
        }
        // Nothing but silence after the tone.
        EXPECT_EQ(firstSoundingFrame(out, static_cast<size_t>(start + length)), -1);
    }
}

// SetTime(2000) then Play: the first frames at the device are those of the 2 s mark, as an
// independent decode of the file gives them.
TEST(FSoundPlayback, SetTimeThenPlayStartsAtThatSample) {
    const std::string music = std::string(TUMELORA_SOURCE_DIR) + "/data/lumokari2_tumelora_voices.ogg";
    constexpr int64_t kMark = 88200; // 2000 ms at 44,100 Hz
    constexpr size_t kCompared = 22050;

    // Reference: vorbisfile's own sample-exact seek.
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(music.c_str(), &vf), 0);
    ASSERT_EQ(ov_info(&vf, -1)->rate, 44100);
    ASSERT_EQ(ov_pcm_seek(&vf, kMark), 0);
    std::vector<int16_t> reference(kCompared * 2);
    size_t got = 0;
    while (got < reference.size() * 2) {
        int link = 0;
        const long n = ov_read(&vf, reinterpret_cast<char*>(reference.data()) + got,
                               static_cast<int>(reference.size() * 2 - got), 0, 2, 1, &link);
        ASSERT_GT(n, 0);
        got += static_cast<size_t>(n);
    }
    ov_clear(&vf);

    TempDir dir;
    const std::string raw = dir.file("out.raw");
    ASSERT_TRUE(initDisk(raw, kFastDelayMs));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(music.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(waitFrames(2048)); // some silence first
    EXPECT_TRUE(FSOUND_Stream_SetTime(stream, 2000));
    EXPECT_EQ(tumeloraStreamPositionFrames(stream), kMark);
    EXPECT_EQ(tumeloraStreamPositionMs(stream), 2000);
    const uint64_t music0 = tumeloraSoundMusicFramesPlayed();
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_TRUE(waitFor([&] { return tumeloraSoundMusicFramesPlayed() >= music0 + kCompared; }));
    FSOUND_Stream_Stop(stream);
    FSOUND_Stream_Close(stream);
    FSOUND_Close();

    const std::vector<int16_t> out = readRaw(raw);
    const long firstOut = firstSoundingFrame(out);
    const long firstRef = firstSoundingFrame(reference);
    ASSERT_GE(firstOut, 0);
    ASSERT_GE(firstRef, 0);
    const long start = firstOut - firstRef; // the frame where the music began
    ASSERT_GE(start, 2048);
    ASSERT_GE(out.size(), (static_cast<size_t>(start) + kCompared) * 2);
    int worst = 0;
    for (size_t i = 0; i < kCompared * 2; ++i)
        worst = std::max(worst, std::abs(out[static_cast<size_t>(start) * 2 + i] - reference[i]));
    EXPECT_LE(worst, 2) << "largest difference from the decoded 2 s mark";
}

// Stop halts the output where it stands; Play without SetTime continues from there; every frame
// handed to the device was counted.
TEST(FSoundPlayback, StopHaltsAndPlayContinues) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg"), raw = dir.file("out.raw");
    ASSERT_TRUE(writeTone(ogg, 44100, {500.0, 750.0}, 0.4, 1.5));
    ASSERT_TRUE(initDisk(raw, kFastDelayMs));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(tumeloraStreamPositionFrames(stream), 0);
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_TRUE(tumeloraStreamIsPlaying(stream));
    EXPECT_TRUE(waitFor([&] { return tumeloraStreamPositionFrames(stream) >= 22050; }));
    EXPECT_TRUE(FSOUND_Stream_Stop(stream));
    EXPECT_FALSE(tumeloraStreamIsPlaying(stream));
    const int64_t stoppedAt = tumeloraStreamPositionFrames(stream);
    const uint64_t musicAtStop = tumeloraSoundMusicFramesPlayed();
    EXPECT_EQ(musicAtStop, static_cast<uint64_t>(stoppedAt));
    EXPECT_TRUE(waitFrames(8192));
    EXPECT_EQ(tumeloraSoundMusicFramesPlayed(), musicAtStop);
    EXPECT_EQ(tumeloraStreamPositionFrames(stream), stoppedAt);
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_TRUE(waitFor([&] { return tumeloraStreamPositionFrames(stream) >= stoppedAt + 8192; }));
    FSOUND_StopSound(0);
    EXPECT_FALSE(tumeloraStreamIsPlaying(stream));
    const int64_t secondStop = tumeloraStreamPositionFrames(stream);
    const std::vector<int16_t> decoded = decodeAll(stream);
    FSOUND_Stream_Close(stream);
    FSOUND_Close();

    // Every frame in the device's file was counted, but for whole buffers of silence that SDL
    // may write before the layer's first callback.
    const std::vector<int16_t> out = readRaw(raw);
    const long paused = pausedFrames(out);
    ASSERT_GE(paused, 0) << "frames counted vs. frames in the device's file";
    EXPECT_EQ(paused % 1024, 0);
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + paused * 2, [](int16_t v) { return v == 0; }));
    const long start = firstSoundingFrame(out) - firstSoundingFrame(decoded);
    ASSERT_GE(start, 0);
    const size_t s = static_cast<size_t>(start);
    // First part, then silence of at least the waited frames, then the rest from stoppedAt.
    const size_t firstPart = static_cast<size_t>(stoppedAt);
    ASSERT_GE(out.size(), (s + firstPart + 8192) * 2);
    EXPECT_TRUE(std::equal(decoded.begin(), decoded.begin() + static_cast<long>(firstPart * 2),
                           out.begin() + static_cast<long>(s * 2)));
    const long resumed = firstSoundingFrame(out, s + firstPart);
    ASSERT_GE(resumed, static_cast<long>(s + firstPart + 8192));
    // The resumed part begins exactly at the stop position (allowing for a zero first frame).
    const long resumeStart = resumed - (firstSoundingFrame(decoded, firstPart) - static_cast<long>(firstPart));
    const size_t secondPart = static_cast<size_t>(secondStop - stoppedAt);
    ASSERT_GE(out.size(), (static_cast<size_t>(resumeStart) + secondPart) * 2);
    EXPECT_TRUE(std::equal(decoded.begin() + static_cast<long>(firstPart * 2),
                           decoded.begin() + static_cast<long>((firstPart + secondPart) * 2),
                           out.begin() + resumeStart * 2));
    EXPECT_EQ(firstSoundingFrame(out, static_cast<size_t>(resumeStart) + secondPart), -1) << "sound after Stop";
}

// The end callback runs once, after the buffer with the last frame has been handed over.
TEST(FSoundPlayback, EndCallbackRunsOnceAfterTheLastFrame) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg"), raw = dir.file("out.raw");
    ASSERT_TRUE(writeTone(ogg, 44100, {440.0, 440.0}, 0.5, 0.5));
    ASSERT_TRUE(initDisk(raw, kFastDelayMs));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr);
    EndRecord record;
    EXPECT_TRUE(FSOUND_Stream_SetEndCallback(stream, recordEnd, &record));
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_TRUE(waitFor([&] { return record.calls > 0; }));
    EXPECT_TRUE(waitFrames(8192));
    EXPECT_EQ(record.calls, 1);
    EXPECT_FALSE(tumeloraStreamIsPlaying(stream));
    EXPECT_EQ(tumeloraStreamPositionFrames(stream), tumeloraStreamLengthFrames(stream));
    const int64_t length = tumeloraStreamLengthFrames(stream);
    const std::vector<int16_t> decoded = decodeAll(stream);
    ASSERT_EQ(decoded.size(), static_cast<size_t>(length) * 2);
    FSOUND_Stream_Close(stream);
    FSOUND_Close();

    const std::vector<int16_t> out = readRaw(raw);
    // Silence SDL wrote before the first callback is in the file but not in the layer's
    // count, which the callback's position is measured in.
    const long paused = pausedFrames(out);
    ASSERT_GE(paused, 0);
    const long start = firstSoundingFrame(out) - paused - firstSoundingFrame(decoded);
    ASSERT_GE(start, 0);
    const uint64_t end = static_cast<uint64_t>(start + length);
    EXPECT_GE(record.framesAtCall.load(), end) << "callback before the last frame was handed over";
    EXPECT_LE(record.framesAtCall.load(), end + 1024) << "callback later than the next buffer";
}

// Stop and Close cancel the end callback, also one whose last frame has just gone out.
TEST(FSoundPlayback, NoEndCallbackAfterStopOrClose) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg"), raw = dir.file("out.raw");
    ASSERT_TRUE(writeTone(ogg, 44100, {440.0, 440.0}, 0.5, 0.3));
    EndRecord record;
    {
        // Slow buffers (1200 ms apart) leave time to act between the last frame and the next
        // buffer, even on a busy machine.
        ASSERT_TRUE(initDisk(raw, 1200));
        FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
        ASSERT_NE(stream, nullptr);
        FSOUND_Stream_SetEndCallback(stream, recordEnd, &record);
        ASSERT_TRUE(FSOUND_Stream_SetTime(stream, 250)); // two buffers before the end
        EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
        EXPECT_TRUE(waitFor([&] { return !tumeloraStreamIsPlaying(stream); }));
        EXPECT_TRUE(FSOUND_Stream_Stop(stream)); // the end callback is due with the next buffer
        EXPECT_TRUE(waitFrames(2048));
        EXPECT_EQ(record.calls, 0) << "end callback after Stop";

        EXPECT_TRUE(FSOUND_Stream_SetTime(stream, 250));
        EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
        EXPECT_TRUE(waitFor([&] { return !tumeloraStreamIsPlaying(stream); }));
        EXPECT_TRUE(FSOUND_Stream_Close(stream));
        EXPECT_TRUE(waitFrames(2048));
        EXPECT_EQ(record.calls, 0) << "end callback after Close";
        FSOUND_Close();
    }
    {
        // Stopped half-way on a fast device: the end never comes.
        ASSERT_TRUE(initDisk(raw, kFastDelayMs));
        FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
        ASSERT_NE(stream, nullptr);
        FSOUND_Stream_SetEndCallback(stream, recordEnd, &record);
        EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
        EXPECT_TRUE(waitFor([&] { return tumeloraStreamPositionFrames(stream) >= 4096; }));
        FSOUND_Stream_Stop(stream);
        EXPECT_TRUE(waitFrames(static_cast<uint64_t>(tumeloraStreamLengthFrames(stream)) + 4096));
        EXPECT_EQ(record.calls, 0);
        // Playing on and closing the device while it plays: no callback either.
        EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
        FSOUND_Close();
        EXPECT_FALSE(tumeloraStreamIsPlaying(stream));
        EXPECT_EQ(record.calls, 0);
        FSOUND_Stream_Close(stream);
    }
    EXPECT_EQ(tumeloraSoundEndCallbacksRun(), 0u);
}

// Playing a stream that stands at its end starts it again from the beginning.
TEST(FSoundPlayback, PlayAtTheEndStartsOver) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg"), raw = dir.file("out.raw");
    ASSERT_TRUE(writeTone(ogg, 44100, {440.0, 440.0}, 0.5, 0.2));
    ASSERT_TRUE(initDisk(raw, kFastDelayMs));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr);
    EndRecord record;
    FSOUND_Stream_SetEndCallback(stream, recordEnd, &record);
    EXPECT_TRUE(FSOUND_Stream_SetTime(stream, 100000)); // beyond the end: clamped
    EXPECT_EQ(tumeloraStreamPositionFrames(stream), tumeloraStreamLengthFrames(stream));
    EXPECT_EQ(FSOUND_Stream_Play(0, stream), 0);
    EXPECT_TRUE(waitFor([&] { return record.calls == 1; }));
    EXPECT_EQ(tumeloraSoundMusicFramesPlayed(), static_cast<uint64_t>(tumeloraStreamLengthFrames(stream)));
    FSOUND_Stream_Close(stream);
    FSOUND_Close();
}

// SetTime lands exactly on its sample wherever it points: what the stream gives from there is
// what a decode of the whole file gives at that frame. Music at the device's rate is compared
// with libvorbisfile's own decode; converted music with the layer's own decode from the start.
TEST(FSoundPlayback, SetTimeIsExactToTheSampleAtManyPositions) {
    static constexpr int64_t kCompared = 3000;
    auto check = [](FSOUND_STREAM* stream, const std::vector<int16_t>& whole, int tolerance) {
        const int64_t length = tumeloraStreamLengthFrames(stream);
        ASSERT_EQ(static_cast<int64_t>(whole.size()), length * 2);
        const int lengthMs = FSOUND_Stream_GetLengthMs(stream);
        std::vector<int> positions = {0, 1, 2, 23, 500, 1000, lengthMs / 2, lengthMs - 40, lengthMs - 1, lengthMs};
        for (int i = 1; i < 40; ++i) positions.push_back(static_cast<int>(static_cast<long long>(lengthMs) * (i * 7919 % 40000) / 40000));
        // Backwards and forwards in turn, as a user moves along the timeline.
        for (int ms : positions) {
            SCOPED_TRACE(ms);
            ASSERT_TRUE(FSOUND_Stream_SetTime(stream, ms));
            const int64_t frame = static_cast<int64_t>(ms) * 44100 / 1000;
            ASSERT_EQ(tumeloraStreamPositionFrames(stream), frame);
            std::vector<int16_t> got(kCompared * 2);
            const int64_t n = tumeloraStreamRead(stream, got.data(), kCompared);
            ASSERT_EQ(n, std::min(kCompared, length - frame));
            int worst = 0;
            for (int64_t k = 0; k < n * 2; ++k)
                worst = std::max(worst, std::abs(got[static_cast<size_t>(k)] - whole[static_cast<size_t>(frame * 2 + k)]));
            EXPECT_LE(worst, tolerance);
        }
    };

    {
        SCOPED_TRACE("the bundled music, 44,100 Hz stereo");
        const std::string music = std::string(TUMELORA_SOURCE_DIR) + "/data/lumokari2_tumelora_voices.ogg";
        OggVorbis_File vf;
        ASSERT_EQ(ov_fopen(music.c_str(), &vf), 0);
        std::vector<int16_t> whole(static_cast<size_t>(ov_pcm_total(&vf, -1)) * 2);
        size_t got = 0;
        for (long n; got < whole.size() * 2; got += static_cast<size_t>(n)) {
            int link = 0;
            n = ov_read(&vf, reinterpret_cast<char*>(whole.data()) + got, static_cast<int>(whole.size() * 2 - got), 0, 2,
                        1, &link);
            ASSERT_GT(n, 0);
        }
        ov_clear(&vf);
        FSOUND_STREAM* stream = FSOUND_Stream_Open(music.c_str(), FSOUND_MPEGACCURATE, 0, 0);
        ASSERT_NE(stream, nullptr);
        check(stream, whole, 0);
        FSOUND_Stream_Close(stream);
    }
    {
        SCOPED_TRACE("a converted tone, 48,000 Hz");
        TempDir dir;
        const std::string ogg = dir.file("tone.ogg");
        ASSERT_TRUE(writeTone(ogg, 48000, {330.0, 660.0}, 0.5, 3.0));
        FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
        ASSERT_NE(stream, nullptr);
        check(stream, decodeAll(stream), 1);
        FSOUND_Stream_Close(stream);
    }
}

// A stream at half speed: its sound lasts twice as long at the music's pitch, the heard position
// (music) moves on at half the pace of the sound the device takes, the end comes at the music's
// end, and back at speed 1 the stream gives exactly what it gave before.
TEST(FSoundPlayback, HalfSpeedSoundsTwiceAsLongAtItsPitchAndIsHeardAtHalfThePace) {
    TempDir dir;
    const std::string ogg = dir.file("tone.ogg"), raw = dir.file("out.raw");
    ASSERT_TRUE(writeTone(ogg, 44100, {440.0, 660.0}, 0.5, 1.0));
    ASSERT_TRUE(initDisk(raw, kRealTimeDelayMs));
    FSOUND_STREAM* stream = FSOUND_Stream_Open(ogg.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    ASSERT_NE(stream, nullptr);
    const std::vector<int16_t> asRecorded = decodeAll(stream);
    EndRecord record;
    FSOUND_Stream_SetEndCallback(stream, recordEnd, &record);
    EXPECT_FALSE(tumeloraStreamSetSpeed(stream, SOUND_MIN_SPEED / 2)) << "out of range";
    ASSERT_TRUE(tumeloraStreamSetSpeed(stream, 0.5));
    EXPECT_EQ(FSOUND_Stream_GetLengthMs(stream), 1000) << "the music's length";
    EXPECT_EQ(tumeloraStreamLengthFrames(stream), 44100);
    const uint64_t sound0 = tumeloraSoundMusicFramesPlayed();
    ASSERT_EQ(FSOUND_Stream_Play(0, stream), 0);
    // (sound the device took in ms, music heard in ms), read while it plays.
    std::vector<std::pair<double, double>> readings;
    EXPECT_TRUE(waitFor([&] {
        double heard = 0.0;
        if (tumeloraStreamHeardMs(stream, &heard))
            readings.push_back({double(tumeloraSoundMusicFramesPlayed() - sound0) / 44.1, heard});
        return record.calls > 0;
    }));
    EXPECT_EQ(tumeloraStreamPositionFrames(stream), 44100) << "ended at the music's end";
    const double soundMs = double(tumeloraSoundMusicFramesPlayed() - sound0) / 44.1;
    EXPECT_NEAR(soundMs, 2000.0, 1.0) << "twice the music's length of sound";
    // The heard music runs at half the sound's pace, a device buffer and its latency behind it.
    ASSERT_GE(readings.size(), 20u);
    for (const auto& [sound, heard] : readings) {
        if (sound < 200.0 || sound > 1800.0) continue;
        EXPECT_LE(heard, sound / 2.0 + 1.0);
        EXPECT_GE(heard, (sound - 3.0 * 1024 / 44.1) / 2.0 - 1.0);
    }
    const std::vector<int16_t> out = readRaw(raw);
    ASSERT_TRUE(tumeloraStreamSetSpeed(stream, 1.0));
    EXPECT_EQ(decodeAll(stream), asRecorded) << "speed 1 after half speed";
    FSOUND_Stream_Close(stream);
    FSOUND_Close();

    const long start = firstSoundingFrame(out);
    ASSERT_GE(start, 0);
    long end = start;
    for (size_t f = size_t(start); f * 2 + 1 < out.size(); ++f)
        if (out[f * 2] != 0 || out[f * 2 + 1] != 0) end = long(f) + 1;
    EXPECT_NEAR(double(end - start), 88200.0, 200.0) << "the tone's sound lasts two seconds";
    // The middle of the sound, away from the stretch's first and last windows: the pitch kept.
    const size_t from = size_t(start) + 22050, count = 44100;
    EXPECT_NEAR(estimateFrequency(out, 0, from, count), 440.0, 0.5);
    EXPECT_NEAR(estimateFrequency(out, 1, from, count), 660.0, 0.5);
    EXPECT_NEAR(rms(out, 0, from, count), 0.5 / std::sqrt(2.0), 0.05);
}
