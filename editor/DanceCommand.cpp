#include "editor/DanceCommand.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <thread>

#include "editor/Beats.h"
#include "editor/Dance.h"
#include "editor/HeadlessActors.h"
#include "editor/PreviousTracks.h"
#include "editor/Recovery.h"
#include "editor/Waveform.h"
#include "platform/Signals.h"
#include "platform/Timebase.h"
#include "platform/Words.h"
#include "rig/RigFile.h"
#include "states/DrawingOrder.h"

namespace {

// Milliseconds per minute, for the tempo.
constexpr double MS_PER_MINUTE = 60000.0;

// "m:ss.s" for a frame's time.
std::string timeOfFrame(int frame) { return minutesAndSeconds(double(frame) / FRAMES_PER_SECOND); }

// Says why the dance failed and that nothing changed; the exit code.
int failed(const std::string& why) {
    std::fprintf(stderr, "tumelora: --dance failed: %s\ntumelora: no track was changed\n",
                 quitSignal() != 0 ? "interrupted" : why.c_str());
    return DANCE_FAILED;
}

// Waits until done() or a stop signal; false on the signal.
template <class Done>
bool waitFor(const Done& done) {
    while (!done()) {
        if (quitSignal() != 0) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(QUIT_POLL_MS));
    }
    return quitSignal() == 0;
}

// True when the two tracks hold the same bytes.
bool sameTrack(const std::vector<ActorPose>& a, const std::vector<ActorPose>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(ActorPose)) == 0);
}

}  // namespace

int danceAnimation(const ScenePaths& paths, const DanceSpan& span) {
    installQuitSignals();
    const std::string& folder = paths.actorFolder;
    // A "Save" that renamed files for the drawing order and did not end is finished first, as
    // the program's start does.
    for (const std::string& message : finishDrawingOrder(folder).messages)
        std::fprintf(stderr, "tumelora: %s\n", message.c_str());
    HeadlessActors loaded;
    std::string error;
    if (!loadHeadlessActors(folder, loaded, error)) return failed(error);
    for (const std::string& problem : loaded.problems) std::fprintf(stderr, "tumelora: %s\n", problem.c_str());
    const std::vector<Actor*>& actors = loaded.actors;
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(a->name);

    const RigLoad rigFile = loadRigFile(rigFilePath(folder), names);
    for (const std::string& message : rigFile.errors) std::fprintf(stderr, "tumelora: %s\n", message.c_str());
    if (!rigFile.found)
        return failed(rigFilePath(folder) + " is not there, so there is no character to dance: hang its parts "
                                            "in the editor (P, H) or write the file (docs/rig.md)");
    const Rig& rig = rigFile.rig;
    std::vector<std::size_t> roots;
    for (std::size_t i = 0; i < actors.size(); ++i)
        if (rig.find(actors[i]->name) && rig.parentOf(actors[i]->name).empty()) roots.push_back(i);
    if (roots.empty()) return failed(rigFilePath(folder) + " has no part that hangs from nothing: no character to dance");

    // The beats and the loudness, each read on a thread of its own while a signal may come.
    BeatLoader beatLoader;
    beatLoader.start(paths.musicFile);
    if (!waitFor([&] { return beatLoader.ready(); })) {
        beatLoader.cancel();
        return failed("interrupted");
    }
    if (!beatLoader.message.empty())
        std::fprintf(beatLoader.trouble ? stderr : stdout, "tumelora: %s\n", beatLoader.message.c_str());
    if (beatLoader.beats.size() < 2) return failed(paths.musicFile + ": no beats to dance to");
    WaveformPeaks wave;
    wave.start(paths.musicFile, FRAMES_PER_SECOND);
    if (!waitFor([&] { return wave.finished(); })) return failed("interrupted");
    if (!wave.ready()) return failed(paths.musicFile + ": cannot be read as Ogg Vorbis");

    // The frames danced: the whole song and animation, or the span asked for.
    int length = int(wave.peaks().size());
    for (const Actor* a : actors) length = std::max(length, int(a->poses.size()));
    const int from = int(std::lround(span.fromSeconds * FRAMES_PER_SECOND));
    int to = span.toSeconds < 0.0 ? length : int(std::lround(span.toSeconds * FRAMES_PER_SECOND));
    if (from >= length)
        return failed("--from " + timeOfFrame(from) + " is not before the animation's end, " + timeOfFrame(length));
    if (to > length) {
        std::fprintf(stderr, "tumelora: --to %s is past the animation's end: the dance ends there, at %s\n",
                     timeOfFrame(to).c_str(), timeOfFrame(length).c_str());
        to = length;
    }
    DanceMusic music{BeatGrid(beatLoader.beats), {}};
    music.loudness = beatLoudness(music.grid, wave.peaks());
    const auto& beatTimes = music.grid.times();
    const long beatsDanced = long(std::count_if(beatTimes.begin(), beatTimes.end(), [&](double t) {
        return t >= double(from) * FRAME_MS && t < double(to) * FRAME_MS;
    }));

    // Each character dances; those with a track that cannot be read are left as they are.
    std::vector<Actor*> changed;
    std::vector<std::string> danced;
    int leftOut = 0;
    for (std::size_t root : roots) {
        const std::vector<std::size_t> family = rigFamily(actors, rig, root);
        const auto unreadable = std::find_if(family.begin(), family.end(), [&](std::size_t i) {
            return actors[i]->trackFile == Actor::TrackFile::Unreadable;
        });
        if (unreadable != family.end()) {
            std::fprintf(stderr, "tumelora: %s does not dance: %s cannot be read\n", actors[root]->name.c_str(),
                         actors[*unreadable]->dataPath().c_str());
            ++leftOut;
            continue;
        }
        std::vector<std::vector<ActorPose>> before;
        for (std::size_t i : family) before.push_back(actors[i]->poses);
        const DancePlan plan = planDance(actors, rig, root, from);
        const RigEditReport report = dance(actors, rig, plan, music, from, to);
        danced.push_back(rigFamilyText(actors, rig, root) + ": " + describeDance(actors, plan) + danceLateText(report));
        for (std::size_t k = 0; k < family.size(); ++k)
            if (!sameTrack(before[k], actors[family[k]]->poses)) changed.push_back(actors[family[k]]);
    }
    if (quitSignal() != 0) return failed("interrupted");
    if (changed.empty()) {
        std::printf("tumelora: no track changed (the song is silent from %s to %s)\n", timeOfFrame(from).c_str(),
                    timeOfFrame(to).c_str());
        return leftOut > 0 ? DANCE_FAILED : 0;
    }

    PreviousTracksReport written;
    if (!writeTracksKeepingPrevious(changed, folder, DANCE_PREVIOUS_SUFFIX, written, error)) return failed(error);
    char tempo[64];
    std::snprintf(tempo, sizeof tempo, "%.1f", MS_PER_MINUTE / beatPeriodMs(beatLoader.beats));
    std::printf("tumelora: danced from %s to %s, on %s (%s a minute):\n", timeOfFrame(from).c_str(),
                timeOfFrame(to).c_str(), countOf(beatsDanced, "beat").c_str(), tempo);
    for (const std::string& line : danced) std::printf("  %s\n", line.c_str());
    std::printf("tumelora: wrote %s in %s; the %s they replaced %s kept beside them as NAME%s%s\n",
                countOf(written.written, "track").c_str(), folder.c_str(), countOf(written.kept, "track").c_str(),
                written.kept == 1 ? "is" : "are", kActorDataSuffix, DANCE_PREVIOUS_SUFFIX);
    for (const std::string& removed : written.removed)
        std::printf("  removed %s (kept by an earlier dance)\n", removed.c_str());
    struct stat info {};
    if (stat(recoveryFilePath(folder).c_str(), &info) == 0)
        std::fprintf(stderr,
                     "tumelora: note: %s holds edits the editor has not saved; the next --edit brings them back "
                     "over these tracks (Save keeps them, a second Escape throws them away)\n",
                     recoveryFilePath(folder).c_str());
    std::printf("To take the dance back: for f in %s*%s%s; do mv \"$f\" \"${f%%%s}\"; done\n", folder.c_str(),
                kActorDataSuffix, DANCE_PREVIOUS_SUFFIX, DANCE_PREVIOUS_SUFFIX);
    return leftOut > 0 ? DANCE_FAILED : 0;
}
