#include "states/SceneFile.h"

#include <cstring>

const char* const SCENE_KEYS[] = {SCENE_KEY_HIDDEN, SCENE_KEY_LOCKED, SCENE_KEY_END};
const std::size_t SCENE_KEY_COUNT = sizeof SCENE_KEYS / sizeof SCENE_KEYS[0];

namespace {

// The comment lines this program writes at the top; they are not kept as the user's.
const char* const HEADING_LINES[] = {
    "# Tumelora scene settings: one setting a line, \"KEY VALUE\" (see docs/file-formats.md).",
    "# hidden NAME: not drawn in the editor; locked NAME: never picked on its stage.",
    "# end FRAME: the animation's last frame (playback and the export end there).",
};
const char* const KEPT_HEADING = "# Lines not used (kept as they were written):";

bool isOwnComment(const std::string& line) {
    for (const char* own : HEADING_LINES)
        if (line == own) return true;
    return line == KEPT_HEADING;
}

bool keyCharacter(char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; }

// Why the bytes are not UTF-8 text ("" when they are): a zero byte, a control character other
// than a tab, or a broken UTF-8 sequence.
std::string notText(const std::string& s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == 0) return "not text (it holds a zero byte)";
        if (c < 0x80) {
            if ((c < 0x20 && c != '\t') || c == 0x7F) return "not text (it holds a control character)";
            ++i;
            continue;
        }
        const std::size_t more = (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 0;
        if (more == 0 || c == 0xC0 || c == 0xC1 || c > 0xF4 || i + more >= s.size()) return "not UTF-8 text";
        for (std::size_t k = 1; k <= more; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return "not UTF-8 text";
        i += 1 + more;
    }
    return "";
}

}  // namespace

bool knownSceneKey(const std::string& key) {
    for (std::size_t i = 0; i < SCENE_KEY_COUNT; ++i)
        if (key == SCENE_KEYS[i]) return true;
    return false;
}

long parseSceneEnd(const std::string& value, std::string& why) {
    bool digits = !value.empty() && value.size() <= 9 && (value[0] != '0' || value.size() == 1);
    for (char c : value) digits = digits && c >= '0' && c <= '9';
    if (!digits) {
        why = "the end \"" + value + "\" is not a frame number (digits, no leading zero)";
        return -1;
    }
    const long frame = std::stol(value);
    if (frame > SCENE_END_MAX_FRAME) {
        why = "the end " + value + " lies past frame " + std::to_string(SCENE_END_MAX_FRAME) + " (a day)";
        return -1;
    }
    return frame;
}

SceneText parseSceneText(const std::string& text, std::vector<SceneProblem>& problems) {
    SceneText scene;
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        while (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF files too
        if (line.empty()) continue;
        const auto refuse = [&](const std::string& reason) {
            problems.push_back({number, "line " + std::to_string(number) + ": " + reason});
            scene.keptLines.push_back(line);
        };
        const std::string bad = notText(line);
        if (!bad.empty()) {
            refuse(bad + "; kept as it is");
            continue;
        }
        if (line[0] == '#') {
            if (!isOwnComment(line)) scene.comments.push_back(line);
            continue;
        }
        const std::size_t space = line.find(' ');
        const std::string key = line.substr(0, space);
        bool wellFormed = !key.empty();
        for (char c : key) wellFormed = wellFormed && keyCharacter(c);
        if (!wellFormed) {
            refuse("not a setting (\"KEY VALUE\", the key in lower-case letters, digits and '-'); kept as it is");
            continue;
        }
        if (!knownSceneKey(key)) {
            refuse("unknown setting \"" + key + "\"; kept as it is");
            continue;
        }
        if (space == std::string::npos || space + 1 == line.size()) {
            refuse("\"" + key + "\" without a value; kept as it is");
            continue;
        }
        const std::string value = line.substr(space + 1);
        if (value.size() > SCENE_VALUE_MAX_BYTES) {
            refuse("the value of \"" + key + "\" is longer than " + std::to_string(SCENE_VALUE_MAX_BYTES) +
                   " bytes; kept as it is");
            continue;
        }
        scene.settings.push_back({key, value, number});
    }
    return scene;
}

std::string formatSceneText(const SceneText& scene, std::vector<std::string>& unwritable) {
    std::string out;
    for (const char* own : HEADING_LINES) out += std::string(own) + "\n";
    for (const std::string& c : scene.comments) out += c + "\n";
    for (const SceneSetting& s : scene.settings) {
        const std::string line = s.key + " " + s.value;
        // A value that would not read back as itself cannot be written.
        if (s.value.empty() || !notText(s.value).empty() || !knownSceneKey(s.key) ||
            s.value.size() > SCENE_VALUE_MAX_BYTES) {
            unwritable.push_back(line);
            continue;
        }
        out += line + "\n";
    }
    if (!scene.keptLines.empty()) out += std::string(KEPT_HEADING) + "\n";
    for (const std::string& line : scene.keptLines) out += line + "\n";
    return out;
}
