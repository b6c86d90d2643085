#include "project/OpenRaster.h"

#include <expat.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// The archive's member that lists the layers.
constexpr const char* STACK_FILE = "stack.xml";

// A stack being read: its name, whether it is shown, its offset on the canvas.
struct OpenStack {
    std::string name;
    bool visible;
    long x, y;
};

// The parser's state while it walks stack.xml.
struct StackReader {
    LayerStack* out = nullptr;
    std::vector<OpenStack> stacks;
    std::vector<StackLayer> topFirst;  // layers in document order: the top layer first
    bool sawImage = false;
    int depth = 0;                     // elements open
    std::string error;
    XML_Parser parser = nullptr;
};

// The value of attribute name in expat's attribute list, or null.
const char* attribute(const XML_Char** attributes, const char* name) {
    for (int i = 0; attributes[i]; i += 2)
        if (std::strcmp(attributes[i], name) == 0) return attributes[i + 1];
    return nullptr;
}

// Reads an integer attribute (0 when it is absent); false for anything but a whole number
// within OPENRASTER_MAX_COORDINATE.
bool numberAttribute(const XML_Char** attributes, const char* name, long& value) {
    const char* text = attribute(attributes, name);
    value = 0;
    if (!text) return true;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    if (end == text || errno != 0) return false;
    while (*end == ' ' || *end == '\t' || *end == '\n' || *end == '\r') ++end;
    return *end == '\0' && value >= -OPENRASTER_MAX_COORDINATE && value <= OPENRASTER_MAX_COORDINATE;
}

// True unless the attribute visibility says "hidden".
bool shown(const XML_Char** attributes) {
    const char* v = attribute(attributes, "visibility");
    return !(v && std::strcmp(v, "hidden") == 0);
}

// Stops the parse with a reason.
void stop(StackReader& r, const std::string& why) {
    if (r.error.empty()) r.error = why;
    XML_StopParser(r.parser, XML_FALSE);
}

void XMLCALL startElement(void* data, const XML_Char* element, const XML_Char** attributes) {
    StackReader& r = *static_cast<StackReader*>(data);
    if (!r.error.empty()) return;
    ++r.depth;
    if (r.depth == 1) {
        if (std::strcmp(element, "image") != 0) return stop(r, "stack.xml does not describe an image");
        r.sawImage = true;
        if (!numberAttribute(attributes, "w", r.out->width) ||
            !numberAttribute(attributes, "h", r.out->height) || r.out->width <= 0 ||
            r.out->height <= 0)
            return stop(r, "the canvas size in stack.xml is missing or out of range");
        return;
    }
    // Only stacks nest; anything else inside the image is not a layer of ours (a text or
    // filter element, say) and is passed over with what it holds.
    const bool inStacks = int(r.stacks.size()) == r.depth - 2;
    if (!inStacks) return;
    const bool parentShown = r.stacks.empty() || r.stacks.back().visible;
    const long baseX = r.stacks.empty() ? 0 : r.stacks.back().x;
    const long baseY = r.stacks.empty() ? 0 : r.stacks.back().y;
    long x = 0, y = 0;
    if (std::strcmp(element, "stack") == 0 || std::strcmp(element, "layer") == 0) {
        if (!numberAttribute(attributes, "x", x) || !numberAttribute(attributes, "y", y))
            return stop(r, std::string("a ") + element + " in stack.xml has a bad x or y");
    }
    const char* name = attribute(attributes, "name");
    if (std::strcmp(element, "stack") == 0) {
        if (int(r.stacks.size()) >= OPENRASTER_MAX_DEPTH)
            return stop(r, "stack.xml nests its groups too deeply");
        r.stacks.push_back({name ? name : "", parentShown && shown(attributes), baseX + x, baseY + y});
    } else if (std::strcmp(element, "layer") == 0) {
        if (r.topFirst.size() >= OPENRASTER_MAX_LAYERS)
            return stop(r, "stack.xml lists more than " + std::to_string(OPENRASTER_MAX_LAYERS) +
                               " layers");
        const char* source = attribute(attributes, "src");
        if (!source || !*source) return stop(r, "a layer in stack.xml names no picture");
        StackLayer layer;
        for (const OpenStack& s : r.stacks) layer.names.push_back(s.name);
        layer.names.push_back(name ? name : "");
        layer.source = source;
        layer.x = baseX + x;
        layer.y = baseY + y;
        layer.visible = parentShown && shown(attributes);
        r.topFirst.push_back(std::move(layer));
    }
}

void XMLCALL endElement(void* data, const XML_Char* element) {
    StackReader& r = *static_cast<StackReader*>(data);
    if (!r.error.empty()) return;
    if (std::strcmp(element, "stack") == 0 && int(r.stacks.size()) == r.depth - 1)
        r.stacks.pop_back();
    --r.depth;
}

// Releases a libzip or expat object through the library's own function for it.
template <class T, auto release>
struct Releaser {
    void operator()(T* object) const { release(object); }
};
// An open archive, a member of it, a source no archive took over, an XML parser.
using Archive = std::unique_ptr<zip_t, Releaser<zip_t, zip_discard>>;
using Member = std::unique_ptr<zip_file_t, Releaser<zip_file_t, zip_fclose>>;
using Source = std::unique_ptr<zip_source_t, Releaser<zip_source_t, zip_source_free>>;
using Parser = std::unique_ptr<XML_ParserStruct, Releaser<XML_ParserStruct, XML_ParserFree>>;

// Reads member name of the archive whole into bytes, refusing more than limit bytes.
bool readMember(zip_t* archive, const std::string& name, uint64_t limit,
                std::vector<uint8_t>& bytes, std::string& error) {
    zip_stat_t info;
    zip_stat_init(&info);
    if (zip_stat(archive, name.c_str(), 0, &info) != 0) {
        error = name + " is missing from the archive";
        return false;
    }
    if (!(info.valid & ZIP_STAT_SIZE) || info.size > limit) {
        error = name + " is too large (stack.xml may hold up to " +
                std::to_string(OPENRASTER_MAX_STACK_BYTES >> 20) + " MiB, a layer " +
                std::to_string(OPENRASTER_MAX_LAYER_BYTES >> 20) + " MiB, all layers together " +
                std::to_string(OPENRASTER_MAX_TOTAL_BYTES >> 20) + " MiB)";
        return false;
    }
    const Member file(zip_fopen(archive, name.c_str(), 0));
    if (!file) {
        error = name + " cannot be opened: " + zip_strerror(archive);
        return false;
    }
    bytes.resize(size_t(info.size));
    const zip_int64_t got = info.size ? zip_fread(file.get(), bytes.data(), info.size) : 0;
    // A short read or a wrong checksum shows at the end of the member.
    char extra;
    const bool whole = got == zip_int64_t(info.size) && zip_fread(file.get(), &extra, 1) == 0;
    if (!whole) error = name + " is damaged: " + zip_file_strerror(file.get());
    return whole;
}

// The layer's names joined by '-', empty ones left out.
std::string joinedName(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& n : names) {
        if (n.empty()) continue;
        if (!joined.empty()) joined += '-';
        joined += n;
    }
    return joined;
}

// Reads the layers of an open archive.
bool readArchive(zip_t* archive, LayeredPicture& out, std::string& error) {
    std::vector<uint8_t> xml;
    if (!readMember(archive, STACK_FILE, OPENRASTER_MAX_STACK_BYTES, xml, error)) {
        error = "not an OpenRaster picture: " + error;
        return false;
    }
    LayerStack stack;
    if (!parseOpenRasterStack(reinterpret_cast<const char*>(xml.data()), xml.size(), stack, error))
        return false;
    out.width = stack.width;
    out.height = stack.height;
    out.layers.clear();
    uint64_t total = 0;
    for (const StackLayer& layer : stack.layers) {
        if (!layer.visible) continue;
        PictureLayer picture;
        picture.name = joinedName(layer.names);
        picture.x = layer.x;
        picture.y = layer.y;
        const uint64_t room = OPENRASTER_MAX_TOTAL_BYTES - total;
        if (!readMember(archive, layer.source, std::min(room, OPENRASTER_MAX_LAYER_BYTES),
                        picture.bytes, error))
            return false;
        total += picture.bytes.size();
        out.layers.push_back(std::move(picture));
    }
    return true;
}

}  // namespace

bool parseOpenRasterStack(const char* xml, size_t size, LayerStack& out, std::string& error) {
    out = LayerStack();
    if (size > OPENRASTER_MAX_STACK_BYTES) {
        error = "stack.xml is too large";
        return false;
    }
    StackReader reader;
    reader.out = &out;
    const Parser parser(XML_ParserCreate(nullptr));
    if (!parser) {
        error = "out of memory";
        return false;
    }
    reader.parser = parser.get();
    XML_SetUserData(parser.get(), &reader);
    XML_SetElementHandler(parser.get(), startElement, endElement);
    const XML_Status status = XML_Parse(parser.get(), xml, int(size), XML_TRUE);
    if (reader.error.empty() && status != XML_STATUS_OK)
        reader.error = std::string("stack.xml is not well-formed (line ") +
                       std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                       XML_ErrorString(XML_GetErrorCode(parser.get())) + ")";
    if (reader.error.empty() && !reader.sawImage) reader.error = "stack.xml is empty";
    if (!reader.error.empty()) {
        error = reader.error;
        out = LayerStack();
        return false;
    }
    out.layers.assign(reader.topFirst.rbegin(), reader.topFirst.rend());
    return true;
}

bool readOpenRaster(const std::string& path, LayeredPicture& out, std::string& error) {
    int code = 0;
    Archive archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!archive) {
        zip_error_t reason;
        zip_error_init_with_code(&reason, code);
        error = std::string("not a readable OpenRaster (zip) file: ") + zip_error_strerror(&reason);
        zip_error_fini(&reason);
        return false;
    }
    return readArchive(archive.get(), out, error);
}

bool readOpenRasterBytes(const void* data, size_t size, LayeredPicture& out, std::string& error) {
    zip_error_t reason;
    zip_error_init(&reason);
    Source source(zip_source_buffer_create(data, size, 0, &reason));
    Archive archive(source ? zip_open_from_source(source.get(), ZIP_RDONLY, &reason) : nullptr);
    if (!archive) {
        error = std::string("not a readable OpenRaster (zip) file: ") + zip_error_strerror(&reason);
        zip_error_fini(&reason);
        return false;
    }
    source.release();  // the archive owns it now
    zip_error_fini(&reason);
    return readArchive(archive.get(), out, error);
}
