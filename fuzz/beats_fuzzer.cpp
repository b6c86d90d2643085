// Feeds arbitrary text to the beats file reader; whatever it accepts is ascending and must be
// written and read back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "editor/Beats.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<long> beats;
    std::string error;
    if (!parseBeats(text, beats, error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    for (size_t i = 0; i < beats.size(); ++i)
        if (beats[i] < 0 || beats[i] > BEATS_MAX_MS || (i && beats[i] < beats[i - 1])) std::abort();
    std::vector<long> again;
    if (!parseBeats(formatBeats(beats), again, error) || again != beats) std::abort();
    return 0;
}
