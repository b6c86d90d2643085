#include "platform/X11Display.h"

#include <X11/Xlib.h>

void flushWindowRequests(irr::IrrlichtDevice* device) {
    if (!device || !device->getVideoDriver()) return;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    if (driver->getDriverType() != irr::video::EDT_OPENGL) return;
    void* display = driver->getExposedVideoData().OpenGLLinux.X11Display;
    if (display) XFlush(static_cast<Display*>(display));
}

bool takeWindowCloseRequest(irr::IrrlichtDevice* device) {
    if (!device || !device->getVideoDriver()) return false;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    if (driver->getDriverType() != irr::video::EDT_OPENGL) return false;
    Display* display = static_cast<Display*>(driver->getExposedVideoData().OpenGLLinux.X11Display);
    const Window window = Window(driver->getExposedVideoData().OpenGLLinux.X11Window);
    if (!display || !window) return false;
    const Atom protocols = XInternAtom(display, "WM_PROTOCOLS", True);
    const Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", True);
    if (protocols == None || deleteWindow == None) return false;
    bool taken = false;
    XEvent event;
    XEvent others[16];
    int kept = 0;
    while (kept < 16 && XCheckTypedWindowEvent(display, window, ClientMessage, &event)) {
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


bool currentWindowSize(irr::IrrlichtDevice* device, int& width, int& height) {
    if (!device || !device->getVideoDriver()) return false;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    if (driver->getDriverType() != irr::video::EDT_OPENGL) return false;
    Display* display = static_cast<Display*>(driver->getExposedVideoData().OpenGLLinux.X11Display);
    const Window window = Window(driver->getExposedVideoData().OpenGLLinux.X11Window);
    if (!display || !window) return false;
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
