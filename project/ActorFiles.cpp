#include "project/ActorFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "actors/ActorDataFile.h"
#include "platform/Signals.h"
#include "project/ProjectFiles.h"

namespace fs = std::filesystem;

std::string actorNameFor(const std::string& text) {
    std::string name;
    for (const char c : text.substr(0, text.find('\0'))) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) continue;
        name += std::strchr("/\\:*?\"<>| ", c) ? '-' : c;
    }
    // Dashes at either end, and dots at the start, say nothing.
    const size_t start = name.find_first_not_of("-.");
    name = start == std::string::npos ? "" : name.substr(start);
    while (!name.empty() && name.back() == '-') name.pop_back();
    if (name.size() > ACTOR_NAME_MAX_BYTES) {
        size_t cut = ACTOR_NAME_MAX_BYTES;
        // Not inside a UTF-8 character: back up over its continuation bytes.
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name.empty() ? "layer" : name;
}

std::string numberedActorFile(int n, const std::string& name, const std::string& extension) {
    char number[16];
    std::snprintf(number, sizeof number, "%0*d-", ACTOR_NUMBER_DIGITS, n);
    return number + name + extension;
}

int actorFileNumber(const std::string& fileName) {
    int n = 0, digits = 0;
    for (const char c : fileName) {
        if (c < '0' || c > '9') break;
        if (++digits > ACTOR_NUMBER_DIGITS + 6) return -1;
        n = n * 10 + (c - '0');
    }
    return digits > 0 && fileName.size() > size_t(digits) && fileName[size_t(digits)] == '-' ? n : -1;
}

ExistingActors existingActors(const std::string& folder) {
    ExistingActors found;
    found.folder = folder;
    std::error_code ec;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
        const std::string name = entry.path().filename().string();
        const std::string ext = extensionOf(name);
        if (ext != ".png" && ext != ".jpg") continue;
        found.pictures.push_back(name);
        found.anyPng = found.anyPng || ext == ".png";
        found.largestNumber = std::max(found.largestNumber, actorFileNumber(name));
        std::ifstream in(folder + actorNameFromFileName(name) + kActorDataSuffix, std::ios::binary);
        ActorData data;
        const bool read = in && actorDataAccepted(readActorData(in, data)) && !data.poses.empty();
        found.firstPoses.push_back(read ? data.poses.front() : ActorPose::defaultPose());
        if (read) found.longestTrack = std::max(found.longestTrack, int(data.poses.size()));
    }
    return found;
}

std::string actorLimitProblem(size_t existing, int first, size_t added) {
    // Both the count and the numbers: pictures placed by hand may have no number, and
    // numbers may have gaps.
    if (existing + added <= size_t(PROJECT_MAX_ACTORS) && size_t(first) + added <= size_t(PROJECT_MAX_ACTORS))
        return "";
    char limit[96];
    std::snprintf(limit, sizeof limit, "a project holds at most %d actors, numbered %0*d to %0*d",
                  PROJECT_MAX_ACTORS, ACTOR_NUMBER_DIGITS, 0, ACTOR_NUMBER_DIGITS,
                  PROJECT_MAX_ACTORS - 1);
    return limit;
}

bool writeActors(const std::vector<PlannedActor>& actors, int first, int frames,
                 const std::string& folder, std::vector<std::string>& written,
                 ProjectFailure& failure) {
    for (size_t i = 0; i < actors.size(); ++i) {
        const PlannedActor& a = actors[i];
        const std::string picture = numberedActorFile(first + int(i), a.name, a.extension);
        const std::string data = actorNameFromFileName(picture) + kActorDataSuffix;
        if (quitSignal() != 0) {
            failure = {a.origin, "interrupted"};
            return false;
        }
        const std::vector<ActorPose> track(size_t(frames), a.pose);
        if (!writeNewFile(folder + picture, a.bytes)) {
            failure = {folder + picture, std::strerror(errno)};
            return false;
        }
        written.push_back(picture);
        if (!writeNewFile(folder + data, encodeActorData(track, false, false))) {
            failure = {folder + data, std::strerror(errno)};
            return false;
        }
        written.push_back(data);
    }
    return true;
}
