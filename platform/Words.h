#pragma once
// Counts in words, as the program's messages say them: "1 actor", "2 actors".
#include <string>

// n followed by the noun, singular for exactly one, else plural (the singular with an "s"
// unless given).
inline std::string countOf(long long n, const std::string& singular, const std::string& plural = "") {
    return std::to_string(n) + " " + (n == 1 ? singular : plural.empty() ? singular + "s" : plural);
}
