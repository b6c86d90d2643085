#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "platform/Signals.h"

extern char** environ;

namespace {

// Bytes read from a child's error output at a time.
constexpr size_t CHILD_READ_CHUNK = 1024;

// The first line of text that is not blank, without a leading "[source] " tag (ffmpeg marks
// its lines with the part that wrote them).
std::string firstLine(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line[0] == '[') {
            const size_t close = line.find("] ");
            if (close != std::string::npos) line.erase(0, close + 2);
        }
        const size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string::npos) return line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
        start = end + 1;
    }
    return "";
}


// Signals whose handling the child starts without: the program's own handlers go with exec,
// but an ignored signal (SIGPIPE while frames are piped) would stay ignored.
constexpr int CHILD_DEFAULT_SIGNALS[] = {SIGPIPE, SIGINT, SIGTERM, SIGHUP};

// Sends errno through the report pipe and ends the child that could not become program.
[[noreturn]] void childFailed(int reportFd) {
    const int error = errno;
    ssize_t ignored = write(reportFd, &error, sizeof error);
    (void)ignored;
    _exit(CHILD_EXEC_FAILED_STATUS);
}

// The child's side of spawnProcess, between fork and exec: async-signal-safe calls only.
[[noreturn]] void startChild(const char* program, char* const argv[], pid_t parent, int stdinFd, int stderrFd,
                             bool quiet, int reportFd) {
    // Ended with the thread that started it, however the program ends.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) childFailed(reportFd);
    if (getppid() != parent) _exit(CHILD_EXEC_FAILED_STATUS);  // the program ended meanwhile
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigemptyset(&byDefault.sa_mask);
    for (int sig : CHILD_DEFAULT_SIGNALS) sigaction(sig, &byDefault, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (stdinFd >= 0) {
        if (dup2(stdinFd, STDIN_FILENO) < 0) childFailed(reportFd);
    } else {
        const int null = open("/dev/null", O_RDONLY);
        if (null < 0 || dup2(null, STDIN_FILENO) < 0) childFailed(reportFd);
        close(null);
    }
    if (quiet) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, STDOUT_FILENO) < 0) childFailed(reportFd);
        close(null);
    }
    if (stderrFd >= 0 && dup2(stderrFd, STDERR_FILENO) < 0) childFailed(reportFd);
    execve(program, argv, environ);
    childFailed(reportFd);
}

}  // namespace

pid_t spawnProcess(const std::string& program, const std::vector<std::string>& args, int stdinFd,
                   int stderrFd, bool quiet) {
    // Everything the child needs is made before the fork: between fork and exec it may only
    // make async-signal-safe calls (other threads may hold the allocator's locks).
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    // The exec's failure comes back through this pipe; it closes unread when the exec works.
    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return -1;
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid < 0) {
        const int error = errno;
        close(report[0]);
        close(report[1]);
        errno = error;
        return -1;
    }
    if (pid == 0) {
        close(report[0]);
        startChild(program.c_str(), argv.data(), parent, stdinFd, stderrFd, quiet, report[1]);
    }
    close(report[1]);
    int childError = 0;
    ssize_t n;
    while ((n = read(report[0], &childError, sizeof childError)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    if (n == ssize_t(sizeof childError)) {
        waitForProcess(pid);
        errno = childError;
        return -1;
    }
    return pid;
}

int waitForProcess(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

bool ProcessResult::succeeded() const {
    return started && !interrupted && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string ProcessResult::failure() const {
    if (!started) return std::strerror(startError);
    if (interrupted) return "interrupted";
    std::string text;
    if (WIFSIGNALED(status))
        text = "ended by signal " + std::to_string(WTERMSIG(status));
    else if (WIFEXITED(status) && WEXITSTATUS(status) == CHILD_EXEC_FAILED_STATUS)
        text = "could not be run";
    else
        text = "exit code " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    const std::string said = firstLine(messages);
    return said.empty() ? text : text + ": " + said;
}

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args) {
    ProcessResult result;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        result.startError = errno;
        return result;
    }
    const pid_t pid = spawnProcess(program, args, -1, fds[1], true);
    const int spawnError = errno;
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        result.startError = spawnError;
        return result;
    }
    result.started = true;
    char chunk[CHILD_READ_CHUNK];
    for (;;) {
        if (quitSignal() && !result.interrupted) {
            result.interrupted = true;
            kill(pid, SIGKILL);
        }
        const ssize_t n = read(fds[0], chunk, sizeof chunk);
        if (n > 0) {
            const size_t room = CHILD_MESSAGE_MAX_BYTES - result.messages.size();
            result.messages.append(chunk, std::min(room, size_t(n)));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    close(fds[0]);
    result.status = waitForProcess(pid);
    if (quitSignal()) result.interrupted = true;
    return result;
}

PipedChild::PipedChild() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGPIPE, &ignore, &oldPipe);
}

PipedChild::~PipedChild() {
    kill();
    sigaction(SIGPIPE, &oldPipe, nullptr);
}

bool PipedChild::start(const std::string& program, const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    pid = spawnProcess(program, args, fds[0], -1);
    const int error = errno;
    close(fds[0]);
    if (pid < 0) {
        close(fds[1]);
        errno = error;
        return false;
    }
    input = fds[1];
    return true;
}

bool PipedChild::write(const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(input, bytes, size);
        if (n < 0) {
            if (errno == EINTR && !quitSignal()) continue;
            return false;
        }
        bytes += n;
        size -= size_t(n);
    }
    return true;
}

int PipedChild::finish() {
    if (input >= 0) close(input);
    input = -1;
    if (pid < 0) return 0;
    const int status = waitForProcess(pid);
    pid = -1;
    return status;
}

void PipedChild::kill() {
    if (pid > 0) ::kill(pid, SIGKILL);
    finish();
}

namespace {

// Seconds a process's start time, as /proc tells it, may be off (whole seconds of the boot time).
constexpr long long START_TIME_SLACK_SECONDS = 2;
// Most digits of a process id in a leftover's name.
constexpr size_t MAX_PID_DIGITS = 10;

// When the process started, in seconds since the epoch, and whether it is a zombie (it has
// ended and waits to be reaped); false when /proc cannot tell.
bool processStart(pid_t pid, long long& startedAt, bool& zombie) {
    std::ifstream statFile("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(statFile, line)) return false;
    // After the command name in parentheses: the state (field 3), then field 22 is the start
    // time in clock ticks since boot.
    const size_t close = line.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(line.substr(close + 1));
    std::string state;
    fields >> state;
    std::string skipped;
    for (int field = 4; field < 22; ++field) fields >> skipped;
    unsigned long long ticks = 0;
    if (!(fields >> ticks)) return false;
    std::ifstream statAll("/proc/stat");
    long long bootTime = -1;
    for (std::string key; statAll >> key;) {
        if (key == "btime") {
            statAll >> bootTime;
            break;
        }
        std::getline(statAll, skipped);
    }
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    if (bootTime < 0 || ticksPerSecond <= 0) return false;
    startedAt = bootTime + static_cast<long long>(ticks / static_cast<unsigned long long>(ticksPerSecond));
    zombie = state == "Z";
    return true;
}

}  // namespace

bool processIsGone(pid_t pid, long long aliveAt) {
    if (pid <= 0) return false;
    if (::kill(pid, 0) != 0 && errno == ESRCH) return true;
    // Some process has the id: the same one, unless it started after aliveAt or has ended.
    long long startedAt = 0;
    bool zombie = false;
    if (!processStart(pid, startedAt, zombie)) return false;
    return zombie || startedAt > aliveAt + START_TIME_SLACK_SECONDS;
}

std::vector<std::string> removeLeftoversOfGoneProcesses(const std::string& folder, const std::string& prefix,
                                                        const std::string& suffix) {
    namespace fs = std::filesystem;
    std::vector<std::string> removed;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + suffix.size() || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
            continue;
        const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
        if (digits.size() > MAX_PID_DIGITS ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const long long pid = std::stoll(digits);
        struct stat info {};
        if (pid <= 0 || pid > std::numeric_limits<pid_t>::max() || pid == getpid() ||
            lstat(it->path().c_str(), &info) != 0)
            continue;
        if (!processIsGone(pid_t(pid), static_cast<long long>(info.st_mtime))) continue;
        std::error_code failed;
        fs::remove_all(it->path(), failed);
        if (!failed) removed.push_back(it->path().string());
    }
    return removed;
}

std::string findFfmpeg(const char* variableValue, const char* pathList) {
    if (variableValue && *variableValue) return variableValue;
    if (!pathList) return "";
    const std::string list = pathList;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        // An empty entry is the working folder, as for the shell.
        const std::string folder = end > start ? list.substr(start, end - start) : ".";
        const std::string candidate = folder + "/ffmpeg";
        struct stat info {};
        if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            access(candidate.c_str(), X_OK) == 0)
            return candidate;
        start = end + 1;
    }
    return "";
}
