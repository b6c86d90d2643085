#pragma once
// Shared by the benchmark programs: clocks (wall, this thread's CPU, the whole process's CPU),
// the process's memory figures, the OpenGL draw-call counter, and table rows.
//
// Every comparison is printed as one table row on standard output:
//   ROW<TAB>measurement<TAB>ours<TAB>reference<TAB>ratio<TAB>target<TAB>verdict
// bench/run collects these rows from every program into its one table; everything else a
// program prints is commentary for the reader.
#include <time.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace bench {

// The least-squares line y = a + b x through the points (x, y); a is the mean of y and b 0 with
// fewer than two different x.
inline void fitLine(const std::vector<std::pair<double, double>>& points, double& a, double& b) {
    a = b = 0.0;
    if (points.empty()) return;
    double mx = 0, my = 0;
    for (const auto& [x, y] : points) {
        mx += x;
        my += y;
    }
    mx /= double(points.size());
    my /= double(points.size());
    double sxx = 0, sxy = 0;
    for (const auto& [x, y] : points) {
        sxx += (x - mx) * (x - mx);
        sxy += (x - mx) * (y - my);
    }
    b = sxx > 0 ? sxy / sxx : 0.0;
    a = my - b * mx;
}

// Seconds of a clock.
inline double clockSeconds(clockid_t id) {
    timespec ts{};
    clock_gettime(id, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

// One reading of the three clocks.
struct Clocks {
    double wall, thread, process;

    // Reads the monotonic wall clock, this thread's and the process's CPU clocks.
    static Clocks now() {
        return {clockSeconds(CLOCK_MONOTONIC), clockSeconds(CLOCK_THREAD_CPUTIME_ID),
                clockSeconds(CLOCK_PROCESS_CPUTIME_ID)};
    }
    // Per-clock difference this - start.
    Clocks since(const Clocks& start) const {
        return {wall - start.wall, thread - start.thread, process - start.process};
    }
};

// The median of a list of figures (0 for an empty list).
inline double median(std::vector<double> v) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// A field of /proc/self/status in KiB (VmRSS, VmHWM, ...), or -1.
inline long statusKiB(const char* field) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long value = -1;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            value = std::strtol(line + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

// Prints one table row (see the file comment). Figures are given as text, already formatted.
inline void row(const std::string& measurement, const std::string& ours,
                const std::string& reference, const std::string& ratio,
                const std::string& target, const std::string& verdict) {
    std::printf("ROW\t%s\t%s\t%s\t%s\t%s\t%s\n", measurement.c_str(), ours.c_str(),
                reference.c_str(), ratio.c_str(), target.c_str(), verdict.c_str());
    std::fflush(stdout);
}

// printf into a std::string (at most 255 characters).
__attribute__((format(printf, 1, 2))) inline std::string format(const char* fmt, ...) {
    char buffer[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buffer, sizeof buffer, fmt, args);
    va_end(args);
    return buffer;
}

// OpenGL draw calls (glDrawElements, glDrawArrays, glBegin) made through libGL by anyone in
// this process since it started; counted by gl_count.cpp, which stands in front of libGL.
uint64_t glDrawCalls();

}  // namespace bench
