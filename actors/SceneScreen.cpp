// The scene conversions for the screen of the running application's video driver.
#include "actors/Actor.h"
#include "app/Application.h"

irr::core::vector2df screenToScene(const irr::core::vector2df& p) {
    return screenToScene(p, theApplication()->driver()->getScreenSize());
}

irr::core::vector2df sceneToScreen(const irr::core::vector2df& s) {
    return sceneToScreen(s, theApplication()->driver()->getScreenSize());
}
