#pragma once
// One open music stream of the sound layer: its source, its decoder thread and the ring buffer
// that thread keeps filled ahead of the stream's position, and the record of what the device
// was handed, from which the heard position is told.
//
// A stream plays its music at a speed (1: as recorded). Its sound, which the ring, the device's
// record, the position and the lead-in count in, has 1 / speed frames for each frame of music;
// at speed 1 the two are the same frames.
#include <vorbis/vorbisfile.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/FSound.h"
#include "platform/OggSource.h"

namespace fsound {

// Decoded music kept ahead of the position, in frames (about 1.5 s; 256 KiB).
constexpr int64_t RING_FRAMES = 65536;
// How often a decoder whose ring is full looks for room again, in ms (the audio callback takes
// music without waking it: a wake-up could make the callback wait on the decoder).
constexpr int DECODER_POLL_MS = 50;
// Nanoseconds a second.
constexpr int64_t NS_PER_SECOND = 1'000'000'000;

// Monotonic nanoseconds.
int64_t monotonicNs();

// The frame of the sound at which music frame `music` is heard at `speed`, and the music frame
// (fractional) heard at a frame of the sound; at speed 1 both give the frame itself.
int64_t soundFrameOfMusic(int64_t music, double speed);
double musicFrameOfSound(double sound, double speed);

// What the device was last handed of a stream, for the heard position.
struct Heard {
    uint32_t epoch = 0;       // changes whenever the position jumps (Play, SetTime)
    bool playing = false;
    int64_t floor = 0;        // the position when playback started or jumped
    int64_t handedFrom = 0;   // first frame of the last buffer handed over
    int64_t handedCount = 0;
    int64_t handedAtNs = 0;
    // When frame 0 would have been handed over, had the device taken every buffer on time
    // (the earliest over the recent callbacks).
    int64_t originNs = 0;
};

// The last Heard of a stream, written by one writer at a time (the audio callback, or the
// calling thread under the device lock) and read without any lock. It has two slots: the
// writer fills the one not published and then publishes it, so a reader never waits for the
// writer, not even for one that was preempted half-way through a write; a read that overlapped
// a whole publication is simply repeated.
class HeardRecord {
public:
    // Publishes a new record.
    void write(const Heard& heard);
    // The record last published.
    Heard read() const;

private:
    // One copy of a Heard, in atomics so that a read may overlap a write.
    struct Slot {
        std::atomic<uint32_t> epoch{0};
        std::atomic<bool> playing{false};
        std::atomic<int64_t> floor{0}, handedFrom{0}, handedCount{0}, handedAtNs{0}, originNs{0};
    };
    Slot slots_[2];
    // Records published so far; the last one is in slots_[published_ % 2].
    std::atomic<uint32_t> published_{0};
};

}  // namespace fsound

struct FSOUND_STREAM {
    fsound::OggSource source;
    OggVorbis_File vf{};
    bool vfOpen = false;
    // The music's length in frames at the mix rate.
    int64_t musicFrames = 0;
    // The speed the music plays at, and the length of its sound in frames (musicFrames at
    // speed 1). Changed under the device lock and ringMutex.
    double speed = 1.0;
    int64_t frames = 0;
    // Shared with the audio callback; changed only under the device lock. The next frame of
    // the sound to hand over.
    int64_t position = 0;
    bool playing = false;
    bool endPending = false;  // played to its end; the end callback runs on the next device buffer
    int channel = -1;
    FSOUND_STREAMCALLBACK endCallback = nullptr;
    void* endUserData = nullptr;
    // Silence still to hand over before the position (a lead-in), and the clicks mixed in, at
    // frames of the sound; the clicks as they were set, at frames of the music (the calling
    // thread's own).
    int64_t leadIn = 0;
    std::vector<SoundClick> clicks;
    std::vector<SoundClick> musicClicks;

    // The ring buffer: frames [ringStart, ringEnd) of the sound are decoded, frame f at index
    // f % RING_FRAMES; ringStart equals position. One writer, the decoder thread, fills slots
    // past ringEnd and then moves ringEnd on; one reader, whoever holds the device lock (the
    // audio callback), copies slots from ringStart on and then moves ringStart on. Neither
    // waits for the other: the audio callback takes no lock at all. moveTo empties the ring
    // under the device lock and ringMutex; the decoder publishes only if ringEnd is still where
    // it began decoding and the speed has not changed since (ringGeneration), so music decoded
    // for an old position or another speed is never heard. ringMutex and
    // ringChanged serve only the waits of the decoder (for room, a new position or quit) and
    // of the calling thread (for decoded music).
    std::mutex ringMutex;
    std::condition_variable ringChanged;
    std::vector<int16_t> ring;
    std::atomic<int64_t> ringStart{0};
    std::atomic<int64_t> ringEnd{0};
    uint64_t ringGeneration = 0;  // guarded by ringMutex
    bool quit = false;  // guarded by ringMutex
    std::thread decoderThread;

    fsound::HeardRecord heard;
    uint32_t heardEpoch = 0;  // changed under the device lock
    // The audio callback's own: the earliest origins of the previous and the current half
    // window, when the current one began, and for which epoch.
    int64_t originOlderNs = 0, originNewerNs = 0, originBucketNs = 0;
    uint32_t originEpoch = 0;
    // The calling thread's own: the last heard position reported, and for which epoch.
    double lastHeardFrames = -1;
    uint32_t lastHeardEpoch = 0;

    // Ends the decoder thread and closes the decoder.
    ~FSOUND_STREAM();
    // Starts the decoder thread for music of the given channel count and rate.
    void startDecoder(int channels, int rate);
};

namespace fsound {

// Empties the ring for a new position (a frame of the sound). Call under the device lock.
void moveTo(FSOUND_STREAM* s, int64_t frame);
// Plays the music at a new speed from the music frame it stands at; the lead-in left and the
// clicks (given at frames of the new sound) follow. Call under the device lock.
void changeSpeed(FSOUND_STREAM* s, double speed, std::vector<SoundClick>& clicks);
// Waits until the decoder has `frames` frames ahead of the position (or the rest of the
// music), at most timeoutMs; true if they are there.
bool waitDecoded(FSOUND_STREAM* s, int64_t frames, int timeoutMs);
// Takes up to `frames` decoded frames at the position; adds them into dst (saturating) when
// mix (the audio callback: without any lock or wake-up), copies them otherwise (the calling
// thread, which then wakes the decoder). Moves the position on. Call under the device lock
// (or while the audio callback cannot touch the stream).
int64_t take(FSOUND_STREAM* s, int16_t* dst, int64_t frames, bool mix);

}  // namespace fsound
