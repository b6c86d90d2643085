#include "platform/OggSource.h"

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>

#include "platform/FSound.h"

namespace fsound {

namespace {

size_t sourceRead(void* ptr, size_t size, size_t count, void* source) {
    if (size == 0) return 0;
    return static_cast<OggSource*>(source)->read(ptr, size * count) / size;
}

int sourceSeek(void* source, ogg_int64_t offset, int whence) {
    auto* s = static_cast<OggSource*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR) base = s->pos;
    else if (whence == SEEK_END) base = s->size;
    else if (whence != SEEK_SET) return -1;
    const ogg_int64_t target = base + offset;
    if (target < 0 || target > s->size) return -1;
    s->pos = target;
    return 0;
}

long sourceTell(void* source) { return static_cast<long>(static_cast<OggSource*>(source)->pos); }

}  // namespace

OggSource::~OggSource() {
    if (file != nullptr) std::fclose(file);
}

size_t OggSource::read(void* out, size_t n) {
    n = static_cast<size_t>(std::min<long long>(static_cast<long long>(n), size - pos));
    if (n == 0) return 0;
    size_t got = n;
    if (file == nullptr) {
        std::memcpy(out, memory.data() + pos, n);
    } else {
        if (std::fseek(file, static_cast<long>(begin + pos), SEEK_SET) != 0) return 0;
        got = std::fread(out, 1, n, file);
    }
    pos += static_cast<long long>(got);
    return got;
}

int openOggSource(const char* nameOrData, unsigned int mode, int offset, int length, OggSource& source) {
    if ((mode & FSOUND_LOADMEMORY) != 0) {
        if (length <= 0 || length > MAX_MEMORY_BYTES)
            return length <= 0 ? FSOUND_ERR_INVALID_PARAM : FSOUND_ERR_MEMORY;
        const auto* data = reinterpret_cast<const unsigned char*>(nameOrData) + offset;
        source.memory.assign(data, data + length);
        source.size = length;
        return FSOUND_ERR_NONE;
    }
    source.file = std::fopen(nameOrData, "rb");
    if (source.file == nullptr) return FSOUND_ERR_FILE_NOTFOUND;
    const bool ok = std::fseek(source.file, 0, SEEK_END) == 0;
    const long long size = ok ? static_cast<long long>(std::ftell(source.file)) : -1;
    if (size < 0) return FSOUND_ERR_FILE_NOTFOUND;
    if (offset >= size) return FSOUND_ERR_FILE_FORMAT;
    source.begin = offset;
    source.size = length > 0 ? std::min<long long>(length, size - offset) : size - offset;
    return FSOUND_ERR_NONE;
}

bool isIntactOgg(OggSource& source) {
    source.pos = 0;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    bool bad = false;
    bool lastEos = false;
    long pages = 0;
    while (!bad) {
        ogg_page page;
        const int r = ogg_sync_pageout(&sync, &page);
        if (r < 0) {
            bad = true;
        } else if (r > 0) {
            ++pages;
            lastEos = ogg_page_eos(&page) != 0;
        } else if (source.pos < source.size) {
            char* buf = ogg_sync_buffer(&sync, CHECK_CHUNK_BYTES);
            const size_t n = buf != nullptr ? source.read(buf, CHECK_CHUNK_BYTES) : 0;
            if (n == 0) {
                bad = true;
                break;
            }
            ogg_sync_wrote(&sync, static_cast<long>(n));
        } else {
            break;
        }
    }
    const bool leftover = sync.fill != sync.returned;
    ogg_sync_clear(&sync);
    source.pos = 0;
    return !bad && !leftover && pages > 0 && lastEos;
}

ov_callbacks oggSourceCallbacks() { return ov_callbacks{sourceRead, sourceSeek, nullptr, sourceTell}; }

}  // namespace fsound
