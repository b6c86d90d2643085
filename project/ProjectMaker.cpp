#include "project/ProjectMaker.h"

#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "platform/Signals.h"
#include "platform/Words.h"
#include "project/ActorFiles.h"
#include "project/PictureImport.h"
#include "project/ProjectFiles.h"
#include "project/ProjectPaths.h"
#include "project/ProjectWork.h"
#include "project/SongImport.h"
#include "project/WorkFolder.h"

namespace fs = std::filesystem;

namespace {

// The purposes of the work folders, which name them (".tumelora-new-PID-XXXXXX").
constexpr const char* NEW_WORK_PURPOSE = "tumelora-new";
constexpr const char* ADD_WORK_PURPOSE = "tumelora-add";

// Reports a failure on stderr, with what became of the target.
int reportFailure(const char* action, const ProjectFailure& failure, const std::string& outcome) {
    std::fprintf(stderr, "tumelora: %s failed: %s%s%s\ntumelora: %s\n", action,
                 failure.file.c_str(), failure.file.empty() ? "" : ": ",
                 quitSignal() != 0 ? "interrupted" : failure.reason.c_str(), outcome.c_str());
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

// True when the working folder is dir or inside it (renaming a project into place there
// would pull the folder from under whoever started the program).
bool holdsWorkingFolder(const std::string& dir) {
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    std::unique_ptr<char, decltype(&std::free)> target(realpath(dir.c_str(), nullptr), &std::free);
    if (!cwd || !target) return false;
    const std::string inner = cwd.get(), outer = target.get();
    return inner == outer || inner.compare(0, withSlash(outer).size(), withSlash(outer)) == 0;
}

}  // namespace

int makeProject(const std::string& dir, const std::string& song,
                const std::vector<std::string>& pictures, const std::string& programName) {
    const char* action = "--new";
    const std::string untouched = "nothing was made";
    struct stat info {};
    if (stat(dir.c_str(), &info) == 0) {
        if (!S_ISDIR(info.st_mode))
            return reportFailure(action, {dir, "exists and is not a folder"}, untouched);
        if (holdsWorkingFolder(dir))
            return reportFailure(action,
                                 {dir, "is the working folder (or holds it): name a new folder, "
                                       "or start the program from another one"},
                                 "it was left as it was");
        std::error_code ec;
        if (!fs::is_empty(dir, ec) || ec)
            return reportFailure(action, {dir, ec ? ec.message() : "is not empty: name a new folder"},
                                 "it was left as it was");
    }
    const std::string parent = parentFolder(dir);
    installQuitSignals();
    removeLeftoverWorkFolders(parent, NEW_WORK_PURPOSE);
    WorkFolder work(parent, NEW_WORK_PURPOSE);
    if (work.path().empty())
        return reportFailure(action, {parent, std::string("cannot make a folder here: ") + std::strerror(errno)},
                             untouched);
    const std::string staging = withSlash(work.path());
    const std::string actorFolder = staging + PROJECT_ACTOR_FOLDER;

    ProjectFailure failure;
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
    if (!planActors(pictures, staging, ExistingActors(), actors, failure))
        return reportFailure(action, failure, untouched);
    const std::string tooMany = actorLimitProblem(0, 0, actors.size());
    if (!tooMany.empty()) return reportFailure(action, {dir, tooMany}, untouched);
    std::vector<std::string> written;
    if (!writeActors(actors, 0, frames, actorFolder, written, failure))
        return reportFailure(action, failure, untouched);
    syncFolder(actorFolder);
    syncFolder(staging);

    if (quitSignal() != 0) return reportFailure(action, {dir, "interrupted"}, untouched);
    if (chmod(staging.c_str(), newFolderMode()) != 0 || std::rename(staging.c_str(), dir.c_str()) != 0)
        return reportFailure(action, {dir, std::strerror(errno)}, untouched);
    work.keep();
    syncFolder(parent);

    std::printf("tumelora: made the project %s\n  %s  from %s, %s (%s)\n", dir.c_str(),
                PROJECT_MUSIC_FILE, lastComponent(song).c_str(),
                minutesAndSeconds(double(samples) / double(rate)).c_str(),
                countOf(frames, "frame").c_str());
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

    installQuitSignals();
    removeLeftoverWorkFolders(dir, ADD_WORK_PURPOSE);
    WorkFolder work(dir, ADD_WORK_PURPOSE);
    if (work.path().empty())
        return reportFailure(action, {dir, std::string("cannot write in it: ") + std::strerror(errno)},
                             untouched);
    const std::string staging = withSlash(work.path());
    ProjectFailure failure;
    std::vector<PlannedActor> actors;
    if (!planActors(pictures, staging, existing, actors, failure))
        return reportFailure(action, failure, untouched);
    const std::string tooMany = actorLimitProblem(existing.pictures.size(), first, actors.size());
    if (!tooMany.empty()) return reportFailure(action, {dir, tooMany}, untouched);
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
