#include "platform/SoundStream.h"

#include <algorithm>
#include <chrono>

#include "platform/SoundDecoder.h"

namespace fsound {

namespace {

// The decoder thread: keeps the ring buffer filled ahead of the position.
void decodeLoop(FSOUND_STREAM* s, int channels, int rate) {
    Decoder decoder(&s->vf, channels, rate);
    std::vector<int16_t> chunk(static_cast<size_t>(DECODE_FRAMES) * 2);
    std::unique_lock<std::mutex> lock(s->ringMutex);
    for (;;) {
        s->ringChanged.wait(lock, [s] {
            const int64_t next = s->ringStart + s->ringCount;
            return s->quit || (next < s->frames && s->ringCount + std::min(DECODE_FRAMES, s->frames - next) <= RING_FRAMES);
        });
        if (s->quit) return;
        const int64_t at = s->ringStart + s->ringCount;
        const int64_t count = std::min(DECODE_FRAMES, s->frames - at);
        const uint64_t generation = s->ringGeneration;
        lock.unlock();
        decoder.produce(at, count, chunk.data());
        lock.lock();
        if (generation != s->ringGeneration || at != s->ringStart + s->ringCount) continue;
        for (int64_t i = 0; i < count; ++i) {
            const size_t to = static_cast<size_t>((at + i) % RING_FRAMES) * 2;
            s->ring[to] = chunk[static_cast<size_t>(i) * 2];
            s->ring[to + 1] = chunk[static_cast<size_t>(i) * 2 + 1];
        }
        s->ringCount += count;
        s->ringChanged.notify_all();
    }
}

}  // namespace

int64_t monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void HeardRecord::write(uint32_t newEpoch, bool isPlaying, int64_t newFloor, int64_t from, int64_t count,
                        int64_t atNs, int64_t origin) {
    sequence.fetch_add(1, std::memory_order_acq_rel);
    epoch.store(newEpoch, std::memory_order_relaxed);
    playing.store(isPlaying, std::memory_order_relaxed);
    floor.store(newFloor, std::memory_order_relaxed);
    handedFrom.store(from, std::memory_order_relaxed);
    handedCount.store(count, std::memory_order_relaxed);
    handedAtNs.store(atNs, std::memory_order_relaxed);
    originNs.store(origin, std::memory_order_relaxed);
    sequence.fetch_add(1, std::memory_order_acq_rel);
}

void moveTo(FSOUND_STREAM* s, int64_t frame) {
    {
        std::lock_guard<std::mutex> lock(s->ringMutex);
        s->ringStart = frame;
        s->ringCount = 0;
        ++s->ringGeneration;
    }
    s->ringChanged.notify_all();
    s->position = frame;
    ++s->heardEpoch;
    const int64_t nowNs = monotonicNs();
    s->heard.write(s->heardEpoch, s->playing, frame, frame, 0, nowNs, nowNs - frame * NS_PER_SECOND / OUTPUT_RATE);
}

bool waitDecoded(FSOUND_STREAM* s, int64_t frames, int timeoutMs) {
    std::unique_lock<std::mutex> lock(s->ringMutex);
    return s->ringChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [s, frames] {
        return s->ringCount >= std::min(frames, s->frames - s->ringStart);
    });
}

int64_t take(FSOUND_STREAM* s, int16_t* dst, int64_t frames, bool mix) {
    int64_t n = 0;
    {
        std::lock_guard<std::mutex> lock(s->ringMutex);
        n = std::min(frames, s->ringCount);
        for (int64_t i = 0; i < n; ++i) {
            const size_t from = static_cast<size_t>((s->ringStart + i) % RING_FRAMES) * 2;
            for (size_t c = 0; c < 2; ++c) {
                const size_t to = static_cast<size_t>(i) * 2 + c;
                dst[to] = mix ? static_cast<int16_t>(std::clamp(dst[to] + s->ring[from + c], -32768, 32767))
                              : s->ring[from + c];
            }
        }
        s->ringStart += n;
        s->ringCount -= n;
    }
    if (n > 0) s->ringChanged.notify_all();
    s->position += n;
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
}
