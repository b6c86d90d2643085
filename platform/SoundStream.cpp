#include "platform/SoundStream.h"

#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/SoundDecoder.h"
#include "platform/SoundStretch.h"

namespace fsound {

namespace {

// The decoder thread: keeps the ring buffer filled ahead of the position, with the music
// itself at speed 1 and its stretched sound at any other.
void decodeLoop(FSOUND_STREAM* s, int channels, int rate) {
    Decoder decoder(&s->vf, channels, rate);
    Stretcher stretcher(decoder, s->musicFrames);
    std::vector<int16_t> chunk(static_cast<size_t>(DECODE_FRAMES) * 2);
    for (;;) {
        int64_t at = 0, count = 0;
        double speed = 1.0;
        uint64_t generation = 0;
        {
            // The next chunk goes where the ring ends, once there is room for it. moveTo changes
            // both ends under the mutex, so they are read here as one pair; the reader only
            // ever makes room, so a room seen stays free.
            std::unique_lock<std::mutex> lock(s->ringMutex);
            const auto ready = [&] {
                at = s->ringEnd.load(std::memory_order_acquire);
                count = std::min(DECODE_FRAMES, s->frames - at);
                return s->quit ||
                       (count > 0 && at + count - s->ringStart.load(std::memory_order_acquire) <= RING_FRAMES);
            };
            while (!ready()) s->ringChanged.wait_for(lock, std::chrono::milliseconds(DECODER_POLL_MS));
            if (s->quit) return;
            speed = s->speed;
            generation = s->ringGeneration;
        }
        if (speed == 1.0)
            decoder.produce(at, count, chunk.data());
        else
            stretcher.produce(speed, at, count, chunk.data());
        for (int64_t i = 0; i < count; ++i) {
            const size_t to = static_cast<size_t>((at + i) % RING_FRAMES) * 2;
            s->ring[to] = chunk[static_cast<size_t>(i) * 2];
            s->ring[to + 1] = chunk[static_cast<size_t>(i) * 2 + 1];
        }
        {
            // Published only if no new position emptied the ring meanwhile (a new position at
            // `at` itself wants these very frames) and the speed is still the same.
            std::lock_guard<std::mutex> lock(s->ringMutex);
            int64_t expected = at;
            if (s->ringGeneration == generation)
                s->ringEnd.compare_exchange_strong(expected, at + count, std::memory_order_acq_rel);
        }
        s->ringChanged.notify_all();
    }
}

}  // namespace

int64_t monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int64_t soundFrameOfMusic(int64_t music, double speed) {
    return speed == 1.0 ? music : std::llround(static_cast<double>(music) / speed);
}

double musicFrameOfSound(double sound, double speed) { return speed == 1.0 ? sound : sound * speed; }

void HeardRecord::write(const Heard& heard) {
    const uint32_t last = published_.load(std::memory_order_relaxed);
    // A reader that sees any of the stores below also sees that `last` was published, and so
    // finds out that its slot changed under it.
    std::atomic_thread_fence(std::memory_order_release);
    Slot& slot = slots_[(last + 1) % 2];
    slot.epoch.store(heard.epoch, std::memory_order_relaxed);
    slot.playing.store(heard.playing, std::memory_order_relaxed);
    slot.floor.store(heard.floor, std::memory_order_relaxed);
    slot.handedFrom.store(heard.handedFrom, std::memory_order_relaxed);
    slot.handedCount.store(heard.handedCount, std::memory_order_relaxed);
    slot.handedAtNs.store(heard.handedAtNs, std::memory_order_relaxed);
    slot.originNs.store(heard.originNs, std::memory_order_relaxed);
    published_.store(last + 1, std::memory_order_release);
}

Heard HeardRecord::read() const {
    for (;;) {
        const uint32_t version = published_.load(std::memory_order_acquire);
        const Slot& slot = slots_[version % 2];
        Heard heard;
        heard.epoch = slot.epoch.load(std::memory_order_relaxed);
        heard.playing = slot.playing.load(std::memory_order_relaxed);
        heard.floor = slot.floor.load(std::memory_order_relaxed);
        heard.handedFrom = slot.handedFrom.load(std::memory_order_relaxed);
        heard.handedCount = slot.handedCount.load(std::memory_order_relaxed);
        heard.handedAtNs = slot.handedAtNs.load(std::memory_order_relaxed);
        heard.originNs = slot.originNs.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (published_.load(std::memory_order_relaxed) == version) return heard;
    }
}

void moveTo(FSOUND_STREAM* s, int64_t frame) {
    {
        std::lock_guard<std::mutex> lock(s->ringMutex);
        s->ringStart.store(frame, std::memory_order_release);
        s->ringEnd.store(frame, std::memory_order_release);
    }
    s->ringChanged.notify_all();
    s->position = frame;
    ++s->heardEpoch;
    const int64_t nowNs = monotonicNs();
    s->heard.write({s->heardEpoch, s->playing, frame, frame, 0, nowNs, nowNs - frame * NS_PER_SECOND / OUTPUT_RATE});
}

void changeSpeed(FSOUND_STREAM* s, double speed, std::vector<SoundClick>& clicks) {
    const auto musicOf = [s](int64_t sound) {
        return static_cast<int64_t>(std::floor(musicFrameOfSound(static_cast<double>(sound), s->speed)));
    };
    const int64_t music = musicOf(s->position), leadIn = musicOf(s->leadIn);
    {
        std::lock_guard<std::mutex> lock(s->ringMutex);
        s->speed = speed;
        s->frames = soundFrameOfMusic(s->musicFrames, speed);
        ++s->ringGeneration;
    }
    s->leadIn = soundFrameOfMusic(leadIn, speed);
    s->clicks.swap(clicks);
    moveTo(s, std::min(soundFrameOfMusic(music, speed), s->frames));
}

bool waitDecoded(FSOUND_STREAM* s, int64_t frames, int timeoutMs) {
    std::unique_lock<std::mutex> lock(s->ringMutex);
    return s->ringChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [s, frames] {
        const int64_t start = s->ringStart.load(std::memory_order_acquire);
        return s->ringEnd.load(std::memory_order_acquire) - start >= std::min(frames, s->frames - start);
    });
}

int64_t take(FSOUND_STREAM* s, int16_t* dst, int64_t frames, bool mix) {
    const int64_t start = s->ringStart.load(std::memory_order_relaxed);
    const int64_t n = std::min(frames, s->ringEnd.load(std::memory_order_acquire) - start);
    for (int64_t i = 0; i < n; ++i) {
        const size_t from = static_cast<size_t>((start + i) % RING_FRAMES) * 2;
        for (size_t c = 0; c < 2; ++c) {
            const size_t to = static_cast<size_t>(i) * 2 + c;
            dst[to] = mix ? static_cast<int16_t>(std::clamp(dst[to] + s->ring[from + c], -32768, 32767))
                          : s->ring[from + c];
        }
    }
    if (n <= 0) return 0;
    s->ringStart.store(start + n, std::memory_order_release);
    s->position += n;
    if (!mix) {
        // The calling thread may wait for the decoder; the audio callback never does (the
        // decoder finds the room it made within DECODER_POLL_MS).
        { std::lock_guard<std::mutex> lock(s->ringMutex); }
        s->ringChanged.notify_all();
    }
    return n;
}

}  // namespace fsound

FSOUND_STREAM::~FSOUND_STREAM() {
    if (decoderThread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(ringMutex);
            quit = true;
        }
        ringChanged.notify_all();
        decoderThread.join();
    }
    if (vfOpen) ov_clear(&vf);
}

void FSOUND_STREAM::startDecoder(int channels, int rate) {
    ring.assign(static_cast<size_t>(fsound::RING_FRAMES) * 2, 0);
    decoderThread = std::thread(fsound::decodeLoop, this, channels, rate);
    // Named, so that its share of the processor can be read off /proc/PID/task/*/comm.
    pthread_setname_np(decoderThread.native_handle(), "music-decoder");
}
