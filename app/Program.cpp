#include "app/Program.h"

#include "app/Application.h"
#include "app/GameState.h"
#include "app/ShowError.h"
#include "platform/Signals.h"
#include "platform/X11Display.h"
#include "platform/X11Errors.h"

using namespace irr;

namespace {

// Sets the window caption and sends it at once, so it shows while start-up is busy.
void showCaption(IrrlichtDevice* device, const wchar_t* caption) {
    device->setWindowCaption(caption);
    flushWindowRequests(device);
}

}  // namespace

std::string joinArguments(int argc, const char* const* argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

bool wantsFullscreen(const char* commandLine) {
    return !(commandLine && commandLine[0] == 'w');
}

IrrlichtDevice* createProgramDevice(bool fullscreen) {
    core::dimension2d<u32> size(PROGRAM_WINDOW_WIDTH, PROGRAM_WINDOW_HEIGHT);
    // Full screen covers the display at its own size, so that its mode never has to change;
    // the application then scales the stage's picture onto it.
    unsigned width = 0, height = 0;
    if (fullscreen && displaySize(width, height)) size.set(width, height);
    return createDevice(video::EDT_OPENGL, size, PROGRAM_COLOR_BITS, fullscreen, true, true,
                        nullptr);
}

core::dimension2d<u32> editorWindowSize(int screenWidth, int screenHeight) {
    u32 w = EDITOR_WINDOW_WIDTH, h = EDITOR_WINDOW_HEIGHT;
    if (screenWidth > int(EDITOR_SCREEN_RESERVE_W))
        w = core::min_(w, u32(screenWidth) - EDITOR_SCREEN_RESERVE_W);
    if (screenHeight > int(EDITOR_SCREEN_RESERVE_H))
        h = core::min_(h, u32(screenHeight) - EDITOR_SCREEN_RESERVE_H);
    return core::dimension2d<u32>(w, h);
}

IrrlichtDevice* createEditorDevice(bool) {
    unsigned sw = 0, sh = 0;
    const core::dimension2d<u32> size =
        displaySize(sw, sh) ? editorWindowSize(int(sw), int(sh))
                            : core::dimension2d<u32>(EDITOR_WINDOW_WIDTH, EDITOR_WINDOW_HEIGHT);
    IrrlichtDevice* device =
        createDevice(video::EDT_OPENGL, size, PROGRAM_COLOR_BITS, false, true, true, nullptr);
    if (device) device->setResizable(true);
    return device;
}

void ProgramSession::DeviceDrop::operator()(IrrlichtDevice* device) const { device->drop(); }

ProgramSession::ProgramSession() = default;

ProgramSession::~ProgramSession() {
    if (state_) {
        state_->shutdown();
        state_.reset();
    }
    if (receiving) device_->setEventReceiver(nullptr);
    application_.reset();
    device_.reset();
}

ProgramSession::Start ProgramSession::start(const ProgramSetup& setup, const StateFactory& makeState) {
    // Ctrl+C, kill and a logout end the program through the same path as Escape.
    installQuitSignals();
    // Some OpenGL drivers raise harmless X errors while the device starts (vsync).
    installNonFatalXErrorHandler();
    {
        // The device factory may read the display's size through a short connection first.
        const DisplayHold hold;
        device_.reset(setup.makeDevice(setup.fullscreen));
    }
    if (!device_) return Start::NoDevice;
    IrrlichtDevice* device = device_.get();
    showCaption(device, setup.loadingCaption);
    device->getVideoDriver()->setTextureCreationFlag(video::ETCF_OPTIMIZED_FOR_QUALITY, true);

    application_ = std::make_unique<Application>(device);
    if (!application_->init(device)) return Start::NoApplication;
    // The program's picture, scaled to fit the display and centred (also where the engine
    // could only open a window of the display's size).
    if (setup.fitStage) application_->setStageSize(STAGE_WIDTH_PIXELS, STAGE_HEIGHT_PIXELS);
    if (setup.receiveInput) {
        device->setEventReceiver(application_.get());
        receiving = true;
    }
    showCaption(device, setup.caption ? setup.caption : application_->caption());
    if (makeState) state_ = makeState();
    if (!state_ || !state_->init()) return Start::NoState;
    return Start::Ready;
}

void ProgramSession::run() {
    application_->setState(state_.get());
    application_->run();
    application_->setState(nullptr);
}

int runProgram(const char* commandLine, const StateFactory& makeState, DeviceFactory makeDevice) {
    ProgramSetup setup;
    setup.makeDevice = makeDevice;
    setup.fullscreen = wantsFullscreen(commandLine);
    setup.fitStage = setup.fullscreen && makeDevice == createProgramDevice;
    ProgramSession session;
    switch (session.start(setup, makeState)) {
        case ProgramSession::Start::NoDevice:
            showError("Error", "Cannot initialize engine with given video driver & parameters.");
            return 1;
        case ProgramSession::Start::NoApplication:
            return 0;
        case ProgramSession::Start::NoState:
            showError("Error", "Couldn't initialize MainState.");
            return 0;
        case ProgramSession::Start::Ready:
            break;
    }
    session.run();
    return 0;
}
