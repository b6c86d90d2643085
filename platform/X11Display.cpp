#include "platform/X11Display.h"

#include <X11/Xlib.h>

void flushWindowRequests(irr::IrrlichtDevice* device) {
    if (!device || !device->getVideoDriver()) return;
    irr::video::IVideoDriver* driver = device->getVideoDriver();
    if (driver->getDriverType() != irr::video::EDT_OPENGL) return;
    void* display = driver->getExposedVideoData().OpenGLLinux.X11Display;
    if (display) XFlush(static_cast<Display*>(display));
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
