#pragma once
// One open music stream of the sound layer: its source, its decoder thread and the ring buffer
// that thread keeps filled ahead of the stream's position, and the record of what the device
// was handed, from which the heard position is told.
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
// Nanoseconds a second.
constexpr int64_t NS_PER_SECOND = 1'000'000'000;

// Monotonic nanoseconds.
int64_t monotonicNs();

// What one audio callback handed over of a stream, for the heard position. Written by the
// audio callback (or under the device lock) as a sequence lock, read without any lock.
struct HeardRecord {
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint32_t> epoch{0};      // changes whenever the position jumps (Play, SetTime)
    std::atomic<bool> playing{false};
    std::atomic<int64_t> floor{0};       // the position when playback started or jumped
    std::atomic<int64_t> handedFrom{0};  // first frame of the last buffer handed over
    std::atomic<int64_t> handedCount{0};
    std::atomic<int64_t> handedAtNs{0};
    // When frame 0 would have been handed over, had the device taken every buffer on time
    // (the earliest over the recent callbacks).
    std::atomic<int64_t> originNs{0};

    // Publishes a new record (the writer holds the device lock or is the audio callback).
    void write(uint32_t newEpoch, bool isPlaying, int64_t newFloor, int64_t from, int64_t count, int64_t atNs,
               int64_t origin);
};

}  // namespace fsound

struct FSOUND_STREAM {
    fsound::OggSource source;
    OggVorbis_File vf{};
    bool vfOpen = false;
    int64_t frames = 0;
    // Shared with the audio callback; changed only under the device lock.
    int64_t position = 0;
    bool playing = false;
    bool endPending = false;  // played to its end; the end callback runs on the next device buffer
    int channel = -1;
    FSOUND_STREAMCALLBACK endCallback = nullptr;
    void* endUserData = nullptr;
    // Silence still to hand over before the position (a lead-in), and the clicks mixed in.
    int64_t leadIn = 0;
    std::vector<SoundClick> clicks;

    // The ring buffer: frames [ringStart, ringStart + ringCount) of the music, frame f at index
    // f % RING_FRAMES. ringStart equals position. Guarded by ringMutex.
    std::mutex ringMutex;
    std::condition_variable ringChanged;
    std::vector<int16_t> ring;
    int64_t ringStart = 0;
    int64_t ringCount = 0;
    uint64_t ringGeneration = 0;  // changes when the ring is emptied for a new position
    bool quit = false;
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

// Empties the ring for a new position. Call under the device lock.
void moveTo(FSOUND_STREAM* s, int64_t frame);
// Waits until the decoder has `frames` frames ahead of the position (or the rest of the
// music), at most timeoutMs; true if they are there.
bool waitDecoded(FSOUND_STREAM* s, int64_t frames, int timeoutMs);
// Takes up to `frames` decoded frames at the position; adds them into dst (saturating) when
// mix, copies them otherwise. Moves the position on. Call under the device lock (or while
// the audio callback cannot touch the stream).
int64_t take(FSOUND_STREAM* s, int16_t* dst, int64_t frames, bool mix);

}  // namespace fsound
