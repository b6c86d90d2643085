#pragma once
// Where a pixel of a picture lands on stage when it is drawn as the scene draws an actor
// (centred on its position, scaled, turned), by the drawing code's own corner placement
// (placeTransformed): the checks of the rig and the dance hold the rig's own arithmetic
// against it.
#include <irrlicht.h>

#include "actors/Actor.h"
#include "render/Drawable.h"
#include "render/Image.h"

// The stage point (pixels) of pixel (from the top-left corner) of a w x h pixel picture drawn
// with pose: the pixel's share of the placed quad's edges.
inline irr::core::vector2df drawnPicturePoint(float w, float h, const ActorPose& pose,
                                              const irr::core::vector2df& pixel) {
    irr::core::vector3df c[4] = {{-w / 2, -h / 2, 0}, {w / 2, -h / 2, 0}, {-w / 2, h / 2, 0}, {w / 2, h / 2, 0}};
    placeTransformed(c, DRAW_HOTSPOT_X | DRAW_HOTSPOT_Y | DRAW_TRANSFORM | DRAW_ROTATE | DRAW_SCALE,
                     pose.position.X * kSceneUnitPixels, pose.position.Y * kSceneUnitPixels, pose.rotation,
                     pose.scale);
    const float u = pixel.X / w, v = pixel.Y / h;
    return irr::core::vector2df(c[0].X + u * (c[1].X - c[0].X) + v * (c[2].X - c[0].X),
                                c[0].Y + u * (c[1].Y - c[0].Y) + v * (c[2].Y - c[0].Y));
}

// The same for an actor's picture.
inline irr::core::vector2df drawnPoint(const Actor& actor, const ActorPose& pose, const irr::core::vector2df& pixel) {
    return drawnPicturePoint(actor.size.X * kSceneUnitPixels, actor.size.Y * kSceneUnitPixels, pose, pixel);
}
