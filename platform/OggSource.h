#pragma once
// The bytes of an Ogg Vorbis music file for the sound layer: a region of a file on disk or a
// copy of bytes in memory, checked whole before it is decoded.
#include <vorbis/vorbisfile.h>

#include <cstdio>
#include <vector>

namespace fsound {

// Largest music file copied into memory (FSOUND_LOADMEMORY).
constexpr long long MAX_MEMORY_BYTES = 64ll << 20;
// Bytes fed to the page checker at once.
constexpr int CHECK_CHUNK_BYTES = 64 * 1024;

// The Ogg file: a region of a file on disk, or a copy of bytes in memory.
struct OggSource {
    std::FILE* file = nullptr;
    long long begin = 0;  // offset of the region in the file
    std::vector<unsigned char> memory;
    long long size = 0;
    long long pos = 0;

    OggSource() = default;
    // Closes the file.
    ~OggSource();
    OggSource(const OggSource&) = delete;
    OggSource& operator=(const OggSource&) = delete;

    // Reads up to n bytes at pos; the count read.
    size_t read(void* out, size_t n);
};

// Opens the source: a region of a file (offset, length bytes, 0 = to its end) or, with the
// FSOUND_LOADMEMORY mode bit, a copy of length bytes of memory at nameOrData + offset.
// FSOUND_ERR_NONE, or the FSOUND error code of the failure.
int openOggSource(const char* nameOrData, unsigned int mode, int offset, int length, OggSource& source);
// True when the source is a sequence of whole Ogg pages with valid checksums and no bytes
// around them, whose last page ends its logical stream: corrupt and truncated files are refused.
bool isIntactOgg(OggSource& source);
// libvorbisfile's read, seek and tell over an OggSource (its datasource).
ov_callbacks oggSourceCallbacks();

}  // namespace fsound
