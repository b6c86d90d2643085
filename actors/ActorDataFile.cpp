#include "actors/ActorDataFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Words.h"

namespace {

uint32_t loadU32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

int32_t loadI32(const unsigned char* p) {
    const uint32_t u = loadU32(p);
    int32_t v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

float loadF32(const unsigned char* p) {
    const uint32_t u = loadU32(p);
    float v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

void storeU32(std::vector<uint8_t>& out, uint32_t u) {
    out.push_back(uint8_t(u));
    out.push_back(uint8_t(u >> 8));
    out.push_back(uint8_t(u >> 16));
    out.push_back(uint8_t(u >> 24));
}

void storeF32(std::vector<uint8_t>& out, float f) {
    uint32_t u;
    std::memcpy(&u, &f, sizeof u);
    storeU32(out, u);
}

// Reads exactly n bytes; false when the stream ends first.
bool readExact(std::istream& in, unsigned char* buf, std::size_t n) {
    in.read(reinterpret_cast<char*>(buf), std::streamsize(n));
    return std::size_t(in.gcount()) == n;
}

// Bytes left from the current position, or 0 when the stream cannot tell.
std::size_t remainingBytes(std::istream& in) {
    const std::istream::pos_type here = in.tellg();
    if (here == std::istream::pos_type(-1)) return 0;
    in.seekg(0, std::ios::end);
    const std::istream::pos_type end = in.tellg();
    in.seekg(here);
    if (end == std::istream::pos_type(-1) || !in || end < here) {
        in.clear();
        in.seekg(here);
        return 0;
    }
    return std::size_t(end - here);
}


}  // namespace

ActorDataStatus readActorData(std::istream& in, ActorData& out) {
    out = ActorData();
    unsigned char header[kActorDataHeaderSize];
    if (!readExact(in, header, 4)) return ActorDataStatus::TooShort;
    if (std::memcmp(header, kActorDataMagic, 4) != 0) return ActorDataStatus::WrongMagic;
    if (!readExact(in, header + 4, 4)) return ActorDataStatus::TooShort;
    out.version = loadI32(header + 4);
    if (out.version > kActorDataVersion) return ActorDataStatus::BadVersion;

    // From here the file is accepted; whatever is missing is simply not there.
    if (!readExact(in, header + 8, 4)) return ActorDataStatus::Truncated;
    const int32_t count = loadI32(header + 8);
    if (count > 0) {
        // Reserve only what the rest of the file can actually hold.
        const std::size_t fits = remainingBytes(in) / kActorDataRecordSize;
        out.poses.reserve(std::min(std::size_t(count), fits));
        unsigned char rec[kActorDataRecordSize];
        for (int32_t i = 0; i < count; ++i) {
            if (!readExact(in, rec, kActorDataRecordSize)) return ActorDataStatus::Truncated;
            ActorPose p;
            p.position.set(loadF32(rec), loadF32(rec + 4));
            p.rotation = loadF32(rec + 8);
            p.scale.set(loadF32(rec + 12), loadF32(rec + 16));
            out.poses.push_back(p);
        }
    }
    if (out.version >= kActorDataFlagsVersion) {
        unsigned char flag;
        if (!readExact(in, &flag, 1)) return ActorDataStatus::Truncated;
        out.bindScale = flag == 1;
        if (!readExact(in, &flag, 1)) return ActorDataStatus::Truncated;
        out.wobble = flag == 1;
    }
    return ActorDataStatus::Complete;
}

std::string actorDataProblem(ActorDataStatus status, const ActorData& data) {
    switch (status) {
        case ActorDataStatus::Complete: return "";
        case ActorDataStatus::Truncated:
            return "cut short after " + countOf(static_cast<long long>(data.poses.size()), "whole pose") +
                   " (they are used)";
        case ActorDataStatus::TooShort: return "too short to be a track file";
        case ActorDataStatus::WrongMagic: return "not a track file (it does not start with TMLR)";
        case ActorDataStatus::BadVersion:
            return "version " + std::to_string(data.version) + ", newer than this program reads (" +
                   std::to_string(kActorDataVersion) + ")";
    }
    return "";
}

std::vector<uint8_t> encodeActorData(const std::vector<ActorPose>& poses, bool bindScale, bool wobble) {
    std::vector<uint8_t> out;
    out.reserve(kActorDataHeaderSize + kActorDataRecordSize * poses.size() + kActorDataFlagsSize);
    for (char c : kActorDataMagic) out.push_back(uint8_t(c));
    storeU32(out, uint32_t(kActorDataVersion));
    storeU32(out, uint32_t(poses.size()));
    for (const ActorPose& p : poses) {
        storeF32(out, p.position.X);
        storeF32(out, p.position.Y);
        storeF32(out, p.rotation);
        storeF32(out, p.scale.X);
        storeF32(out, p.scale.Y);
    }
    out.push_back(bindScale ? 1 : 0);
    out.push_back(wobble ? 1 : 0);
    return out;
}
