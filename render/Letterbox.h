#pragma once
// Showing a fixed-size stage on a screen of another size: scaled to fit, centred, with bars
// where the shapes differ, and screen positions mapped back to stage positions.

// Where the stage lands on the screen, in whole screen pixels.
struct Letterbox {
    int x = 0, y = 0;           // top-left corner of the stage on the screen
    int width = 0, height = 0;  // the scaled stage's size on the screen
};

// The largest centred rectangle of the stage's shape that fits the screen.
Letterbox fitStage(int screenW, int screenH, int stageW, int stageH);
// A screen position in stage pixels (outside 0..stage size on the bars); floors.
int screenToStage(int screen, int boxStart, int boxSize, int stageSize);
