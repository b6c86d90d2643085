#pragma once
// The file work of making a project: reading a file whole, writing a new one whole and to
// the disk, moving one without replacing another, and the parts of a file's name.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/SafeFile.h"  // syncFolder

// The text with A-Z turned to a-z.
std::string lowerCase(std::string s);
// The extension of a file name from its last '.', in lower case ("" without one).
std::string extensionOf(const std::string& path);
// The file name without its folder and its extension.
std::string stemOf(const std::string& path);

// Reads a whole file; false with errno set.
bool readWholeFile(const std::string& path, std::vector<uint8_t>& bytes);
// Writes a new file (it must not exist) whole and to the disk; false with errno set, and
// then nothing of it is left.
bool writeNewFile(const std::string& path, const std::vector<uint8_t>& bytes);
// Moves from to to, never over an existing file; false with errno set.
bool moveWithoutReplacing(const std::string& from, const std::string& to);
// The permissions a new folder gets under the process's umask.
mode_t newFolderMode();
