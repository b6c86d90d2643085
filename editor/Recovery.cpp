#include "editor/Recovery.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "platform/SafeFile.h"


namespace {

constexpr char RECOVERY_MAGIC[8] = {'T', 'M', 'L', 'R', 'R', 'C', 'V', '1'};
constexpr char RECOVERY_END[4] = {'E', 'N', 'D', '.'};

void putInt(std::vector<uint8_t>& out, int32_t v) {
    const uint32_t u = uint32_t(v);
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(u >> (8 * i)));
}

// Reads through a byte range, refusing to run past its end.
struct Reader {
    const uint8_t* p;
    std::size_t left;
    bool take(void* out, std::size_t n) {
        if (n > left) return false;
        std::memcpy(out, p, n);
        p += n;
        left -= n;
        return true;
    }
    bool getInt(int32_t& v) {
        uint8_t b[4];
        if (!take(b, 4)) return false;
        v = int32_t(uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 |
                    uint32_t(b[3]) << 24);
        return true;
    }
};

}  // namespace

std::string recoveryFilePath(const std::string& actorFolder) {
    return actorFolder + RECOVERY_FILE_NAME;
}

std::vector<uint8_t> encodeRecovery(const RecoverySnapshot& s) {
    std::vector<uint8_t> out(RECOVERY_MAGIC, RECOVERY_MAGIC + sizeof RECOVERY_MAGIC);
    putInt(out, s.frameCount);
    putInt(out, int32_t(s.actors.size()));
    for (const RecoveredActor& a : s.actors) {
        putInt(out, int32_t(a.name.size()));
        out.insert(out.end(), a.name.begin(), a.name.end());
        const std::vector<uint8_t> data =
            encodeActorData(a.data.poses, a.data.bindScale, a.data.wobble);
        putInt(out, int32_t(data.size()));
        out.insert(out.end(), data.begin(), data.end());
    }
    out.insert(out.end(), RECOVERY_END, RECOVERY_END + sizeof RECOVERY_END);
    return out;
}

bool decodeRecovery(const uint8_t* data, std::size_t size, RecoverySnapshot& out,
                    std::string& error) {
    out = RecoverySnapshot();
    Reader r{data, size};
    char magic[sizeof RECOVERY_MAGIC];
    if (!r.take(magic, sizeof magic) || std::memcmp(magic, RECOVERY_MAGIC, sizeof magic) != 0) {
        error = "not a recovery file";
        return false;
    }
    int32_t frames = 0, count = 0;
    if (!r.getInt(frames) || !r.getInt(count)) {
        error = "cut short in its header";
        return false;
    }
    if (frames < 1 || count < 0 || count > RECOVERY_MAX_ACTORS) {
        error = "impossible frame or actor count";
        return false;
    }
    out.frameCount = frames;
    for (int32_t i = 0; i < count; ++i) {
        int32_t nameLength = 0, dataLength = 0;
        if (!r.getInt(nameLength) || nameLength < 1 || nameLength > RECOVERY_MAX_NAME_BYTES ||
            std::size_t(nameLength) > r.left) {
            error = "damaged actor name";
            return false;
        }
        RecoveredActor a;
        a.name.assign(reinterpret_cast<const char*>(r.p), std::size_t(nameLength));
        r.p += nameLength;
        r.left -= std::size_t(nameLength);
        if (!r.getInt(dataLength) || dataLength < 0 || std::size_t(dataLength) > r.left) {
            error = "damaged track of " + a.name;
            return false;
        }
        // The flag bytes are written as 0 or 1; anything else is damage.
        const std::size_t n = std::size_t(dataLength);
        if (n >= kActorDataFlagsSize && (r.p[n - 1] > 1 || r.p[n - 2] > 1)) {
            error = "damaged flags of " + a.name;
            return false;
        }
        std::istringstream in(std::string(reinterpret_cast<const char*>(r.p), n));
        r.p += dataLength;
        r.left -= std::size_t(dataLength);
        if (readActorData(in, a.data) != ActorDataStatus::Complete ||
            a.data.version != kActorDataVersion || a.data.poses.empty() ||
            kActorDataHeaderSize + kActorDataRecordSize * a.data.poses.size() +
                    kActorDataFlagsSize != std::size_t(dataLength)) {
            error = "damaged track of " + a.name;
            return false;
        }
        out.actors.push_back(std::move(a));
    }
    char end[sizeof RECOVERY_END];
    if (!r.take(end, sizeof end) || std::memcmp(end, RECOVERY_END, sizeof end) != 0 ||
        r.left != 0) {
        error = "cut short or damaged at its end";
        return false;
    }
    return true;
}

RecoveryWriter::RecoveryWriter(std::string path) : path_(std::move(path)) {
    thread = std::thread(&RecoveryWriter::run, this);
}

RecoveryWriter::~RecoveryWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_all();
    thread.join();
}

void RecoveryWriter::write(RecoverySnapshot newSnapshot) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = Job::Write;
        snapshot = std::move(newSnapshot);
    }
    wake.notify_all();
}

void RecoveryWriter::remove() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending = Job::Remove;
        snapshot = RecoverySnapshot();
    }
    wake.notify_all();
}

void RecoveryWriter::finish() {
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this] { return pending == Job::None && !busy; });
}

std::string RecoveryWriter::path() {
    std::lock_guard<std::mutex> lock(mutex);
    return path_;
}

void RecoveryWriter::setPath(std::string newPath) {
    std::lock_guard<std::mutex> lock(mutex);
    path_ = std::move(newPath);
}

std::string RecoveryWriter::lastError() {
    std::lock_guard<std::mutex> lock(mutex);
    return error;
}

void RecoveryWriter::run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || pending != Job::None; });
        if (pending == Job::None && stopping) break;
        const Job job = pending;
        RecoverySnapshot data = std::move(snapshot);
        pending = Job::None;
        busy = true;
        const std::string target = path_;
        lock.unlock();
        std::string failure, reason;
        if (job == Job::Write) {
            if (!replaceFileSafely(target, encodeRecovery(data), &reason))
                failure = target + ": could not be written (" + reason + ")";
        } else if (job == Job::Remove) {
            if (std::remove(target.c_str()) != 0 && errno != ENOENT)
                failure = target + ": could not be removed (" + std::strerror(errno) + ")";
        }
        lock.lock();
        busy = false;
        error = failure;
        if (pending == Job::None) idle.notify_all();
    }
    idle.notify_all();
}
