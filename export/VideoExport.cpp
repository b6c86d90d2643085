#include "export/VideoExport.h"

#include <GL/gl.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <irrlicht.h>

#include "app/Application.h"
#include "app/Program.h"
#include "platform/ChildProcess.h"
#include "platform/X11Errors.h"
#include "states/MainState.h"

using namespace irr;

namespace {

// Bytes per pixel of the frames piped to ffmpeg (RGB, 8 bits each).
constexpr int EXPORT_PIXEL_BYTES = 3;
// Seconds between two redraws of the progress bar on a terminal.
constexpr double PROGRESS_TERMINAL_INTERVAL = 0.25;
// Seconds between two progress lines when stderr is not a terminal.
constexpr double PROGRESS_PLAIN_INTERVAL = 2.0;
// Width of the progress bar in characters.
constexpr int PROGRESS_BAR_WIDTH = 30;
// Seconds per minute and minutes per hour, for the time left.
constexpr int SECONDS_PER_MINUTE = 60;
constexpr int MINUTES_PER_HOUR = 60;
// Largest zero-padding width a frame-number field may ask for (one digit).
constexpr int MAX_FRAME_NUMBER_WIDTH = 9;
// Encoder settings: H.264 quality (lower is better) and speed, AAC rate; VP9 quality and
// speed (the fastest: VP9 is slow), Opus rate.
constexpr const char* MP4_QUALITY = "18";
constexpr const char* MP4_PRESET = "veryfast";
constexpr const char* AAC_BITRATE = "192k";
constexpr const char* WEBM_QUALITY = "32";
constexpr const char* WEBM_SPEED = "8";
constexpr const char* OPUS_BITRATE = "160k";

// Set by SIGINT / SIGTERM / SIGHUP during an export: the frame loop stops and cleans up.
std::atomic<bool> exportInterrupted{false};

// Signal handler of SIGINT / SIGTERM / SIGHUP during an export.
void onInterrupt(int) { exportInterrupted = true; }

// The text with A-Z turned to a-z.
std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// True when s ends in suffix.
bool endsWith(const std::string& s, const char* suffix) {
    const size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// ffmpeg reads names with a colon as protocol URLs and names starting with '-' as options.
std::string ffmpegFileUrl(const std::string& path) { return "file:" + path; }

// Reports an export failure on stderr.
void exportError(const char* format, ...) __attribute__((format(printf, 1, 2)));
void exportError(const char* format, ...) {
    std::fputs("tumelora: export failed: ", stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

// The ffmpeg child: its standard input is the write end of a pipe held here.
class FfmpegProcess {
public:
    ~FfmpegProcess() {
        closeInput();
        if (pid > 0) waitForExit();
    }

    // Starts program with args; false (errno set) when it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) return false;
        pid = spawnProcess(program, args, fds[0], -1);
        const int error = errno;
        close(fds[0]);
        if (pid < 0) {
            close(fds[1]);
            errno = error;
            return false;
        }
        input = fds[1];
        return true;
    }

    // Writes all of data; false when ffmpeg no longer reads (it ended or failed).
    bool write(const unsigned char* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::write(input, data, size);
            if (n < 0) {
                if (errno == EINTR && !exportInterrupted) continue;
                return false;
            }
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    // Ends ffmpeg's input, so it finishes the file.
    void closeInput() {
        if (input >= 0) close(input);
        input = -1;
    }

    // Waits for ffmpeg to end; its wait status.
    int waitForExit() {
        const int status = waitForProcess(pid);
        pid = -1;
        return status;
    }

private:
    pid_t pid = -1;
    int input = -1;
};

// SIGPIPE ignored (a dead ffmpeg makes write fail with EPIPE instead of killing us) and
// SIGINT / SIGTERM / SIGHUP caught (the export stops and removes its temporary output),
// for the scope of an export; the old handlers come back after.
class ExportSignals {
public:
    ExportSignals() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        sigaction(SIGPIPE, &ignore, &oldPipe);
        struct sigaction stop {};
        stop.sa_handler = onInterrupt;
        sigemptyset(&stop.sa_mask);
        sigaction(SIGINT, &stop, &oldInt);
        sigaction(SIGTERM, &stop, &oldTerm);
        sigaction(SIGHUP, &stop, &oldHup);
        exportInterrupted = false;
    }
    ~ExportSignals() {
        sigaction(SIGPIPE, &oldPipe, nullptr);
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        sigaction(SIGHUP, &oldHup, nullptr);
    }

private:
    struct sigaction oldPipe {}, oldInt {}, oldTerm {}, oldHup {};
};

// Where ffmpeg writes until the export is complete: a hidden file beside the final one, or
// for a frame sequence a hidden folder beside the frames. Removed unless committed.
class PendingOutput {
public:
    PendingOutput(std::string finalPath, ExportFormat format)
        : finalPath(std::move(finalPath)), sequence(format == ExportFormat::PngSequence) {}
    ~PendingOutput() { discard(); }

    // Reserves the temporary name; false (errno set) when the folder cannot be written.
    bool reserve() {
        if (sequence) {
            std::string tmpl = pathFolder(finalPath) + "/.tumelora-export-XXXXXX";
            if (!mkdtemp(&tmpl[0])) return false;
            temporary = tmpl;
            ffmpegOutput = temporary + "/" + pathFileName(finalPath);
        } else {
            temporary = temporaryOutputPath(finalPath, long(getpid()));
            const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0) {
                temporary.clear();
                return false;
            }
            close(fd);
            ffmpegOutput = temporary;
        }
        return true;
    }

    // The name ffmpeg is told to write.
    const std::string& output() const { return ffmpegOutput; }

    // Moves the output to its final name; false (errno set) when that fails.
    bool commit(int frameCount) {
        if (!sequence) {
            if (std::rename(temporary.c_str(), finalPath.c_str()) != 0) return false;
            temporary.clear();
            return true;
        }
        const std::string name = pathFileName(finalPath);
        const std::string folder = pathFolder(finalPath);
        for (int frame = 0; frame < frameCount; ++frame) {
            const std::string file = expandFrameNumber(name, frame);
            if (std::rename((temporary + "/" + file).c_str(), (folder + "/" + file).c_str()) != 0) {
                // No half sequence under the final names: the frames moved so far go again.
                const int error = errno;
                for (int moved = 0; moved < frame; ++moved)
                    std::remove((folder + "/" + expandFrameNumber(name, moved)).c_str());
                errno = error;
                return false;
            }
        }
        discard();
        return true;
    }

    // Removes whatever was written under the temporary name.
    void discard() {
        if (temporary.empty()) return;
        if (sequence) {
            // The folder was made for this run alone: whatever ffmpeg left in it goes.
            std::error_code ignored;
            std::filesystem::remove_all(temporary, ignored);
        } else {
            std::remove(temporary.c_str());
        }
        temporary.clear();
    }

private:
    std::string finalPath;
    bool sequence;
    std::string temporary;
    std::string ffmpegOutput;
};

// Prints the progress on stderr: a redrawn bar on a terminal, else a plain line now and then.
class ProgressPrinter {
public:
    explicit ProgressPrinter(int total)
        : total(total), terminal(isatty(STDERR_FILENO) == 1), started(Clock::now()) {}

    // Frames done so far; prints when enough time has passed or all are done.
    void update(int done) {
        const double elapsed = secondsSince(started);
        const double interval = terminal ? PROGRESS_TERMINAL_INTERVAL : PROGRESS_PLAIN_INTERVAL;
        if (done < total && elapsed - lastPrint < interval) return;
        lastPrint = elapsed;
        const std::string line = progressLine(done, total, elapsed, PROGRESS_BAR_WIDTH);
        if (terminal)
            std::fprintf(stderr, "\r%s\033[K%s", line.c_str(), done >= total ? "\n" : "");
        else
            std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }

    // Ends a bar left unfinished (an aborted export), so later messages start on a new line.
    void abandon() {
        if (terminal && lastPrint >= 0.0) std::fputc('\n', stderr);
    }

private:
    using Clock = std::chrono::steady_clock;
    static double secondsSince(Clock::time_point t) {
        return std::chrono::duration<double>(Clock::now() - t).count();
    }
    int total;
    bool terminal;
    Clock::time_point started;
    double lastPrint = -1.0e9;
};

// The export's own device: a window of the program's size, OpenGL, no vsync (speed).
IrrlichtDevice* createExportDevice() {
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_OPENGL;
    p.WindowSize = core::dimension2d<u32>(PROGRAM_WINDOW_WIDTH, PROGRAM_WINDOW_HEIGHT);
    p.Bits = PROGRAM_COLOR_BITS;
    p.Fullscreen = false;
    p.Stencilbuffer = true;
    p.Vsync = false;
    p.LoggingLevel = ELL_ERROR;
    return createDeviceEx(p);
}

// The steps of an export that need the device, once output and ffmpeg are known. Returns
// the exit code; commits the output only when every frame was written and ffmpeg succeeded.
int renderAndEncode(const std::string& path, ExportFormat format, const std::string& ffmpeg,
                    const std::string& musicPath, const ScenePaths& paths) {
    // Rendered offline: the music is muxed by ffmpeg, never played on the sound device, and
    // no error box waits for a user.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("TUMELORA_NO_ERROR_BOX", "1", 1);
    installNonFatalXErrorHandler();
    IrrlichtDevice* device = createExportDevice();
    if (!device) {
        exportError("cannot open an OpenGL window (is there a display? scripts/with-display "
                    "starts Xvfb)");
        return EXPORT_FAILED;
    }
    device->setWindowCaption(L"TUMELORA (exporting)");
    device->getVideoDriver()->setTextureCreationFlag(video::ETCF_OPTIMIZED_FOR_QUALITY, true);

    int result = EXPORT_FAILED;
    Application* application = new Application(device);
    MainState* state = nullptr;
    if (!application->init(device)) {
        exportError("the engine's video driver did not start");
    } else if (!((state = new MainState)->setScenePaths(paths), state->init())) {
        exportError("couldn't load the animation (data/ with its font, from the working folder)");
    } else {
        const int width = int(PROGRAM_WINDOW_WIDTH), height = int(PROGRAM_WINDOW_HEIGHT);
        FrameReader reader(device, width, height);
        OfflinePlayback playback(*state, musicStream ? FSOUND_Stream_GetLengthMs(musicStream) : -1);
        const int frameCount = playback.frameCount();
        PendingOutput pending(path, format);
        FfmpegJob job;
        job.format = format;
        job.width = width;
        job.height = height;
        job.frameCount = frameCount;
        job.musicPath = musicPath;
        if (!musicPath.empty() && !musicStream) {
            // The player cannot decode it either: the video is silent, as playback would be.
            std::fprintf(stderr, "tumelora: the music %s cannot be read: the video will be silent\n",
                         musicPath.c_str());
            job.musicPath.clear();
        }
        if (!reader.ready()) {
            exportError("no off-screen frame buffer of %d x %d pixels (the OpenGL driver lacks "
                        "framebuffer objects)",
                        width, height);
        } else if (!pending.reserve()) {
            exportError("cannot write in %s: %s", pathFolder(path).c_str(), std::strerror(errno));
        } else {
            job.output = pending.output();
            FfmpegProcess process;
            if (!process.start(ffmpeg, ffmpegArguments(job))) {
                exportError("cannot run ffmpeg (%s): %s", ffmpeg.c_str(), std::strerror(errno));
            } else {
                std::fprintf(stderr, "tumelora: exporting %d frames (%.2f s) as %s to %s%s\n",
                             frameCount, double(frameCount) / FRAMES_PER_SECOND,
                             exportFormatName(format), path.c_str(),
                             job.musicPath.empty() ? ", without sound" : " with the music");
                std::vector<unsigned char> frame;
                ProgressPrinter progress(frameCount);
                const char* stopped = nullptr;
                while (!stopped && playback.nextFrame()) {
                    if (exportInterrupted)
                        stopped = "interrupted";
                    else if (!device->run())
                        stopped = "the export window was closed";
                    else if (!reader.read(*state, frame))
                        stopped = "reading the frame back from OpenGL failed";
                    else if (!process.write(frame.data(), frame.size()))
                        stopped = exportInterrupted ? "interrupted" : "ffmpeg stopped reading frames";
                    else
                        progress.update(playback.frame() + 1);
                }
                process.closeInput();
                const int status = process.waitForExit();
                if (stopped || !WIFEXITED(status) || WEXITSTATUS(status) != 0) progress.abandon();
                if (WIFSIGNALED(status)) {
                    exportError("ffmpeg was ended by signal %d", WTERMSIG(status));
                } else if (WIFEXITED(status) && WEXITSTATUS(status) == CHILD_EXEC_FAILED_STATUS) {
                    exportError("cannot run ffmpeg (%s)", ffmpeg.c_str());
                } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
                    exportError("ffmpeg failed (exit code %d)%s%s", WEXITSTATUS(status),
                                stopped ? ": " : "", stopped ? stopped : "");
                } else if (stopped) {
                    exportError("%s", stopped);
                } else if (!pending.commit(frameCount)) {
                    exportError("cannot rename the finished video to %s: %s", path.c_str(),
                                std::strerror(errno));
                } else {
                    std::fprintf(stderr, "tumelora: wrote %s (%.2f s at %d fps)\n", path.c_str(),
                                 double(frameCount) / FRAMES_PER_SECOND,
                                 exportFramesPerSecond(format));
                    result = 0;
                }
            }
        }
    }
    if (state) {
        state->shutdown();
        delete state;
    }
    delete application;
    device->drop();
    return result;
}

}  // namespace

ExportFormat exportFormatForPath(const std::string& path) {
    const std::string lower = lowerCase(pathFileName(path));
    if (endsWith(lower, ".mp4")) return ExportFormat::Mp4;
    if (endsWith(lower, ".webm")) return ExportFormat::WebM;
    if (endsWith(lower, ".gif")) return ExportFormat::Gif;
    if (endsWith(lower, ".png") && isFrameNumberPattern(path)) return ExportFormat::PngSequence;
    return ExportFormat::Unknown;
}

const char* exportFormatName(ExportFormat format) {
    switch (format) {
        case ExportFormat::Mp4: return "MP4";
        case ExportFormat::WebM: return "WebM";
        case ExportFormat::Gif: return "GIF";
        case ExportFormat::PngSequence: return "PNG sequence";
        case ExportFormat::Unknown: break;
    }
    return "unknown";
}

int exportFramesPerSecond(ExportFormat format) {
    return format == ExportFormat::Gif ? GIF_FRAMES_PER_SECOND : FRAMES_PER_SECOND;
}

bool exportFormatHasSound(ExportFormat format) {
    return format == ExportFormat::Mp4 || format == ExportFormat::WebM;
}

bool isFrameNumberPattern(const std::string& path) {
    const std::string name = pathFileName(path);
    if (path.find('%') < path.size() - name.size()) return false;  // a field in a folder name
    int fields = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] != '%') continue;
        if (++i >= name.size()) return false;
        if (name[i] == '%') continue;
        if (name[i] == '0') {
            if (++i >= name.size() || name[i] < '1' || name[i] > '9') return false;
            if (++i >= name.size()) return false;
        }
        if (name[i] != 'd') return false;
        ++fields;
    }
    return fields == 1;
}

std::string expandFrameNumber(const std::string& pattern, int frame) {
    std::string out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] != '%' || i + 1 >= pattern.size()) {
            out += pattern[i];
            continue;
        }
        ++i;
        if (pattern[i] == '%') {
            out += '%';
            continue;
        }
        int width = 0;
        if (pattern[i] == '0' && i + 2 < pattern.size()) {
            width = pattern[i + 1] - '0';
            if (width < 0 || width > MAX_FRAME_NUMBER_WIDTH) width = 0;
            i += 2;
        }
        std::string digits = std::to_string(frame);
        if (int(digits.size()) < width) digits.insert(0, size_t(width) - digits.size(), '0');
        out += digits;
    }
    return out;
}

std::vector<std::string> ffmpegArguments(const FfmpegJob& job) {
    const std::string size = std::to_string(job.width) + "x" + std::to_string(job.height);
    std::vector<std::string> a = {
        "-hide_banner", "-loglevel", "error", "-nostdin", "-nostats", "-y",
        "-f", "rawvideo", "-pixel_format", "rgb24", "-video_size", size,
        "-framerate", std::to_string(FRAMES_PER_SECOND), "-i", "pipe:0",
    };
    const bool sound = exportFormatHasSound(job.format) && !job.musicPath.empty();
    if (sound) {
        a.insert(a.end(), {"-i", ffmpegFileUrl(job.musicPath)});
    }
    a.insert(a.end(), {"-map", "0:v:0"});
    if (sound) a.insert(a.end(), {"-map", "1:a:0"});
    // No frame limit for the video: it would end the sound with it (the pipe carries exactly
    // the frames of the animation).

    // The video's colours are tagged as HD video (BT.709) and converted that way.
    const std::vector<std::string> yuvVideo = {
        "-vf", "scale=out_color_matrix=bt709:out_range=tv,format=yuv420p",
        "-colorspace", "bt709", "-color_primaries", "bt709", "-color_trc", "bt709",
    };
    switch (job.format) {
        case ExportFormat::Mp4:
            a.insert(a.end(), yuvVideo.begin(), yuvVideo.end());
            a.insert(a.end(), {"-c:v", "libx264", "-preset", MP4_PRESET, "-crf", MP4_QUALITY});
            break;
        case ExportFormat::WebM:
            a.insert(a.end(), yuvVideo.begin(), yuvVideo.end());
            a.insert(a.end(), {"-c:v", "libvpx-vp9", "-b:v", "0", "-crf", WEBM_QUALITY, "-deadline",
                               "realtime", "-cpu-used", WEBM_SPEED, "-row-mt", "1"});
            break;
        case ExportFormat::Gif:
            // Every second frame (GIF delays are whole hundredths of a second, and players
            // slow down delays below two), one palette per frame so that frames stream
            // through instead of waiting for all.
            a.insert(a.end(), {"-vf",
                               "fps=" + std::to_string(GIF_FRAMES_PER_SECOND) +
                               ",split[a][b];[a]palettegen=stats_mode=single[p];"
                               "[b][p]paletteuse=new=1",
                               "-loop", "0"});
            break;
        case ExportFormat::PngSequence:
            a.insert(a.end(), {"-c:v", "png", "-start_number", "0"});
            break;
        case ExportFormat::Unknown:
            break;
    }

    if (sound) {
        // Frame n belongs to the music time n / 60 s: the sound starts with frame 0 and is
        // cut, or padded with silence, to exactly the video's length.
        const long samples = long(job.frameCount) * (EXPORT_AUDIO_RATE / FRAMES_PER_SECOND);
        a.insert(a.end(), {"-af",
                           "aresample=" + std::to_string(EXPORT_AUDIO_RATE) +
                               ",apad=whole_len=" + std::to_string(samples) +
                               ",atrim=end_sample=" + std::to_string(samples)});
        if (job.format == ExportFormat::Mp4)
            a.insert(a.end(), {"-c:a", "aac", "-b:a", AAC_BITRATE});
        else
            a.insert(a.end(), {"-c:a", "libopus", "-b:a", OPUS_BITRATE});
    }

    switch (job.format) {
        case ExportFormat::Mp4: a.insert(a.end(), {"-movflags", "+faststart", "-f", "mp4"}); break;
        case ExportFormat::WebM: a.insert(a.end(), {"-f", "webm"}); break;
        case ExportFormat::Gif: a.insert(a.end(), {"-f", "gif"}); break;
        case ExportFormat::PngSequence: a.insert(a.end(), {"-f", "image2"}); break;
        case ExportFormat::Unknown: break;
    }
    a.push_back(ffmpegFileUrl(job.output));
    return a;
}

std::string pathFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string pathFileName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string temporaryOutputPath(const std::string& finalPath, long unique) {
    const std::string folder = pathFolder(finalPath);
    return (folder == "/" ? "" : folder) + "/." + pathFileName(finalPath) + "." +
           std::to_string(unique) + ".part";
}

std::string progressLine(int done, int total, double elapsedSeconds, int barWidth) {
    if (total < 1) total = 1;
    if (done < 0) done = 0;
    if (done > total) done = total;
    const int filled = int(long(done) * barWidth / total);
    std::string line = "[" + std::string(size_t(filled), '#') +
                       std::string(size_t(barWidth - filled), '-') + "] ";
    char text[128];
    const double fps = elapsedSeconds > 0.0 ? done / elapsedSeconds : 0.0;
    std::snprintf(text, sizeof text, "%d/%d frames  %.1f fps", done, total, fps);
    line += text;
    if (fps > 0.0) {
        const long left = long((total - done) / fps + 0.5);
        const long hours = left / (SECONDS_PER_MINUTE * MINUTES_PER_HOUR);
        const long minutes = left / SECONDS_PER_MINUTE % MINUTES_PER_HOUR;
        const long seconds = left % SECONDS_PER_MINUTE;
        if (hours > 0)
            std::snprintf(text, sizeof text, "  %ld:%02ld:%02ld left", hours, minutes, seconds);
        else
            std::snprintf(text, sizeof text, "  %ld:%02ld left", minutes, seconds);
        line += text;
    } else {
        line += "  --:-- left";
    }
    return line;
}

int playbackFrameCount(int frameCount, int musicLengthMs) {
    if (musicLengthMs < 0) return frameCount;
    // Frame 0 is always shown.
    const int64_t withinMusic = framesOfSong(musicLengthMs, 1000);
    return int(std::max<int64_t>(1, std::min<int64_t>(frameCount, withinMusic)));
}

OfflinePlayback::OfflinePlayback(MainState& state, int musicLengthMs)
    : state(state), frames(playbackFrameCount(state.startOffline(), musicLengthMs)) {}

bool OfflinePlayback::nextFrame() {
    if (current + 1 >= frames) return false;
    // Frame 0 is what the start shows, before any step, as playback from a clock reset.
    if (++current > 0) state.update(clock.nextStepMs(state.updateRate()));
    return true;
}

FrameReader::FrameReader(IrrlichtDevice* device, int width, int height)
    : device(device), width(width), height(height) {
    // Without framebuffer objects the engine would draw into the window's back buffer.
    if (device && width > 0 && height > 0 &&
        device->getVideoDriver()->queryFeature(video::EVDF_FRAMEBUFFER_OBJECT))
        target = device->getVideoDriver()->addRenderTargetTexture(
            core::dimension2d<u32>(u32(width), u32(height)), "export-frame", video::ECF_A8R8G8B8);
}

FrameReader::~FrameReader() {
    if (!target) return;
    video::IVideoDriver* driver = device->getVideoDriver();
    driver->setRenderTarget(nullptr, false, false);
    driver->removeTexture(target);
}

bool FrameReader::read(GameState& state, std::vector<unsigned char>& rgb) {
    if (!target) return false;
    video::IVideoDriver* driver = device->getVideoDriver();
    if (!driver->setRenderTarget(target, true, true, video::SColor(0))) return false;
    state.render(device);
    const size_t stride = size_t(width) * EXPORT_PIXEL_BYTES;
    rows.resize(stride * size_t(height));
    rgb.resize(rows.size());
    while (glGetError() != GL_NO_ERROR) {
        // Errors left by earlier calls are not this read's.
    }
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rows.data());
    if (glGetError() != GL_NO_ERROR) return false;
    // OpenGL gives the bottom row first; video frames start at the top.
    for (int y = 0; y < height; ++y)
        std::memcpy(&rgb[size_t(y) * stride], &rows[size_t(height - 1 - y) * stride], stride);
    return true;
}

int OfflineClock::nextStepMs(int updateRate) {
    if (updateRate <= 0) return 0;
    const double previous = simulatedTimeMs;
    simulatedTimeMs += 1000.0 / updateRate;
    return int(simulatedTimeMs - previous);
}

int exportVideo(const std::string& path, const ScenePaths& paths) {
    const ExportFormat format = exportFormatForPath(path);
    if (format == ExportFormat::Unknown) {
        const bool png = endsWith(lowerCase(path), ".png");
        exportError("%s: %s", path.c_str(),
                    png ? "a PNG sequence needs a frame-number field in its name, such as "
                          "frames-%05d.png"
                        : "unknown video format (use .mp4, .webm, .gif or frames-%05d.png)");
        return EXPORT_FAILED;
    }
    struct stat folder {};
    const std::string folderPath = pathFolder(path);
    if (stat(folderPath.c_str(), &folder) != 0 || !S_ISDIR(folder.st_mode)) {
        exportError("the folder %s does not exist", folderPath.c_str());
        return EXPORT_FAILED;
    }
    struct stat existing {};
    if (stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        exportError("%s is a folder", path.c_str());
        return EXPORT_FAILED;
    }
    const std::string ffmpeg = findFfmpeg(std::getenv(FFMPEG_VARIABLE), std::getenv("PATH"));
    if (ffmpeg.empty()) {
        exportError("ffmpeg not found on PATH (install the Debian package ffmpeg, or name the "
                    "program in %s)",
                    FFMPEG_VARIABLE);
        return EXPORT_FAILED;
    }
    if (access(ffmpeg.c_str(), X_OK) != 0) {
        exportError("cannot run ffmpeg (%s): %s", ffmpeg.c_str(), std::strerror(errno));
        return EXPORT_FAILED;
    }
    std::string music;
    if (exportFormatHasSound(format)) {
        if (access(paths.musicFile.c_str(), R_OK) == 0)
            music = paths.musicFile;
        else
            std::fprintf(stderr, "tumelora: no music at %s: the video will be silent\n",
                         paths.musicFile.c_str());
    } else {
        std::fprintf(stderr, "tumelora: a %s has no sound: the music is left out\n",
                     exportFormatName(format));
    }
    ExportSignals signals;
    return renderAndEncode(path, format, ffmpeg, music, paths);
}
