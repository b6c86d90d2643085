#pragma once
// The pointer over the engine's window, sampled with the steady clock's time on a thread of its
// own: the engine's input events carry no time, and the main loop reads them only once a pass,
// so a take that must know where the hand was at a given moment asks this instead. The thread
// has an X connection of its own (used by that thread alone, so Xlib needs no thread set-up)
// and asks the server where the pointer is (XQueryPointer) every POINTER_SAMPLE_PERIOD_US; it
// may also watch one key (XQueryKeymap), for the taps of a calibration.
#include <irrlicht.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Time between two samples, in microseconds (500 a second).
constexpr int POINTER_SAMPLE_PERIOD_US = 2000;
// Most samples kept between two takes of them (older ones are dropped): 20 s.
constexpr std::size_t POINTER_SAMPLES_KEPT = 10000;

// Where the pointer was, and what was held, at a moment.
struct PointerSample {
    double ms = 0.0;          // steady clock (steadyClockMs), the middle of the server's answer
    int x = 0, y = 0;         // window pixels
    bool buttonDown = false;  // any of the left, middle and right buttons
    bool keyDown = false;     // the watched key (false when none is watched)
};

class PointerSampler {
public:
    PointerSampler() = default;
    // Stops the thread.
    ~PointerSampler();
    PointerSampler(const PointerSampler&) = delete;
    PointerSampler& operator=(const PointerSampler&) = delete;

    // Starts sampling the pointer over the device's window (the OpenGL driver's X window), and
    // the key of the X key symbol watchedKey unless it is 0; false when there is no such window
    // or no X connection can be opened (nothing runs then). A running sampler is restarted.
    bool start(irr::IrrlichtDevice* device, unsigned long watchedKey = 0);
    // Ends the thread and closes its connection; the samples not taken are kept until start.
    void stop();
    // True while the thread samples.
    bool running() const { return thread_.joinable(); }
    // Moves the samples taken since the last call, oldest first, to the end of out.
    void take(std::vector<PointerSample>& out);

private:
    // The thread's loop.
    void sample(void* display, unsigned long window, int keycode);

    std::thread thread_;
    std::atomic<bool> quit_{false};
    std::mutex mutex_;
    std::vector<PointerSample> samples_;  // guarded by mutex_
};
