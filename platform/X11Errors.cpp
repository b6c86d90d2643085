#include "platform/X11Errors.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {

// The GLX request that carries a driver's own calls (the swap interval among them).
constexpr int GLX_VENDOR_PRIVATE_REQUEST = 16;
// Room for an error's name.
constexpr int ERROR_TEXT_SIZE = 256;

// True for the error every start raises and that changes nothing: the vsync request of the
// OpenGL driver, refused by an X server without direct rendering (Xvfb, a remote display).
bool expectedError(const char* text, const XErrorEvent* event) {
    return std::strcmp(text, "GLXBadContextTag") == 0 && event->minor_code == GLX_VENDOR_PRIVATE_REQUEST;
}

// Reports the error on stderr (unless it is the expected one) and carries on. Looks up the
// error's name only: an error handler must not send requests to the server.
int reportXError(Display* display, XErrorEvent* event) {
    char text[ERROR_TEXT_SIZE] = {0};
    XGetErrorText(display, event->error_code, text, sizeof text - 1);
    if (expectedError(text, event)) return 0;
    std::fprintf(stderr, "X error ignored: %s (request %d.%d)\n", text, event->request_code,
                 event->minor_code);
    return 0;
}

}  // namespace

void installNonFatalXErrorHandler() { XSetErrorHandler(reportXError); }
