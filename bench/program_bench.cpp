// bench_program MODE [--seconds S]: the real main state in the real application loop, run in
// the working directory (which must hold data/ with the font, skins, music and data/actors/).
//   standin DIR  writes a stand-in animation into DIR/data/actors/ (pictures and data files)
//   sync         plays the animation; samples, after every drawn frame, the music position
//                (frames the sound layer has handed to the device, in ms) against
//                currentFrame * 1000 / 60; also reports the process's peak memory
//   endurance    scripted editing (drags, slider edits, "Play"/"Stop", "Rec", "Save") in one
//                process; resident memory is sampled every second; the state is shut down
//                before it is deleted, so a leak checker at exit sees only real leaks
// sync and endurance need a display (scripts/with-display) and an SDL audio driver
// (SDL_AUDIODRIVER=dummy paces like a device without playing anything).
#include <irrlicht.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "app/Application.h"
#include "app/Program.h"
#include "bench/BenchSupport.h"
#include "platform/FSound.h"
#include "platform/X11Errors.h"
#include "render/Image.h"
#include "states/MainState.h"
#include "text/BitmapFont.h"
#include "ui/ButtonSkin.h"

using namespace irr;
namespace fs = std::filesystem;

namespace {

// One animation frame in milliseconds: the sync target.
constexpr double FRAME_MS = 1000.0 / FRAMES_PER_SECOND;
// Samples of the first second of playback are also left out of one sync figure.
constexpr double SETTLE_MS = 1000.0;
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
constexpr float STAGE_H = 720.f;
// Gap between panel rows.
constexpr float ROW_GAP = 2.f;
// Text scale of the panel's labels (their height offsets the property rows).
constexpr float LABEL_SCALE = 0.5f;

// The main state with its members open to the benchmark.
class BenchState : public MainState {
public:
    using MainState::actors;
    using MainState::buttonSkin;
    using MainState::currentFrame;
    using MainState::font;
    using MainState::frameCount;
    using MainState::images;
    using MainState::playing;
    using MainState::recording;
    using MainState::selectedActor;
};

// The application with a hook after every drawn frame.
class BenchApplication : public Application {
public:
    using Application::Application;
    std::function<void()> onFrame;
    void afterRender() override {
        if (onFrame) onFrame();
    }
};

// The program's device, windowed.
IrrlichtDevice* makeDevice() {
    if (!std::getenv("DISPLAY")) return nullptr;
    installNonFatalXErrorHandler();
    return createProgramDevice(false);
}

// Runs the state like the program does (init, enter, loop, leave, shutdown, delete) with a
// hook after every frame; false when start-up failed.
bool runLikeProgram(const std::function<void(BenchApplication*, BenchState*)>& setUp) {
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
        BenchState* state = new BenchState;
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

// Seconds of the monotonic clock.
double now() { return bench::clockSeconds(CLOCK_MONOTONIC); }

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

int runSync(double seconds) {
    // One sample per drawn frame while playing: wall time, music position, picture time.
    struct Sample {
        double t, music, picture;
    };
    std::vector<Sample> samples;
    long hwmAfterInit = -1;
    double start = 0;
    int actorCount = 0;
    const bool ok = runLikeProgram([&](BenchApplication* app, BenchState* state) {
        hwmAfterInit = bench::statusKiB("VmHWM");
        actorCount = int(state->actors.size());
        app->onFrame = [&samples, &start, app, state, seconds] {
            if (!state->playing || !musicStream) {
                // Playback has reached the last frame (which stops the music): nothing more
                // to sample, and no end of the music will come to end the run.
                if (start != 0) app->setRunning(false);
                return;
            }
            const double t = now();
            if (start == 0) start = t;
            samples.push_back({(t - start) * 1000.0, double(tumeloraStreamPositionMs(musicStream)),
                               double(state->currentFrame) * 1000.0 / FRAMES_PER_SECOND});
            if (t - start >= seconds) app->setRunning(false);
        };
    });
    if (!ok || samples.size() < 2) return 1;
    const double played = samples.back().t / 1000.0;
    double worst = 0, sum = 0;
    for (const Sample& s : samples) {
        worst = std::max(worst, std::fabs(s.music - s.picture));
        sum += s.music - s.picture;
    }
    const double mean = sum / double(samples.size());
    // The same after the first second (the first frames also pay one-time costs, such as the
    // OpenGL driver compiling its shaders on first use).
    double worstLater = 0;
    for (const Sample& s : samples)
        if (s.t >= SETTLE_MS) worstLater = std::max(worstLater, std::fabs(s.music - s.picture));
    // Rates against the wall clock (least squares): a device that runs slow or fast shows
    // here, apart from how the program keeps the two in step.
    auto rate = [&](double Sample::*field) {
        double st = 0, sv = 0, stt = 0, stv = 0;
        for (const Sample& s : samples) {
            st += s.t;
            sv += s.*field;
            stt += s.t * s.t;
            stv += s.t * (s.*field);
        }
        const double n = double(samples.size());
        return (n * stv - st * sv) / (n * stt - st * st);
    };
    const double musicRate = rate(&Sample::music), pictureRate = rate(&Sample::picture);
    // The music position moves in whole device buffers: its largest step between two samples.
    double musicStep = 0;
    int beyondFrame = 0;
    for (size_t i = 1; i < samples.size(); ++i)
        musicStep = std::max(musicStep, samples[i].music - samples[i - 1].music);
    for (const Sample& s : samples) beyondFrame += std::fabs(s.music - s.picture) > FRAME_MS;
    // Each side against the wall clock: the largest distance of (position - wall time) from
    // its mean. The picture is the program's fixed-step clock; the music is the device's.
    // Also where the worst one was, and the longest gap between two drawn frames (a process
    // that is not scheduled draws nothing).
    double worstAt = 0, longestGap = 0;
    auto wander = [&](double Sample::*field) {
        double mean = 0, worst = 0;
        for (const Sample& s : samples) mean += s.*field - s.t;
        mean /= double(samples.size());
        for (const Sample& s : samples) {
            const double w = std::fabs(s.*field - s.t - mean);
            if (w > worst) {
                worst = w;
                worstAt = s.t;
            }
        }
        return worst;
    };
    for (size_t i = 1; i < samples.size(); ++i)
        longestGap = std::max(longestGap, samples[i].t - samples[i - 1].t);
    const double musicWander = wander(&Sample::music);
    const double pictureWander = wander(&Sample::picture);
    std::printf("sync: the picture strayed furthest from the wall clock (%.1f ms) at %.1f s; the "
                "longest gap between two drawn frames was %.1f ms\n",
                pictureWander, worstAt / 1000.0, longestGap);
    std::printf("sync: %zu frames over %.1f s of playback, %d actors; music - picture: mean %+.2f "
                "ms, largest |difference| %.2f ms; at the end music %.0f ms, picture %.0f ms\n",
                samples.size(), played, actorCount, mean, worst, samples.back().music,
                samples.back().picture);
    std::printf("sync: against the wall clock the music advanced at %.4f and the picture at %.4f "
                "of real time; the music position moved in steps of up to %.1f ms (device "
                "buffers of %.1f ms); %d of %zu frames were more than one frame apart\n",
                musicRate, pictureRate, musicStep, 1024 * 1000.0 / 44100.0, beyondFrame,
                samples.size());
    bench::row(bench::format("4 |music - frame| over %.0f s playback, ms", played),
               bench::format("%.2f", worst), bench::format("%.2f", FRAME_MS), "-", "<= 16.7",
               worst <= FRAME_MS ? "met" : "MISSED");
    bench::row(bench::format("4 |music - frame| after the first second, ms"),
               bench::format("%.2f", worstLater), bench::format("%.2f", FRAME_MS), "-", "<= 16.7",
               worstLater <= FRAME_MS ? "met" : "MISSED");
    bench::row("4 music / picture speed vs wall clock", bench::format("%.4f", musicRate),
               bench::format("%.4f", pictureRate), bench::format("%.4f", musicRate / pictureRate),
               "1", "-");
    bench::row("4 largest wander from the wall clock: music / picture, ms",
               bench::format("%.2f", musicWander), bench::format("%.2f", pictureWander), "-", "-",
               "-");
    const long hwm = bench::statusKiB("VmHWM");
    std::printf("memory: peak resident %.1f MiB after start-up, %.1f MiB at the end\n",
                double(hwmAfterInit) / 1024.0, double(hwm) / 1024.0);
    bench::row(bench::format("3 peak memory, animation of %d actors, MiB", actorCount),
               bench::format("%.1f", double(hwm) / 1024.0), "-", "-", "report", "-");
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
    EditScript(BenchApplication* app, BenchState* state) : app(app), state(state) {}

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
        const float w = state->buttonSkin->width(), h = state->buttonSkin->height();
        return core::vector2di(int(float(col) * (w + ROW_GAP) + w / 2.f),
                               int(row * (h + ROW_GAP) + h / 2.f));
    }
    // Screen position of the first actor at the current frame.
    core::vector2di actorAt(size_t index) const {
        if (state->actors.empty()) return core::vector2di(640, 360);
        Actor* a = state->actors[index % state->actors.size()];
        const core::vector2df p = sceneToScreen(a->poseAt(state->currentFrame).position);
        return core::vector2di(int(p.X), int(p.Y));
    }

    void buildCycle() {
        ++cycles;
        const size_t who = size_t(cycles);
        const core::vector2di rewind = button(0.f, 1), play = button(0.f, 0), rec = button(1.f, 0);
        const core::vector2di stop = button(0.5f, 0);
        const float rowStep = state->buttonSkin->height() + ROW_GAP;
        const core::vector2di save(int(state->buttonSkin->width() / 2.f),
                                   int(STAGE_H - rowStep + state->buttonSkin->height() / 2.f));
        // Stop whatever plays (playback runs from the start), rewind, select an actor, drag it.
        later([this, stop] {
            if (!state->playing && !state->recording) return;
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
            if (state->selectedActor) ++selections;
        });
        later([this, who] {
            const core::vector2di p = actorAt(who);
            const Actor* a = state->selectedActor;
            const float before = a ? a->poseAt(state->currentFrame).position.X : 0.f;
            send(EMIE_MOUSE_MOVED, p.X, p.Y);
            send(EMIE_LMOUSE_PRESSED_DOWN, p.X, p.Y);
            for (int i = 1; i <= 20; ++i) send(EMIE_MOUSE_MOVED, p.X + i * 2, p.Y + i);
            send(EMIE_LMOUSE_LEFT_UP, p.X + 40, p.Y + 20);
            if (a && a->poseAt(state->currentFrame).position.X != before) ++drags;
        });
        // Edit the selected actor's X slider (the first property row, below the stage).
        later([this] {
            const Actor* a = state->selectedActor;
            if (!a || !state->font) return;
            const float thumbH = state->images[SKIN_SLIDER_THUMB]->height();
            const int y = int(STAGE_H + thumbH + ROW_GAP + state->font->scaledLineHeight(LABEL_SCALE) +
                              thumbH / 2.f);
            const float before = a->poseAt(state->currentFrame).position.X;
            for (int x : {300, 320, 340, 360}) {
                send(EMIE_MOUSE_MOVED, x, y);
                send(EMIE_LMOUSE_PRESSED_DOWN, x, y);
                send(EMIE_MOUSE_MOVED, x + 25, y);
                send(EMIE_LMOUSE_LEFT_UP, x + 25, y);
            }
            if (a->poseAt(state->currentFrame).position.X != before) ++sliderEdits;
        });
        // Play for two seconds, stop.
        click(play.X, play.Y);
        later([this] { plays += state->playing ? 1 : 0; });
        wait(2 * FRAMES_PER_SECOND);
        click(stop.X, stop.Y);
        // Rewind, record two seconds while dragging, stop.
        click(rewind.X, rewind.Y);
        click(rec.X, rec.Y);
        later([this] { records += state->recording ? 1 : 0; });
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
        if (state->actors.empty()) return {};
        const fs::file_time_type t = fs::last_write_time(state->actors[0]->dataPath(), ec);
        return ec ? fs::file_time_type{} : t;
    }

    BenchApplication* app;
    BenchState* state;
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
    const bool ok = runLikeProgram([&](BenchApplication* app, BenchState* state) {
        script = new EditScript(app, state);
        actorCount = int(state->actors.size());
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
    if (mode == "sync") return runSync(seconds > 0 ? seconds : SYNC_SECONDS);
    if (mode == "endurance") return runEndurance(seconds > 0 ? seconds : ENDURANCE_SECONDS);
    std::fprintf(stderr, "usage: bench_program standin DIR | sync [--seconds S] | endurance [--seconds S]\n");
    return 2;
}
