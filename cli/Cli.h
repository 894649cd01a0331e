#pragma once
// memvane-cli: the radio operations of the main window for scripts and backups, on the same
// libraries and with the same "ComPort.ini", without a window.
//
//   read [-o FILE] [--format channel|chirp] [--first N] [--last M]
//   write FILE [--rows LIST] [--check] [--no-backup] [--backup FILE] [--no-verify]
//   restore [FILE] [--no-backup] [--backup FILE] [--no-verify]
//   tune MEM
//   convert IN OUT
//
// "-" names standard input or output wherever a file is named. Memories are 1..99 and the
// special ones 1A..C2 (also given as 100..107).
//
// Everything runs on the main thread. The port is opened without line events, so no event
// thread runs and nothing waits for a main-thread queue that no event loop drains: every
// exchange reads the port directly, as the window's exchanges do.

#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace memvane::cli {

enum ExitCode : int {
    kExitOk = 0,
    kExitRadio = 1,         // the radio refused or failed an exchange, or a memory differs
    kExitBadInput = 2,      // bad usage, a bad file, a port that cannot be opened
    kExitInterrupted = 130, // Ctrl-C: stopped at a memory boundary
};

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct Options
{
    std::string command;            // read, write, tune, convert
    std::vector<std::string> files; // the command's arguments
    std::string output;             // -o
    std::string format;             // --format: "", "channel" or "chirp"
    int first = 1, last = 99;       // --first, --last
    std::string rows;               // --rows
    bool backup = true, verify = true; // --no-backup, --no-verify
    std::string backupFile;            // --backup
    std::optional<std::string> port;
    std::optional<int> baud;
    std::optional<std::string> address; // "58", "4E" or "48"
    bool fast = false;  // --fast: read each reply as soon as it is complete
    bool check = false; // write --check: check the file, send nothing
    int verbosity = 1;  // 0 -q: failures only; 1 progress; 2 -v: every error line
    bool help = false, version = false;
};

// A memory of the radio as the tool takes it: 1..99, 1A..C2 in any case, or 100..107. Throws
// UsageError naming `option`.
int parseMemory(const std::string& option, const std::string& text);

// Throws UsageError with the text to print.
Options parseArguments(const std::vector<std::string>& args);

// "1,3,5-9" -> {1, 3, 5, 6, 7, 8, 9}; every number from 1 to `count`. Throws UsageError.
std::vector<int> parseRowList(const std::string& list, int count);

std::string helpText();

// The whole program: arguments (without the program name) in, exit code out. Messages go to
// `err`, a read without -o (or with -o -) to `out`; `in` is what "-" reads. A null `out` or
// `in` is a closed descriptor: a command that needs it is refused before the radio is asked.
int run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err,
        std::FILE* in = stdin);

// The file a read that did not complete writes instead of replacing `path`: "bk.txt" gives
// "bk.partial.txt", or "bk.partial-2.txt" and so on when that exists too.
std::string partialPath(const std::string& path);

} // namespace memvane::cli
