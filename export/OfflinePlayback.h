#pragma once
// The animation played offline for the export, one frame at a time, and each frame drawn off
// screen and read back.
#include <irrlicht.h>

#include <vector>

#include "app/FixedStepClock.h"

class GameState;
class MainState;

// The frames playback shows: it ends at the last frame of the tracks, at the animation's end
// (its last frame endFrame; negative: none set), or where the music ends (the frames whose time
// lies within a music of musicLengthMs; negative: no music), whichever comes first.
int playbackFrameCount(int frameCount, int musicLengthMs, int endFrame = -1);

// Frame 0 as it stands after the start, each later frame one fixed step of the fixed-step
// clock after the one before, up to where playback with the music of musicLengthMs
// (negative: none) would end (at the animation's end when the scene settings set one).
class OfflinePlayback {
public:
    // Starts the state's playback at frame 0 without the pause or the music.
    explicit OfflinePlayback(MainState& state, int musicLengthMs = -1);
    // Frames the export holds.
    int frameCount() const { return frames; }
    // The frame the state shows now (-1 before the first nextFrame).
    int frame() const { return current; }
    // Moves the state to the next frame; false once every frame has been shown.
    bool nextFrame();

private:
    MainState& state;
    FixedStepClock clock;
    int frames;
    int current = -1;
};

// Draws a state's frames into an off-screen target of the given size (so that no window
// above the export window and no buffer swap can touch them) and reads them back.
class FrameReader {
public:
    // Makes the off-screen target on the device's driver (see ready()).
    FrameReader(irr::IrrlichtDevice* device, int width, int height);
    // Releases the off-screen target and draws to the window again.
    ~FrameReader();
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // False when the off-screen target could not be made.
    bool ready() const { return target != nullptr; }
    // Lets the state render its current frame and reads it as RGB24, top row first, into
    // rgb (resized to width x height x 3); false when drawing or reading failed.
    bool read(GameState& state, std::vector<unsigned char>& rgb);

private:
    irr::IrrlichtDevice* device;
    int width, height;
    irr::video::ITexture* target = nullptr;
    std::vector<unsigned char> rows;  // the read-back, bottom row first
};
