// bench_program MODE [--seconds S]: the real main state in the real application loop, run in
// the working directory (which must hold data/ with the font, skins, music and data/actors/).
//   standin DIR  writes a stand-in animation into DIR/data/actors/ (pictures and data files)
//   song OUT     writes the click song (a tone burst every 50 ms, 2 to 17 ms long by its
//                number) of S seconds, or as long as data/'s music
//   sync         plays the animation with the click song as its music through a sound server
//                and records what the server plays (PulseAudio: TUMELORA_BENCH_MONITOR names
//                the monitor source of its sink); each click heard is compared with the frame
//                shown at that moment, and the music heard with the wall clock; --busy: another
//                program keeps the cores busy (the target may be wider, see
//                SOFTWARE_BUSY_TARGET_FRAMES); --stall-at S holds the sound device for 200 ms at
//                second S and reports how soon music and picture are together again
//   memory SONG  resident memory of the sound layer playing SONG (at its start and near its end)
//   endurance    scripted editing (drags, slider edits, "Play"/"Stop", "Rec", "Save") in one
//                process; resident memory is sampled every second; the state is shut down
//                before it is deleted, so a leak checker at exit sees only real leaks
// sync and endurance need a display (scripts/with-display) and an SDL audio driver
// (SDL_AUDIODRIVER=dummy paces like a device without playing anything; sync needs pulseaudio).
#include <GL/gl.h>
#include <irrlicht.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "actors/Actor.h"
#include "app/Application.h"
#include "app/SceneScreen.h"
#include "app/Program.h"
#include "bench/BenchSupport.h"
#include "platform/FSound.h"
#include "platform/X11Errors.h"
#include "render/Image.h"
#include "states/MainState.h"
#include "states/StateAccess.h"
#include "text/BitmapFont.h"
#include "tools/VorbisWriter.h"
#include "ui/ButtonSkin.h"

using namespace irr;
namespace fs = std::filesystem;

// Xlib's round trip to the X server (its header's names clash with ours): Display is struct
// _XDisplay, Bool is int.
struct _XDisplay;
extern "C" int XSync(_XDisplay* display, int discard);

namespace {

// One animation frame in milliseconds: the sync target.
// Samples of the first second of playback are also left out of one sync figure.
constexpr double SETTLE_MS = 1000.0;
// The click song: a burst of a CLICK_HZ tone every CLICK_EVERY_FRAMES animation frames (50 ms),
// so that every click starts exactly where a frame starts. The k-th click lasts
// CLICK_MIN_MS + (k % CLICK_CODES) * CLICK_CODE_STEP_MS: its length tells which click it is
// even where the sound server lost music or inserted silence (a starved device).
constexpr int CLICK_EVERY_FRAMES = 3;
constexpr double CLICK_EVERY_MS = CLICK_EVERY_FRAMES * FRAME_MS;
constexpr double CLICK_MIN_MS = 2.0;
constexpr double CLICK_CODE_STEP_MS = 1.0;
constexpr int CLICK_CODES = 16;
constexpr double CLICK_MAX_MS = CLICK_MIN_MS + (CLICK_CODES - 1) * CLICK_CODE_STEP_MS;
// A click's loud part ends up to this much before its end (the last half wave is quiet at
// first and last); a loud part whose length is further from every code was cut by a gap.
constexpr double CLICK_TAIL_MS = 0.4;
constexpr double CLICK_HZ = 3000.0;
// A click starts where a sample exceeds this level after at least CLICK_QUIET_S of quiet.
constexpr int CLICK_THRESHOLD = 8000;
constexpr double CLICK_QUIET_S = 0.02;
// Length of the stretches of the recording whose earliest read fixes the server's clock, in s.
constexpr double LISTEN_FIT_SECONDS = 2.0;
// Frames read from the sound server at once (2 ms): the server's null sink then plays in
// blocks of about that length, so a frame reaches the recording close to the moment it is played.
constexpr size_t LISTEN_CHUNK_FRAMES = 88;
// The forced stall of the sound device.
constexpr double STALL_MS = 200.0;
// The largest |heard music - shown frame| that meets the target, in frames: one; with every
// core kept busy by another program where OpenGL draws in software on at most
// SOFTWARE_BUSY_MAX_CORES cores, two (the drawing then shares those cores with the other
// program: the scene costs llvmpipe about 20 ms of CPU a frame).
constexpr int SYNC_TARGET_FRAMES = 1;
constexpr int SOFTWARE_BUSY_TARGET_FRAMES = 2;
constexpr unsigned SOFTWARE_BUSY_MAX_CORES = 2;
// Music heard behind the sound server's clock over the playback (silence the server played
// because the music came late) that meets the target, in per cent.
constexpr double MUSIC_BEHIND_MAX_PERCENT = 0.5;
// Two clicks heard further apart on the server's clock than in the song by more than this
// had silence between them (a dropout: the server got the music late), in ms.
constexpr double DROPOUT_MIN_MS = 2.0;
// Playing time of each half of the memory figure, in microseconds.
constexpr useconds_t MEMORY_PLAY_US = 2000000;
// Default durations: sync over 60 s of playback, endurance over ten minutes.
constexpr double SYNC_SECONDS = 60.0;
constexpr double ENDURANCE_SECONDS = 600.0;
// Resident memory must be flat after this warm-up (or a third of a shorter run).
constexpr double ENDURANCE_WARMUP_SECONDS = 60.0;
// Growth of resident memory after the warm-up that still counts as flat.
constexpr long FLAT_TOLERANCE_KIB = 1024;
// Stand-in animation: actors, frames of track, picture sides.
constexpr int STANDIN_ACTORS = 12;
constexpr int STANDIN_FRAMES = 60 * FRAMES_PER_SECOND;
// Stage size in pixels (the panel's layout reference).
constexpr float STAGE_H = float(STAGE_HEIGHT_PIXELS);
// Gap between panel rows.
constexpr float ROW_GAP = 2.f;
// Text scale of the panel's labels (their height offsets the property rows).
constexpr float LABEL_SCALE = 0.5f;

// An iteration of the loop longer than this is logged with what it did, in ms (three frames).
constexpr double LONG_ITERATION_MS = 50.0;
// Long iterations listed at most.
constexpr size_t LONG_ITERATIONS_LISTED = 8;

// Seconds of the monotonic clock.
double now() { return bench::clockSeconds(CLOCK_MONOTONIC); }

// Seconds of CPU the calling thread has used.
double threadCpu() { return bench::clockSeconds(CLOCK_THREAD_CPUTIME_ID); }

// Milliseconds of CPU time the machine's processors have lost to the host so far (steal time
// of a virtual machine, all processors together; 0 where /proc/stat does not say).
double stolenMs() {
    std::FILE* f = std::fopen("/proc/stat", "r");
    if (!f) return 0;
    unsigned long long v[8] = {};
    const int n = std::fscanf(f, "cpu %llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3], &v[4],
                              &v[5], &v[6], &v[7]);
    std::fclose(f);
    return n == 8 ? double(v[7]) * 1000.0 / double(sysconf(_SC_CLK_TCK)) : 0.0;
}

// What one iteration of the application's loop did, in ms: the time since the previous
// iteration (its sleep, the window's events and the clock's reading), the fixed steps, the
// drawing (-1: nothing drawn) and the benchmark's own hook after it; and the main thread's
// CPU over the drawing (near the drawing's time: the thread worked, compiling a shader say;
// far below it: the thread waited, for the rasteriser's threads, the X server or a core), and
// the processor time the host took from the machine meanwhile (a virtual machine's steal).
struct Iteration {
    double at = 0;  // monotonic s when the steps began
    double betweenMs = 0, stepsMs = 0, drawMs = -1, hookMs = 0, drawCpuMs = 0, stolenMs = 0;
    int steps = 0;
    std::string drawingSeen;  // what DrawingWatch saw in a long drawing
    double totalMs() const { return betweenMs + stepsMs + std::max(drawMs, 0.0) + hookMs; }
};

// The first line of a file ("" when it cannot be read).
std::string firstLine(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return "";
    char line[256] = {};
    const bool got = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    std::string text = got ? line : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    return text;
}

// Looks into a drawing that takes long, from a thread of its own, once it has lasted
// LONG_ITERATION_MS: where the main thread waits (its kernel wait channel) and what the
// rasteriser's threads are doing (R: runnable, waiting for a processor; S: asleep, with
// their wait channel).
class DrawingWatch {
public:
    DrawingWatch() : mainTask("/proc/self/task/" + std::to_string(gettid())), thread([this] { watch(); }) {}
    ~DrawingWatch() {
        quit = true;
        thread.join();
    }
    DrawingWatch(const DrawingWatch&) = delete;
    DrawingWatch& operator=(const DrawingWatch&) = delete;
    // A drawing begins on the main thread.
    void begin() {
        std::lock_guard<std::mutex> lock(mutex);
        seen.clear();
        since = now();
    }
    // The drawing ended: what was seen in it ("" when it was short).
    std::string end() {
        std::lock_guard<std::mutex> lock(mutex);
        since = 0;
        return seen;
    }

private:
    // Polling interval of the watching thread, in microseconds.
    static constexpr useconds_t POLL_US = 5000;
    void watch() {
        double looked = 0;
        while (!quit) {
            usleep(POLL_US);
            double drawing = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                drawing = since;
            }
            if (drawing <= 0 || drawing == looked || (now() - drawing) * 1000.0 < LONG_ITERATION_MS) continue;
            looked = drawing;
            std::string text = "main thread waits in " + firstLine(mainTask + "/wchan");
            for (const auto& task : fs::directory_iterator("/proc/self/task")) {
                const std::string comm = firstLine(task.path().string() + "/comm");
                if (comm.rfind("llvmpipe", 0) != 0) continue;
                const std::string stat = firstLine(task.path().string() + "/stat");
                const size_t close = stat.rfind(')');
                const char state = close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : '?';
                text += ", " + comm + " " + state;
                if (state != 'R') text += " in " + firstLine(task.path().string() + "/wchan");
            }
            std::lock_guard<std::mutex> lock(mutex);
            if (since == drawing) seen = text;
        }
    }
    const std::string mainTask;
    std::mutex mutex;
    double since = 0;  // when the drawing began (monotonic s), 0: none; guarded by mutex
    std::string seen;  // guarded by mutex
    std::atomic<bool> quit{false};
    std::thread thread;
};

// The application with a hook after every drawn frame; it keeps the iterations that took
// longer than LONG_ITERATION_MS, with the time each part of them took, in *longIterations
// when that is set.
class BenchApplication : public Application {
public:
    using Application::Application;
    std::function<void()> onFrame;
    std::vector<Iteration>* longIterations = nullptr;
    bool fixedUpdate() override {
        const double t0 = now();
        const double simulated = clock.simulatedTimeMs;
        const bool draw = Application::fixedUpdate();
        stepsEnd = now();
        stepsEndCpu = threadCpu();
        current = Iteration{};
        current.at = t0;
        current.betweenMs = lastEnd > 0 ? (t0 - lastEnd) * 1000.0 : 0.0;
        current.stepsMs = (stepsEnd - t0) * 1000.0;
        current.steps = int(std::lround((clock.simulatedTimeMs - simulated) / FRAME_MS));
        if (!draw) finish(stepsEnd);
        else if (longIterations) watch.begin();
        return draw;
    }
    void afterRender() override {
        const double drawn = now();
        current.drawMs = (drawn - stepsEnd) * 1000.0;
        current.drawCpuMs = (threadCpu() - stepsEndCpu) * 1000.0;
        if (longIterations) current.drawingSeen = watch.end();
        if (onFrame) onFrame();
        const double end = now();
        current.hookMs = (end - drawn) * 1000.0;
        finish(end);
    }

private:
    // Closes the current iteration at `end` (s); keeps it when it was long.
    void finish(double end) {
        lastEnd = end;
        const double stolen = stolenMs();
        current.stolenMs = stolen - lastStolen;
        lastStolen = stolen;
        if (longIterations && current.totalMs() > LONG_ITERATION_MS) longIterations->push_back(current);
    }
    Iteration current;
    double stepsEnd = 0, stepsEndCpu = 0, lastEnd = 0, lastStolen = 0;
    DrawingWatch watch;
};

// Prints the longest of the long iterations after `start` (monotonic s) with what they did.
void printLongIterations(const std::string& label, std::vector<Iteration> iterations, double start) {
    iterations.erase(std::remove_if(iterations.begin(), iterations.end(),
                                    [start](const Iteration& it) { return it.at < start; }),
                     iterations.end());
    std::printf("sync (%s): %zu loop iterations took longer than %.0f ms\n", label.c_str(), iterations.size(),
                LONG_ITERATION_MS);
    std::sort(iterations.begin(), iterations.end(),
              [](const Iteration& a, const Iteration& b) { return a.totalMs() > b.totalMs(); });
    for (size_t i = 0; i < iterations.size() && i < LONG_ITERATIONS_LISTED; ++i) {
        const Iteration& it = iterations[i];
        std::printf("sync (%s):   at %.2f s: %.1f ms = %.1f before the steps (sleep, events, clock) + %.1f for %d "
                    "steps + %.1f drawing (main thread's CPU %.1f) + %.1f the benchmark's reading; the host took "
                    "%.0f ms of processor time meanwhile\n",
                    label.c_str(), it.at - start, it.totalMs(), it.betweenMs, it.stepsMs, it.steps,
                    std::max(it.drawMs, 0.0), it.drawCpuMs, it.hookMs, it.stolenMs);
        if (!it.drawingSeen.empty())
            std::printf("sync (%s):     %.0f ms into the drawing: %s\n", label.c_str(), LONG_ITERATION_MS,
                        it.drawingSeen.c_str());
    }
}

// The program's device, windowed.
IrrlichtDevice* makeDevice() {
    if (!std::getenv("DISPLAY")) return nullptr;
    installNonFatalXErrorHandler();
    return createProgramDevice(false);
}

// Runs the state like the program does (init, enter, loop, leave, shutdown, delete) with a
// hook after every frame; false when start-up failed.
bool runLikeProgram(const std::function<void(BenchApplication*, MainState*)>& setUp) {
    IrrlichtDevice* device = makeDevice();
    if (!device) {
        std::fprintf(stderr, "bench_program: no OpenGL device (run under scripts/with-display)\n");
        return false;
    }
    device->getVideoDriver()->setTextureCreationFlag(video::ETCF_OPTIMIZED_FOR_QUALITY, true);
    BenchApplication* app = new BenchApplication(device);
    bool ok = app->init(device);
    if (ok) {
        device->setEventReceiver(app);
        MainState* state = new MainState;
        ok = state->init();
        if (ok) {
            setUp(app, state);
            app->setState(state);
            app->run();
            app->setState(nullptr);
        } else {
            std::fprintf(stderr, "bench_program: the main state did not start (data/ missing?)\n");
        }
        state->shutdown();
        delete state;
        device->setEventReceiver(nullptr);
    }
    delete app;
    device->drop();
    return ok;
}

int runStandin(const char* dir) {
    IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2d<u32>(64, 64));
    video::IVideoDriver* driver = device->getVideoDriver();
    const fs::path saved = fs::current_path();
    fs::create_directories(fs::path(dir) / "data" / "actors");
    fs::current_path(dir);
    for (int a = 0; a < STANDIN_ACTORS; ++a) {
        const u32 w = 64 + u32(a % 4) * 48, h = 64 + u32(a % 3) * 64;
        video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(w, h));
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < w; ++x) {
                const float dx = (float(x) - w / 2.f) / (w / 2.f), dy = (float(y) - h / 2.f) / (h / 2.f);
                const u32 alpha = dx * dx + dy * dy < 1.f ? 255 : 0;
                picture->setPixel(x, y, video::SColor(alpha, (x * 7 + u32(a) * 40) & 0xFF,
                                                      (y * 5) & 0xFF, u32(a) * 20));
            }
        const std::string name = bench::format("standin-%02d", a);
        driver->writeImageToFile(picture, io::path(actorPicturePath(name + ".png").c_str()));
        picture->drop();
        Actor actor(name, nullptr, false);
        actor.poses.clear();
        for (int f = 0; f < STANDIN_FRAMES; ++f) {
            const float t = float(f) / FRAMES_PER_SECOND;
            actor.poses.push_back(ActorPose{{8.f + 6.f * std::sin(t * 0.5f + float(a)),
                                             4.5f + 3.f * std::cos(t * 0.7f + float(a) * 0.3f)},
                                            t * 0.3f * float(a % 3),
                                            {1.f + 0.2f * std::sin(t), 1.f + 0.2f * std::sin(t)}});
        }
        actor.wobble = a % 4 == 0;
        if (!actor.saveData()) std::fprintf(stderr, "standin: cannot write %s\n", actor.dataPath().c_str());
    }
    fs::current_path(saved);
    device->drop();
    std::printf("standin: %d actors of %d frames in %s/data/actors\n", STANDIN_ACTORS, STANDIN_FRAMES, dir);
    return 0;
}

// The listener's side of the sync figures: records what the sound server plays (the monitor of
// its sink, named by TUMELORA_BENCH_MONITOR) and finds the clicks of the click song in it, each
// with the monotonic time at which it was played.
class ClickListener {
public:
    // Starts recording; false (with a message) when the server cannot be reached.
    bool start() {
        const char* monitor = std::getenv("TUMELORA_BENCH_MONITOR");
        pa_sample_spec format{PA_SAMPLE_S16LE, 44100, 2};
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.fragsize = uint32_t(LISTEN_CHUNK_FRAMES * 4);
        int error = 0;
        pa = pa_simple_new(nullptr, "tumelora-bench", PA_STREAM_RECORD, monitor, "listener", &format, nullptr,
                           &attr, &error);
        if (!pa) {
            std::fprintf(stderr, "bench_program: cannot record from the sound server: %s\n", pa_strerror(error));
            return false;
        }
        thread = std::thread([this] { listen(); });
        return true;
    }
    // How much slower than 44100 frames a second of the system clock the server played, as a
    // share (negative: faster); known after stop.
    double rateError = 0;
    // One click heard: when it started (monotonic s), which click of the song it is, and the
    // recording's frame at its start (the server's own clock, 44100 frames a second).
    struct Click {
        double t;
        int index;
        double frame;
    };
    // Stops recording; every whole click heard, in order of the song.
    std::vector<Click> stop() {
        quit = true;
        if (thread.joinable()) thread.join();
        if (pa) pa_simple_free(pa);
        pa = nullptr;
        // Each click's index is the one nearest after the previous click's with the code its
        // length gives; a click that is not after its predecessor or not before its successor
        // (a misread) is left out.
        std::vector<Click> clicks;
        int previous = -1;
        for (const HeardClick& h : heard) {
            const int ahead = ((h.code - (previous + 1)) % CLICK_CODES + CLICK_CODES) % CLICK_CODES;
            const int index = previous + 1 + (ahead > CLICK_CODES / 2 ? ahead - CLICK_CODES : ahead);
            clicks.push_back({h.t, index, h.frame});
            previous = index;
        }
        std::vector<Click> kept;
        for (size_t i = 0; i < clicks.size(); ++i) {
            if (!kept.empty() && clicks[i].index <= kept.back().index) continue;
            if (i + 1 < clicks.size() && clicks[i + 1].index <= clicks[i].index) continue;
            kept.push_back(clicks[i]);
        }
        return kept;
    }

private:
    // The server plays at a steady rate of its own clock, so frame n of the recording was played
    // at t0 + n * s, s being about 1 / 44100 s. A read returns no earlier than its last frame was
    // played (often later, when the process was not scheduled or the server hands over several
    // fragments at once), so the reads lie on or above that line and touch it now and then. The
    // line is fitted through the earliest read of every stretch of LISTEN_FIT_SECONDS: its rate
    // too, as the server's clock need not keep the system's (PulseAudio's null sink plays about
    // 0.04 % fast), and assuming 44100 frames a second put the clicks up to 20 ms off over a song.
    void listen() {
        std::vector<int16_t> chunk(LISTEN_CHUNK_FRAMES * 2);
        // Onset and last loud frame of every click heard.
        std::vector<std::pair<size_t, size_t>> spans;
        size_t frames = 0, quietSince = 0;
        bool quiet = true;
        // The earliest (read time - frames / 44100) and its frame count, per stretch.
        std::vector<std::pair<double, double>> lows;  // frames, seconds
        double stretchStart = now();
        while (!quit) {
            int error = 0;
            if (pa_simple_read(pa, chunk.data(), chunk.size() * 2, &error) < 0) break;
            for (size_t i = 0; i < LISTEN_CHUNK_FRAMES; ++i, ++frames) {
                const bool loud = std::abs(int(chunk[i * 2])) > CLICK_THRESHOLD;
                if (loud && quiet && double(frames - quietSince) >= CLICK_QUIET_S * 44100.0)
                    spans.push_back({frames, frames});
                if (loud && !spans.empty()) spans.back().second = frames;
                if (loud) quiet = false;
                else if (!quiet) {
                    quiet = true;
                    quietSince = frames;
                }
            }
            const double t = now();
            const double ahead = t - double(frames) / 44100.0;
            if (lows.empty() || t - stretchStart >= LISTEN_FIT_SECONDS) {
                lows.push_back({double(frames), ahead});
                stretchStart = t;
            } else if (ahead < lows.back().second) {
                lows.back() = {double(frames), ahead};
            }
        }
        // Least squares through the stretches' earliest points: (read - n / 44100) = a + b n.
        double a = 0, b = 0;
        bench::fitLine(lows, a, b);
        const auto fitted = [a, b](size_t n) { return a + b * double(n) + double(n) / 44100.0; };
        rateError = b * 44100.0;
        // A click's code from the length of its loud part; parts of a click cut by a gap
        // match no code and are left out.
        for (const auto& [onset, last] : spans) {
            const double ms = double(last - onset + 1) * 1000.0 / 44100.0;
            const double steps = (ms + CLICK_TAIL_MS / 2.0 - CLICK_MIN_MS) / CLICK_CODE_STEP_MS;
            const int code = int(std::lround(steps));
            if (code < 0 || code >= CLICK_CODES || std::fabs(steps - code) > CLICK_TAIL_MS / 2.0) continue;
            heard.push_back({fitted(onset), code, double(onset)});
        }
    }

    pa_simple* pa = nullptr;
    std::thread thread;
    std::atomic<bool> quit{false};
    // Onset (monotonic s), code and onset frame of every whole click.
    struct HeardClick {
        double t;
        int code;
        double frame;
    };
    std::vector<HeardClick> heard;
};

// Writes the click song: a short loud tone burst every CLICK_EVERY_MS, silence between.
int runSong(const char* path, double seconds) {
    if (seconds <= 0) {
        FSOUND_STREAM* music = FSOUND_Stream_Open(MUSIC_FILE, FSOUND_MPEGACCURATE, 0, 0);
        seconds = music ? FSOUND_Stream_GetLengthMs(music) / 1000.0 : 0.0;
        FSOUND_Stream_Close(music);
        if (seconds <= 0) {
            std::fprintf(stderr, "bench_program: no %s to take the length from\n", MUSIC_FILE);
            return 1;
        }
    }
    constexpr int rate = 44100;
    const size_t frames = size_t(seconds * rate);
    std::vector<float> samples(frames * 2, 0.f);
    const size_t every = size_t(CLICK_EVERY_FRAMES * rate / FRAMES_PER_SECOND);
    for (size_t start = 0, k = 0; start + every < frames; start += every, ++k) {
        const double ms = CLICK_MIN_MS + double(k % CLICK_CODES) * CLICK_CODE_STEP_MS;
        const size_t length = size_t(ms * rate / 1000);
        for (size_t i = 0; i < length; ++i)
            samples[(start + i) * 2] = samples[(start + i) * 2 + 1] =
                float(0.7 * std::sin(2.0 * M_PI * CLICK_HZ * double(i) / rate));
    }
    const std::vector<unsigned char> bytes = vorbiswriter::encode(rate, 2, samples, 0.5f);
    std::FILE* f = std::fopen(path, "wb");
    const bool ok = f && !bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (f) std::fclose(f);
    if (!ok) {
        std::fprintf(stderr, "bench_program: cannot write %s\n", path);
        return 1;
    }
    std::printf("song: %.1f s of clicks every %.0f ms in %s\n", seconds, CLICK_EVERY_MS, path);
    return 0;
}

// True when the OpenGL renderer named draws in software on the CPU (Mesa's llvmpipe, softpipe,
// swrast, OpenSWR).
bool softwareRenderer(const std::string& renderer) {
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SWR"})
        if (renderer.find(name) != std::string::npos) return true;
    return false;
}

// Plays the animation with the click song as its music through the sound server and compares,
// click by click, the music heard (the click's place in the song) with the frame shown at that
// moment, and the music heard with the wall clock. With stallAt > 0 the sound device is held
// for STALL_MS at that second of playback, and the time until the two are together again is
// reported. busy: another program keeps every core busy (the target of the distance then
// depends on where OpenGL draws, see SOFTWARE_BUSY_FRAMES).
int runSync(double seconds, const std::string& label, double stallAt, bool busy) {
    struct Shown {
        double t;
        int frame;
        double heardMs;  // the program's own estimate of the music heard at t (-1: none)
    };
    std::vector<Shown> shown;
    std::vector<double> syncWaits;  // ms the X server still needed after each swap
    ClickListener listener;
    if (!listener.start()) return 1;
    double start = 0, stallStart = 0, stallEnd = 0, songMs = 0;
    std::string renderer;
    std::vector<Iteration> longIterations;
    // The sound device: its buffer, the longest wait between its callbacks and the callbacks
    // that found the decoder behind, over the playback.
    int bufferFrames = 0;
    double longestCallbackGapMs = 0;
    uint64_t starvedAtStart = 0, starved = 0;
    // Processor time the host took from the machine over the playback (steal), in ms.
    double stolenAtStart = 0, stolenDuring = 0;
    std::thread stall;
    const bool ok = runLikeProgram([&](BenchApplication* app, MainState* state) {
        app->onFrame = [&, app, state] {
            if (renderer.empty()) {
                const GLubyte* name = glGetString(GL_RENDERER);
                renderer = name ? reinterpret_cast<const char*>(name) : "unknown";
            }
            if (!StateAccess(*state).playing() || !musicStream) {
                if (start != 0) app->setRunning(false);
                return;
            }
            // The picture is on screen once the X server has taken it: the swap has sent it,
            // the round trip makes sure the server has drawn it into the screen.
            const video::SExposedVideoData& x = app->driver()->getExposedVideoData();
            const double beforeSync = now();
            if (x.OpenGLLinux.X11Display) XSync(static_cast<_XDisplay*>(x.OpenGLLinux.X11Display), 0);
            const double t = now();
            syncWaits.push_back((t - beforeSync) * 1000.0);
            if (start == 0) {
                start = t;
                songMs = FSOUND_Stream_GetLengthMs(musicStream);
                tumeloraSoundTakeLongestCallbackGapMs();
                starvedAtStart = tumeloraSoundStarvedCallbacks();
                stolenAtStart = stolenMs();
            }
            stolenDuring = stolenMs() - stolenAtStart;
            longestCallbackGapMs = std::max(longestCallbackGapMs, tumeloraSoundTakeLongestCallbackGapMs());
            starved = tumeloraSoundStarvedCallbacks() - starvedAtStart;
            bufferFrames = tumeloraSoundBufferFrames();
            double heardMs = -1;
            if (!tumeloraStreamHeardMs(musicStream, &heardMs)) heardMs = -1;
            shown.push_back({t, StateAccess(*state).currentFrame(), heardMs});
            if (stallAt > 0 && stallStart == 0 && t - start >= stallAt) {
                stallStart = t;
                stall = std::thread([&stallEnd] {
                    tumeloraSoundStallDevice(int(STALL_MS));
                    stallEnd = now();
                });
            }
            if (t - start >= seconds) app->setRunning(false);
        };
        app->longIterations = &longIterations;
    });
    if (stall.joinable()) stall.join();
    const std::vector<ClickListener::Click> clicks = listener.stop();
    if (!ok || shown.size() < 2) return 1;
    std::printf("sync (%s): the sound server's clock ran %.0f ppm %s than the system's\n", label.c_str(),
                std::fabs(listener.rateError) * 1e6, listener.rateError < 0 ? "faster" : "slower");
    // Clicks the song played in that time; the figures need most of them heard whole (music
    // lost by the sound server or misread clicks are left out, not guessed).
    const double played = (shown.back().t - start) * 1000.0;
    const double stalled = stallAt > 0 ? STALL_MS : 0.0;
    const size_t expected = size_t(std::min(played - stalled, songMs - CLICK_MAX_MS) / CLICK_EVERY_MS) + 1;
    constexpr double MIN_HEARD_SHARE = 0.9;
    // Shown - heard per click, in whole frames (the k-th click starts the song's frame
    // k * CLICK_EVERY_FRAMES), so that one frame apart is exactly one frame.
    std::vector<int> apartFrames;
    std::vector<double> apart;  // the same in ms
    std::vector<double> heardAt;
    for (const ClickListener::Click& click : clicks) {
        const double t = click.t;
        auto it = std::upper_bound(shown.begin(), shown.end(), t, [](double v, const Shown& s) { return v < s.t; });
        if (it == shown.begin() || it == shown.end()) continue;
        apartFrames.push_back((it - 1)->frame - click.index * CLICK_EVERY_FRAMES);
        apart.push_back(apartFrames.back() * FRAME_MS);
        heardAt.push_back(t);
    }
    // The program's estimate of the heard music against the recording, at each picture: the
    // music heard at t is the last click's place in the song plus the time since it.
    std::vector<double> clockErrors;
    for (const Shown& s : shown) {
        if (s.heardMs < 0 || (s.t - start) * 1000.0 < SETTLE_MS) continue;
        if (stallAt > 0 && s.t >= stallStart) continue;
        auto it = std::upper_bound(clicks.begin(), clicks.end(), s.t,
                                   [](double v, const ClickListener::Click& c) { return v < c.t; });
        if (it == clicks.begin()) continue;
        const double since = (s.t - (it - 1)->t) * 1000.0;
        if (since >= CLICK_EVERY_MS) continue;  // a gap in the sound: the place is unknown
        clockErrors.push_back(s.heardMs - (double((it - 1)->index) * CLICK_EVERY_MS + since));
    }
    if (!clockErrors.empty()) {
        std::sort(clockErrors.begin(), clockErrors.end());
        std::printf("sync (%s): the program's heard position - the recorded one: median %+.1f ms, 1 %% %+.1f ms, "
                    "99 %% %+.1f ms\n",
                    label.c_str(), clockErrors[clockErrors.size() / 2], clockErrors[clockErrors.size() / 100],
                    clockErrors[clockErrors.size() * 99 / 100]);
    }
    // How long each picture stayed on screen: the picture cannot be nearer the music than
    // half of that.
    std::vector<double> gaps;
    for (size_t i = 1; i < shown.size(); ++i) gaps.push_back((shown[i].t - shown[i - 1].t) * 1000.0);
    std::sort(gaps.begin(), gaps.end());
    std::printf("sync (%s): a picture stayed up for %.1f ms (median), %.1f ms (99 %%), %.1f ms (longest)\n",
                label.c_str(), gaps[gaps.size() / 2], gaps[gaps.size() * 99 / 100], gaps.back());
    std::sort(syncWaits.begin(), syncWaits.end());
    std::printf("sync (%s): the X server took a picture %.2f ms (median), %.2f ms (99 %%) after the swap\n",
                label.c_str(), syncWaits[syncWaits.size() / 2], syncWaits[syncWaits.size() * 99 / 100]);
    if (std::getenv("TUMELORA_BENCH_DEBUG"))
        for (size_t i = 0; i < apart.size(); ++i)
            std::printf("click %zu heard %.1f ms apart %+.1f\n", i, (heardAt[i] - start) * 1000.0, apart[i]);
    double worst = 0, sum = 0;
    int worstFrames = 0;
    size_t counted = 0, beyond = 0;
    std::vector<double> distances;
    for (size_t i = 0; i < apart.size(); ++i) {
        if ((heardAt[i] - start) * 1000.0 < SETTLE_MS) continue;
        if (stallAt > 0 && heardAt[i] >= stallStart) continue;
        distances.push_back(std::fabs(apart[i]));
        worst = std::max(worst, std::fabs(apart[i]));
        worstFrames = std::max(worstFrames, std::abs(apartFrames[i]));
        sum += apart[i];
        ++counted;
        beyond += std::abs(apartFrames[i]) > 1;
    }
    std::printf("sync (%s): %zu clicks heard over %.1f s of playback (%zu expected), %zu compared; shown - "
                "heard: mean %+.2f ms, largest |difference| %.2f ms, %zu beyond one frame\n",
                label.c_str(), clicks.size(), played / 1000.0, expected, counted,
                counted ? sum / double(counted) : 0.0, worst, beyond);
    if (!distances.empty()) {
        std::sort(distances.begin(), distances.end());
        std::printf("sync (%s): |shown - heard| median %.1f ms, 90 %% %.1f ms, 99 %% %.1f ms\n", label.c_str(),
                    distances[distances.size() / 2], distances[distances.size() * 9 / 10],
                    distances[distances.size() * 99 / 100]);
    }
    const bool countOk = double(clicks.size()) >= MIN_HEARD_SHARE * double(expected) && clicks.size() <= expected + 2;
    // The music heard against the clocks, from the first click after the first second to the
    // last: how far it fell behind the server's clock (the silence the server played because
    // the music came late: dropouts) and behind the wall clock (that, and the server's own
    // rate; this one rests on the fitted timeline, which a starved listener can bend).
    double behindMs = 0, wallMs = 0, behindServerMs = 0, serverMs = 0, silenceMs = 0, longestDropoutMs = 0;
    int dropouts = 0;
    {
        const ClickListener::Click* first = nullptr;
        const ClickListener::Click* previous = nullptr;
        for (const ClickListener::Click& c : clicks) {
            if ((c.t - start) * 1000.0 < SETTLE_MS) continue;
            if (!first) first = &c;
            if (previous) {
                const double gap = (c.frame - previous->frame) * 1000.0 / 44100.0 -
                                   double(c.index - previous->index) * CLICK_EVERY_MS;
                if (gap > DROPOUT_MIN_MS) {
                    silenceMs += gap;
                    ++dropouts;
                    longestDropoutMs = std::max(longestDropoutMs, gap);
                }
            }
            previous = &c;
        }
        if (first && previous) {
            const double songSpan = double(previous->index - first->index) * CLICK_EVERY_MS;
            wallMs = (previous->t - first->t) * 1000.0;
            behindMs = wallMs - songSpan;
            serverMs = (previous->frame - first->frame) * 1000.0 / 44100.0;
            behindServerMs = serverMs - songSpan;
        }
    }
    const double behindPercent = serverMs > 0 ? behindServerMs * 100.0 / serverMs : 0.0;
    std::printf("sync (%s): the music heard fell %+.1f ms behind the server's clock over %.1f s (%+.3f %%): %d "
                "dropouts (silence between clicks) of %.1f ms in all, the longest %.1f ms; against the wall clock "
                "%+.1f ms (%+.3f %%)\n",
                label.c_str(), behindServerMs, serverMs / 1000.0, behindPercent, dropouts, silenceMs,
                longestDropoutMs, behindMs, wallMs > 0 ? behindMs * 100.0 / wallMs : 0.0);
    std::printf("sync (%s): device buffers of %d frames (%.1f ms); audio callbacks at most %.1f ms apart; %llu found "
                "the decoder behind\n",
                label.c_str(), bufferFrames, bufferFrames * 1000.0 / 44100.0, longestCallbackGapMs,
                static_cast<unsigned long long>(starved));
    const unsigned cores = std::thread::hardware_concurrency();
    const bool software = softwareRenderer(renderer);
    const int targetFrames =
        busy && software && cores <= SOFTWARE_BUSY_MAX_CORES ? SOFTWARE_BUSY_TARGET_FRAMES : SYNC_TARGET_FRAMES;
    std::printf("sync (%s): OpenGL renderer %s (%s), %u cores: the target is %d frame%s\n", label.c_str(),
                renderer.c_str(), software ? "software" : "GPU", cores, targetFrames, targetFrames > 1 ? "s" : "");
    std::printf("sync (%s): the host took %.1f %% of the processors' time over the playback (steal)\n", label.c_str(),
                played > 0 && cores > 0 ? stolenDuring * 100.0 / (played * cores) : 0.0);
    printLongIterations(label, longIterations, start);
    if (stallAt <= 0 && label == "idle machine") {
        const long hwm = bench::statusKiB("VmHWM");
        std::printf("memory: peak resident %.1f MiB over the whole playback\n", double(hwm) / 1024.0);
        bench::row("3 peak memory of the animation (whole playback), MiB", bench::format("%.1f", double(hwm) / 1024.0),
                   "-", "-", "report", "-");
    }
    if (stallAt <= 0) {
        bench::row(bench::format("4 |heard music - shown frame| after the first second, %s, %s OpenGL, ms",
                                 label.c_str(), software ? "software" : "GPU"),
                   bench::format("%.2f", worst), "-", "-", bench::format("<= %.1f", targetFrames * FRAME_MS),
                   worstFrames <= targetFrames && countOk && counted > 0 ? "met" : "MISSED");
        bench::row(bench::format("4 music heard behind the sound server's clock (dropouts), %s, %%", label.c_str()),
                   bench::format("%+.3f (%d dropouts, %.0f ms)", behindPercent, dropouts, silenceMs), "-", "-",
                   bench::format("<= %.1f", MUSIC_BEHIND_MAX_PERCENT),
                   behindPercent <= MUSIC_BEHIND_MAX_PERCENT && serverMs > 0 ? "met" : "MISSED");
        return 0;
    }
    // Together again: from the end of the stall to the first click heard within one frame of
    // the frame shown.
    double together = -1;
    for (size_t i = 0; i < apart.size() && together < 0; ++i)
        if (heardAt[i] >= stallEnd && std::abs(apartFrames[i]) <= 1) together = (heardAt[i] - stallEnd) * 1000.0;
    double worstAfter = 0;
    for (size_t i = 0; i < apart.size(); ++i)
        if (heardAt[i] >= stallStart && heardAt[i] < stallEnd + 1.0) worstAfter = std::max(worstAfter, std::fabs(apart[i]));
    std::printf("sync (%s): device held %.0f ms at %.1f s; largest |difference| within a second after it "
                "%.2f ms; together again %.0f ms after it\n",
                label.c_str(), (stallEnd - stallStart) * 1000.0, stallStart - start, worstAfter, together);
    bench::row(bench::format("4 together again after a %.0f ms device stall, ms", STALL_MS),
               together < 0 ? "never" : bench::format("%.0f", together), "-", "-", "<= 500",
               together >= 0 && together <= 500.0 ? "met" : "MISSED");
    return 0;
}

// Resident memory of the sound layer playing a song: opened, played for a while at its start
// and near its end; prints "memory KiB" for bench/run to compare songs of different lengths.
int runMemory(const char* path) {
    if (!FSOUND_Init(44100, 32, 0)) {
        std::fprintf(stderr, "bench_program: no audio device (error %d)\n", FSOUND_GetError());
        return 1;
    }
    FSOUND_STREAM* music = FSOUND_Stream_Open(path, FSOUND_MPEGACCURATE, 0, 0);
    if (!music) {
        std::fprintf(stderr, "bench_program: cannot open %s (error %d)\n", path, FSOUND_GetError());
        return 1;
    }
    FSOUND_Stream_Play(0, music);
    usleep(MEMORY_PLAY_US);
    FSOUND_Stream_SetTime(music, std::max(0, FSOUND_Stream_GetLengthMs(music) - 3000));
    usleep(MEMORY_PLAY_US);
    const long rss = bench::statusKiB("VmRSS"), hwm = bench::statusKiB("VmHWM");
    std::printf("memory %ld %ld KiB resident now and at most, %d s of music\n", rss, hwm,
                FSOUND_Stream_GetLengthMs(music) / 1000);
    FSOUND_Stream_Close(music);
    FSOUND_Close();
    return 0;
}

// A mouse event for the application.
SEvent mouseEvent(EMOUSE_INPUT_EVENT what, int x, int y) {
    SEvent e{};
    e.EventType = EET_MOUSE_INPUT_EVENT;
    e.MouseInput.Event = what;
    e.MouseInput.X = x;
    e.MouseInput.Y = y;
    e.MouseInput.Wheel = 0.f;
    e.MouseInput.ButtonStates = what == EMIE_LMOUSE_PRESSED_DOWN ? EMBSM_LEFT : 0;
    return e;
}

// The endurance script: a queue of actions, one per drawn frame, refilled with the next
// editing cycle whenever it runs dry.
class EditScript {
public:
    EditScript(BenchApplication* app, MainState* state) : app(app), view(*state) {}

    // Runs the next action.
    void step() {
        if (next >= actions.size()) {
            actions.clear();
            next = 0;
            buildCycle();
        }
        actions[next++]();
    }

    int cycles = 0, saves = 0, drags = 0, sliderEdits = 0, plays = 0, records = 0, selections = 0;

private:
    void send(EMOUSE_INPUT_EVENT what, int x, int y) { app->OnEvent(mouseEvent(what, x, y)); }
    void later(std::function<void()> f) { actions.push_back(std::move(f)); }
    void wait(int frames) {
        for (int i = 0; i < frames; ++i) later([] {});
    }
    // A press and release at (x, y), the pointer moved there first.
    void click(int x, int y) {
        later([this, x, y] {
            send(EMIE_MOUSE_MOVED, x, y);
            send(EMIE_LMOUSE_PRESSED_DOWN, x, y);
        });
        later([this, x, y] { send(EMIE_LMOUSE_LEFT_UP, x, y); });
    }
    // A drag from (x0, y0) by (dx, dy) over the given frames.
    void drag(int x0, int y0, int dx, int dy, int frames) {
        later([this, x0, y0] {
            send(EMIE_MOUSE_MOVED, x0, y0);
            send(EMIE_LMOUSE_PRESSED_DOWN, x0, y0);
        });
        for (int i = 1; i <= frames; ++i)
            later([this, x0, y0, dx, dy, i, frames] {
                send(EMIE_MOUSE_MOVED, x0 + dx * i / frames, y0 + dy * i / frames);
            });
        later([this, x0, y0, dx, dy] { send(EMIE_LMOUSE_LEFT_UP, x0 + dx, y0 + dy); });
    }
    // Centre of the transport button in row `row` (half rows while playing), column col.
    core::vector2di button(float row, int col) const {
        const float w = view.buttonSkin()->width(), h = view.buttonSkin()->height();
        return core::vector2di(int(float(col) * (w + ROW_GAP) + w / 2.f),
                               int(row * (h + ROW_GAP) + h / 2.f));
    }
    // Screen position of the first actor at the current frame.
    core::vector2di actorAt(size_t index) const {
        if (view.actors().empty()) return core::vector2di(640, 360);
        Actor* a = view.actors()[index % view.actors().size()];
        const core::vector2df p = sceneToScreen(a->poseAt(view.currentFrame()).position);
        return core::vector2di(int(p.X), int(p.Y));
    }

    void buildCycle() {
        ++cycles;
        const size_t who = size_t(cycles);
        const core::vector2di rewind = button(0.f, 1), play = button(0.f, 0), rec = button(1.f, 0);
        const core::vector2di stop = button(0.5f, 0);
        const float rowStep = view.buttonSkin()->height() + ROW_GAP;
        const core::vector2di save(int(view.buttonSkin()->width() / 2.f),
                                   int(STAGE_H - rowStep + view.buttonSkin()->height() / 2.f));
        // Stop whatever plays (playback runs from the start), rewind, select an actor, drag it.
        later([this, stop] {
            if (!view.playing() && !view.recording()) return;
            send(EMIE_MOUSE_MOVED, stop.X, stop.Y);
            send(EMIE_LMOUSE_PRESSED_DOWN, stop.X, stop.Y);
            send(EMIE_LMOUSE_LEFT_UP, stop.X, stop.Y);
        });
        click(rewind.X, rewind.Y);
        later([this, who] {
            const core::vector2di p = actorAt(who);
            send(EMIE_MOUSE_MOVED, p.X, p.Y);
            send(EMIE_LMOUSE_PRESSED_DOWN, p.X, p.Y);
        });
        later([this, who] {
            const core::vector2di p = actorAt(who);
            send(EMIE_LMOUSE_LEFT_UP, p.X, p.Y);
            if (view.selectedActor()) ++selections;
        });
        later([this, who] {
            const core::vector2di p = actorAt(who);
            const Actor* a = view.selectedActor();
            const float before = a ? a->poseAt(view.currentFrame()).position.X : 0.f;
            send(EMIE_MOUSE_MOVED, p.X, p.Y);
            send(EMIE_LMOUSE_PRESSED_DOWN, p.X, p.Y);
            for (int i = 1; i <= 20; ++i) send(EMIE_MOUSE_MOVED, p.X + i * 2, p.Y + i);
            send(EMIE_LMOUSE_LEFT_UP, p.X + 40, p.Y + 20);
            if (a && a->poseAt(view.currentFrame()).position.X != before) ++drags;
        });
        // Edit the selected actor's X slider (the first property row, below the stage).
        later([this] {
            const Actor* a = view.selectedActor();
            if (!a || !view.font()) return;
            const float thumbH = view.image(SKIN_SLIDER_THUMB)->height();
            const int y = int(STAGE_H + thumbH + ROW_GAP + view.font()->scaledLineHeight(LABEL_SCALE) +
                              thumbH / 2.f);
            const float before = a->poseAt(view.currentFrame()).position.X;
            for (int x : {300, 320, 340, 360}) {
                send(EMIE_MOUSE_MOVED, x, y);
                send(EMIE_LMOUSE_PRESSED_DOWN, x, y);
                send(EMIE_MOUSE_MOVED, x + 25, y);
                send(EMIE_LMOUSE_LEFT_UP, x + 25, y);
            }
            if (a->poseAt(view.currentFrame()).position.X != before) ++sliderEdits;
        });
        // Play for two seconds, stop.
        click(play.X, play.Y);
        later([this] { plays += view.playing() ? 1 : 0; });
        wait(2 * FRAMES_PER_SECOND);
        click(stop.X, stop.Y);
        // Rewind, record two seconds while dragging, stop.
        click(rewind.X, rewind.Y);
        click(rec.X, rec.Y);
        later([this] { records += view.recording() ? 1 : 0; });
        drag(640, 360, 120, -60, 2 * FRAMES_PER_SECOND);
        click(stop.X, stop.Y);
        // Save; counted when the first actor's data file was really rewritten.
        later([this] { savedAt = dataFileTime(); });
        click(save.X, save.Y);
        later([this] {
            if (dataFileTime() != savedAt) ++saves;
        });
        click(rewind.X, rewind.Y);
        wait(10);
    }

    // Modification time of the first actor's data file (the epoch when there is none).
    fs::file_time_type dataFileTime() const {
        std::error_code ec;
        if (view.actors().empty()) return {};
        const fs::file_time_type t = fs::last_write_time(view.actors()[0]->dataPath(), ec);
        return ec ? fs::file_time_type{} : t;
    }

    BenchApplication* app;
    StateAccess view;  // what the script reads of the state
    fs::file_time_type savedAt{};
    std::vector<std::function<void()>> actions;
    size_t next = 0;
};

int runEndurance(double seconds) {
    std::vector<std::pair<double, long>> rss;
    double start = 0, last = 0;
    EditScript* script = nullptr;
    int actorCount = 0;
    bool endedEarly = true;
    const bool ok = runLikeProgram([&](BenchApplication* app, MainState* state) {
        script = new EditScript(app, state);
        actorCount = int(StateAccess(*state).actors().size());
        app->onFrame = [&, app] {
            const double t = now();
            if (start == 0) start = last = t;
            script->step();
            if (t - last >= 1.0 || rss.empty()) {
                rss.emplace_back(t - start, bench::statusKiB("VmRSS"));
                last = t;
            }
            if (t - start >= seconds) {
                endedEarly = false;
                app->setRunning(false);
            }
        };
    });
    if (!ok) return 1;
    const double ran = rss.empty() ? 0 : rss.back().first;
    const double warmup = std::min(ENDURANCE_WARMUP_SECONDS, seconds / 3.0);
    long atWarmup = -1, maxAfter = -1, atEnd = rss.empty() ? -1 : rss.back().second;
    for (const auto& [t, kib] : rss) {
        if (t < warmup) continue;
        if (atWarmup < 0) atWarmup = kib;
        maxAfter = std::max(maxAfter, kib);
    }
    std::printf("endurance: %.0f s%s, %d actors, %d cycles: %d selections, %d drags, %d slider "
                "edits, %d plays, %d recordings, %d saves\n",
                ran, endedEarly ? " (the program ended early)" : "", actorCount, script->cycles,
                script->selections, script->drags, script->sliderEdits, script->plays,
                script->records, script->saves);
    std::printf("endurance: resident %.1f MiB at %.0f s, largest later %.1f MiB, at the end %.1f MiB\n",
                double(atWarmup) / 1024.0, warmup, double(maxAfter) / 1024.0, double(atEnd) / 1024.0);
    const long growth = maxAfter - atWarmup;
    bench::row(bench::format("5 RSS growth after %.0f s, %.0f s editing, KiB", warmup, ran),
               bench::format("%ld", growth), bench::format("%ld", atWarmup), "-",
               bench::format("<= %ld", FLAT_TOLERANCE_KIB),
               growth <= FLAT_TOLERANCE_KIB && !endedEarly ? "met" : "MISSED");
    delete script;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    double seconds = -1;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atof(argv[i + 1]);
    if (mode == "standin" && argc > 2) return runStandin(argv[2]);
    std::string label = "idle machine";
    double stallAt = -1;
    for (int i = 2; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--label") == 0) label = argv[i + 1];
        if (std::strcmp(argv[i], "--stall-at") == 0) stallAt = std::atof(argv[i + 1]);
    }
    bool busy = false;
    for (int i = 2; i < argc; ++i)
        if (std::strcmp(argv[i], "--busy") == 0) busy = true;
    if (mode == "sync") return runSync(seconds > 0 ? seconds : SYNC_SECONDS, label, stallAt, busy);
    if (mode == "song" && argc > 2) return runSong(argv[2], seconds);
    if (mode == "memory" && argc > 2) return runMemory(argv[2]);
    if (mode == "endurance") return runEndurance(seconds > 0 ? seconds : ENDURANCE_SECONDS);
    std::fprintf(stderr,
                 "usage: bench_program standin DIR | song OUT.ogg [--seconds S] | sync [--seconds S] [--label "
                 "TEXT] [--busy] [--stall-at S] | memory SONG.ogg | endurance [--seconds S]\n");
    return 2;
}
