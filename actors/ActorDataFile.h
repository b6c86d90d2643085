#pragma once
// The actor data file ("TMLR"): an actor's whole track and its two drawing flags.
//
// Layout, all little-endian, no padding (14 + 20 x count bytes as written):
//   0   4 bytes  magic "TMLR"
//   4   int32    version: written as 2; 0, 1, 2 and negative values are read, above 2 rejected
//   8   int32    count of pose records; 0 or less means none
//   12  20 x count records: float32 position x, position y, rotation, scale x, scale y
//   then, only for version >= 2: byte bindScale, byte wobble (1 = set, anything else = clear)
#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "actors/Actor.h"
#include "platform/SafeFile.h"

constexpr char kActorDataMagic[4] = {'T', 'M', 'L', 'R'};
// The version this program writes.
constexpr int32_t kActorDataVersion = 2;
// The first version with the two flag bytes.
constexpr int32_t kActorDataFlagsVersion = 2;
constexpr std::size_t kActorDataHeaderSize = 12;
constexpr std::size_t kActorDataRecordSize = 20;
constexpr std::size_t kActorDataFlagsSize = 2;
// The largest track the int32 count can describe.
constexpr std::size_t kActorDataMaxRecords = 0x7FFFFFFF;

// What reading a data file gave.
enum class ActorDataStatus {
    Complete,    // every record and flag byte the header announces was there
    Truncated,   // the file ended early: whole records kept, missing flags clear
    TooShort,    // the file ended inside the magic or the version: rejected
    WrongMagic,  // not "TMLR": rejected
    BadVersion,  // version above 2: rejected
};

// True when the read data replaces the actor's track (Complete or Truncated).
inline bool actorDataAccepted(ActorDataStatus s) {
    return s == ActorDataStatus::Complete || s == ActorDataStatus::Truncated;
}

// The contents of a data file.
struct ActorData {
    int32_t version = 0;
    std::vector<ActorPose> poses;
    bool bindScale = false;
    bool wobble = false;
};

// What is wrong with a data file that was read with this status, in words ("" when it was
// read whole): data is what the reader gave (its version and the records it kept).
std::string actorDataProblem(ActorDataStatus status, const ActorData& data);

// Reads a data file from the stream's current position; never reserves more records than
// the rest of the stream can hold. out is only meaningful when the status is accepted.
ActorDataStatus readActorData(std::istream& in, ActorData& out);
// The version-2 bytes of a track and its flags (the caller keeps the track within
// kActorDataMaxRecords).
std::vector<uint8_t> encodeActorData(const std::vector<ActorPose>& poses, bool bindScale, bool wobble);
