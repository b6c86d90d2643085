#pragma once
// --dance: every rigged character of an animation dances on its song's beats, as D makes one
// dance in the editor (Dance.h), over the whole song or a span of it, and the tracks are saved
// as "Save" saves them, the ones they replace kept beside them as NAME.data.before-dance
// (PreviousTracks.h). A rigged character is an actor of rig.txt that hangs from nothing, with
// everything hanging from it; the other actors are left as they are.
//
// It needs no display: the pictures are read for their sizes on the engine's null driver
// (HeadlessActors.h). The beats come from the song's beats file, or, without one, from the beat
// tracker, kept in that file as the editor keeps them; the loudness from the song itself. It
// says on stdout what it changed, on stderr what it could not use and why it failed. Ctrl+C,
// kill or a hangup end it; until the tracks are written nothing has changed.
#include <string>

#include "states/ScenePaths.h"

// Added to a data file's name for the track a dance replaced.
constexpr const char* DANCE_PREVIOUS_SUFFIX = ".before-dance";
// Exit code of a dance that could not be made or saved (or of characters left out).
constexpr int DANCE_FAILED = 1;

// The span of the song danced, in seconds; a negative end: the end of the animation.
struct DanceSpan {
    double fromSeconds = 0.0;
    double toSeconds = -1.0;
};

// Dances the rigged characters of the animation whose files paths names, over span; the exit code.
int danceAnimation(const ScenePaths& paths, const DanceSpan& span);
