#pragma once
// X error handling: Xlib's default handler exits the process on any X error, which some
// OpenGL drivers raise for harmless requests (a swap-interval call under Xvfb, say).

// Installs a handler that reports X errors on stderr (all but the one every start raises
// under Xvfb: the driver's refused vsync request) and carries on. Call before
// creating the engine device; safe to call more than once.
void installNonFatalXErrorHandler();
