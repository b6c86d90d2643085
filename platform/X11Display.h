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
// The size in pixels of the X display's default screen; false without an X display.
bool displaySize(unsigned& width, unsigned& height);
