// bench_sound [MUSIC.ogg]: speed of the sound layer.
//  - opening (reading and checking every page of) the music; it is decoded while it plays;
//  - how long the calling thread waits in the layer's calls while music plays (the device lock
//    is only held for field updates and one buffer's copy);
//  - playback position against the wall clock, from the frames handed to the device.
// Runs on whatever SDL audio driver the environment selects; SDL_AUDIODRIVER=dummy works
// everywhere (it consumes buffers in real time and plays nothing).
#include "platform/FSound.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv) {
    const std::string music = argc > 1 ? argv[1] : "data/lumokari2_tumelora_voices.ogg";
    constexpr int kOpenRuns = 5;
    double best = 1e9;
    for (int i = 0; i < kOpenRuns; ++i) {
        const auto start = Clock::now();
        FSOUND_STREAM* stream = FSOUND_Stream_Open(music.c_str(), FSOUND_MPEGACCURATE, 0, 0);
        const double ms = msSince(start);
        if (stream == nullptr) {
            std::fprintf(stderr, "bench_sound: cannot open %s (error %d)\n", music.c_str(), FSOUND_GetError());
            return 1;
        }
        best = std::min(best, ms);
        FSOUND_Stream_Close(stream);
    }
    std::printf("open (read and check) %s: best of %d %.1f ms\n", music.c_str(), kOpenRuns, best);

    if (!FSOUND_Init(44100, 32, 0)) {
        std::fprintf(stderr, "bench_sound: no audio device (error %d: %s); try SDL_AUDIODRIVER=dummy\n",
                     FSOUND_GetError(), SDL_GetError());
        return 1;
    }
    FSOUND_STREAM* stream = FSOUND_Stream_Open(music.c_str(), FSOUND_MPEGACCURATE, 0, 0);
    FSOUND_Stream_Play(0, stream);
    constexpr int kCalls = 20000;
    std::vector<double> waits;
    waits.reserve(kCalls);
    const auto playStart = Clock::now();
    const uint64_t music0 = tumeloraSoundMusicFramesPlayed();
    for (int i = 0; i < kCalls; ++i) {
        const auto start = Clock::now();
        if (i % 2 == 0) tumeloraStreamPositionFrames(stream);
        else FSOUND_Stream_SetEndCallback(stream, nullptr, nullptr);
        waits.push_back(msSince(start) * 1000.0);
        if (i % 100 == 0) SDL_Delay(1);
    }
    const double seconds = msSince(playStart) / 1000.0;
    const uint64_t played = tumeloraSoundMusicFramesPlayed() - music0;
    std::sort(waits.begin(), waits.end());
    std::printf("layer calls while playing: median %.2f us, 99.9%% %.2f us, worst %.2f us (%d calls)\n",
                waits[waits.size() / 2], waits[waits.size() * 999 / 1000], waits.back(), kCalls);
    std::printf("handed to the device: %.3f s of music in %.3f s of wall clock (position %d ms)\n",
                static_cast<double>(played) / 44100.0, seconds, tumeloraStreamPositionMs(stream));
    FSOUND_Stream_Close(stream);
    FSOUND_Close();
    return 0;
}
