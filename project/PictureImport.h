#pragma once
// The pictures of a project become actors. PNG and JPEG pictures are copied, other formats
// converted to PNG with ffmpeg; a layered OpenRaster file gives one actor per visible layer
// that has something drawn on it, and a Photoshop file goes through the import helper to
// OpenRaster first. Pictures of one size exported one per layer by a drawing program become
// layers as well, each trimmed to its visible pixels (Placement.h says which pictures those
// are). Every picture is decoded by the engine's own loaders, as the program will load it, so
// a picture that would not show is refused here.
#include <string>
#include <vector>

#include "project/ActorFiles.h"
#include "project/ProjectWork.h"

// Plans the actors of every picture file, in order (a layered file bottom layer first), and
// places them on the stage (Placement.h) over the existing actors of a project (none for a new
// one; when a PNG actor is among them, a JPEG must become PNG to be drawn over it, as the
// program draws JPEG actors first). work is a folder for converted files. False with failure
// set.
bool planActors(const std::vector<std::string>& pictures, const std::string& work,
                const ExistingActors& existing, std::vector<PlannedActor>& actors,
                ProjectFailure& failure);
