#include "export/Progress.h"

#include <unistd.h>

#include <cstdio>

namespace {

// Seconds between two redraws of the progress bar on a terminal.
constexpr double PROGRESS_TERMINAL_INTERVAL = 0.25;
// Seconds between two progress lines when stderr is not a terminal.
constexpr double PROGRESS_PLAIN_INTERVAL = 2.0;
// Width of the progress bar in characters.
constexpr int PROGRESS_BAR_WIDTH = 30;
// Seconds per minute and minutes per hour, for the time left.
constexpr int SECONDS_PER_MINUTE = 60;
constexpr int MINUTES_PER_HOUR = 60;

// Seconds from t until now.
double secondsSince(std::chrono::steady_clock::time_point t) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

}  // namespace

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

ProgressPrinter::ProgressPrinter(int total)
    : total(total), terminal(isatty(STDERR_FILENO) == 1), started(Clock::now()) {}

void ProgressPrinter::update(int done) {
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

void ProgressPrinter::abandon() {
    if (terminal && lastPrint >= 0.0) std::fputc('\n', stderr);
}
