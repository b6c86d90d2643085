#include "actors/Actor.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "actors/ActorDataFile.h"
#include "render/Image.h"

irr::core::vector2df screenToScene(const irr::core::vector2df& p, const irr::core::dimension2du& screen) {
    const irr::core::vector2df margin((float(screen.Width) - float(STAGE_WIDTH_PIXELS)) / 2.f,
                                      (float(screen.Height) - float(STAGE_HEIGHT_PIXELS)) / 2.f);
    return (p - margin) / kSceneUnitPixels;
}

irr::core::vector2df sceneToScreen(const irr::core::vector2df& s, const irr::core::dimension2du& screen) {
    const irr::core::vector2df margin((float(screen.Width) - float(STAGE_WIDTH_PIXELS)) / 2.f,
                                      (float(screen.Height) - float(STAGE_HEIGHT_PIXELS)) / 2.f);
    return s * kSceneUnitPixels + margin;
}

std::string actorNameFromFileName(const std::string& fileName) {
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

std::string actorPicturePath(const std::string& fileName) { return kActorFolder + fileName; }

std::string actorDataPath(const std::string& name) { return kActorFolder + name + kActorDataSuffix; }

Actor::Actor(const std::string& name_, Image* image_, bool load, const std::string& folder_)
    : name(name_), image(image_), folder(folder_) {
    if (load) loadData();
    if (poses.empty()) poses.push_back(ActorPose::defaultPose());
    if (image) {
        size.set(float(image->pixelWidth()) / kSceneUnitPixels, float(image->pixelHeight()) / kSceneUnitPixels);
        drawnArea = RectF(0.f, 0.f, float(image->pixelWidth()), float(image->pixelHeight()));
    }
    current = poses.front();
}

ActorPose poseChange(const ActorPose& a, const ActorPose& b) {
    ActorPose d;
    d.position = b.position - a.position;
    d.rotation = b.rotation - a.rotation;
    d.scale = b.scale - a.scale;
    return d;
}

ActorPose poseWithChange(const ActorPose& a, const ActorPose& d) {
    ActorPose p;
    p.position = a.position + d.position;
    p.rotation = a.rotation + d.rotation;
    p.scale = a.scale + d.scale;
    return p;
}

ActorPose scaledChange(const ActorPose& d, float t) {
    ActorPose s;
    s.position = d.position * t;
    s.rotation = d.rotation * t;
    s.scale = d.scale * t;
    return s;
}

const ActorPose& trackPoseAt(const std::vector<ActorPose>& track, int frame) {
    const std::size_t last = track.size() - 1;
    return track[frame <= 0 ? 0 : std::min(std::size_t(frame), last)];
}

ActorPose& Actor::poseAt(int frame) { return const_cast<ActorPose&>(trackPoseAt(poses, frame)); }

const ActorPose& Actor::poseAt(int frame) const { return trackPoseAt(poses, frame); }

void Actor::offsetPoses(int frame, const ActorPose& delta, bool toEnd) {
    // Frames before the first one do not exist: an edit there starts at frame 0.
    const std::size_t first = frame < 0 ? 0 : std::size_t(frame);
    if (first >= poses.size()) {
        const ActorPose last = poses.back();
        poses.resize(first + 1, last);
    }
    const std::size_t end = toEnd ? poses.size() : first + 1;
    for (std::size_t i = first; i < end; ++i) poses[i] = poseWithChange(poses[i], delta);
}

void Actor::followPose(int frame) { easeToward(current, poseAt(frame)); }

void easeToward(ActorPose& current, const ActorPose& t) {
    const irr::core::vector2df d = current.position - t.position;
    if (d.X * d.X + d.Y * d.Y >= kFollowJumpDistanceSq) {
        current = t;
        return;
    }
    const float ease = 1.f - kFollowKeep;
    current.position = current.position * kFollowKeep + t.position * ease;
    current.rotation = t.rotation;  // rotation is never eased
    current.scale = current.scale * kFollowKeep + t.scale * ease;
}

void Actor::moveFrom(int frame, const irr::core::vector2df& offset) {
    ActorPose delta;  // rotation 0, scale (0, 0)
    delta.position = offset;
    offsetPoses(frame, delta, true);
}

void Actor::addChangeFrom(int frame, const ActorPose& before, const ActorPose& edited) {
    offsetPoses(frame, poseChange(before, edited), true);
}

void Actor::cutAfter(int frame, int frameCount) {
    const int from = frame + 1;
    const int n = std::min(frameCount, int(poses.size()));
    if (from >= 0 && n > from) poses.erase(poses.begin() + from, poses.begin() + n);
}

bool Actor::keepsUnreadableFile() const {
    if (trackFile != TrackFile::Unreadable || bindScale || wobble || poses.size() != 1) return false;
    const ActorPose& p = poses.front();
    const ActorPose d = ActorPose::defaultPose();
    return p.position == d.position && p.rotation == d.rotation && p.scale == d.scale;
}

int Actor::loadData() {
    const std::string path = dataPath();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        // A file that is there but cannot be opened is not a missing one: it must not be replaced.
        const int why = errno;
        struct stat info {};
        if (stat(path.c_str(), &info) == 0) {
            trackFile = TrackFile::Unreadable;
            trackProblem = std::string("cannot be opened (") + std::strerror(why ? why : EIO) + ")";
        }
        return -1;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
        trackFile = TrackFile::Unreadable;
        trackProblem = "a folder stands in its place";
        return -1;
    }
    ActorData data;
    const ActorDataStatus status = readActorData(in, data);
    trackProblem = actorDataProblem(status, data);
    if (!actorDataAccepted(status)) {
        trackFile = TrackFile::Unreadable;
        return -1;
    }
    trackFile = status == ActorDataStatus::Truncated ? TrackFile::CutShort : TrackFile::Read;
    poses = std::move(data.poses);
    if (data.version >= kActorDataFlagsVersion) {
        bindScale = data.bindScale;
        wobble = data.wobble;
    }
    return int(poses.size());
}

bool Actor::saveData(std::string* error) const {
    if (poses.size() > kActorDataMaxRecords) {
        if (error) *error = "the track is too long for the file format";
        return false;
    }
    return replaceFileSafely(dataPath(), encodeActorData(poses, bindScale, wobble), error);
}
