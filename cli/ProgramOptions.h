#pragma once
// The program's command line. A first argument whose first character is a lower-case 'w'
// opens a window instead of full screen; words that start with "-" are options; the words
// after --new DIR or --add are pictures. Anything else (a word the program does not know, an
// option given twice) makes the command line wrong: the program says why and ends.
#include <string>
#include <vector>

// What the command line asks for.
struct ProgramOptions {
    // Input, joined: the arguments after the program's name, separated by single spaces.
    std::string commandLine;

    // Output.
    bool fullscreen = true;     // false when the command line starts with 'w'
    bool help = false;          // "-h" or "--help" anywhere: print the usage and end
    bool edit = false;          // "--edit": the visible editor
    std::string exportPath;     // "--export FILE": write the animation to a video file
    std::string projectDir;     // "--project DIR": play, edit or export the project in DIR
    std::string newProjectDir;  // "--new DIR": make a project in DIR
    std::string musicPath;      // "--music SONG": the song of the new project
    bool add = false;           // "--add": add pictures to the project of --project
    bool dance = false;         // "--dance": the rigged characters dance on the song's beats
    double fromSeconds = 0.0;   // "--from SECONDS": where the dance starts
    double toSeconds = -1.0;    // "--to SECONDS": where it ends (negative: the animation's end)
    bool spanGiven = false;     // --from or --to was given
    std::vector<std::string> pictures;  // the words after --new DIR or --add: pictures
    bool audioDelaySet = false;  // "--audio-delay MS": the sound's delay for this run
    double audioDelayMs = 0.0;
    std::string error;          // not empty: the command line is wrong, and why
};

// Reads the arguments after the program's name (argv[1] to argv[argc - 1]).
ProgramOptions parseProgramOptions(int argc, const char* const* argv);
// The text "--help" prints: how to start the program and every option.
const char* programUsage();
