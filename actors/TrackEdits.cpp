#include "actors/TrackEdits.h"

#include <algorithm>
#include <cstdlib>

#include "platform/Timebase.h"

int smoothHalfWindowFrames() {
    // Rounded to the nearest whole frame on each side.
    return (TRACK_SMOOTH_WINDOW_MS * FRAMES_PER_SECOND / 1000 + 1) / 2;
}

void growTrackFor(std::vector<ActorPose>& track, int last, int frameCount) {
    if (track.empty()) track.push_back(ActorPose::defaultPose());
    const int keep = last + 1 < frameCount ? last + 2 : last + 1;
    if (keep > int(track.size())) track.resize(std::size_t(keep), track.back());
}

bool trackMovesWithin(const std::vector<ActorPose>& track, int first, int end) {
    const auto differ = [](float a, float b) { return a - b > TRACK_STILL_EPSILON || b - a > TRACK_STILL_EPSILON; };
    end = std::min(end, int(track.size()));
    for (int f = std::max(first, 1); f < end; ++f) {
        const ActorPose& a = track[std::size_t(f - 1)];
        const ActorPose& b = track[std::size_t(f)];
        if (differ(a.position.X, b.position.X) || differ(a.position.Y, b.position.Y) || differ(a.rotation, b.rotation) ||
            differ(a.scale.X, b.scale.X) || differ(a.scale.Y, b.scale.Y))
            return true;
    }
    return false;
}

void holdPoses(std::vector<ActorPose>& track, FrameRange range, int frameCount) {
    if (range.in < 0 || range.out <= range.in) return;
    growTrackFor(track, range.out, frameCount);
    const ActorPose held = track[std::size_t(range.in)];
    for (int k = range.in + 1; k <= range.out; ++k) track[std::size_t(k)] = held;
}

void smoothPoses(std::vector<ActorPose>& track, FrameRange range, int halfWindow, int frameCount) {
    if (range.in < 0 || range.out - range.in < 2 || halfWindow < 1) return;
    growTrackFor(track, range.out, frameCount);
    const std::vector<ActorPose> was(track.begin() + range.in, track.begin() + range.out + 1);
    for (int k = range.in + 1; k < range.out; ++k) {
        const int h = std::min({halfWindow, k - range.in, range.out - k});
        // The mean of the changes from the pose at k (exact where nothing moves), weighted
        // h + 1 - |j - k| (a triangle: a frame-to-frame zigzag averages out whole).
        const ActorPose& centre = was[std::size_t(k - range.in)];
        ActorPose sum;
        float weights = 0.f;
        for (int j = k - h; j <= k + h; ++j) {
            const float w = float(h + 1 - std::abs(j - k));
            sum = poseWithChange(sum, scaledChange(poseChange(centre, was[std::size_t(j - range.in)]), w));
            weights += w;
        }
        ActorPose mean;
        mean.position = sum.position / weights;
        mean.rotation = sum.rotation / weights;
        mean.scale = sum.scale / weights;
        track[std::size_t(k)] = poseWithChange(centre, mean);
    }
}

std::vector<ActorPose> poseChanges(const std::vector<ActorPose>& track, FrameRange range) {
    std::vector<ActorPose> changes;
    if (range.in < 0 || range.out < range.in || track.empty()) return changes;
    const ActorPose& from = trackPoseAt(track, range.in);
    for (int k = range.in; k <= range.out; ++k) changes.push_back(poseChange(from, trackPoseAt(track, k)));
    return changes;
}

void pastePoseChanges(std::vector<ActorPose>& track, int at, const std::vector<ActorPose>& changes,
                      int frameCount) {
    if (at < 0 || changes.empty()) return;
    const int last = at + int(changes.size()) - 1;
    growTrackFor(track, last, frameCount);
    const ActorPose from = track[std::size_t(at)];
    for (std::size_t k = 0; k < changes.size(); ++k) track[std::size_t(at) + k] = poseWithChange(from, changes[k]);
}

FrameRange repeatPoses(std::vector<ActorPose>& track, FrameRange range, int frameCount) {
    const int n = range.out - range.in;
    if (range.in < 0 || n < 1) return range;
    growTrackFor(track, range.out + n, frameCount);
    // The source frames (in to out) lie before the copy, which starts after out: read before written.
    const ActorPose from = track[std::size_t(range.in)], to = track[std::size_t(range.out)];
    for (int k = 1; k <= n; ++k)
        track[std::size_t(range.out + k)] = poseWithChange(to, poseChange(from, track[std::size_t(range.in + k)]));
    return FrameRange{range.out, range.out + n};
}

void keepOnlyRange(std::vector<ActorPose>& track, const std::vector<ActorPose>& before, FrameRange range) {
    const std::size_t end = std::min(track.size(), std::size_t(std::max(range.out + 1, 0)));
    std::vector<ActorPose> kept = before;
    if (kept.size() < end) kept.insert(kept.end(), track.begin() + std::ptrdiff_t(kept.size()), track.begin() + std::ptrdiff_t(end));
    for (std::size_t k = std::size_t(std::max(range.in, 0)); k < end; ++k) kept[k] = track[k];
    track.swap(kept);
}
