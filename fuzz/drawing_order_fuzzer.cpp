// Feeds arbitrary bytes to the reader of the drawing order's renaming journal. A journal it
// takes names only plain files of the folder, and writes back as the same bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "states/DrawingOrder.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

bool plain(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > DRAWING_ORDER_JOURNAL_MAX_BYTES) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    OrderJournal journal;
    std::string error;
    if (!decodeOrderJournal(text, journal, error)) {
        check(!error.empty());
        return 0;
    }
    for (const FileMove& m : journal.moves) check(plain(m.from) && plain(m.to));
    check(encodeOrderJournal(journal) == text);
    return 0;
}
