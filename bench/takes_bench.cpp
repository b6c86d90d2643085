// bench_takes: how closely a take recorded with "Rec" follows the hand. The real program runs
// in its editing mode on the display ($DISPLAY); this program plays the hand through XTest and
// then reads back what the program saved.
//   take DATA_DIR ACTOR   selects ACTOR (DATA_DIR/actors/ACTOR.png and .data) with a click,
//                         goes to frame 0 (Home), starts "Rec" (R; Shift+R, the half-speed
//                         take, with a --time-scale other than 1), holds the left button on
//                         the stage and moves the pointer along a smooth sine with the time of
//                         every move logged, releases it, stops the take (R), saves (Ctrl+S),
//                         waits for the data file to be rewritten and quits (Escape); then
//                         compares as "analyse" does
//   analyse LOG DATA_FILE compares a saved track with a logged pointer path
// Options: --seconds S (length of the sine, 20), --hz F (0.8), --swing PX (peak to peak, in
// stage pixels, 160), --moves-per-second N (125), --time-scale S (music seconds per wall-clock
// second while recording: 1, or 0.5 for a half-speed take), --expected-offset-ms MS (the shift
// of a take the program is expected to apply, e.g. a performer's calibration: frames are then
// compared with the hand MS earlier), --label TEXT, --log FILE (where take writes its log).
//
// With TUMELORA_BENCH_MONITOR naming the monitor source of the sound server's sink, take also
// listens to what the server plays and learns when each moment of the music (a tone without a
// pause from its first sample) was heard: where the music paused (the sound came late), the
// silence is taken out. Two more rows then compare frame f with the hand at the moment f's
// music was heard plus one fitted shift: the rms distance, and the shift itself (the
// performer's delay, and no more).
//
// The comparison: frame f of the take is compared with the pointer's path (stage pixels,
// interpolated between the logged moves) at the wall-clock time rec + d + f / (60 x scale)
// (scale: the time scale, so a half-speed take's frame f at 2 f / 60 s of wall time),
// where rec is when R was sent and d one constant latency fitted by least squares: the rms
// distance as a share of the swing. A second fit leaves the frame rate free as well: the frames
// per second of wall time, and the alignment at which the frames that step back where the hand
// did not and the longest run of held frames (no motion while the hand moved) are counted.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <irrlicht.h>
#include <pulse/error.h>
#include <pulse/simple.h>
#include <sched.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "actors/Actor.h"
#include "actors/ActorDataFile.h"
#include "bench/BenchSupport.h"
#include "editor/EditorLayout.h"
#include "platform/Timebase.h"

namespace {

// The gesture, by default: a 0.8 Hz sine of 160 stage pixels for 20 s, 125 moves a second.
constexpr double DEFAULT_SECONDS = 20.0;
constexpr double DEFAULT_HZ = 0.8;
constexpr double DEFAULT_SWING_PX = 160.0;
constexpr double DEFAULT_MOVES_PER_SECOND = 125.0;
// The hand rests this long after "Rec" before the button goes down, after the press before it
// moves, and after the motion before the release, in seconds.
constexpr double REST_AFTER_REC_S = 1.5;
constexpr double REST_AFTER_PRESS_S = 0.5;
constexpr double REST_BEFORE_RELEASE_S = 0.5;
// Time between the release and the R that stops the take, in seconds.
constexpr double REST_BEFORE_STOP_S = 0.3;
// Generous limits of the waits for the program, in seconds.
constexpr double WINDOW_WAIT_S = 60.0;
constexpr double SELECT_WAIT_S = 10.0;
constexpr int SELECT_ATTEMPTS = 3;
constexpr double SAVE_WAIT_S = 30.0;
// How often a wait looks again, in seconds.
constexpr double POLL_S = 0.02;
// The selection outline's colour (RRGGBB) and how far each channel may differ.
constexpr unsigned OUTLINE_RGB = 0xFF00FF;
constexpr int OUTLINE_TOLERANCE = 40;
// The hand's real-time priority (SCHED_FIFO) where it may have one: its moves then keep their
// pace on a busy machine, as a real hand would; it sleeps between them.
constexpr int HAND_PRIORITY = 10;
// The window the program opens.
constexpr const char* WINDOW_NAME = "TUMELORA";

// Targets: rms distance within this share of the swing (%), no frame stepping back, no run of
// more held frames than this, frames per second within this share of the nominal rate (%).
constexpr double TARGET_RMS_PERCENT = 1.5;
constexpr int TARGET_STEP_BACKS = 0;
constexpr int TARGET_HELD_RUN = 2;
constexpr double TARGET_RATE_PERCENT = 0.5;
// The frames hold the hand this close (ms) to the expected shift after their music was heard.
constexpr double TARGET_SHIFT_MS = 10.0;
// The monitor is read in chunks of this many frames (2 ms); the music's first loud frame is
// the first above MONITOR_ONSET_LEVEL (the tone's peak is half of full scale), and a pause in
// it is a run of at least MONITOR_GAP_FRAMES frames below MONITOR_GAP_LEVEL (the tone crosses
// zero in one frame).
constexpr size_t MONITOR_CHUNK_FRAMES = 88;
constexpr int MONITOR_ONSET_LEVEL = 1000;
constexpr int MONITOR_GAP_LEVEL = 40;
constexpr int64_t MONITOR_GAP_FRAMES = 8;
// The monitor's timeline is fitted through the earliest read of every stretch of this many s.
constexpr double MONITOR_FIT_S = 2.0;
constexpr double MONITOR_RATE = 44100.0;
// The shift of the frames after their heard music is searched in this range (s).
constexpr double SHIFT_MIN_S = -0.5;
constexpr double SHIFT_MAX_S = 1.0;
// A frame's motion counts (for stepping back, and as the hand's motion that a held frame
// misses) beyond this many stage pixels; a frame is held when it moved less than HELD_PX.
constexpr double MOTION_TOLERANCE_PX = 0.5;
constexpr double HELD_PX = 0.01;
// The constant latency is searched in this range (s) on a grid of LATENCY_STEP_S, then refined.
constexpr double LATENCY_MIN_S = -0.5;
constexpr double LATENCY_MAX_S = 2.0;
constexpr double LATENCY_STEP_S = 0.001;
constexpr double LATENCY_FINE_STEP_S = 0.00005;
// The rate fit: seconds per frame as a factor of the nominal, searched in this range on a
// coarse grid (with every RATE_COARSE_FRAME_STRIDE-th frame) and then refined.
constexpr double RATE_FACTOR_MIN = 0.85;
constexpr double RATE_FACTOR_MAX = 1.15;
constexpr double RATE_COARSE_STEP = 0.001;
constexpr double RATE_COARSE_LATENCY_STEP_S = 0.005;
constexpr int RATE_COARSE_FRAME_STRIDE = 3;
constexpr double RATE_FINE_STEP = 0.00002;
constexpr double RATE_FINE_LATENCY_STEP_S = 0.0005;
// The hand's path is resampled on this grid (s) for the fits.
constexpr double PATH_GRID_S = 0.0005;
// A take whose largest excursion is below this share of the swing recorded nothing.
constexpr double NOTHING_RECORDED_SHARE = 0.5;

// Seconds of the monotonic clock.
double now() { return bench::clockSeconds(CLOCK_MONOTONIC); }

// Sleeps until the monotonic clock reads t (seconds).
void sleepUntil(double t) {
    timespec ts{};
    ts.tv_sec = time_t(std::floor(t));
    ts.tv_nsec = long((t - std::floor(t)) * 1e9);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) != 0) {
    }
}

// Sleeps for s seconds.
void sleepFor(double s) { sleepUntil(now() + s); }

// The options of both commands.
struct Options {
    double seconds = DEFAULT_SECONDS;                  // length of the sine
    double hz = DEFAULT_HZ;                            // its frequency
    double swingPx = DEFAULT_SWING_PX;                 // peak to peak, stage pixels
    double movesPerSecond = DEFAULT_MOVES_PER_SECOND;  // pointer moves sent a second
    double timeScale = 1.0;                            // music seconds per wall-clock second
    double expectedOffsetMs = 0.0;                     // shift the take should carry
    std::string label = "idle";                        // names the rows
    std::string log;                                   // where take writes its log
};

// One logged pointer position: monotonic seconds and window pixels.
struct Move {
    double t;   // monotonic seconds
    int x, y;   // window pixels
};

// What the take did, as written to (and read from) the log.
struct TakeLog {
    double stageX = 0, stageY = 0, stageScale = 1;  // the stage as drawn, window pixels
    double baseX = 0, baseY = 0;                   // the actor's pose before the take, scene units
    double rec = 0;                                // when R was sent
    Move press{}, release{};                      // where and when the button went down and up
    double stop = 0;                              // when R was sent again
    std::vector<Move> moves;                      // between press and release
    double loadAtPress[3] = {}, loadAtRelease[3] = {};  // load averages over 1, 5 and 15 minutes
    // When the music was heard (from the server's monitor): monitor frame n was played at
    // a + b n + n / 44100 (monotonic s); the music's first frame is monitor frame onset (-1:
    // not heard); the pauses, as (first monitor frame, frames).
    double a = 0, b = 0;
    int64_t onset = -1;
    std::vector<std::pair<int64_t, int64_t>> gaps;
    // Music seconds a second of what was played (0.5: a half-speed take).
    double timeScale = 1.0;
    // The moment (monotonic s) music time ms was heard; onset must be known.
    double heardAt(double ms) const {
        double frame = double(onset) + ms / timeScale * MONITOR_RATE / 1000.0;
        for (const auto& [start, length] : gaps) {
            if (double(start) > frame) break;
            frame += double(length);
        }
        return a + b * frame + frame / MONITOR_RATE;
    }
};

// Writes the log (text, one record a line).
bool writeLog(const std::string& path, const TakeLog& log) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    std::fprintf(f, "# bench_takes pointer log: monotonic seconds, window pixels\n");
    std::fprintf(f, "stage %.6f %.6f %.9f\n", log.stageX, log.stageY, log.stageScale);
    std::fprintf(f, "base %.9f %.9f\n", log.baseX, log.baseY);
    std::fprintf(f, "load-press %.2f %.2f %.2f\n", log.loadAtPress[0], log.loadAtPress[1], log.loadAtPress[2]);
    std::fprintf(f, "load-release %.2f %.2f %.2f\n", log.loadAtRelease[0], log.loadAtRelease[1],
                 log.loadAtRelease[2]);
    std::fprintf(f, "time-scale %.6f\n", log.timeScale);
    std::fprintf(f, "rec %.6f\n", log.rec);
    std::fprintf(f, "press %.6f %d %d\n", log.press.t, log.press.x, log.press.y);
    for (const Move& m : log.moves) std::fprintf(f, "move %.6f %d %d\n", m.t, m.x, m.y);
    std::fprintf(f, "release %.6f %d %d\n", log.release.t, log.release.x, log.release.y);
    std::fprintf(f, "stop %.6f\n", log.stop);
    if (log.onset >= 0) std::fprintf(f, "music %.9f %.12f %lld\n", log.a, log.b, (long long)log.onset);
    for (const auto& [start, length] : log.gaps)
        std::fprintf(f, "music-gap %lld %lld\n", (long long)start, (long long)length);
    return std::fclose(f) == 0;
}

// Reads a log written by writeLog; false when a record is missing.
bool readLog(const std::string& path, TakeLog& log) {
    std::ifstream in(path);
    std::string line;
    bool stage = false, base = false, rec = false, press = false, release = false;
    while (std::getline(in, line)) {
        std::istringstream s(line);
        std::string what;
        s >> what;
        if (what == "stage") stage = bool(s >> log.stageX >> log.stageY >> log.stageScale);
        else if (what == "base") base = bool(s >> log.baseX >> log.baseY);
        else if (what == "load-press") s >> log.loadAtPress[0] >> log.loadAtPress[1] >> log.loadAtPress[2];
        else if (what == "load-release")
            s >> log.loadAtRelease[0] >> log.loadAtRelease[1] >> log.loadAtRelease[2];
        else if (what == "rec") rec = bool(s >> log.rec);
        else if (what == "time-scale") s >> log.timeScale;
        else if (what == "press") press = bool(s >> log.press.t >> log.press.x >> log.press.y);
        else if (what == "release") release = bool(s >> log.release.t >> log.release.x >> log.release.y);
        else if (what == "stop") s >> log.stop;
        else if (what == "music") {
            long long onset = -1;
            if (s >> log.a >> log.b >> onset) log.onset = onset;
        } else if (what == "music-gap") {
            long long start = 0, length = 0;
            if (s >> start >> length) log.gaps.push_back({start, length});
        }
        else if (what == "move") {
            Move m{};
            if (s >> m.t >> m.x >> m.y) log.moves.push_back(m);
        }
    }
    return stage && base && rec && press && release && log.stageScale > 0;
}

// The hand's path in stage pixels relative to the press, resampled on a fine grid from the
// press to the release (linear between the logged moves).
class HandPath {
public:
    // Builds the grid from the log.
    explicit HandPath(const TakeLog& log) : start(log.press.t), scale(log.stageScale) {
        std::vector<Move> points;
        points.push_back(log.press);
        for (const Move& m : log.moves)
            if (m.t > points.back().t) points.push_back(m);
        points.push_back(Move{std::max(log.release.t, points.back().t), log.release.x, log.release.y});
        const int n = int(std::ceil((log.release.t - start) / PATH_GRID_S)) + 1;
        x.resize(size_t(std::max(n, 1)));
        y.resize(x.size());
        size_t k = 0;
        for (size_t i = 0; i < x.size(); ++i) {
            const double t = start + double(i) * PATH_GRID_S;
            while (k + 1 < points.size() && points[k + 1].t <= t) ++k;
            double px = points[k].x, py = points[k].y;
            if (k + 1 < points.size()) {
                const double span = points[k + 1].t - points[k].t;
                const double a = span > 0 ? (t - points[k].t) / span : 0.0;
                px += a * (points[k + 1].x - points[k].x);
                py += a * (points[k + 1].y - points[k].y);
            }
            x[i] = (px - log.press.x) / scale;
            y[i] = (py - log.press.y) / scale;
        }
        end = start + double(x.size() - 1) * PATH_GRID_S;
    }
    // True when t (monotonic seconds) lies between the press and the release.
    bool covers(double t) const { return t >= start && t <= end; }
    // The position at t (stage pixels from the press point); t is clamped to the path.
    void at(double t, double& px, double& py) const {
        const double u = std::clamp((t - start) / PATH_GRID_S, 0.0, double(x.size() - 1));
        const size_t i = std::min(size_t(u), x.size() - 1);
        const size_t j = std::min(i + 1, x.size() - 1);
        const double a = u - double(i);
        px = x[i] + a * (x[j] - x[i]);
        py = y[i] + a * (y[j] - y[i]);
    }

private:
    double start, end = 0, scale;  // the grid's first and last time (s); window pixels per stage pixel
    std::vector<double> x, y;      // the path on the grid, stage pixels from the press point
};

// The take's frames in stage pixels relative to the pose before the take.
struct Track {
    std::vector<double> x, y;  // one entry a frame
};

// Reads the saved track; false when the file is not an accepted data file.
bool readTrack(const std::string& path, const TakeLog& log, Track& track) {
    std::ifstream in(path, std::ios::binary);
    ActorData data;
    if (!in || !actorDataAccepted(readActorData(in, data))) return false;
    for (const ActorPose& p : data.poses) {
        track.x.push_back((double(p.position.X) - log.baseX) * kSceneUnitPixels);
        track.y.push_back((double(p.position.Y) - log.baseY) * kSceneUnitPixels);
    }
    return !track.x.empty();
}

// Maps frames to wall-clock times: rec + latency + f x secondsPerFrame.
struct FrameClock {
    double rec, latency, secondsPerFrame;  // when R was sent, the fitted latency, the frame period
    // The wall-clock time of frame f.
    double at(size_t f) const { return rec + latency + double(f) * secondsPerFrame; }
};

// Mean squared distance (stage pixels squared) of the frames whose time the path covers,
// every stride-th frame; count gets how many were compared (0: the result is meaningless).
double meanSquare(const Track& track, const HandPath& path, const FrameClock& clock, int stride, int& count) {
    double sum = 0.0;
    count = 0;
    for (size_t f = 0; f < track.x.size(); f += size_t(stride)) {
        const double t = clock.at(f);
        if (!path.covers(t)) continue;
        double px, py;
        path.at(t, px, py);
        const double dx = track.x[f] - px, dy = track.y[f] - py;
        sum += dx * dx + dy * dy;
        ++count;
    }
    return count ? sum / count : 0.0;
}

// The least mean square over latencies from lo to hi in steps (seconds per frame fixed).
FrameClock fitLatency(const Track& track, const HandPath& path, FrameClock clock, double lo, double hi,
                      double step, int stride, int minFrames, double& best) {
    best = -1.0;
    FrameClock bestClock = clock;
    for (double d = lo; d <= hi + 1e-12; d += step) {
        clock.latency = d;
        int count = 0;
        const double ms = meanSquare(track, path, clock, stride, count);
        if (count >= minFrames && (best < 0 || ms < best)) {
            best = ms;
            bestClock = clock;
        }
    }
    return bestClock;
}

// The figures of one take.
struct Figures {
    double latencyMs = 0;    // the fitted constant latency
    double rmsPx = 0;        // rms distance at that latency
    int stepBacks = 0;
    int heldRun = 0;         // longest run of held frames
    double framesPerSecond = 0;
    double rateLatencyMs = 0;  // the latency fitted together with the rate
    double rateRmsPx = 0;      // the rms distance with the rate fitted too
    int firstFrame = -1, lastFrame = -1;  // the compared frames
};

// Compares the track with the hand's path.
bool compare(const TakeLog& log, const Track& track, const Options& o, Figures& out) {
    const HandPath path(log);
    const double nominal = 1.0 / (FRAMES_PER_SECOND * o.timeScale);
    const double shift = o.expectedOffsetMs / 1000.0;
    // At least this many frames must lie between press and release for a fit to count.
    const int minFrames = int(0.5 * (log.release.t - log.press.t) / nominal);
    double best = 0.0;
    FrameClock clock{log.rec + shift, 0.0, nominal};
    clock = fitLatency(track, path, clock, LATENCY_MIN_S, LATENCY_MAX_S, LATENCY_STEP_S, 1, minFrames, best);
    if (best < 0) return false;
    clock = fitLatency(track, path, clock, clock.latency - LATENCY_STEP_S, clock.latency + LATENCY_STEP_S,
                       LATENCY_FINE_STEP_S, 1, minFrames, best);
    out.latencyMs = (clock.latency + shift) * 1000.0;
    out.rmsPx = std::sqrt(best);

    // The rate: seconds per frame free as well, coarse and then fine.
    double rateBest = -1.0;
    FrameClock rateClock = clock;
    for (double k = RATE_FACTOR_MIN; k <= RATE_FACTOR_MAX + 1e-12; k += RATE_COARSE_STEP) {
        FrameClock c{log.rec + shift, 0.0, nominal * k};
        double ms = 0.0;
        c = fitLatency(track, path, c, LATENCY_MIN_S, LATENCY_MAX_S, RATE_COARSE_LATENCY_STEP_S,
                       RATE_COARSE_FRAME_STRIDE, minFrames / RATE_COARSE_FRAME_STRIDE, ms);
        if (ms >= 0 && (rateBest < 0 || ms < rateBest)) {
            rateBest = ms;
            rateClock = c;
        }
    }
    const double k0 = rateClock.secondsPerFrame / nominal, d0 = rateClock.latency;
    for (double k = k0 - RATE_COARSE_STEP; k <= k0 + RATE_COARSE_STEP + 1e-12; k += RATE_FINE_STEP) {
        FrameClock c{log.rec + shift, 0.0, nominal * k};
        double ms = 0.0;
        c = fitLatency(track, path, c, d0 - 2 * RATE_COARSE_LATENCY_STEP_S, d0 + 2 * RATE_COARSE_LATENCY_STEP_S,
                       RATE_FINE_LATENCY_STEP_S, 1, minFrames, ms);
        if (ms >= 0 && ms < rateBest) {
            rateBest = ms;
            rateClock = c;
        }
    }
    out.framesPerSecond = 1.0 / rateClock.secondsPerFrame;
    out.rateLatencyMs = (rateClock.latency + shift) * 1000.0;
    out.rateRmsPx = std::sqrt(rateBest);

    // Stepping back and held frames, frame by frame, with the rate fitted too: these judge the
    // shape of the motion, and a drifting take would otherwise seem to step back at every turn.
    int run = 0;
    for (size_t f = 1; f < track.x.size(); ++f) {
        const double t0 = rateClock.at(f - 1), t1 = rateClock.at(f);
        if (!path.covers(t0) || !path.covers(t1)) continue;
        if (out.firstFrame < 0) out.firstFrame = int(f - 1);
        out.lastFrame = int(f);
        double p0x, p0y, p1x, p1y;
        path.at(t0, p0x, p0y);
        path.at(t1, p1x, p1y);
        const double hand = p1x - p0x, moved = track.x[f] - track.x[f - 1];
        const bool handMoved = std::fabs(hand) > MOTION_TOLERANCE_PX;
        if (handMoved && std::fabs(moved) > MOTION_TOLERANCE_PX && (hand > 0) != (moved > 0)) ++out.stepBacks;
        const bool held = std::fabs(moved) < HELD_PX && std::fabs(track.y[f] - track.y[f - 1]) < HELD_PX;
        run = handMoved && held ? run + 1 : 0;
        out.heldRun = std::max(out.heldRun, run);
    }
    return true;
}

// Compares frame f with the hand at the moment f's music was heard plus one shift, fitted:
// the shift (ms) and the rms distance (stage pixels) at it; false when too few frames compare.
bool compareWithHeardMusic(const TakeLog& log, const Track& track, double& shiftMs, double& rmsPx) {
    const HandPath path(log);
    std::vector<double> heard(track.x.size());
    for (size_t f = 0; f < heard.size(); ++f) heard[f] = log.heardAt(double(f) * 1000.0 / FRAMES_PER_SECOND);
    const int minFrames = int(0.5 * (log.release.t - log.press.t) * FRAMES_PER_SECOND * log.timeScale);
    auto meanSquare = [&](double shift, int& count) {
        double sum = 0.0;
        count = 0;
        for (size_t f = 0; f < heard.size(); ++f) {
            const double t = heard[f] + shift;
            if (!path.covers(t)) continue;
            double px, py;
            path.at(t, px, py);
            sum += (track.x[f] - px) * (track.x[f] - px) + (track.y[f] - py) * (track.y[f] - py);
            ++count;
        }
        return count ? sum / count : 0.0;
    };
    double best = -1.0, bestShift = 0.0;
    auto search = [&](double lo, double hi, double step) {
        for (double d = lo; d <= hi + 1e-12; d += step) {
            int count = 0;
            const double ms = meanSquare(d, count);
            if (count >= minFrames && (best < 0 || ms < best)) {
                best = ms;
                bestShift = d;
            }
        }
    };
    search(SHIFT_MIN_S, SHIFT_MAX_S, LATENCY_STEP_S);
    if (best < 0) return false;
    search(bestShift - LATENCY_STEP_S, bestShift + LATENCY_STEP_S, LATENCY_FINE_STEP_S);
    shiftMs = bestShift * 1000.0;
    rmsPx = std::sqrt(best);
    return true;
}

// Prints the commentary and the table rows of one take.
int report(const TakeLog& log, const Track& track, const Options& o) {
    double excursion = 0.0;
    for (size_t f = 0; f < track.x.size(); ++f) excursion = std::max(excursion, std::hypot(track.x[f], track.y[f]));
    if (excursion < NOTHING_RECORDED_SHARE * o.swingPx) {
        std::printf("takes (%s): the take recorded nothing (largest excursion %.1f px of a %.0f px swing)\n",
                    o.label.c_str(), excursion, o.swingPx);
        return 1;
    }
    Figures fig;
    if (!compare(log, track, o, fig)) {
        std::printf("takes (%s): no latency in %.1f .. %.1f s puts the take beside the drag\n",
                    o.label.c_str(), LATENCY_MIN_S, LATENCY_MAX_S);
        return 1;
    }
    const double nominalRate = FRAMES_PER_SECOND * o.timeScale;
    double gapMax = 0.0;
    for (size_t i = 1; i < log.moves.size(); ++i) gapMax = std::max(gapMax, log.moves[i].t - log.moves[i - 1].t);
    const double moving = log.moves.empty() ? 0.0 : log.moves.back().t - log.moves.front().t;
    std::printf("takes (%s): drag of %.1f s, %zu pointer moves (%.1f a second, longest gap %.1f ms), "
                "swing %.0f stage px = %.1f window px (stage scale %.4f)\n",
                o.label.c_str(), log.release.t - log.press.t, log.moves.size(),
                moving > 0 ? double(log.moves.size() - 1) / moving : 0.0, gapMax * 1000.0, o.swingPx,
                o.swingPx * log.stageScale, log.stageScale);
    std::printf("takes (%s): frames %d..%d compared; one latency fitted: frame 0 holds the hand %.1f ms "
                "after R was sent, rms %.2f px; with the rate fitted too: %.3f frames a second, %.1f ms, "
                "rms %.2f px\n",
                o.label.c_str(), fig.firstFrame, fig.lastFrame, fig.latencyMs, fig.rmsPx, fig.framesPerSecond,
                fig.rateLatencyMs, fig.rateRmsPx);
    std::printf("takes (%s): load average (1, 5, 15 min) at the press %.2f %.2f %.2f, at the release "
                "%.2f %.2f %.2f\n",
                o.label.c_str(), log.loadAtPress[0], log.loadAtPress[1], log.loadAtPress[2], log.loadAtRelease[0],
                log.loadAtRelease[1], log.loadAtRelease[2]);
    // The count straight from the ends: the frames from the first to the last that moved, over
    // the time from the hand's first to its last step (each end uncertain by a burst of frames).
    size_t firstStep = 0, lastStep = 0, firstMoved = 0, lastMoved = 0;
    for (size_t i = 0; i < log.moves.size(); ++i) {
        const int previous = i ? log.moves[i - 1].x : log.press.x;
        if (log.moves[i].x == previous) continue;
        if (!firstStep) firstStep = i;
        lastStep = i;
    }
    for (size_t f = 1; f < track.x.size(); ++f) {
        if (std::fabs(track.x[f] - track.x[f - 1]) < HELD_PX) continue;
        if (!firstMoved) firstMoved = f;
        lastMoved = f;
    }
    const double stepSpan = log.moves.empty() ? 0.0 : log.moves[lastStep].t - log.moves[firstStep].t;
    if (stepSpan > 0 && lastMoved > firstMoved)
        std::printf("takes (%s): frames %zu..%zu moved, over %.3f s of the hand's steps: %.2f frames a second\n",
                    o.label.c_str(), firstMoved, lastMoved, stepSpan, double(lastMoved - firstMoved) / stepSpan);
    if (log.rec + fig.latencyMs / 1000.0 > log.press.t + REST_AFTER_PRESS_S)
        std::printf("takes (%s): warning: frame 0 lies after the hand began to move: the take started late\n",
                    o.label.c_str());

    const double rmsPercent = 100.0 * fig.rmsPx / o.swingPx;
    const double ratePercent = 100.0 * (fig.framesPerSecond - nominalRate) / nominalRate;
    const char* label = o.label.c_str();
    bench::row(bench::format("6 take: rms distance from the hand, %s, %% of the swing", label),
               bench::format("%.2f", rmsPercent), "-", "-", bench::format("<= %.1f", TARGET_RMS_PERCENT),
               rmsPercent <= TARGET_RMS_PERCENT ? "met" : "MISSED");
    bench::row(bench::format("6 take: frames stepping back, %s", label),
               bench::format("%d", fig.stepBacks), "-", "-", bench::format("%d", TARGET_STEP_BACKS),
               fig.stepBacks <= TARGET_STEP_BACKS ? "met" : "MISSED");
    bench::row(bench::format("6 take: longest run of held frames, %s", label), bench::format("%d", fig.heldRun),
               "-", "-", bench::format("<= %d", TARGET_HELD_RUN), fig.heldRun <= TARGET_HELD_RUN ? "met" : "MISSED");
    bench::row(bench::format("6 take: frames per wall-clock second vs %.0f, %s, %%", nominalRate, label),
               bench::format("%+.2f", ratePercent), "-", "-", bench::format("within %.1f", TARGET_RATE_PERCENT),
               std::fabs(ratePercent) <= TARGET_RATE_PERCENT ? "met" : "MISSED");
    if (log.onset >= 0) {
        double shiftMs = 0.0, rmsPx = 0.0;
        int64_t paused = 0;
        for (const auto& gap : log.gaps) paused += gap.second;
        if (compareWithHeardMusic(log, track, shiftMs, rmsPx)) {
            std::printf("takes (%s): the music began to be heard %.1f ms after R was sent and paused %zu times "
                        "(%.1f ms in all); each frame against the hand at its music's moment: rms %.2f px "
                        "with the hand %.1f ms later\n",
                        label, (log.heardAt(0.0) - log.rec) * 1000.0, log.gaps.size(),
                        double(paused) * 1000.0 / MONITOR_RATE, rmsPx, shiftMs);
            const double heardPercent = 100.0 * rmsPx / o.swingPx;
            bench::row(bench::format("6 take: rms distance from the hand when its music was heard, %s, %% of the swing",
                                     label),
                       bench::format("%.2f", heardPercent), "-", "-", bench::format("<= %.1f", TARGET_RMS_PERCENT),
                       heardPercent <= TARGET_RMS_PERCENT ? "met" : "MISSED");
            bench::row(bench::format("6 take: the hand's moment after its music was heard, %s, ms", label),
                       bench::format("%.1f", shiftMs), "-", "-",
                       bench::format("%.0f +- %.0f", o.expectedOffsetMs, TARGET_SHIFT_MS),
                       std::fabs(shiftMs - o.expectedOffsetMs) <= TARGET_SHIFT_MS ? "met" : "MISSED");
        }
    }
    return 0;
}

// The listener: what the sound server plays, from the monitor source of its sink (named by
// TUMELORA_BENCH_MONITOR): when the music began to be heard, and where it paused.
class MusicListener {
public:
    MusicListener() = default;
    ~MusicListener() { stop(); }
    MusicListener(const MusicListener&) = delete;
    MusicListener& operator=(const MusicListener&) = delete;

    // Starts listening; false (nothing heard then) without a monitor or a server.
    bool start() {
        const char* monitor = std::getenv("TUMELORA_BENCH_MONITOR");
        if (!monitor || !*monitor) return false;
        pa_sample_spec format{PA_SAMPLE_S16LE, uint32_t(MONITOR_RATE), 2};
        pa_buffer_attr attr{};
        attr.maxlength = uint32_t(-1);
        attr.fragsize = uint32_t(MONITOR_CHUNK_FRAMES * 4);
        int error = 0;
        pa = pa_simple_new(nullptr, "bench-takes", PA_STREAM_RECORD, monitor, "listener", &format, nullptr, &attr,
                           &error);
        if (!pa) {
            std::fprintf(stderr, "bench_takes: cannot listen to %s: %s\n", monitor, pa_strerror(error));
            return false;
        }
        thread = std::thread([this] { listen(); });
        return true;
    }
    // Stops listening and puts into the log when the music was heard: the server plays at a
    // steady pace of its own clock and a read returns no earlier than its last frame was played,
    // so the frames lie on a line through the earliest read of every stretch (least squares).
    void stop(TakeLog* log = nullptr) {
        quit = true;
        if (thread.joinable()) thread.join();
        if (pa) pa_simple_free(pa);
        pa = nullptr;
        if (!log || onset < 0 || lows.empty()) return;
        bench::fitLine(lows, log->a, log->b);
        log->onset = onset;
        log->gaps = gaps;
    }

private:
    // Reads the monitor until told to stop.
    void listen() {
        std::vector<int16_t> chunk(MONITOR_CHUNK_FRAMES * 2);
        int64_t frames = 0, quietFrom = -1;
        double stretchStart = now();
        while (!quit) {
            int error = 0;
            if (pa_simple_read(pa, chunk.data(), chunk.size() * 2, &error) < 0) break;
            for (size_t i = 0; i < MONITOR_CHUNK_FRAMES; ++i) {
                const int v = std::abs(int(chunk[i * 2]));
                const int64_t n = frames + int64_t(i);
                if (onset < 0) {
                    if (v > MONITOR_ONSET_LEVEL) onset = n;
                    continue;
                }
                if (v < MONITOR_GAP_LEVEL) {
                    if (quietFrom < 0) quietFrom = n;
                } else {
                    if (quietFrom >= 0 && n - quietFrom >= MONITOR_GAP_FRAMES) gaps.push_back({quietFrom, n - quietFrom});
                    quietFrom = -1;
                }
            }
            frames += int64_t(MONITOR_CHUNK_FRAMES);
            const double t = now();
            const double ahead = t - double(frames) / MONITOR_RATE;
            if (lows.empty() || t - stretchStart >= MONITOR_FIT_S) {
                lows.push_back({double(frames), ahead});
                stretchStart = t;
            } else if (ahead < lows.back().second) {
                lows.back() = {double(frames), ahead};
            }
        }
    }

    pa_simple* pa = nullptr;
    std::thread thread;
    std::atomic<bool> quit{false};
    int64_t onset = -1;                              // the music's first frame (-1: not yet)
    std::vector<std::pair<int64_t, int64_t>> gaps;   // pauses: first frame, frames
    std::vector<std::pair<double, double>> lows;     // per stretch: frames, earliest read - frames / rate
};

// The X side: the program's window and the fake input.
class Hand {
public:
    // Opens the display; ok() tells whether it worked.
    Hand() : display(XOpenDisplay(nullptr)) {}
    ~Hand() {
        if (display) XCloseDisplay(display);
    }
    Hand(const Hand&) = delete;
    Hand& operator=(const Hand&) = delete;

    // True when the display is open and has the XTest extension.
    bool ok() {
        int event, error, major, minor;
        return display && XTestQueryExtension(display, &event, &error, &major, &minor);
    }
    // Waits for the program's window to be mapped; false after the limit.
    bool findWindow(double limitS) {
        const double until = now() + limitS;
        while (now() < until) {
            window = search(DefaultRootWindow(display));
            if (window) {
                XWindowAttributes a{};
                if (XGetWindowAttributes(display, window, &a) && a.map_state == IsViewable) {
                    width = a.width;
                    height = a.height;
                    ::Window child;
                    XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &rootX, &rootY, &child);
                    return true;
                }
            }
            sleepFor(POLL_S);
        }
        return false;
    }
    // Moves the pointer to a window pixel (the event is on its way when this returns).
    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display, DefaultScreen(display), rootX + x, rootY + y, CurrentTime);
        XFlush(display);
    }
    // Presses or releases the left button.
    void button(bool down) {
        XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
        XFlush(display);
    }
    // Presses and releases a key, with Control or Shift held when asked; the window gets the
    // focus first.
    void key(KeySym sym, bool control = false, bool shift = false) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        const KeyCode code = XKeysymToKeycode(display, sym);
        const KeyCode ctrl = XKeysymToKeycode(display, XK_Control_L), shiftKey = XKeysymToKeycode(display, XK_Shift_L);
        if (control) XTestFakeKeyEvent(display, ctrl, True, CurrentTime);
        if (shift) XTestFakeKeyEvent(display, shiftKey, True, CurrentTime);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        if (shift) XTestFakeKeyEvent(display, shiftKey, False, CurrentTime);
        if (control) XTestFakeKeyEvent(display, ctrl, False, CurrentTime);
        XFlush(display);
    }
    // True when the window pixel is within OUTLINE_TOLERANCE of rgb in every channel.
    bool pixelNear(int x, int y, unsigned rgb) {
        if (x < 0 || y < 0 || x >= width || y >= height) return false;
        XImage* image = XGetImage(display, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (!image) return false;
        const unsigned long p = XGetPixel(image, 0, 0);
        const unsigned long masks[3] = {image->red_mask, image->green_mask, image->blue_mask};
        XDestroyImage(image);
        for (int c = 0; c < 3; ++c) {
            unsigned long m = masks[c], v = p & m;
            while (m && !(m & 1)) {
                m >>= 1;
                v >>= 1;
            }
            const int got = m ? int(v * 255 / m) : 0;
            const int want = int((rgb >> (16 - 8 * c)) & 0xFF);
            if (std::abs(got - want) > OUTLINE_TOLERANCE) return false;
        }
        return true;
    }

    int width = 0, height = 0;  // the window's size, pixels

private:
    // The first window named WINDOW_NAME under parent, or 0.
    ::Window search(::Window parent) {
        ::Window root, up, *children = nullptr;
        unsigned n = 0;
        if (!XQueryTree(display, parent, &root, &up, &children, &n)) return 0;
        ::Window found = 0;
        for (unsigned i = 0; i < n && !found; ++i) {
            char* name = nullptr;
            if (XFetchName(display, children[i], &name) && name) {
                if (std::strcmp(name, WINDOW_NAME) == 0) found = children[i];
                XFree(name);
            }
            if (!found) found = search(children[i]);
        }
        if (children) XFree(children);
        return found;
    }

    Display* display;     // the connection, null when the display could not be opened
    ::Window window = 0;  // the program's window once found
    int rootX = 0, rootY = 0;  // the window's top-left corner on the screen
};

// Width and height of a picture file (through the engine's loaders); false when unreadable.
bool pictureSize(irr::video::IVideoDriver* driver, const std::string& path, float& w, float& h) {
    irr::video::IImage* image = driver->createImageFromFile(path.c_str());
    if (!image) return false;
    w = float(image->getDimension().Width);
    h = float(image->getDimension().Height);
    image->drop();
    return true;
}

// The font's line height from its "common" line, or 0.
float fontLineHeight(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t at = line.find(" lineHeight=");
        if (line.rfind("common", 0) == 0 && at != std::string::npos) return std::strtof(line.c_str() + at + 12, nullptr);
    }
    return 0.f;
}

// Identity and change time of a file, to see it rewritten.
struct FileStamp {
    ino_t inode = 0;
    timespec changed{};
    // True when both name the same version of the file.
    bool operator==(const FileStamp& o) const {
        return inode == o.inode && changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

// The file's stamp (all zero when it is missing).
FileStamp stampOf(const std::string& path) {
    struct stat st{};
    FileStamp s;
    if (stat(path.c_str(), &st) == 0) {
        s.inode = st.st_ino;
        s.changed = st.st_mtim;
    }
    return s;
}

// The editor's layout for the window, from the skin pictures and the font in dataDir.
bool layoutOf(const std::string& dataDir, int width, int height, const std::string& picture, EditorLayout& layout,
              float& actorW, float& actorH) {
    irr::SIrrlichtCreationParameters p;
    p.DriverType = irr::video::EDT_NULL;
    p.LoggingLevel = irr::ELL_NONE;
    irr::IrrlichtDevice* device = irr::createDeviceEx(p);
    if (!device) return false;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    float bw, bh, tw, th, cw, ch;
    const bool read = pictureSize(driver, dataDir + "/button.png", bw, bh) &&
                      pictureSize(driver, dataDir + "/slider-thumb.png", tw, th) &&
                      pictureSize(driver, dataDir + "/checkbox.png", cw, ch) &&
                      pictureSize(driver, picture, actorW, actorH);
    device->drop();
    const float lineHeight = fontLineHeight(dataDir + "/droid30.fnt");
    if (!read || lineHeight <= 0.f) return false;
    layout = computeEditorLayout(width, height, editorMetrics(bw, bh, th, cw, ch, lineHeight));
    return true;
}

// Drives one take in the running editor and writes its log; 0 on success.
int driveTake(const std::string& dataDir, const std::string& actor, const Options& o, TakeLog& log) {
    const std::string dataFile = dataDir + "/actors/" + actor + ".data";
    std::ifstream in(dataFile, std::ios::binary);
    ActorData before;
    if (!in || !actorDataAccepted(readActorData(in, before)) || before.poses.empty()) {
        std::fprintf(stderr, "bench_takes: cannot read %s\n", dataFile.c_str());
        return 1;
    }
    const ActorPose start = before.poses.front();
    log.baseX = start.position.X;
    log.baseY = start.position.Y;

    Hand hand;
    if (!hand.ok()) {
        std::fprintf(stderr, "bench_takes: no display with the XTest extension\n");
        return 1;
    }
    if (!hand.findWindow(WINDOW_WAIT_S)) {
        std::fprintf(stderr, "bench_takes: no window named %s within %.0f s\n", WINDOW_NAME, WINDOW_WAIT_S);
        return 1;
    }
    EditorLayout layout;
    float actorW = 0, actorH = 0;
    if (!layoutOf(dataDir, hand.width, hand.height, dataDir + "/actors/" + actor + ".png", layout, actorW, actorH)) {
        std::fprintf(stderr, "bench_takes: cannot read the skin pictures, the font or the actor's picture\n");
        return 1;
    }
    log.stageX = layout.stage.x;
    log.stageY = layout.stage.y;
    log.stageScale = layout.stageScale;
    std::printf("takes (%s): window %d x %d, stage drawn at (%.1f, %.1f) %.1f x %.1f\n", o.label.c_str(),
                hand.width, hand.height, layout.stage.x, layout.stage.y, layout.stage.width, layout.stage.height);

    // Select the actor with a click on its centre; its outline shows it worked.
    using irr::core::vector2df;
    const vector2df centre = sceneToWindow(layout, start.position);
    const vector2df corner =
        sceneToWindow(layout, start.position - vector2df(actorW, actorH) / (2.f * kSceneUnitPixels));
    bool selected = false;
    for (int attempt = 0; attempt < SELECT_ATTEMPTS && !selected; ++attempt) {
        hand.moveTo(int(centre.X), int(centre.Y));
        hand.button(true);
        hand.button(false);
        const double until = now() + SELECT_WAIT_S;
        while (!selected && now() < until) {
            selected = hand.pixelNear(int(corner.X) + 1, int(centre.Y), OUTLINE_RGB);
            if (!selected) sleepFor(POLL_S);
        }
    }
    if (!selected) {
        std::fprintf(stderr, "bench_takes: no selection outline at (%d, %d) after %d clicks on the actor\n",
                     int(corner.X) + 1, int(centre.Y), SELECT_ATTEMPTS);
        return 1;
    }

    // The sine: x = centre - swing / 2 x cos(2 pi hz t), in stage pixels, y fixed; from rest to rest.
    const double half = o.swingPx / 2.0, omega = 2.0 * M_PI * o.hz;
    auto windowX = [&](double t) {
        const double stageX = (centre.X - layout.stage.x) / layout.stageScale - half * std::cos(omega * t);
        return int(std::lround(layout.stage.x + stageX * layout.stageScale));
    };
    const int y = int(centre.Y);
    sched_param priority{};
    priority.sched_priority = HAND_PRIORITY;
    const bool steady = sched_setscheduler(0, SCHED_FIFO, &priority) == 0;
    std::printf("takes (%s): the hand moves %s\n", o.label.c_str(),
                steady ? "at real-time priority (SCHED_FIFO)" : "at normal priority (SCHED_FIFO refused)");
    hand.moveTo(windowX(0.0), y);
    hand.key(XK_Home);
    MusicListener listener;
    listener.start();
    log.timeScale = o.timeScale;
    hand.key(XK_r, false, o.timeScale != 1.0);  // Shift+R: the half-speed take
    log.rec = now();
    sleepUntil(log.rec + REST_AFTER_REC_S);
    getloadavg(log.loadAtPress, 3);
    hand.button(true);
    log.press = Move{now(), windowX(0.0), y};
    const double t0 = log.press.t + REST_AFTER_PRESS_S;
    const double step = 1.0 / o.movesPerSecond;
    const int steps = int(std::lround(o.seconds * o.movesPerSecond));
    log.moves.reserve(size_t(steps) + 1);
    for (int i = 0; i <= steps; ++i) {
        sleepUntil(t0 + double(i) * step);
        // The last move lands on the end of the sine, wherever the clock is.
        const double t = now();
        const int x = windowX(i == steps ? o.seconds : std::min(t - t0, o.seconds));
        hand.moveTo(x, y);
        log.moves.push_back(Move{t, x, y});
    }
    sleepFor(REST_BEFORE_RELEASE_S);
    hand.button(false);
    log.release = Move{now(), log.moves.back().x, y};
    listener.stop(&log);
    getloadavg(log.loadAtRelease, 3);
    sleepFor(REST_BEFORE_STOP_S);
    hand.key(XK_r);
    log.stop = now();
    priority.sched_priority = 0;
    sched_setscheduler(0, SCHED_OTHER, &priority);

    // Save and wait until the data file has been replaced.
    const FileStamp old = stampOf(dataFile);
    hand.key(XK_s, true);
    const double until = now() + SAVE_WAIT_S;
    while (stampOf(dataFile) == old && now() < until) sleepFor(POLL_S);
    if (stampOf(dataFile) == old) {
        std::fprintf(stderr, "bench_takes: %s was not rewritten within %.0f s of Ctrl+S\n", dataFile.c_str(),
                     SAVE_WAIT_S);
        return 1;
    }
    hand.key(XK_Escape);
    return 0;
}

// Reads "--name value" options from argv[first] on; false on an unknown one.
bool parseOptions(int argc, char** argv, int first, Options& o) {
    for (int i = first; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* v = argv[i + 1];
        if (name == "--seconds") o.seconds = std::atof(v);
        else if (name == "--hz") o.hz = std::atof(v);
        else if (name == "--swing") o.swingPx = std::atof(v);
        else if (name == "--moves-per-second") o.movesPerSecond = std::atof(v);
        else if (name == "--time-scale") o.timeScale = std::atof(v);
        else if (name == "--expected-offset-ms") o.expectedOffsetMs = std::atof(v);
        else if (name == "--label") o.label = v;
        else if (name == "--log") o.log = v;
        else return false;
    }
    return (argc - first) % 2 == 0 && o.seconds > 0 && o.hz > 0 && o.swingPx > 0 && o.movesPerSecond > 0 &&
           o.timeScale > 0;
}

// Prints how to call this program.
int usage() {
    std::fprintf(stderr,
                 "usage: bench_takes take DATA_DIR ACTOR [options] | analyse LOG DATA_FILE [options]\n"
                 "options: --seconds S --hz F --swing PX --moves-per-second N --time-scale S\n"
                 "         --expected-offset-ms MS --label TEXT --log FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return usage();
    const std::string mode = argv[1];
    Options o;
    if (!parseOptions(argc, argv, 4, o)) return usage();
    TakeLog log;
    std::string dataFile;
    if (mode == "take") {
        if (o.log.empty()) o.log = "takes-" + o.label + ".log";
        const int rc = driveTake(argv[2], argv[3], o, log);
        if (rc != 0) return rc;
        if (!writeLog(o.log, log)) std::fprintf(stderr, "bench_takes: cannot write %s\n", o.log.c_str());
        dataFile = std::string(argv[2]) + "/actors/" + argv[3] + ".data";
    } else if (mode == "analyse") {
        if (!readLog(argv[2], log)) {
            std::fprintf(stderr, "bench_takes: cannot read the log %s\n", argv[2]);
            return 1;
        }
        if (log.timeScale != 1.0) o.timeScale = log.timeScale;  // the take's own
        dataFile = argv[3];
    } else {
        return usage();
    }
    Track track;
    if (!readTrack(dataFile, log, track)) {
        std::fprintf(stderr, "bench_takes: cannot read the saved track %s\n", dataFile.c_str());
        return 1;
    }
    return report(log, track, o);
}
