#pragma once
// The editor's undo and redo. An edit is bracketed by begin (a copy of every actor's track
// and flags and of the animation length) and commit, which keeps, for the actors that
// changed, their data from before and after the edit. Undo and redo put those copies back
// as they were stored, bit for bit: tracks are compared and restored as raw bytes, so a NaN
// or a -0 in a track survives an undo exactly.
//
// Actors are named by their index in the list given, which must not change after loading (the
// state's load order). Beside the tracks an edit may change one more piece of the work, given
// as bytes (the rig, the drawing order, what is hidden and locked): it is kept and put back
// the same way.
#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "actors/Actor.h"

// Most undo steps kept; the oldest is forgotten beyond it.
constexpr std::size_t EDIT_HISTORY_MAX_STEPS = 200;
// Most bytes of track copies kept by the undo and redo steps together; the oldest undo steps
// are forgotten beyond it (the newest step is always kept, whatever its size).
constexpr std::size_t EDIT_HISTORY_MAX_BYTES = std::size_t(64) << 20;

// What an edit can change on one actor: its track and its two flags.
struct ActorEditData {
    std::vector<ActorPose> poses;
    bool bindScale = false;
    bool wobble = false;

    // The actor's current track and flags.
    static ActorEditData of(const Actor& actor);
    // Puts this track and these flags on the actor.
    void applyTo(Actor& actor) const;
    // True when both hold the same flags and the same track bytes.
    bool sameAs(const ActorEditData& other) const;
    // Bytes held by the track copy.
    std::size_t bytes() const { return poses.size() * sizeof(ActorPose); }
};

class EditHistory {
public:
    // A history holding at most maxSteps undo steps and maxBytes of track copies.
    explicit EditHistory(std::size_t maxSteps = EDIT_HISTORY_MAX_STEPS,
                         std::size_t maxBytes = EDIT_HISTORY_MAX_BYTES);

    // Starts an edit: remembers every actor's track and flags and the animation length.
    // Does nothing when an edit is already open (the open one goes on).
    void begin(const std::vector<Actor*>& actors, int frameCount,
               const std::string& extra = std::string());
    // True between begin and commit (or cancel).
    bool isOpen() const { return open; }
    // Ends the open edit. When any actor or the length differs from begin, the edit becomes
    // the newest undo step and the redo steps are dropped; returns true then.
    bool commit(const std::vector<Actor*>& actors, int frameCount,
                const std::string& extra = std::string());
    // Ends the open edit without keeping it.
    void cancel();

    // Puts back the actors and the length as they were before the newest undo step, which
    // becomes the newest redo step; false when there is none. Ends an open edit unkept. When
    // the step changed the extra bytes, extra (if given) gets them as they were before.
    bool undo(const std::vector<Actor*>& actors, int& frameCount, std::string* extra = nullptr);
    // Puts back the actors and the length as they were after the newest redo step, which
    // becomes an undo step again; false when there is none. Ends an open edit unkept. When
    // the step changed the extra bytes, extra (if given) gets them as they were after.
    bool redo(const std::vector<Actor*>& actors, int& frameCount, std::string* extra = nullptr);

    // Names the work as the steps have left it: after undoing or redoing back to an earlier
    // position, the actors, the length and the extra bytes are as they were then.
    std::size_t position() const { return undoSteps.empty() ? forgottenPosition : undoSteps.back().id; }

    std::size_t undoCount() const { return undoSteps.size(); }
    std::size_t redoCount() const { return redoSteps.size(); }
    // Bytes of track copies held by the undo and redo steps.
    std::size_t bytes() const { return heldBytes; }
    // Forgets every step and the open edit.
    void clear();
    // Replaces every kept extra (the open edit's, and those of the undo and redo steps) with
    // what change makes of it (after the actors were renamed, say).
    void mapExtras(const std::function<std::string(const std::string&)>& change);

private:
    // One actor's data before and after an edit.
    struct Change {
        std::size_t actor = 0;
        ActorEditData before, after;
    };
    // One undoable edit.
    struct Step {
        std::vector<Change> changes;
        int framesBefore = 1, framesAfter = 1;
        bool extraChanged = false;
        std::string extraBefore, extraAfter;
        std::size_t bytes = 0;
        std::size_t id = 0;  // the position the step leads to
    };

    // Puts one side of a step on the actors.
    static void apply(const Step& step, bool after, const std::vector<Actor*>& actors,
                      int& frameCount, std::string* extra);
    // Forgets the oldest undo steps until the limits hold again (keeping the newest).
    void enforceLimits();

    std::size_t maxSteps;
    std::size_t maxBytes;
    bool open = false;
    std::vector<ActorEditData> snapshot;
    int snapshotFrames = 1;
    std::string snapshotExtra;
    std::deque<Step> undoSteps;
    std::vector<Step> redoSteps;
    std::size_t heldBytes = 0;
    std::size_t lastId = 0;             // the newest step's id (0: the work as it started)
    std::size_t forgottenPosition = 0;  // the position with no undo step left
};
