#include "app/Application.h"

#include "app/GameState.h"
#include "platform/Signals.h"
#include "platform/Ticks.h"
#include "platform/Timebase.h"
#include "platform/X11Display.h"
#include "render/Letterbox.h"
#include "render/Renderer2D.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

using namespace irr;

namespace {

// The one application, set as the first action of init.
Application* currentApplication = nullptr;

// Sleep when the engine's real-time clock did not move during an iteration.
constexpr u32 IDLE_SLEEP_MS = 2;
// Sleep after an iteration during which the real-time clock moved.
constexpr u32 BUSY_SLEEP_MS = 1;
// Weight of each drawn frame in the running average of the display lead.
constexpr double DISPLAY_LEAD_WEIGHT = 0.1;
// Largest display lead taken into account, in ms (a long stall is not a typical frame).
constexpr double MAX_DISPLAY_LEAD_MS = 100.0;

// Milliseconds between two moments of the monotonic clock.
double msBetween(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

}  // namespace

Application* theApplication() { return currentApplication; }

double musicClockMs(double simulatedTimeMs, double heardMs, int currentFrame) {
    return simulatedTimeMs + (heardMs - currentFrame * FRAME_MS) - FRAME_MS / 2.0;
}

Application::Application(IrrlichtDevice* device) : device_(device) {}

Application::~Application() {
    if (currentApplication == this) currentApplication = nullptr;
}

bool Application::init(IrrlichtDevice* device) {
    currentApplication = this;
    device_ = device;
    if (!device_) return false;
    driver_ = device_->getVideoDriver();
    if (!driver_) return false;
    sceneManager = device_->getSceneManager();
    if (!sceneManager) return false;
    // A second init replaces the renderer.
    renderer_ = std::make_unique<Renderer2D>(device_, DEFAULT_QUAD_CAPACITY);
    resetClock();
    return true;
}

void Application::setState(GameState* state) {
    if (state_) state_->leave();
    state_ = state;
    if (state_) state_->enter();
    resetClock();
}

void Application::resetClock() {
    followedSource = false;
    clock.reset(clockTickAt(GetTickCount()));
}

uint32_t Application::clockTickAt(uint32_t tick) const {
    // At the rate 1 from the start this is the tick count itself.
    return rateFromClockTick + uint32_t(std::llround(double(uint32_t(tick - rateFromTick)) * clockRate_));
}

void Application::setClockRate(double rate) {
    if (!(rate > 0.0) || rate == clockRate_) return;
    const uint32_t tick = GetTickCount();
    rateFromClockTick = clockTickAt(tick);
    rateFromTick = tick;
    clockRate_ = rate;
}

void Application::setTimeSource(TimeSource source) { timeSource = std::move(source); }

void Application::smoothClock() {
    double sourceMs = 0.0;
    if (timeSource && timeSource(&sourceMs)) {
        followedSource = true;
        // The source is smooth already (halving toward it would leave the clock one loop
        // iteration behind it); a source far outside the int range is not a time.
        if (sourceMs > -1e9 && sourceMs < 1e9)
            clock.smoothedTimeMs = int32_t(std::floor(sourceMs + displayLeadMs * clockRate_));
        return;
    }
    if (followedSource) {
        // Back to the tick clock: it goes on from where the source left the clock.
        followedSource = false;
        clock.startTick = clockTickAt(GetTickCount()) - uint32_t(clock.smoothedTimeMs);
    }
    clock.smoothToward(clockTickAt(GetTickCount()));
}

bool Application::fixedUpdate() {
    // The state is advanced in steps until the simulated time reaches the smoothed clock, at
    // most maxStepsPerFrame steps per call; a larger backlog is kept and caught up in later
    // calls.
    const double now = double(clock.smoothedTimeMs);
    if (clock.simulatedTimeMs > now) return false;
    if (!state_) {
        clock.simulatedTimeMs = now;
        return false;
    }
    int steps = 0;
    while (now > clock.simulatedTimeMs) {
        if (++steps > clock.maxStepsPerFrame) break;
        // The rate is read at every step; a state without a positive rate is not advanced.
        const int rate = state_->updateRate();
        if (rate <= 0) break;
        state_->update(clock.step(rate));
    }
    // Following the music, an iteration that leaves a backlog draws nothing: the next
    // iterations catch up without the cost of drawing, so a slow machine drops pictures
    // instead of falling behind the music.
    const int rate = state_->updateRate();
    if (followedSource && rate > 0 && now > clock.simulatedTimeMs + FixedStepClock::stepMs(rate)) return false;
    return true;
}

void Application::run() {
    using std::chrono::steady_clock;
    steady_clock::time_point lastShown{};
    for (;;) {
        // With a guard the close button only asks; the guard ends the program if it agrees.
        if (closeGuard && takeWindowCloseRequest(device_)) closeGuard();
        // A quit signal ends the loop like Escape does: the state is left and shut down after it.
        if (!device_->run() || !running || quitSignal()) break;
        ITimer* timer = device_->getTimer();
        const u32 t0 = timer->getRealTime();
        const steady_clock::time_point read = steady_clock::now();
        smoothClock();
        if (fixedUpdate()) {
            if (state_) state_->render(device_);
            afterRender();
            const steady_clock::time_point shown = steady_clock::now();
            if (lastShown != steady_clock::time_point{}) {
                const double lead = std::min(msBetween(read, shown) + msBetween(lastShown, shown) / 2.0,
                                             MAX_DISPLAY_LEAD_MS);
                displayLeadMs += (lead - displayLeadMs) * DISPLAY_LEAD_WEIGHT;
            }
            lastShown = shown;
        }
        const u32 t1 = timer->getRealTime();
        device_->sleep(t0 == t1 ? IDLE_SLEEP_MS : BUSY_SLEEP_MS, false);
    }
}

bool Application::OnEvent(const SEvent& event) {
    if (!state_) return false;
    switch (event.EventType) {
        case EET_MOUSE_INPUT_EVENT: {
            const SEvent::SMouseInput* mouse = &event.MouseInput;
            SEvent::SMouseInput mapped;
            if (stageW > 0 && stageH > 0 && driver_) {
                // A stage scaled onto the screen: every click lands where it would in a window.
                const core::dimension2du screen = driver_->getScreenSize();
                const Letterbox box = fitStage(int(screen.Width), int(screen.Height), stageW, stageH);
                mapped = event.MouseInput;
                mapped.X = screenToStage(mapped.X, box.x, box.width, stageW);
                mapped.Y = screenToStage(mapped.Y, box.y, box.height, stageH);
                mouse = &mapped;
            }
            switch (mouse->Event) {
                case EMIE_LMOUSE_PRESSED_DOWN:
                case EMIE_RMOUSE_PRESSED_DOWN:
                case EMIE_MMOUSE_PRESSED_DOWN:
                    return state_->mouseDown(mouse);
                case EMIE_LMOUSE_LEFT_UP:
                case EMIE_RMOUSE_LEFT_UP:
                case EMIE_MMOUSE_LEFT_UP:
                    return state_->mouseUp(mouse);
                case EMIE_MOUSE_MOVED:
                    return state_->mouseMove(mouse);
                case EMIE_MOUSE_WHEEL:
                    return state_->mouseWheel(mouse);
                default:  // double and triple clicks
                    return false;
            }
        }
        case EET_KEY_INPUT_EVENT:
            return event.KeyInput.PressedDown ? state_->keyDown(&event.KeyInput)
                                              : state_->keyUp(&event.KeyInput);
        default:
            return false;
    }
}

int Application::screenWidth() const {
    if (stageW > 0) return stageW;
    return driver_ ? int(driver_->getScreenSize().Width) : 0;
}

int Application::screenHeight() const {
    if (stageH > 0) return stageH;
    return driver_ ? int(driver_->getScreenSize().Height) : 0;
}

void Application::setStageSize(int width, int height) {
    stageW = width > 0 && height > 0 ? width : 0;
    stageH = width > 0 && height > 0 ? height : 0;
    if (renderer_) renderer_->setStageSize(stageW, stageH);
}
