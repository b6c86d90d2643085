#pragma once
// Making a project from a song and pictures (--new), and adding pictures to one (--add).
//
// The song goes through ffmpeg into the project's Ogg Vorbis music. PNG and JPEG pictures
// are copied, other formats converted to PNG; a layered OpenRaster or Photoshop file gives
// one actor per visible layer, placed where it sits on its canvas with the canvas fitted to
// the stage. Actors are numbered in the order they are given (a layered file bottom layer
// first), so the program draws them in that order; every actor starts with a track as long
// as the song holding its starting pose. Nothing is left half made: a new project is built
// in a hidden folder beside DIR and renamed into place when complete; added actors are
// written in a hidden folder inside the project and moved in only when all are ready.
#include <cstdint>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "platform/Timebase.h"
#include "render/PictureLimits.h"

// Exit code of a project that could not be made, or pictures that could not be added.
constexpr int PROJECT_FAILED = 1;
// Most actors a project holds: their file names carry a three-digit number for their order.
constexpr int PROJECT_MAX_ACTORS = 999;
// Digits of that number.
constexpr int ACTOR_NUMBER_DIGITS = 3;
// Most bytes of an actor's name taken from a picture's or a layer's name.
constexpr size_t ACTOR_NAME_MAX_BYTES = 60;
// Largest picture side accepted, in pixels: the program's own limit for every picture.
constexpr unsigned PROJECT_PICTURE_MAX_SIDE = PICTURE_MAX_SIDE_PIXELS;
// The project's music: sample rate, channels and the Vorbis quality ffmpeg is asked for.
constexpr int PROJECT_MUSIC_CHANNELS = 2;
constexpr const char* PROJECT_MUSIC_QUALITY = "6";

// Makes a project in dir (a folder that does not exist yet or is empty) from the song and
// the pictures; says on stdout what it made and how to edit it, on stderr why it could not.
// programName is how the program was started, for the commands it suggests. The exit code.
int makeProject(const std::string& dir, const std::string& song,
                const std::vector<std::string>& pictures, const std::string& programName);
// Adds the pictures to the project in dir, drawn over its actors, whose files stay as they
// are. Reports as makeProject does. The exit code.
int addToProject(const std::string& dir, const std::vector<std::string>& pictures,
                 const std::string& programName);

// The actor name made from a picture's or a layer's name: everything up to a NUL byte,
// without control characters, with characters that file names cannot hold (or that some
// systems refuse) turned into '-', at most ACTOR_NAME_MAX_BYTES bytes (whole UTF-8
// characters), "layer" when nothing is left.
std::string actorNameFor(const std::string& text);
// The file name of actor number n (from 0) with the given name and extension ("007-sun.png").
std::string numberedActorFile(int n, const std::string& name, const std::string& extension);
// The number at the start of an actor file name ("007-sun.png" gives 7), or -1 without one.
int actorFileNumber(const std::string& fileName);
// Frames of the animation for a song of samples at rate: every frame that begins before the
// song ends (at least 1).
int framesForSong(int64_t samples, long rate);
// The pose that shows a layer of w x h pixels at (x, y) on a canvas of cw x ch pixels, the
// canvas scaled to fit the stage and centred on it.
ActorPose layerPose(double cw, double ch, double x, double y, double w, double h);
// The pose of a picture of w x h pixels that is not from a layered file: one as large as the
// stage in either direction (a backdrop) fills the stage's middle; the others, numbered
// slot from 0 among slots, stand side by side across the stage at half its height. Pictures
// larger than the stage are scaled down to fit it.
ActorPose picturePose(double w, double h, int slot, int slots);
// True when a picture of w x h pixels counts as a backdrop for picturePose.
bool isBackdrop(double w, double h);
