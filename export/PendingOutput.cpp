#include "export/PendingOutput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "platform/ChildProcess.h"

namespace {

// What the temporary name adds before and after the final name (and the process id).
constexpr const char* TEMPORARY_PREFIX = ".";
constexpr const char* TEMPORARY_SUFFIX = ".part";
// The temporary folder of a frame sequence, before the process id: without the final name,
// whose frame-number field ffmpeg would otherwise find twice in the path.
constexpr const char* SEQUENCE_FOLDER_PREFIX = ".tumelora-export-";
// Permissions of the temporary file and of a sequence's temporary folder.
constexpr mode_t TEMPORARY_FILE_MODE = 0644;
constexpr mode_t TEMPORARY_FOLDER_MODE = 0700;

// The temporary folder of a frame sequence exported into folder by process pid.
std::string sequenceFolderPath(const std::string& folder, long pid) {
    return folder + "/" + SEQUENCE_FOLDER_PREFIX + std::to_string(pid) + TEMPORARY_SUFFIX;
}

}  // namespace

std::string temporaryOutputPath(const std::string& finalPath, long unique) {
    const std::string folder = pathFolder(finalPath);
    return (folder == "/" ? "" : folder) + "/" + TEMPORARY_PREFIX + pathFileName(finalPath) + "." +
           std::to_string(unique) + TEMPORARY_SUFFIX;
}

std::vector<std::string> removeLeftoverOutputs(const std::string& finalPath) {
    const std::string folder = pathFolder(finalPath);
    std::vector<std::string> removed = removeLeftoversOfGoneProcesses(
        folder, TEMPORARY_PREFIX + pathFileName(finalPath) + ".", TEMPORARY_SUFFIX);
    for (std::string& sequence : removeLeftoversOfGoneProcesses(folder, SEQUENCE_FOLDER_PREFIX, TEMPORARY_SUFFIX))
        removed.push_back(std::move(sequence));
    return removed;
}

PendingOutput::PendingOutput(std::string finalPath, ExportFormat format)
    : finalPath(std::move(finalPath)), sequence(format == ExportFormat::PngSequence) {}

PendingOutput::~PendingOutput() { discard(); }

bool PendingOutput::reserve() {
    if (sequence) {
        temporary = sequenceFolderPath(pathFolder(finalPath), long(getpid()));
        if (mkdir(temporary.c_str(), TEMPORARY_FOLDER_MODE) != 0) {
            temporary.clear();
            return false;
        }
        ffmpegOutput = temporary + "/" + pathFileName(finalPath);
        return true;
    }
    temporary = temporaryOutputPath(finalPath, long(getpid()));
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, TEMPORARY_FILE_MODE);
    if (fd < 0) {
        temporary.clear();
        return false;
    }
    close(fd);
    ffmpegOutput = temporary;
    return true;
}

bool PendingOutput::commit(int frameCount) {
    if (!sequence) {
        if (std::rename(temporary.c_str(), finalPath.c_str()) != 0) return false;
        temporary.clear();
        return true;
    }
    const std::string name = pathFileName(finalPath);
    const std::string folder = pathFolder(finalPath);
    for (int frame = 0; frame < frameCount; ++frame) {
        const std::string file = expandFrameNumber(name, frame);
        if (std::rename((temporary + "/" + file).c_str(), (folder + "/" + file).c_str()) != 0) {
            // No half sequence under the final names: the frames moved so far go again.
            const int error = errno;
            for (int moved = 0; moved < frame; ++moved)
                std::remove((folder + "/" + expandFrameNumber(name, moved)).c_str());
            errno = error;
            return false;
        }
    }
    discard();
    return true;
}

void PendingOutput::discard() {
    if (temporary.empty()) return;
    if (sequence) {
        // The folder was made for this run alone: whatever ffmpeg left in it goes.
        std::error_code ignored;
        std::filesystem::remove_all(temporary, ignored);
    } else {
        std::remove(temporary.c_str());
    }
    temporary.clear();
}
