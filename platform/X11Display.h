#pragma once
// Talking to the X server behind the engine's window.
#include <irrlicht.h>

// Sends the window's pending X requests (a caption change, say) to the server now; the
// engine only sends them while its run() processes events. No-op without an X display.
void flushWindowRequests(irr::IrrlichtDevice* device);
// The size in pixels of the X display's default screen; false without an X display.
bool displaySize(unsigned& width, unsigned& height);
