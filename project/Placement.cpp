#include "project/Placement.h"

#include <algorithm>

#include "platform/Timebase.h"

ActorPose layerPose(double cw, double ch, double x, double y, double w, double h) {
    const double scale = std::min(double(STAGE_WIDTH_PIXELS) / cw, double(STAGE_HEIGHT_PIXELS) / ch);
    const double left = (double(STAGE_WIDTH_PIXELS) - cw * scale) / 2;
    const double top = (double(STAGE_HEIGHT_PIXELS) - ch * scale) / 2;
    ActorPose pose = ActorPose::defaultPose();
    pose.position.set(float((left + (x + w / 2) * scale) / kSceneUnitPixels),
                      float((top + (y + h / 2) * scale) / kSceneUnitPixels));
    pose.scale.set(float(scale), float(scale));
    return pose;
}

bool isBackdrop(double w, double h) {
    return w >= double(STAGE_WIDTH_PIXELS) || h >= double(STAGE_HEIGHT_PIXELS);
}

ActorPose picturePose(double w, double h, int slot, int slots) {
    const double scale = std::min({1.0, double(STAGE_WIDTH_PIXELS) / w, double(STAGE_HEIGHT_PIXELS) / h});
    ActorPose pose = ActorPose::defaultPose();
    const double x = isBackdrop(w, h) || slots < 1 ? double(STAGE_WIDTH_PIXELS) / 2
                                                   : (slot + 0.5) * double(STAGE_WIDTH_PIXELS) / slots;
    pose.position.set(float(x / kSceneUnitPixels), float(double(STAGE_HEIGHT_PIXELS) / 2 / kSceneUnitPixels));
    pose.scale.set(float(scale), float(scale));
    return pose;
}

void placePictures(std::vector<PlannedActor>& actors) {
    int slots = 0;
    for (const PlannedActor& a : actors)
        if (!a.layered && !isBackdrop(a.width, a.height)) ++slots;
    int slot = 0;
    for (PlannedActor& a : actors) {
        if (a.layered) continue;
        const bool backdrop = isBackdrop(a.width, a.height);
        a.pose = picturePose(a.width, a.height, backdrop ? 0 : slot, slots);
        if (!backdrop) ++slot;
    }
}
