#pragma once
// The drawing order kept in the actors' file names. The program draws the actors of a folder
// in the order it loads them: every JPEG picture first, then every PNG picture, each group in
// the engine's file-list order (names compared letter by letter, A-Z as a-z). So a new order
// is kept by renaming pictures (with their data files) so that the list gives it: their
// numbers ("07-sun.png", as many digits as the folder's names have) are changed, the fewest
// pictures possible, and a name is only ever given where no file is.
//
// Renaming never loses a file: the moves are written to a journal beside the actors first,
// then carried out one by one, each to a name where no file is (and no file of the old names
// has one of the new names), so every picture and track is at its old name or at its new one
// at any moment. A failed move moves back what was moved; a crash leaves the journal, and the
// next start finishes the moves it lists (finishDrawingOrder).
//
// Journal ("DRAWING_ORDER_JOURNAL" in the actor folder), text, one entry a line, each name
// given as its length in bytes (decimal, no leading zero), ':' and its bytes (so that any name
// stands in it):
//   tumelora drawing order 1
//   rename 10:07-sun.png 10:09-sun.png      a picture or data file to its new name
//   replace 24:.rig.txt.new-actor-names 7:rig.txt   a prepared text file over its old one
//   end
// Names are plain file names in the actor folder: empty names, "." and "..", and names with
// '/' or a zero byte are refused, and so is anything after "end".
#include <cstddef>
#include <string>
#include <vector>

// The journal's name in the actor folder.
constexpr const char* DRAWING_ORDER_JOURNAL = ".drawing-order.journal";
// Added before and after a text file's name for its prepared copy with the new actor names.
constexpr const char* PREPARED_TEXT_PREFIX = ".";
constexpr const char* PREPARED_TEXT_SUFFIX = ".new-actor-names";
// Digits of a picture's number when no picture of the folder has one.
constexpr int DRAWING_ORDER_DEFAULT_DIGITS = 3;
// The largest journal read, in bytes.
constexpr std::size_t DRAWING_ORDER_JOURNAL_MAX_BYTES = std::size_t(1) << 22;

// True when the engine's file list puts name a before name b (letters compared as lower case).
bool fileListBefore(const std::string& a, const std::string& b);
// True when the picture file name is a JPEG one (".jpg", any case); the others are PNG ones.
bool isJpegPicture(const std::string& fileName);

// New picture names for the actors in drawing order.
struct OrderPlan {
    std::vector<std::string> pictures;  // each actor's picture name (its old one when kept)
    std::string problem;                // why no plan was made ("" when it was)
};
// The names that give the drawing order of pictures (each actor's picture file name, bottom
// first): the fewest pictures renamed, each new name free in the folder (folderFiles: every
// name in it). Refused when a PNG picture comes before a JPEG picture.
OrderPlan planDrawingOrder(const std::vector<std::string>& pictures, const std::vector<std::string>& folderFiles);

// One move of the journal: a file renamed (never over another) or a prepared file put in place
// of another (replace).
struct FileMove {
    std::string from, to;
    bool replace = false;
};
// The journal's contents.
struct OrderJournal {
    std::vector<FileMove> moves;
};
// The journal's text.
std::string encodeOrderJournal(const OrderJournal& journal);
// Reads a journal; false with the reason in error when it breaks the rules above.
bool decodeOrderJournal(const std::string& text, OrderJournal& out, std::string& error);

// Moves a file in the actor folder; a test can make a move fail, or stop the program.
class FileMover {
public:
    virtual ~FileMover() = default;
    // Moves from to to (paths), never over a file unless replace; false with the reason.
    virtual bool move(const std::string& from, const std::string& to, bool replace, std::string& error);
};

// What carrying out the renaming did.
struct RenameOutcome {
    bool done = false;         // every move was made and the journal removed
    bool journalKept = false;  // the journal is still there: the next start finishes it
    int moved = 0;             // files renamed
    std::string error;         // what failed, and what became of the files
};
// A text file of the actor folder (the rig, the scene settings) with the actors' new names.
struct PreparedText {
    std::string file;  // its name in the folder
    std::string text;  // its new contents
};
// Renames files in folder (ending in '/'; renames: never over a file) and puts the texts in
// place: writes each text beside its file (PREPARED_TEXT_PREFIX + name + PREPARED_TEXT_SUFFIX),
// then the journal, then makes the renames and puts the prepared texts over their files, then
// removes the journal. When a rename fails, those made are taken back and the journal and the
// prepared texts removed (every file has its old name again), unless taking them back fails
// too: then the journal stays for the next start, as it does when a text cannot be put in place.
RenameOutcome carryOutRenames(const std::string& folder, const std::vector<FileMove>& renames,
                              const std::vector<PreparedText>& texts, FileMover& mover);

// What the start found of a journal left by a renaming that did not end.
struct JournalFinish {
    bool found = false;                 // a journal was there
    std::vector<std::string> messages;  // what was done, and what could not be, one line each
};
// Finishes the moves of a journal left in folder: each file still at its old name is moved to
// its new one (a file already at its new name is left), then the journal is removed. A
// journal that cannot be read is kept aside and named; no file is moved then.
JournalFinish finishDrawingOrder(const std::string& folder);
