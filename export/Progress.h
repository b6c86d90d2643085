#pragma once
// The export's progress on stderr: a bar redrawn in place on a terminal, else a plain line
// now and then.
#include <chrono>
#include <string>

// The progress text: a bar, frames done / total, frames per second and the time left.
std::string progressLine(int done, int total, double elapsedSeconds, int barWidth);

class ProgressPrinter {
public:
    // Progress of total frames, timed from now.
    explicit ProgressPrinter(int total);
    // Frames done so far; prints when enough time has passed or all are done.
    void update(int done);
    // Ends a bar left unfinished (an aborted export), so later messages start on a new line.
    void abandon();

private:
    using Clock = std::chrono::steady_clock;
    int total;
    bool terminal;
    Clock::time_point started;
    double lastPrint = -1.0e9;
};
