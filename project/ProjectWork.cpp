#include "project/ProjectWork.h"

namespace {

// Raised by a stop signal while a StopSignals scope is open.
std::atomic<bool> stopSignalled{false};

// The handler of the stop signals.
void onStop(int) { stopSignalled = true; }

}  // namespace

StopSignals::StopSignals() {
    struct sigaction stop {};
    stop.sa_handler = onStop;
    sigemptyset(&stop.sa_mask);
    sigaction(SIGINT, &stop, &oldInt);
    sigaction(SIGTERM, &stop, &oldTerm);
    sigaction(SIGHUP, &stop, &oldHup);
    stopSignalled = false;
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    sigaction(SIGHUP, &oldHup, nullptr);
}

const std::atomic<bool>* stopFlag() { return &stopSignalled; }

bool stopRequested() { return stopSignalled; }
