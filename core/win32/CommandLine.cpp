#include "core/CommandLine.h"

#include "core/win32/WideText.h"

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <cstdio>

namespace memvane {

std::vector<std::string> programArguments(int argc, char** argv)
{
    _setmode(_fileno(stdout), _O_BINARY);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) // no wide command line to be had: the ANSI one is better than none
        return argc > 1 ? std::vector<std::string>(argv + 1, argv + argc)
                        : std::vector<std::string>();
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i)
        args.push_back(win32::fromWide(wide[i]));
    LocalFree(wide);
    return args;
}

} // namespace memvane
