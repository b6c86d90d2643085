#pragma once
// The small pieces of text the program's messages and file names are made of: counts in words
// ("1 actor", "2 actors"), times ("1:05.3"), name endings.
#include <cstdio>
#include <string>

// n followed by the noun, singular for exactly one, else plural (the singular with an "s"
// unless given).
inline std::string countOf(long long n, const std::string& singular, const std::string& plural = "") {
    return std::to_string(n) + " " + (n == 1 ? singular : plural.empty() ? singular + "s" : plural);
}

// "m:ss.s" for a number of seconds.
inline std::string minutesAndSeconds(double seconds) {
    constexpr int SECONDS_PER_MINUTE = 60;
    const int minutes = int(seconds) / SECONDS_PER_MINUTE;
    char text[32];
    std::snprintf(text, sizeof text, "%d:%04.1f", minutes, seconds - minutes * SECONDS_PER_MINUTE);
    return text;
}

// True when s ends in tail.
inline bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
