#pragma once
// Starting other programs (ffmpeg, the picture import helper) as child processes: no shell,
// the arguments passed as they are. A child never outlives the program: it is ended with
// SIGKILL when the program's main thread ends, however the program ends (kill -9 included).
#include <signal.h>
#include <sys/types.h>

#include <string>
#include <vector>

// Most bytes of a child's error output that are kept for a message (its first ones).
constexpr size_t CHILD_MESSAGE_MAX_BYTES = 4096;
// Exit status of a child whose program could not be executed.
constexpr int CHILD_EXEC_FAILED_STATUS = 127;

// Starts program (a path, not searched in PATH; a script runs through its #! line) with args
// after its name. The child's standard input is stdinFd (or /dev/null when -1), its standard
// error stderrFd (or ours when -1), its standard output /dev/null when quiet (else ours); its
// signals start at their defaults, unblocked. Call from the main thread (the child's life is
// tied to the thread that starts it). The process id, or -1 with errno set when it could not
// be started (the program missing or not executable included).
pid_t spawnProcess(const std::string& program, const std::vector<std::string>& args, int stdinFd,
                   int stderrFd, bool quiet = false);
// Waits for the child to end, through interrupted waits; its wait status.
int waitForProcess(pid_t pid);

// How a child that ran to its end went.
struct ProcessResult {
    bool started = false;      // false: it could not be started (startError says why)
    int startError = 0;        // errno of the failed start
    int status = 0;            // wait status
    bool interrupted = false;  // stopped because a quit signal came
    std::string messages;      // the first CHILD_MESSAGE_MAX_BYTES of its error output

    // True when it started, was not interrupted and exited with status 0.
    bool succeeded() const;
    // What went wrong, in words ("exit code 1: <its first message line>"), for a message.
    std::string failure() const;
};

// Runs program with args to its end, collecting its error output (its standard input and
// output are /dev/null). When a quit signal comes while it runs (the signal interrupts the
// wait), the child is ended at once (SIGKILL: what it was writing is thrown away) and the
// result says interrupted.
ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args);

// A child that reads what the program writes into its standard input (ffmpeg reading frames).
// While one exists, a child that stops reading makes a write fail (EPIPE) instead of ending
// the program (SIGPIPE is ignored).
class PipedChild {
public:
    // No child yet; SIGPIPE ignored until the destructor puts its old handling back.
    PipedChild();
    // Ends a child still running at once and reaps it.
    ~PipedChild();
    PipedChild(const PipedChild&) = delete;
    PipedChild& operator=(const PipedChild&) = delete;

    // Starts program with args (spawnProcess, its error output ours); false (errno set) when
    // it cannot be started.
    bool start(const std::string& program, const std::vector<std::string>& args);
    // Writes all of data; false when the child no longer reads (it ended or failed) or a quit
    // signal came.
    bool write(const void* data, size_t size);
    // Ends the child's input (it finishes its work) and waits for it; its wait status.
    int finish();
    // Ends the child at once (SIGKILL) and reaps it: for work that is thrown away.
    void kill();

private:
    pid_t pid = -1;               // the child, -1 when there is none
    int input = -1;               // the write end of its standard input, -1 once closed
    struct sigaction oldPipe {};  // SIGPIPE's handling before
};

// True when the process that had this id, and was running at aliveAt (seconds since the
// epoch; a file's modification time says it was), is gone: no process has the id now, or the
// one that has it started after aliveAt. False while it may still run (also when that cannot
// be told).
bool processIsGone(pid_t pid, long long aliveAt);
// Removes, in folder, every entry (file or folder, with all it holds) named prefix + PID +
// suffix, PID a process id in decimal, whose process is gone (processIsGone, with the entry's
// modification time): the leftovers of a run ended by kill -9 or a crash. The paths removed.
std::vector<std::string> removeLeftoversOfGoneProcesses(const std::string& folder, const std::string& prefix,
                                                        const std::string& suffix);

// Environment variable naming the ffmpeg program to run instead of the one on PATH.
constexpr const char* FFMPEG_VARIABLE = "TUMELORA_FFMPEG";
// The ffmpeg to run: the variable's value when set and not empty (used as given), otherwise
// the first executable "ffmpeg" in the PATH list (empty when there is none).
std::string findFfmpeg(const char* variableValue, const char* pathList);
