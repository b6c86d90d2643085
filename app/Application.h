#pragma once
// The program's spine: event routing, the current state and the fixed-step main loop.
#include <irrlicht.h>

#include <cstdint>
#include <functional>
#include <memory>

#include "app/FixedStepClock.h"

class GameState;
class Renderer2D;

class Application : public irr::IEventReceiver {
public:
    explicit Application(irr::IrrlichtDevice* device);
    ~Application() override;

    // Routes mouse presses, releases, motion, wheel and key events to the current state.
    bool OnEvent(const irr::SEvent& event) override;
    // Takes the driver and scene manager, creates the renderer, resets the clock.
    virtual bool init(irr::IrrlichtDevice* device);
    // The main loop: runs while the device runs, isRunning() and no quit signal came.
    virtual void run();
    // Hook called after each drawn frame.
    virtual void afterRender() {}
    // Leaves the old state, enters the new one (may be null), resets the clock.
    virtual void setState(GameState* state);
    // The window caption once start-up succeeded.
    virtual const wchar_t* caption() { return L"TUMELORA"; }
    // Advances the state in fixed steps; false when nothing should be drawn.
    virtual bool fixedUpdate();

    bool isRunning() const { return running; }
    void setRunning(bool value) { running = value; }
    Renderer2D* renderer() const { return renderer_.get(); }
    irr::IrrlichtDevice* device() const { return device_; }
    irr::video::IVideoDriver* driver() const { return driver_; }
    // The size of the picture the state draws: the stage size when one is set, else the screen's.
    int screenWidth() const;
    int screenHeight() const;
    // Draws a picture of this size scaled to fit the screen and centred, and maps mouse
    // positions back into it (0 x 0: the screen's own size, one pixel per pixel).
    void setStageSize(int width, int height);
    GameState* state() const { return state_; }
    // Hands the window's close button to guard, which returns true when the program may end;
    // without a guard (the default) closing the window ends the program at once.
    void setCloseGuard(std::function<bool()> guard) { closeGuard = std::move(guard); }

    // A clock the fixed-step clock follows instead of the tick clock: it writes the time in
    // ms on the fixed-step clock's own scale (since the last reset) and returns true, or
    // returns false while it has no time to give (then the tick clock runs).
    using TimeSource = std::function<bool(double* ms)>;
    // Installs the time source (an empty one leaves the tick clock alone).
    void setTimeSource(TimeSource source);

    // One iteration's clock: the time source's time (plus the display lead) while it has
    // one; otherwise closes half of the lag behind the tick clock.
    void smoothClock();
    // The clock runs at rate ms a real ms (1: real time; 0.5 while the music plays at half
    // speed): the tick clock does, going on from where it stands, and a time source is taken
    // to (the display lead, a real time, counts at the rate). Not positive: no change.
    void setClockRate(double rate);
    // Sets both clocks to 0 and remembers the current tick.
    void resetClock();

    // The loop's fixed-step clock.
    FixedStepClock clock;

private:
    bool running = true;
    TimeSource timeSource;
    // True when the last smoothing followed the time source.
    bool followedSource = false;
    // The tick the clock reads (ms) at a tick count: run at the clock's rate since it was set.
    uint32_t clockTickAt(uint32_t tick) const;
    // The clock's rate, and the tick count and the clock's tick when it was set.
    double clockRate_ = 1.0;
    uint32_t rateFromTick = 0;
    uint32_t rateFromClockTick = 0;
    // How far ahead of the clock's reading a drawn frame is on screen on average (ms): the
    // time from the reading to the end of drawing plus half the time a frame stays up.
    // Added to the time source's time, so the frame drawn is the one due while it is seen.
    double displayLeadMs = 0.0;
    GameState* state_ = nullptr;
    std::unique_ptr<Renderer2D> renderer_;
    irr::IrrlichtDevice* device_;
    irr::video::IVideoDriver* driver_ = nullptr;
    irr::scene::ISceneManager* sceneManager = nullptr;
    std::function<bool()> closeGuard;
    int stageW = 0, stageH = 0;  // set by setStageSize; 0: the screen's own size
};

// The fixed-step clock's time (ms) that makes its next steps land the frame nearest to the
// heard music: the simulated time, plus how far the heard music (ms) is past the current
// frame's time, less half a frame (steps are taken while the clock is ahead).
double musicClockMs(double simulatedTimeMs, double heardMs, int currentFrame);

// The one application (set by init).
Application* theApplication();
