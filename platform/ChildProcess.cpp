#include "platform/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

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

}  // namespace

pid_t spawnProcess(const std::string& program, const std::vector<std::string>& args, int stdinFd,
                   int stderrFd, bool quiet) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdinFd >= 0)
        posix_spawn_file_actions_adddup2(&actions, stdinFd, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    if (quiet) posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (stderrFd >= 0) posix_spawn_file_actions_adddup2(&actions, stderrFd, STDERR_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        errno = rc;
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

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::atomic<bool>* stop) {
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
        if (stop && *stop && !result.interrupted) {
            result.interrupted = true;
            kill(pid, SIGTERM);
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
    if (stop && *stop) result.interrupted = true;
    return result;
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
