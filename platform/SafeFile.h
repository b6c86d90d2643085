#pragma once
// Writing a file so that a failure at any step (a full disk, a folder that cannot be written,
// a crash) never leaves it half written: the old contents or the new, nothing between.
#include <cstdint>
#include <string>
#include <vector>

// Replaces the file at path with bytes: writes a temporary file in the same folder, flushes it
// to disk and renames it over the old one, keeping the old permissions. False on any failure; the
// old file is then intact, the temporary file removed and *error (when given) says why.
bool replaceFileSafely(const std::string& path, const std::vector<uint8_t>& bytes,
                       std::string* error = nullptr);
// Writes the folder's entries (renames, new and removed files) to the disk.
void syncFolder(const std::string& folder);
