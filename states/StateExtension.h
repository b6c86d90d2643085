#pragma once
// What a mode beyond the player (the editor) hooks into the main state with. The main state
// owns the extension and hands it each of these moments; without one, the state behaves as
// the player and nothing here runs.
#include <irrlicht.h>

class StateExtension {
public:
    virtual ~StateExtension() = default;
    // Takes the place of the state's enter (no pause, no playback).
    virtual void enter() = 0;
    // The state is being left (the program ends by any of its ways).
    virtual void leave() = 0;
    // Before the state releases its resources.
    virtual void shutdown() = 0;
    // After each fixed step of the state.
    virtual void afterUpdate() = 0;
    // Takes the place of the state's render.
    virtual void render(irr::IrrlichtDevice* device) = 0;
    // A key press; true when the extension used it (the state then does nothing with it).
    virtual bool keyDown(const irr::SEvent::SKeyInput* key) = 0;
    // Take the place of the state's mouse handlers.
    virtual void mouseDown(const irr::SEvent::SMouseInput* mouse) = 0;
    virtual void mouseUp(const irr::SEvent::SMouseInput* mouse) = 0;
    virtual void mouseMove(const irr::SEvent::SMouseInput* mouse) = 0;
    virtual void mouseWheel(const irr::SEvent::SMouseInput* mouse) = 0;
};
