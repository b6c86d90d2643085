#pragma once
// What the steps of making a project (--new) or adding to one (--add) share: the failure
// they report. (Ctrl+C, `kill` or a hangup stop them through quitSignal(): each step checks
// it, and a child program is ended when it comes.)
#include <string>

// A failure: the file it concerns and the reason, in words.
struct ProjectFailure {
    std::string file;
    std::string reason;
};
