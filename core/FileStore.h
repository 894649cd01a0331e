#pragma once
// Reading and replacing the program's own files ("ComPort.ini", the channel file, "names.txt").
// The settings library and the files library both use it, which is why it lives at the bottom.
//
// Reading takes regular files only and never blocks: whatever else stands under the name (a
// folder, a FIFO, a device such as a link to /dev/zero, a socket) is reported as "not a file"
// without being opened, and the read is bounded by a size limit even when the file grows while
// it is read.
//
// Replacing writes the new bytes to a temporary file beside the target, flushes it, renames it
// over the target and flushes the folder, so a failure never leaves a damaged or half-written
// file. A symbolic link is followed: the file it names is replaced, the link stays. The old
// file's mode and owner are kept. A target the user may not write is refused, never replaced
// behind the user's back. When no temporary file can be made (a folder the user may not write)
// or the new file could not be given the old one's owner, a target the user may write is
// rewritten in place instead; its new length is reserved before the first byte changes, so a
// full disk leaves it as it was. While a replacement runs, the file-size signal is held back,
// so a file-size limit fails the write instead of ending the program.
//
// On Windows (core/win32/FileStore.cpp) the same holds with the system's calls: the temporary
// file takes the target's place through ReplaceFileW, which keeps its attributes and rights,
// and a read-only target is refused.
//
// Failures are thrown as EInOutError with the errno value ("File not found", "File access
// denied", "I/O error %d", or a sentence for the cases the system has no word for). Called on
// one thread at a time; nothing here waits for anything but the local file system.

#include <cstddef>
#include <string>
#include <string_view>

namespace memvane {

// What a name stands for, links followed.
enum class FileKind { Missing, Regular, Folder, Other };
FileKind fileKindOf(const std::string& path);

struct FileRead
{
    enum Status { Read, Missing, NotAFile };
    Status status = Missing;
    bool folder = false; // NotAFile: the name is a folder
    std::string bytes;   // Read: the whole file
};

// Reads a regular file whole. Missing names and names that are not regular files are results,
// not errors; a permission or I/O problem, or a file larger than `maxSize` ("File too large:
// <path> (more than <maxSize> bytes)", code EFBIG), throws EInOutError.
FileRead readRegularFile(const std::string& path, std::size_t maxSize);

// Throws EInOutError unless new files can be made in the folder `dir` ("" is the current one).
void requireWritableFolder(const std::string& dir);

// Makes `path` hold `bytes`, as described above. A folder under the name is "File access
// denied" (EISDIR); any other file that is not regular is "Not a regular file: <path>"
// (EINVAL).
void replaceFile(const std::string& path, std::string_view bytes);

} // namespace memvane
