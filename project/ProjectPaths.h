#pragma once
// Where things are: the program's own files (beside the installed program, or the source
// tree's data/ for a build that is not installed), the scene installed with the program, and
// the files of a project.
//
// A project is a folder:
//   DIR/music.ogg       the song (Ogg Vorbis)
//   DIR/actors/         the actor pictures (.png, .jpg), each with its data file (.data)
// Anything else in it (notes of the editor beside the music, say) is left alone.
#include <string>

#include "states/ScenePaths.h"

// The project's music file and actor folder, inside DIR.
constexpr const char* PROJECT_MUSIC_FILE = "music.ogg";
constexpr const char* PROJECT_ACTOR_FOLDER = "actors/";
// The installed program's own files, relative to the folder of the installed program.
#ifndef TUMELORA_INSTALLED_DATA_FROM_BINARY
#define TUMELORA_INSTALLED_DATA_FROM_BINARY "../share/tumelora"
#endif
// The font file that marks a folder of the program's own files.
constexpr const char* PROGRAM_FILES_MARKER = "droid30.fnt";

// The folder of the running program (from /proc/self/exe), ending in '/'; empty when unknown.
std::string runningProgramFolder();
// The installed program's own files (ending in '/'), or empty when this program is not installed.
std::string installedDataFolder();
// The program's own files (ending in '/'): installed, else the source tree's data/, else data/
// of the working folder.
std::string programFilesFolder();
// The import helper for Photoshop files: installed beside the program's files, else in the
// source tree; empty when neither is there.
std::string psdImportHelper();

// The paths of the project in dir (the font and skins from programFilesFolder); false with
// error set when dir is not a project.
bool projectScenePaths(const std::string& dir, ScenePaths& out, std::string& error);
// The paths of what is played without --project: data/ of the working folder as always,
// unless there is none and the program is installed: then the scene installed with it.
ScenePaths defaultScenePaths();

// The folder part of a path ("." when it has none, "/" for the root), after removing trailing
// slashes, and its last component.
std::string parentFolder(const std::string& path);
std::string lastComponent(const std::string& path);
// The path with one '/' at its end.
std::string withSlash(const std::string& folder);
