#include "platform/X11Errors.h"

#include <X11/Xlib.h>

#include <cstdio>

namespace {

int reportXError(Display* display, XErrorEvent* event) {
    char text[256] = {0};
    XGetErrorText(display, event->error_code, text, sizeof text - 1);
    std::fprintf(stderr, "X error ignored: %s (request %d.%d)\n", text, event->request_code,
                 event->minor_code);
    return 0;
}

}  // namespace

void installNonFatalXErrorHandler() { XSetErrorHandler(reportXError); }
