#pragma once
// The recovery file: every actor's unsaved track and flags, written in the background while
// the editor works so that a crash, a power cut or a kill loses at most the last moments.
//
// Layout, all little-endian, no padding:
//   8 bytes  magic "TMLRRCV1"
//   int32    animation length in frames (at least 1)
//   int32    actor count
//   per actor: int32 name length, the name's bytes, int32 data length, the actor's bytes in
//              the data file's own format (actors/ActorDataFile.h)
//   4 bytes  end mark "END."
// A file that breaks any of these rules, or holds anything after the end mark, is refused
// whole.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "actors/ActorDataFile.h"

// Name of the recovery file inside the actors' folder.
constexpr const char* RECOVERY_FILE_NAME = ".unsaved-edits.recovery";
// Most actors and the longest actor name a recovery file may hold.
constexpr int32_t RECOVERY_MAX_ACTORS = 100000;
constexpr int32_t RECOVERY_MAX_NAME_BYTES = 4096;

// One actor's unsaved state.
struct RecoveredActor {
    std::string name;
    ActorData data;
};

// What a recovery file holds.
struct RecoverySnapshot {
    int32_t frameCount = 1;
    std::vector<RecoveredActor> actors;
};

// The recovery file's path: beside the actors' data files, in the folder they are loaded from
// (actorFolder, ending in '/').
std::string recoveryFilePath(const std::string& actorFolder);
// The bytes of a snapshot.
std::vector<uint8_t> encodeRecovery(const RecoverySnapshot& snapshot);
// Reads a snapshot from bytes; false with the reason in error when they are damaged.
bool decodeRecovery(const uint8_t* data, std::size_t size, RecoverySnapshot& out,
                    std::string& error);

// Writes recovery files on a thread of its own, so that the frames never wait for the disk.
// Each request replaces any that has not started yet; the file is written whole beside its
// place and renamed over it.
class RecoveryWriter {
public:
    // Starts the writing thread for the file at path.
    explicit RecoveryWriter(std::string path);
    // Finishes the pending request, then stops the thread.
    ~RecoveryWriter();
    // Writes the snapshot as the recovery file (encoded and written soon, in the background).
    void write(RecoverySnapshot snapshot);
    // Removes the recovery file (soon, in the background).
    void remove();
    // Waits until every request made so far is done.
    void finish();
    // The message of the last request, when it failed ("" when it succeeded).
    std::string lastError();
    // The recovery file's path.
    std::string path();
    // Moves the recovery file to path (for the requests made from now on).
    void setPath(std::string path);

private:
    enum class Job { None, Write, Remove };
    // The thread: takes the newest request and carries it out, until stopped.
    void run();

    std::string path_;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    Job pending = Job::None;
    RecoverySnapshot snapshot;
    bool busy = false;
    bool stopping = false;
    std::string error;
    std::thread thread;
};
