// scene_proof ACTORDIR OUT.png FRAME...: draws frames of the bundled scene offline, for
// checking the choreography frame by frame. Each actor's track is read from ACTORDIR and eased
// from frame 0 on through the program's own Actor::followPose; each picture is then drawn centred
// on its eased position, turned and scaled (waving actors are drawn flat). With several frames,
// they are placed side by side, at half size, three to a row.
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "actors/ActorDataFile.h"
#include "tools/scene/JpegFile.h"
#include "tools/scene/SceneModel.h"

using namespace scene;

namespace {

constexpr int kPerRow = 3;
constexpr double kThumbScale = 0.5;
constexpr float kSmallestScale = 1e-3f;

cairo_surface_t* loadJpeg(const std::string& path) {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;
    if (!readJpegRgb(path.c_str(), w, h, rgb)) return nullptr;
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = &rgb[size_t(y) * size_t(w) * 3];
        uint32_t* px = reinterpret_cast<uint32_t*>(data + size_t(y) * size_t(stride));
        for (int x = 0; x < w; ++x)
            px[x] = 0xFF000000u | uint32_t(row[size_t(x) * 3]) << 16 | uint32_t(row[size_t(x) * 3 + 1]) << 8 |
                    row[size_t(x) * 3 + 2];
    }
    cairo_surface_mark_dirty(s);
    return s;
}

struct Cast {
    cairo_surface_t* picture;
    std::vector<ActorPose> poses;
};

// The eased pose of a track at frame, from frame 0 on: the program's own actor easing.
ActorPose easedAt(const std::vector<ActorPose>& poses, int frame) {
    Actor actor("proof", nullptr, false);
    actor.poses = poses;
    actor.current = poses.front();
    for (int f = 1; f <= frame; ++f) actor.followPose(f);
    return actor.current;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: scene_proof ACTORDIR OUT.png FRAME...\n");
        return 2;
    }
    const std::string dir = argv[1];
    const Picture* order[] = {&kBackdrop,    &kSunPicture,  &kCloudBig,      &kCloudSmall,     &kBunting,
                              &kBannerLeft,  &kBannerRight, &kSpotLeft,      &kSpotRight,      &kSpeakerLeft,
                              &kSpeakerRight, &kNoteA,      &kNoteB,         &kConfetti,       &kShadow,         &kShinLeft,
                              &kShinRight,   &kThighLeft,   &kThighRight,    &kTorso,          &kHead,
                              &kUpperArmLeft, &kUpperArmRight, &kForearmLeft, &kForearmRight,  &kPlantLeft,
                              &kPlantRight};
    std::vector<Cast> cast;
    for (const Picture* p : order) {
        const std::string file = dir + "/" + p->file;
        cairo_surface_t* s = p == &kBackdrop ? loadJpeg(file) : cairo_image_surface_create_from_png(file.c_str());
        std::ifstream in(dir + "/" + actorNameFromFileName(p->file) + kActorDataSuffix, std::ios::binary);
        ActorData data;
        if (!s || cairo_surface_status(s) != CAIRO_STATUS_SUCCESS || !in ||
            !actorDataAccepted(readActorData(in, data)) || data.poses.empty()) {
            std::fprintf(stderr, "scene_proof: cannot read %s or its track\n", file.c_str());
            return 1;
        }
        cast.push_back({s, data.poses});
    }
    const int frames = argc - 3;
    const bool single = frames == 1;
    const double k = single ? 1.0 : kThumbScale;
    const int cols = single ? 1 : std::min(frames, kPerRow), rows = single ? 1 : (frames + kPerRow - 1) / kPerRow;
    cairo_surface_t* out =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, int(kStageW * k) * cols, int(kStageH * k) * rows);
    cairo_t* cr = cairo_create(out);
    for (int i = 0; i < frames; ++i) {
        const int frame = std::atoi(argv[3 + i]);
        cairo_save(cr);
        cairo_translate(cr, (i % kPerRow) * kStageW * k, (i / kPerRow) * kStageH * k);
        cairo_scale(cr, k, k);
        cairo_rectangle(cr, 0, 0, kStageW, kStageH);
        cairo_clip(cr);
        for (const Cast& c : cast) {
            const ActorPose p = easedAt(c.poses, frame);
            cairo_save(cr);
            cairo_translate(cr, p.position.X * kUnitPixels, p.position.Y * kUnitPixels);
            cairo_rotate(cr, p.rotation);
            // A vanishing scale shows nothing (and would make the matrix singular).
            if (std::fabs(p.scale.X) > kSmallestScale && std::fabs(p.scale.Y) > kSmallestScale) {
                cairo_scale(cr, p.scale.X, p.scale.Y);
                const int w = cairo_image_surface_get_width(c.picture), h = cairo_image_surface_get_height(c.picture);
                cairo_set_source_surface(cr, c.picture, -w / 2.0, -h / 2.0);
                cairo_paint(cr);
            }
            cairo_restore(cr);
        }
        cairo_move_to(cr, 20, 60);
        cairo_set_font_size(cr, 48);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_show_text(cr, std::to_string(frame).c_str());
        cairo_restore(cr);
    }
    cairo_destroy(cr);
    const cairo_status_t status = cairo_surface_write_to_png(out, argv[2]);
    const bool ok = status == CAIRO_STATUS_SUCCESS;
    if (!ok) std::fprintf(stderr, "scene_proof: cannot write %s: %s\n", argv[2], cairo_status_to_string(status));
    cairo_surface_destroy(out);
    for (Cast& c : cast) cairo_surface_destroy(c.picture);
    return ok ? 0 : 1;
}
