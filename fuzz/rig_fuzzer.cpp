// Feeds arbitrary text to the rig reader. What it loads must be a rig that can be used (known
// names, no loop of parents, finite pivots within the limit), and writing it and reading the
// text back must give the same joints, refuse only the kept lines, and write the same text.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "rig/RigFile.h"

namespace {

const std::vector<std::string> kNames = {"a", "b", "c", "arm", "fore", "hand", "- x", "#", "#b"};

void check(bool ok) {
    if (!ok) std::abort();
}

void checkUsable(const Rig& rig) {
    for (const auto& [name, joint] : rig.joints) {
        bool known = false, parentKnown = joint.parent.empty();
        for (const std::string& n : kNames) {
            known = known || n == name;
            parentKnown = parentKnown || n == joint.parent;
        }
        check(known && parentKnown);
        check(std::isfinite(joint.pivotX) && std::isfinite(joint.pivotY));
        check(std::fabs(joint.pivotX) <= kRigMaxPivotPixels && std::fabs(joint.pivotY) <= kRigMaxPivotPixels);
        // Every chain of parents ends within the joint count.
        std::string at = joint.parent;
        std::size_t steps = 0;
        while (!at.empty()) {
            check(++steps <= rig.joints.size());
            at = rig.parentOf(at);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kRigMaxFileBytes) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<RigProblem> problems;
    const Rig first = parseRig(text, kNames, problems);
    checkUsable(first);
    check(problems.size() == first.refusedLines.size());

    std::vector<std::string> unwritable;
    const std::string written = formatRig(first, kNames, unwritable);
    checkUsable(parseRig(written, kNames, problems));
    // An actor whose name cannot start a line is reported, not written: no more to compare.
    if (!unwritable.empty()) return 0;
    std::vector<RigProblem> again;
    const Rig second = parseRig(written, kNames, again);
    check(second.joints.size() == first.joints.size());
    for (const auto& [name, joint] : second.joints) {
        const RigJoint* j = first.find(name);
        check(j && j->parent == joint.parent && j->pivotX == joint.pivotX && j->pivotY == joint.pivotY);
    }
    check(again.size() == second.refusedLines.size());
    std::vector<std::string> unwritable2;
    check(formatRig(second, kNames, unwritable2) == written);
    return 0;
}
