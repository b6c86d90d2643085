#include "project/Placement.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "platform/Timebase.h"

namespace {

static_assert(STAGE_WIDTH_PIXELS % PLACEMENT_CELL_PIXELS == 0 &&
                  STAGE_HEIGHT_PIXELS % PLACEMENT_CELL_PIXELS == 0,
              "the packing grid covers the stage exactly");
// The packing grid's size in cells.
constexpr int GRID_COLUMNS = STAGE_WIDTH_PIXELS / PLACEMENT_CELL_PIXELS;
constexpr int GRID_ROWS = STAGE_HEIGHT_PIXELS / PLACEMENT_CELL_PIXELS;

// The stage as cells that are taken or free, for packing pictures.
class StageGrid {
public:
    StageGrid() : taken(size_t(GRID_COLUMNS) * GRID_ROWS, 0) { count(); }

    // Takes the cells under area widened by the margin on every side.
    void take(const RectF& area) {
        const int c0 = cell(area.x - PLACEMENT_MARGIN_PIXELS, false, GRID_COLUMNS);
        const int c1 = cell(area.x + area.width + PLACEMENT_MARGIN_PIXELS, true, GRID_COLUMNS);
        const int r0 = cell(area.y - PLACEMENT_MARGIN_PIXELS, false, GRID_ROWS);
        const int r1 = cell(area.y + area.height + PLACEMENT_MARGIN_PIXELS, true, GRID_ROWS);
        for (int r = r0; r < r1; ++r)
            for (int c = c0; c < c1; ++c) taken[size_t(r) * GRID_COLUMNS + size_t(c)] = 1;
        count();
    }

    // The top-left corner, in pixels, of the first place in reading order where a picture of
    // w x h pixels stands on free cells within the margin of the stage's edges; false when
    // there is none.
    bool findPlace(double w, double h, double& x, double& y) const {
        const int columns = int(std::ceil(w / PLACEMENT_CELL_PIXELS));
        const int rows = int(std::ceil(h / PLACEMENT_CELL_PIXELS));
        const int first = int(std::ceil(PLACEMENT_MARGIN_PIXELS / PLACEMENT_CELL_PIXELS));
        const int lastColumn = int(std::floor((STAGE_WIDTH_PIXELS - PLACEMENT_MARGIN_PIXELS - w) / PLACEMENT_CELL_PIXELS));
        const int lastRow = int(std::floor((STAGE_HEIGHT_PIXELS - PLACEMENT_MARGIN_PIXELS - h) / PLACEMENT_CELL_PIXELS));
        for (int r = first; r <= lastRow; ++r)
            for (int c = first; c <= lastColumn; ++c)
                if (takenIn(c, r, c + columns, r + rows) == 0) {
                    x = double(c * PLACEMENT_CELL_PIXELS);
                    y = double(r * PLACEMENT_CELL_PIXELS);
                    return true;
                }
        return false;
    }

private:
    // The cell that holds the pixel coordinate v (rounded up: the first cell past it), kept
    // within 0 and cells.
    static int cell(double v, bool up, int cells) {
        const double c = up ? std::ceil(v / PLACEMENT_CELL_PIXELS) : std::floor(v / PLACEMENT_CELL_PIXELS);
        return int(std::clamp(c, 0.0, double(cells)));
    }

    // Recounts the taken cells above and to the left of every cell corner.
    void count() {
        sums.assign(size_t(GRID_COLUMNS + 1) * (GRID_ROWS + 1), 0);
        for (int r = 0; r < GRID_ROWS; ++r)
            for (int c = 0; c < GRID_COLUMNS; ++c)
                sums[corner(c + 1, r + 1)] = taken[size_t(r) * GRID_COLUMNS + size_t(c)] +
                                             sums[corner(c, r + 1)] + sums[corner(c + 1, r)] -
                                             sums[corner(c, r)];
    }

    // The index of a cell corner in sums.
    static size_t corner(int c, int r) { return size_t(r) * (GRID_COLUMNS + 1) + size_t(c); }

    // How many cells of columns c0 to c1 and rows r0 to r1 (ends excluded) are taken.
    int takenIn(int c0, int r0, int c1, int r1) const {
        return sums[corner(c1, r1)] - sums[corner(c0, r1)] - sums[corner(c1, r0)] + sums[corner(c0, r0)];
    }

    std::vector<uint8_t> taken;  // one per cell, row by row
    std::vector<int> sums;       // taken cells above and left of each cell corner
};

// False for what covers the stage in either direction: a backdrop is in no one's way.
bool inTheWay(const RectF& area) { return !isBackdrop(area.width, area.height); }

}  // namespace

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

RectF drawnArea(const ActorPose& pose, double w, double h) {
    const double halfW = std::fabs(w * pose.scale.X) / 2, halfH = std::fabs(h * pose.scale.Y) / 2;
    const double c = std::fabs(std::cos(pose.rotation)), s = std::fabs(std::sin(pose.rotation));
    const double extentX = halfW * c + halfH * s, extentY = halfW * s + halfH * c;
    const double x = pose.position.X * kSceneUnitPixels, y = pose.position.Y * kSceneUnitPixels;
    return RectF(float(x - extentX), float(y - extentY), float(2 * extentX), float(2 * extentY));
}

std::vector<std::vector<size_t>> canvasLayers(const std::vector<PlannedActor>& actors) {
    std::map<std::pair<double, double>, std::vector<size_t>> bySize;
    std::vector<std::pair<double, double>> sizes;  // in the order they first appear
    for (size_t i = 0; i < actors.size(); ++i) {
        if (actors[i].layered) continue;
        const std::pair<double, double> size(actors[i].width, actors[i].height);
        std::vector<size_t>& same = bySize[size];
        if (same.empty()) sizes.push_back(size);
        same.push_back(i);
    }
    std::vector<std::vector<size_t>> canvases;
    for (const std::pair<double, double>& size : sizes) {
        const std::vector<size_t>& same = bySize[size];
        const bool margin = std::any_of(same.begin(), same.end(), [&](size_t i) {
            return double(actors[i].visible.width) < size.first || double(actors[i].visible.height) < size.second;
        });
        if (same.size() >= 2 && margin) canvases.push_back(same);
    }
    return canvases;
}

void placePictures(std::vector<PlannedActor>& actors, const std::vector<RectF>& taken) {
    StageGrid grid;
    for (const RectF& area : taken)
        if (inTheWay(area)) grid.take(area);
    for (const PlannedActor& a : actors) {
        const RectF area = drawnArea(a.pose, a.width, a.height);
        if (a.layered && inTheWay(area)) grid.take(area);
    }
    // The tallest first, which packs rows tighter; the drawing order stays the list's.
    std::vector<size_t> order;
    for (size_t i = 0; i < actors.size(); ++i)
        if (!actors[i].layered) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return actors[a].height > actors[b].height;
    });
    for (const size_t i : order) {
        PlannedActor& a = actors[i];
        a.pose = ActorPose::defaultPose();
        const double stageW = STAGE_WIDTH_PIXELS, stageH = STAGE_HEIGHT_PIXELS;
        if (isBackdrop(a.width, a.height)) {
            const float scale = float(std::min({1.0, stageW / a.width, stageH / a.height}));
            a.pose.position.set(float(stageW / 2 / kSceneUnitPixels), float(stageH / 2 / kSceneUnitPixels));
            a.pose.scale.set(scale, scale);
            continue;
        }
        double x = 0, y = 0;
        if (!grid.findPlace(a.width, a.height, x, y)) {
            StageGrid empty;
            if (empty.findPlace(a.width, a.height, x, y)) {
                grid = empty;
            } else {  // too large for the margins: over the stage's middle
                x = (stageW - a.width) / 2;
                y = (stageH - a.height) / 2;
            }
        }
        a.pose.position.set(float((x + a.width / 2) / kSceneUnitPixels), float((y + a.height / 2) / kSceneUnitPixels));
        grid.take(RectF(float(x), float(y), float(a.width), float(a.height)));
    }
}
