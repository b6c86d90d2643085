#include "app/ProgramOptions.h"

#include <cstring>

#include "app/Program.h"

ProgramOptions parseProgramOptions(int argc, const char* const* argv) {
    ProgramOptions options;
    options.commandLine = joinArguments(argc, argv);
    options.fullscreen = wantsFullscreen(options.commandLine.c_str());
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (std::strncmp(word, "--", 2) != 0) continue;
        if (std::strcmp(word, "--help") == 0) {
            options.help = true;
        } else if (std::strcmp(word, "--edit") == 0) {
            options.edit = true;
        } else if (std::strcmp(word, "--export") == 0) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                options.error = "--export needs the name of the video file to write";
                return options;
            }
            options.exportPath = argv[++i];
        } else {
            options.error = std::string("unknown option ") + word;
            return options;
        }
    }
    if (options.edit && !options.exportPath.empty()) {
        options.error = "--edit and --export cannot be used together";
    }
    return options;
}

const char* programUsage() {
    return "usage: tumelora [w] [--edit | --export FILE] [--help]\n"
           "Plays the animation in data/ with its music; run it from the folder that holds data/.\n"
           "  w              a first argument starting with a lower-case w opens a 1280 x 720\n"
           "                 window instead of full screen\n"
           "  --edit         the editor, always in a 1600 x 1016 window (with or without w):\n"
           "                 the panel drawn around the stage, the pointer shown, the selected\n"
           "                 actor outlined; starts stopped at frame 0; Space plays and stops,\n"
           "                 Ctrl+Z undoes an edit, Ctrl+Shift+Z or Ctrl+Y redoes it\n"
           "  --export FILE  renders offline the frames playback shows (from frame 0 to the\n"
           "                 music's end or the last frame, whichever comes first) and writes\n"
           "                 a video with the music\n"
           "                 (needs ffmpeg; the extension chooses the format: .mp4, .webm,\n"
           "                 .gif, or a PNG sequence such as frames-%05d.png; GIF at 30 fps\n"
           "                 and PNG frames have no sound); needs a display or Xvfb\n"
           "  --help         prints this text\n";
}
