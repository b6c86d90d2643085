#pragma once
// The start-up sequence of the program, kept out of main so that tests can run it.
#include <irrlicht.h>

#include <string>

class GameState;

// Window size the program asks the engine for.
constexpr irr::u32 PROGRAM_WINDOW_WIDTH = 1280;
constexpr irr::u32 PROGRAM_WINDOW_HEIGHT = 720;
// Window size of the editing mode: the stage centred with room around it for the panel.
// Below the stage the panel needs 145 pixels (timeline, frame numbers, five slider rows and
// the "Wobble" row); the stage stays centred, so the same room is above it. At the sides the
// row labels and "Bind scale" (left) and the values (right) need 160 pixels.
constexpr irr::u32 EDITOR_WINDOW_WIDTH = 1600;
constexpr irr::u32 EDITOR_WINDOW_HEIGHT = 1016;
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
// The editing mode's device: as createProgramDevice, but always a window of the editor's size
// (an editor is used beside other windows, and the size is no full-screen mode).
irr::IrrlichtDevice* createEditorDevice(bool fullscreen);
// Opens the device, runs the application with the state from makeState, returns the exit code.
int runProgram(const char* commandLine, StateFactory makeState,
               DeviceFactory makeDevice = createProgramDevice);
