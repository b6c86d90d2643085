#include "states/SceneSettings.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "actors/Actor.h"
#include "platform/SafeFile.h"

namespace {

// What reading a text file gave: found, read whole (within the limit), its text, or why not.
struct TextRead {
    bool found = false;
    bool read = false;
    std::string text;
    std::string problem;
};

TextRead readText(const std::string& path) {
    TextRead r;
    std::ifstream in(path, std::ios::binary);
    if (!in) return r;
    r.found = true;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        r.text.append(buf, std::size_t(in.gcount()));
        if (r.text.size() > SCENE_FILE_MAX_BYTES) {
            r.problem = path + ": larger than " + std::to_string(SCENE_FILE_MAX_BYTES) +
                        " bytes; not loaded, and Save leaves it as it is";
            return r;
        }
    }
    if (in.bad()) {
        r.problem = path + ": could not be read; Save leaves it as it is";
        return r;
    }
    r.read = true;
    return r;
}

// True when a line of the file sets the end (its key is "end"), whatever its value.
bool isEndLine(const std::string& line) {
    const std::size_t key = std::strlen(SCENE_KEY_END);
    return line.compare(0, key, SCENE_KEY_END) == 0 && (line.size() == key || line[key] == ' ');
}

}  // namespace

void SceneSettings::problem(const std::string& message, bool aboutEnd) {
    messages_.push_back(message);
    if (aboutEnd) endMessages_.push_back(message);
}

void SceneSettings::apply(const std::string& text, const std::string& from, const std::vector<Actor*>& actors,
                          int lastFrame) {
    std::vector<SceneProblem> problems;
    SceneText scene = parseSceneText(text, problems);
    for (const SceneProblem& p : problems) {
        const std::string& line = scene.keptLines[std::size_t(&p - problems.data())];
        problem(from + " " + p.message, isEndLine(line));
    }
    kept.comments = scene.comments;
    kept.keptLines = scene.keptLines;
    for (Actor* a : actors) a->hidden = a->locked = false;
    end_ = -1;
    int endLine = 0;
    for (const SceneSetting& s : scene.settings) {
        const std::string where = from + " line " + std::to_string(s.line) + ": ";
        if (s.key == SCENE_KEY_END) {
            std::string why;
            const long frame = parseSceneEnd(s.value, why);
            if (frame >= 0 && lastFrame >= 0 && frame > lastFrame)
                why = "the end, frame " + s.value + ", lies past the animation's last frame " + std::to_string(lastFrame);
            else if (frame >= 0 && endLine > 0)
                why = "a second end (the one on line " + std::to_string(endLine) + " is used)";
            if (!why.empty()) {
                problem(where + why + "; ignored and kept as it is", true);
                kept.keptLines.push_back(s.key + " " + s.value);
                continue;
            }
            end_ = int(frame);
            endLine = s.line;
            continue;
        }
        Actor* actor = nullptr;
        for (Actor* a : actors)
            if (a->name == s.value) actor = a;
        if (!actor) {
            problem(where + "no actor \"" + s.value + "\"; kept as it is", false);
            kept.keptLines.push_back(s.key + " " + s.value);
            continue;
        }
        if (s.key == SCENE_KEY_HIDDEN) actor->hidden = true;
        if (s.key == SCENE_KEY_LOCKED) actor->locked = true;
    }
}

void SceneSettings::load(const std::vector<Actor*>& actors, int frameCount, bool editing) {
    messages_.clear();
    endMessages_.clear();
    const TextRead r = readText(filePath());
    fileFound = r.found;
    fileRead = !r.found || r.read;
    if (!r.problem.empty()) problem(r.problem, true);
    if (r.read) apply(r.text, filePath(), actors, std::max(frameCount, 1) - 1);
    for (const std::string& m : editing ? messages_ : endMessages_) std::fprintf(stderr, "tumelora: %s\n", m.c_str());
    savedText = text(actors);
}

std::string SceneSettings::text(const std::vector<Actor*>& actors,
                                const std::function<std::string(const Actor*)>& nameOf) const {
    SceneText scene = kept;
    for (const char* key : {SCENE_KEY_HIDDEN, SCENE_KEY_LOCKED})
        for (const Actor* a : actors)
            if (key == SCENE_KEY_HIDDEN ? a->hidden : a->locked)
                scene.settings.push_back({key, nameOf ? nameOf(a) : a->name, 0});
    if (end_ >= 0) scene.settings.push_back({SCENE_KEY_END, std::to_string(end_), 0});
    std::vector<std::string> unwritable;  // actor names are file names: never a line break
    return formatSceneText(scene, unwritable);
}

bool SceneSettings::hasFile(const std::vector<Actor*>& actors) const {
    if (fileFound || !kept.comments.empty() || !kept.keptLines.empty() || end_ >= 0) return true;
    for (const Actor* a : actors)
        if (a->hidden || a->locked) return true;
    return false;
}

bool SceneSettings::save(const std::vector<Actor*>& actors, std::string& error) {
    if (!fileRead) {
        error = filePath() + ": not replaced, since it could not be read at start";
        return false;
    }
    if (!hasFile(actors)) return true;
    const std::string t = text(actors);
    std::string reason;
    if (!replaceFileSafely(filePath(), std::vector<uint8_t>(t.begin(), t.end()), &reason)) {
        error = filePath() + ": could not be written (" + reason + ")";
        return false;
    }
    fileFound = true;
    savedText = t;
    return true;
}

void SceneSettings::renamed(const std::string& t) {
    fileFound = true;
    savedText = t;
    recoveryWritten.clear();
}

bool SceneSettings::writeRecovery(const std::vector<Actor*>& actors, std::string& error) {
    const std::string t = text(actors);
    if (t == savedText) {
        if (!recoveryWritten.empty()) removeRecovery();
        return true;
    }
    if (t == recoveryWritten) return true;
    std::string reason;
    if (!replaceFileSafely(recoveryPath(), std::vector<uint8_t>(t.begin(), t.end()), &reason)) {
        error = recoveryPath() + ": could not be written (" + reason + ")";
        return false;
    }
    recoveryWritten = t;
    return true;
}

void SceneSettings::setEnd(int frame) {
    end_ = frame < 0 ? -1 : frame;
    // An end line that was not used (a second one, one past the animation) could be read
    // instead of the end set now: it is kept as a comment, as it stood.
    std::vector<std::string> lines;
    for (std::string& line : kept.keptLines)
        if (isEndLine(line))
            kept.comments.push_back(SCENE_SET_ASIDE_PREFIX + line);
        else
            lines.push_back(std::move(line));
    kept.keptLines = std::move(lines);
}

void SceneSettings::removeRecovery() {
    std::remove(recoveryPath().c_str());
    recoveryWritten.clear();
}

bool SceneSettings::restoreRecovery(const std::vector<Actor*>& actors) {
    const TextRead r = readText(recoveryPath());
    if (!r.read) {
        if (!r.problem.empty()) messages_.push_back(r.problem);
        return false;
    }
    const std::string now = text(actors);
    // The program wrote it in a session whose animation reached its end.
    apply(r.text, recoveryPath(), actors, -1);
    if (text(actors) == now) return false;  // nothing unsaved in it
    recoveryWritten = r.text;
    return true;
}
