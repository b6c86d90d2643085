#pragma once
// Where a new actor starts on the stage. A layer of a canvas (a layered file's, or one of the
// pictures a drawing program exported one per layer) stands where it sits on its canvas, the
// canvas fitted to the stage; a picture as large as the stage (a backdrop) is scaled down to
// fit and centred on it. The other pictures, the tallest first, each take the first place in
// reading order (rows from the top, each from the left) where it stands
// PLACEMENT_MARGIN_PIXELS clear of the stage's edges and of what is there already (a
// project's actors at their first pose, the layers, the pictures placed before it; a
// backdrop is in no one's way). When the stage has no such place left, the rest are placed by
// the same rule over the stage as if it were empty. Pictures stay at their own size.
#include <cstddef>
#include <vector>

#include "actors/Actor.h"
#include "project/ActorFiles.h"
#include "render/Types.h"

// Least gap between two packed pictures, and between one and the stage's edge, in pixels.
constexpr double PLACEMENT_MARGIN_PIXELS = 16;
// Side of the packing grid's cells in pixels: packed pictures stand at multiples of it.
constexpr int PLACEMENT_CELL_PIXELS = 8;

// The pose that shows a layer of w x h pixels at (x, y) on a canvas of cw x ch pixels, the
// canvas scaled to fit the stage and centred on it.
ActorPose layerPose(double cw, double ch, double x, double y, double w, double h);
// True when a picture of w x h pixels is as large as the stage in either direction.
bool isBackdrop(double w, double h);
// The stage pixels a picture of w x h pixels covers at pose (the bounding box when turned).
RectF drawnArea(const ActorPose& pose, double w, double h);
// The pictures that are layers of one canvas, exported one per file: among the actors not
// from a layered file, each size that two or more of them share is a canvas when at least
// one of those has a margin of fully transparent pixels (pictures that all cover their
// whole size would only hide each other). The actors' indices, one list per canvas, each
// in the actors' order.
std::vector<std::vector<size_t>> canvasLayers(const std::vector<PlannedActor>& actors);
// Gives every actor that is not a layer its pose; taken holds the stage pixels covered
// already by actors not in the list.
void placePictures(std::vector<PlannedActor>& actors, const std::vector<RectF>& taken);
