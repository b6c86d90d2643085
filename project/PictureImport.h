#pragma once
// The pictures of a project become actors. PNG and JPEG pictures are copied, other formats
// converted to PNG with ffmpeg; a layered OpenRaster file gives one actor per visible layer
// that has something drawn on it, and a Photoshop file goes through the import helper to
// OpenRaster first. Every picture is decoded by the engine's own loaders, as the program
// will load it, so a picture that would not show is refused here.
#include <string>
#include <vector>

#include "project/ActorFiles.h"
#include "project/ProjectWork.h"

// Largest picture side accepted, in pixels (textures are padded to a power of two, and
// 8192 is what every OpenGL driver the program runs on offers).
constexpr unsigned PROJECT_PICTURE_MAX_SIDE = 8192;

// Plans the actors of every picture file, in order (a layered file bottom layer first), and
// places them on the stage. work is a folder for converted files; pngBelow says that a PNG
// actor is drawn below the first new one (a JPEG must then become PNG to be drawn over it,
// as the program draws JPEG actors first). False with failure set.
bool planActors(const std::vector<std::string>& pictures, const std::string& work, bool pngBelow,
                std::vector<PlannedActor>& actors, ProjectFailure& failure);
