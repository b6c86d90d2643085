#pragma once
// What the export asks of ffmpeg: the format an output name chooses, the names of a frame
// sequence, and ffmpeg's arguments for one run.
#include <string>
#include <vector>

// Frames per second of an exported GIF: every second animation frame.
constexpr int GIF_FRAMES_PER_SECOND = 30;
// Sample rate of the exported sound; a whole number of samples (800) per frame.
constexpr int EXPORT_AUDIO_RATE = 48000;

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
// Why a name of the Unknown format is refused, and which names the export takes.
const char* unknownFormatReason(const std::string& path);
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

// The folder part of a path ("." when it has none) and its last component.
std::string pathFolder(const std::string& path);
std::string pathFileName(const std::string& path);

// One ffmpeg run: what it reads and what it writes.
struct FfmpegJob {
    ExportFormat format = ExportFormat::Mp4;
    std::string output;      // the file (or frame pattern) ffmpeg writes
    int width = 0;           // frame size in pixels of the raw RGB frames on its input
    int height = 0;
    int frameCount = 0;      // frames piped; the video has exactly these
    std::string musicPath;   // empty: no sound
};
// ffmpeg's arguments (after the program name): raw RGB24 frames on standard input at the
// animation's frame rate, the music cut or padded with silence to the video's length, the
// codecs of the format.
std::vector<std::string> ffmpegArguments(const FfmpegJob& job);
