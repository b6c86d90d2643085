// The start-up sequence, run with an engine device on the null driver (no window needed).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/GameState.h"
#include "app/Program.h"
#include "app/ShowError.h"

using namespace irr;

namespace {

// What the test factories and states saw.
struct Trace {
    std::vector<std::string> calls;
    std::vector<bool> fullscreenRequests;
    bool initResult = true;
    bool qualityFlagAtInit = false;
    bool receiverWasApplication = false;
};
Trace trace;

IrrlichtDevice* nullDevice(bool fullscreen) {
    trace.fullscreenRequests.push_back(fullscreen);
    return createDevice(video::EDT_NULL, core::dimension2d<u32>(320, 200));
}

IrrlichtDevice* noDevice(bool fullscreen) {
    trace.fullscreenRequests.push_back(fullscreen);
    return nullptr;
}

class TracedState : public GameState {
public:
    ~TracedState() override { trace.calls.push_back("destroy"); }
    bool init() override {
        trace.calls.push_back("init");
        Application* app = theApplication();
        trace.receiverWasApplication = app && app->device()->getEventReceiver() == app;
        trace.qualityFlagAtInit =
            app && app->driver()->getTextureCreationFlag(video::ETCF_OPTIMIZED_FOR_QUALITY);
        return trace.initResult;
    }
    void shutdown() override { trace.calls.push_back("shutdown"); }
    void enter() override { trace.calls.push_back("enter"); }
    void leave() override { trace.calls.push_back("leave"); }
    void render(IrrlichtDevice*) override {
        trace.calls.push_back("render");
        theApplication()->setRunning(false);
    }
};

std::unique_ptr<GameState> makeTracedState() { return std::make_unique<TracedState>(); }
std::unique_ptr<GameState> makeNoState() { return nullptr; }

class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        trace = Trace();
        setenv("TUMELORA_NO_ERROR_BOX", "1", 1);
    }
    void TearDown() override { unsetenv("TUMELORA_NO_ERROR_BOX"); }
};

TEST(CommandLineTest, OnlyALowerCaseWOpensAWindow) {
    EXPECT_FALSE(wantsFullscreen("w"));
    EXPECT_FALSE(wantsFullscreen("window please"));
    EXPECT_TRUE(wantsFullscreen("W"));
    EXPECT_TRUE(wantsFullscreen(" w"));
    EXPECT_TRUE(wantsFullscreen("x w"));
    EXPECT_TRUE(wantsFullscreen(""));
    EXPECT_TRUE(wantsFullscreen(nullptr));
}

TEST(CommandLineTest, ArgumentsAfterTheProgramNameAreJoinedBySingleSpaces) {
    const char* argv[] = {"tumelora", "w", "two words", "", "end"};
    EXPECT_EQ(joinArguments(5, argv), "w two words  end");
    EXPECT_EQ(joinArguments(1, argv), "");
    EXPECT_EQ(joinArguments(2, argv), "w");
}

TEST_F(ProgramTest, NoDeviceReportsAndExitsWithOne) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(runProgram("w", makeTracedState, noDevice), 1);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error: Cannot initialize engine with given video driver & parameters."),
              std::string::npos)
        << err;
    EXPECT_EQ(trace.fullscreenRequests, (std::vector<bool>{false}));
    EXPECT_TRUE(trace.calls.empty());
}

TEST_F(ProgramTest, MissingStateIsReportedAndExitsWithZero) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(runProgram("", makeNoState, nullDevice), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error: Couldn't initialize MainState."), std::string::npos) << err;
    EXPECT_EQ(trace.fullscreenRequests, (std::vector<bool>{true}));
    EXPECT_EQ(theApplication(), nullptr);  // the application is gone again
}

TEST_F(ProgramTest, FailedInitIsReportedAndTheStateReleasesWhatItLoaded) {
    trace.initResult = false;
    testing::internal::CaptureStderr();
    EXPECT_EQ(runProgram("w", makeTracedState, nullDevice), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Error: Couldn't initialize MainState."), std::string::npos) << err;
    EXPECT_EQ(trace.calls, (std::vector<std::string>{"init", "shutdown", "destroy"}));
}

TEST_F(ProgramTest, StateRunsBetweenEnterAndLeaveAndIsShutDown) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(runProgram("w", makeTracedState, nullDevice), 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find("Error:"), std::string::npos) << err;
    EXPECT_EQ(trace.calls, (std::vector<std::string>{"init", "enter", "render", "leave",
                                                     "shutdown", "destroy"}));
    EXPECT_TRUE(trace.receiverWasApplication);
    EXPECT_TRUE(trace.qualityFlagAtInit);
}

}  // namespace
