#pragma once
// The hidden work folder in which --new builds a project (beside DIR) and --add writes the
// actors it adds (inside the project), removed with everything in it unless kept.
//
// Its name, ".PURPOSE-PID-XXXXXX", names the process that works in it, and that process
// holds a lock on the folder while it lives. A run killed outright (kill -9, a power cut)
// cannot remove its folder: the next run of the same purpose in the same place removes the
// folders whose process is gone and whose lock is free, and says so. Folders named as older
// versions named them (".PURPOSE-XXXXXX", no process id) cannot be judged: they are named
// on stderr and left alone.
#include <string>

// A hidden work folder of this process.
class WorkFolder {
public:
    // Makes the folder inside place for purpose ("tumelora-new"); empty path() on failure
    // (errno set).
    WorkFolder(const std::string& place, const std::string& purpose);
    ~WorkFolder();
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;

    // The folder, or empty when it could not be made.
    const std::string& path() const { return folder; }
    // The folder is no longer removed (it was renamed into place).
    void keep();

private:
    std::string folder;
    int lock = -1;  // the open folder, holding its lock
};

// Removes the work folders of purpose in place that runs killed outright left behind (their
// process gone, their lock free), each named on stderr; names the ones it cannot judge.
void removeLeftoverWorkFolders(const std::string& place, const std::string& purpose);
