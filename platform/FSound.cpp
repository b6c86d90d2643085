// The sound layer over SDL2 audio output and libvorbisfile decoding (design in FSound.h).
#include "platform/FSound.h"

#include <SDL.h>
#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kOutputRate = 44100;
constexpr int kOutputChannels = 2;
constexpr int kBytesPerFrame = kOutputChannels * static_cast<int>(sizeof(int16_t));
// Frames per device buffer: about 23 ms at 44,100 Hz.
constexpr int kDeviceBufferFrames = 1024;
// Largest music file read into memory.
constexpr long long kMaxFileBytes = 64ll << 20;
// Longest music accepted, in seconds (at most ~100 MB of PCM at 44,100 Hz stereo).
constexpr long long kMaxStreamSeconds = 10 * 60;
// Largest decoded music before conversion, in bytes (converted in one piece, so below 2 GB).
constexpr long long kMaxSourceBytes = 256ll << 20;
// Source formats accepted: channel counts and sample rates.
constexpr int kMaxSourceChannels = 8;
constexpr long kMinSourceRate = 1000;
constexpr long kMaxSourceRate = 384000;
// Bytes fed to the page checker and decoded at once.
constexpr int kChunkBytes = 64 * 1024;

struct Device {
    SDL_AudioDeviceID id = 0;
    // Channel slots; a stream stays in its slot while playing and until its end callback ran.
    FSOUND_STREAM* channels[FSOUND_MAX_CHANNELS] = {};
    std::atomic<uint64_t> framesPlayed{0};
    std::atomic<uint64_t> musicFramesPlayed{0};
    std::atomic<uint64_t> endCallbacksRun{0};
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

} // namespace

struct FSOUND_STREAM {
    std::vector<int16_t> pcm; // interleaved stereo at 44,100 Hz
    int64_t frames = 0;
    // Shared with the audio callback; changed only under the device lock.
    int64_t position = 0;
    bool playing = false;
    bool endPending = false; // played to its end; the end callback runs on the next device buffer
    int channel = -1;
    FSOUND_STREAMCALLBACK endCallback = nullptr;
    void* endUserData = nullptr;
};

namespace {

// Takes the stream off its channel; no end callback follows. Call under the device lock.
void detach(FSOUND_STREAM* stream) {
    if (stream->channel >= 0) g_device.channels[stream->channel] = nullptr;
    stream->channel = -1;
    stream->playing = false;
    stream->endPending = false;
}

// The audio callback: reports streams whose last frame went out in the previous buffer, then
// mixes every playing stream into this one (saturating 16-bit sums).
void SDLCALL audioCallback(void*, Uint8* out, int len) {
    const int frames = len / kBytesPerFrame;
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
        const int64_t n = std::min<int64_t>(frames, s->frames - s->position);
        const int16_t* src = s->pcm.data() + s->position * kOutputChannels;
        for (int64_t i = 0; i < n * kOutputChannels; ++i) {
            const int sum = dst[i] + src[i];
            dst[i] = static_cast<int16_t>(std::clamp(sum, -32768, 32767));
        }
        s->position += n;
        musicFrames = std::max(musicFrames, n);
        if (s->position >= s->frames) {
            s->playing = false;
            s->endPending = true;
        }
    }
    g_device.framesPlayed.fetch_add(static_cast<uint64_t>(frames), std::memory_order_relaxed);
    g_device.musicFramesPlayed.fetch_add(static_cast<uint64_t>(musicFrames), std::memory_order_relaxed);
}

// An Ogg Vorbis file held in memory, read through vorbisfile's callbacks.
struct MemoryFile {
    const unsigned char* data;
    size_t size;
    size_t pos;
};

size_t memRead(void* ptr, size_t size, size_t count, void* source) {
    auto* f = static_cast<MemoryFile*>(source);
    if (size == 0) return 0;
    const size_t n = std::min(count, (f->size - f->pos) / size);
    std::memcpy(ptr, f->data + f->pos, n * size);
    f->pos += n * size;
    return n;
}

int memSeek(void* source, ogg_int64_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<ogg_int64_t>(f->pos);
    else if (whence == SEEK_END) base = static_cast<ogg_int64_t>(f->size);
    else if (whence != SEEK_SET) return -1;
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > static_cast<ogg_int64_t>(f->size)) return -1;
    f->pos = static_cast<size_t>(target);
    return 0;
}

long memTell(void* source) { return static_cast<long>(static_cast<MemoryFile*>(source)->pos); }

// A file is accepted only as a sequence of whole Ogg pages with valid checksums and no bytes
// around them, whose last page ends its logical stream: corrupt and truncated files are refused.
bool isIntactOgg(const std::vector<unsigned char>& bytes) {
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    bool bad = false;
    bool lastEos = false;
    long pages = 0;
    size_t fed = 0;
    while (!bad) {
        ogg_page page;
        const int r = ogg_sync_pageout(&sync, &page);
        if (r < 0) {
            bad = true;
        } else if (r > 0) {
            ++pages;
            lastEos = ogg_page_eos(&page) != 0;
        } else if (fed < bytes.size()) {
            const size_t n = std::min(bytes.size() - fed, static_cast<size_t>(kChunkBytes));
            char* buf = ogg_sync_buffer(&sync, static_cast<long>(n));
            if (buf == nullptr) {
                bad = true;
                break;
            }
            std::memcpy(buf, bytes.data() + fed, n);
            ogg_sync_wrote(&sync, static_cast<long>(n));
            fed += n;
        } else {
            break;
        }
    }
    const bool leftover = sync.fill != sync.returned;
    ogg_sync_clear(&sync);
    return !bad && !leftover && pages > 0 && lastEos;
}

// Reads length bytes (0 = to the end) from offset of the file; false with the error set.
bool readFile(const char* path, long long offset, long long length, std::vector<unsigned char>& out) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return fail(FSOUND_ERR_FILE_NOTFOUND);
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long long size = ok ? static_cast<long long>(std::ftell(f)) : -1;
    ok = ok && size >= 0;
    if (!ok) {
        std::fclose(f);
        return fail(FSOUND_ERR_FILE_NOTFOUND);
    }
    if (offset >= size) {
        std::fclose(f);
        return fail(FSOUND_ERR_FILE_FORMAT);
    }
    const long long wanted = length > 0 ? std::min(length, size - offset) : size - offset;
    if (wanted > kMaxFileBytes) {
        std::fclose(f);
        return fail(FSOUND_ERR_MEMORY);
    }
    out.resize(static_cast<size_t>(wanted));
    ok = std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fread(out.data(), 1, out.size(), f) == out.size();
    std::fclose(f);
    return ok ? true : fail(FSOUND_ERR_FILE_NOTFOUND);
}

// Converts interleaved 16-bit PCM of the given rate and channel count to 44,100 Hz stereo.
// SDL's resampler drifts when fed in pieces and keeps back its last few milliseconds even when
// flushed, so the whole music goes in at once, followed by silence, and exactly the converted
// length of the music is kept.
bool convert(const std::vector<int16_t>& source, int channels, int rate, std::vector<int16_t>& pcm) {
    SDL_AudioStream* converter = SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(channels), rate,
                                                    AUDIO_S16SYS, kOutputChannels, kOutputRate);
    if (converter == nullptr) return fail(FSOUND_ERR_FILE_BAD);
    const long long sourceFrames = static_cast<long long>(source.size()) / channels;
    std::vector<int16_t> padded(source);
    padded.resize(padded.size() + static_cast<size_t>(std::max(4096, rate / 10) * channels), 0);
    bool ok = SDL_AudioStreamPut(converter, padded.data(), static_cast<int>(padded.size() * sizeof(int16_t))) == 0 &&
              SDL_AudioStreamFlush(converter) == 0;
    if (ok) {
        const long long wantedFrames = (sourceFrames * kOutputRate + rate / 2) / rate;
        const long long frames =
            std::min<long long>(SDL_AudioStreamAvailable(converter) / kBytesPerFrame, wantedFrames);
        pcm.resize(static_cast<size_t>(frames) * kOutputChannels);
        const int bytes = static_cast<int>(pcm.size() * sizeof(int16_t));
        ok = bytes == 0 || SDL_AudioStreamGet(converter, pcm.data(), bytes) == bytes;
    }
    SDL_FreeAudioStream(converter);
    return ok ? true : fail(FSOUND_ERR_FILE_BAD);
}

// Decodes the whole file and converts it to 44,100 Hz stereo 16-bit; false with the error set.
bool decode(const std::vector<unsigned char>& bytes, std::vector<int16_t>& pcm) {
    MemoryFile file{bytes.data(), bytes.size(), 0};
    const ov_callbacks callbacks{memRead, memSeek, nullptr, memTell};
    OggVorbis_File vf;
    if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0) return fail(FSOUND_ERR_FILE_FORMAT);
    struct Closer {
        OggVorbis_File* vf;
        ~Closer() { ov_clear(vf); }
    } closer{&vf};

    const vorbis_info* first = ov_info(&vf, 0);
    if (first == nullptr || first->channels < 1 || first->channels > kMaxSourceChannels ||
        first->rate < kMinSourceRate || first->rate > kMaxSourceRate)
        return fail(FSOUND_ERR_FILE_FORMAT);
    const int channels = first->channels;
    const int rate = static_cast<int>(first->rate);
    for (long link = 1; link < ov_streams(&vf); ++link) {
        const vorbis_info* info = ov_info(&vf, static_cast<int>(link));
        if (info == nullptr || info->channels != channels || info->rate != rate)
            return fail(FSOUND_ERR_FILE_FORMAT);
    }
    const long long maxFrames = std::min(kMaxStreamSeconds * rate, kMaxSourceBytes / (2LL * channels));
    const ogg_int64_t total = ov_pcm_total(&vf, -1);
    if (total < 0) return fail(FSOUND_ERR_FILE_FORMAT);
    if (total > maxFrames) return fail(FSOUND_ERR_MEMORY);

    const bool direct = rate == kOutputRate && channels == kOutputChannels;
    std::vector<int16_t> source;
    std::vector<int16_t>& target = direct ? pcm : source;
    target.reserve(static_cast<size_t>(total) * static_cast<size_t>(channels));
    const int bigEndian = SDL_BYTEORDER == SDL_BIG_ENDIAN ? 1 : 0;
    std::vector<char> chunk(kChunkBytes);
    const long frameBytes = 2L * channels;
    for (;;) {
        int link = 0;
        const long n = ov_read(&vf, chunk.data(), kChunkBytes, bigEndian, 2, 1, &link);
        if (n == 0) break;
        if (n < 0 || n % frameBytes != 0) return fail(FSOUND_ERR_FILE_BAD);
        if (static_cast<long long>(target.size() / static_cast<size_t>(channels)) + n / frameBytes > maxFrames)
            return fail(FSOUND_ERR_MEMORY);
        const auto* samples = reinterpret_cast<const int16_t*>(chunk.data());
        target.insert(target.end(), samples, samples + n / 2);
    }
    return direct ? true : convert(source, channels, rate, pcm);
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
    std::vector<unsigned char> bytes;
    if ((mode & FSOUND_LOADMEMORY) != 0) {
        if (length <= 0 || length > kMaxFileBytes) {
            fail(length <= 0 ? FSOUND_ERR_INVALID_PARAM : FSOUND_ERR_MEMORY);
            return nullptr;
        }
        const auto* data = reinterpret_cast<const unsigned char*>(name_or_data) + offset;
        bytes.assign(data, data + length);
    } else if (!readFile(name_or_data, offset, length, bytes)) {
        return nullptr;
    }
    if (!isIntactOgg(bytes)) {
        fail(FSOUND_ERR_FILE_FORMAT);
        return nullptr;
    }
    auto* stream = new FSOUND_STREAM;
    if (!decode(bytes, stream->pcm)) {
        delete stream;
        return nullptr;
    }
    stream->frames = static_cast<int64_t>(stream->pcm.size() / kOutputChannels);
    g_error = FSOUND_ERR_NONE;
    return stream;
}

signed char F_API FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FSOUND_ERR_INVALID_PARAM);
    {
        DeviceLock lock;
        detach(stream);
    }
    delete stream; // outside the lock: freeing the PCM may take a while
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
    DeviceLock lock;
    detach(stream);
    if (channel == FSOUND_FREE) {
        for (int c = 0; c < FSOUND_MAX_CHANNELS && channel == FSOUND_FREE; ++c)
            if (g_device.channels[c] == nullptr) channel = c;
        if (channel == FSOUND_FREE) {
            fail(FSOUND_ERR_PLAY);
            return -1;
        }
    }
    if (g_device.channels[channel] != nullptr) detach(g_device.channels[channel]);
    if (stream->position >= stream->frames) stream->position = 0;
    stream->playing = true;
    stream->channel = channel;
    g_device.channels[channel] = stream;
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
    const int64_t frame = static_cast<int64_t>(ms) * kOutputRate / 1000;
    DeviceLock lock;
    stream->position = std::min(frame, stream->frames);
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

const int16_t* tumeloraStreamSamples(FSOUND_STREAM* stream) {
    return stream == nullptr ? nullptr : stream->pcm.data();
}

bool tumeloraStreamIsPlaying(FSOUND_STREAM* stream) {
    if (stream == nullptr) return false;
    DeviceLock lock;
    return stream->playing;
}
