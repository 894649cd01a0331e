#include "core/FileFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace memvane {

namespace {

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    std::vector<char> buf(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buf.data(), buf.size(), &found) == 0 && found &&
        found->pw_dir)
        return found->pw_dir;
    return {};
}

} // namespace

FileFolder currentFileFolder(const std::string& exeDir, const std::string& appId)
{
    FileFolderInput input;
    input.exeDir = withSlash(exeDir);
    input.exeDirWritable = ::access(input.exeDir.c_str(), W_OK) == 0;
    std::error_code ec;
    input.installedDir = std::filesystem::is_regular_file(
        input.exeDir + "../share/applications/" + appId + ".desktop", ec);
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"))
        input.xdgConfigHome = xdg;
    input.home = homeFolder();
    return chooseFileFolder(input);
}

bool ensureFolder(const std::string& dir)
{
    // Each level in turn, so new parents get 0700 too; an existing folder keeps its mode.
    for (std::size_t slash = dir.find('/', 1);; slash = dir.find('/', slash + 1)) {
        ::mkdir(dir.substr(0, slash).c_str(), 0700);
        if (slash == std::string::npos)
            break;
    }
    struct stat st{};
    return ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace memvane
