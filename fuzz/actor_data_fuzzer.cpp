// Feeds arbitrary bytes to the actor data reader; whatever it accepts must survive a write and
// a second read unchanged, bit for bit.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>

#include "actors/ActorDataFile.h"

namespace {

bool sameBits(const ActorPose& a, const ActorPose& b) {
    const float fa[5] = {a.position.X, a.position.Y, a.rotation, a.scale.X, a.scale.Y};
    const float fb[5] = {b.position.X, b.position.Y, b.rotation, b.scale.X, b.scale.Y};
    return std::memcmp(fa, fb, sizeof fa) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    ActorData first;
    const ActorDataStatus status = readActorData(in, first);
    if (!actorDataAccepted(status)) return 0;
    if (first.poses.size() > size / kActorDataRecordSize) std::abort();  // more records than bytes

    const std::vector<uint8_t> bytes = encodeActorData(first.poses, first.bindScale, first.wobble);
    if (bytes.size() != kActorDataHeaderSize + kActorDataRecordSize * first.poses.size() + kActorDataFlagsSize)
        std::abort();
    std::istringstream again(std::string(bytes.begin(), bytes.end()));
    ActorData second;
    if (readActorData(again, second) != ActorDataStatus::Complete) std::abort();
    if (second.version != kActorDataVersion || second.poses.size() != first.poses.size()) std::abort();
    for (std::size_t i = 0; i < first.poses.size(); ++i)
        if (!sameBits(first.poses[i], second.poses[i])) std::abort();
    if (second.bindScale != first.bindScale || second.wobble != first.wobble) std::abort();
    return 0;
}
