#pragma once
// New tracks written so that the ones they replace are kept: beside each actor's data file its
// previous contents, byte for byte, as NAME.data + suffix (one level of undo on disk). The
// previous versions are those of the last writing alone: any other file with the suffix in the
// folder is removed, and an actor that had no data file gets none kept.
//
// Nothing is lost at any step. First each previous track is copied to a hidden file beside it
// ("." + NAME.data + suffix + ".new"); then those are renamed into place; then the new tracks
// are written, each through a temporary file renamed over the old one. A failure (or a stop
// signal) before the last step changes no track; a failure while writing the tracks puts back
// the ones already written.
#include <string>
#include <vector>

#include "actors/Actor.h"

// Added to a hidden copy's name while it is being written.
constexpr const char* PREVIOUS_TRACK_WORK_SUFFIX = ".new";

// What writing the tracks did.
struct PreviousTracksReport {
    int written = 0;               // tracks written
    int kept = 0;                  // previous tracks kept
    std::vector<std::string> removed;  // files of an earlier writing removed (their paths)
};

// Writes the tracks of actors (all in folder, ending in '/') keeping their previous ones with
// suffix; false with the file and the reason in error, no track then changed.
bool writeTracksKeepingPrevious(const std::vector<Actor*>& actors, const std::string& folder,
                                const std::string& suffix, PreviousTracksReport& report, std::string& error);
