#pragma once
// The interface between the Application's loop and what the program shows.
#include <irrlicht.h>
#include "platform/Timebase.h"

class GameState {
public:
    virtual ~GameState() = default;
    // Called once right after construction; false ends the program.
    virtual bool init() { return true; }
    // Releases what init loaded; not called by the framework itself.
    virtual void shutdown() {}
    // One fixed step of stepMs whole milliseconds; the base adds it to elapsedMs.
    virtual bool update(int stepMs) {
        elapsedMs += stepMs;
        return true;
    }
    // Draws one frame.
    virtual void render(irr::IrrlichtDevice* device) = 0;
    // The state becomes current: restarts elapsedMs.
    virtual void enter() { elapsedMs = 0; }
    // Another state (or none) takes its place.
    virtual void leave() {}
    virtual bool keyDown(const irr::SEvent::SKeyInput*) { return false; }
    virtual bool keyUp(const irr::SEvent::SKeyInput*) { return false; }
    virtual bool mouseDown(const irr::SEvent::SMouseInput*) { return false; }
    virtual bool mouseUp(const irr::SEvent::SMouseInput*) { return false; }
    virtual bool mouseMove(const irr::SEvent::SMouseInput*) { return false; }
    virtual bool mouseWheel(const irr::SEvent::SMouseInput*) { return false; }

    // Fixed steps per second, read by the Application at every step.
    int updateRate() const { return updateRate_; }

protected:
    int updateRate_ = FRAMES_PER_SECOND;
    // Sum of the delivered step lengths since the last enter.
    int elapsedMs = 0;
};
