#pragma once
// Keeping a file that must not be lost out of the way: it is renamed beside itself to a name
// that no file has, never over another file.
#include <string>

// Renames from to to unless a file is at to (never replacing it, also where the file system
// lacks a rename that refuses to replace): 0, or the errno (EEXIST when the name is taken).
int renameWithoutReplacing(const std::string& from, const std::string& to);

// Most names tried (suffix, suffix-2, ... suffix-N) before giving up.
constexpr int FILE_ASIDE_MAX_TRIES = 1000;

// Renames the file at path to path + suffix, or, when that name is taken, path + suffix + "-2",
// "-3" and so on, never replacing a file. True with the new path in keptAs; false with the
// reason in error (the file then stays where it was).
bool moveAside(const std::string& path, const std::string& suffix, std::string& keptAs,
               std::string& error);
