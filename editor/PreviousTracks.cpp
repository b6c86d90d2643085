#include "editor/PreviousTracks.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "platform/SafeFile.h"
#include "platform/Signals.h"
#include "platform/Words.h"

namespace {

// One track to be written, with what it replaces.
struct Replaced {
    Actor* actor = nullptr;
    std::string data;               // its data file
    std::string kept;               // where its previous contents are kept
    std::string work;               // the hidden copy on the way there
    bool had = false;               // there was a data file
    std::vector<uint8_t> previous;  // its contents
};

// Reads the whole file at path into bytes; had is false when there is none. False with the
// reason in error when it is there but cannot be read.
bool readPrevious(const std::string& path, bool& had, std::vector<uint8_t>& bytes, std::string& error) {
    struct stat info {};
    had = stat(path.c_str(), &info) == 0;
    if (!had) return true;
    std::ifstream in(path, std::ios::binary);
    if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) {
        error = path + ": cannot be read (" + std::strerror(errno ? errno : EIO) + ")";
        return false;
    }
    return true;
}

// Removes the hidden copies written so far.
void removeWork(const std::vector<Replaced>& tracks) {
    for (const Replaced& t : tracks)
        if (t.had) std::remove(t.work.c_str());
}

}  // namespace

bool writeTracksKeepingPrevious(const std::vector<Actor*>& actors, const std::string& folder,
                                const std::string& suffix, PreviousTracksReport& report, std::string& error) {
    std::vector<Replaced> tracks;
    std::set<std::string> keptNames;
    for (Actor* actor : actors) {
        Replaced t;
        t.actor = actor;
        t.data = actor->dataPath();
        const std::string name = actor->name + kActorDataSuffix + suffix;
        t.kept = folder + name;
        t.work = folder + "." + name + PREVIOUS_TRACK_WORK_SUFFIX;
        if (!readPrevious(t.data, t.had, t.previous, error)) return false;
        if (t.had) keptNames.insert(name);
        tracks.push_back(std::move(t));
    }
    // The previous tracks, beside the data files under hidden names.
    for (const Replaced& t : tracks) {
        std::string reason;
        if (t.had && !replaceFileSafely(t.work, t.previous, &reason)) {
            removeWork(tracks);
            error = t.work + ": " + reason;
            return false;
        }
    }
    if (quitSignal() != 0) {
        removeWork(tracks);
        error = "interrupted";
        return false;
    }
    // Into place; then every other previous track of the folder goes (those of an earlier
    // writing, and hidden copies of one that was killed).
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        const Replaced& t = tracks[i];
        if (t.had && std::rename(t.work.c_str(), t.kept.c_str()) != 0) {
            error = t.kept + ": " + std::strerror(errno);
            removeWork(std::vector<Replaced>(tracks.begin() + long(i), tracks.end()));
            return false;
        }
        if (t.had) ++report.kept;
    }
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const bool earlier = endsWith(name, kActorDataSuffix + suffix) && keptNames.count(name) == 0;
        const bool killed = !name.empty() && name[0] == '.' && endsWith(name, suffix + PREVIOUS_TRACK_WORK_SUFFIX);
        if ((earlier || killed) && std::remove((folder + name).c_str()) == 0 && earlier)
            report.removed.push_back(folder + name);
    }
    syncFolder(folder);
    // The new tracks; a failure puts back the ones written.
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        std::string reason;
        if (tracks[i].actor->saveData(&reason)) {
            ++report.written;
            continue;
        }
        error = tracks[i].data + ": " + reason;
        for (std::size_t j = 0; j < i; ++j) {
            const Replaced& t = tracks[j];
            const bool back = t.had ? replaceFileSafely(t.data, t.previous) : std::remove(t.data.c_str()) == 0;
            if (!back) error += "; " + t.data + " keeps its new track, its previous one is kept as " + t.kept;
        }
        report.written = 0;
        return false;
    }
    syncFolder(folder);
    return true;
}
