#pragma once
// The program's arguments as byte strings. On Windows main() receives them in the ANSI code
// page, which loses letters outside it; there they are taken from the wide command line and
// handed on as UTF-8, the encoding every file name of the program is in. A console program
// there also gets its standard output in binary mode, so a channel file written to it keeps its
// CR LF line ends instead of gaining a second CR per line.

#include <string>
#include <vector>

namespace memvane {

// The arguments after the program's name; called once at the start of main().
std::vector<std::string> programArguments(int argc, char** argv);

} // namespace memvane
