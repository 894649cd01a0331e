// memvane-cli: the radio operations of the main window without a window (cli/Cli.h).
#include "cli/Cli.h"
#include "core/CommandLine.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> args = memvane::programArguments(argc, argv);
    return memvane::cli::run(args, stdout, stderr);
}
