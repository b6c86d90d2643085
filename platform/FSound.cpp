// The sound layer over SDL2 audio output, libvorbisfile decoding and libsamplerate conversion
// (design in FSound.h).
#include "platform/FSound.h"

#include <SDL.h>
#include <ogg/ogg.h>
#include <samplerate.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <numeric>
#include <thread>
#include <vector>

namespace {

constexpr int kOutputRate = 44100;
constexpr int kOutputChannels = 2;
constexpr int kBytesPerFrame = kOutputChannels * static_cast<int>(sizeof(int16_t));
// Frames per device buffer: about 23 ms at 44,100 Hz.
constexpr int kDeviceBufferFrames = 1024;
// Device buffers between handing a buffer over and hearing its start: the output latency
// (measured through PulseAudio with bench/run --only sync; TUMELORA_AUDIO_LATENCY_MS overrides).
constexpr double kLatencyBuffers = 0.75;
// How far back the heard position looks for the audio callback that came most on time, in
// ns: callbacks only ever come late (the audio thread was not scheduled at once), never
// early, so the earliest of the recent ones tells best when the device takes each buffer.
// Short, so that a device that really fell behind (a stall, an underrun) is followed soon.
constexpr int64_t kHeardOriginWindowNs = 250'000'000;
// Largest music file copied into memory (FSOUND_LOADMEMORY).
constexpr long long kMaxMemoryBytes = 64ll << 20;
// Longest music accepted, in seconds (positions stay far inside int milliseconds).
constexpr long long kMaxStreamSeconds = 3 * 60 * 60;
// Source formats accepted: channel counts and sample rates.
constexpr int kMaxSourceChannels = 8;
constexpr long kMinSourceRate = 1000;
constexpr long kMaxSourceRate = 384000;
// Bytes fed to the page checker at once.
constexpr int kChunkBytes = 64 * 1024;
// Decoded music kept ahead of the position, in frames (about 1.5 s; 256 KiB).
constexpr int64_t kRingFrames = 65536;
// Frames the decoder produces at once.
constexpr int64_t kDecodeFrames = 4096;
// Frames decoded before Play lets the device have the stream.
constexpr int64_t kPlayReadyFrames = 2 * kDeviceBufferFrames;
// Longest wait of Play (and of tumeloraStreamRead per chunk) for the decoder, in ms.
constexpr int kDecoderWaitMs = 1000;
// Output frames a converted stream decodes before a sought frame, so that the resampler's
// filter holds only real music by then.
constexpr int64_t kResamplerPrerollFrames = 1024;
// Source frames read from libvorbisfile at once.
constexpr int kReadFrames = 1024;

// Monotonic nanoseconds.
int64_t monotonicNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct Device {
    SDL_AudioDeviceID id = 0;
    // Channel slots; a stream stays in its slot while playing and until its end callback ran.
    FSOUND_STREAM* channels[FSOUND_MAX_CHANNELS] = {};
    std::atomic<uint64_t> framesPlayed{0};
    std::atomic<uint64_t> musicFramesPlayed{0};
    std::atomic<uint64_t> endCallbacksRun{0};
    // Estimated output latency in frames.
    std::atomic<int64_t> latencyFrames{0};
};

Device g_device;
int g_error = FSOUND_ERR_NONE;

// Holds SDL's device lock (so the audio callback is not running) while in scope; no-op
// without a device.
class DeviceLock {
public:
    DeviceLock() : id_(g_device.id) {
        if (id_ != 0) SDL_LockAudioDevice(id_);
    }
    ~DeviceLock() {
        if (id_ != 0) SDL_UnlockAudioDevice(id_);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

private:
    SDL_AudioDeviceID id_;
};

bool fail(int code) {
    g_error = code;
    return false;
}

// The Ogg file: a region of a file on disk, or a copy of bytes in memory.
struct Source {
    std::FILE* file = nullptr;
    long long begin = 0; // offset of the region in the file
    std::vector<unsigned char> memory;
    long long size = 0;
    long long pos = 0;

    ~Source() {
        if (file != nullptr) std::fclose(file);
    }
    // Reads up to n bytes at pos; the count read.
    size_t read(void* out, size_t n) {
        n = static_cast<size_t>(std::min<long long>(static_cast<long long>(n), size - pos));
        if (n == 0) return 0;
        size_t got = n;
        if (file == nullptr) {
            std::memcpy(out, memory.data() + pos, n);
        } else {
            if (std::fseek(file, static_cast<long>(begin + pos), SEEK_SET) != 0) return 0;
            got = std::fread(out, 1, n, file);
        }
        pos += static_cast<long long>(got);
        return got;
    }
};

// libvorbisfile's read, seek and tell over a Source.
size_t sourceRead(void* ptr, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    return static_cast<Source*>(source)->read(ptr, size * count) / size;
}

int sourceSeek(void* source, ogg_int64_t offset, int whence) {
    auto* s = static_cast<Source*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR) base = s->pos;
    else if (whence == SEEK_END) base = s->size;
    else if (whence != SEEK_SET) return -1;
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > s->size) return -1;
    s->pos = target;
    return 0;
}

long sourceTell(void* source) { return static_cast<long>(static_cast<Source*>(source)->pos); }

// A file is accepted only as a sequence of whole Ogg pages with valid checksums and no bytes
// around them, whose last page ends its logical stream: corrupt and truncated files are refused.
bool isIntactOgg(Source& source) {
    source.pos = 0;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    bool bad = false;
    bool lastEos = false;
    long pages = 0;
    while (!bad) {
        ogg_page page;
        const int r = ogg_sync_pageout(&sync, &page);
        if (r < 0) {
            bad = true;
        } else if (r > 0) {
            ++pages;
            lastEos = ogg_page_eos(&page) != 0;
        } else if (source.pos < source.size) {
            char* buf = ogg_sync_buffer(&sync, kChunkBytes);
            const size_t n = buf != nullptr ? source.read(buf, kChunkBytes) : 0;
            if (n == 0) {
                bad = true;
                break;
            }
            ogg_sync_wrote(&sync, static_cast<long>(n));
        } else {
            break;
        }
    }
    const bool leftover = sync.fill != sync.returned;
    ogg_sync_clear(&sync);
    source.pos = 0;
    return !bad && !leftover && pages > 0 && lastEos;
}

// Weights of a Vorbis channel (in the format's channel order) in the left and right output.
void downmixWeights(int channels, std::vector<float>& left, std::vector<float>& right) {
    // L: left side, R: right side, C: centre (half to each), F: low frequency (left out).
    static const char* const kLayouts[kMaxSourceChannels + 1] = {
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

// Decodes and converts one stream, on its decoder thread only (after open).
class Decoder {
public:
    // Decodes vf (opened and checked) of the given channel count and rate.
    Decoder(OggVorbis_File* vf, int channels, int rate) : vf_(vf), channels_(channels), rate_(rate) {
        if (!direct()) {
            int error = 0;
            resampler_ = src_new(SRC_SINC_MEDIUM_QUALITY, kOutputChannels, &error);
            const int g = std::gcd(rate_, kOutputRate);
            gridOut_ = kOutputRate / g;
            gridIn_ = rate_ / g;
            downmixWeights(channels_, left_, right_);
        }
    }
    // Frees the resampler.
    ~Decoder() {
        if (resampler_ != nullptr) src_delete(resampler_);
    }
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Writes `count` output frames from output frame `at` into out; silence where the music
    // cannot be decoded.
    void produce(int64_t at, int64_t count, int16_t* out) {
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

private:
    // True when the music needs no conversion.
    bool direct() const { return rate_ == kOutputRate && channels_ == kOutputChannels; }

    // Makes output frame `at` the next one produced.
    void seek(int64_t at) {
        failed_ = false;
        if (direct()) {
            failed_ = ov_pcm_seek(vf_, at) != 0;
            position_ = at;
            return;
        }
        // Start where both sample grids meet, a little before the wanted frame, and drop the
        // frames before it: the output is then the same as when played from the start.
        const int64_t start = std::max<int64_t>(0, at - kResamplerPrerollFrames) / gridOut_ * gridOut_;
        failed_ = ov_pcm_seek(vf_, start / gridOut_ * gridIn_) != 0;
        src_reset(resampler_);
        pending_.clear();
        pendingFrom_ = 0;
        ended_ = false;
        std::vector<int16_t> dropped(static_cast<size_t>(kDecodeFrames) * 2);
        for (int64_t p = start; p < at && !failed_;) {
            const int64_t n = readConverted(dropped.data(), std::min(kDecodeFrames, at - p));
            if (n <= 0) break;
            p += n;
        }
        position_ = at;
    }

    // Up to count frames of unconverted music into out; 0 at the end or on failure.
    int64_t readDirect(int16_t* out, int64_t count) {
        const int bigEndian = SDL_BYTEORDER == SDL_BIG_ENDIAN ? 1 : 0;
        for (;;) {
            int link = 0;
            const long n = ov_read(vf_, reinterpret_cast<char*>(out),
                                   static_cast<int>(std::min<int64_t>(count, kDecodeFrames) * kBytesPerFrame),
                                   bigEndian, 2, 1, &link);
            if (n == OV_HOLE) continue;
            if (n < 0 || n % kBytesPerFrame != 0) failed_ = true;
            return n > 0 && !failed_ ? n / kBytesPerFrame : 0;
        }
    }

    // Fills pending_ with stereo source frames; false at the end of the music or on failure.
    bool readSource() {
        for (;;) {
            float** pcm = nullptr;
            int link = 0;
            const long n = ov_read_float(vf_, &pcm, kReadFrames, &link);
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

    // Up to count converted frames into out; 0 at the end or on failure.
    int64_t readConverted(int16_t* out, int64_t count) {
        if (resampler_ == nullptr) {
            failed_ = true;
            return 0;
        }
        converted_.resize(static_cast<size_t>(std::min(count, kDecodeFrames)) * 2);
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
            data.src_ratio = static_cast<double>(kOutputRate) / rate_;
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

    OggVorbis_File* vf_;
    int channels_;
    int rate_;
    int64_t position_ = 0; // the next output frame the decoder gives
    bool failed_ = false;
    // Conversion.
    SRC_STATE* resampler_ = nullptr;
    int gridOut_ = 1, gridIn_ = 1;
    std::vector<float> left_, right_;
    std::vector<float> pending_; // stereo source frames not yet converted, from pendingFrom_
    long pendingFrom_ = 0;
    bool ended_ = false;
    std::vector<float> converted_;
};

// What one audio callback handed over of a stream, for the heard position. Written by the
// audio callback (or under the device lock) as a sequence lock, read without any lock.
struct HeardRecord {
    std::atomic<uint32_t> sequence{0};
    std::atomic<uint32_t> epoch{0};     // changes whenever the position jumps (Play, SetTime)
    std::atomic<bool> playing{false};
    std::atomic<int64_t> floor{0};      // the position when playback started or jumped
    std::atomic<int64_t> handedFrom{0}; // first frame of the last buffer handed over
    std::atomic<int64_t> handedCount{0};
    std::atomic<int64_t> handedAtNs{0};
    // When frame 0 would have been handed over, had the device taken every buffer on time
    // (the earliest over the recent callbacks).
    std::atomic<int64_t> originNs{0};

    // Publishes a new record (the writer holds the device lock or is the audio callback).
    void write(uint32_t newEpoch, bool isPlaying, int64_t newFloor, int64_t from, int64_t count, int64_t atNs,
               int64_t origin) {
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
};

} // namespace

struct FSOUND_STREAM {
    Source source;
    OggVorbis_File vf{};
    bool vfOpen = false;
    int64_t frames = 0;
    // Shared with the audio callback; changed only under the device lock.
    int64_t position = 0;
    bool playing = false;
    bool endPending = false; // played to its end; the end callback runs on the next device buffer
    int channel = -1;
    FSOUND_STREAMCALLBACK endCallback = nullptr;
    void* endUserData = nullptr;

    // The ring buffer: frames [ringStart, ringStart + ringCount) of the music, frame f at index
    // f % kRingFrames. ringStart equals position. Guarded by ringMutex.
    std::mutex ringMutex;
    std::condition_variable ringChanged;
    std::vector<int16_t> ring;
    int64_t ringStart = 0;
    int64_t ringCount = 0;
    uint64_t ringGeneration = 0; // changes when the ring is emptied for a new position
    bool quit = false;
    std::thread decoderThread;

    HeardRecord heard;
    uint32_t heardEpoch = 0;       // changed under the device lock
    // The audio callback's own: the earliest origins of the previous and the current half
    // window, when the current one began, and for which epoch.
    int64_t originOlderNs = 0, originNewerNs = 0, originBucketNs = 0;
    uint32_t originEpoch = 0;
    // The calling thread's own: the last heard position reported, and for which epoch.
    double lastHeardFrames = -1;
    uint32_t lastHeardEpoch = 0;

    ~FSOUND_STREAM() {
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
};

namespace {

// The decoder thread: keeps the ring buffer filled ahead of the position.
void decodeLoop(FSOUND_STREAM* s, int channels, int rate) {
    Decoder decoder(&s->vf, channels, rate);
    std::vector<int16_t> chunk(static_cast<size_t>(kDecodeFrames) * 2);
    std::unique_lock<std::mutex> lock(s->ringMutex);
    for (;;) {
        s->ringChanged.wait(lock, [s] {
            const int64_t next = s->ringStart + s->ringCount;
            return s->quit || (next < s->frames && s->ringCount + std::min(kDecodeFrames, s->frames - next) <= kRingFrames);
        });
        if (s->quit) return;
        const int64_t at = s->ringStart + s->ringCount;
        const int64_t count = std::min(kDecodeFrames, s->frames - at);
        const uint64_t generation = s->ringGeneration;
        lock.unlock();
        decoder.produce(at, count, chunk.data());
        lock.lock();
        if (generation != s->ringGeneration || at != s->ringStart + s->ringCount) continue;
        for (int64_t i = 0; i < count; ++i) {
            const size_t to = static_cast<size_t>((at + i) % kRingFrames) * 2;
            s->ring[to] = chunk[static_cast<size_t>(i) * 2];
            s->ring[to + 1] = chunk[static_cast<size_t>(i) * 2 + 1];
        }
        s->ringCount += count;
        s->ringChanged.notify_all();
    }
}

// Empties the ring for a new position. Call under the device lock.
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
    s->heard.write(s->heardEpoch, s->playing, frame, frame, 0, nowNs, nowNs - frame * 1'000'000'000 / kOutputRate);
}

// Waits until the decoder has `frames` frames ahead of the position (or the rest of the
// music), at most timeoutMs; true if they are there.
bool waitDecoded(FSOUND_STREAM* s, int64_t frames, int timeoutMs) {
    std::unique_lock<std::mutex> lock(s->ringMutex);
    return s->ringChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [s, frames] {
        return s->ringCount >= std::min(frames, s->frames - s->ringStart);
    });
}

// Takes up to `frames` decoded frames at the position; adds them into dst (saturating) when
// mix, copies them otherwise. Moves the position on. Call under the device lock (or while
// the audio callback cannot touch the stream).
int64_t take(FSOUND_STREAM* s, int16_t* dst, int64_t frames, bool mix) {
    int64_t n = 0;
    {
        std::lock_guard<std::mutex> lock(s->ringMutex);
        n = std::min(frames, s->ringCount);
        for (int64_t i = 0; i < n; ++i) {
            const size_t from = static_cast<size_t>((s->ringStart + i) % kRingFrames) * 2;
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

// Takes the stream off its channel; no end callback follows. Call under the device lock.
void detach(FSOUND_STREAM* stream) {
    if (stream->channel >= 0) g_device.channels[stream->channel] = nullptr;
    stream->channel = -1;
    stream->playing = false;
    stream->endPending = false;
    stream->heard.playing.store(false);
}

// The audio callback: reports streams whose last frame went out in the previous buffer, then
// mixes every playing stream into this one (saturating 16-bit sums).
void SDLCALL audioCallback(void*, Uint8* out, int len) {
    const int frames = len / kBytesPerFrame;
    const int64_t nowNs = monotonicNs();
    int16_t* dst = reinterpret_cast<int16_t*>(out);
    std::memset(out, 0, static_cast<size_t>(len));
    for (FSOUND_STREAM*& slot : g_device.channels) {
        FSOUND_STREAM* s = slot;
        if (s == nullptr || !s->endPending) continue;
        s->endPending = false;
        s->channel = -1;
        slot = nullptr;
        g_device.endCallbacksRun.fetch_add(1, std::memory_order_relaxed);
        if (s->endCallback != nullptr) s->endCallback(s, nullptr, 0, s->endUserData);
    }
    int64_t musicFrames = 0;
    for (FSOUND_STREAM* s : g_device.channels) {
        if (s == nullptr || !s->playing) continue;
        const int64_t from = s->position;
        const int64_t n = take(s, dst, std::min<int64_t>(frames, s->frames - s->position), true);
        musicFrames = std::max(musicFrames, n);
        const bool ended = s->position >= s->frames;
        const int64_t origin = nowNs - from * 1'000'000'000 / kOutputRate;
        if (s->originEpoch != s->heardEpoch) {
            s->originEpoch = s->heardEpoch;
            s->originOlderNs = s->originNewerNs = origin;
            s->originBucketNs = nowNs;
        } else if (nowNs - s->originBucketNs >= kHeardOriginWindowNs / 2) {
            s->originOlderNs = s->originNewerNs;
            s->originNewerNs = origin;
            s->originBucketNs = nowNs;
        } else {
            s->originNewerNs = std::min(s->originNewerNs, origin);
        }
        s->heard.write(s->heardEpoch, !ended, s->heard.floor.load(std::memory_order_relaxed), from, n, nowNs,
                       std::min(s->originOlderNs, s->originNewerNs));
        if (ended) {
            s->playing = false;
            s->endPending = true;
        }
    }
    g_device.framesPlayed.fetch_add(static_cast<uint64_t>(frames), std::memory_order_relaxed);
    g_device.musicFramesPlayed.fetch_add(static_cast<uint64_t>(musicFrames), std::memory_order_relaxed);
}

// Opens the source: a region of a file or a copy of memory; false with the error set.
bool openSource(const char* nameOrData, unsigned int mode, int offset, int length, Source& source) {
    if ((mode & FSOUND_LOADMEMORY) != 0) {
        if (length <= 0 || length > kMaxMemoryBytes)
            return fail(length <= 0 ? FSOUND_ERR_INVALID_PARAM : FSOUND_ERR_MEMORY);
        const auto* data = reinterpret_cast<const unsigned char*>(nameOrData) + offset;
        source.memory.assign(data, data + length);
        source.size = length;
        return true;
    }
    source.file = std::fopen(nameOrData, "rb");
    if (source.file == nullptr) return fail(FSOUND_ERR_FILE_NOTFOUND);
    const bool ok = std::fseek(source.file, 0, SEEK_END) == 0;
    const long long size = ok ? static_cast<long long>(std::ftell(source.file)) : -1;
    if (size < 0) return fail(FSOUND_ERR_FILE_NOTFOUND);
    if (offset >= size) return fail(FSOUND_ERR_FILE_FORMAT);
    source.begin = offset;
    source.size = length > 0 ? std::min<long long>(length, size - offset) : size - offset;
    return true;
}

} // namespace

signed char F_API FSOUND_Init(int mixrate, int maxchannels, unsigned int) {
    if (g_device.id != 0) return fail(FSOUND_ERR_BUSY);
    if (mixrate != kOutputRate || maxchannels < 1 || maxchannels > FSOUND_MAX_CHANNELS)
        return fail(FSOUND_ERR_INVALID_PARAM);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(FSOUND_ERR_INIT);
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = kOutputRate;
    want.format = AUDIO_S16SYS;
    want.channels = kOutputChannels;
    want.samples = kDeviceBufferFrames;
    want.callback = audioCallback;
    SDL_AudioSpec have;
    const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (id == 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return fail(FSOUND_ERR_INIT);
    }
    g_device.framesPlayed = 0;
    g_device.musicFramesPlayed = 0;
    g_device.endCallbacksRun = 0;
    g_device.latencyFrames = static_cast<int64_t>(have.samples * kLatencyBuffers);
    if (const char* latency = SDL_getenv("TUMELORA_AUDIO_LATENCY_MS"))
        g_device.latencyFrames = static_cast<int64_t>(SDL_atof(latency) * kOutputRate / 1000.0);
    std::fill(std::begin(g_device.channels), std::end(g_device.channels), nullptr);
    g_device.id = id;
    SDL_PauseAudioDevice(id, 0);
    g_error = FSOUND_ERR_NONE;
    return true;
}

void F_API FSOUND_Close() {
    if (g_device.id == 0) return;
    {
        DeviceLock lock;
        for (FSOUND_STREAM* s : g_device.channels)
            if (s != nullptr) detach(s);
    }
    SDL_CloseAudioDevice(g_device.id);
    g_device.id = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int F_API FSOUND_GetError() { return g_error; }

signed char F_API FSOUND_StopSound(int channel) {
    if (channel != FSOUND_ALL && (channel < 0 || channel >= FSOUND_MAX_CHANNELS))
        return fail(FSOUND_ERR_INVALID_PARAM);
    DeviceLock lock;
    for (int c = 0; c < FSOUND_MAX_CHANNELS; ++c) {
        FSOUND_STREAM* s = g_device.channels[c];
        if (s != nullptr && (channel == FSOUND_ALL || channel == c)) detach(s);
    }
    g_error = FSOUND_ERR_NONE;
    return true;
}

FSOUND_STREAM* F_API FSOUND_Stream_Open(const char* name_or_data, unsigned int mode, int offset, int length) {
    if (name_or_data == nullptr || offset < 0 || length < 0) {
        fail(FSOUND_ERR_INVALID_PARAM);
        return nullptr;
    }
    auto* stream = new FSOUND_STREAM;
    auto refuse = [stream](int code) -> FSOUND_STREAM* {
        if (code != FSOUND_ERR_NONE) g_error = code;
        delete stream;
        return nullptr;
    };
    if (!openSource(name_or_data, mode, offset, length, stream->source)) return refuse(FSOUND_ERR_NONE);
    if (!isIntactOgg(stream->source)) return refuse(FSOUND_ERR_FILE_FORMAT);
    const ov_callbacks callbacks{sourceRead, sourceSeek, nullptr, sourceTell};
    if (ov_open_callbacks(&stream->source, &stream->vf, nullptr, 0, callbacks) != 0)
        return refuse(FSOUND_ERR_FILE_FORMAT);
    stream->vfOpen = true;
    const vorbis_info* first = ov_info(&stream->vf, 0);
    if (first == nullptr || first->channels < 1 || first->channels > kMaxSourceChannels ||
        first->rate < kMinSourceRate || first->rate > kMaxSourceRate)
        return refuse(FSOUND_ERR_FILE_FORMAT);
    const int channels = first->channels;
    const int rate = static_cast<int>(first->rate);
    for (long link = 1; link < ov_streams(&stream->vf); ++link) {
        const vorbis_info* info = ov_info(&stream->vf, static_cast<int>(link));
        if (info == nullptr || info->channels != channels || info->rate != rate)
            return refuse(FSOUND_ERR_FILE_FORMAT);
    }
    if (ov_seekable(&stream->vf) == 0) return refuse(FSOUND_ERR_FILE_FORMAT);
    const ogg_int64_t total = ov_pcm_total(&stream->vf, -1);
    if (total < 0) return refuse(FSOUND_ERR_FILE_FORMAT);
    if (total > kMaxStreamSeconds * rate) return refuse(FSOUND_ERR_MEMORY);
    stream->frames = (static_cast<int64_t>(total) * kOutputRate + rate / 2) / rate;
    if (rate != kOutputRate || channels != kOutputChannels) {
        int error = 0;
        SRC_STATE* probe = src_new(SRC_SINC_MEDIUM_QUALITY, kOutputChannels, &error);
        if (probe == nullptr) return refuse(FSOUND_ERR_FILE_BAD);
        src_delete(probe);
    }
    stream->ring.assign(static_cast<size_t>(kRingFrames) * 2, 0);
    stream->decoderThread = std::thread(decodeLoop, stream, channels, rate);
    g_error = FSOUND_ERR_NONE;
    return stream;
}

signed char F_API FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FSOUND_ERR_INVALID_PARAM);
    {
        DeviceLock lock;
        detach(stream);
    }
    delete stream; // outside the lock: ends the decoder thread
    g_error = FSOUND_ERR_NONE;
    return true;
}

int F_API FSOUND_Stream_Play(int channel, FSOUND_STREAM* stream) {
    if (stream == nullptr || channel < FSOUND_FREE || channel >= FSOUND_MAX_CHANNELS) {
        fail(FSOUND_ERR_INVALID_PARAM);
        return -1;
    }
    if (g_device.id == 0) {
        fail(FSOUND_ERR_UNINITIALIZED);
        return -1;
    }
    {
        DeviceLock lock;
        detach(stream);
        if (stream->position >= stream->frames) moveTo(stream, 0);
    }
    // The first buffers are decoded before the device gets the stream (outside the lock).
    waitDecoded(stream, kPlayReadyFrames, kDecoderWaitMs);
    DeviceLock lock;
    if (channel == FSOUND_FREE) {
        for (int c = 0; c < FSOUND_MAX_CHANNELS && channel == FSOUND_FREE; ++c)
            if (g_device.channels[c] == nullptr) channel = c;
        if (channel == FSOUND_FREE) {
            fail(FSOUND_ERR_PLAY);
            return -1;
        }
    }
    if (g_device.channels[channel] != nullptr) detach(g_device.channels[channel]);
    stream->playing = true;
    stream->channel = channel;
    g_device.channels[channel] = stream;
    ++stream->heardEpoch;
    const int64_t nowNs = monotonicNs();
    stream->heard.write(stream->heardEpoch, true, stream->position, stream->position, 0, nowNs,
                        nowNs - stream->position * 1'000'000'000 / kOutputRate);
    g_error = FSOUND_ERR_NONE;
    return channel;
}

signed char F_API FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FSOUND_ERR_INVALID_PARAM);
    DeviceLock lock;
    detach(stream);
    g_error = FSOUND_ERR_NONE;
    return true;
}

signed char F_API FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms) {
    if (stream == nullptr || ms < 0) return fail(FSOUND_ERR_INVALID_PARAM);
    const int64_t frame = std::min(static_cast<int64_t>(ms) * kOutputRate / 1000, stream->frames);
    DeviceLock lock;
    moveTo(stream, frame);
    g_error = FSOUND_ERR_NONE;
    return true;
}

int F_API FSOUND_Stream_GetTime(FSOUND_STREAM* stream) { return tumeloraStreamPositionMs(stream); }

int F_API FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream) {
    return stream == nullptr ? 0 : static_cast<int>(stream->frames * 1000 / kOutputRate);
}

signed char F_API FSOUND_Stream_SetEndCallback(FSOUND_STREAM* stream, FSOUND_STREAMCALLBACK callback,
                                               void* userdata) {
    if (stream == nullptr) return fail(FSOUND_ERR_INVALID_PARAM);
    DeviceLock lock;
    stream->endCallback = callback;
    stream->endUserData = userdata;
    g_error = FSOUND_ERR_NONE;
    return true;
}

int tumeloraSoundOutputRate() { return g_device.id != 0 ? kOutputRate : 0; }

uint64_t tumeloraSoundFramesPlayed() { return g_device.framesPlayed.load(); }

uint64_t tumeloraSoundMusicFramesPlayed() { return g_device.musicFramesPlayed.load(); }

uint64_t tumeloraSoundEndCallbacksRun() { return g_device.endCallbacksRun.load(); }

int64_t tumeloraStreamPositionFrames(FSOUND_STREAM* stream) {
    if (stream == nullptr) return 0;
    DeviceLock lock;
    return stream->position;
}

int tumeloraStreamPositionMs(FSOUND_STREAM* stream) {
    // Nearest millisecond, so a position set in whole milliseconds reads back unchanged.
    return static_cast<int>((tumeloraStreamPositionFrames(stream) * 1000 + kOutputRate / 2) / kOutputRate);
}

int64_t tumeloraStreamLengthFrames(FSOUND_STREAM* stream) { return stream == nullptr ? 0 : stream->frames; }

int64_t tumeloraStreamRead(FSOUND_STREAM* stream, int16_t* out, int64_t frames) {
    if (stream == nullptr || out == nullptr || frames <= 0) return 0;
    {
        DeviceLock lock;
        if (stream->playing) return 0;
    }
    int64_t done = 0;
    while (done < frames) {
        const int64_t want = std::min(frames - done, kDecodeFrames);
        if (!waitDecoded(stream, want, kDecoderWaitMs)) break;
        DeviceLock lock;
        const int64_t n = take(stream, out + done * 2, std::min(want, stream->frames - stream->position), false);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

bool tumeloraStreamHeardMs(FSOUND_STREAM* stream, double* ms) {
    if (stream == nullptr || ms == nullptr) return false;
    HeardRecord& h = stream->heard;
    uint32_t epoch = 0;
    bool playing = false;
    int64_t floor = 0, from = 0, count = 0, atNs = 0, originNs = 0;
    for (;;) {
        const uint32_t before = h.sequence.load(std::memory_order_acquire);
        if (before % 2 != 0) continue;
        epoch = h.epoch.load(std::memory_order_relaxed);
        playing = h.playing.load(std::memory_order_relaxed);
        floor = h.floor.load(std::memory_order_relaxed);
        from = h.handedFrom.load(std::memory_order_relaxed);
        count = h.handedCount.load(std::memory_order_relaxed);
        atNs = h.handedAtNs.load(std::memory_order_relaxed);
        originNs = h.originNs.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (h.sequence.load(std::memory_order_relaxed) == before) break;
    }
    if (!playing) return false;
    // The device takes the music at a steady rate from the origin on (a late audio callback
    // does not hold the position back), but never beyond the last buffer handed over; what is
    // heard now is that, less the frames still queued in the device.
    const int64_t nowNs = monotonicNs();
    const double since = static_cast<double>(nowNs - atNs) * kOutputRate / 1e9;
    const double steady = static_cast<double>(nowNs - originNs) * kOutputRate / 1e9;
    double frames = std::min(std::max(static_cast<double>(from) + since, steady),
                             static_cast<double>(from + count)) -
                    static_cast<double>(g_device.latencyFrames.load());
    frames = std::max(frames, static_cast<double>(floor));
    if (epoch == stream->lastHeardEpoch) frames = std::max(frames, stream->lastHeardFrames);
    stream->lastHeardEpoch = epoch;
    stream->lastHeardFrames = frames;
    *ms = frames * 1000.0 / kOutputRate;
    return true;
}

void tumeloraSoundStallDevice(int ms) {
    if (ms <= 0) return;
    DeviceLock lock;
    SDL_Delay(static_cast<Uint32>(ms));
}

bool tumeloraStreamIsPlaying(FSOUND_STREAM* stream) {
    if (stream == nullptr) return false;
    DeviceLock lock;
    return stream->playing;
}
