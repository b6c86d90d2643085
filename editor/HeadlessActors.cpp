#include "editor/HeadlessActors.h"

#include <irrlicht.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "states/ActorPictures.h"
#include "states/DrawingOrder.h"

using namespace irr;

namespace {

// Drops the engine's reference of what the engine made for us.
struct EngineDrop {
    void operator()(IReferenceCounted* object) const {
        if (object) object->drop();
    }
};

}  // namespace

bool loadHeadlessActors(const std::string& folder, HeadlessActors& out, std::string& error) {
    // The folder's files in the engine's file-list order.
    std::vector<std::string> files;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec)) files.push_back(it->path().filename().string());
    if (ec) {
        error = folder + ": cannot be read (" + ec.message() + ")";
        return false;
    }
    std::sort(files.begin(), files.end(), fileListBefore);

    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_NULL;
    p.LoggingLevel = ELL_NONE;
    const std::unique_ptr<IrrlichtDevice, EngineDrop> device(createDeviceEx(p));
    video::IVideoDriver* driver = device ? device->getVideoDriver() : nullptr;
    if (!driver) {
        error = "the engine could not start to read the pictures";
        return false;
    }
    const PictureReader read = [driver](const char* path) { return driver->createImageFromFile(io::path(path)); };

    const auto load = [&](const std::string& file) {
        std::string problem;
        const std::unique_ptr<video::IImage, EngineDrop> picture(readActorPicture(folder + file, read, problem));
        if (!picture) {
            out.problems.push_back(folder + file + " is not loaded: " + problem);
            return false;
        }
        const core::dimension2d<u32> size = picture->getDimension();
        out.store.push_back(std::make_unique<Actor>(actorNameFromFileName(file), nullptr, true, folder));
        Actor* actor = out.store.back().get();
        actor->size.set(float(size.Width) / kSceneUnitPixels, float(size.Height) / kSceneUnitPixels);
        actor->pictureFile = file;
        out.actors.push_back(actor);
        if (actor->trackFile == Actor::TrackFile::Unreadable)
            out.problems.push_back(actor->dataPath() + " cannot be read: " + actor->trackProblem);
        else if (actor->trackFile == Actor::TrackFile::CutShort)
            out.problems.push_back(actor->dataPath() + " is " + actor->trackProblem);
        return true;
    };
    forEachActorPicture(files, load, [&](const std::string& file, const std::string& first) {
        out.problems.push_back(sameNameProblem(folder, file, first));
    });
    return true;
}
