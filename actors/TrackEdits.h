#pragma once
// Edits of a track through a range of frames: hold, smooth, copy and paste, repeat. Each works
// on a plain array of poses, frame k at index k; a frame past the array's end has its last
// pose (trackPoseAt).
//
//   hold:   every frame from in to out takes the pose of frame in;
//   smooth: the motion from in to out is averaged over about a tenth of a second, in and out kept;
//   copy:   the changes from the pose at in, for the frames in to out;
//   paste:  frame at + k takes the pose at at plus change k;
//   repeat: frame out + k (k = 1 ... out - in) takes the pose at out plus the change from in
//           to in + k;
//   punch-in: a track changed by a take keeps only its frames in to out; every other frame is
//           the one it was before.
// Frames outside what an edit writes keep their poses: the array grows first (copies of its last
// pose) so that the frame after the written ones, when it lies within the animation, still has
// the pose it showed.
#include <cstddef>
#include <vector>

#include "actors/Actor.h"

// A range of frames, both ends included.
struct FrameRange {
    int in = 0;
    int out = 0;
    // Frames in the range.
    int frames() const { return out - in + 1; }
};

// Smoothing averages each pose with its neighbours within about this much time, in ms (the
// window is centred on the frame and narrows toward the ends of the range, which keep their poses).
constexpr int TRACK_SMOOTH_WINDOW_MS = 100;
// Frames on each side of a frame that smoothing averages over (from TRACK_SMOOTH_WINDOW_MS).
int smoothHalfWindowFrames();

// Grows the track (copies of its last pose) so that frames up to last exist, and the frame after
// last too when it lies within an animation of frameCount frames.
void growTrackFor(std::vector<ActorPose>& track, int last, int frameCount);

// A pose differs from the one before it by more than this (scene units, radians, scale) where
// a track moves.
constexpr float TRACK_STILL_EPSILON = 1e-5f;
// True when the track moves at a frame from first up to (not including) end: its pose there
// differs from the frame's before.
bool trackMovesWithin(const std::vector<ActorPose>& track, int first, int end);

// Hold: frames in + 1 to out take the pose of frame in.
void holdPoses(std::vector<ActorPose>& track, FrameRange range, int frameCount);
// Smooth: frames in + 1 to out - 1 take the mean of the poses within halfWindow frames of them,
// the nearer weighing more (a triangle; fewer frames near the ends, so that the window stays
// centred within the range).
void smoothPoses(std::vector<ActorPose>& track, FrameRange range, int halfWindow, int frameCount);
// Copy: change k is the pose at in + k less the pose at in (k = 0 ... out - in).
std::vector<ActorPose> poseChanges(const std::vector<ActorPose>& track, FrameRange range);
// Paste: frame at + k takes the pose at at plus changes[k] (the frames after keep theirs).
void pastePoseChanges(std::vector<ActorPose>& track, int at, const std::vector<ActorPose>& changes,
                      int frameCount);
// Repeat: frame out + k (k = 1 ... out - in) takes the pose at out plus the change from in to
// in + k. Returns the range of the copy (out to out + (out - in)).
FrameRange repeatPoses(std::vector<ActorPose>& track, FrameRange range, int frameCount);
// Punch-in: the track takes back before's poses outside the range, keeping its own from in to
// out. It ends where before ended, or where it grew to when that lies past before's end but not
// past out (the frames between before's end and in are then the copies of its last pose that
// growing made).
void keepOnlyRange(std::vector<ActorPose>& track, const std::vector<ActorPose>& before, FrameRange range);
