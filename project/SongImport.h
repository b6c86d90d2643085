#pragma once
// The song of a new project: any format ffmpeg reads, stored as the project's Ogg Vorbis
// music at the mix rate, and the frames of animation it gives.
#include <cstdint>
#include <string>

#include "project/ProjectWork.h"

// Channels of the project's music.
constexpr int PROJECT_MUSIC_CHANNELS = 2;
// The Vorbis quality ffmpeg is asked for (its -q:a scale, 0 to 10).
constexpr const char* PROJECT_MUSIC_QUALITY = "6";

// Converts the song into the project's music at target with ffmpeg; false with failure set.
bool convertSong(const std::string& song, const std::string& target, ProjectFailure& failure);
// Samples and rate of an Ogg Vorbis file; false when it cannot be read.
bool songLength(const std::string& path, int64_t& samples, long& rate);
// Frames of the animation for a song of samples at rate: every frame that begins before the
// song ends (at least 1, at most what a track can hold).
int framesForSong(int64_t samples, long rate);
