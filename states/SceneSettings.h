#pragma once
// The scene settings (states/SceneFile.h): read from scene.txt at start onto the actors (hidden,
// locked) and the animation (its end), written back by the editor's "Save" with every comment
// and every line it could not use, and kept through a crash in a recovery file of the same
// format while they differ from what scene.txt holds. The player reads them too, for the end
// alone: what it cannot use of that goes to stderr, and nothing in the file stops it.
#include <functional>
#include <string>
#include <vector>

#include "states/SceneFile.h"

class Actor;

// Put before an end line that could not be used once the editor sets or clears the end.
constexpr const char* SCENE_SET_ASIDE_PREFIX = "# not used: ";
// The recovery file of unsaved scene settings, in the actor folder.
constexpr const char* SCENE_RECOVERY_FILE_NAME = ".unsaved-scene.recovery";

class SceneSettings {
public:
    // The actor folder (ending in '/') that holds scene.txt and its recovery file.
    void setFolder(const std::string& folder) { folder_ = folder; }
    std::string filePath() const { return folder_ + SCENE_FILE_NAME; }
    std::string recoveryPath() const { return folder_ + SCENE_RECOVERY_FILE_NAME; }

    // Reads scene.txt onto the actors and the end, for an animation of frameCount frames; every
    // line not used is kept in messages() (and written back by save). The editing mode reports
    // them all on stderr, the player (editing false) only what concerns the end.
    void load(const std::vector<Actor*>& actors, int frameCount, bool editing = true);
    // Writes scene.txt when it has something to hold or was there; false with the reason. A
    // file that could not be read at start is not replaced.
    bool save(const std::vector<Actor*>& actors, std::string& error);
    // The text scene.txt gets for the actors, each named by nameOf (its own name when not given).
    std::string text(const std::vector<Actor*>& actors,
                     const std::function<std::string(const Actor*)>& nameOf = nullptr) const;
    // True when save writes the file: it was there, or the actors' settings or the kept lines
    // have something to say.
    bool hasFile(const std::vector<Actor*>& actors) const;
    // False when scene.txt could not be read at start (Save then leaves it as it is).
    bool readable() const { return fileRead; }
    // The actors were renamed (scene.txt now holds text): known as saved under the new names.
    void renamed(const std::string& text);

    // Keeps the settings in the recovery file while they differ from scene.txt as loaded or
    // saved (removed once they are the same again); false with the reason on failure.
    bool writeRecovery(const std::vector<Actor*>& actors, std::string& error);
    // Removes the recovery file.
    void removeRecovery();
    // Puts the settings of a recovery file left by an ended session on the actors; false when
    // there is none or it holds the settings as they are.
    bool restoreRecovery(const std::vector<Actor*>& actors);

    // The animation's last frame (-1: none set; it then ends with its tracks and the music).
    int endFrame() const { return end_; }
    // Sets the end (-1 clears it). Lines of an end that could not be used are kept as comments
    // (SCENE_SET_ASIDE_PREFIX and the line as it stood), so that none is read in its place.
    void setEnd(int frame);

    // What loading reported, one line each.
    const std::vector<std::string>& messages() const { return messages_; }

private:
    // Reads the text's settings onto the actors (settings of unknown actors are kept as lines
    // and reported with where they came from) and the end (lastFrame >= 0: none past it).
    void apply(const std::string& text, const std::string& from, const std::vector<Actor*>& actors, int lastFrame);
    // A problem of the file: kept in messages(), and among those the player reports when aboutEnd.
    void problem(const std::string& message, bool aboutEnd);

    std::string folder_;
    SceneText kept;          // the comments and the lines not used, kept on writing
    bool fileFound = false;
    bool fileRead = true;
    std::string savedText;   // the text scene.txt holds (after load or save)
    std::string recoveryWritten;
    std::vector<std::string> messages_;
    std::vector<std::string> endMessages_;  // the problems the player reports
    int end_ = -1;
};
