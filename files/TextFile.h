#pragma once
// Whole-file reading and writing for the program's two text files (the channel file and
// "names.txt"), and the comma splitting both share.
//
// Reading takes the whole file into memory before anything is parsed, so a caller can parse
// it completely and only then replace what it shows. Writing goes through replaceFile
// (core/FileStore.h), the one replacement every file of the program gets.
//
// Everything here runs on the user-interface thread; nothing waits on anything but the local
// file system. Failures are thrown as EInOutError.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace memvane {

// The largest file either loader accepts. A channel file of every memory the radio has is
// under 10 KB, and a 100 000-row list about 7 MB; the bound keeps a wrong choice (a disk
// image, a log) from exhausting memory.
inline constexpr std::size_t kMaxTextFileSize = 32u << 20;

// Reads a regular file whole. Throws EInOutError:
//   "File not found" (missing), "File access denied" (no permission, a directory),
//   "I/O error %d" (other system errors), and, with an explanatory text, for files that are
//   not regular, larger than `maxSize`, or contain a NUL byte (not text at all).
// A UTF-8 byte-order mark at the start is dropped: editors add it, and it would otherwise
// stick to the first field of the first line.
std::string readTextFile(const std::string& path, std::size_t maxSize = kMaxTextFileSize);

// The same for a file that may be absent: nothing when the name is missing or holds no
// regular file (a folder, a FIFO, a device), which is never opened. Other failures throw as
// above.
std::optional<std::string> readTextFileIfAny(const std::string& path,
                                             std::size_t maxSize = kMaxTextFileSize);

// Splits file contents into lines. A line ends at CR LF, LF or a lone CR; the last line needs
// no ending. An empty file has no lines; a file ending in a line break has no empty line after
// it.
std::vector<std::string_view> splitLines(std::string_view text);

// Splits a line at its commas, at most `maxFields` fields: the text before each comma is a
// field, the rest after the last comma the last field (empty when the line ends with a comma).
// An empty line is one empty field. Field number `maxFields` holds the rest of the line with
// its commas, so joining the fields with commas always gives the line back.
std::vector<std::string> splitFields(std::string_view line, std::size_t maxFields = 16);

} // namespace memvane
