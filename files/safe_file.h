// The one way this program opens a user's file for reading and replaces one by writing: regular files
// only (a pipe or device would block or never end), links followed to the file the user meant, its
// permissions kept, a read-only file left alone, and a new content put in place whole or not at all.
#pragma once

#include <cstdio>
#include <string>

namespace orv {

enum class FileRefusal {
    None,
    Missing,    // nothing of that name (or its folder) exists
    NotRegular, // a folder, pipe, device or socket (a folder is Folder when reading)
    ReadOnly,   // a file the user made read-only, or one we may not write (or, reading, may not read)
    Failed,     // anything else the system refused
    Folder,     // a folder, where a file is read
    TooLarge,   // more than the reader takes, or than memory holds
};

// No limit to what readWhole takes but memory.
constexpr std::size_t NO_READ_LIMIT = static_cast<std::size_t>(-1);

// Opens an existing regular file for binary reading without ever blocking (a FIFO is refused, not
// waited on). Returns nullptr and the reason on failure.
std::FILE* openForReading(const std::string& path, FileRefusal& why);
// The whole content of a regular file (opened as openForReading does). A file longer than limit gives
// its first limit bytes and TooLarge; one that cannot be opened, or reads shorter than its size, gives
// nothing and the reason. True only when the whole file was read.
bool readWhole(const std::string& path, std::size_t limit, std::string& bytes, FileRefusal& why);
// The size an open file says it has, in 64 bits everywhere; -1 when it cannot tell.
long long openFileSize(std::FILE* file);
// Why openForReading would refuse path now (None when it would not); nothing is read.
FileRefusal readRefusal(const std::string& path);
// A reader's refusal in words, for the user: "Error: file 'NAME' not found", "Error: 'NAME' is a
// folder", "Error: cannot read file 'NAME'"... NAME is the name as shown. Without the leading "Error: " when
// `bare`.
std::string readRefusalMessage(FileRefusal why, const std::string& name, bool bare = false);
// A file that is there but cannot be read (a folder, a FIFO, no permission): true, with what it is in
// message, for the loaders whose own word for any open that fails is "not found".
bool refusedWhereItIs(const std::string& path, const std::string& name, std::string& message);
// A saver's refusal in words: "Error: file 'NAME' could not be written" when what is there takes no
// file or the system failed it, else (a missing folder, a read-only file) "... could not be opened".
std::string writeRefusalMessage(FileRefusal why, const std::string& name);
// The reason a reader that calls every file it cannot open "not found" gives: Missing, unless the file
// was opened and then could not be read whole.
FileRefusal openedOrMissing(FileRefusal why);

// True when path names a device, folder, pipe or socket (links followed), or a name in the system's
// device folder: a name meant as it stands, which gets no default ending.
bool namesSpecialFile(const std::string& path);

// A file being written in place of `target`. Until committed, the user's file (if any) is untouched
// and nothing of the new one is visible; a process killed meanwhile leaves nothing behind where the
// system has unnamed temporary files.
struct ReplacingFile {
    std::FILE* file = nullptr; // opened "w+b": the writer may seek back and rewrite
    std::string target;        // the file the user meant, links followed
    std::string temporary;     // a named temporary beside the target, where unnamed ones are not had
    bool existed = false;      // the target was there: its mode and owner go to the new file
    bool inPlace = false;      // the target has other hard links: the complete content is copied into it
    unsigned mode = 0;         // the permission bits; on Windows the attributes
    unsigned owner = 0, group = 0;
};

// Starts a replacement of path (after following links). False with the reason when the target is not a
// regular file, is read-only, or no temporary file can be made beside it.
bool replacingOpen(ReplacingFile& out, const std::string& path, FileRefusal& why);
// Flushes and puts the new content in place; closes the file. False when any of it failed, and then
// the old content is still there.
bool replacingCommit(ReplacingFile& out);
// Drops the new content; closes the file. The target is as it was.
void replacingDiscard(ReplacingFile& out);

// Replaces a file with content as a whole (replacingOpen, write, replacingCommit).
bool replaceWhole(const std::string& path, const std::string& content, FileRefusal& why);

} // namespace orv
