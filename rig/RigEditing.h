#pragma once
// The rig in the editing mode: rig.txt loaded at start and written by "Save", drags that move
// an actor with everything hanging from it, turns about the actor's pivot (right button or
// Shift), the rigged actors shown as playback will show them, and their pivots and links
// drawn over the stage while one of them is selected.
#include <irrlicht.h>

#include <map>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "rig/RigFile.h"
#include "rig/RigMotion.h"

class Renderer2D;

// A press closer than this to the pivot (pixels) turns nothing: the angle would be noise.
constexpr float kRigTurnDeadPixels = 4.f;
// Size of the square marking a pivot, and of the selected actor's, in pixels.
constexpr float kRigPivotMarkPixels = 7.f;
constexpr float kRigSelectedPivotMarkPixels = 11.f;
// Width of a link line from a child's pivot to its parent's, in pixels.
constexpr float kRigLinkWidthPixels = 2.f;
// Colours (0xAARRGGBB) of the links, the pivots and the selected actor's pivot.
constexpr irr::u32 kRigLinkColour = 0xC0FFFFFF;
constexpr irr::u32 kRigPivotColour = 0xFF00C8FF;
constexpr irr::u32 kRigSelectedPivotColour = 0xFFFF3060;

class RigEditing {
public:
    // The actor folder (ending in '/') that holds rig.txt and the rig's recovery file; the
    // default actor folder until set.
    void setFolder(const std::string& folder) { folder_ = folder; }
    // The rig file's path.
    std::string filePath() const { return rigFilePath(folder_); }
    // The rig's recovery file's path.
    std::string recoveryPath() const;

    // Reads rig.txt for the loaded actors; every line not loaded is reported on stderr and
    // kept in messages().
    void load(const std::vector<Actor*>& actors);
    // Writes rig.txt when the rig has joints or the file was there; false with the reason.
    // A file that could not be read at start is not replaced.
    bool save(const std::vector<Actor*>& actors, std::string& error);

    // Keeps the rig in its recovery file beside rig.txt, so that a crash loses no pivot or
    // parent: written only while the rig differs from rig.txt as loaded or saved (and removed
    // once it is the same again), and only when it changed since the last time; false with the
    // reason on failure.
    bool writeRecovery(const std::vector<Actor*>& actors, std::string& error);
    // Removes the recovery file (after "Save", or when the unsaved work is thrown away).
    void removeRecovery();
    // Takes the rig from a recovery file left by an ended session; false when there is none,
    // or when it holds the rig as it is already. Lines it cannot use are reported as loading
    // reports them.
    bool restoreRecovery(const std::vector<Actor*>& actors);

    // Starts a drag of actor: a turn about its pivot when turn, else a move.
    void beginDrag(Actor* actor, bool turn);
    // Ends the drag.
    void endDrag() {
        dragging = nullptr;
        turnAnchored = false;
    }
    // True while a drag turns its actor.
    bool turning() const { return dragging && turn_; }
    // Mouse motion of the drag from one scene point to another at frame: a turn, or a move of
    // an actor with a parent or children, changes the tracks here and returns true; otherwise
    // false (the caller moves the actor as it always did).
    bool drag(const std::vector<Actor*>& actors, int frame, int frameCount,
              const irr::core::vector2df& fromScene, const irr::core::vector2df& toScene);
    // A move of the dragged actor by offset (scene units) at frame: true when the rig moved it
    // with its descendants (it has a parent or children), false when it is not linked.
    bool move(const std::vector<Actor*>& actors, int frame, int frameCount,
              const irr::core::vector2df& offset);
    // A turn of the dragged actor about its pivot, with its descendants, by the angle the
    // pointer swept from one scene point to another. The rule of a turn: the angle is measured
    // about the pivot where it stood when the turn began, and added to the pose the actor is
    // carried to by its parent; so a parent's own motion during a take turns nothing.
    void turn(const std::vector<Actor*>& actors, int frame, int frameCount,
              const irr::core::vector2df& fromScene, const irr::core::vector2df& toScene);

    // The property rows' edit of a linked actor (one with a parent or children): from the pose
    // playback shows at frame (before) to the one asked (wanted), through the rig's motion: a
    // turn and a change of scale about the pivot, then a move, what hangs from it following.
    // False, changing nothing, when the actor is not linked.
    bool editShownPose(const std::vector<Actor*>& actors, Actor* actor, int frame, int frameCount,
                       const ActorPose& before, const ActorPose& wanted);
    // "Reset>>" on a linked actor: from the frame after frame on, it stands as it does at frame,
    // carried along by its parent (the pose it has on its parent is kept), and what hangs from
    // it follows. False, changing nothing, when the actor is not linked.
    bool holdFrom(const std::vector<Actor*>& actors, Actor* actor, int frame, int frameCount);

    // Puts the actor's pivot on the point of its picture shown at the scene point at frame
    // (rigging the actor if it was not); false when its pose is flat there.
    bool setPivotAt(const std::vector<Actor*>& actors, Actor* actor, int frame,
                    const irr::core::vector2df& scenePoint);
    // Hangs child from parent (null: from nothing). False with the reason when it would close
    // a loop of parents.
    bool setParent(Actor* child, const Actor* parent, std::string& why);
    // The whole rig as bytes, to keep in an undo step.
    std::string snapshot() const;
    // Puts back a rig kept by snapshot (anything else leaves the rig as it is).
    void restore(const std::string& bytes);
    // The actors named in renamed (old name to new) have new names: the joints, parents and
    // kept lines follow, and the rig as saved is known under the new names.
    void renameActors(const std::map<std::string, std::string>& renamed, const std::vector<Actor*>& actors);
    // A snapshot with the actors renamed as renameActors renames them.
    static std::string renamedSnapshot(const std::string& bytes, const std::map<std::string, std::string>& renamed);
    // The text rig.txt holds with the actors' names given by names (in actor order), the
    // actors in renamed (old name to new) renamed.
    std::string fileText(const std::vector<std::string>& names,
                         const std::map<std::string, std::string>& renamed = {}) const;
    // True when Save writes rig.txt: the file was there or the rig has something in it.
    bool hasFile() const { return fileFound || !rig_.joints.empty() || !rig_.refusedLines.empty(); }
    // False when rig.txt could not be read at start (Save then leaves it as it is).
    bool readable() const { return fileRead; }

    // The pose the editor shows for an actor while not playing: for a linked actor, what
    // playback from frame 0 shows at frame; otherwise the track's pose at frame.
    ActorPose editedPose(const std::vector<Actor*>& actors, const Actor* actor, int frame) const;
    // Draws the pivots of the linked actors and the links to their parents while the selected
    // actor is linked (nothing otherwise), on a picture of the given size (scene placement).
    void drawOverlay(Renderer2D* renderer, const irr::core::dimension2du& picture,
                     const std::vector<Actor*>& actors, const Actor* selected, int frame) const;

    // The rig as loaded and edited.
    Rig& rig() { return rig_; }
    const Rig& rig() const { return rig_; }
    // What loading reported, and what the rig refused since, one line each.
    const std::vector<std::string>& messages() const { return messages_; }
    // Adds a message (also on stderr).
    void tell(const std::string& message);

private:
    Rig rig_;
    std::string folder_ = kActorFolder;
    bool fileFound = false;
    bool fileRead = true;
    std::vector<std::string> messages_;
    std::string recoveryWritten;  // the text last written to the recovery file
    std::string savedText;        // the rig as rig.txt holds it (after load or save)
    bool savedKnown = false;      // savedText is known (the rig was loaded)
    Actor* dragging = nullptr;
    bool turn_ = false;
    bool turnAnchored = false;             // the turn's pivot is known
    irr::core::vector2df turnAnchor{0, 0};  // where the pivot stood when the turn began (scene)
};

// Name of the rig's recovery file in the actor folder.
constexpr const char* kRigRecoveryFileName = ".unsaved-rig.recovery";
// The actor's index in actors, or -1.
int rigActorIndex(const std::vector<Actor*>& actors, const Actor* actor);
