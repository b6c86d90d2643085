#include "render/Letterbox.h"

#include <algorithm>
#include <cmath>

Letterbox fitStage(int screenW, int screenH, int stageW, int stageH) {
    Letterbox box;
    if (screenW <= 0 || screenH <= 0 || stageW <= 0 || stageH <= 0) return box;
    const double scale = std::min(double(screenW) / stageW, double(screenH) / stageH);
    box.width = std::min(screenW, int(std::lround(stageW * scale)));
    box.height = std::min(screenH, int(std::lround(stageH * scale)));
    box.x = (screenW - box.width) / 2;
    box.y = (screenH - box.height) / 2;
    return box;
}

int screenToStage(int screen, int boxStart, int boxSize, int stageSize) {
    if (boxSize <= 0) return screen;
    // The centre of the screen pixel, scaled, floored: each stage pixel gets the screen
    // pixels whose centres fall on it.
    const double stage = (double(screen - boxStart) + 0.5) * stageSize / boxSize;
    return int(std::floor(stage));
}
