#include "platform/Signals.h"

#include <SDL.h>
#include <pthread.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <ctime>

namespace {

// The signals that end the program.
constexpr int QUIT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};

// The signal received, 0 if none; written only by the handler.
volatile std::sig_atomic_t receivedSignal = 0;
// The thread whose blocking calls a signal should interrupt (the main loop's).
pthread_t mainThread;
bool mainThreadKnown = false;

// Records the signal; when another thread (an audio thread) caught it, passes it on to the
// main thread so that a sleep there is cut short too. Async-signal-safe.
void onQuitSignal(int sig) {
    const int savedErrno = errno;
    receivedSignal = sig;
    if (mainThreadKnown && !pthread_equal(pthread_self(), mainThread))
        pthread_kill(mainThread, sig);
    errno = savedErrno;
}

// SIGTERM handler of a child started by runChildUntilQuit: ends its whole process group, so
// that what the child started (a library may fork again) goes with it.
void endChildGroup(int) { kill(0, SIGKILL); }

// Sleeps one polling interval.
void pollPause() {
    timespec ts{0, long(QUIT_POLL_MS) * 1000000L};
    nanosleep(&ts, nullptr);
}

}  // namespace

void installQuitSignals() {
    // SDL would otherwise turn these signals into quit events that nothing reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    mainThread = pthread_self();
    mainThreadKnown = true;
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: a sleep or a wait returns early
    for (int sig : QUIT_SIGNALS) sigaction(sig, &action, nullptr);
}

int quitSignal() { return int(receivedSignal); }

void clearQuitSignal() { receivedSignal = 0; }

int runChildUntilQuit(int (*task)(void*), void* arg) {
    const pid_t child = fork();
    if (child < 0) return task(arg);
    if (child == 0) {
        setpgid(0, 0);
        // A child of a program killed outright does not stay behind.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        for (int sig : QUIT_SIGNALS) std::signal(sig, SIG_DFL);
        std::signal(SIGTERM, endChildGroup);
        if (getppid() == 1) _exit(1);  // the program ended before the child was ready
        _exit(task(arg));
    }
    setpgid(child, child);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) return -1;
        if (quitSignal()) {
            kill(-child, SIGKILL);
            while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
            }
            return -1;
        }
        pollPause();
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
