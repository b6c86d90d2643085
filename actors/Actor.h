#pragma once
// An actor: one cut-out picture with its track of one pose per animation frame.
#include <irrlicht.h>

#include <string>
#include <vector>

#include "actors/PictureMask.h"
#include "platform/Timebase.h"

class Image;

// One pose: position in scene units, rotation in radians (clockwise), scale factors.
// A value-initialised pose is all zeros (handy as an edit delta); the actor's starting pose
// is ActorPose::defaultPose().
struct ActorPose {
    irr::core::vector2df position{0.f, 0.f};
    float rotation = 0.f;
    irr::core::vector2df scale{0.f, 0.f};

    // The pose of an actor without a track: position (-1, -1), rotation 0, scale (1, 1).
    static ActorPose defaultPose() { return ActorPose{{-1.f, -1.f}, 0.f, {1.f, 1.f}}; }
};

// Changes of a pose are taken and added component by component (position, rotation, scale):
// b - a, a + d, and d scaled by t.
ActorPose poseChange(const ActorPose& a, const ActorPose& b);
ActorPose poseWithChange(const ActorPose& a, const ActorPose& d);
ActorPose scaledChange(const ActorPose& d, float t);
// The pose at frame of a never-empty track: the first pose before it, the last one after it.
const ActorPose& trackPoseAt(const std::vector<ActorPose>& track, int frame);

// Scene coordinates: units of 80 pixels; the 1280 x 720 stage is centred on the screen and
// scene (0, 0) is its top-left corner, y downwards.
constexpr float kSceneUnitPixels = 80.f;

// Screen pixels to scene units for a screen of the given size (no rounding of the margins).
irr::core::vector2df screenToScene(const irr::core::vector2df& p, const irr::core::dimension2du& screen);
// Scene units to screen pixels for a screen of the given size.
irr::core::vector2df sceneToScreen(const irr::core::vector2df& s, const irr::core::dimension2du& screen);

// Easing of the displayed pose: a squared distance (scene units) from which it jumps to the
// target instead of easing (3 units), and the share of the old position and scale kept by
// one step (rotation is never eased).
constexpr float kFollowJumpDistanceSq = 9.f;
constexpr float kFollowKeep = 0.75f;
// One easing step of a displayed pose toward a target: the rule Actor::followPose applies.
void easeToward(ActorPose& current, const ActorPose& target);

// Folder of the actor pictures and their data files, relative to the working directory.
constexpr const char* kActorFolder = "data/actors/";
// Extension of an actor's data file.
constexpr const char* kActorDataSuffix = ".data";
// Added to the name of a data file that could not be read when an edited track replaces it.
constexpr const char* kUnreadableDataSuffix = ".unreadable";

// The actor name of a picture file: the text before the last "." (all of it without a dot).
std::string actorNameFromFileName(const std::string& fileName);
// The path of a picture file in the actor folder: "data/actors/" + fileName.
std::string actorPicturePath(const std::string& fileName);
// The data file path of an actor: "data/actors/" + name + ".data" (any length).
std::string actorDataPath(const std::string& name);

class Actor {
public:
    // Copies the name, borrows the image; with load set, reads the data file (in folder, which
    // ends in '/') first. The track is never empty afterwards and current starts at its first pose.
    Actor(const std::string& name, Image* image, bool load, const std::string& folder = kActorFolder);
    // Frees the name and the track; the image stays with its owner.
    ~Actor() = default;

    // The pose at frame, clamped to the track (negative: first pose, past the end: last).
    ActorPose& poseAt(int frame);
    // The pose at frame, clamped to the track.
    const ActorPose& poseAt(int frame) const;
    // Adds delta to the poses from frame on (to the end with toEnd, else frame only), first
    // growing the track with copies of its last pose so that frame exists.
    void offsetPoses(int frame, const ActorPose& delta, bool toEnd);
    // One smoothing step of current toward poseAt(frame).
    void followPose(int frame);
    // Reads the track and flags from the data file; the number of poses read, or -1 when the
    // file is missing, unreadable or rejected (the actor is then untouched). What it found is
    // kept in trackFile and trackProblem.
    int loadData();
    // Replaces the data file with the track and flags; false (old file intact) on failure,
    // with the reason in *error when given.
    bool saveData(std::string* error = nullptr) const;
    // This actor's data file path.
    std::string dataPath() const { return folder + name + kActorDataSuffix; }

    // The edits of a track, the same from every panel that makes them:
    // Moves the poses from frame on by offset scene units (a drag).
    void moveFrom(int frame, const irr::core::vector2df& offset);
    // Adds what an edit changed (edited - before, component by component) to the poses from
    // frame on (the property rows).
    void addChangeFrom(int frame, const ActorPose& before, const ActorPose& edited);
    // "Reset>>": the track ends at frame, so that the actor keeps that pose for the rest of the
    // animation: the poses after it, up to the animation's length frameCount, are removed.
    void cutAfter(int frame, int frameCount);

    // True while the data file could not be read at load and the track and flags are still the
    // default it left the actor with: the file may still be mended, and must not be replaced.
    bool keepsUnreadableFile() const;

    std::string name;
    Image* image = nullptr;
    std::vector<ActorPose> poses;
    irr::core::vector2df size{0.f, 0.f};
    ActorPose current = ActorPose::defaultPose();
    bool bindScale = false;
    bool wobble = false;
    std::string folder;  // the folder of the picture and its data file, ending in '/'
    std::string pictureFile;  // the picture's file name in folder ("07-sun.png"); "" when not known

    // The editing mode's view of the actor, kept in the scene settings file: not drawn on the
    // editor's stage (playback and the export still draw it), and never picked on it.
    bool hidden = false;
    bool locked = false;
    // The picture's drawn pixels, for picking what is drawn (empty when not kept), and the
    // smallest rectangle (picture pixels) that holds them.
    PictureMask mask;
    RectF drawnArea;

    // What loadData found: no data file, a file read whole, one cut short (its whole records
    // used), or one that could not be read at all (refused; the actor keeps its default).
    enum class TrackFile { Missing, Read, CutShort, Unreadable };
    TrackFile trackFile = TrackFile::Missing;
    // Why the data file was cut short or could not be read ("" otherwise).
    std::string trackProblem;
};
