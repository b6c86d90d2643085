#include "cli/ProgramOptions.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>

#include "app/Program.h"
#include "platform/UserSettings.h"

namespace {

// The words that ask for the help, wherever they stand.
bool isHelp(const char* word) { return std::strcmp(word, "-h") == 0 || std::strcmp(word, "--help") == 0; }

// Reads the argument of the option at argv[i] into value; false (error set) when it is missing.
bool takeArgument(int argc, const char* const* argv, int& i, std::string& value,
                  ProgramOptions& options, const std::string& missing) {
    if (i + 1 >= argc || argv[i + 1][0] == '\0') {
        options.error = missing;
        return false;
    }
    value = argv[++i];
    return true;
}

// Reads the seconds of the option at argv[i] into value; false (error set) when they are missing
// or not a number of seconds (a decimal number, 0 or more).
bool takeSeconds(int argc, const char* const* argv, int& i, double& value, ProgramOptions& options) {
    const std::string option = argv[i];
    const std::string wrong = option + " needs a time in seconds from the song's start, such as 12.5";
    std::string text;
    if (!takeArgument(argc, argv, i, text, options, wrong)) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    const bool plain = text.find_first_not_of("0123456789.") == std::string::npos;
    if (!plain || end != text.c_str() + text.size() || !std::isfinite(value)) {
        options.error = wrong + " (not \"" + text + "\")";
        return false;
    }
    return true;
}

// The error for a word that starts with '-' but is no option.
std::string unknownOption(const std::string& word) {
    static const char* const options[] = {"--edit", "--export", "--project", "--new", "--music", "--add",
                                          "--dance", "--from", "--to", "--audio-delay"};
    for (const char* known : options)
        if ("-" + word == known) return "unknown option " + word + ": did you mean " + known + "?";
    return "unknown option " + word;
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
    if (o.dance && (making || o.add || o.edit || !o.exportPath.empty()))
        return "--dance only dances: make, add to, edit or export a project with a command of its own";
    if (!o.dance && o.spanGiven)
        return "--from and --to belong to --dance";
    if (o.toSeconds >= 0.0 && o.fromSeconds >= o.toSeconds) return "--from must come before --to";
    if (o.audioDelaySet && (making || o.add || o.dance || !o.exportPath.empty()))
        return "--audio-delay belongs to playing or editing, where the music is heard";
    return "";
}

// Reads the words into options; false (error set) at the first word that is wrong.
bool readWords(int argc, const char* const* argv, ProgramOptions& options) {
    // Plain words are pictures once --new DIR or --add has been read.
    bool picturesFollow = false;
    std::set<std::string> seen;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool option = word.size() > 1 && word[0] == '-' &&
                            (word[1] == '-' || !picturesFollow);
        if (!option) {
            if (i == 1 && word[0] == 'w') continue;  // the window
            if (picturesFollow) {
                if (!word.empty()) options.pictures.push_back(word);
                continue;
            }
            options.error = "unexpected argument \"" + word + "\"";
            return false;
        }
        if (isHelp(word.c_str())) continue;
        if (!seen.insert(word).second) {
            options.error = word + " is given twice";
            return false;
        }
        if (word == "--edit") {
            options.edit = true;
        } else if (word == "--export") {
            if (!takeArgument(argc, argv, i, options.exportPath, options,
                              "--export needs the name of the video file to write"))
                return false;
        } else if (word == "--project") {
            if (!takeArgument(argc, argv, i, options.projectDir, options,
                              "--project needs the project's folder"))
                return false;
        } else if (word == "--new") {
            if (!takeArgument(argc, argv, i, options.newProjectDir, options,
                              "--new needs the folder of the new project"))
                return false;
            picturesFollow = true;
        } else if (word == "--music") {
            if (!takeArgument(argc, argv, i, options.musicPath, options, "--music needs the song's file"))
                return false;
        } else if (word == "--add") {
            options.add = true;
            picturesFollow = true;
        } else if (word == "--dance") {
            options.dance = true;
        } else if (word == "--from" || word == "--to") {
            options.spanGiven = true;
            if (!takeSeconds(argc, argv, i, word == "--from" ? options.fromSeconds : options.toSeconds, options))
                return false;
        } else if (word == "--audio-delay") {
            std::string value, why;
            if (!takeArgument(argc, argv, i, value, options, "--audio-delay needs a number of milliseconds"))
                return false;
            if (!parseDelayMs(value, options.audioDelayMs, why)) {
                options.error = "--audio-delay: " + why;
                return false;
            }
            options.audioDelaySet = true;
        } else {
            options.error = unknownOption(word);
            return false;
        }
    }
    return true;
}

}  // namespace

ProgramOptions parseProgramOptions(int argc, const char* const* argv) {
    ProgramOptions options;
    options.commandLine = joinArguments(argc, argv);
    options.fullscreen = wantsFullscreen(options.commandLine.c_str());
    for (int i = 1; i < argc; ++i) options.help = options.help || isHelp(argv[i]);
    if (readWords(argc, argv, options)) options.error = conflicts(options);
    return options;
}

const char* programUsage() {
    return "usage: tumelora [w] [--project DIR] [--edit] [--audio-delay MS]\n"
           "       tumelora [--project DIR] --export FILE\n"
           "       tumelora --new DIR --music SONG [PICTURE ...]\n"
           "       tumelora --project DIR --add PICTURE ...\n"
           "       tumelora [--project DIR] --dance [--from SECONDS] [--to SECONDS]\n"
           "       tumelora -h | --help\n"
           "Plays the animation in data/ of the working folder with its music, full screen at\n"
           "the display's own size (the installed program, where there is no data/: the\n"
           "scene installed with it), until the music ends or Escape, closing the window,\n"
           "Ctrl+C or kill ends it.\n"
           "  w              a first argument starting with a lower-case w: a 1280 x 720\n"
           "                 window instead of full screen\n"
           "  --edit         the editor, in a resizable window (1600 x 960, or less on a\n"
           "                 smaller screen) with or without w: tool bar, stage, timeline,\n"
           "                 the selected actor's properties and the layer list laid out for\n"
           "                 the window's size; starts stopped at frame 0; F1 lists every key\n"
           "                 and mouse action\n"
           "  --export FILE  renders offline the frames playback shows (from frame 0 to the\n"
           "                 music's end or the last frame, whichever comes first) and writes\n"
           "                 a video with the music (needs ffmpeg; the extension chooses the\n"
           "                 format: .mp4, .webm, .gif, or a PNG sequence such as\n"
           "                 frames-%05d.png; GIF at 30 fps and PNG frames have no sound);\n"
           "                 needs a display or Xvfb\n"
           "  --project DIR  plays (or with --edit edits, with --export exports) the project\n"
           "                 in DIR instead of data/, from any working folder\n"
           "  --new DIR      makes a project in DIR (a new or empty folder, not the working\n"
           "                 folder) from a song and pictures, then says how to edit it\n"
           "  --music SONG   the song of --new, any format ffmpeg reads (MP3, WAV, FLAC, Ogg,\n"
           "                 M4A...); stored as Ogg Vorbis\n"
           "  PICTURE        PNG and JPEG pictures are copied, other formats converted to PNG;\n"
           "                 a layered OpenRaster (.ora) or Photoshop (.psd) file gives one\n"
           "                 actor per visible layer, where it sits on its canvas; every actor\n"
           "                 starts on the stage with a track as long as the song\n"
           "  --add          with --project DIR: adds the pictures (layered files too) on top\n"
           "                 of the project's actors, leaving their files alone\n"
           "  --dance        the rigged characters (each part of rig.txt that hangs from\n"
           "                 nothing, with what hangs from it) dance on the song's beats, as D\n"
           "                 does in the editor, and the tracks are saved; the tracks they\n"
           "                 replace are kept beside them as NAME.data.before-dance; needs no\n"
           "                 display\n"
           "  --from SECONDS, --to SECONDS\n"
           "                 with --dance: dance only from and to these times of the song\n"
           "  --audio-delay MS\n"
           "                 the sound reaches your ears MS milliseconds later than the\n"
           "                 program can tell (Bluetooth headphones: 150 to 250): the\n"
           "                 picture, and the editor's takes, wait for it; for this run, in\n"
           "                 place of audio-delay-ms in ~/.config/tumelora/settings (a\n"
           "                 number from -1000 to 1000)\n"
           "  -h, --help     prints this text\n"
           "Any other argument, or an option given twice, is refused (exit code 2).\n";
}
