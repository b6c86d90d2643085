#pragma once
// Where the main state finds its files. The defaults are the paths it has always used,
// relative to the working directory; a caller that plays something else (a project, the
// scene installed with the program) fills in other folders before the state's init.
#include <string>

// Files the state loads by default, relative to the working directory.
constexpr const char* MUSIC_FILE = "data/lumokari2_tumelora_voices.ogg";
constexpr const char* FONT_FILE = "data/droid30.fnt";
constexpr const char* ACTOR_DIRECTORY = "data/actors/";
// The folder of the program's own files (font, skin pictures) in those default paths.
constexpr const char* PROGRAM_FILE_FOLDER = "data/";

// The folders and files of one animation and of the program's own files.
struct ScenePaths {
    // The program's own files (the font with its pages, the skin pictures), ending in '/'.
    std::string programFolder = PROGRAM_FILE_FOLDER;
    // The actor pictures with their data files, ending in '/'.
    std::string actorFolder = ACTOR_DIRECTORY;
    // The music.
    std::string musicFile = MUSIC_FILE;

    // A program file given by its default path (PROGRAM_FILE_FOLDER + NAME): NAME in
    // programFolder.
    std::string programFile(const std::string& defaultPath) const {
        const std::string folder = PROGRAM_FILE_FOLDER;
        if (defaultPath.compare(0, folder.size(), folder) != 0) return defaultPath;
        return programFolder + defaultPath.substr(folder.size());
    }
};
