#pragma once
// The rules of the selected actor's property rows, shared by the panel and the editor:
// slider ranges and keyboard steps, what counts as an edit, and how an edit is applied.
#include <cmath>

#include "actors/Actor.h"

// Slider ranges and keyboard steps: position X and Y (scene units), rotation (radians), W and H.
constexpr float POSITION_MIN = -4.f, POSITION_MAX = 20.f, POSITION_STEP = 0.01f;
constexpr float ROTATION_MIN = -3.1415927f, ROTATION_MAX = 9.424778f, ROTATION_STEP = 0.001f;
constexpr float SCALE_MIN = -10.f, SCALE_MAX = 10.f, SCALE_STEP = 0.001f;
// The rotation row shows degrees.
constexpr float RADIANS_TO_DEGREES = 180.f / 3.1415927f;
// Position and scale changes smaller than this are not edits.
constexpr float EDIT_TOLERANCE = 0.000001f;
// A release within this squared pixel distance of its press is a click, not a drag.
constexpr int CLICK_SLOP_SQUARED = 4;

// One slider row: the edited field, its range and step, label, value format and the factor
// the value is shown with.
struct PropertyRow {
    float* value;
    float min, max, step;
    const char* label;
    const char* format;
    float shownAs;
};

// True when the rows moved the pose: position or scale by more than the tolerance, or any turn.
inline bool poseEdited(const ActorPose& before, const ActorPose& after) {
    const auto differs = [](float a, float b) { return std::fabs(a - b) > EDIT_TOLERANCE; };
    return differs(after.position.X, before.position.X) || differs(after.position.Y, before.position.Y) ||
           after.rotation != before.rotation || differs(after.scale.X, before.scale.X) ||
           differs(after.scale.Y, before.scale.Y);
}

// Applies what the rows changed (before: the pose they showed, edited: after the sliders) to
// the actor from frame on, when poseEdited counts it as an edit.
inline void applyRowEdit(Actor& actor, int frame, const ActorPose& before, const ActorPose& edited) {
    if (poseEdited(before, edited)) actor.addChangeFrom(frame, before, edited);
}
