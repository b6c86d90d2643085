#include "project/ProjectFiles.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "project/ProjectPaths.h"

namespace {

// Bytes read from a file at a time.
constexpr size_t READ_CHUNK_BYTES = 1 << 16;

// Closes a file descriptor when it goes out of scope, keeping errno as it was.
class OpenFile {
public:
    explicit OpenFile(int fd) : fd(fd) {}
    ~OpenFile() {
        if (fd < 0) return;
        const int error = errno;
        close(fd);
        errno = error;
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // The descriptor (negative when the open failed).
    int get() const { return fd; }
    // Closes it now; false with errno set when the close reports a failure.
    bool closeNow() {
        const int f = fd;
        fd = -1;
        return close(f) == 0;
    }

private:
    int fd;
};

}  // namespace

std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

std::string extensionOf(const std::string& path) {
    const std::string name = lastComponent(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : lowerCase(name.substr(dot));
}

std::string stemOf(const std::string& path) {
    const std::string name = lastComponent(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    OpenFile file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return false;
    struct stat info {};
    if (fstat(file.get(), &info) != 0) return false;
    if (S_ISDIR(info.st_mode)) {
        errno = EISDIR;
        return false;
    }
    bytes.clear();
    std::vector<uint8_t> chunk(READ_CHUNK_BYTES);
    for (;;) {
        const ssize_t n = read(file.get(), chunk.data(), chunk.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + n);
    }
}

bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    OpenFile file(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = write(file.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        else done += size_t(n);
    }
    ok = ok && fsync(file.get()) == 0;
    const int error = ok ? 0 : errno;
    ok = file.closeNow() && ok;
    if (!ok) {
        const int closeError = errno;
        unlink(path.c_str());
        errno = error ? error : closeError;
    }
    return ok;
}

bool moveWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
    if (errno != EINVAL && errno != ENOSYS) return false;
    // A file system without that flag: check first.
    struct stat info {};
    if (lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

mode_t newFolderMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0777 & ~mask;
}
