#pragma once
// The two commands that make and grow a project: --new DIR (a song and pictures become a
// project) and --project DIR --add (more pictures drawn over the actors already there).
//
// Nothing is left half made: a new project is built in a hidden work folder beside DIR and
// renamed into place when complete; added actors are written in a hidden work folder inside
// the project and moved in only when all are ready. A stop signal ends the work and removes
// what it made; the work folder of a run killed outright is removed by the next run.
#include <string>
#include <vector>

// Exit code of a project that could not be made, or pictures that could not be added.
constexpr int PROJECT_FAILED = 1;

// Makes a project in dir (a folder that does not exist yet or is empty, and does not hold
// the working folder) from the song and the pictures; says on stdout what it made and how to
// edit it, on stderr why it could not. programName is how the program was started, for the
// commands it suggests. The exit code.
int makeProject(const std::string& dir, const std::string& song,
                const std::vector<std::string>& pictures, const std::string& programName);
// Adds the pictures to the project in dir, drawn over its actors, whose files stay as they
// are; the new tracks are as long as the song, or as the longest track when that is longer.
// Reports as makeProject does. The exit code.
int addToProject(const std::string& dir, const std::vector<std::string>& pictures,
                 const std::string& programName);
