#pragma once
// The scene settings file "scene.txt" beside the actors: the program's own small text file for
// what belongs to the animation as a whole rather than to one track.
//
// Format: UTF-8 text, one setting a line, "KEY VALUE": the key (lower-case letters, digits and
// '-'), one space, and the value, which is the rest of the line as it stands. Lines starting
// with '#' are comments; empty lines are skipped; a CR before the line break is dropped.
// The keys this program knows are SCENE_KEYS. A line with a key it does not know (written by a
// newer program, say) is reported and kept as it stands, so that Save loses nothing; so is a
// line that is not a setting (no key, no value, not text), with its line number and reason.
//
//   # Tumelora scene settings: one setting a line, "KEY VALUE".
//   hidden 03-cloud-small
//   locked 00-stage
//   end 1799
#include <cstddef>
#include <string>
#include <vector>

// The file's name in the actor folder.
constexpr const char* SCENE_FILE_NAME = "scene.txt";
// The largest file read, in bytes (a line per actor needs far less).
constexpr std::size_t SCENE_FILE_MAX_BYTES = std::size_t(1) << 20;
// The longest value a setting may have, in bytes.
constexpr std::size_t SCENE_VALUE_MAX_BYTES = 4096;

// The keys of the settings, and what they mean:
//   "hidden NAME": the actor is not drawn on the editor's stage (playback and export draw it);
//   "locked NAME": the actor is never picked on the editor's stage;
//   "end FRAME": the animation's last frame (playback, its loop and the export end there).
constexpr const char* SCENE_KEY_HIDDEN = "hidden";
constexpr const char* SCENE_KEY_LOCKED = "locked";
constexpr const char* SCENE_KEY_END = "end";
// The largest frame number an end may give (a day of frames; the tracks' own limit is lower).
constexpr long SCENE_END_MAX_FRAME = 24L * 3600 * 60;
// Every key this program knows.
extern const char* const SCENE_KEYS[];
extern const std::size_t SCENE_KEY_COUNT;

// One setting of the file.
struct SceneSetting {
    std::string key, value;
    int line = 0;  // 1-based line number in the file read (0: not read from a file)
};

// A line of the file that was not used, and why.
struct SceneProblem {
    int line = 0;
    std::string message;  // "line N: reason"
};

// What a scene settings text holds.
struct SceneText {
    std::vector<SceneSetting> settings;   // the lines with a known key, in file order
    std::vector<std::string> comments;    // the user's comment lines (not the program's own)
    std::vector<std::string> keptLines;   // lines not used, as they stood, kept on writing
};

// Reads scene settings text; every line not used gets a problem and is kept.
SceneText parseSceneText(const std::string& text, std::vector<SceneProblem>& problems);
// The text: the program's own heading, the comments, the settings, the kept lines. A setting
// whose value cannot stand on one line is left out and listed in unwritable ("KEY VALUE").
std::string formatSceneText(const SceneText& scene, std::vector<std::string>& unwritable);
// True when the key is one of SCENE_KEYS.
bool knownSceneKey(const std::string& key);
// The frame an end's value gives (decimal digits, no sign, no leading zero, at most
// SCENE_END_MAX_FRAME), or -1 with the reason in why.
long parseSceneEnd(const std::string& value, std::string& why);
