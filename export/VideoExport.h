#pragma once
// Writing the animation to a video file: every frame that playback shows (from 0 to the last
// frame of the tracks or the music's end, whichever comes first) is stepped and drawn
// offline, exactly as playback shows it, read back from OpenGL and piped to an ffmpeg child
// process as raw 60 fps video; ffmpeg adds the music and encodes. The output is written
// under a temporary name in the target folder and renamed only when ffmpeg succeeded.
#include <irrlicht.h>

#include <string>
#include <vector>

#include "states/ScenePaths.h"
#include "platform/Timebase.h"

class GameState;
class MainState;

// Frames per second of an exported GIF: every second animation frame.
constexpr int GIF_FRAMES_PER_SECOND = 30;
// Sample rate of the exported sound; a whole number of samples (800) per frame.
constexpr int EXPORT_AUDIO_RATE = 48000;
// Exit code of a failed export.
constexpr int EXPORT_FAILED = 1;

// What the output file name asks for.
enum class ExportFormat {
    Unknown,      // an extension the exporter does not write
    Mp4,          // ".mp4": H.264 video, AAC sound
    WebM,         // ".webm": VP9 video, Opus sound
    Gif,          // ".gif": animated picture, no sound
    PngSequence,  // ".png" with a frame-number field (%d or %05d) in the name: no sound
};

// The format a file name's extension (compared without regard to case) chooses.
ExportFormat exportFormatForPath(const std::string& path);
// Short name of a format for messages ("MP4", "WebM", ...).
const char* exportFormatName(ExportFormat format);
// Frames per second the format's file holds.
int exportFramesPerSecond(ExportFormat format);
// True for the formats that carry the music.
bool exportFormatHasSound(ExportFormat format);

// A frame-number pattern: the file name holds exactly one %d or %0Nd (N one digit) and
// otherwise only %% as a percent sign. False for anything else (so it is never a format
// string of ours or ffmpeg's with other fields), or when the field is in a folder name.
bool isFrameNumberPattern(const std::string& path);
// The pattern with its frame-number field replaced by frame (zero-padded as asked) and %%
// by %; the pattern must pass isFrameNumberPattern.
std::string expandFrameNumber(const std::string& pattern, int frame);

// One ffmpeg run: what it reads and what it writes.
struct FfmpegJob {
    ExportFormat format = ExportFormat::Mp4;
    std::string output;      // the file (or frame pattern) ffmpeg writes
    int width = 0;           // frame size in pixels of the raw RGB frames on its input
    int height = 0;
    int frameCount = 0;      // frames piped; the video has exactly these
    std::string musicPath;   // empty: no sound
};
// ffmpeg's arguments (after the program name): raw RGB24 frames on standard input at 60 fps,
// the music cut or padded with silence to the video's length, the codecs of the format.
std::vector<std::string> ffmpegArguments(const FfmpegJob& job);

// The folder part of a path ("." when it has none) and its last component.
std::string pathFolder(const std::string& path);
std::string pathFileName(const std::string& path);
// The hidden name, beside finalPath, that the output is written under until it is complete.
std::string temporaryOutputPath(const std::string& finalPath, long unique);

// The progress text: a bar, frames done / total, frames per second and the time left.
std::string progressLine(int done, int total, double elapsedSeconds, int barWidth);

// The step lengths the fixed-step clock hands the state from a clock reset on, one step per
// animation frame: the simulated time grows by 1000 / rate ms a step, and each step is the
// growth truncated to whole milliseconds, computed exactly as the application's loop does.
class OfflineClock {
public:
    // The length of the next step at the given update rate (0 for a rate that is not positive).
    int nextStepMs(int updateRate);

private:
    double simulatedTimeMs = 0.0;
};

// The frames playback shows: it ends at the last frame of the tracks, or where the music
// ends (the frames whose time lies within a music of musicLengthMs; negative: no music).
int playbackFrameCount(int frameCount, int musicLengthMs);

// The animation played offline, one frame at a time: frame 0 as it stands after the start,
// each later frame one fixed step (of OfflineClock's length) after the one before, up to
// where playback with the music of musicLengthMs (negative: none) would end.
class OfflinePlayback {
public:
    // Starts the state's playback at frame 0 without the pause or the music.
    explicit OfflinePlayback(MainState& state, int musicLengthMs = -1);
    // Frames the export holds.
    int frameCount() const { return frames; }
    // The frame the state shows now (-1 before the first nextFrame).
    int frame() const { return current; }
    // Moves the state to the next frame; false once every frame has been shown.
    bool nextFrame();

private:
    MainState& state;
    OfflineClock clock;
    int frames;
    int current = -1;
};

// Draws a state's frames into an off-screen target of the given size (so that no window
// above the export window and no buffer swap can touch them) and reads them back.
class FrameReader {
public:
    FrameReader(irr::IrrlichtDevice* device, int width, int height);
    // Releases the off-screen target and draws to the window again.
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // False when the off-screen target could not be made.
    bool ready() const { return target != nullptr; }
    // Lets the state render its current frame and reads it as RGB24, top row first, into
    // rgb (resized to width x height x 3); false when drawing or reading failed.
    bool read(GameState& state, std::vector<unsigned char>& rgb);

private:
    irr::IrrlichtDevice* device;
    int width, height;
    irr::video::ITexture* target = nullptr;
    std::vector<unsigned char> rows;  // the read-back, bottom row first
};

// Renders the animation found at paths (by default data/) into the video file at path
// (format by its extension) with its music; prints progress and errors on stderr. Returns the
// process exit code.
int exportVideo(const std::string& path, const ScenePaths& paths = ScenePaths());
