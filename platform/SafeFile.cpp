#include "platform/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Writes all of bytes to fd, retrying short writes; false on any error.
bool writeAll(int fd, const uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

}  // namespace

bool replaceFileSafely(const std::string& path, const std::vector<uint8_t>& bytes,
                       std::string* error) {
    // Keeps the reason of the first step that failed.
    const auto failed = [error](const char* step) {
        if (error) *error = std::string(step) + ": " + std::strerror(errno);
        return false;
    };
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    // A short hidden name, so that it fits wherever the target's name fits and is never
    // mistaken for a picture.
    std::string tmp = (slash == std::string::npos ? std::string() : folder) + ".tumelora-save-XXXXXX";
    std::vector<char> tmpName(tmp.begin(), tmp.end());
    tmpName.push_back('\0');
    const int fd = ::mkstemp(tmpName.data());
    if (fd < 0) return failed("cannot create a temporary file beside it");
    tmp.assign(tmpName.data());

    // mkstemp makes the file private: give it the old file's permissions, or those a newly
    // created file gets.
    mode_t mode;
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    // The first step that failed, and its errno.
    const char* step = nullptr;
    if (::fchmod(fd, mode) != 0)
        step = "cannot set its permissions";
    else if (!writeAll(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0)
        step = "cannot write it";
    int stepErrno = errno;
    if (::close(fd) != 0 && !step) {
        step = "cannot write it";
        stepErrno = errno;
    }
    if (!step && ::rename(tmp.c_str(), path.c_str()) != 0) {
        step = "cannot put it in place";
        stepErrno = errno;
    }
    if (step) {
        ::unlink(tmp.c_str());
        errno = stepErrno;
        return failed(step);
    }
    // Make the rename itself durable; the new file is in place either way.
    syncFolder(folder);
    return true;
}

void syncFolder(const std::string& folder) {
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}
