#include "cli/ProgramOptions.h"

#include <cstring>

#include "app/Program.h"

namespace {

// Reads the argument of the option at argv[i] into value; false (error set) when it is missing.
bool takeArgument(int argc, const char* const* argv, int& i, std::string& value,
                  ProgramOptions& options, const char* what) {
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        options.error = std::string(argv[i]) + " needs " + what;
        return false;
    }
    value = argv[++i];
    return true;
}

// The first rule the chosen options break, or empty.
std::string conflicts(const ProgramOptions& o) {
    const bool making = !o.newProjectDir.empty();
    if (o.edit && !o.exportPath.empty()) return "--edit and --export cannot be used together";
    if (making && (o.edit || !o.exportPath.empty() || !o.projectDir.empty() || o.add))
        return "--new makes a project and does nothing else: open it afterwards with --project DIR";
    if (making && o.musicPath.empty())
        return "--new needs --music SONG (the song the animation is made for)";
    if (!making && !o.musicPath.empty()) return "--music belongs to --new DIR";
    if (o.add && o.projectDir.empty()) return "--add needs --project DIR (the project to add to)";
    if (o.add && (o.edit || !o.exportPath.empty()))
        return "--add only adds pictures: edit or export with a second command";
    if (o.add && o.pictures.empty()) return "--add needs at least one picture";
    return "";
}

}  // namespace

ProgramOptions parseProgramOptions(int argc, const char* const* argv) {
    ProgramOptions options;
    options.commandLine = joinArguments(argc, argv);
    options.fullscreen = wantsFullscreen(options.commandLine.c_str());
    // Plain words are pictures once --new DIR or --add has been read.
    bool picturesFollow = false;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (std::strncmp(word, "--", 2) != 0) {
            if (picturesFollow && word[0] != '\0') options.pictures.push_back(word);
            continue;
        }
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
        } else if (std::strcmp(word, "--project") == 0) {
            if (!takeArgument(argc, argv, i, options.projectDir, options, "the project's folder"))
                return options;
        } else if (std::strcmp(word, "--new") == 0) {
            if (!takeArgument(argc, argv, i, options.newProjectDir, options,
                              "the folder of the new project"))
                return options;
            picturesFollow = true;
        } else if (std::strcmp(word, "--music") == 0) {
            if (!takeArgument(argc, argv, i, options.musicPath, options, "the song's file"))
                return options;
        } else if (std::strcmp(word, "--add") == 0) {
            options.add = true;
            picturesFollow = true;
        } else {
            options.error = std::string("unknown option ") + word;
            return options;
        }
    }
    options.error = conflicts(options);
    return options;
}

const char* programUsage() {
    return "usage: tumelora [w] [--project DIR] [--edit | --export FILE] [--help]\n"
           "       tumelora --new DIR --music SONG [PICTURE ...]\n"
           "       tumelora --project DIR --add PICTURE ...\n"
           "Plays the animation in data/ of the working folder with its music (the installed\n"
           "program, where there is no data/: the scene installed with it).\n"
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
           "  --project DIR  plays (or with --edit edits, with --export exports) the project\n"
           "                 in DIR instead of data/, from any working folder\n"
           "  --new DIR      makes a project in DIR (a new or empty folder) from a song and\n"
           "                 pictures, then says how to edit it:\n"
           "  --music SONG   the song of --new, any format ffmpeg reads (MP3, WAV, FLAC, Ogg,\n"
           "                 M4A...); stored as Ogg Vorbis\n"
           "  PICTURE        PNG and JPEG pictures are copied, other formats converted to PNG;\n"
           "                 a layered OpenRaster (.ora) or Photoshop (.psd) file gives one\n"
           "                 actor per visible layer, where it sits on its canvas; every actor\n"
           "                 starts on the stage with a track as long as the song\n"
           "  --add          with --project DIR: adds the pictures (layered files too) on top\n"
           "                 of the project's actors, leaving their tracks alone\n"
           "  --help         prints this text\n";
}
