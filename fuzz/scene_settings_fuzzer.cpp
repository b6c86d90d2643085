// Feeds arbitrary text to the scene settings reader. Every line is either a setting with a
// known key and a value that can be written, a comment, or a kept line with a problem naming
// it; an end's value is a frame number that writes back as it was read, or refused with its
// reason; writing what was read and reading it back gives the same settings and kept lines,
// and writes the same text again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "states/SceneFile.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool sameSettings(const SceneText& a, const SceneText& b) {
    if (a.settings.size() != b.settings.size()) return false;
    for (std::size_t i = 0; i < a.settings.size(); ++i)
        if (a.settings[i].key != b.settings[i].key || a.settings[i].value != b.settings[i].value) return false;
    return a.keptLines == b.keptLines && a.comments == b.comments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > SCENE_FILE_MAX_BYTES) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<SceneProblem> problems;
    const SceneText first = parseSceneText(text, problems);
    check(problems.size() == first.keptLines.size());
    for (const SceneSetting& s : first.settings) {
        check(knownSceneKey(s.key) && !s.value.empty() && s.value.size() <= SCENE_VALUE_MAX_BYTES);
        check(s.value.find('\n') == std::string::npos && s.line > 0);
        if (s.key != SCENE_KEY_END) continue;
        // An end is a frame number written as it reads, or refused with a reason.
        std::string why;
        const long frame = parseSceneEnd(s.value, why);
        check(frame >= 0 ? frame <= SCENE_END_MAX_FRAME && std::to_string(frame) == s.value && why.empty()
                         : frame == -1 && !why.empty());
    }
    for (const SceneProblem& p : problems) check(p.message.rfind("line " + std::to_string(p.line) + ": ", 0) == 0);

    std::vector<std::string> unwritable;
    const std::string written = formatSceneText(first, unwritable);
    check(unwritable.empty());  // whatever was read can be written
    std::vector<SceneProblem> again;
    const SceneText second = parseSceneText(written, again);
    check(sameSettings(first, second));
    std::vector<std::string> unwritable2;
    check(formatSceneText(second, unwritable2) == written);
    return 0;
}
