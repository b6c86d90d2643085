#include "project/PictureImport.h"

#include <sys/stat.h>
#include <unistd.h>

#include <irrlicht.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/ChildProcess.h"
#include "project/OpenRaster.h"
#include "project/Placement.h"
#include "project/ProjectFiles.h"
#include "project/ProjectPaths.h"

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

    // Writes the picture as a PNG file; false when it cannot be written.
    bool writePng(video::IImage* picture, const std::string& path) {
        return device && device->getVideoDriver()->writeImageToFile(picture, io::path(path.c_str()));
    }

private:
    EngineRef<IrrlichtDevice> device;
};

// True when every pixel of the picture is fully transparent.
bool fullyTransparent(video::IImage* picture) {
    if (picture->getColorFormat() != video::ECF_A8R8G8B8) return false;
    const core::dimension2d<u32> size = picture->getDimension();
    const u8* data = static_cast<const u8*>(picture->lock());
    if (!data) return false;
    bool clear = true;
    const u32 pitch = picture->getPitch();
    for (u32 y = 0; clear && y < size.Height; ++y) {
        const u32* row = reinterpret_cast<const u32*>(data + size_t(y) * pitch);
        for (u32 x = 0; x < size.Width; ++x)
            if (row[x] >> 24) {
                clear = false;
                break;
            }
    }
    picture->unlock();
    return clear;
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
            if (!reencode(picture.get(), bytes, failure)) return false;
            actor.extension = ".png";
        }
        if (!takePicture(picture.get(), std::move(bytes), actor, failure)) return false;
        actors.push_back(std::move(actor));
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
            if (fullyTransparent(picture.get())) {
                std::fprintf(stderr, "tumelora: %s: layer \"%s\" is empty and left out\n",
                             origin.c_str(), printable(layer.name).c_str());
                continue;
            }
            if (!takePicture(picture.get(), std::move(layer.bytes), actor, failure)) {
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
        const ProcessResult run = runProcess(helper, {path, converted}, stopFlag());
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
             "-frames:v", "1", "-update", "1", "-c:v", "png", "-f", "image2", "file:" + converted},
            stopFlag());
        const bool read = run.succeeded() && readWholeFile(converted, bytes);
        std::remove(converted.c_str());
        if (!read) {
            failure.reason = "not a picture ffmpeg can read (" + run.failure() + ")";
            return false;
        }
        return true;
    }

    // The picture written again as PNG, into bytes.
    bool reencode(video::IImage* picture, std::vector<uint8_t>& bytes, ProjectFailure& failure) {
        const std::string converted = work + CONVERTED_PICTURE;
        std::remove(converted.c_str());
        const bool ok = decoder.writePng(picture, converted) && readWholeFile(converted, bytes);
        std::remove(converted.c_str());
        if (!ok) failure.reason = "cannot convert it to PNG in " + work;
        return ok;
    }

    // Takes the decoded picture's size (refusing pictures too large to show) and its file.
    bool takePicture(video::IImage* picture, std::vector<uint8_t> bytes, PlannedActor& actor,
                     ProjectFailure& failure) {
        const core::dimension2d<u32> size = picture->getDimension();
        if (size.Width == 0 || size.Height == 0 || size.Width > PROJECT_PICTURE_MAX_SIDE ||
            size.Height > PROJECT_PICTURE_MAX_SIDE) {
            failure.reason = std::to_string(size.Width) + " x " + std::to_string(size.Height) +
                             " pixels: pictures may have up to " +
                             std::to_string(PROJECT_PICTURE_MAX_SIDE) + " pixels a side";
            return false;
        }
        actor.width = double(size.Width);
        actor.height = double(size.Height);
        actor.bytes = std::move(bytes);
        if (actor.extension == ".png") pngBelow = true;
        return true;
    }

    PictureDecoder& decoder;
    std::string work;
    bool pngBelow;  // a PNG actor is drawn below the next: a JPEG must become PNG to go over it
};

}  // namespace

bool planActors(const std::vector<std::string>& pictures, const std::string& work, bool pngBelow,
                std::vector<PlannedActor>& actors, ProjectFailure& failure) {
    PictureDecoder decoder;
    if (!decoder.ready()) {
        failure = {"", "the engine's picture loaders could not start"};
        return false;
    }
    PictureImporter importer(decoder, work, pngBelow);
    for (const std::string& picture : pictures) {
        if (stopRequested()) {
            failure = {picture, "interrupted"};
            return false;
        }
        if (!importer.import(picture, actors, failure)) return false;
    }
    placePictures(actors);
    return true;
}
