#pragma once
// An animation's actors read from their folder without a display, for the commands that change
// tracks from the command line: the same actors the player loads (every ".jpg" picture, then
// every ".png" one, each group in the engine's file-list order, a second picture of one name
// left out), each with its track and flags and its size in scene units. The pictures are
// decoded by the engine's own loaders on its null driver (no window, no display), so a picture
// the player refuses is refused here too, with the same words, and the sizes (on which the rig's
// pivots stand) are the player's.
#include <memory>
#include <string>
#include <vector>

#include "actors/Actor.h"

// The actors of a folder.
struct HeadlessActors {
    std::vector<std::unique_ptr<Actor>> store;  // owns them, in actor order
    std::vector<Actor*> actors;                 // the same, borrowed
    std::vector<std::string> problems;          // what could not be loaded, one line each
};

// Loads the actors of folder (ending in '/'); false with the reason in error when the folder
// cannot be listed or the engine cannot start.
bool loadHeadlessActors(const std::string& folder, HeadlessActors& out, std::string& error);
