#pragma once
// Talking to the X server behind the engine's window.
#include <irrlicht.h>

// Sends the window's pending X requests (a caption change, say) to the server now; the
// engine only sends them while its run() processes events. No-op without an X display.
void flushWindowRequests(irr::IrrlichtDevice* device);
// Takes a pending request of the window manager to close the device's window off the event
// queue, before the engine sees it; true when there was one. Other events stay queued.
bool takeWindowCloseRequest(irr::IrrlichtDevice* device);
// The size the device's window has now on the X server (the engine may not have heard of a
// change yet); false without one.
bool currentWindowSize(irr::IrrlichtDevice* device, int& width, int& height);
// True while an Alt key is held (the X server's modifier state now; the engine's mouse
// records do not carry it); false without an X display.
bool altHeld(irr::IrrlichtDevice* device);
// The size in pixels of the X display's default screen; false without an X display.
bool displaySize(unsigned& width, unsigned& height);

// A connection to the X display, held open while the engine opens its own: an X server that
// resets when its last client leaves (a plain Xvfb, as headless machines run it) would
// otherwise reset, and refuse the engine, whenever a short connection (displaySize) closed just
// before. Holds nothing without an X display.
class DisplayHold {
public:
    // Opens the connection (none without an X display).
    DisplayHold();
    // Closes the connection.
    ~DisplayHold();
    DisplayHold(const DisplayHold&) = delete;
    DisplayHold& operator=(const DisplayHold&) = delete;

private:
    void* display;  // the Xlib Display, or null
};
