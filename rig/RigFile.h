#pragma once
// The rig: for each rigged actor, the point it turns about (its pivot, in its picture's pixels
// from the top-left corner) and the actor it hangs from (its parent), and the text file
// "rig.txt" beside the actors' data files that keeps it.
//
// File format, one line per rigged actor, fields separated by single tabs:
//   NAME<TAB>PARENT<TAB>PIVOT_X<TAB>PIVOT_Y
// PARENT is "-" for none; a line starting with "#" is a comment; empty lines are skipped.
// A line that cannot be used (wrong field count, a bad number, an unknown actor, a name given
// twice, a parent that would close a loop) is refused with a message naming its line; the
// other lines still load. Writing keeps the refused lines and the user's comments, so that
// nothing written by hand is lost by a "Save".
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "actors/Actor.h"

// Name of the rig file in the actor folder.
constexpr const char* kRigFileName = "rig.txt";
// The largest rig file read, in bytes (one line per actor needs far less).
constexpr std::size_t kRigMaxFileBytes = std::size_t(1) << 20;
// The largest pivot coordinate accepted, in picture pixels either way from the top-left corner.
constexpr float kRigMaxPivotPixels = 100000.f;
// The parent field of an actor that hangs from nothing.
constexpr const char* kRigNoParent = "-";

// One rigged actor: its parent (empty for none) and its pivot in picture pixels.
struct RigJoint {
    std::string parent;
    float pivotX = 0.f;
    float pivotY = 0.f;
};

// A line of the file that was not loaded, and why.
struct RigProblem {
    int line = 0;         // 1-based line number
    std::string message;  // "line N: reason"
};

// The rig of a scene: joints by actor name, and what the file held besides them.
struct Rig {
    std::map<std::string, RigJoint> joints;
    // Comment lines of the file (other than the ones this program writes), kept on writing.
    std::vector<std::string> comments;
    // Lines that were refused, as they stood, kept on writing unless their actor is rigged again.
    std::vector<std::string> refusedLines;

    // The joint of an actor, or null when it is not rigged.
    const RigJoint* find(const std::string& name) const;
    // The parent's name of an actor, or empty.
    std::string parentOf(const std::string& name) const;
    // True when giving child the parent would close a loop (parent is child or hangs from it).
    bool wouldLoop(const std::string& child, const std::string& parent) const;
};

// Reads rig text. Names not in knownNames are refused as unknown; every refused line gets a
// problem. Never fails as a whole: what can be used is in the result.
Rig parseRig(const std::string& text, const std::vector<std::string>& knownNames,
             std::vector<RigProblem>& problems);
// The text of a rig: a header comment, the kept comments, one line per joint in the order of
// names (names without a joint are skipped), then the kept refused lines whose actor has no
// joint. Names that cannot stand in the file (empty, "-", starting with "#", holding a tab or
// a line break) are left out and listed in unwritable.
std::string formatRig(const Rig& rig, const std::vector<std::string>& names,
                      std::vector<std::string>& unwritable);

// What loading a rig file gave.
struct RigLoad {
    Rig rig;
    bool found = false;                // the file exists
    bool read = false;                 // its text was read whole (else Save must not replace it)
    std::vector<std::string> errors;   // "PATH line N: reason" or "PATH: reason"
};
// Loads the rig file at path for the given actor names; a missing file is an empty rig.
RigLoad loadRigFile(const std::string& path, const std::vector<std::string>& knownNames);
// Writes the rig to path (whole, beside it, then renamed); false with the reason in error.
bool saveRigFile(const std::string& path, const Rig& rig, const std::vector<std::string>& names,
                 std::string& error);
// The rig file's path in an actor folder (ending in '/').
std::string rigFilePath(const std::string& actorFolder = kActorFolder);
