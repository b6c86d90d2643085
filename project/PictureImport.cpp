#include "project/PictureImport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <irrlicht.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/ChildProcess.h"
#include "platform/Signals.h"
#include "project/OpenRaster.h"
#include "project/Placement.h"
#include "project/ProjectFiles.h"
#include "project/ProjectPaths.h"
#include "render/PictureLimits.h"

using namespace irr;

namespace {

// The name of a layered picture that the import helper writes.
constexpr const char* HELPER_OUTPUT = "import.ora";
// The name a converted picture is written under before it is read back.
constexpr const char* CONVERTED_PICTURE = "converted.png";

// Drops the engine's reference of an object the engine made for us.
struct EngineDrop {
    void operator()(IReferenceCounted* object) const {
        if (object) object->drop();
    }
};
// An engine object we hold one reference of.
template <class T>
using EngineRef = std::unique_ptr<T, EngineDrop>;

// Pictures decoded by the engine's own loaders, exactly as the program loads its actors,
// through a device without a window.
class PictureDecoder {
public:
    PictureDecoder() {
        SIrrlichtCreationParameters p;
        p.DriverType = video::EDT_NULL;
        p.LoggingLevel = ELL_NONE;
        device.reset(createDeviceEx(p));
    }

    // False when the engine could not start.
    bool ready() const { return device != nullptr; }

    // The picture held in bytes (name's extension tells the loader what to expect), or null
    // when the engine cannot decode it.
    EngineRef<video::IImage> decode(const std::string& name, std::vector<uint8_t>& bytes) {
        if (!device || bytes.empty()) return nullptr;
        const EngineRef<io::IReadFile> file(device->getFileSystem()->createMemoryReadFile(
            bytes.data(), s32(bytes.size()), io::path(name.c_str()), false));
        if (!file) return nullptr;
        return EngineRef<video::IImage>(device->getVideoDriver()->createImageFromFile(file.get()));
    }

    // The area of a picture with an alpha channel as a picture of its own, or null.
    EngineRef<video::IImage> cropped(video::IImage* picture, const RectF& area) {
        const u32 x = u32(area.x), y = u32(area.y), w = u32(area.width), h = u32(area.height);
        const core::dimension2d<u32> size = picture->getDimension();
        if (!device || picture->getColorFormat() != video::ECF_A8R8G8B8 || w == 0 || h == 0 ||
            x + w > size.Width || y + h > size.Height)
            return nullptr;
        EngineRef<video::IImage> part(
            device->getVideoDriver()->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(w, h)));
        const u8* from = part ? static_cast<const u8*>(picture->lock()) : nullptr;
        u8* to = from ? static_cast<u8*>(part->lock()) : nullptr;
        if (to)
            for (u32 row = 0; row < h; ++row)
                std::memcpy(to + size_t(row) * part->getPitch(),
                            from + size_t(y + row) * picture->getPitch() + size_t(x) * 4, size_t(w) * 4);
        if (from) picture->unlock();
        if (!to) return nullptr;
        part->unlock();
        return part;
    }

    // Writes the picture as a PNG file; false when it cannot be written.
    bool writePng(video::IImage* picture, const std::string& path) {
        return device && device->getVideoDriver()->writeImageToFile(picture, io::path(path.c_str()));
    }

private:
    EngineRef<IrrlichtDevice> device;
};

// The smallest rectangle holding every pixel of the picture that is not fully transparent:
// the whole picture when it has no transparency, an empty one when every pixel is clear.
RectF visibleArea(video::IImage* picture) {
    const core::dimension2d<u32> size = picture->getDimension();
    const RectF whole(0, 0, float(size.Width), float(size.Height));
    if (picture->getColorFormat() != video::ECF_A8R8G8B8) return whole;
    const u8* data = static_cast<const u8*>(picture->lock());
    if (!data) return whole;
    u32 left = size.Width, right = 0, top = size.Height, bottom = 0;  // right and bottom past the end
    const u32 pitch = picture->getPitch();
    for (u32 y = 0; y < size.Height; ++y) {
        const u32* row = reinterpret_cast<const u32*>(data + size_t(y) * pitch);
        u32 first = 0;
        while (first < size.Width && !(row[first] >> 24)) ++first;
        if (first == size.Width) continue;
        u32 last = size.Width;
        while (!(row[last - 1] >> 24)) --last;
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y + 1;
    }
    picture->unlock();
    if (right == 0) return RectF();
    return RectF(float(left), float(top), float(right - left), float(bottom - top));
}

// The stage pixels the existing actors cover at their first pose (a picture that cannot be
// read covers none).
std::vector<RectF> existingAreas(PictureDecoder& decoder, const ExistingActors& existing) {
    std::vector<RectF> areas;
    for (size_t i = 0; i < existing.pictures.size() && i < existing.firstPoses.size(); ++i) {
        std::vector<uint8_t> bytes;
        if (!readWholeFile(existing.folder + existing.pictures[i], bytes)) continue;
        const EngineRef<video::IImage> picture = decoder.decode(existing.pictures[i], bytes);
        if (!picture) continue;
        const core::dimension2d<u32> size = picture->getDimension();
        areas.push_back(drawnArea(existing.firstPoses[i], double(size.Width), double(size.Height)));
    }
    return areas;
}

// A name as it can be printed (up to a NUL byte).
std::string printable(const std::string& name) { return name.substr(0, name.find('\0')); }

// Turns the given pictures into planned actors; knows the programs it runs for that.
class PictureImporter {
public:
    PictureImporter(PictureDecoder& decoder, const std::string& workFolder, bool pngBelow)
        : decoder(decoder), work(withSlash(workFolder)), pngBelow(pngBelow) {}

    // Adds the actors of one picture file; false with failure set.
    bool import(const std::string& path, std::vector<PlannedActor>& actors, ProjectFailure& failure) {
        failure.file = path;
        struct stat info {};
        if (stat(path.c_str(), &info) != 0 || access(path.c_str(), R_OK) != 0) {
            failure.reason = std::strerror(errno);
            return false;
        }
        if (!S_ISREG(info.st_mode)) {
            failure.reason = "not a file";
            return false;
        }
        const std::string ext = extensionOf(path);
        if (ext == ".ora") return importLayered(path, path, actors, failure);
        if (ext == ".psd") return importPhotoshop(path, actors, failure);
        std::vector<uint8_t> bytes;
        if (!readWholeFile(path, bytes)) {
            failure.reason = std::strerror(errno);
            return false;
        }
        PlannedActor actor;
        actor.origin = lastComponent(path);
        actor.name = actorNameFor(stemOf(path));
        EngineRef<video::IImage> picture;
        if (ext == ".png" || ext == ".jpg" || ext == ".jpeg") {
            actor.extension = ext == ".png" ? ".png" : ".jpg";
            picture = decoder.decode("picture" + actor.extension, bytes);
        }
        if (!picture) {
            // Another format, or one the engine's loader does not take: ffmpeg converts it.
            if (!convertPicture(path, bytes, failure)) return false;
            actor.extension = ".png";
            picture = decoder.decode(CONVERTED_PICTURE, bytes);
            if (!picture) {
                failure.reason = "not a picture the program can show";
                return false;
            }
        }
        if (actor.extension == ".jpg" && pngBelow) {
            if (!encodePng(picture.get(), bytes)) {
                failure.reason = "cannot convert it to PNG in " + work;
                return false;
            }
            actor.extension = ".png";
        }
        if (!takePicture(picture.get(), visibleArea(picture.get()), std::move(bytes), actor, failure))
            return false;
        if (actor.extension == ".png") pngBelow = true;
        actors.push_back(std::move(actor));
        return true;
    }

    // Makes the pictures that are layers of one canvas (canvasLayers) layers: each trimmed to
    // its visible pixels and placed where they sit on the canvas; an empty one is left out
    // with a message, as an empty layer of a layered file is. False with failure set, also
    // when every picture of a canvas is empty.
    bool layCanvases(std::vector<PlannedActor>& actors, ProjectFailure& failure) {
        std::vector<bool> leftOut(actors.size(), false);
        for (const std::vector<size_t>& canvas : canvasLayers(actors)) {
            const double cw = actors[canvas.front()].width, ch = actors[canvas.front()].height;
            const std::string size = std::to_string(long(cw)) + " x " + std::to_string(long(ch));
            bool kept = false;
            for (const size_t i : canvas) {
                PlannedActor& layer = actors[i];
                if (layer.visible.width == 0) {
                    std::fprintf(stderr,
                                 "tumelora: %s: every pixel is fully transparent: an empty layer of the "
                                 "%s pictures, left out\n",
                                 layer.origin.c_str(), size.c_str());
                    leftOut[i] = true;
                    continue;
                }
                if (!trim(layer, failure)) return false;
                layer.pose = layerPose(cw, ch, layer.visible.x, layer.visible.y, layer.width, layer.height);
                layer.layered = true;
                layer.origin += ", a layer of the " + size + " canvas";
                kept = true;
            }
            if (!kept) {
                failure = {actors[canvas.front()].origin,
                           "it and the other " + size + " pictures are all fully transparent"};
                return false;
            }
        }
        size_t next = 0;
        for (size_t i = 0; i < actors.size(); ++i) {
            if (leftOut[i]) continue;
            if (next != i) actors[next] = std::move(actors[i]);
            ++next;
        }
        actors.resize(next);
        return true;
    }

private:
    // The layers of an OpenRaster file at path (origin names it in the report).
    bool importLayered(const std::string& path, const std::string& origin,
                       std::vector<PlannedActor>& actors, ProjectFailure& failure) {
        LayeredPicture layered;
        std::string error;
        if (!readOpenRaster(path, layered, error)) {
            failure.reason = error;
            return false;
        }
        size_t added = 0;
        for (PictureLayer& layer : layered.layers) {
            PlannedActor actor;
            actor.origin = lastComponent(origin) + ", layer \"" + printable(layer.name) + "\"";
            actor.name = actorNameFor(layer.name);
            actor.extension = ".png";
            actor.layered = true;
            const EngineRef<video::IImage> picture = decoder.decode("layer.png", layer.bytes);
            if (!picture) {
                failure.reason = "the picture of layer \"" + printable(layer.name) + "\" cannot be read";
                return false;
            }
            const RectF visible = visibleArea(picture.get());
            if (visible.width == 0) {
                std::fprintf(stderr, "tumelora: %s: layer \"%s\" is empty and left out\n",
                             origin.c_str(), printable(layer.name).c_str());
                continue;
            }
            if (!takePicture(picture.get(), visible, std::move(layer.bytes), actor, failure)) {
                failure.reason = "layer \"" + printable(layer.name) + "\": " + failure.reason;
                return false;
            }
            actor.pose = layerPose(double(layered.width), double(layered.height), double(layer.x),
                                   double(layer.y), actor.width, actor.height);
            actors.push_back(std::move(actor));
            ++added;
        }
        if (added == 0) {
            failure.reason = "it has no visible layer with something drawn on it";
            return false;
        }
        pngBelow = true;
        return true;
    }

    // A Photoshop file: the import helper turns it into an OpenRaster file first.
    bool importPhotoshop(const std::string& path, std::vector<PlannedActor>& actors,
                         ProjectFailure& failure) {
        const std::string helper = psdImportHelper();
        if (helper.empty()) {
            failure.reason = "the Photoshop import helper (psd-import) is not installed";
            return false;
        }
        const std::string converted = work + HELPER_OUTPUT;
        const ProcessResult run = runProcess(helper, {path, converted});
        if (!run.succeeded()) {
            failure.reason = "the Photoshop import failed (" + run.failure() + ")";
            return false;
        }
        const bool ok = importLayered(converted, path, actors, failure);
        std::remove(converted.c_str());
        return ok;
    }

    // Converts the picture at path to PNG with ffmpeg into bytes; false with failure set.
    bool convertPicture(const std::string& path, std::vector<uint8_t>& bytes, ProjectFailure& failure) {
        const std::string ffmpeg = findFfmpeg(std::getenv(FFMPEG_VARIABLE), std::getenv("PATH"));
        if (ffmpeg.empty()) {
            failure.reason = "not a PNG or JPEG picture, and ffmpeg, which converts the others, "
                             "is not installed";
            return false;
        }
        const std::string converted = work + CONVERTED_PICTURE;
        std::remove(converted.c_str());
        const ProcessResult run = runProcess(
            ffmpeg,
            {"-hide_banner", "-loglevel", "error", "-nostdin", "-y", "-i", "file:" + path,
             "-frames:v", "1", "-update", "1", "-c:v", "png", "-f", "image2", "file:" + converted});
        const bool read = run.succeeded() && readWholeFile(converted, bytes);
        std::remove(converted.c_str());
        if (!read) {
            failure.reason = "not a picture ffmpeg can read (" + run.failure() + ")";
            return false;
        }
        return true;
    }

    // The picture written as PNG (through the work folder) into bytes; false when it cannot be.
    bool encodePng(video::IImage* picture, std::vector<uint8_t>& bytes) {
        const std::string converted = work + CONVERTED_PICTURE;
        std::remove(converted.c_str());
        const bool ok = picture && decoder.writePng(picture, converted) && readWholeFile(converted, bytes);
        std::remove(converted.c_str());
        return ok;
    }

    // The actor's picture cut down to its visible area; false with failure set.
    bool trim(PlannedActor& actor, ProjectFailure& failure) {
        if (double(actor.visible.width) == actor.width && double(actor.visible.height) == actor.height)
            return true;
        const EngineRef<video::IImage> picture = decoder.decode("picture" + actor.extension, actor.bytes);
        const EngineRef<video::IImage> part = picture ? decoder.cropped(picture.get(), actor.visible) : nullptr;
        std::vector<uint8_t> bytes;
        if (!encodePng(part.get(), bytes)) {
            failure = {actor.origin, "cannot write its picture trimmed to its visible pixels in " + work};
            return false;
        }
        actor.bytes = std::move(bytes);
        actor.width = double(actor.visible.width);
        actor.height = double(actor.visible.height);
        return true;
    }

    // Takes the decoded picture's size (refusing pictures too large to show), its visible
    // area and its file.
    bool takePicture(video::IImage* picture, const RectF& visible, std::vector<uint8_t> bytes,
                     PlannedActor& actor, ProjectFailure& failure) {
        const core::dimension2d<u32> size = picture->getDimension();
        const std::string tooLarge = pictureSizeProblem(size.Width, size.Height);
        if (!tooLarge.empty()) {
            failure.reason = tooLarge;
            return false;
        }
        actor.width = double(size.Width);
        actor.height = double(size.Height);
        actor.visible = visible;
        actor.bytes = std::move(bytes);
        return true;
    }

    PictureDecoder& decoder;
    std::string work;
    bool pngBelow;  // a PNG actor is drawn below the next: a JPEG must become PNG to go over it
};

}  // namespace

bool planActors(const std::vector<std::string>& pictures, const std::string& work,
                const ExistingActors& existing, std::vector<PlannedActor>& actors,
                ProjectFailure& failure) {
    PictureDecoder decoder;
    if (!decoder.ready()) {
        failure = {"", "the engine's picture loaders could not start"};
        return false;
    }
    PictureImporter importer(decoder, work, existing.anyPng);
    for (const std::string& picture : pictures) {
        if (quitSignal() != 0) {
            failure = {picture, "interrupted"};
            return false;
        }
        if (!importer.import(picture, actors, failure)) return false;
    }
    if (!importer.layCanvases(actors, failure)) return false;
    placePictures(actors, existingAreas(decoder, existing));
    return true;
}
