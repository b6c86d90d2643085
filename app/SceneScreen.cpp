#include "app/SceneScreen.h"

#include "actors/Actor.h"
#include "app/Application.h"

irr::core::vector2df screenToScene(const irr::core::vector2df& p) {
    const Application* app = theApplication();
    return screenToScene(p, irr::core::dimension2du(irr::u32(app->screenWidth()),
                                                    irr::u32(app->screenHeight())));
}

irr::core::vector2df sceneToScreen(const irr::core::vector2df& s) {
    const Application* app = theApplication();
    return sceneToScreen(s, irr::core::dimension2du(irr::u32(app->screenWidth()),
                                                    irr::u32(app->screenHeight())));
}
