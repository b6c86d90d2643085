#pragma once
// The start-up and teardown of the program, kept out of main so that tests can run them:
// playback, the editor and the export all start and end through ProgramSession.
#include <irrlicht.h>

#include <functional>
#include <memory>
#include <string>

#include "platform/Timebase.h"

class Application;
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
using StateFactory = std::function<std::unique_ptr<GameState>()>;
// Makes the engine device (null on failure) with the given full-screen choice.
using DeviceFactory = irr::IrrlichtDevice* (*)(bool fullscreen);

// The program's arguments after its name, joined by single spaces.
std::string joinArguments(int argc, const char* const* argv);
// Full screen unless the command line starts with a lower-case 'w'.
bool wantsFullscreen(const char* commandLine);
// The program's device: OpenGL, 32 bits, stencil and vsync on, no receiver; a stage-sized
// window, or full screen at the display's own size.
irr::IrrlichtDevice* createProgramDevice(bool fullscreen);
// The editing mode's device: as createProgramDevice, but always a resizable window that fits
// the screen (an editor is used beside other windows).
irr::IrrlichtDevice* createEditorDevice(bool fullscreen);
// The editing window's size on a screen of the given size.
irr::core::dimension2d<irr::u32> editorWindowSize(int screenWidth, int screenHeight);
// Opens the device, runs the application with the state from makeState, returns the exit code.
int runProgram(const char* commandLine, const StateFactory& makeState,
               DeviceFactory makeDevice = createProgramDevice);

// How the program starts: the device, its captions and what the application does with it.
struct ProgramSetup {
    DeviceFactory makeDevice = createProgramDevice;  // opens the engine device
    bool fullscreen = false;                         // asked of makeDevice
    // The window caption while the application starts, and from then on (null: the
    // application's own caption).
    const wchar_t* loadingCaption = L"Loading...";
    const wchar_t* caption = nullptr;
    // The application draws the stage (STAGE_WIDTH_PIXELS x STAGE_HEIGHT_PIXELS) scaled to fit
    // the screen instead of at the screen's own size.
    bool fitStage = false;
    // The application receives the window's input events (an offline export takes none).
    bool receiveInput = true;
};

// What a start of the program makes, and takes down again in reverse order: the engine device,
// the Application and the state. Quit signals and X errors are handled from start() on.
class ProgramSession {
public:
    // How start() went.
    enum class Start {
        Ready,          // the state is initialised: run() may run it
        NoDevice,       // the engine device could not be opened
        NoApplication,  // the application's init failed (no driver or scene manager)
        NoState,        // the state could not be made or its init failed
    };

    // Nothing made yet.
    ProgramSession();
    // Shuts the state down and deletes it (also after a failed init, so that what it loaded
    // is released), then deletes the application and drops the device.
    ~ProgramSession();
    ProgramSession(const ProgramSession&) = delete;
    ProgramSession& operator=(const ProgramSession&) = delete;

    // Opens the device and captions its window, creates and initialises the application, then
    // makes the state and initialises it.
    Start start(const ProgramSetup& setup, const StateFactory& makeState);
    // Enters the state, runs the application's loop until it ends, leaves the state.
    void run();

    // The engine device (null before start() opened it).
    irr::IrrlichtDevice* device() const { return device_.get(); }
    // The application (null before start() made it).
    Application* application() const { return application_.get(); }
    // The state (null before start() made it).
    GameState* state() const { return state_.get(); }

private:
    // Drops the engine device (it is reference counted).
    struct DeviceDrop {
        void operator()(irr::IrrlichtDevice* device) const;
    };
    std::unique_ptr<irr::IrrlichtDevice, DeviceDrop> device_;
    std::unique_ptr<Application> application_;
    std::unique_ptr<GameState> state_;
    bool receiving = false;  // the application is the device's event receiver
};
