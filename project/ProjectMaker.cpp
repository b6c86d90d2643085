#include "project/ProjectMaker.h"

#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <irrlicht.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "actors/ActorDataFile.h"
#include "platform/ChildProcess.h"
#include "project/OpenRaster.h"
#include "project/ProjectPaths.h"
#include "platform/Timebase.h"

using namespace irr;
namespace fs = std::filesystem;

namespace {

// Seconds per minute, for the song's length.
constexpr int SECONDS_PER_MINUTE = 60;
// The name of a layered picture that the import helper writes.
constexpr const char* HELPER_OUTPUT = "import.ora";
// The name a converted picture is written under before it is read back.
constexpr const char* CONVERTED_PICTURE = "converted.png";

// Set by SIGINT / SIGTERM / SIGHUP while a project is being made: the work stops and what
// was made so far is removed.
std::atomic<bool> stopRequested{false};

// Signal handler of SIGINT / SIGTERM / SIGHUP while a project is being made.
void onStop(int) { stopRequested = true; }

// The signals that stop the work caught (without restarting interrupted calls, so a wait for
// a child returns), for the scope of the work; the old handlers come back after.
class StopSignals {
public:
    StopSignals() {
        struct sigaction stop {};
        stop.sa_handler = onStop;
        sigemptyset(&stop.sa_mask);
        sigaction(SIGINT, &stop, &oldInt);
        sigaction(SIGTERM, &stop, &oldTerm);
        sigaction(SIGHUP, &stop, &oldHup);
        stopRequested = false;
    }
    ~StopSignals() {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        sigaction(SIGHUP, &oldHup, nullptr);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction oldInt {}, oldTerm {}, oldHup {};
};

// A failure: the file it concerns and the reason.
struct Failure {
    std::string file;
    std::string reason;
};

// The text with A-Z turned to a-z.
std::string lowerCase(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

// The extension of a file name from its last '.', in lower case ("" without one).
std::string extensionOf(const std::string& path) {
    const std::string name = lastComponent(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos ? "" : lowerCase(name.substr(dot));
}

// The file name without its extension.
std::string stemOf(const std::string& path) {
    const std::string name = lastComponent(path);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

// Reads a whole file; false with errno set.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno;
        close(fd);
        errno = error;
        return false;
    }
    bytes.clear();
    uint8_t chunk[1 << 16];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            errno = error;
            return false;
        }
        if (n == 0) break;
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    close(fd);
    return true;
}

// Writes a new file (it must not exist) whole and to the disk; false with errno set, and
// then nothing of it is left.
bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        else done += size_t(n);
    }
    ok = ok && fsync(fd) == 0;
    const int error = errno;
    ok = close(fd) == 0 && ok;
    if (!ok) {
        const int closeError = errno;
        unlink(path.c_str());
        errno = error ? error : closeError;
    }
    return ok;
}

// Moves from to to, never over an existing file; false with errno set.
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

// Writes the folder's entries to the disk.
void syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// The permissions a new folder gets under the process's umask.
mode_t newFolderMode() {
    const mode_t mask = umask(0);
    umask(mask);
    return 0777 & ~mask;
}

// A hidden work folder that is removed with everything in it unless kept.
class WorkFolder {
public:
    // Makes the folder beside (inside, for inside = true) place; empty path() on failure
    // (errno set).
    WorkFolder(const std::string& place, const std::string& purpose) {
        std::string pattern = withSlash(place) + "." + purpose + "-XXXXXX";
        if (mkdtemp(&pattern[0])) folder = pattern;
    }
    ~WorkFolder() {
        if (folder.empty()) return;
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder, or empty when it could not be made.
    const std::string& path() const { return folder; }
    // The folder is no longer removed (it was renamed into place).
    void keep() { folder.clear(); }

private:
    std::string folder;
};

// Pictures decoded by the engine's own loaders, exactly as the program loads its actors,
// through a device without a window.
class PictureDecoder {
public:
    PictureDecoder() {
        SIrrlichtCreationParameters p;
        p.DriverType = video::EDT_NULL;
        p.LoggingLevel = ELL_NONE;
        device = createDeviceEx(p);
    }
    ~PictureDecoder() {
        if (device) device->drop();
    }
    PictureDecoder(const PictureDecoder&) = delete;
    PictureDecoder& operator=(const PictureDecoder&) = delete;

    // False when the engine could not start.
    bool ready() const { return device != nullptr; }

    // The picture held in bytes (name's extension tells the loader what to expect), or null
    // when the engine cannot decode it. The caller drops it.
    video::IImage* decode(const std::string& name, std::vector<uint8_t>& bytes) {
        if (!device || bytes.empty()) return nullptr;
        io::IReadFile* file = device->getFileSystem()->createMemoryReadFile(
            bytes.data(), s32(bytes.size()), io::path(name.c_str()), false);
        if (!file) return nullptr;
        video::IImage* picture = device->getVideoDriver()->createImageFromFile(file);
        file->drop();
        return picture;
    }

    // Writes the picture as a PNG file; false when it cannot be written.
    bool writePng(video::IImage* picture, const std::string& path) {
        return device && device->getVideoDriver()->writeImageToFile(picture, io::path(path.c_str()));
    }

private:
    IrrlichtDevice* device = nullptr;
};

// True when every pixel of the picture is fully transparent.
bool fullyTransparent(video::IImage* picture) {
    if (picture->getColorFormat() != video::ECF_A8R8G8B8) return false;
    const core::dimension2d<u32> size = picture->getDimension();
    const u8* data = static_cast<const u8*>(picture->lock());
    if (!data) return false;
    bool clear = true;
    const u32 pitch = picture->getPitch();
    for (u32 y = 0; clear && y < size.Height; ++y) {
        const u32* row = reinterpret_cast<const u32*>(data + size_t(y) * pitch);
        for (u32 x = 0; x < size.Width; ++x)
            if (row[x] >> 24) {
                clear = false;
                break;
            }
    }
    picture->unlock();
    return clear;
}

// One actor to be written: its picture file's contents and its starting pose.
struct PlannedActor {
    std::string origin;          // what it was made from, for the report
    std::string name;            // its name, without the number
    std::string extension;       // ".png" or ".jpg"
    std::vector<uint8_t> bytes;  // its picture file
    double width = 0, height = 0;
    bool layered = false;        // from a layered file: placed by layerPose already
    ActorPose pose;
};

// Turns the given pictures into planned actors; knows the programs it runs for that.
class PictureImporter {
public:
    PictureImporter(PictureDecoder& decoder, const std::string& workFolder, bool pngBelow)
        : decoder(decoder), work(withSlash(workFolder)), pngBelow(pngBelow) {}

    // Adds the actors of one picture file; false with failure set.
    bool import(const std::string& path, std::vector<PlannedActor>& actors, Failure& failure) {
        failure.file = path;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || access(path.c_str(), R_OK) != 0) {
            failure.reason = std::strerror(errno);
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            failure.reason = "not a file";
            return false;
        }
        const std::string ext = extensionOf(path);
        if (ext == ".ora") return importLayered(path, path, actors, failure);
        if (ext == ".psd") return importPhotoshop(path, actors, failure);
        std::vector<uint8_t> bytes;
        if (!readWholeFile(path, bytes)) {
            failure.reason = std::strerror(errno);
            return false;
        }
        PlannedActor actor;
        actor.origin = lastComponent(path);
        actor.name = actorNameFor(stemOf(path));
        const bool copied = ext == ".png" || ext == ".jpg" || ext == ".jpeg";
        video::IImage* picture = nullptr;
        if (copied) {
            actor.extension = ext == ".png" ? ".png" : ".jpg";
            picture = decoder.decode("picture" + actor.extension, bytes);
        }
        if (!picture) {
            // Another format, or one the engine's loader does not take: ffmpeg converts it.
            if (!convertPicture(path, bytes, failure)) return false;
            actor.extension = ".png";
            picture = decoder.decode(CONVERTED_PICTURE, bytes);
            if (!picture) {
                failure.reason = "not a picture the program can show";
                return false;
            }
        }
        if (actor.extension == ".jpg" && pngBelow && !reencode(picture, bytes, failure)) {
            picture->drop();
            return false;
        }
        if (actor.extension == ".jpg" && pngBelow) actor.extension = ".png";
        const bool ok = takePicture(picture, std::move(bytes), actor, failure);
        picture->drop();
        if (!ok) return false;
        actors.push_back(std::move(actor));
        return true;
    }

private:
    // The layers of an OpenRaster file at path (origin names it in the report).
    bool importLayered(const std::string& path, const std::string& origin,
                       std::vector<PlannedActor>& actors, Failure& failure) {
        LayeredPicture layered;
        std::string error;
        if (!readOpenRaster(path, layered, error)) {
            failure.reason = error;
            return false;
        }
        size_t added = 0;
        for (PictureLayer& layer : layered.layers) {
            PlannedActor actor;
            actor.origin = lastComponent(origin) + ", layer \"" + printable(layer.name) + "\"";
            actor.name = actorNameFor(layer.name);
            actor.extension = ".png";
            actor.layered = true;
            video::IImage* picture = decoder.decode("layer.png", layer.bytes);
            if (!picture) {
                failure.reason = "the picture of layer \"" + printable(layer.name) + "\" cannot be read";
                return false;
            }
            if (fullyTransparent(picture)) {
                picture->drop();
                std::fprintf(stderr, "tumelora: %s: layer \"%s\" is empty and left out\n",
                             origin.c_str(), printable(layer.name).c_str());
                continue;
            }
            const bool ok = takePicture(picture, std::move(layer.bytes), actor, failure);
            picture->drop();
            if (!ok) {
                failure.reason = "layer \"" + printable(layer.name) + "\": " + failure.reason;
                return false;
            }
            actor.pose = layerPose(double(layered.width), double(layered.height), double(layer.x),
                                   double(layer.y), actor.width, actor.height);
            actors.push_back(std::move(actor));
            ++added;
        }
        if (added == 0) {
            failure.reason = "it has no visible layer with something drawn on it";
            return false;
        }
        pngBelow = true;
        return true;
    }

    // A Photoshop file: the import helper turns it into an OpenRaster file first.
    bool importPhotoshop(const std::string& path, std::vector<PlannedActor>& actors,
                         Failure& failure) {
        const std::string helper = psdImportHelper();
        if (helper.empty()) {
            failure.reason = "the Photoshop import helper (psd-import) is not installed";
            return false;
        }
        const std::string converted = work + HELPER_OUTPUT;
        const ProcessResult run = runProcess(helper, {path, converted}, &stopRequested);
        if (!run.succeeded()) {
            failure.reason = "the Photoshop import failed (" + run.failure() + ")";
            return false;
        }
        const bool ok = importLayered(converted, path, actors, failure);
        std::remove(converted.c_str());
        return ok;
    }

    // Converts the picture at path to PNG with ffmpeg into bytes; false with failure set.
    bool convertPicture(const std::string& path, std::vector<uint8_t>& bytes, Failure& failure) {
        const std::string ffmpeg = findFfmpeg(std::getenv(FFMPEG_VARIABLE), std::getenv("PATH"));
        if (ffmpeg.empty()) {
            failure.reason = "not a PNG or JPEG picture, and ffmpeg, which converts the others, "
                             "is not installed";
            return false;
        }
        const std::string converted = work + CONVERTED_PICTURE;
        std::remove(converted.c_str());
        const ProcessResult run = runProcess(
            ffmpeg,
            {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", "file:" + path,
             "-frames:v", "1", "-update", "1", "-c:v", "png", "-f", "image2", "file:" + converted},
            &stopRequested);
        const bool read = run.succeeded() && readWholeFile(converted, bytes);
        std::remove(converted.c_str());
        if (!read) {
            failure.reason = "not a picture ffmpeg can read (" + run.failure() + ")";
            return false;
        }
        return true;
    }

    // The picture written again as PNG, into bytes.
    bool reencode(video::IImage* picture, std::vector<uint8_t>& bytes, Failure& failure) {
        const std::string converted = work + CONVERTED_PICTURE;
        std::remove(converted.c_str());
        const bool ok = decoder.writePng(picture, converted) && readWholeFile(converted, bytes);
        std::remove(converted.c_str());
        if (!ok) failure.reason = "cannot convert it to PNG in " + work;
        return ok;
    }

    // Takes the decoded picture's size (refusing pictures too large to show) and its file.
    bool takePicture(video::IImage* picture, std::vector<uint8_t> bytes, PlannedActor& actor,
                     Failure& failure) {
        const core::dimension2d<u32> size = picture->getDimension();
        if (size.Width == 0 || size.Height == 0 || size.Width > PROJECT_PICTURE_MAX_SIDE ||
            size.Height > PROJECT_PICTURE_MAX_SIDE) {
            failure.reason = std::to_string(size.Width) + " x " + std::to_string(size.Height) +
                             " pixels: pictures may have up to " +
                             std::to_string(PROJECT_PICTURE_MAX_SIDE) + " pixels a side";
            return false;
        }
        actor.width = double(size.Width);
        actor.height = double(size.Height);
        actor.bytes = std::move(bytes);
        if (actor.extension == ".png") pngBelow = true;
        return true;
    }

    // A name as it can be printed (up to a NUL byte).
    static std::string printable(const std::string& name) { return name.substr(0, name.find('\0')); }

    PictureDecoder& decoder;
    std::string work;
    bool pngBelow;  // a PNG actor is drawn below the next: a JPEG must become PNG to go over it
};

// Places the pictures that are not from a layered file.
void placePictures(std::vector<PlannedActor>& actors) {
    int slots = 0;
    for (const PlannedActor& a : actors)
        if (!a.layered && !isBackdrop(a.width, a.height)) ++slots;
    int slot = 0;
    for (PlannedActor& a : actors) {
        if (a.layered) continue;
        const bool backdrop = isBackdrop(a.width, a.height);
        a.pose = picturePose(a.width, a.height, backdrop ? 0 : slot, slots);
        if (!backdrop) ++slot;
    }
}

// Writes the actors numbered from first into folder (ending in '/'), each with a track of
// frames poses; the file names written go to written. False with failure set.
bool writeActors(const std::vector<PlannedActor>& actors, int first, int frames,
                 const std::string& folder, std::vector<std::string>& written, Failure& failure) {
    for (size_t i = 0; i < actors.size(); ++i) {
        const PlannedActor& a = actors[i];
        const std::string picture = numberedActorFile(first + int(i), a.name, a.extension);
        const std::string data = actorNameFromFileName(picture) + kActorDataSuffix;
        if (stopRequested) {
            failure = {a.origin, "interrupted"};
            return false;
        }
        const std::vector<ActorPose> track(size_t(frames), a.pose);
        if (!writeNewFile(folder + picture, a.bytes)) {
            failure = {folder + picture, std::strerror(errno)};
            return false;
        }
        written.push_back(picture);
        if (!writeNewFile(folder + data, encodeActorData(track, false, false))) {
            failure = {folder + data, std::strerror(errno)};
            return false;
        }
        written.push_back(data);
    }
    return true;
}

// Samples and rate of an Ogg Vorbis file; false when it cannot be read.
bool songLength(const std::string& path, int64_t& samples, long& rate) {
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return false;
    const vorbis_info* info = ov_info(&vf, -1);
    samples = ov_pcm_total(&vf, -1);
    rate = info ? info->rate : 0;
    ov_clear(&vf);
    return samples >= 0 && rate > 0;
}

// Converts the song into the project's music at target with ffmpeg; false with failure set.
bool convertSong(const std::string& song, const std::string& target, Failure& failure) {
    failure.file = song;
    struct stat info {};
    if (stat(song.c_str(), &info) != 0 || access(song.c_str(), R_OK) != 0) {
        failure.reason = std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        failure.reason = "a folder, not a song";
        return false;
    }
    const std::string ffmpeg = findFfmpeg(std::getenv(FFMPEG_VARIABLE), std::getenv("PATH"));
    if (ffmpeg.empty()) {
        failure.reason = "ffmpeg, which converts the song, is not installed (Debian package ffmpeg)";
        return false;
    }
    const ProcessResult run = runProcess(
        ffmpeg,
        {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", "file:" + song, "-map",
         "0:a:0", "-vn", "-ac", std::to_string(PROJECT_MUSIC_CHANNELS), "-ar",
         std::to_string(SOUND_MIX_RATE), "-c:a", "libvorbis", "-q:a", PROJECT_MUSIC_QUALITY,
         "-f", "ogg", "file:" + target},
        &stopRequested);
    if (!run.succeeded()) {
        failure.reason = run.messages.find("matches no streams") != std::string::npos
                             ? "it holds no sound"
                             : "ffmpeg cannot read the song (" + run.failure() + ")";
        return false;
    }
    return true;
}

// "m:ss.s" for a number of seconds.
std::string minutesAndSeconds(double seconds) {
    char text[32];
    const int minutes = int(seconds) / SECONDS_PER_MINUTE;
    std::snprintf(text, sizeof text, "%d:%04.1f", minutes, seconds - minutes * SECONDS_PER_MINUTE);
    return text;
}

// Reports a failure on stderr, with what became of the target.
int reportFailure(const char* action, const Failure& failure, const std::string& outcome) {
    std::fprintf(stderr, "tumelora: %s failed: %s%s%s\ntumelora: %s\n", action,
                 failure.file.c_str(), failure.file.empty() ? "" : ": ",
                 stopRequested ? "interrupted" : failure.reason.c_str(), outcome.c_str());
    return PROJECT_FAILED;
}

// Prints the actors written, with what each was made from.
void listActors(const std::vector<PlannedActor>& actors, int first) {
    for (size_t i = 0; i < actors.size(); ++i)
        std::printf("  %s%s  from %s\n", PROJECT_ACTOR_FOLDER,
                    numberedActorFile(first + int(i), actors[i].name, actors[i].extension).c_str(),
                    actors[i].origin.c_str());
}

// Prints the commands that open a project.
void printNextSteps(const std::string& programName, const std::string& dir) {
    std::printf("Edit it:   %s --project %s --edit\n"
                "Play it:   %s w --project %s\n"
                "Export it: %s --project %s --export video.mp4\n",
                programName.c_str(), dir.c_str(), programName.c_str(), dir.c_str(),
                programName.c_str(), dir.c_str());
}

// Plans the actors of every picture; false with failure set.
bool planActors(const std::vector<std::string>& pictures, const std::string& work, bool pngBelow,
                std::vector<PlannedActor>& actors, Failure& failure) {
    PictureDecoder decoder;
    if (!decoder.ready()) {
        failure = {"", "the engine's picture loaders could not start"};
        return false;
    }
    PictureImporter importer(decoder, work, pngBelow);
    for (const std::string& picture : pictures) {
        if (stopRequested) {
            failure = {picture, "interrupted"};
            return false;
        }
        if (!importer.import(picture, actors, failure)) return false;
    }
    placePictures(actors);
    return true;
}

// The actor files of an existing project's folder: picture names, largest number, longest
// track, and whether a PNG actor is there.
struct ExistingActors {
    std::vector<std::string> pictures;
    int largestNumber = -1;
    int longestTrack = 0;
    bool anyPng = false;
};

// Looks at the actors already in folder (ending in '/').
ExistingActors existingActors(const std::string& folder) {
    ExistingActors found;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const std::string ext = extensionOf(name);
        if (ext != ".png" && ext != ".jpg") continue;
        found.pictures.push_back(name);
        found.anyPng = found.anyPng || ext == ".png";
        found.largestNumber = std::max(found.largestNumber, actorFileNumber(name));
        std::ifstream in(folder + actorNameFromFileName(name) + kActorDataSuffix, std::ios::binary);
        ActorData data;
        if (in && actorDataAccepted(readActorData(in, data)))
            found.longestTrack = std::max(found.longestTrack, int(data.poses.size()));
    }
    return found;
}

}  // namespace

std::string actorNameFor(const std::string& text) {
    std::string name;
    for (const char c : text.substr(0, text.find('\0'))) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) continue;
        name += std::strchr("/\\:*?\"<>| ", c) ? '-' : c;
    }
    // Dashes at either end, and dots at the start, say nothing.
    const size_t start = name.find_first_not_of("-.");
    name = start == std::string::npos ? "" : name.substr(start);
    while (!name.empty() && name.back() == '-') name.pop_back();
    if (name.size() > ACTOR_NAME_MAX_BYTES) {
        size_t cut = ACTOR_NAME_MAX_BYTES;
        // Not inside a UTF-8 character: back up over its continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name.empty() ? "layer" : name;
}

std::string numberedActorFile(int n, const std::string& name, const std::string& extension) {
    char number[16];
    std::snprintf(number, sizeof number, "%0*d-", ACTOR_NUMBER_DIGITS, n);
    return number + name + extension;
}

int actorFileNumber(const std::string& fileName) {
    int n = 0, digits = 0;
    for (const char c : fileName) {
        if (c < '0' || c > '9') break;
        if (++digits > ACTOR_NUMBER_DIGITS + 6) return -1;
        n = n * 10 + (c - '0');
    }
    return digits > 0 && fileName.size() > size_t(digits) && fileName[size_t(digits)] == '-' ? n : -1;
}

int framesForSong(int64_t samples, long rate) {
    if (samples <= 0 || rate <= 0) return 1;
    const int64_t frames = framesOfSong(samples, rate);
    return int(std::min<int64_t>(std::max<int64_t>(frames, 1), kActorDataMaxRecords));
}

ActorPose layerPose(double cw, double ch, double x, double y, double w, double h) {
    const double scale = std::min(double(STAGE_WIDTH_PIXELS) / cw, double(STAGE_HEIGHT_PIXELS) / ch);
    const double left = (double(STAGE_WIDTH_PIXELS) - cw * scale) / 2;
    const double top = (double(STAGE_HEIGHT_PIXELS) - ch * scale) / 2;
    ActorPose pose = ActorPose::defaultPose();
    pose.position.set(float((left + (x + w / 2) * scale) / kSceneUnitPixels),
                      float((top + (y + h / 2) * scale) / kSceneUnitPixels));
    pose.scale.set(float(scale), float(scale));
    return pose;
}

bool isBackdrop(double w, double h) { return w >= double(STAGE_WIDTH_PIXELS) || h >= double(STAGE_HEIGHT_PIXELS); }

ActorPose picturePose(double w, double h, int slot, int slots) {
    const double scale = std::min({1.0, double(STAGE_WIDTH_PIXELS) / w, double(STAGE_HEIGHT_PIXELS) / h});
    ActorPose pose = ActorPose::defaultPose();
    const double x = isBackdrop(w, h) || slots < 1 ? double(STAGE_WIDTH_PIXELS) / 2
                                                   : (slot + 0.5) * double(STAGE_WIDTH_PIXELS) / slots;
    pose.position.set(float(x / kSceneUnitPixels), float(double(STAGE_HEIGHT_PIXELS) / 2 / kSceneUnitPixels));
    pose.scale.set(float(scale), float(scale));
    return pose;
}

int makeProject(const std::string& dir, const std::string& song,
                const std::vector<std::string>& pictures, const std::string& programName) {
    const char* action = "--new";
    const std::string untouched = "nothing was made";
    struct stat info {};
    if (stat(dir.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            return reportFailure(action, {dir, "exists and is not a folder"}, untouched);
        std::error_code ec;
        if (!fs::is_empty(dir, ec) || ec)
            return reportFailure(action, {dir, ec ? ec.message() : "is not empty: name a new folder"},
                                 "it was left as it was");
    }
    const std::string parent = parentFolder(dir);
    StopSignals signals;
    WorkFolder work(parent, "tumelora-new");
    if (work.path().empty())
        return reportFailure(action, {parent, std::string("cannot make a folder here: ") + std::strerror(errno)},
                             untouched);
    const std::string staging = withSlash(work.path());
    const std::string actorFolder = staging + PROJECT_ACTOR_FOLDER;

    Failure failure;
    if (mkdir(actorFolder.c_str(), 0777) != 0)
        return reportFailure(action, {actorFolder, std::strerror(errno)}, untouched);
    if (!convertSong(song, staging + PROJECT_MUSIC_FILE, failure))
        return reportFailure(action, failure, untouched);
    int64_t samples = 0;
    long rate = 0;
    if (!songLength(staging + PROJECT_MUSIC_FILE, samples, rate) || samples <= 0)
        return reportFailure(action, {song, "ffmpeg found no sound in it"}, untouched);
    const int frames = framesForSong(samples, rate);

    std::vector<PlannedActor> actors;
    if (!planActors(pictures, staging, false, actors, failure))
        return reportFailure(action, failure, untouched);
    if (actors.size() > size_t(PROJECT_MAX_ACTORS))
        return reportFailure(action, {dir, "a project holds at most " +
                                               std::to_string(PROJECT_MAX_ACTORS) + " actors"},
                             untouched);
    std::vector<std::string> written;
    if (!writeActors(actors, 0, frames, actorFolder, written, failure))
        return reportFailure(action, failure, untouched);
    syncFolder(actorFolder);
    syncFolder(staging);

    if (stopRequested) return reportFailure(action, {dir, "interrupted"}, untouched);
    if (chmod(staging.c_str(), newFolderMode()) != 0 || std::rename(staging.c_str(), dir.c_str()) != 0)
        return reportFailure(action, {dir, std::strerror(errno)}, untouched);
    work.keep();
    syncFolder(parent);

    std::printf("tumelora: made the project %s\n  %s  from %s, %s (%d frames)\n", dir.c_str(),
                PROJECT_MUSIC_FILE, lastComponent(song).c_str(),
                minutesAndSeconds(double(samples) / double(rate)).c_str(), frames);
    listActors(actors, 0);
    printNextSteps(programName, dir);
    return 0;
}

int addToProject(const std::string& dir, const std::vector<std::string>& pictures,
                 const std::string& programName) {
    const char* action = "--add";
    const std::string untouched = "the project was left as it was";
    ScenePaths paths;
    std::string error;
    if (!projectScenePaths(dir, paths, error)) return reportFailure(action, {"", error}, untouched);
    const ExistingActors existing = existingActors(paths.actorFolder);
    const int first = existing.largestNumber + 1;
    int64_t samples = 0;
    long rate = 0;
    const int songFrames = songLength(paths.musicFile, samples, rate) ? framesForSong(samples, rate) : 1;
    const int frames = std::max({songFrames, existing.longestTrack, 1});

    StopSignals signals;
    WorkFolder work(dir, "tumelora-add");
    if (work.path().empty())
        return reportFailure(action, {dir, std::string("cannot write in it: ") + std::strerror(errno)},
                             untouched);
    const std::string staging = withSlash(work.path());
    Failure failure;
    std::vector<PlannedActor> actors;
    if (!planActors(pictures, staging, existing.anyPng, actors, failure))
        return reportFailure(action, failure, untouched);
    if (first + int(actors.size()) > PROJECT_MAX_ACTORS + 1)
        return reportFailure(action, {dir, "a project holds at most " +
                                               std::to_string(PROJECT_MAX_ACTORS) + " actors"},
                             untouched);
    std::vector<std::string> written;
    if (!writeActors(actors, first, frames, staging, written, failure))
        return reportFailure(action, failure, untouched);

    // Into the project, data files before their pictures (the program only looks for
    // pictures); on a failure whatever was moved goes again.
    std::vector<std::string> moved;
    for (size_t i = 0; i + 1 < written.size(); i += 2) {
        for (const std::string& file : {written[i + 1], written[i]}) {
            if (!moveWithoutReplacing(staging + file, paths.actorFolder + file)) {
                failure = {paths.actorFolder + file, std::strerror(errno)};
                for (const std::string& back : moved) std::remove((paths.actorFolder + back).c_str());
                return reportFailure(action, failure, untouched);
            }
            moved.push_back(file);
        }
    }
    syncFolder(paths.actorFolder);

    std::printf("tumelora: added %zu actor%s to %s, drawn over the %zu already there\n",
                actors.size(), actors.size() == 1 ? "" : "s", dir.c_str(), existing.pictures.size());
    listActors(actors, first);
    // The program draws actors in the order of their file names (JPEG pictures first).
    if (!actors.empty()) {
        const std::string firstNew = lowerCase(numberedActorFile(first, actors[0].name, actors[0].extension));
        for (const std::string& old : existing.pictures)
            if (extensionOf(old) == actors[0].extension && lowerCase(old) > firstNew)
                std::fprintf(stderr,
                             "tumelora: note: %s sorts after the new actors and stays drawn over them\n",
                             old.c_str());
    }
    printNextSteps(programName, dir);
    return 0;
}
