// bench_dance: how a dance made by --dance keeps to the music (section 7 of bench/run).
//
//   bench_dance run DATA LABEL [--still]   dances DATA (a copy of data/: actors/ and the song with
//                                          its beats) as --dance does, then measures it; --still
//                                          first stands every rigged part still at its first pose
//   bench_dance measure ACTORS MUSIC LABEL measures a dance already made in ACTORS, whose
//                                          previous tracks are beside them (NAME.data.before-dance)
//   bench_dance frames MUSIC LABEL W H     measures a dance from the frames of its exported video
//                                          (raw RGB, W x H, 60 a second, on stdin), in which the
//                                          root alone is drawn, in pure red (bench/run makes them)
//
// From the tracks: each rigged character's tracks are played from frame 0 through the player's
// easing (shownTrack), before the dance and after it, and what the dance added to the root's pivot
// is followed. From the video: the height of the red root's centre in each frame, against the first
// frame's. Either way, for each beat of the beats file that moves the root down (half a pixel or
// more), the moment it is lowest (the middle of the frames within half a pixel of its lowest point)
// is compared with the beat's own time; per bar of four beats, the mean depth of its beats is
// compared with the song's loudness there (the root mean square of its samples, in decibels,
// decoded here on its own) by their correlation. From the tracks, every joint is measured in every
// frame with the drawing code's own corner placement. Rows:
// "ROW\tmeasurement\tours\treference\tratio\ttarget\tverdict".
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "actors/ActorDataFile.h"
#include "editor/Beats.h"
#include "editor/BeatMotion.h"
#include "editor/DanceCommand.h"
#include "editor/HeadlessActors.h"
#include "rig/RigFile.h"
#include "rig/RigMotion.h"
#include "tests/common/DrawnPoint.h"

using irr::core::vector2df;

namespace {

// Targets: the share of moving beats lowest within this many frames of the beat, and the
// widest joint gap in pixels.
constexpr double kBeatTargetShare = 0.95;
constexpr double kBeatToleranceFrames = 1.0;
constexpr float kJointTolerancePixels = 1.f;
// A beat that takes the root down less than this (pixels) does not move it.
constexpr float kMovingPixels = 0.5f;
// The root is at its lowest while it is within this many pixels of its lowest point: the
// picture moves in whole pixels, so the lowest point lasts a few frames, and its moment is the
// middle of them.
constexpr double kLowestWithinPixels = 0.5;
// Samples read from the decoder per call.
constexpr int kDecodeChunk = 4096;
// The root's colour in the video measured (pure red), and the least share of it in a pixel's
// colour that counts (less is the codec's noise around it).
constexpr double kMarker[3] = {255.0, 0.0, 0.0};
constexpr double kMarkerLeastShare = 0.2;
// Bytes of a pixel of the raw frames (RGB).
constexpr int kFrameBytesPerPixel = 3;

// The whole file as text ("" when it cannot be read).
std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The song as mono samples and its rate; false when it cannot be read.
bool decodeSong(const std::string& path, std::vector<float>& samples, long& rate) {
    OggVorbis_File file;
    if (ov_fopen(path.c_str(), &file) != 0) return false;
    const vorbis_info* info = ov_info(&file, -1);
    if (!info || info->channels <= 0) {
        ov_clear(&file);
        return false;
    }
    rate = info->rate;
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long n = ov_read_float(&file, &pcm, kDecodeChunk, &section);
        if (n == OV_HOLE) continue;
        if (n <= 0) break;
        for (long i = 0; i < n; ++i) {
            float sum = 0.f;
            for (int c = 0; c < info->channels; ++c) sum += pcm[c][i];
            samples.push_back(sum / float(info->channels));
        }
    }
    ov_clear(&file);
    return !samples.empty();
}

// Pearson's correlation of two series of one length.
double correlation(const std::vector<double>& a, const std::vector<double>& b) {
    const double n = double(a.size());
    double ma = 0, mb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) ma += a[i] / n, mb += b[i] / n;
    double sab = 0, saa = 0, sbb = 0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0.0;
}

// The previous track of an actor kept beside its data file, or false.
bool previousTrack(const Actor& actor, std::vector<ActorPose>& poses) {
    std::ifstream in(actor.dataPath() + DANCE_PREVIOUS_SUFFIX, std::ios::binary);
    ActorData data;
    if (!in || !actorDataAccepted(readActorData(in, data)) || data.poses.empty()) return false;
    poses = data.poses;
    return true;
}

// One row of the table.
void row(const std::string& what, const std::string& ours, const std::string& target, const std::string& verdict) {
    std::printf("ROW\t%s\t%s\t-\t-\t%s\t%s\n", what.c_str(), ours.c_str(), target.c_str(), verdict.c_str());
}

// The song's beats and samples as the figures need them.
struct Song {
    BeatGrid grid;
    std::vector<float> samples;
    long rate = 0;
};

// Reads the song at music with its beats file; false (told) when it cannot.
bool loadSong(const std::string& music, Song& song) {
    std::vector<long> beatsMs;
    std::string error;
    if (!parseBeats(readText(beatsPathOf(music)), beatsMs, error) || beatsMs.size() < 2) {
        std::fprintf(stderr, "bench_dance: %s: no beats (%s)\n", beatsPathOf(music).c_str(), error.c_str());
        return false;
    }
    song.grid = BeatGrid(beatsMs);
    if (!decodeSong(music, song.samples, song.rate)) {
        std::fprintf(stderr, "bench_dance: %s cannot be read\n", music.c_str());
        return false;
    }
    return true;
}

// Prints the beat and loudness figures of a dance whose root the dance took down by added(f)
// pixels at frame f, for frames [0, length): a line of commentary and two rows.
template <class Added>
void beatFigures(const Song& song, std::size_t length, const Added& added, const std::string& label,
                 const std::string& rootName) {
    // Each beat: its lowest frame, and how deep.
    const BeatGrid& grid = song.grid;
    const std::vector<double>& t = grid.times();
    std::vector<float> depth(t.size(), 0.f);
    int moving = 0, onTime = 0;
    double worstOff = 0.0;
    for (std::size_t i = 0; i < t.size(); ++i) {
        const long first = std::max(0L, long(std::ceil(grid.timeOf(double(i) - 0.5) / FRAME_MS)));
        const long last = std::min(long(length) - 1, long(std::floor(grid.timeOf(double(i) + 0.5) / FRAME_MS)));
        if (first > last) continue;
        long lowest = first;
        for (long f = first; f <= last; ++f)
            if (added(std::size_t(f)) > added(std::size_t(lowest))) lowest = f;
        const double floor = double(added(std::size_t(lowest))) - kLowestWithinPixels;
        long from = lowest, to = lowest;
        while (from > first && double(added(std::size_t(from - 1))) >= floor) --from;
        while (to < last && double(added(std::size_t(to + 1))) >= floor) ++to;
        depth[i] = std::max(0.f, float(added(std::size_t(lowest))));
        if (depth[i] < kMovingPixels) continue;
        ++moving;
        const double off = std::fabs(double(from + to) / 2.0 - t[i] / FRAME_MS);
        worstOff = std::max(worstOff, off);
        if (off <= kBeatToleranceFrames) ++onTime;
    }
    // Per bar: the mean depth and the song's loudness.
    std::vector<double> size, loudness;
    for (std::size_t bar = 0; (bar + 1) * BEATS_PER_BAR <= t.size(); ++bar) {
        const double from = grid.timeOf(double(bar * BEATS_PER_BAR) - 0.5);
        const double to = grid.timeOf(double((bar + 1) * BEATS_PER_BAR) - 0.5);
        const long s0 = std::max(0L, long(from * double(song.rate) / 1000.0));
        const long s1 = std::min(long(song.samples.size()), long(to * double(song.rate) / 1000.0));
        if (s1 <= s0) continue;
        double sum = 0.0;
        for (long s = s0; s < s1; ++s) sum += double(song.samples[std::size_t(s)]) * song.samples[std::size_t(s)];
        double mean = 0.0;
        for (int b = 0; b < BEATS_PER_BAR; ++b) mean += depth[bar * BEATS_PER_BAR + std::size_t(b)] / BEATS_PER_BAR;
        size.push_back(mean);
        loudness.push_back(10.0 * std::log10(std::max(sum / double(s1 - s0), 1e-12)));
    }
    float deepest = 0.f;
    for (float d : depth) deepest = std::max(deepest, d);
    std::printf("dance (%s): %s: %d of %zu beats move it (up to %.1f px down), %d of them lowest within %.0f frame "
                "of the beat (the furthest %.2f frames off); %zu bars\n",
                label.c_str(), rootName.c_str(), moving, t.size(), double(deepest), onTime, kBeatToleranceFrames,
                worstOff, size.size());
    const double share = moving > 0 ? double(onTime) / double(moving) : 0.0;
    char ours[128];
    std::snprintf(ours, sizeof ours, "%.1f %% (%d of %d)", 100.0 * share, onTime, moving);
    row("7 dance, " + label + ": moving beats with " + rootName + " lowest within 1 frame of the beat", ours,
        ">= 95 %", share >= kBeatTargetShare ? "met" : "MISSED");
    std::snprintf(ours, sizeof ours, "%.3f", correlation(size, loudness));
    row("7 dance, " + label + ": correlation of bounce depth and loudness (dB) per bar, " +
            std::to_string(size.size()) + " bars",
        ours, "", "");
}

// Measures the dance in actors/ of the song at music from its tracks; false when it cannot.
bool measure(const std::string& actorFolder, const std::string& music, const std::string& label) {
    HeadlessActors loaded;
    std::string error;
    if (!loadHeadlessActors(actorFolder, loaded, error)) {
        std::fprintf(stderr, "bench_dance: %s\n", error.c_str());
        return false;
    }
    const std::vector<Actor*>& actors = loaded.actors;
    std::vector<std::string> names;
    for (const Actor* a : actors) names.push_back(a->name);
    const Rig rig = loadRigFile(rigFilePath(actorFolder), names).rig;
    Song song;
    if (!loadSong(music, song)) return false;
    std::size_t length = 0;
    for (const Actor* a : actors) length = std::max(length, a->poses.size());

    bool measured = false;
    for (std::size_t root = 0; root < actors.size(); ++root) {
        if (!rig.find(actors[root]->name) || !rig.parentOf(actors[root]->name).empty()) continue;
        const std::vector<std::size_t> family = rigFamily(actors, rig, root);
        // Before and after, as playback shows them.
        std::vector<std::vector<ActorPose>> after, before;
        bool complete = true;
        for (std::size_t i : family) {
            after.push_back(shownTrack(*actors[i], length));
            Actor previous(actors[i]->name, nullptr, false, actorFolder);
            previous.size = actors[i]->size;
            complete = complete && previousTrack(*actors[i], previous.poses);
            if (previous.poses.empty()) previous.poses = actors[i]->poses;
            before.push_back(shownTrack(previous, length));
        }
        if (!complete) {
            std::fprintf(stderr, "bench_dance: %s: a previous track is missing\n", actors[root]->name.c_str());
            return false;
        }
        const Actor& r = *actors[root];
        const vector2df pivot = rigPivotPixels(r, rig);
        // What the dance added to the root's pivot, downward, in pixels.
        const auto added = [&](std::size_t f) {
            return drawnPoint(r, after[0][f], pivot).Y - drawnPoint(r, before[0][f], pivot).Y;
        };
        beatFigures(song, length, added, label, r.name);
        // Every joint in every frame.
        float widest = 0.f;
        for (std::size_t k = 1; k < family.size(); ++k) {
            const int parent = rigParentIndex(actors, rig, family[k]);
            const auto p = std::find(family.begin(), family.end(), std::size_t(parent));
            if (p == family.end()) continue;
            const std::size_t q = std::size_t(p - family.begin());
            const Actor& child = *actors[family[k]];
            const Actor& holder = *actors[family[q]];
            const vector2df childPivot = rigPivotPixels(child, rig);
            const vector2df spot = pictureSpotAt(holder, after[q][0], picturePointAt(child, after[k][0], childPivot));
            for (std::size_t f = 0; f < length; ++f)
                widest = std::max(widest, drawnPoint(child, after[k][f], childPivot)
                                              .getDistanceFrom(drawnPoint(holder, after[q][f], spot)));
        }
        char ours[32];
        std::snprintf(ours, sizeof ours, "%.4f", double(widest));
        row("7 dance, " + label + ": widest joint gap in playback, px", ours, "<= 1",
            widest <= kJointTolerancePixels ? "met" : "MISSED");
        measured = true;
    }
    if (!measured) std::fprintf(stderr, "bench_dance: no rigged character in %s\n", actorFolder.c_str());
    return measured;
}

// Measures a dance from the raw frames of its video on stdin (width x height RGB), in which the
// root alone is drawn in the marker colour over a plain background: the height of the marker's
// centre (each pixel weighed by its share of the marker's colour against the background's, read
// in the first frame's corner) against the first frame's. False when it cannot.
bool measureFrames(const std::string& music, const std::string& label, int width, int height) {
    Song song;
    if (!loadSong(music, song)) return false;
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * kFrameBytesPerPixel;
    std::vector<unsigned char> frame(bytes);
    std::vector<double> centre;
    double back[3] = {0.0, 0.0, 0.0}, toMarker[3] = {0.0, 0.0, 0.0}, reach = 0.0;
    while (std::fread(frame.data(), 1, bytes, stdin) == bytes) {
        if (centre.empty()) {
            for (int c = 0; c < 3; ++c) {
                back[c] = frame[std::size_t(c)];
                toMarker[c] = kMarker[c] - back[c];
                reach += toMarker[c] * toMarker[c];
            }
        }
        double weight = 0.0, weighedY = 0.0;
        for (int y = 0; y < height; ++y) {
            const unsigned char* line = frame.data() + std::size_t(y) * std::size_t(width) * kFrameBytesPerPixel;
            for (int x = 0; x < width; ++x) {
                const unsigned char* p = line + std::size_t(x) * kFrameBytesPerPixel;
                double along = 0.0;
                for (int c = 0; c < 3; ++c) along += (double(p[c]) - back[c]) * toMarker[c];
                const double share = std::min(1.0, along / reach);
                if (share < kMarkerLeastShare) continue;
                weight += share;
                weighedY += share * (double(y) + 0.5);
            }
        }
        if (weight <= 0.0) {
            std::fprintf(stderr, "bench_dance: frame %zu shows no red root\n", centre.size());
            return false;
        }
        centre.push_back(weighedY / weight);
    }
    if (centre.empty()) {
        std::fprintf(stderr, "bench_dance: no %dx%d frame on stdin\n", width, height);
        return false;
    }
    const auto added = [&](std::size_t f) { return centre[f] - centre[0]; };
    std::printf("dance (%s): %zu frames of %dx%d read\n", label.c_str(), centre.size(), width, height);
    beatFigures(song, centre.size(), added, label, "the root");
    return true;
}

// Stands every rigged part of the folder still at its first pose (tracks of one pose).
bool standStill(const std::string& actorFolder) {
    HeadlessActors loaded;
    std::string error;
    if (!loadHeadlessActors(actorFolder, loaded, error)) return false;
    std::vector<std::string> names;
    for (const Actor* a : loaded.actors) names.push_back(a->name);
    const Rig rig = loadRigFile(rigFilePath(actorFolder), names).rig;
    for (Actor* a : loaded.actors) {
        if (!rig.find(a->name)) continue;
        a->poses.resize(1);
        if (!a->saveData(&error)) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "measure" && argc == 5) return measure(std::string(argv[2]) + "/", argv[3], argv[4]) ? 0 : 1;
    if (mode == "frames" && argc == 6)
        return measureFrames(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5])) ? 0 : 1;
    if (mode == "run" && (argc == 4 || (argc == 5 && std::strcmp(argv[4], "--still") == 0))) {
        const std::string data = argv[2];
        ScenePaths paths;
        paths.actorFolder = data + "/actors/";
        paths.musicFile = data + "/lumokari2_tumelora_voices.ogg";
        if (argc == 5 && !standStill(paths.actorFolder)) {
            std::fprintf(stderr, "bench_dance: cannot stand %s still\n", paths.actorFolder.c_str());
            return 1;
        }
        const auto start = std::chrono::steady_clock::now();
        if (danceAnimation(paths, DanceSpan()) != 0) return 1;
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        char ours[32];
        std::snprintf(ours, sizeof ours, "%.0f", ms);
        row(std::string("7 dance, ") + argv[3] + ": --dance of the bundled scene (load, listen, dance, save), ms", ours,
            "", "");
        return measure(data + "/actors/", paths.musicFile, argv[3]) ? 0 : 1;
    }
    std::fprintf(stderr,
                 "usage: bench_dance run DATA LABEL [--still] | bench_dance measure ACTORS MUSIC LABEL | "
                 "bench_dance frames MUSIC LABEL W H\n");
    return 2;
}
