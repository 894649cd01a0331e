#include "core/ProgramFolder.h"

#include <climits>
#include <filesystem>
#include <unistd.h>

namespace memvane {

namespace {
constexpr const char* kWindowProgram = "memvane";

bool isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}
} // namespace

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

std::string settingsFolderFor(const std::string& exeDir)
{
    std::string dir = exeDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    if (isFile(dir + kWindowProgram))
        return dir;
    std::filesystem::path tree = std::filesystem::path(dir).parent_path().parent_path() / "app";
    if (isFile((tree / kWindowProgram).string()))
        return tree.string() + '/';
    return dir;
}

std::string settingsFolder()
{
    return settingsFolderFor(executableDir());
}

} // namespace memvane
