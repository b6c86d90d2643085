#include "actors/ActorDataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

uint32_t loadU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int32_t loadI32(const unsigned char* p) {
    const uint32_t u = loadU32(p);
    int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

float loadF32(const unsigned char* p) {
    const uint32_t u = loadU32(p);
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

void storeU32(std::vector<uint8_t>& out, uint32_t u) {
    out.push_back(uint8_t(u));
    out.push_back(uint8_t(u >> 8));
    out.push_back(uint8_t(u >> 16));
    out.push_back(uint8_t(u >> 24));
}

void storeF32(std::vector<uint8_t>& out, float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    storeU32(out, u);
}

// Reads exactly n bytes; false when the stream ends first.
bool readExact(std::istream& in, unsigned char* buf, std::size_t n) {
    in.read(reinterpret_cast<char*>(buf), std::streamsize(n));
    return std::size_t(in.gcount()) == n;
}

// Bytes left from the current position, or 0 when the stream cannot tell.
std::size_t remainingBytes(std::istream& in) {
    const std::istream::pos_type here = in.tellg();
    if (here == std::istream::pos_type(-1)) return 0;
    in.seekg(0, std::ios::end);
    const std::istream::pos_type end = in.tellg();
    in.seekg(here);
    if (end == std::istream::pos_type(-1) || !in || end < here) {
        in.clear();
        in.seekg(here);
        return 0;
    }
    return std::size_t(end - here);
}

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

ActorDataStatus readActorData(std::istream& in, ActorData& out) {
    out = ActorData();
    unsigned char header[kActorDataHeaderSize];
    if (!readExact(in, header, 4)) return ActorDataStatus::TooShort;
    if (std::memcmp(header, kActorDataMagic, 4) != 0) return ActorDataStatus::WrongMagic;
    if (!readExact(in, header + 4, 4)) return ActorDataStatus::TooShort;
    out.version = loadI32(header + 4);
    if (out.version > kActorDataVersion) return ActorDataStatus::BadVersion;

    // From here the file is accepted; whatever is missing is simply not there.
    if (!readExact(in, header + 8, 4)) return ActorDataStatus::Truncated;
    const int32_t count = loadI32(header + 8);
    if (count > 0) {
        // Reserve only what the rest of the file can actually hold.
        const std::size_t fits = remainingBytes(in) / kActorDataRecordSize;
        out.poses.reserve(std::min(std::size_t(count), fits));
        unsigned char rec[kActorDataRecordSize];
        for (int32_t i = 0; i < count; ++i) {
            if (!readExact(in, rec, kActorDataRecordSize)) return ActorDataStatus::Truncated;
            ActorPose p;
            p.position.set(loadF32(rec), loadF32(rec + 4));
            p.rotation = loadF32(rec + 8);
            p.scale.set(loadF32(rec + 12), loadF32(rec + 16));
            out.poses.push_back(p);
        }
    }
    if (out.version >= kActorDataFlagsVersion) {
        unsigned char flag;
        if (!readExact(in, &flag, 1)) return ActorDataStatus::Truncated;
        out.bindScale = flag == 1;
        if (!readExact(in, &flag, 1)) return ActorDataStatus::Truncated;
        out.wobble = flag == 1;
    }
    return ActorDataStatus::Complete;
}

std::vector<uint8_t> encodeActorData(const std::vector<ActorPose>& poses, bool bindScale, bool wobble) {
    std::vector<uint8_t> out;
    out.reserve(kActorDataHeaderSize + kActorDataRecordSize * poses.size() + kActorDataFlagsSize);
    for (char c : kActorDataMagic) out.push_back(uint8_t(c));
    storeU32(out, uint32_t(kActorDataVersion));
    storeU32(out, uint32_t(poses.size()));
    for (const ActorPose& p : poses) {
        storeF32(out, p.position.X);
        storeF32(out, p.position.Y);
        storeF32(out, p.rotation);
        storeF32(out, p.scale.X);
        storeF32(out, p.scale.Y);
    }
    out.push_back(bindScale ? 1 : 0);
    out.push_back(wobble ? 1 : 0);
    return out;
}

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
    const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}
