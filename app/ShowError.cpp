#include "app/ShowError.h"

#include <SDL.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Signals.h"

namespace {

// Size of the message buffer, terminating zero included.
constexpr int SHOW_ERROR_BUFFER_SIZE = SHOW_ERROR_MAX_CHARS + 1;

// True when a box may be shown: a display exists and automated runs have not turned boxes off.
bool boxWanted() {
    const char* off = std::getenv("TUMELORA_NO_ERROR_BOX");
    if (off && std::strcmp(off, "1") == 0) return false;
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (wayland && *wayland);
}

// The box's caption and text, handed to the process that shows it.
struct BoxText {
    const char* caption;
    const char* text;
};

// Shows the box and waits for the user to close it.
int showBox(void* arg) {
    const BoxText* box = static_cast<const BoxText*>(arg);
    return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, box->caption, box->text, nullptr) == 0
               ? 0
               : 1;
}

}  // namespace

void showError(const char* caption, const char* format, ...) {
    char text[SHOW_ERROR_BUFFER_SIZE];
    std::memset(text, 0, sizeof text);
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    if (!boxWanted() || quitSignal()) return;
    // The box blocks until it is closed; in a process of its own it also ends on a signal.
    BoxText box{caption, text};
    runChildUntilQuit(showBox, &box);
}
