#pragma once
// The scene conversions for the picture the running application draws (its stage when it
// scales one onto the screen): Actor.h's conversions at the application's screen size.
#include <irrlicht.h>

// Screen pixels to scene units, for the screen size of the application's video driver.
irr::core::vector2df screenToScene(const irr::core::vector2df& p);
// Scene units to screen pixels, for the screen size of the application's video driver.
irr::core::vector2df sceneToScreen(const irr::core::vector2df& s);
