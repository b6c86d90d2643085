#include "export/VideoExport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <irrlicht.h>
#include <memory>
#include <vector>

#include "app/Program.h"
#include "export/FfmpegJob.h"
#include "export/OfflinePlayback.h"
#include "export/PendingOutput.h"
#include "export/Progress.h"
#include "platform/ChildProcess.h"
#include "platform/Signals.h"
#include "platform/Timebase.h"
#include "states/StateAccess.h"

using namespace irr;

namespace {

// The export window's caption, from its start to its end.
constexpr const wchar_t* EXPORT_CAPTION = L"TUMELORA (exporting)";
// Why an export stopped before its last frame.
constexpr const char* STOP_INTERRUPTED = "interrupted";
constexpr const char* STOP_FFMPEG_GONE = "ffmpeg stopped reading frames";

// What one export writes, and with what.
struct ExportRequest {
    std::string path;        // the output file (or frame pattern)
    ExportFormat format = ExportFormat::Unknown;
    std::string ffmpeg;      // the ffmpeg program
    std::string musicPath;   // empty: no sound
    ScenePaths paths;        // where the animation is
};

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

// The export's own device: a window of the stage's size, OpenGL, no vsync (speed).
IrrlichtDevice* createExportDevice(bool) {
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_OPENGL;
    p.WindowSize = core::dimension2d<u32>(u32(STAGE_WIDTH_PIXELS), u32(STAGE_HEIGHT_PIXELS));
    p.Bits = PROGRAM_COLOR_BITS;
    p.Fullscreen = false;
    p.Stencilbuffer = true;
    p.Vsync = false;
    p.LoggingLevel = ELL_ERROR;
    return createDeviceEx(p);
}

// Starts the program offline: its window (which takes no input), application and main state
// with the animation at paths; state is the session's. False, reported, when one fails.
bool startOffline(ProgramSession& session, const ScenePaths& paths, MainState*& state) {
    // The music is muxed by ffmpeg, never played on the sound device, and no error box waits
    // for a user.
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    setenv("TUMELORA_NO_ERROR_BOX", "1", 1);
    ProgramSetup setup;
    setup.makeDevice = createExportDevice;
    setup.loadingCaption = EXPORT_CAPTION;
    setup.caption = EXPORT_CAPTION;
    setup.receiveInput = false;
    const auto makeState = [&paths, &state]() -> std::unique_ptr<GameState> {
        auto made = std::make_unique<MainState>();
        made->setScenePaths(paths);
        state = made.get();
        return made;
    };
    switch (session.start(setup, makeState)) {
        case ProgramSession::Start::NoDevice:
            exportError("cannot open an OpenGL window (is there a display? scripts/with-display "
                        "starts Xvfb)");
            return false;
        case ProgramSession::Start::NoApplication:
            exportError("the engine's video driver did not start");
            return false;
        case ProgramSession::Start::NoState:
            exportError("couldn't load the animation (data/ with its font, from the working folder)");
            return false;
        case ProgramSession::Start::Ready:
            break;
    }
    return true;
}

// Steps, draws, reads back and pipes every frame to ffmpeg; null when every frame went to
// it, else why the export stopped.
const char* encodeFrames(IrrlichtDevice* device, MainState& state, OfflinePlayback& playback,
                         FrameReader& reader, PipedChild& ffmpeg, ProgressPrinter& progress) {
    std::vector<unsigned char> frame;
    while (playback.nextFrame()) {
        if (quitSignal()) return STOP_INTERRUPTED;
        if (!device->run()) return "the export window was closed";
        if (!reader.read(state, frame)) return "reading the frame back from OpenGL failed";
        if (!ffmpeg.write(frame.data(), frame.size()))
            return quitSignal() ? STOP_INTERRUPTED : STOP_FFMPEG_GONE;
        progress.update(playback.frame() + 1);
    }
    return nullptr;
}

// Ends ffmpeg and says how the export went; the output gets its final name only when every
// frame was written and ffmpeg succeeded. The exit code.
int finishExport(const ExportRequest& request, const char* stopped, int frameCount, PipedChild& ffmpeg,
                 PendingOutput& pending, ProgressPrinter& progress) {
    if (stopped && stopped != STOP_FFMPEG_GONE) {
        // The output is thrown away: ffmpeg is ended at once instead of finishing it first.
        ffmpeg.kill();
        progress.abandon();
        exportError("%s", stopped);
        return EXPORT_FAILED;
    }
    const int status = ffmpeg.finish();
    if (stopped || !WIFEXITED(status) || WEXITSTATUS(status) != 0) progress.abandon();
    if (WIFSIGNALED(status)) {
        exportError("ffmpeg was ended by signal %d", WTERMSIG(status));
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == CHILD_EXEC_FAILED_STATUS) {
        exportError("cannot run ffmpeg (%s)", request.ffmpeg.c_str());
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        exportError("ffmpeg failed (exit code %d)%s%s", WEXITSTATUS(status), stopped ? ": " : "",
                    stopped ? stopped : "");
    } else if (stopped) {
        exportError("%s", stopped);
    } else if (!pending.commit(frameCount)) {
        exportError("cannot rename the finished video to %s: %s", request.path.c_str(), std::strerror(errno));
    } else {
        std::fprintf(stderr, "tumelora: wrote %s (%.2f s at %d fps)\n", request.path.c_str(),
                     double(frameCount) / FRAMES_PER_SECOND, exportFramesPerSecond(request.format));
        return 0;
    }
    return EXPORT_FAILED;
}

// The steps of an export that need the device, once output and ffmpeg are known. Returns the
// exit code.
int renderAndEncode(const ExportRequest& request) {
    ProgramSession session;
    MainState* state = nullptr;
    if (!startOffline(session, request.paths, state)) return EXPORT_FAILED;
    FrameReader reader(session.device(), STAGE_WIDTH_PIXELS, STAGE_HEIGHT_PIXELS);
    if (!reader.ready()) {
        exportError("no off-screen frame buffer of %d x %d pixels (the OpenGL driver lacks "
                    "framebuffer objects)",
                    STAGE_WIDTH_PIXELS, STAGE_HEIGHT_PIXELS);
        return EXPORT_FAILED;
    }
    OfflinePlayback playback(*state, musicStream ? FSOUND_Stream_GetLengthMs(musicStream) : -1);
    const int end = StateAccess(*state).endFrame();
    if (end >= 0 && playback.frameCount() == end + 1)
        std::fprintf(stderr, "tumelora: the animation ends at frame %d, as its scene settings say\n", end);
    FfmpegJob job;
    job.format = request.format;
    job.width = STAGE_WIDTH_PIXELS;
    job.height = STAGE_HEIGHT_PIXELS;
    job.frameCount = playback.frameCount();
    job.musicPath = request.musicPath;
    if (!job.musicPath.empty() && !musicStream) {
        // The player cannot decode it either: the video is silent, as playback would be.
        std::fprintf(stderr, "tumelora: the music %s cannot be read: the video will be silent\n",
                     job.musicPath.c_str());
        job.musicPath.clear();
    }
    PendingOutput pending(request.path, request.format);
    if (!pending.reserve()) {
        exportError("cannot write in %s: %s", pathFolder(request.path).c_str(), std::strerror(errno));
        return EXPORT_FAILED;
    }
    job.output = pending.output();
    PipedChild ffmpeg;
    if (!ffmpeg.start(request.ffmpeg, ffmpegArguments(job))) {
        exportError("cannot run ffmpeg (%s): %s", request.ffmpeg.c_str(), std::strerror(errno));
        return EXPORT_FAILED;
    }
    std::fprintf(stderr, "tumelora: exporting %d frames (%.2f s) as %s to %s%s\n", job.frameCount,
                 double(job.frameCount) / FRAMES_PER_SECOND, exportFormatName(request.format),
                 request.path.c_str(), job.musicPath.empty() ? ", without sound" : " with the music");
    ProgressPrinter progress(job.frameCount);
    const char* stopped = encodeFrames(session.device(), *state, playback, reader, ffmpeg, progress);
    return finishExport(request, stopped, job.frameCount, ffmpeg, pending, progress);
}

// True when path names a folder.
bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

int exportVideo(const std::string& path, const ScenePaths& paths) {
    ExportRequest request;
    request.path = path;
    request.paths = paths;
    request.format = exportFormatForPath(path);
    if (request.format == ExportFormat::Unknown) {
        exportError("%s: %s", path.c_str(), unknownFormatReason(path));
        return EXPORT_FAILED;
    }
    const std::string folder = pathFolder(path);
    if (!isFolder(folder)) {
        exportError("the folder %s does not exist", folder.c_str());
        return EXPORT_FAILED;
    }
    if (isFolder(path)) {
        exportError("%s is a folder", path.c_str());
        return EXPORT_FAILED;
    }
    request.ffmpeg = findFfmpeg(std::getenv(FFMPEG_VARIABLE), std::getenv("PATH"));
    if (request.ffmpeg.empty()) {
        exportError("ffmpeg not found on PATH (install the Debian package ffmpeg, or name the "
                    "program in %s)",
                    FFMPEG_VARIABLE);
        return EXPORT_FAILED;
    }
    if (access(request.ffmpeg.c_str(), X_OK) != 0) {
        exportError("cannot run ffmpeg (%s): %s", request.ffmpeg.c_str(), std::strerror(errno));
        return EXPORT_FAILED;
    }
    if (!exportFormatHasSound(request.format))
        std::fprintf(stderr, "tumelora: a %s has no sound: the music is left out\n",
                     exportFormatName(request.format));
    else if (access(paths.musicFile.c_str(), R_OK) == 0)
        request.musicPath = paths.musicFile;
    else
        std::fprintf(stderr, "tumelora: no music at %s: the video will be silent\n", paths.musicFile.c_str());
    for (const std::string& leftover : removeLeftoverOutputs(path))
        std::fprintf(stderr, "tumelora: removed %s, left by an export that did not finish\n", leftover.c_str());
    return renderAndEncode(request);
}
