#include "platform/PointerSampler.h"

#include <X11/Xlib.h>
#include <time.h>

#include <algorithm>

#include "platform/Ticks.h"

namespace {

// Nanoseconds a second.
constexpr long NS_PER_SECOND = 1000000000L;

// Adds us microseconds to t.
void addMicroseconds(timespec& t, long us) {
    t.tv_nsec += us * 1000L;
    while (t.tv_nsec >= NS_PER_SECOND) {
        t.tv_nsec -= NS_PER_SECOND;
        ++t.tv_sec;
    }
}

}  // namespace

PointerSampler::~PointerSampler() { stop(); }

bool PointerSampler::start(irr::IrrlichtDevice* device, unsigned long watchedKey) {
    stop();
    irr::video::IVideoDriver* driver = device ? device->getVideoDriver() : nullptr;
    if (!driver || driver->getDriverType() != irr::video::EDT_OPENGL) return false;
    Display* engine = static_cast<Display*>(driver->getExposedVideoData().OpenGLLinux.X11Display);
    const Window window = Window(driver->getExposedVideoData().OpenGLLinux.X11Window);
    if (!engine || !window) return false;
    // A connection of the sampler's own to the engine's display.
    Display* own = XOpenDisplay(DisplayString(engine));
    if (!own) return false;
    const int keycode = watchedKey ? XKeysymToKeycode(own, KeySym(watchedKey)) : 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        samples_.clear();
    }
    quit_ = false;
    thread_ = std::thread(&PointerSampler::sample, this, static_cast<void*>(own), static_cast<unsigned long>(window),
                          keycode);
    return true;
}

void PointerSampler::stop() {
    if (!thread_.joinable()) return;
    quit_ = true;
    thread_.join();
}

void PointerSampler::take(std::vector<PointerSample>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    out.insert(out.end(), samples_.begin(), samples_.end());
    samples_.clear();
}

void PointerSampler::sample(void* connection, unsigned long windowId, int keycode) {
    Display* display = static_cast<Display*>(connection);
    const Window window = Window(windowId);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    while (!quit_) {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned mask = 0;
        char keys[32] = {};
        const double before = steadyClockMs();
        const bool onScreen = XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask);
        if (keycode > 0) XQueryKeymap(display, keys);
        const double after = steadyClockMs();
        if (onScreen) {
            PointerSample s;
            s.ms = (before + after) / 2.0;
            s.x = x;
            s.y = y;
            s.buttonDown = (mask & (Button1Mask | Button2Mask | Button3Mask)) != 0;
            s.keyDown = keycode > 0 && (keys[keycode / 8] & (1 << (keycode % 8))) != 0;
            std::lock_guard<std::mutex> lock(mutex_);
            if (samples_.size() >= POINTER_SAMPLES_KEPT)
                samples_.erase(samples_.begin(), samples_.begin() + std::ptrdiff_t(POINTER_SAMPLES_KEPT / 2));
            samples_.push_back(s);
        }
        // The next sample on the grid; after a long delay (a busy machine) from now on.
        addMicroseconds(next, POINTER_SAMPLE_PERIOD_US);
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        if (now.tv_sec > next.tv_sec || (now.tv_sec == next.tv_sec && now.tv_nsec > next.tv_nsec)) next = now;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) != 0 && !quit_) {
        }
    }
    XCloseDisplay(display);
}
