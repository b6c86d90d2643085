// Feeds arbitrary text to the user's settings reader; whatever it accepts lies in range and must
// be written and read back to the same settings (to the thousandth of a millisecond it writes).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/UserSettings.h"

namespace {

// True when a delay read is one the settings accept.
bool inRange(double ms) { return std::isfinite(ms) && ms >= SETTINGS_DELAY_MIN_MS && ms <= SETTINGS_DELAY_MAX_MS; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    UserSettings settings;
    std::string error;
    if (!parseUserSettings(text, settings, error)) {
        if (error.empty()) std::abort();  // a refusal always says why
        return 0;
    }
    if (!inRange(settings.performerDelayMs) || !inRange(settings.audioDelayMs)) std::abort();
    UserSettings again;
    if (!parseUserSettings(formatUserSettings(settings), again, error)) std::abort();
    if (std::fabs(again.performerDelayMs - settings.performerDelayMs) > 0.0005 + 1e-9 ||
        std::fabs(again.audioDelayMs - settings.audioDelayMs) > 0.0005 + 1e-9)
        std::abort();
    return 0;
}
