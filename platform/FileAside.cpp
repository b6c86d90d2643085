#include "platform/FileAside.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

int renameWithoutReplacing(const std::string& from, const std::string& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    const int why = errno;
    if (why != EINVAL && why != ENOSYS && why != EOPNOTSUPP) return why;
    // A file system without that rename: a second link, then the old name goes.
    if (link(from.c_str(), to.c_str()) != 0) return errno;
    if (unlink(from.c_str()) != 0) {
        const int unlinkWhy = errno;
        unlink(to.c_str());
        return unlinkWhy;
    }
    return 0;
}

bool moveAside(const std::string& path, const std::string& suffix, std::string& keptAs,
               std::string& error) {
    for (int n = 1; n <= FILE_ASIDE_MAX_TRIES; ++n) {
        const std::string candidate = path + suffix + (n == 1 ? "" : "-" + std::to_string(n));
        const int why = renameWithoutReplacing(path, candidate);
        if (why == 0) {
            keptAs = candidate;
            return true;
        }
        if (why != EEXIST) {
            error = "cannot rename " + path + " to " + candidate + " (" + std::strerror(why) + ")";
            return false;
        }
    }
    error = "cannot rename " + path + ": every name up to " + path + suffix + "-" +
            std::to_string(FILE_ASIDE_MAX_TRIES) + " is taken";
    return false;
}
