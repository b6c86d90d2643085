#pragma once
// The signals that ask the program to end (SIGINT, SIGTERM, SIGHUP): Ctrl+C in a terminal,
// `kill`, `timeout`, a desktop logout. The handler only records the signal; the main loop and
// every wait of the program poll quitSignal() and end through their normal path.

// Longest time, in milliseconds, that a wait of the program goes without polling quitSignal().
constexpr int QUIT_POLL_MS = 20;

// Installs the handler for SIGINT, SIGTERM and SIGHUP (the thread calling it is the one the
// handler wakes up) and keeps libraries from putting their own handlers in its place.
void installQuitSignals();
// The signal that asked the program to end, 0 if none.
int quitSignal();
// Forgets a recorded signal (for tests).
void clearQuitSignal();
// Runs task(arg) in a child process with a process group of its own and waits for it; a quit
// signal ends the child and everything it started. The child's exit code, or -1 when it could
// not run or was ended.
int runChildUntilQuit(int (*task)(void*), void* arg);
