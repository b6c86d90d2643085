// e2e_tool: the end-to-end tests' helper around the real program. It writes their test
// data and reads back what the program produced:
//   picture PATH W H RRGGBB              a flat-coloured PNG or JPEG (by the extension)
//   track PATH N X0 Y0 [DX DY ROT SX SY VERSION]
//                                        a data file of N poses, x = X0 + DX * i, y = Y0 + DY * i
//                                        (VERSION 1 has no flag bytes; default 2)
//   segments PATH N X Y [N X Y ...]      a data file of N poses at (X, Y), then the next N at
//                                        the next place, and so on (rotation 0, scale 1)
//   dump PATH                            "status version count bindScale wobble", then one line
//                                        "i x y rotation scaleX scaleY" per pose
//   recovery PATH NAME                   actor NAME's track in the editor's recovery file PATH, as
//                                        dump prints it ("missing" when the file has none)
//   audio RAW                            statistics of 16-bit stereo samples (SDL's disk audio):
//                                        "frames F loud L peak P first I" (I: the first loud
//                                        frame, -1 if none)
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "actors/ActorDataFile.h"
#include "editor/EditorLayout.h"
#include "editor/Recovery.h"

// Last: Xlib's macros (None, Status) would clash with names in the headers above.
#include <X11/Xlib.h>

using namespace irr;

namespace {

// A stereo frame is loud when one of its samples reaches this level (of 32767).
constexpr int LOUD_SAMPLE = 1000;
constexpr int STEREO = 2;
// Longest line read from stdin at once.
constexpr int LINE_BUFFER = 256;

int usage() {
    std::fprintf(stderr,
                 "usage: e2e_tool picture PATH W H RRGGBB | track PATH N X0 Y0 [DX DY ROT SX SY "
                 "VERSION] | segments PATH N X Y... | dump PATH | recovery PATH NAME | "
                 "audio RAW | "
                 "editor-layout W H BUTTON_W BUTTON_H THUMB_H CHECK_W CHECK_H LINE_H | "
                 "close-window WINDOW [-] | editor-point DATA_DIR W H SX SY\n");
    return 2;
}

float arg(int argc, char** argv, int i, float fallback) {
    return i < argc ? std::strtof(argv[i], nullptr) : fallback;
}

int writePicture(const char* path, u32 w, u32 h, u32 rgb) {
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_NULL;
    p.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(p);
    if (!device) return 1;
    video::IVideoDriver* driver = device->getVideoDriver();
    video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(w, h));
    picture->fill(video::SColor(0xFF000000u | rgb));
    const bool ok = driver->writeImageToFile(picture, path, 100);
    picture->drop();
    device->drop();
    if (!ok) std::fprintf(stderr, "e2e_tool: cannot write %s\n", path);
    return ok ? 0 : 1;
}

int writeTrack(int argc, char** argv) {
    const char* path = argv[2];
    const int n = std::atoi(argv[3]);
    const float x0 = arg(argc, argv, 4, 0.f), y0 = arg(argc, argv, 5, 0.f);
    const float dx = arg(argc, argv, 6, 0.f), dy = arg(argc, argv, 7, 0.f);
    const float rot = arg(argc, argv, 8, 0.f);
    const float sx = arg(argc, argv, 9, 1.f), sy = arg(argc, argv, 10, 1.f);
    const int version = argc > 11 ? std::atoi(argv[11]) : kActorDataVersion;
    std::vector<ActorPose> poses;
    for (int i = 0; i < n; ++i)
        poses.push_back(ActorPose{{x0 + dx * float(i), y0 + dy * float(i)}, rot, {sx, sy}});
    std::vector<uint8_t> bytes = encodeActorData(poses, false, false);
    if (version < kActorDataFlagsVersion) {
        bytes.resize(bytes.size() - kActorDataFlagsSize);
        const uint32_t v = uint32_t(version);
        for (int i = 0; i < 4; ++i) bytes[size_t(4 + i)] = uint8_t(v >> (8 * i));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return out.good() ? 0 : 1;
}

int writeSegments(int argc, char** argv) {
    std::vector<ActorPose> poses;
    for (int i = 3; i + 2 < argc; i += 3) {
        const int n = std::atoi(argv[i]);
        const float x = std::strtof(argv[i + 1], nullptr), y = std::strtof(argv[i + 2], nullptr);
        for (int k = 0; k < n; ++k) poses.push_back(ActorPose{{x, y}, 0.f, {1.f, 1.f}});
    }
    const std::vector<uint8_t> bytes = encodeActorData(poses, false, false);
    std::ofstream out(argv[2], std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return out.good() ? 0 : 1;
}

// Prints a track as dump does, after its status word.
void printTrack(const char* status, const ActorData& data) {
    std::printf("%s %d %zu %d %d\n", status, int(data.version), data.poses.size(),
                int(data.bindScale), int(data.wobble));
    for (size_t i = 0; i < data.poses.size(); ++i) {
        const ActorPose& p = data.poses[i];
        std::printf("%zu %.6f %.6f %.6f %.6f %.6f\n", i, double(p.position.X), double(p.position.Y),
                    double(p.rotation), double(p.scale.X), double(p.scale.Y));
    }
}

int dumpTrack(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::printf("missing\n");
        return 1;
    }
    ActorData data;
    const ActorDataStatus status = readActorData(in, data);
    static const char* const names[] = {"complete", "truncated", "too-short", "wrong-magic",
                                        "bad-version"};
    printTrack(names[int(status)], data);
    return 0;
}

int dumpRecovered(const char* path, const std::string& name) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    RecoverySnapshot snapshot;
    std::string error;
    if (in.is_open() && decodeRecovery(bytes.data(), bytes.size(), snapshot, error)) {
        for (const RecoveredActor& actor : snapshot.actors) {
            if (actor.name != name) continue;
            printTrack("complete", actor.data);
            return 0;
        }
    }
    std::printf("missing\n");
    return 1;
}

int audioStats(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return 1;
    long frames = 0, loud = 0, first = -1;
    int peak = 0;
    int16_t frame[STEREO];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) {
        ++frames;
        const int level = std::max(std::abs(int(frame[0])), std::abs(int(frame[1])));
        if (level > peak) peak = level;
        if (level >= LOUD_SAMPLE) {
            if (first < 0) first = frames - 1;
            ++loud;
        }
    }
    std::printf("frames %ld loud %ld peak %d first %ld\n", frames, loud, peak, first);
    return 0;
}

// Prints the editor's layout for a window size, one "name x y w h" line per rectangle (whole
// pixels, rounded inwards), then "scale S".
int printEditorLayout(char** argv) {
    float v[8];
    for (int i = 0; i < 8; ++i) v[i] = std::strtof(argv[2 + i], nullptr);
    const EditorLayout l = computeEditorLayout(
        int(v[0]), int(v[1]), editorMetrics(v[2], v[3], v[4], v[5], v[6], v[7]));
    auto put = [](const char* name, const RectF& r) {
        std::printf("%s %d %d %d %d\n", name, int(std::ceil(r.x)), int(std::ceil(r.y)),
                    int(std::floor(r.width)), int(std::floor(r.height)));
    };
    const char* tools[TOOL_COUNT] = {"play", "rewind", "rec", "save", "undo", "redo", "help"};
    for (int i = 0; i < TOOL_COUNT; ++i) put(tools[i], l.tools[i]);
    put("stage", l.stage);
    put("wave", l.wave);
    put("timeline", l.timelineSlider);
    const char* props[PROP_COUNT] = {"x", "y", "rot", "w", "h"};
    for (int i = 0; i < PROP_COUNT; ++i) put(props[i], l.props[i].slider);
    put("bindscale", l.bindScale);
    put("wobble", l.wobble);
    put("reset", l.reset);
    put("layer0", l.layerRow(0));
    put("layer1", l.layerRow(1));
    put("status", l.status);
    std::printf("scale %.6f\n", double(l.stageScale));
    return 0;
}

// Width and height of a PNG picture (from its header); false when it is none.
bool pngSize(const std::string& path, float& w, float& h) {
    std::ifstream in(path, std::ios::binary);
    unsigned char b[24] = {};
    if (!in.read(reinterpret_cast<char*>(b), sizeof b)) return false;
    w = float(uint32_t(b[16]) << 24 | uint32_t(b[17]) << 16 | uint32_t(b[18]) << 8 | b[19]);
    h = float(uint32_t(b[20]) << 24 | uint32_t(b[21]) << 16 | uint32_t(b[22]) << 8 | b[23]);
    return true;
}

// Prints the window pixel "X Y" where the editor shows the stage pixel (SX, SY), for a window
// of W x H and the skin pictures and font of the program files in DATA_DIR.
int printEditorPoint(char** argv) {
    const std::string data = argv[2];
    float bw, bh, tw, th, cw, ch;
    if (!pngSize(data + "/button.png", bw, bh) || !pngSize(data + "/slider-thumb.png", tw, th) ||
        !pngSize(data + "/checkbox.png", cw, ch))
        return 1;
    std::ifstream fnt(data + "/droid30.fnt");
    std::string line;
    float lineHeight = 0.f;
    while (std::getline(fnt, line)) {
        const std::size_t at = line.find("lineHeight=");
        if (line.rfind("common", 0) == 0 && at != std::string::npos)
            lineHeight = std::strtof(line.c_str() + at + 11, nullptr);
    }
    const EditorLayout l = computeEditorLayout(std::atoi(argv[3]), std::atoi(argv[4]),
                                               editorMetrics(bw, bh, th, cw, ch, lineHeight));
    const irr::core::vector2df p = sceneToWindow(
        l, irr::core::vector2df(std::strtof(argv[5], nullptr), std::strtof(argv[6], nullptr)) / 80.f);
    std::printf("%d %d\n", int(p.X), int(p.Y));
    return 0;
}

// Asks the window to close as a window manager does (WM_DELETE_WINDOW), without one running:
// once, or (onEachLine) once for every line read from stdin until its end, so that a test
// sends a request the moment it chooses, not after a program has started.
int closeWindow(const char* id, bool onEachLine) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = Window(std::strtoul(id, nullptr, 0));
    e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    auto send = [&] {
        const Status sent = XSendEvent(display, e.xclient.window, False, NoEventMask, &e);
        XFlush(display);
        return sent != 0;
    };
    bool ok = true;
    if (onEachLine) {
        char line[LINE_BUFFER];
        while (std::fgets(line, sizeof line, stdin)) ok = send() && ok;
    } else {
        ok = send();
    }
    XCloseDisplay(display);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    if (command == "picture" && argc == 6)
        return writePicture(argv[2], u32(std::atoi(argv[3])), u32(std::atoi(argv[4])),
                            u32(std::strtoul(argv[5], nullptr, 16)));
    if (command == "track" && argc >= 6) return writeTrack(argc, argv);
    if (command == "segments" && argc >= 6 && (argc - 3) % 3 == 0) return writeSegments(argc, argv);
    if (command == "dump") return dumpTrack(argv[2]);
    if (command == "recovery" && argc == 4) return dumpRecovered(argv[2], argv[3]);
    if (command == "audio") return audioStats(argv[2]);
    if (command == "editor-layout" && argc == 10) return printEditorLayout(argv);
    if (command == "close-window" && (argc == 3 || (argc == 4 && std::strcmp(argv[3], "-") == 0)))
        return closeWindow(argv[2], argc == 4);
    if (command == "editor-point" && argc == 7) return printEditorPoint(argv);
    return usage();
}
