// memvane-cli: the radio operations of the main window without a window (cli/Cli.h).
#include "cli/Cli.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    return memvane::cli::run(args, stdout, stderr);
}
