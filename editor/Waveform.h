#pragma once
// The song's loudness along the timeline: the music file decoded on a thread of its own into
// the peak of every animation frame, which the timeline folds into its pixel columns.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

// Longest song decoded for the timeline, in seconds (a longer one is drawn up to this).
constexpr double WAVEFORM_MAX_SECONDS = 3600.0;

class WaveformPeaks {
public:
    WaveformPeaks() = default;
    // Stops decoding and waits for the thread.
    ~WaveformPeaks();
    WaveformPeaks(const WaveformPeaks&) = delete;
    WaveformPeaks& operator=(const WaveformPeaks&) = delete;
    // Starts decoding the Ogg Vorbis file at path into one peak (0..1) per 1 / framesPerSecond s.
    void start(const std::string& path, int framesPerSecond);
    // True once the peaks are there (false while decoding or when the file cannot be read).
    bool ready() const { return done.load(); }
    // True once decoding is over, whether the peaks are there or the file could not be read.
    bool finished() const { return over.load(); }
    // The peaks, one per frame; only after ready().
    const std::vector<float>& peaks() const { return values; }
    // Waits for the decoding thread.
    void stop();

private:
    // The thread: decodes the file into values, then says it is over.
    void decode(std::string path, int framesPerSecond);
    // Decodes the file into values (done once they are there).
    void read(const std::string& path, int framesPerSecond);

    std::vector<float> values;
    std::atomic<bool> done{false};
    std::atomic<bool> over{false};
    std::atomic<bool> cancel{false};
    std::thread thread;
};
