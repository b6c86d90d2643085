#pragma once
// The track edits of actors/TrackEdits.h (hold, smooth, copy and paste, repeat) on an actor and
// everything hanging from it. An actor without parent or children is edited on its own track
// as it is. A rigged family is edited as playback shows it: each part's pose on its parent
// (RigMotion's poseOnParent: its pivot on the parent's picture, its turn on the parent, its
// scale; the first part on its own parent, or on the stage) is edited, the parts are put back
// on their parents, parents first, and the poses that playback eases onto them are stored
// (as every rig edit does). So the joints hold in playback, the first part keeps its place on
// the parent it hangs from, and a step too large for one frame's easing is spread over the
// next frames instead of tearing a joint. Frames after the edited ones show what they showed.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "actors/TrackEdits.h"
#include "rig/RigMotion.h"

// Once every part of a family shows, after an edit, what it showed before within these, the
// frames after keep their stored poses (scene units, radians, scale factor).
constexpr float kRigSettledPosition = 1e-4f;
constexpr float kRigSettledTurn = 1e-5f;
constexpr float kRigSettledScale = 1e-5f;

// The motion of a family copied through a range: for each part, the actor first and then what
// hangs from it (every parent before its children), the changes of its pose from the range's
// first frame on.
struct MotionClip {
    struct Part {
        std::string name;
        // The changes are of its place on a parent (its pivot on the parent's picture, in
        // pixels), not on the stage.
        bool onParent = false;
        std::vector<ActorPose> changes;
    };
    std::vector<Part> parts;
    // Frames the clip holds (0: nothing copied).
    int frames() const { return parts.empty() ? 0 : int(parts.front().changes.size()); }
};

// An edit of one part's track (its poses, or its poses on its parent) by its place in the family
// (0: the actor edited).
using PartTrackEdit = std::function<void(std::size_t part, std::vector<ActorPose>& track)>;

// Edits actors[index] and everything hanging from it: edit is called once for each part, and
// changes no frame before first nor after last (frames from first to last may change). Tracks
// grow to the animation's frameCount frames and past last where needed.
RigEditReport editFamilyTracks(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frameCount,
                               int first, int last, const PartTrackEdit& edit);
// The motion of actors[index] and everything hanging from it through range.
MotionClip copyFamilyMotion(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, FrameRange range);

// What pasting a clip did: parts that got motion, and of those, parts whose moves were left out
// (a clip of a part hanging from another on a part that does not, or the other way round: only
// its turns and scale are pasted).
struct PasteReport {
    RigEditReport rig;
    int parts = 0;
    int turnsOnly = 0;
};
// Pastes clip at frame at onto actors[index] and what hangs from it: part by part when both
// families have as many parts (the clip's first on the actor), otherwise the clip's first part
// on the actor alone, what hangs from it carried along.
PasteReport pasteFamilyMotion(const std::vector<Actor*>& actors, const Rig& rig, std::size_t index, int frameCount,
                              int at, const MotionClip& clip);
