// The program's entry point: everything but the choice of the main state is in runProgram.
#include <cstdio>

#include "app/GameState.h"
#include "app/Program.h"
#include "app/ProgramOptions.h"
#include "editor/Editor.h"
#include "export/VideoExport.h"
#include "states/MainState.h"

namespace {

// Exit code of a wrong command line.
constexpr int EXIT_USAGE = 2;

// The state the program runs.
GameState* makeMainState() { return new MainState; }

// The state of the editing mode.
GameState* makeEditorState() {
    MainState* state = new MainState;
    enableEditing(*state);
    return state;
}

}  // namespace

int main(int argc, char** argv) {
    const ProgramOptions options = parseProgramOptions(argc, argv);
    if (options.help) {
        std::fputs(programUsage(), stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "tumelora: %s\n%s", options.error.c_str(), programUsage());
        return EXIT_USAGE;
    }
    if (!options.exportPath.empty()) return exportVideo(options.exportPath);
    if (options.edit)
        return runProgram(options.commandLine.c_str(), makeEditorState, createEditorDevice);
    return runProgram(options.commandLine.c_str(), makeMainState);
}
