#pragma once
// Writing the animation to a video file: every frame that playback shows (from 0 to the last
// frame of the tracks or the music's end, whichever comes first) is stepped and drawn
// offline, exactly as playback shows it, read back from OpenGL and piped to an ffmpeg child
// process as raw video at the animation's frame rate; ffmpeg adds the music and encodes. The
// output is written under a temporary name in the target folder and renamed only when ffmpeg
// succeeded (export/PendingOutput.h).
#include <string>

#include "states/ScenePaths.h"

// Exit code of a failed export.
constexpr int EXPORT_FAILED = 1;

// Renders the animation found at paths (by default data/) into the video file at path
// (format by its extension) with its music; prints progress and errors on stderr. Returns the
// process exit code.
int exportVideo(const std::string& path, const ScenePaths& paths = ScenePaths());
