#include "core/ProgramFolder.h"

#include <filesystem>

namespace memvane {

namespace {
bool isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}
} // namespace

std::string settingsFolderFor(const std::string& exeDir)
{
    std::string dir = exeDir;
    if (!dir.empty() && dir.back() != '/' && dir.back() != kFolderSeparator)
        dir += kFolderSeparator;
    if (isFile(dir + kWindowProgramFile))
        return dir;
    std::filesystem::path tree = std::filesystem::path(dir).parent_path().parent_path() / "app";
    if (isFile((tree / kWindowProgramFile).string()))
        return tree.string() + kFolderSeparator;
    return dir;
}

std::string settingsFolder()
{
    return settingsFolderFor(executableDir());
}

} // namespace memvane
