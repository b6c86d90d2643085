#pragma once
// Shared by the tests that need a real engine device with the OpenGL driver (under Xvfb).
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdlib>

#include "platform/X11Errors.h"

namespace testing_support {

// A windowed OpenGL device of the given size, or null (the caller skips) when no display.
inline irr::IrrlichtDevice* createTestDevice(irr::u32 width = 1280, irr::u32 height = 720) {
    if (!std::getenv("DISPLAY")) return nullptr;
    installNonFatalXErrorHandler();
    irr::SIrrlichtCreationParameters p;
    p.DriverType = irr::video::EDT_OPENGL;
    p.WindowSize = irr::core::dimension2d<irr::u32>(width, height);
    p.Bits = 32;
    p.Fullscreen = false;
    p.Stencilbuffer = true;
    p.Vsync = false;
    p.LoggingLevel = irr::ELL_ERROR;
    return irr::createDeviceEx(p);
}

}  // namespace testing_support

// Skips the current test when no OpenGL device can be made.
#define TUMELORA_REQUIRE_DEVICE(dev)                                          \
    do {                                                                      \
        if (!(dev)) GTEST_SKIP() << "no display: OpenGL device unavailable";  \
    } while (0)
