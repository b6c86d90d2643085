#pragma once
// The rules every layer shares: the animation runs at FRAMES_PER_SECOND and frame n belongs
// to the music time n * 1000 / FRAMES_PER_SECOND ms; a song gives the frames whose time lies
// within it; the scene is drawn on a stage of STAGE_WIDTH_PIXELS x STAGE_HEIGHT_PIXELS; the
// sound is mixed, and songs are stored, at SOUND_MIX_RATE samples a second.
#include <cstdint>

// Animation frames per second: one frame per fixed step of the application's clock.
constexpr int FRAMES_PER_SECOND = 60;
// Length of one frame (one fixed step) in milliseconds.
constexpr double FRAME_MS = 1000.0 / FRAMES_PER_SECOND;
// The stage the scene is drawn on, in pixels.
constexpr int STAGE_WIDTH_PIXELS = 1280;
constexpr int STAGE_HEIGHT_PIXELS = 720;
// Samples a second of the mixed sound and of a project's stored song.
constexpr int SOUND_MIX_RATE = 44100;

// Music position in whole milliseconds of an animation frame (integer, truncated).
inline int musicTimeOfFrame(int frame) { return int(int64_t(frame) * 1000 / FRAMES_PER_SECOND); }
// The frames a song of `length` units (unitsPerSecond of them a second: 1000 for
// milliseconds, the sample rate for samples) gives: those whose time lies within it.
inline int64_t framesOfSong(int64_t length, int64_t unitsPerSecond) {
    return length <= 0 || unitsPerSecond <= 0 ? 0
                                              : (length * FRAMES_PER_SECOND + unitsPerSecond - 1) / unitsPerSecond;
}
