#include "platform/X11Display.h"

#include <X11/Xlib.h>

namespace {

// Other client messages looked at (and put back) while looking for a close request.
constexpr int MAX_OTHER_CLIENT_MESSAGES = 16;

// The X connection and window of the device's OpenGL driver; false for any other driver.
bool deviceWindow(irr::IrrlichtDevice* device, Display*& display, Window& window) {
    if (!device || !device->getVideoDriver()) return false;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    if (driver->getDriverType() != irr::video::EDT_OPENGL) return false;
    display = static_cast<Display*>(driver->getExposedVideoData().OpenGLLinux.X11Display);
    window = Window(driver->getExposedVideoData().OpenGLLinux.X11Window);
    return display != nullptr;
}

}  // namespace

void flushWindowRequests(irr::IrrlichtDevice* device) {
    Display* display = nullptr;
    Window window = 0;
    if (deviceWindow(device, display, window)) XFlush(display);
}

bool takeWindowCloseRequest(irr::IrrlichtDevice* device) {
    Display* display = nullptr;
    Window window = 0;
    if (!deviceWindow(device, display, window) || !window) return false;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", True);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", True);
    if (protocols == None || deleteWindow == None) return false;
    bool taken = false;
    XEvent event;
    XEvent others[MAX_OTHER_CLIENT_MESSAGES];
    int kept = 0;
    while (kept < MAX_OTHER_CLIENT_MESSAGES && XCheckTypedWindowEvent(display, window, ClientMessage, &event)) {
        if (event.xclient.message_type == protocols &&
            Atom(event.xclient.data.l[0]) == deleteWindow)
            taken = true;
        else
            others[kept++] = event;
    }
    // Put the other messages back in their order.
    while (kept > 0) XPutBackEvent(display, &others[--kept]);
    return taken;
}

bool altHeld(irr::IrrlichtDevice* device) {
    Display* display = nullptr;
    Window window = 0;
    if (!deviceWindow(device, display, window) || !window) return false;
    Window root, child;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    if (!XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask)) return false;
    return (mask & Mod1Mask) != 0;
}

bool currentWindowSize(irr::IrrlichtDevice* device, int& width, int& height) {
    Display* display = nullptr;
    Window window = 0;
    if (!deviceWindow(device, display, window) || !window) return false;
    Window root;
    int x = 0, y = 0;
    unsigned w = 0, h = 0, border = 0, depth = 0;
    if (!XGetGeometry(display, window, &root, &x, &y, &w, &h, &border, &depth)) return false;
    width = int(w);
    height = int(h);
    return w > 0 && h > 0;
}

bool displaySize(unsigned& width, unsigned& height) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    const int screen = DefaultScreen(display);
    width = unsigned(DisplayWidth(display, screen));
    height = unsigned(DisplayHeight(display, screen));
    XCloseDisplay(display);
    return width > 0 && height > 0;
}

DisplayHold::DisplayHold() : display(XOpenDisplay(nullptr)) {}

DisplayHold::~DisplayHold() {
    if (display) XCloseDisplay(static_cast<Display*>(display));
}
