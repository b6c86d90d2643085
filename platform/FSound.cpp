// The sound layer's device and its FSOUND_... functions, over SDL2 audio output (design in
// FSound.h; the Ogg source, the decoder and the stream with its ring buffer in files of their own).
#include "platform/FSound.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/SoundDecoder.h"
#include "platform/SoundStream.h"

using namespace fsound;

namespace {

// Frames per device buffer where someone hears the device (a sound server or a sound card):
// about 93 ms at 44,100 Hz, about how long a busy machine may keep the audio thread waiting
// before the device runs dry. SDL asks for a time-critical audio thread, which a program
// without privileges does not get, and even a raised priority only counts against the
// program's own threads where the scheduler shares the processor by session first. Measured
// through PulseAudio with stress-ng --cpu 2 beside the program and other work on the machine
// (load average 20-30, 30 s runs): with 1,024-frame buffers the server played silence for
// 0.02-3.3 % of the time because the music came late (0.2-1.4 % with the audio thread at
// nice -20), with 4,096 for 0-0.4 %.
constexpr int HEARD_DEVICE_BUFFER_FRAMES = 4096;
// Frames per device buffer on SDL's dummy and disk drivers, which no one hears: about 23 ms
// (the disk driver pauses SDL_DISKAUDIODELAY after each buffer).
constexpr int UNHEARD_DEVICE_BUFFER_FRAMES = 1024;
// The SDL audio drivers that hand the sound to no listener.
constexpr const char* UNHEARD_DRIVERS[] = {"dummy", "disk"};
// The output latency, in device buffers: the heard position is the position handed over less
// this many buffers, as measured through PulseAudio with bench/run --only sync at
// HEARD_DEVICE_BUFFER_FRAMES (62.7 ms; SDL does not report the latency;
// TUMELORA_AUDIO_LATENCY_MS, read by FSOUND_Init, overrides it for a device that lags more, a
// Bluetooth headset say).
constexpr double LATENCY_BUFFERS = 0.675;
// How far back the heard position looks for the audio callback that came most on time, in
// ns: callbacks only ever come late (the audio thread was not scheduled at once), never
// early, so the earliest of the recent ones tells best when the device takes each buffer.
// Short, so that a device that really fell behind (a stall, an underrun) is followed soon.
constexpr int64_t HEARD_ORIGIN_WINDOW_NS = 250'000'000;
// Longest music accepted, in seconds (positions stay far inside int milliseconds).
constexpr long long MAX_STREAM_SECONDS = 3 * 60 * 60;
// Device buffers decoded before Play lets the device have the stream.
constexpr int64_t PLAY_READY_BUFFERS = 1;
// Longest wait of Play (and of tumeloraStreamRead per chunk) for the decoder, in ms.
constexpr int DECODER_WAIT_MS = 1000;

// The one audio device and what it reports.
struct Device {
    SDL_AudioDeviceID id = 0;
    // Channel slots; a stream stays in its slot while playing and until its end callback ran.
    FSOUND_STREAM* channels[FSOUND_MAX_CHANNELS] = {};
    std::atomic<uint64_t> framesPlayed{0};
    std::atomic<uint64_t> musicFramesPlayed{0};
    std::atomic<uint64_t> endCallbacksRun{0};
    // Estimated output latency in frames.
    std::atomic<int64_t> latencyFrames{0};
    // Frames per device buffer.
    int bufferFrames = 0;
    // True when the driver hands the sound to a listener (not SDL's dummy or disk driver).
    bool heard = false;
    // True when the driver plays the sound somewhere (not SDL's dummy driver, which drops it).
    bool played = false;
    // Audio callbacks that found less decoded music than they needed.
    std::atomic<uint64_t> starvedCallbacks{0};
    // The audio callback's own: when it last ran (monotonic ns, 0: not yet).
    int64_t lastCallbackNs = 0;
    // The longest time between two audio callbacks since it was last taken, in ns.
    std::atomic<int64_t> longestCallbackGapNs{0};
};

// The device (id 0: not open) and the error code of the last call.
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

// Records the error code of a failed call; false.
bool fail(int code) {
    g_error = code;
    return false;
}

// Takes the stream off its channel; no end callback follows. Call under the device lock.
void detach(FSOUND_STREAM* stream) {
    if (stream->channel >= 0) g_device.channels[stream->channel] = nullptr;
    stream->channel = -1;
    stream->playing = false;
    stream->endPending = false;
    Heard heard = stream->heard.read();
    heard.playing = false;
    stream->heard.write(heard);
}

// The position heard at nowNs by the record h if the device kept taking music at a steady rate
// (a late audio callback does not hold it back), in frames: the music handed over, moved on
// from the origin, less the frames still queued in the device. The device cannot play beyond
// the end of what it was handed (h.handedFrom + h.handedCount); where this passes that end,
// the device ran dry.
double steadyHeardFrames(const Heard& h, int64_t nowNs) {
    const double since = static_cast<double>(nowNs - h.handedAtNs) * OUTPUT_RATE / 1e9;
    const double steady = static_cast<double>(nowNs - h.originNs) * OUTPUT_RATE / 1e9;
    return std::max(static_cast<double>(h.handedFrom) + since, steady) -
           static_cast<double>(g_device.latencyFrames.load());
}

// The audio callback: reports streams whose last frame went out in the previous buffer, then
// mixes every playing stream into this one (saturating 16-bit sums).
void SDLCALL audioCallback(void*, Uint8* out, int len) {
    const int frames = len / BYTES_PER_FRAME;
    const int64_t nowNs = monotonicNs();
    if (g_device.lastCallbackNs != 0) {
        const int64_t gap = nowNs - g_device.lastCallbackNs;
        int64_t longest = g_device.longestCallbackGapNs.load(std::memory_order_relaxed);
        while (gap > longest && !g_device.longestCallbackGapNs.compare_exchange_weak(longest, gap)) {
        }
    }
    g_device.lastCallbackNs = nowNs;
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
        // A lead-in is silence standing for the frames before the position.
        const int64_t from = s->position - s->leadIn;
        const int64_t lead = std::min<int64_t>(frames, s->leadIn);
        s->leadIn -= lead;
        const int64_t wanted = std::min<int64_t>(frames - lead, s->frames - s->position);
        const int64_t n = lead + take(s, dst + lead * OUTPUT_CHANNELS, wanted, true);
        if (n - lead < wanted) g_device.starvedCallbacks.fetch_add(1, std::memory_order_relaxed);
        if (!s->clicks.empty()) mixClicks(dst, from, n, s->clicks);
        musicFrames = std::max(musicFrames, n - lead);
        const bool ended = s->position >= s->frames;
        const int64_t origin = nowNs - from * NS_PER_SECOND / OUTPUT_RATE;
        // A device that ran dry since the last callback goes on from here, later than the
        // origin says: the origin starts afresh (the earlier one would put the heard position
        // ahead of the music by the silence).
        const Heard last = s->heard.read();
        const bool ranDry = steadyHeardFrames(last, nowNs) > static_cast<double>(last.handedFrom + last.handedCount);
        if (s->originEpoch != s->heardEpoch || ranDry) {
            s->originEpoch = s->heardEpoch;
            s->originOlderNs = s->originNewerNs = origin;
            s->originBucketNs = nowNs;
        } else if (nowNs - s->originBucketNs >= HEARD_ORIGIN_WINDOW_NS / 2) {
            s->originOlderNs = s->originNewerNs;
            s->originNewerNs = origin;
            s->originBucketNs = nowNs;
        } else {
            s->originNewerNs = std::min(s->originNewerNs, origin);
        }
        s->heard.write({s->heardEpoch, !ended, last.floor, from, n, nowNs,
                        std::min(s->originOlderNs, s->originNewerNs)});
        if (ended) {
            s->playing = false;
            s->endPending = true;
        }
    }
    g_device.framesPlayed.fetch_add(static_cast<uint64_t>(frames), std::memory_order_relaxed);
    g_device.musicFramesPlayed.fetch_add(static_cast<uint64_t>(musicFrames), std::memory_order_relaxed);
}

// The stream's clicks at the frames of its sound at speed.
std::vector<SoundClick> soundClicksOf(const FSOUND_STREAM* stream, double speed) {
    std::vector<SoundClick> clicks = stream->musicClicks;
    for (SoundClick& click : clicks) click.frame = soundFrameOfMusic(click.frame, speed);
    return clicks;
}

} // namespace

signed char F_API FSOUND_Init(int mixrate, int maxchannels, unsigned int) {
    if (g_device.id != 0) return fail(FSOUND_ERR_BUSY);
    if (mixrate != OUTPUT_RATE || maxchannels < 1 || maxchannels > FSOUND_MAX_CHANNELS)
        return fail(FSOUND_ERR_INVALID_PARAM);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return fail(FSOUND_ERR_INIT);
    const char* driver = SDL_GetCurrentAudioDriver();
    bool heard = driver != nullptr;
    for (const char* unheard : UNHEARD_DRIVERS)
        if (driver != nullptr && std::strcmp(driver, unheard) == 0) heard = false;
    SDL_AudioSpec want;
    SDL_zero(want);
    want.freq = OUTPUT_RATE;
    want.format = AUDIO_S16SYS;
    want.channels = OUTPUT_CHANNELS;
    want.samples = heard ? HEARD_DEVICE_BUFFER_FRAMES : UNHEARD_DEVICE_BUFFER_FRAMES;
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
    g_device.starvedCallbacks = 0;
    g_device.lastCallbackNs = 0;
    g_device.longestCallbackGapNs = 0;
    g_device.bufferFrames = have.samples;
    g_device.heard = heard;
    g_device.played = driver != nullptr && std::strcmp(driver, "dummy") != 0;
    g_device.latencyFrames = static_cast<int64_t>(have.samples * LATENCY_BUFFERS);
    if (const char* latency = SDL_getenv("TUMELORA_AUDIO_LATENCY_MS"))
        g_device.latencyFrames = static_cast<int64_t>(SDL_atof(latency) * OUTPUT_RATE / 1000.0);
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
    g_device.heard = false;
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
    auto stream = std::make_unique<FSOUND_STREAM>();
    auto refuse = [](int code) -> FSOUND_STREAM* {
        if (code != FSOUND_ERR_NONE) g_error = code;
        return nullptr;
    };
    const int opened = openOggSource(name_or_data, mode, offset, length, stream->source);
    if (opened != FSOUND_ERR_NONE) return refuse(opened);
    if (!isIntactOgg(stream->source)) return refuse(FSOUND_ERR_FILE_FORMAT);
    if (ov_open_callbacks(&stream->source, &stream->vf, nullptr, 0, oggSourceCallbacks()) != 0)
        return refuse(FSOUND_ERR_FILE_FORMAT);
    stream->vfOpen = true;
    const vorbis_info* first = ov_info(&stream->vf, 0);
    if (first == nullptr || first->channels < 1 || first->channels > MAX_SOURCE_CHANNELS ||
        first->rate < MIN_SOURCE_RATE || first->rate > MAX_SOURCE_RATE)
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
    if (total > MAX_STREAM_SECONDS * rate) return refuse(FSOUND_ERR_MEMORY);
    stream->musicFrames = (static_cast<int64_t>(total) * OUTPUT_RATE + rate / 2) / rate;
    stream->frames = stream->musicFrames;
    if (rate != OUTPUT_RATE || channels != OUTPUT_CHANNELS) {
        int error = 0;
        SRC_STATE* probe = src_new(RESAMPLER_TYPE, OUTPUT_CHANNELS, &error);
        if (probe == nullptr) return refuse(FSOUND_ERR_FILE_BAD);
        src_delete(probe);
    }
    stream->startDecoder(channels, rate);
    g_error = FSOUND_ERR_NONE;
    return stream.release();
}

signed char F_API FSOUND_Stream_Close(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FSOUND_ERR_INVALID_PARAM);
    {
        DeviceLock lock;
        detach(stream);
    }
    // The handle owned the stream; freed outside the lock (it ends the decoder thread).
    std::unique_ptr<FSOUND_STREAM> closed(stream);
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
    // The first buffer is decoded before the device gets the stream (outside the lock).
    waitDecoded(stream, PLAY_READY_BUFFERS * g_device.bufferFrames, DECODER_WAIT_MS);
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
    const int64_t start = stream->position - stream->leadIn;
    stream->heard.write({stream->heardEpoch, true, start, start, 0, nowNs, nowNs - start * NS_PER_SECOND / OUTPUT_RATE});
    g_error = FSOUND_ERR_NONE;
    return channel;
}

signed char F_API FSOUND_Stream_Stop(FSOUND_STREAM* stream) {
    if (stream == nullptr) return fail(FSOUND_ERR_INVALID_PARAM);
    DeviceLock lock;
    detach(stream);
    stream->leadIn = 0;
    g_error = FSOUND_ERR_NONE;
    return true;
}

signed char F_API FSOUND_Stream_SetTime(FSOUND_STREAM* stream, int ms) {
    if (stream == nullptr || ms < 0) return fail(FSOUND_ERR_INVALID_PARAM);
    const int64_t frame =
        std::min(soundFrameOfMusic(static_cast<int64_t>(ms) * OUTPUT_RATE / 1000, stream->speed), stream->frames);
    DeviceLock lock;
    moveTo(stream, frame);
    g_error = FSOUND_ERR_NONE;
    return true;
}

int F_API FSOUND_Stream_GetTime(FSOUND_STREAM* stream) { return tumeloraStreamPositionMs(stream); }

int F_API FSOUND_Stream_GetLengthMs(FSOUND_STREAM* stream) {
    return stream == nullptr ? 0 : static_cast<int>(stream->musicFrames * 1000 / OUTPUT_RATE);
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

int tumeloraSoundOutputRate() { return g_device.id != 0 ? OUTPUT_RATE : 0; }

uint64_t tumeloraSoundFramesPlayed() { return g_device.framesPlayed.load(); }

uint64_t tumeloraSoundMusicFramesPlayed() { return g_device.musicFramesPlayed.load(); }

uint64_t tumeloraSoundEndCallbacksRun() { return g_device.endCallbacksRun.load(); }

bool tumeloraSoundIsHeard() { return g_device.id != 0 && g_device.heard; }

bool tumeloraSoundIsPlayed() { return g_device.id != 0 && g_device.played; }

int tumeloraSoundBufferFrames() { return g_device.id != 0 ? g_device.bufferFrames : 0; }

uint64_t tumeloraSoundStarvedCallbacks() { return g_device.starvedCallbacks.load(); }

double tumeloraSoundTakeLongestCallbackGapMs() {
    return static_cast<double>(g_device.longestCallbackGapNs.exchange(0)) / 1e6;
}

int64_t tumeloraStreamPositionFrames(FSOUND_STREAM* stream) {
    if (stream == nullptr) return 0;
    DeviceLock lock;
    return static_cast<int64_t>(std::floor(musicFrameOfSound(static_cast<double>(stream->position), stream->speed)));
}

int tumeloraStreamPositionMs(FSOUND_STREAM* stream) {
    // Nearest millisecond, so a position set in whole milliseconds reads back unchanged.
    return static_cast<int>((tumeloraStreamPositionFrames(stream) * 1000 + OUTPUT_RATE / 2) / OUTPUT_RATE);
}

int64_t tumeloraStreamLengthFrames(FSOUND_STREAM* stream) { return stream == nullptr ? 0 : stream->musicFrames; }

int64_t tumeloraStreamRead(FSOUND_STREAM* stream, int16_t* out, int64_t frames) {
    if (stream == nullptr || out == nullptr || frames <= 0) return 0;
    {
        DeviceLock lock;
        if (stream->playing) return 0;
    }
    int64_t done = 0;
    while (done < frames) {
        const int64_t want = std::min(frames - done, DECODE_FRAMES);
        if (!waitDecoded(stream, want, DECODER_WAIT_MS)) break;
        DeviceLock lock;
        const int64_t n = take(stream, out + done * 2, std::min(want, stream->frames - stream->position), false);
        if (n <= 0) break;
        done += n;
    }
    return done;
}

bool tumeloraStreamHeardMs(FSOUND_STREAM* stream, double* ms) {
    if (stream == nullptr || ms == nullptr) return false;
    const Heard h = stream->heard.read();
    if (!h.playing) return false;
    const int64_t from = h.handedFrom, count = h.handedCount;
    // The device plays out what it holds while an audio callback is late, and nothing more.
    double frames = std::min(steadyHeardFrames(h, monotonicNs()), static_cast<double>(from + count));
    frames = std::max(frames, static_cast<double>(h.floor));
    if (h.epoch == stream->lastHeardEpoch) frames = std::max(frames, stream->lastHeardFrames);
    stream->lastHeardEpoch = h.epoch;
    stream->lastHeardFrames = frames;
    *ms = musicFrameOfSound(frames, stream->speed) * 1000.0 / OUTPUT_RATE;
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

bool tumeloraStreamSetClicks(FSOUND_STREAM* stream, const SoundClick* clicks, int count) {
    if (stream == nullptr || count < 0 || (count > 0 && clicks == nullptr)) return false;
    stream->musicClicks.assign(clicks, clicks + count);
    std::vector<SoundClick> copy = soundClicksOf(stream, stream->speed);
    DeviceLock lock;
    stream->clicks.swap(copy);
    return true;
}

bool tumeloraStreamSetLeadIn(FSOUND_STREAM* stream, int64_t frames) {
    if (stream == nullptr || frames < 0) return false;
    DeviceLock lock;
    stream->leadIn = soundFrameOfMusic(frames, stream->speed);
    return true;
}

bool tumeloraStreamSetSpeed(FSOUND_STREAM* stream, double speed) {
    if (stream == nullptr || !(speed >= SOUND_MIN_SPEED && speed <= SOUND_MAX_SPEED)) return false;
    if (speed == stream->speed) return true;
    std::vector<SoundClick> clicks = soundClicksOf(stream, speed);
    DeviceLock lock;
    changeSpeed(stream, speed, clicks);
    return true;
}

