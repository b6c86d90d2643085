// The program's entry point: everything but the choice of the main state is in runProgram.
#include <string>

#include "app/GameState.h"
#include "app/Program.h"
#include "states/MainState.h"

namespace {

// The state the program runs.
GameState* makeMainState() { return new MainState; }

}  // namespace

int main(int argc, char** argv) {
    const std::string commandLine = joinArguments(argc, argv);
    return runProgram(commandLine.c_str(), makeMainState);
}
