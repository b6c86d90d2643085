#pragma once
// Where a new actor starts on the stage: a layer where it sits on its canvas, the canvas
// fitted to the stage; a picture as large as the stage (a backdrop) over the stage's middle;
// the other pictures side by side across the stage at half its height. Pictures larger than
// the stage are scaled down to fit it.
#include <vector>

#include "actors/Actor.h"
#include "project/ActorFiles.h"

// The pose that shows a layer of w x h pixels at (x, y) on a canvas of cw x ch pixels, the
// canvas scaled to fit the stage and centred on it.
ActorPose layerPose(double cw, double ch, double x, double y, double w, double h);
// The pose of a picture of w x h pixels that is not from a layered file, numbered slot from 0
// among slots pictures that are not backdrops.
ActorPose picturePose(double w, double h, int slot, int slots);
// True when a picture of w x h pixels is as large as the stage in either direction.
bool isBackdrop(double w, double h);
// Gives every actor that is not from a layered file its picturePose.
void placePictures(std::vector<PlannedActor>& actors);
