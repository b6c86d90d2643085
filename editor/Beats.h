#pragma once
// The song's beats: a list of beat times in whole milliseconds, kept beside the music as a text
// file (the music's name with the extension ".beats", one time a line). When that file is
// missing, the beat tracker (aubio) listens to the music and a steady grid (one tempo, one
// phase) is fitted to what it finds; the user can shift the grid and change its tempo.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

// Most beats a beats file may hold, and the latest time in it (ms).
constexpr std::size_t BEATS_MAX_COUNT = 100000;
constexpr long BEATS_MAX_MS = 24L * 3600 * 1000;
// Analysis frames of the tracker: window and hop, in samples.
constexpr unsigned BEAT_WINDOW_SAMPLES = 1024;
constexpr unsigned BEAT_HOP_SAMPLES = 256;
// The grid's tempo is searched within this share of the tracker's own (each way), in steps of
// BEAT_PERIOD_STEP_MS, and its phase in steps of BEAT_PHASE_STEP_MS.
constexpr double BEAT_PERIOD_RANGE = 0.02;
constexpr double BEAT_PERIOD_STEP_MS = 0.05;
constexpr double BEAT_PHASE_STEP_MS = 1.0;
// The grid covers the part of the song louder than this share of its loudest moment.
constexpr double BEAT_SOUND_LEVEL = 0.05;
// Fewer tracker beats than this: no grid, the tracker's beats as they are.
constexpr std::size_t BEAT_MIN_TRACKED = 8;

// The beats file of a music file: its path with the extension replaced by ".beats".
std::string beatsPathOf(const std::string& musicPath);
// Reads beat times (whole ms, one a line, ascending); false with the reason in error.
bool parseBeats(const std::string& text, std::vector<long>& beats, std::string& error);
// The text of a beats file.
std::string formatBeats(const std::vector<long>& beats);

// What listening to a song gives.
struct BeatAnalysis {
    std::vector<double> tracked;  // the tracker's beats, seconds
    std::vector<float> onset;     // onset strength per hop
    double hopSeconds = 0.0;
    double soundStart = 0.0, soundEnd = 0.0;  // seconds
    bool ok = false;
    std::string error;
};
// Decodes the Ogg Vorbis file and runs the tracker over it; gives up (not ok) once *cancel is set.
BeatAnalysis analyseBeats(const std::string& musicPath, const std::atomic<bool>* cancel = nullptr);
// The steady grid fitted to an analysis, as beat times in ms (the tracker's beats when too few,
// or once *cancel is set).
std::vector<long> fitBeatGrid(const BeatAnalysis& analysis, const std::atomic<bool>* cancel = nullptr);
// The beats shifted by deltaMs (none below 0).
std::vector<long> shiftBeats(const std::vector<long>& beats, long deltaMs);
// The beats as a steady grid from the first one with the period changed by deltaMs, over the
// same span.
std::vector<long> retimeBeats(const std::vector<long>& beats, double deltaPeriodMs);
// The beats' period in ms (the median distance between neighbours; 0 with fewer than two).
double beatPeriodMs(const std::vector<long>& beats);
// The frame a beat marker stands on: the one whose start lies nearest its time (ms).
int frameOfBeat(long ms);
// The frame of the beat marker nearest to a (fractional) frame; -1 without beats.
int nearestBeatFrame(const std::vector<long>& beats, double frame);
// The frame of the first beat marker after frame (after) or of the last one before it; -1
// when there is none.
int neighbourBeatFrame(const std::vector<long>& beats, int frame, bool after);

// Gets the song's beats on a thread of its own: reads the beats file when there is one,
// otherwise tracks the beats, fits the grid and writes the file.
class BeatLoader {
public:
    BeatLoader() = default;
    // Cancels the thread.
    ~BeatLoader();
    BeatLoader(const BeatLoader&) = delete;
    BeatLoader& operator=(const BeatLoader&) = delete;
    // Starts getting the beats of the music file at musicPath.
    void start(const std::string& musicPath);
    // True once beats and message are there.
    bool ready() const { return done.load(); }
    // Waits for the thread.
    void stop();
    // Asks the thread to give up and waits for it (a song being tracked leaves no beats file).
    void cancel();
    // The beats (ms) and what getting them did ("" when the file was read as it was).
    std::vector<long> beats;
    std::string message;
    // True when the message tells of something that went wrong.
    bool trouble = false;

private:
    // The thread's work.
    void load(std::string musicPath);
    std::atomic<bool> done{false};
    std::atomic<bool> cancelled{false};
    std::thread thread;
};
// Writes the beats file (whole, by renaming a temporary file); false with the reason in error.
bool writeBeatsFile(const std::string& path, const std::vector<long>& beats, std::string& error);
