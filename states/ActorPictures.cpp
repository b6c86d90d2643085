#include "states/ActorPictures.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "render/Image.h"
#include "render/PictureLimits.h"
#include "render/Renderer2D.h"

namespace {

constexpr unsigned char PNG_SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr unsigned char JPEG_SIGNATURE[3] = {0xFF, 0xD8, 0xFF};

}  // namespace

std::string pictureSignatureProblem(const unsigned char* bytes, std::size_t size) {
    if (size == 0) return "the file is empty";
    if (size >= sizeof PNG_SIGNATURE && std::memcmp(bytes, PNG_SIGNATURE, sizeof PNG_SIGNATURE) == 0)
        return "";
    if (size >= sizeof JPEG_SIGNATURE && std::memcmp(bytes, JPEG_SIGNATURE, sizeof JPEG_SIGNATURE) == 0)
        return "";
    return "not a PNG or JPEG picture";
}

std::unique_ptr<Image> loadActorPicture(Renderer2D& renderer, const std::string& path, irr::u32 flags,
                                        std::string& problem) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        problem = std::string("cannot be opened (") + std::strerror(errno ? errno : EIO) + ")";
        return nullptr;
    }
    unsigned char start[PICTURE_SIGNATURE_BYTES];
    in.read(reinterpret_cast<char*>(start), sizeof start);
    problem = pictureSignatureProblem(start, std::size_t(in.gcount()));
    if (!problem.empty()) return nullptr;
    in.close();

    irr::video::IImage* picture = renderer.readPicture(path.c_str());
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
    std::unique_ptr<Image> image(renderer.createImage(path.c_str(), picture, true, flags, nullptr));
    if (!image) problem = "no texture could be made of it";
    return image;
}
