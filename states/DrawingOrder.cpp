#include "states/DrawingOrder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>

#include "actors/Actor.h"
#include "platform/FileAside.h"
#include "platform/SafeFile.h"

namespace {

// The journal's first and last lines, and the words of its entries.
constexpr const char* JOURNAL_HEADER = "tumelora drawing order 1";
constexpr const char* JOURNAL_END = "end";
constexpr const char* JOURNAL_RENAME = "rename";
constexpr const char* JOURNAL_REPLACE = "replace";
// Added to a journal that cannot be read, to keep it aside.
constexpr const char* DAMAGED_JOURNAL_SUFFIX = ".damaged";

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

std::string lowerCaseAscii(std::string s) {
    for (char& c : s) c = lowerAscii(c);
    return s;
}

// A picture name's number ("07-sun.png": 7 of 2 digits) and the rest after its dash ("sun.png").
struct NameParts {
    int digits = 0;   // 0: no number
    long number = -1;
    std::string rest;
};

NameParts partsOf(const std::string& name) {
    NameParts p;
    std::size_t i = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
    // Numbers longer than a long holds are no numbers of ours.
    if (i == 0 || i > 9 || i >= name.size() || name[i] != '-') {
        p.rest = name;
        return p;
    }
    p.digits = int(i);
    p.number = std::stol(name.substr(0, i));
    p.rest = name.substr(i + 1);
    return p;
}

// A picture name with a number of the given digits.
std::string numbered(long n, int digits, const std::string& rest) {
    char number[32];
    std::snprintf(number, sizeof number, "%0*ld-", digits, n);
    return number + rest;
}

// 10 to the power digits (the first number that does not fit).
long numberLimit(int digits) {
    long limit = 1;
    for (int i = 0; i < digits; ++i) limit *= 10;
    return limit;
}


bool exists(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

// The indices of a longest run of names, in their order, that already rises by fileListBefore.
std::vector<bool> longestRisingRun(const std::vector<std::string>& names) {
    const std::size_t n = names.size();
    std::vector<std::size_t> length(n, 1), previous(n, n);
    std::size_t best = n;
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t j = 0; j < i; ++j)
            if (fileListBefore(names[j], names[i]) && length[j] + 1 > length[i]) {
                length[i] = length[j] + 1;
                previous[i] = j;
            }
        if (best == n || length[i] > length[best]) best = i;
    }
    std::vector<bool> keep(n, false);
    for (std::size_t i = best; i < n; i = previous[i]) keep[i] = true;
    return keep;
}

// The names a plan may not give: every name of the folder and the actor names they stand for.
struct Taken {
    std::set<std::string> files;   // file names in the folder
    std::set<std::string> stems;   // their actor names (a picture of that name would share a track)
    std::set<std::string> chosen;  // actor names given by the plan so far (lower case)

    // True when the picture name can be given: no file has it, its data file or its actor name.
    bool free(const std::string& picture) const {
        const std::string stem = actorNameFromFileName(picture);
        return !files.count(picture) && !files.count(stem + kActorDataSuffix) && !stems.count(stem) &&
               !chosen.count(lowerCaseAscii(stem));
    }
};

// Gives every actor of the group a name between its kept neighbours; false when there is no room.
bool fillGroup(const std::vector<std::string>& names, const std::vector<bool>& keep, int digits, Taken& taken,
               std::vector<std::string>& out) {
    const long limit = numberLimit(digits);
    std::string below;  // the name before (empty: none)
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (keep[i]) {
            out[i] = names[i];
            below = names[i];
            continue;
        }
        // The next kept name above, which the new one must stay under.
        std::string above;
        for (std::size_t j = i + 1; j < names.size(); ++j)
            if (keep[j]) {
                above = names[j];
                break;
            }
        const NameParts low = partsOf(below);
        const std::string rest = partsOf(names[i]).rest;
        const long first = low.digits == digits ? low.number : 0;
        // A new number first; the number below with a name that sorts after it last.
        std::vector<long> tries;
        for (long n = first + 1; n < limit; ++n) tries.push_back(n);
        if (low.digits == digits) tries.push_back(first);
        if (low.digits != digits && first == 0) tries.insert(tries.begin(), 0);
        bool placed = false;
        for (long n : tries) {
            const std::string candidate = numbered(n, digits, rest);
            if (!above.empty() && !fileListBefore(candidate, above)) {
                if (n > first) break;  // higher numbers only sort later
                continue;
            }
            if ((!below.empty() && !fileListBefore(below, candidate)) || !taken.free(candidate)) continue;
            out[i] = candidate;
            below = candidate;
            taken.chosen.insert(lowerCaseAscii(actorNameFromFileName(candidate)));
            placed = true;
            break;
        }
        if (!placed) return false;
    }
    return true;
}

// Numbers every actor anew, from start in drawing order; false when a new name is taken.
bool renumberAll(const std::vector<std::string>& pictures, long start, int digits, const Taken& taken,
                 std::vector<std::string>& out) {
    Taken t = taken;
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const std::string candidate = numbered(start + long(i), digits, partsOf(pictures[i]).rest);
        if (candidate == pictures[i]) {
            out[i] = candidate;
            continue;
        }
        if (!t.free(candidate)) return false;
        t.chosen.insert(lowerCaseAscii(actorNameFromFileName(candidate)));
        out[i] = candidate;
    }
    return true;
}

// A name of the journal: its length, ':' and its bytes.
void putName(std::string& out, const std::string& name) {
    out += std::to_string(name.size());
    out += ':';
    out += name;
}

// True when the name is a plain file name of the folder.
bool plainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

bool fileListBefore(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = lowerAscii(a[i]), y = lowerAscii(b[i]);
        if (x != y) return x < y;
    }
    return a.size() < b.size();
}

bool isJpegPicture(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot != std::string::npos && lowerCaseAscii(fileName.substr(dot)) == ".jpg";
}

OrderPlan planDrawingOrder(const std::vector<std::string>& pictures, const std::vector<std::string>& folderFiles) {
    OrderPlan plan;
    for (std::size_t i = 1; i < pictures.size(); ++i)
        if (isJpegPicture(pictures[i]) && !isJpegPicture(pictures[i - 1])) {
            plan.problem = pictures[i] + " is a JPEG picture, and JPEG pictures are drawn under every PNG picture";
            return plan;
        }
    Taken taken;
    for (const std::string& f : folderFiles) {
        taken.files.insert(f);
        taken.stems.insert(actorNameFromFileName(f));
    }
    int digits = 0;
    for (const std::string& p : pictures) digits = std::max(digits, partsOf(p).digits);
    if (digits == 0) digits = DRAWING_ORDER_DEFAULT_DIGITS;

    // The fewest renames: each group keeps its longest run of names already in order.
    std::vector<std::string> out(pictures.size());
    Taken fewest = taken;
    std::vector<std::vector<std::size_t>> groups(2);
    for (std::size_t i = 0; i < pictures.size(); ++i) groups[isJpegPicture(pictures[i]) ? 0 : 1].push_back(i);
    std::vector<std::vector<bool>> keeps;
    for (const std::vector<std::size_t>& group : groups) {
        std::vector<std::string> names;
        for (std::size_t i : group) names.push_back(pictures[i]);
        keeps.push_back(longestRisingRun(names));
        for (std::size_t k = 0; k < group.size(); ++k)
            if (keeps.back()[k]) fewest.chosen.insert(lowerCaseAscii(actorNameFromFileName(pictures[group[k]])));
    }
    bool fitted = true;
    for (std::size_t g = 0; g < groups.size() && fitted; ++g) {
        std::vector<std::string> names, named(groups[g].size());
        for (std::size_t i : groups[g]) names.push_back(pictures[i]);
        fitted = fillGroup(names, keeps[g], digits, fewest, named);
        for (std::size_t k = 0; k < groups[g].size() && fitted; ++k) out[groups[g][k]] = named[k];
    }
    if (fitted) {
        plan.pictures = out;
        return plan;
    }
    // No room between the names kept: every actor is numbered anew, with more digits if need be.
    const long count = long(pictures.size());
    for (int d = digits; d <= digits + 2; ++d) {
        for (long start = 0; start + count <= numberLimit(d); start += std::max(1L, count)) {
            if (renumberAll(pictures, start, d, taken, out)) {
                plan.pictures = out;
                return plan;
            }
        }
    }
    plan.problem = "no free names to number the pictures in that order";
    return plan;
}

std::string encodeOrderJournal(const OrderJournal& journal) {
    std::string out = std::string(JOURNAL_HEADER) + "\n";
    for (const FileMove& m : journal.moves) {
        out += m.replace ? JOURNAL_REPLACE : JOURNAL_RENAME;
        out += ' ';
        putName(out, m.from);
        out += ' ';
        putName(out, m.to);
        out += '\n';
    }
    return out + JOURNAL_END + "\n";
}

bool decodeOrderJournal(const std::string& text, OrderJournal& out, std::string& error) {
    out.moves.clear();
    std::size_t at = 0;
    // Takes the exact text at the read position.
    const auto take = [&](const std::string& word) {
        if (text.compare(at, word.size(), word) != 0) return false;
        at += word.size();
        return true;
    };
    // Takes a name: its length, ':' and its bytes.
    const auto name = [&](std::string& into) {
        std::size_t n = 0, digits = 0;
        if (at < text.size() && text[at] == '0') return false;  // no leading zero: one way to write each
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 7) {
            n = n * 10 + std::size_t(text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || at >= text.size() || text[at] != ':' || n > text.size() - at - 1) return false;
        into = text.substr(at + 1, n);
        at += 1 + n;
        return plainFileName(into);
    };
    if (!take(std::string(JOURNAL_HEADER) + "\n")) {
        error = "it does not start with \"" + std::string(JOURNAL_HEADER) + "\"";
        return false;
    }
    for (int line = 2;; ++line) {
        if (take(std::string(JOURNAL_END) + "\n")) break;
        FileMove move;
        if (take(std::string(JOURNAL_REPLACE) + " "))
            move.replace = true;
        else if (!take(std::string(JOURNAL_RENAME) + " ")) {
            error = "line " + std::to_string(line) + ": neither a move nor the end";
            return false;
        }
        if (!name(move.from) || !take(" ") || !name(move.to) || !take("\n")) {
            error = "line " + std::to_string(line) + ": not two file names of the folder";
            return false;
        }
        out.moves.push_back(std::move(move));
    }
    if (at != text.size()) {
        error = "something follows its end";
        return false;
    }
    return true;
}

bool FileMover::move(const std::string& from, const std::string& to, bool replace, std::string& error) {
    const int why = replace ? (std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno)
                            : renameWithoutReplacing(from, to);
    if (why == 0) return true;
    error = "cannot rename " + from + " to " + to + " (" + std::strerror(why) + ")";
    return false;
}

RenameOutcome carryOutRenames(const std::string& folder, const std::vector<FileMove>& renames,
                              const std::vector<PreparedText>& texts, FileMover& mover) {
    RenameOutcome outcome;
    OrderJournal journal;
    journal.moves = renames;
    std::vector<std::string> prepared;
    const auto removePrepared = [&] {
        for (const std::string& p : prepared) std::remove((folder + p).c_str());
    };
    for (const PreparedText& t : texts) {
        const std::string name = PREPARED_TEXT_PREFIX + t.file + PREPARED_TEXT_SUFFIX;
        std::string reason;
        if (!replaceFileSafely(folder + name, std::vector<uint8_t>(t.text.begin(), t.text.end()), &reason)) {
            removePrepared();
            outcome.error = folder + name + ": " + reason + "; nothing was renamed";
            return outcome;
        }
        prepared.push_back(name);
        journal.moves.push_back({name, t.file, true});
    }
    const std::string journalPath = folder + DRAWING_ORDER_JOURNAL;
    const std::string text = encodeOrderJournal(journal);
    std::string reason;
    if (!replaceFileSafely(journalPath, std::vector<uint8_t>(text.begin(), text.end()), &reason)) {
        removePrepared();
        outcome.error = journalPath + ": " + reason + "; nothing was renamed";
        return outcome;
    }
    for (std::size_t i = 0; i < renames.size(); ++i) {
        if (mover.move(folder + renames[i].from, folder + renames[i].to, false, reason)) {
            ++outcome.moved;
            continue;
        }
        // Back to the old names, the last moved first.
        std::string back;
        bool undone = true;
        for (std::size_t j = i; j-- > 0;) {
            std::string why;
            if (!mover.move(folder + renames[j].to, folder + renames[j].from, false, why)) {
                undone = false;
                back += "; " + why;
            }
        }
        if (undone) {
            removePrepared();
            std::remove(journalPath.c_str());
            syncFolder(folder);
            outcome.moved = 0;
            outcome.error = reason + "; every file keeps its old name";
        } else {
            outcome.journalKept = true;
            outcome.error = reason + back + "; the next start finishes the renaming (" + journalPath + ")";
        }
        return outcome;
    }
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        if (!mover.move(folder + prepared[i], folder + texts[i].file, true, reason)) {
            outcome.journalKept = true;
            outcome.error = reason + "; the next start finishes the renaming (" + journalPath + ")";
            return outcome;
        }
    }
    syncFolder(folder);
    std::remove(journalPath.c_str());
    syncFolder(folder);
    outcome.done = true;
    return outcome;
}

JournalFinish finishDrawingOrder(const std::string& folder) {
    JournalFinish finish;
    const std::string path = folder + DRAWING_ORDER_JOURNAL;
    std::ifstream in(path, std::ios::binary);
    if (!in) return finish;
    finish.found = true;
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, std::size_t(in.gcount()));
        if (text.size() > DRAWING_ORDER_JOURNAL_MAX_BYTES) break;
    }
    const bool readWhole = !in.bad() && text.size() <= DRAWING_ORDER_JOURNAL_MAX_BYTES;
    in.close();
    OrderJournal journal;
    std::string error = readWhole ? "" : "it could not be read whole";
    if (!readWhole || !decodeOrderJournal(text, journal, error)) {
        std::string keptAs, asideError;
        std::string line = path + " (the renaming of a Save that did not end) cannot be used: " + error +
                           "; no file was renamed";
        if (moveAside(path, DAMAGED_JOURNAL_SUFFIX, keptAs, asideError))
            line += "; kept as " + keptAs;
        else
            line += "; " + asideError;
        finish.messages.push_back(line);
        return finish;
    }
    FileMover mover;
    int moved = 0, already = 0;
    bool complete = true;
    for (const FileMove& m : journal.moves) {
        const std::string from = folder + m.from, to = folder + m.to;
        const bool atOld = exists(from), atNew = exists(to);
        std::string why;
        if (m.replace) {
            // A prepared text: put in place unless that was done.
            if (!atOld) {
                ++already;
            } else if (mover.move(from, to, true, why)) {
                ++moved;
            } else {
                finish.messages.push_back(why);
                complete = false;
            }
        } else if (atNew && !atOld) {
            ++already;
        } else if (atOld && !atNew) {
            if (mover.move(from, to, false, why)) {
                ++moved;
            } else {
                finish.messages.push_back(why);
                complete = false;
            }
        } else if (atOld) {
            finish.messages.push_back("both " + from + " and " + to + " are there; both are left as they are");
        } else {
            finish.messages.push_back(from + " is missing, and so is " + to);
        }
    }
    syncFolder(folder);
    std::string line = "A Save that renamed the actors' files for their drawing order did not end; ";
    if (complete) {
        std::remove(path.c_str());
        syncFolder(folder);
        line += "finished it: " + std::to_string(moved) + " file(s) renamed, " + std::to_string(already) +
                " already renamed";
    } else {
        line += "it could not be finished (" + path + " is kept for the next start); " +
                std::to_string(moved) + " file(s) renamed";
    }
    finish.messages.insert(finish.messages.begin(), line);
    return finish;
}
