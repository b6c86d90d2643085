// The program's entry point: everything but the choice of the main state is in runProgram.
#include <cstdio>
#include <memory>

#include "app/GameState.h"
#include "app/Program.h"
#include "cli/ProgramOptions.h"
#include "editor/DanceCommand.h"
#include "editor/Editor.h"
#include "export/VideoExport.h"
#include "project/ProjectMaker.h"
#include "project/ProjectPaths.h"
#include "states/MainState.h"

namespace {

// Exit code of a wrong command line.
constexpr int EXIT_USAGE = 2;
// Exit code when the project asked for cannot be opened.
constexpr int EXIT_NO_PROJECT = 1;

// Where the state finds its files: data/ of the working folder, a project or the installed scene.
ScenePaths scenePaths;
// The command line's options, for the states made.
ProgramOptions programOptions;

// Hands the state what the command line asks of it beyond its paths.
void applyOptions(MainState& state) {
    state.setScenePaths(scenePaths);
    if (programOptions.audioDelaySet) state.setAudioDelayOverride(programOptions.audioDelayMs);
}

// The state the program runs.
std::unique_ptr<GameState> makeMainState() {
    auto state = std::make_unique<MainState>();
    applyOptions(*state);
    return state;
}

// The state of the editing mode.
std::unique_ptr<GameState> makeEditorState() {
    auto state = std::make_unique<MainState>();
    applyOptions(*state);
    enableEditing(*state);
    return state;
}

}  // namespace

int main(int argc, char** argv) {
    programOptions = parseProgramOptions(argc, argv);
    const ProgramOptions& options = programOptions;
    if (options.help) {
        std::fputs(programUsage(), stdout);
        return 0;
    }
    if (!options.error.empty()) {
        std::fprintf(stderr, "tumelora: %s\n%s", options.error.c_str(), programUsage());
        return EXIT_USAGE;
    }
    const std::string programName = argc > 0 ? argv[0] : "tumelora";
    if (!options.newProjectDir.empty())
        return makeProject(options.newProjectDir, options.musicPath, options.pictures, programName);
    if (options.add) return addToProject(options.projectDir, options.pictures, programName);
    if (options.projectDir.empty()) {
        scenePaths = defaultScenePaths();
    } else {
        std::string error;
        if (!projectScenePaths(options.projectDir, scenePaths, error)) {
            std::fprintf(stderr, "tumelora: %s\n", error.c_str());
            return EXIT_NO_PROJECT;
        }
    }
    if (options.dance) return danceAnimation(scenePaths, DanceSpan{options.fromSeconds, options.toSeconds});
    if (!options.exportPath.empty()) return exportVideo(options.exportPath, scenePaths);
    if (options.edit)
        return runProgram(options.commandLine.c_str(), makeEditorState, createEditorDevice);
    return runProgram(options.commandLine.c_str(), makeMainState);
}
