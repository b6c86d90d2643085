#pragma once
// Reading an actor's picture: a PNG or JPEG file in the actor folder, within the program's
// picture limit. A picture that cannot be shown is refused with the reason in words.
#include <irrlicht.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class Image;
class PictureMask;
class Renderer2D;

// Bytes read from the start of a picture file to tell PNG from JPEG.
constexpr std::size_t PICTURE_SIGNATURE_BYTES = 8;
// Bytes read from the end of a JPEG file to find its end marker.
constexpr std::size_t JPEG_TAIL_BYTES = 64;

// Why the start of a file is not that of a PNG or JPEG picture ("" when it is).
std::string pictureSignatureProblem(const unsigned char* bytes, std::size_t size);
// True when the last bytes of a JPEG file hold its end marker, followed by nothing but zero
// bytes or line breaks (a file cut short lacks it, and is never handed to the decoder, which
// would read past what is there).
bool jpegTailComplete(const unsigned char* tail, std::size_t size);
// The actor pictures among the file names of an actor folder, in the order the player loads
// them: every ".jpg" picture first, then every ".png" one (extensions in any case), each group in
// the order given (the engine's file list).
std::vector<std::string> actorPictureOrder(const std::vector<std::string>& fileNames);
// Offers the actor pictures among an actor folder's file names to load, in actorPictureOrder;
// load returns true when the picture became an actor. A later picture of a name already loaded
// (a.jpg, a.png, a.JPG) would share its data file: it is not offered, and skipped is called with
// it and the picture that has the name.
void forEachActorPicture(const std::vector<std::string>& fileNames,
                         const std::function<bool(const std::string& file)>& load,
                         const std::function<void(const std::string& file, const std::string& first)>& skipped);
// "FOLDER/FILE is not loaded: FOLDER/FIRST already uses its data file" (folder ends in '/').
std::string sameNameProblem(const std::string& folder, const std::string& file, const std::string& first);

// A decoder of picture files (the video driver's): the picture, or null when it cannot be read.
using PictureReader = std::function<irr::video::IImage*(const char* path)>;
// Reads the picture at path with read; null with the reason in problem when the file is
// missing, empty, not a PNG or JPEG, damaged or cut short, or larger than the picture limit.
// The caller drops the picture.
irr::video::IImage* readActorPicture(const std::string& path, const PictureReader& read, std::string& problem);
// Loads the picture at path as an Image with the renderer's flags; null with the reason in
// problem when readActorPicture refuses it. With mask given, it gets the picture's drawn pixels (PictureMask)
// from the decoded picture, before the texture is made of it.
std::unique_ptr<Image> loadActorPicture(Renderer2D& renderer, const std::string& path, irr::u32 flags,
                                        std::string& problem, PictureMask* mask = nullptr);
// The drawn pixels of a decoded picture: those at least half opaque.
PictureMask pictureMaskOf(irr::video::IImage& picture);
