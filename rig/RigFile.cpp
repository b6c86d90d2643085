#include "rig/RigFile.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "actors/Actor.h"
#include "actors/ActorDataFile.h"
#include "platform/SafeFile.h"

namespace {

// The comment lines this program writes at the top of the file and above the refused lines;
// they are not kept as the user's comments.
const char* const kHeaderLines[] = {
    "# Tumelora rig: one line per rigged actor, fields separated by tabs:",
    "# NAME<TAB>PARENT<TAB>PIVOT_X<TAB>PIVOT_Y (PARENT \"-\" for none; the pivot in the",
    "# picture's pixels from its top-left corner).",
};
const char* const kRefusedHeader = "# Lines not loaded (kept as they were written):";

bool isOwnComment(const std::string& line) {
    for (const char* own : kHeaderLines)
        if (line == own) return true;
    return line == kRefusedHeader;
}

// The text without spaces at either end.
std::string trimSpaces(const std::string& s) {
    const std::size_t a = s.find_first_not_of(' ');
    if (a == std::string::npos) return std::string();
    return s.substr(a, s.find_last_not_of(' ') - a + 1);
}

// The fields of a line split at every tab.
std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
        if (tab == std::string::npos) break;
        start = tab + 1;
    }
    return fields;
}

// A pivot coordinate: a finite decimal number within the pivot limit.
bool parseCoordinate(const std::string& field, float& out) {
    const std::string s = trimSpaces(field);
    if (s.empty()) return false;
    float v = 0.f;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
    if (!std::isfinite(v) || std::fabs(v) > kRigMaxPivotPixels) return false;
    out = v;
    return true;
}

// A coordinate as the shortest text that reads back to the same float.
std::string formatCoordinate(float v) {
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

// True when a name can stand as the parent field of a line and be read back as itself.
bool writableParent(const std::string& name) {
    return !name.empty() && name != kRigNoParent && name.find_first_of("\t\r\n") == std::string::npos;
}

// True when a name can start a line (not a comment) and be read back as itself.
bool writableName(const std::string& name) { return writableParent(name) && name[0] != '#'; }

// Text that shows a name in a message: quoted, control characters replaced.
std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    return out + "\"";
}

}  // namespace

const RigJoint* Rig::find(const std::string& name) const {
    const auto it = joints.find(name);
    return it == joints.end() ? nullptr : &it->second;
}

std::string Rig::parentOf(const std::string& name) const {
    const RigJoint* j = find(name);
    return j ? j->parent : std::string();
}

bool Rig::wouldLoop(const std::string& child, const std::string& parent) const {
    // Walk up from the parent; every step visits a new actor unless the rig already loops,
    // which it never does, but the walk is bounded by the joint count all the same.
    std::string at = parent;
    for (std::size_t steps = 0; !at.empty() && steps <= joints.size(); ++steps) {
        if (at == child) return true;
        at = parentOf(at);
    }
    return !at.empty();
}

Rig parseRig(const std::string& text, const std::vector<std::string>& knownNames,
             std::vector<RigProblem>& problems) {
    Rig rig;
    const std::set<std::string> known(knownNames.begin(), knownNames.end());
    std::map<std::string, int> lineOf;
    int number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        while (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF files too
        if (trimSpaces(line).empty()) continue;
        if (line[0] == '#') {
            if (!isOwnComment(line)) rig.comments.push_back(line);
            continue;
        }
        auto refuse = [&](const std::string& reason) {
            problems.push_back({number, "line " + std::to_string(number) + ": " + reason});
            rig.refusedLines.push_back(line);
        };
        if (line.find('\0') != std::string::npos) {
            refuse("not text (holds a zero byte)");
            continue;
        }
        const std::vector<std::string> f = splitTabs(line);
        if (f.size() != 4) {
            refuse("expected 4 fields separated by tabs (NAME, PARENT, PIVOT_X, PIVOT_Y), found " +
                   std::to_string(f.size()));
            continue;
        }
        const std::string& name = f[0];
        const std::string& parent = f[1];
        RigJoint joint;
        if (!known.count(name)) {
            refuse("unknown actor " + quoted(name));
            continue;
        }
        if (parent != kRigNoParent && !known.count(parent)) {
            refuse("unknown parent " + quoted(parent) + " of " + quoted(name));
            continue;
        }
        if (!parseCoordinate(f[2], joint.pivotX) || !parseCoordinate(f[3], joint.pivotY)) {
            refuse("the pivot of " + quoted(name) + " is not two numbers within " +
                   formatCoordinate(kRigMaxPivotPixels) + " pixels");
            continue;
        }
        const auto seen = lineOf.find(name);
        if (seen != lineOf.end()) {
            refuse(quoted(name) + " is already rigged on line " + std::to_string(seen->second));
            continue;
        }
        if (parent != kRigNoParent) {
            if (rig.wouldLoop(name, parent)) {
                refuse("hanging " + quoted(name) + " from " + quoted(parent) +
                       " would close a loop of parents");
                continue;
            }
            joint.parent = parent;
        }
        rig.joints[name] = joint;
        lineOf[name] = number;
    }
    return rig;
}

std::string formatRig(const Rig& rig, const std::vector<std::string>& names,
                      std::vector<std::string>& unwritable) {
    std::string out;
    for (const char* own : kHeaderLines) out += std::string(own) + "\n";
    for (const std::string& c : rig.comments) out += c + "\n";
    std::set<std::string> written;
    for (const std::string& name : names) {
        const RigJoint* j = rig.find(name);
        if (!j || written.count(name)) continue;
        if (!writableName(name) || (!j->parent.empty() && !writableParent(j->parent))) {
            unwritable.push_back(name);
            continue;
        }
        written.insert(name);
        out += name + "\t" + (j->parent.empty() ? std::string(kRigNoParent) : j->parent) + "\t" +
               formatCoordinate(j->pivotX) + "\t" + formatCoordinate(j->pivotY) + "\n";
    }
    bool headed = false;
    for (const std::string& line : rig.refusedLines) {
        const std::string name = line.substr(0, line.find('\t'));
        if (written.count(name)) continue;  // rigged again since: the new joint stands
        if (!headed) out += std::string(kRefusedHeader) + "\n";
        headed = true;
        out += line + "\n";
    }
    return out;
}

std::string rigFilePath(const std::string& actorFolder) { return actorFolder + kRigFileName; }

RigLoad loadRigFile(const std::string& path, const std::vector<std::string>& knownNames) {
    RigLoad result;
    std::ifstream in(path, std::ios::binary);
    if (!in) return result;
    result.found = true;
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, std::size_t(in.gcount()));
        if (text.size() > kRigMaxFileBytes) {
            result.errors.push_back(path + ": larger than " + std::to_string(kRigMaxFileBytes) +
                                    " bytes; not loaded");
            return result;
        }
    }
    if (in.bad()) {
        result.errors.push_back(path + ": could not be read");
        return result;
    }
    result.read = true;
    std::vector<RigProblem> problems;
    result.rig = parseRig(text, knownNames, problems);
    for (const RigProblem& p : problems) result.errors.push_back(path + " " + p.message);
    return result;
}

bool saveRigFile(const std::string& path, const Rig& rig, const std::vector<std::string>& names,
                 std::string& error) {
    std::vector<std::string> unwritable;
    const std::string text = formatRig(rig, names, unwritable);
    const std::vector<uint8_t> bytes(text.begin(), text.end());
    if (!replaceFileSafely(path, bytes)) {
        error = path + ": could not be written";
        return false;
    }
    if (!unwritable.empty()) {
        error = path + ": written without the joints of " + std::to_string(unwritable.size()) +
                " actor(s) whose names cannot stand in it, first " + quoted(unwritable.front());
        return false;
    }
    return true;
}
