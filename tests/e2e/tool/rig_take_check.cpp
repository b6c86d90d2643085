// rig_take_check TAKE_ACTORS ORIGINAL_ACTORS [RADIANS]: checks a take recorded on the bundled
// dancer (or a dance made of its tracks). It plays the saved tracks in TAKE_ACTORS from frame 0
// as the player does (every part eased once per frame by Actor::followPose), places the
// skeleton's joints with the drawing code's own corner placement, and fails unless every joint
// of the dancer (the forearms, with their hands, on the upper arms included) stays within 1
// pixel in every frame, and the left upper arm was turned by the take (its rotation differs from
// ORIGINAL_ACTORS' by RADIANS, 0.3 unless given, or more somewhere).
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "actors/ActorDataFile.h"
#include "tests/common/DrawnPoint.h"
#include "tools/scene/SceneModel.h"

using namespace scene;
using irr::core::vector2df;

namespace {

constexpr float kJointTolerancePixels = 1.f;
constexpr float kTurnedRadians = 0.3f;

bool readTrack(const std::string& dir, const Picture& p, std::vector<ActorPose>& poses) {
    std::ifstream in(dir + "/" + actorNameFromFileName(p.file) + kActorDataSuffix, std::ios::binary);
    ActorData data;
    if (!in || readActorData(in, data) != ActorDataStatus::Complete || data.poses.empty()) {
        std::fprintf(stderr, "rig_take_check: cannot read the track of %s in %s\n", p.file, dir.c_str());
        return false;
    }
    poses = data.poses;
    return true;
}

// Where picture point q of picture p drawn with pose s lands (stage pixels).
vector2df drawnPoint(const Picture& p, const ActorPose& s, Point q) {
    return drawnPicturePoint(float(p.w), float(p.h), s, vector2df(q.x, q.y));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: rig_take_check TAKE_ACTORS ORIGINAL_ACTORS [RADIANS]\n");
        return 2;
    }
    const float turnedEnough = argc == 4 ? float(std::atof(argv[3])) : kTurnedRadians;
    const Picture* parts[] = {&kShinLeft, &kShinRight, &kThighLeft, &kThighRight, &kTorso,
                              &kHead,     &kUpperArmLeft, &kUpperArmRight, &kForearmLeft, &kForearmRight};
    std::vector<Actor> actors;
    int frames = 0;
    for (const Picture* p : parts) {
        actors.emplace_back(actorNameFromFileName(p->file), nullptr, false);
        if (!readTrack(argv[1], *p, actors.back().poses)) return 1;
        actors.back().current = actors.back().poses.front();
        frames = std::max(frames, int(actors.back().poses.size()));
    }
    std::vector<ActorPose> original;
    if (!readTrack(argv[2], kUpperArmLeft, original)) return 1;
    float turned = 0.f;
    for (int f = 0; f < frames; ++f)
        turned = std::max(turned, std::fabs(actors[6].poseAt(f).rotation -
                                            original[std::size_t(std::min(f, int(original.size()) - 1))].rotation));

    struct Joint {
        int child, parent;
        Point atChild, atParent;
        const char* name;
    };
    const Joint joints[] = {
        {6, 4, upperArm::kShoulder, torso::kShoulderLeft, "left shoulder"},
        {8, 6, forearm::kElbow, upperArm::kElbow, "left elbow"},
        {7, 4, upperArm::kShoulder, torso::kShoulderRight, "right shoulder"},
        {9, 7, forearm::kElbow, upperArm::kElbow, "right elbow"},
        {5, 4, head::kNeck, torso::kNeck, "neck"},
        {2, 4, thigh::kHip, torso::kHipLeft, "left hip"},
        {3, 4, thigh::kHip, torso::kHipRight, "right hip"},
        {0, 2, shin::kKnee, thigh::kKnee, "left knee"},
        {1, 3, shin::kKnee, thigh::kKnee, "right knee"},
    };
    bool ok = true;
    float worst[std::size(joints)] = {};
    int worstFrame[std::size(joints)] = {};
    for (int f = 0; f < frames; ++f) {
        if (f > 0)
            for (Actor& a : actors) a.followPose(f);
        for (std::size_t j = 0; j < std::size(joints); ++j) {
            const Joint& jt = joints[j];
            const float gap = drawnPoint(*parts[jt.child], actors[std::size_t(jt.child)].current, jt.atChild)
                                  .getDistanceFrom(drawnPoint(*parts[jt.parent], actors[std::size_t(jt.parent)].current, jt.atParent));
            if (gap > worst[j]) worst[j] = gap, worstFrame[j] = f;
        }
    }
    for (std::size_t j = 0; j < std::size(joints); ++j) {
        const bool held = worst[j] <= kJointTolerancePixels;
        std::printf("%s: widest %.4f px (frame %d)%s\n", joints[j].name, double(worst[j]), worstFrame[j],
                    held ? "" : "  FAILS");
        ok = ok && held;
    }
    std::printf("left upper arm turned by up to %.3f rad over %d frames\n", double(turned), frames);
    if (turned < turnedEnough) {
        std::fprintf(stderr, "rig_take_check: the take did not turn the left upper arm\n");
        ok = false;
    }
    return ok ? 0 : 1;
}
