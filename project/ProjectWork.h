#pragma once
// What the steps of making a project (--new) or adding to one (--add) share: the failure
// they report, and the stop that Ctrl+C, `kill` or a hangup asks for while they work.
#include <atomic>
#include <csignal>
#include <string>

// A failure: the file it concerns and the reason, in words.
struct ProjectFailure {
    std::string file;
    std::string reason;
};

// For its scope, SIGINT, SIGTERM and SIGHUP raise the stop flag instead of ending the
// program (without restarting interrupted calls, so a wait for a child returns); the
// handlers before it come back after. The work then stops and removes what it made.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt {}, oldTerm {}, oldHup {};
};

// The flag a stop signal raises (for runProcess, which ends its child when it is raised).
const std::atomic<bool>* stopFlag();
// True once a stop signal arrived within a StopSignals scope.
bool stopRequested();
