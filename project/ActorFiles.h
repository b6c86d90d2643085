#pragma once
// The actors of a project as files: "actors/NNN-name.png" (or ".jpg") with its track
// "actors/NNN-name.data" beside it. NNN, ACTOR_NUMBER_DIGITS digits, orders the drawing (the
// program draws actors in the order of their file names). Naming them, writing new ones, and
// looking at those already there.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "project/ProjectWork.h"
#include "render/Types.h"

// Most actors a project holds, numbered from 0: the number has ACTOR_NUMBER_DIGITS digits.
constexpr int PROJECT_MAX_ACTORS = 999;
// Digits of an actor file's number.
constexpr int ACTOR_NUMBER_DIGITS = 3;
// Most bytes of an actor's name taken from a picture's or a layer's name.
constexpr size_t ACTOR_NAME_MAX_BYTES = 60;

// One actor to be written: its picture file's contents and its starting pose.
struct PlannedActor {
    std::string origin;          // what it was made from, for the report
    std::string name;            // its name, without the number
    std::string extension;       // ".png" or ".jpg"
    std::vector<uint8_t> bytes;  // its picture file
    double width = 0, height = 0;
    RectF visible;               // its pixels that are not fully transparent, within their smallest
                                 // rectangle (the whole picture without transparency, empty without any)
    bool layered = false;        // a layer of a canvas: placed where it sits on it
    ActorPose pose;
};

// The actor name made from a picture's or a layer's name: everything up to a NUL byte,
// without control characters, with characters that file names cannot hold (or that some
// systems refuse) turned into '-', at most ACTOR_NAME_MAX_BYTES bytes (whole UTF-8
// characters), "layer" when nothing is left.
std::string actorNameFor(const std::string& text);
// The file name of actor number n (from 0) with the given name and extension ("007-sun.png").
std::string numberedActorFile(int n, const std::string& name, const std::string& extension);
// The number at the start of an actor file name ("007-sun.png" gives 7), or -1 without one.
int actorFileNumber(const std::string& fileName);

// The actor files already in a project's actor folder.
struct ExistingActors {
    std::string folder;                 // the actor folder, ending in '/'
    std::vector<std::string> pictures;  // the pictures' file names
    std::vector<ActorPose> firstPoses;  // each picture's first pose (the default one without a track)
    int largestNumber = -1;             // the largest number among them (-1: none)
    int longestTrack = 0;               // the longest readable track, in frames
    bool anyPng = false;                // a PNG actor is there (a JPEG after it must be PNG)
};
// Looks at the actors already in folder (ending in '/').
ExistingActors existingActors(const std::string& folder);

// Empty when `added` more actors, numbered from `first`, fit beside the `existing` ones
// within PROJECT_MAX_ACTORS; otherwise why not.
std::string actorLimitProblem(size_t existing, int first, size_t added);

// Writes the actors numbered from first into folder (ending in '/'), each with a track of
// frames poses; the file names written go to written, each picture before its data file.
// False with failure set (also when a stop signal arrived).
bool writeActors(const std::vector<PlannedActor>& actors, int first, int frames,
                 const std::string& folder, std::vector<std::string>& written,
                 ProjectFailure& failure);
