#pragma once
// Starting other programs (ffmpeg, the picture import helper) as child processes, with
// posix_spawn: no shell, the arguments passed as they are.
#include <sys/types.h>

#include <atomic>
#include <string>
#include <vector>

// Most bytes of a child's error output that are kept for a message (its first ones).
constexpr size_t CHILD_MESSAGE_MAX_BYTES = 4096;
// Exit status of a child whose program could not be executed.
constexpr int CHILD_EXEC_FAILED_STATUS = 127;

// Starts program (a path, not searched in PATH; a script runs through its #! line) with args
// after its name. The child's standard input is stdinFd (or /dev/null when -1), its standard
// error stderrFd (or ours when -1), its standard output /dev/null when quiet (else ours). The
// process id, or -1 with errno set when it could not be started.
pid_t spawnProcess(const std::string& program, const std::vector<std::string>& args, int stdinFd,
                   int stderrFd, bool quiet = false);
// Waits for the child to end, through interrupted waits; its wait status.
int waitForProcess(pid_t pid);

// How a child that ran to its end went.
struct ProcessResult {
    bool started = false;      // false: it could not be started (startError says why)
    int startError = 0;        // errno of the failed start
    int status = 0;            // wait status
    bool interrupted = false;  // stopped because the stop flag was raised
    std::string messages;      // the first CHILD_MESSAGE_MAX_BYTES of its error output

    // True when it started, was not interrupted and exited with status 0.
    bool succeeded() const;
    // What went wrong, in words ("exit code 1: <its first message line>"), for a message.
    std::string failure() const;
};

// Runs program with args to its end, collecting its error output (its standard input and
// output are /dev/null). When stop becomes true while it runs (a signal handler raising it
// interrupts the wait), the child is ended with SIGTERM and the result says interrupted.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::atomic<bool>* stop = nullptr);

// Environment variable naming the ffmpeg program to run instead of the one on PATH.
constexpr const char* FFMPEG_VARIABLE = "TUMELORA_FFMPEG";
// The ffmpeg to run: the variable's value when set and not empty (used as given), otherwise
// the first executable "ffmpeg" in the PATH list (empty when there is none).
std::string findFfmpeg(const char* variableValue, const char* pathList);
