#include "project/WorkFolder.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "project/ProjectPaths.h"

namespace fs = std::filesystem;

namespace {

// The characters mkdtemp puts in place of the pattern's X's.
constexpr int WORK_SUFFIX_CHARS = 6;
// Most digits of the process id in a work folder's name (Linux's ids have at most 7).
constexpr size_t WORK_PID_MAX_DIGITS = 9;

// The state of a folder found in the place, judged by its name.
enum class Leftover {
    NotOurs,  // not a work folder of this purpose
    Tagged,   // named with the process id of its run
    Untagged  // named as older versions named it, without a process id
};

// True when text is WORK_SUFFIX_CHARS letters and digits (what mkdtemp writes).
bool isWorkSuffix(const std::string& text) {
    if (text.size() != size_t(WORK_SUFFIX_CHARS)) return false;
    for (const char c : text)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// Judges the folder name: ".PURPOSE-PID-XXXXXX" (pid set) or ".PURPOSE-XXXXXX".
Leftover judgeName(const std::string& name, const std::string& purpose, pid_t& pid) {
    const std::string prefix = "." + purpose + "-";
    if (name.compare(0, prefix.size(), prefix) != 0) return Leftover::NotOurs;
    const std::string rest = name.substr(prefix.size());
    if (isWorkSuffix(rest)) return Leftover::Untagged;
    const size_t dash = rest.find('-');
    if (dash == std::string::npos || dash == 0 || dash > WORK_PID_MAX_DIGITS ||
        !isWorkSuffix(rest.substr(dash + 1)))
        return Leftover::NotOurs;
    long value = 0;
    for (size_t i = 0; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9') return Leftover::NotOurs;
        value = value * 10 + (rest[i] - '0');
    }
    if (value <= 0) return Leftover::NotOurs;
    pid = pid_t(value);
    return Leftover::Tagged;
}

// True when no process has the id (one that exists but is not ours counts as alive).
bool processGone(pid_t pid) { return kill(pid, 0) != 0 && errno == ESRCH; }

}  // namespace

WorkFolder::WorkFolder(const std::string& place, const std::string& purpose) {
    std::string pattern =
        withSlash(place) + "." + purpose + "-" + std::to_string(long(getpid())) + "-XXXXXX";
    if (!mkdtemp(&pattern[0])) return;
    folder = pattern;
    // Held until the process ends, however it ends: a later run sees that this one lives.
    lock = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock >= 0) flock(lock, LOCK_SH | LOCK_NB);
}

WorkFolder::~WorkFolder() {
    if (!folder.empty()) {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    if (lock >= 0) close(lock);
}

void WorkFolder::keep() {
    folder.clear();
    if (lock >= 0) close(lock);
    lock = -1;
}

void removeLeftoverWorkFolders(const std::string& place, const std::string& purpose) {
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(withSlash(place), ec)) {
        const std::string name = entry.path().filename().string();
        pid_t pid = 0;
        const Leftover kind = judgeName(name, purpose, pid);
        if (kind == Leftover::NotOurs || !entry.is_directory(ec) || entry.is_symlink(ec)) continue;
        const std::string path = withSlash(place) + name;
        if (kind == Leftover::Untagged) {
            std::fprintf(stderr,
                         "tumelora: note: %s may be left over from an interrupted run of an older "
                         "version; remove it if no tumelora is working there\n",
                         path.c_str());
            continue;
        }
        if (pid == getpid() || !processGone(pid)) continue;
        // Its process id may live on in another process namespace: the lock tells.
        const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            std::error_code removeError;
            fs::remove_all(path, removeError);
            if (removeError)
                std::fprintf(stderr, "tumelora: cannot remove %s, left over from an interrupted run: %s\n",
                             path.c_str(), removeError.message().c_str());
            else
                std::fprintf(stderr,
                             "tumelora: removed %s, left over from an interrupted run (process %ld)\n",
                             path.c_str(), long(pid));
        }
        close(fd);
    }
}
