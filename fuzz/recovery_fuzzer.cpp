// Feeds arbitrary bytes to the recovery file reader; whatever it accepts must encode to the
// very same bytes (the format has one spelling) and read back to the same snapshot.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/Recovery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    RecoverySnapshot first;
    std::string error;
    if (!decodeRecovery(data, size, first, error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    const std::vector<uint8_t> bytes = encodeRecovery(first);
    if (bytes.size() != size || !std::equal(bytes.begin(), bytes.end(), data)) std::abort();
    RecoverySnapshot second;
    if (!decodeRecovery(bytes.data(), bytes.size(), second, error)) std::abort();
    if (second.actors.size() != first.actors.size() || second.frameCount != first.frameCount)
        std::abort();
    return 0;
}
