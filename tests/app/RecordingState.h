#pragma once
// A game state that records every call the application makes on it.
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/GameState.h"

class RecordingState : public GameState {
public:
    std::vector<std::string> calls;   // handler names in call order
    std::vector<int> steps;           // step lengths delivered to update
    const void* lastRecord = nullptr; // engine record the last input handler received
    bool handlerResult = false;       // what every input handler returns
    int renders = 0;
    std::vector<size_t> stepsAtRender; // steps taken so far, at each render
    int stopAfterRenders = -1;        // ends the loop after this many renders (-1: never)
    int rateAfterFirstStep = 0;       // when > 0, the update rate from the second step on

    bool update(int stepMs) override {
        steps.push_back(stepMs);
        if (rateAfterFirstStep > 0) updateRate_ = rateAfterFirstStep;
        return GameState::update(stepMs);
    }
    void render(irr::IrrlichtDevice*) override {
        ++renders;
        stepsAtRender.push_back(steps.size());
        if (renders == stopAfterRenders) theApplication()->setRunning(false);
    }
    void enter() override {
        calls.push_back("enter");
        GameState::enter();
    }
    void leave() override { calls.push_back("leave"); }
    bool keyDown(const irr::SEvent::SKeyInput* k) override { return record("keyDown", k); }
    bool keyUp(const irr::SEvent::SKeyInput* k) override { return record("keyUp", k); }
    bool mouseDown(const irr::SEvent::SMouseInput* m) override { return record("mouseDown", m); }
    bool mouseUp(const irr::SEvent::SMouseInput* m) override { return record("mouseUp", m); }
    bool mouseMove(const irr::SEvent::SMouseInput* m) override { return record("mouseMove", m); }
    bool mouseWheel(const irr::SEvent::SMouseInput* m) override {
        return record("mouseWheel", m);
    }

    int elapsed() const { return elapsedMs; }
    void setRate(int rate) { updateRate_ = rate; }

private:
    bool record(const char* name, const void* rec) {
        calls.push_back(name);
        lastRecord = rec;
        return handlerResult;
    }
};

// A state that keeps every base behaviour (only render is required).
class PlainState : public GameState {
public:
    void render(irr::IrrlichtDevice*) override {}
    int elapsed() const { return elapsedMs; }
};
