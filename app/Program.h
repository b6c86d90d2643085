#pragma once
// The start-up sequence of the program, kept out of main so that tests can run it.
#include <irrlicht.h>

#include <string>
#include "platform/Timebase.h"

class GameState;

// Window size the program asks the engine for: the stage's.
constexpr irr::u32 PROGRAM_WINDOW_WIDTH = irr::u32(STAGE_WIDTH_PIXELS);
constexpr irr::u32 PROGRAM_WINDOW_HEIGHT = irr::u32(STAGE_HEIGHT_PIXELS);
// Window size of the editing mode on a screen with room for it; on a smaller screen the
// window takes the screen less EDITOR_SCREEN_RESERVE (the window manager's frame and panels).
// The editor lays itself out for whatever size the window has.
constexpr irr::u32 EDITOR_WINDOW_WIDTH = 1600;
constexpr irr::u32 EDITOR_WINDOW_HEIGHT = 960;
constexpr irr::u32 EDITOR_SCREEN_RESERVE_W = 16;
constexpr irr::u32 EDITOR_SCREEN_RESERVE_H = 48;
// Colour depth the program asks the engine for.
constexpr irr::u8 PROGRAM_COLOR_BITS = 32;

// Makes a new state for the program to run (null when it cannot be made).
using StateFactory = GameState* (*)();
// Makes the engine device (null on failure) with the given full-screen choice.
using DeviceFactory = irr::IrrlichtDevice* (*)(bool fullscreen);

// The program's arguments after its name, joined by single spaces.
std::string joinArguments(int argc, const char* const* argv);
// Full screen unless the command line starts with a lower-case 'w'.
bool wantsFullscreen(const char* commandLine);
// The program's device: OpenGL, 32 bits, stencil and vsync on, no receiver; a 1280 x 720
// window, or full screen at the display's own size.
irr::IrrlichtDevice* createProgramDevice(bool fullscreen);
// The editing mode's device: as createProgramDevice, but always a resizable window that fits
// the screen (an editor is used beside other windows).
irr::IrrlichtDevice* createEditorDevice(bool fullscreen);
// The editing window's size on a screen of the given size.
irr::core::dimension2d<irr::u32> editorWindowSize(int screenWidth, int screenHeight);
// Opens the device, runs the application with the state from makeState, returns the exit code.
int runProgram(const char* commandLine, StateFactory makeState,
               DeviceFactory makeDevice = createProgramDevice);
