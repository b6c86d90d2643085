#include "states/ActorPictures.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <map>

#include "actors/Actor.h"
#include "actors/PictureMask.h"
#include "render/Image.h"
#include "render/PictureLimits.h"
#include "render/Renderer2D.h"

namespace {

constexpr unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr unsigned char JPEG_SIGNATURE[3] = {0xFF, 0xD8, 0xFF};
// The marker a whole JPEG file ends with.
constexpr unsigned char JPEG_END[2] = {0xFF, 0xD9};
// The extensions of actor pictures, in the order they are loaded.
constexpr const char* const ACTOR_PICTURE_EXTENSIONS[] = {".jpg", ".png"};

// True when name ends in ext (from its last '.'), comparing A-Z without regard to case.
bool hasExtension(const std::string& name, const char* ext) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return *ext == '\0';
    const std::string tail = name.substr(dot);
    if (tail.size() != std::strlen(ext)) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char a = tail[i];
        if (a >= 'A' && a <= 'Z') a = char(a - 'A' + 'a');
        if (a != ext[i]) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> actorPictureOrder(const std::vector<std::string>& fileNames) {
    std::vector<std::string> out;
    for (const char* ext : ACTOR_PICTURE_EXTENSIONS)
        for (const std::string& name : fileNames)
            if (hasExtension(name, ext)) out.push_back(name);
    return out;
}

void forEachActorPicture(const std::vector<std::string>& fileNames,
                         const std::function<bool(const std::string& file)>& load,
                         const std::function<void(const std::string& file, const std::string& first)>& skipped) {
    std::map<std::string, std::string> pictureOfName;
    for (const std::string& file : actorPictureOrder(fileNames)) {
        const std::string name = actorNameFromFileName(file);
        const auto first = pictureOfName.find(name);
        if (first != pictureOfName.end())
            skipped(file, first->second);
        else if (load(file))
            pictureOfName[name] = file;
    }
}

std::string sameNameProblem(const std::string& folder, const std::string& file, const std::string& first) {
    return folder + file + " is not loaded: " + folder + first + " already uses its data file";
}

std::string pictureSignatureProblem(const unsigned char* bytes, std::size_t size) {
    if (size == 0) return "the file is empty";
    if (size >= sizeof PNG_SIGNATURE && std::memcmp(bytes, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0)
        return "";
    if (size >= sizeof JPEG_SIGNATURE && std::memcmp(bytes, JPEG_SIGNATURE, sizeof JPEG_SIGNATURE) == 0)
        return "";
    return "not a PNG or JPEG picture";
}

bool jpegTailComplete(const unsigned char* tail, std::size_t size) {
    std::size_t n = size;
    while (n > 0 && (tail[n - 1] == 0 || tail[n - 1] == '\n' || tail[n - 1] == '\r')) --n;
    return n >= sizeof JPEG_END && std::memcmp(tail + n - sizeof JPEG_END, JPEG_END, sizeof JPEG_END) == 0;
}

PictureMask pictureMaskOf(irr::video::IImage& picture) {
    using irr::video::ECOLOR_FORMAT;
    const irr::core::dimension2d<irr::u32> size = picture.getDimension();
    PictureMask mask(size.Width, size.Height);
    const ECOLOR_FORMAT format = picture.getColorFormat();
    if (format == irr::video::ECF_R8G8B8 || format == irr::video::ECF_R5G6B5) {
        // No alpha: every pixel is drawn.
        for (irr::u32 y = 0; y < size.Height; ++y)
            for (irr::u32 x = 0; x < size.Width; ++x) mask.set(x, y);
        return mask;
    }
    const unsigned char* bytes = static_cast<const unsigned char*>(picture.lock());
    if (format == irr::video::ECF_A8R8G8B8 && bytes) {
        // Four bytes a pixel, the alpha the highest byte of the little-endian word.
        const irr::u32 pitch = picture.getPitch();
        for (irr::u32 y = 0; y < size.Height; ++y)
            for (irr::u32 x = 0; x < size.Width; ++x)
                if (bytes[std::size_t(y) * pitch + std::size_t(x) * 4 + 3] >= PICTURE_MASK_MIN_ALPHA) mask.set(x, y);
    } else {
        for (irr::u32 y = 0; y < size.Height; ++y)
            for (irr::u32 x = 0; x < size.Width; ++x)
                if (picture.getPixel(x, y).getAlpha() >= PICTURE_MASK_MIN_ALPHA) mask.set(x, y);
    }
    picture.unlock();
    return mask;
}

irr::video::IImage* readActorPicture(const std::string& path, const PictureReader& read, std::string& problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = std::string("cannot be opened (") + std::strerror(errno ? errno : EIO) + ")";
        return nullptr;
    }
    unsigned char start[PICTURE_SIGNATURE_BYTES];
    in.read(reinterpret_cast<char*>(start), sizeof start);
    problem = pictureSignatureProblem(start, std::size_t(in.gcount()));
    if (!problem.empty()) return nullptr;
    if (std::memcmp(start, JPEG_SIGNATURE, sizeof JPEG_SIGNATURE) == 0) {
        in.clear();
        in.seekg(0, std::ios::end);
        const std::streamoff size = in.tellg();
        const std::streamoff from = size > std::streamoff(JPEG_TAIL_BYTES) ? size - std::streamoff(JPEG_TAIL_BYTES) : 0;
        unsigned char tail[JPEG_TAIL_BYTES];
        in.seekg(from);
        in.read(reinterpret_cast<char*>(tail), std::streamsize(size - from));
        if (size < 0 || !jpegTailComplete(tail, std::size_t(in.gcount()))) {
            problem = "the picture is cut short (it lacks the end of a JPEG file)";
            return nullptr;
        }
    }
    in.close();

    irr::video::IImage* picture = read(path.c_str());
    if (!picture) {
        problem = "the picture is damaged or cut short";
        return nullptr;
    }
    const irr::core::dimension2d<irr::u32> size = picture->getDimension();
    problem = pictureSizeProblem(size.Width, size.Height);
    if (!problem.empty()) {
        picture->drop();
        return nullptr;
    }
    return picture;
}

std::unique_ptr<Image> loadActorPicture(Renderer2D& renderer, const std::string& path, irr::u32 flags,
                                        std::string& problem, PictureMask* mask) {
    irr::video::IImage* picture =
        readActorPicture(path, [&renderer](const char* file) { return renderer.readPicture(file); }, problem);
    if (!picture) return nullptr;
    // The drawn pixels are taken from the decoded picture before the texture is made of it
    // (which may pad or change the picture).
    if (mask) *mask = pictureMaskOf(*picture);
    std::unique_ptr<Image> image(renderer.createImage(path.c_str(), picture, true, flags, nullptr));
    if (!image) problem = "no texture could be made of it";
    return image;
}
