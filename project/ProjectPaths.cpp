#include "project/ProjectPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

namespace {

// Most bytes of the program's own path that are read.
constexpr size_t PROGRAM_PATH_MAX = PATH_MAX;

// True when path names a folder.
bool isFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// True when path names a file.
bool isFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

std::string runningProgramFolder() {
    std::string path(PROGRAM_PATH_MAX, '\0');
    const ssize_t n = readlink("/proc/self/exe", &path[0], path.size());
    if (n <= 0 || size_t(n) >= path.size()) return "";
    path.resize(size_t(n));
    return withSlash(parentFolder(path));
}

std::string installedDataFolder() {
    const std::string program = runningProgramFolder();
    if (program.empty()) return "";
    const std::string folder = withSlash(
        std::filesystem::path(program + TUMELORA_INSTALLED_DATA_FROM_BINARY).lexically_normal().string());
    return isFile(folder + PROGRAM_FILES_MARKER) ? folder : "";
}

std::string programFilesFolder() {
    const std::string installed = installedDataFolder();
    if (!installed.empty()) return installed;
#ifdef TUMELORA_SOURCE_DATA_DIR
    const std::string source = withSlash(TUMELORA_SOURCE_DATA_DIR);
    if (isFile(source + PROGRAM_FILES_MARKER)) return source;
#endif
    return PROGRAM_FILE_FOLDER;
}

std::string psdImportHelper() {
    const std::string installed = installedDataFolder();
    if (!installed.empty() && isFile(installed + "psd-import")) return installed + "psd-import";
#ifdef TUMELORA_SOURCE_PROJECT_DIR
    const std::string source = withSlash(TUMELORA_SOURCE_PROJECT_DIR) + "psd-import";
    if (isFile(source)) return source;
#endif
    return "";
}

bool projectScenePaths(const std::string& dir, ScenePaths& out, std::string& error) {
    const std::string folder = withSlash(dir);
    if (!isFolder(dir)) {
        error = "no project at " + dir + " (no such folder; --new DIR makes one)";
        return false;
    }
    if (!isFolder(folder + PROJECT_ACTOR_FOLDER)) {
        error = dir + " is not a project: it has no " + PROJECT_ACTOR_FOLDER +
                " folder (--new DIR makes one)";
        return false;
    }
    out.programFolder = programFilesFolder();
    out.actorFolder = folder + PROJECT_ACTOR_FOLDER;
    out.musicFile = folder + PROJECT_MUSIC_FILE;
    return true;
}

ScenePaths defaultScenePaths() {
    ScenePaths paths;
    // A build that is not installed keeps to the working folder, as it always has.
    const std::string bundled = installedDataFolder();
    if (isFolder(PROGRAM_FILE_FOLDER) || bundled.empty()) return paths;
    paths.programFolder = bundled;
    paths.actorFolder = bundled + lastComponent(ACTOR_DIRECTORY) + "/";
    paths.musicFile = bundled + lastComponent(MUSIC_FILE);
    return paths;
}

std::string parentFolder(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return p.substr(0, slash);
}

std::string lastComponent(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string withSlash(const std::string& folder) {
    if (folder.empty()) return "./";
    return folder.back() == '/' ? folder : folder + "/";
}
