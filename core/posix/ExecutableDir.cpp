#include "core/ProgramFolder.h"

#include <climits>
#include <unistd.h>

namespace memvane {

const char* const kWindowProgramFile = "memvane";
const char kFolderSeparator = '/';

std::string executableDir()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "./";
    std::string full(path, static_cast<size_t>(n));
    size_t slash = full.rfind('/');
    return slash == std::string::npos ? std::string("./") : full.substr(0, slash + 1);
}

} // namespace memvane
