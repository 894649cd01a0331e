#include "core/FileFolder.h"

namespace memvane {

std::string withSlash(std::string dir)
{
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir;
}

FileFolder chooseFileFolder(const FileFolderInput& input)
{
    std::string exeDir = withSlash(input.exeDir);
    if (input.exeDirWritable && !input.installedDir)
        return {exeDir, false};
    std::string base;
    if (!input.xdgConfigHome.empty() && input.xdgConfigHome.front() == '/')
        base = input.xdgConfigHome;
    else if (!input.home.empty() && input.home.front() == '/')
        base = withSlash(input.home) + ".config";
    else
        return {exeDir, false}; // nowhere better: closing will say the settings were not stored
    return {withSlash(base) + "memvane/", true};
}

} // namespace memvane
