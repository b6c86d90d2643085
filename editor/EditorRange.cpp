// The range on the timeline and what works through it: the playhead by frames and beat markers,
// the range's in and out (keys, or a Shift+drag snapped to the beat markers), the track edits
// on the selected actor and what hangs from it (hold, smooth, copy and paste, repeat: each one
// undo step), playback looped through the range, punch-in (a take that changes only the range),
// and the animation's end.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "actors/Actor.h"
#include "app/Application.h"
#include "editor/Editor.h"
#include "platform/Words.h"
#include "platform/X11Display.h"
#include "rig/RigTrackEdits.h"

namespace {

// "frame 100 (0:01.666)".
std::string frameText(int frame) {
    const int ms = musicTimeOfFrame(frame);
    char line[64];
    std::snprintf(line, sizeof line, "frame %d (%d:%02d.%03d)", frame, ms / 60000, (ms / 1000) % 60, ms % 1000);
    return line;
}

}  // namespace

// --- The playhead ----------------------------------------------------------------------------

void Editor::stepPlayhead(int frames) { seek(play.currentFrame() + frames); }

void Editor::stepBeat(bool forward) {
    const int frame = neighbourBeatFrame(beats, play.currentFrame(), forward);
    if (frame < 0) {
        status.tell(beats.empty() ? "No beat markers yet" : forward ? "No beat marker after this frame"
                                                                     : "No beat marker before this frame");
        return;
    }
    seek(frame);
}

// --- The range -------------------------------------------------------------------------------

std::string Editor::rangeText() const {
    const FrameRange r = range();
    char line[96];
    std::snprintf(line, sizeof line, "frames %d to %d (%d frames, %.2f s)", r.in, r.out, r.frames(),
                  double(r.frames()) / FRAMES_PER_SECOND);
    return line;
}

void Editor::setRangeEnd(bool in) {
    const int frame = play.currentFrame();
    // An end set past the other one leaves that one unset: the range is never turned round.
    if (in) {
        inFrame = frame;
        if (outFrame >= 0 && outFrame < frame) outFrame = -1;
    } else {
        outFrame = frame;
        if (inFrame > frame) inFrame = -1;
    }
    if (hasRange())
        status.tell("Range: " + rangeText());
    else
        status.tell(std::string(in ? "In" : "Out") + " at " + frameText(frame) + "; " + (in ? "O" : "I") +
                    " sets the " + (in ? "out" : "in"));
}

int Editor::timelineFrame(float x, bool snap) const {
    const double at = frameAtX(x);
    int frame = snap ? nearestBeatFrame(beats, at) : -1;
    if (frame < 0) frame = int(std::floor(at));
    return std::max(0, std::min(frame, play.frameCount() - 1));
}

void Editor::dragRange(float x, bool start) {
    // Alt is read from the X server: the engine's mouse records do not carry it.
    const bool snap = !altHeld(play.app() ? play.app()->device() : nullptr);
    const int frame = timelineFrame(x, snap);
    if (start) rangeAnchor = frame;
    inFrame = std::min(rangeAnchor, frame);
    outFrame = std::max(rangeAnchor, frame);
}

bool Editor::rangeWorkable(bool needsRange) {
    if (play.recording() || countInRunning || play.ui().isMouseDown()) return false;
    if (!play.selectedActor()) {
        status.tell("Select an actor first");
        return false;
    }
    if (needsRange && !hasRange()) {
        status.tell("Set the range first: I and O at the playhead, or Shift+drag on the timeline");
        return false;
    }
    return true;
}

// --- The track edits ------------------------------------------------------------------------

std::string Editor::familyText(Actor* actor) const {
    const std::vector<Actor*>& actors = play.actors();
    const int index = rigActorIndex(actors, actor);
    return index >= 0 ? rigFamilyText(actors, play.rig().rig(), std::size_t(index)) : actor->name;
}

void Editor::editRange(EditorCommand command) {
    if (!rangeWorkable(true)) return;
    Actor* actor = play.selectedActor();
    const std::vector<Actor*>& actors = play.actors();
    const std::size_t index = std::size_t(rigActorIndex(actors, actor));
    const FrameRange r = range();
    const int frames = play.frameCount();
    const int n = r.out - r.in;
    if (n < 1 || (command == EditorCommand::Smooth && n < 2)) {
        status.tell("The range " + rangeText() + " is too short for that");
        return;
    }
    // The frames the edit may change, and what it does to one track.
    int first = r.in + 1, last = r.out;
    PartTrackEdit edit;
    std::string said;
    switch (command) {
        case EditorCommand::Hold:
            edit = [&](std::size_t, std::vector<ActorPose>& track) { holdPoses(track, r, frames); };
            said = "Held the pose of frame " + std::to_string(r.in) + " through frame " + std::to_string(r.out);
            break;
        case EditorCommand::Smooth:
            edit = [&](std::size_t, std::vector<ActorPose>& track) {
                smoothPoses(track, r, smoothHalfWindowFrames(), frames);
            };
            said = "Smoothed the motion of " + rangeText();
            break;
        default:  // Repeat
            first = r.out + 1;
            last = r.out + n;
            edit = [&](std::size_t, std::vector<ActorPose>& track) { repeatPoses(track, r, frames); };
            said = "Repeated " + rangeText() + " from frame " + std::to_string(first);
            break;
    }
    beginEdit();
    const RigEditReport report = editFamilyTracks(actors, play.rig().rig(), index, frames, first, last, edit);
    play.setFrameCount(std::max(frames, last + 1));
    settleEdit();
    said += " on " + familyText(actor);
    if (command == EditorCommand::Repeat) {
        // The range moves onto the copy: the next Ctrl+R goes on from there.
        inFrame = r.out;
        outFrame = r.out + n;
        said += "; the range is now " + rangeText();
    }
    if (report.spreadFrames > 0)
        said += "; the joints took " + countOf(report.spreadFrames, "more frame") + " to follow";
    status.tell(said);
}

void Editor::copyRange() {
    if (!rangeWorkable(true)) return;
    Actor* actor = play.selectedActor();
    const std::vector<Actor*>& actors = play.actors();
    clip = copyFamilyMotion(actors, play.rig().rig(), std::size_t(rigActorIndex(actors, actor)), range());
    status.tell("Copied the motion of " + familyText(actor) + ", " + rangeText() + "; Ctrl+V pastes it at the playhead");
}

void Editor::pasteClip() {
    if (!rangeWorkable(false)) return;
    if (clip.frames() == 0) {
        status.tell("Nothing copied yet: Ctrl+C copies the motion through the range");
        return;
    }
    Actor* actor = play.selectedActor();
    const std::vector<Actor*>& actors = play.actors();
    const int at = play.currentFrame();
    beginEdit();
    const PasteReport report = pasteFamilyMotion(actors, play.rig().rig(), std::size_t(rigActorIndex(actors, actor)),
                                                 play.frameCount(), at, clip);
    play.setFrameCount(std::max(play.frameCount(), at + clip.frames()));
    settleEdit();
    std::string said = "Pasted " + countOf(clip.frames(), "frame") + " of " + clip.parts.front().name +
                       "'s motion onto " + familyText(actor) + " at frame " + std::to_string(at);
    if (report.parts < int(clip.parts.size()))
        said += " (" + countOf(report.parts, "part") + " of the copy's " + std::to_string(clip.parts.size()) + ")";
    if (report.turnsOnly > 0)
        said += "; only the turns and scale of " + countOf(report.turnsOnly, "part") +
                ": one hangs from a parent and the other does not";
    if (report.rig.spreadFrames > 0)
        said += "; the joints took " + countOf(report.rig.spreadFrames, "more frame") + " to follow";
    status.tell(said);
}

// --- The loop and the end --------------------------------------------------------------------

int Editor::loopLast() const {
    const int end = play.endFrame();
    return std::min(end >= 0 ? std::min(outFrame, end) : outFrame, play.frameCount() - 1);
}

void Editor::toggleLoop() {
    if (looping) {
        looping = false;
        if (play.playing()) togglePlayback();
        status.tell("Loop stopped");
        return;
    }
    if (play.recording() || countInRunning) return;
    if (!hasRange()) {
        status.tell("Set the range first: I and O at the playhead, or Shift+drag on the timeline");
        return;
    }
    if (loopLast() < inFrame) {
        status.tell("The range lies after the animation's end: nothing to loop");
        return;
    }
    if (play.playing()) play.stop();
    seek(inFrame);
    play.play();
    looping = true;
    status.tell("Looping " + rangeText() + "; L or Space stops");
}

void Editor::keepLooping() {
    if (!looping) return;
    if (play.recording()) {
        looping = false;
        return;
    }
    // Past the loop's last frame (or stopped there by the animation's end): back to its in.
    if (!play.playing() || play.currentFrame() > loopLast()) {
        play.seek(inFrame);
        if (!play.playing()) play.play();
    }
}

void Editor::setEnd(bool clear) {
    if (play.recording() || play.ui().isMouseDown()) return;
    beginEdit();
    play.setEndFrame(clear ? -1 : play.currentFrame());
    settleEdit();
    status.tell(clear ? std::string("No end: the animation ends with its tracks and the music")
                      : "The animation ends at " + frameText(play.currentFrame()) +
                            ": playback, the loop and the export stop there; Save keeps it");
}

// --- Punch-in --------------------------------------------------------------------------------

void Editor::startPunchIn() {
    const int last = play.frameCount() - 1;
    if (inFrame > last) {
        status.tell("The range starts after the animation's last frame " + std::to_string(last) +
                    ": set it again to punch in");
        return;
    }
    punch = std::make_unique<PunchIn>();
    punch->range = FrameRange{inFrame, std::min(outFrame, last)};
    punch->frameCount = play.frameCount();
    for (Actor* a : play.loadOrder()) punch->tracks.emplace_back(a, a->poses);
    seek(inFrame);
    status.tell("Punch-in: a bar of clicks before frame " + std::to_string(punch->range.in) + ", then frames " +
                std::to_string(punch->range.in) + " to " + std::to_string(punch->range.out) +
                " are recorded; R or Space stops");
    startCountIn(PUNCH_IN_CLICKS_PER_BEAT, "pre-roll");
}

void Editor::keepPunchIn() {
    if (!punch) return;
    const FrameRange r = punch->range;
    if (countInRunning) {
        double heard = 0.0;
        if (play.heardMusicMs(&heard))
            play.setCurrentFrame(std::max(0, std::min(r.in, int(std::floor(heard / FRAME_MS)))));
        return;
    }
    if (!play.recording()) return;
    punch->recorded = true;
    // A move of the take reaches the track's last frame: a track whose last frame (or length)
    // differs from before has changed outside the range, and gets those frames back.
    for (auto& [actor, before] : punch->tracks) {
        const std::vector<ActorPose>& now = actor->poses;
        if (now.size() != before.size() ||
            (!now.empty() && std::memcmp(&now.back(), &before.back(), sizeof(ActorPose)) != 0))
            keepOnlyRange(actor->poses, before, r);
    }
    const int spare = PUNCH_IN_SPARE_FRAMES + int(std::ceil(std::max(0.0, performerDelay) / FRAME_MS));
    if (play.currentFrame() > r.out + spare) {
        beginEdit();
        stopAll();
        settleEdit();
    }
}

void Editor::endPunchIn() {
    if (!punch) return;
    const std::unique_ptr<PunchIn> done = std::move(punch);
    const FrameRange r = done->range;
    for (auto& [actor, before] : done->tracks) keepOnlyRange(actor->poses, before, r);
    play.setFrameCount(done->frameCount);
    // A drag held on goes no further: as a drag of the stopped editor it would move the frames
    // from the playhead on.
    play.setDraggedActor(nullptr);
    play.rig().endDrag();
    // Its step of the history now, not at the button's release: until then it would count as saved.
    commitEdit();
    const int last = std::min(r.out, play.currentFrame());
    if (play.currentFrame() > last) play.setCurrentFrame(last);
    if (!done->recorded) {
        status.tell("Punch-in stopped before frame " + std::to_string(r.in) + ": nothing was recorded");
        return;
    }
    if (!takeMoved) return;  // the take said why
    status.tell("Punch-in: frames " + std::to_string(r.in) + " to " + std::to_string(last) +
                " recorded; every frame outside them is as it was");
}
