#include "core/ProgramFolder.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace memvane;

TEST(ProgramFolderTest, TheToolFindsTheWindowsFolder)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "build/app");
    std::filesystem::create_directories(dir.path() / "build/cli");
    std::filesystem::create_directories(dir.path() / "bin");
    std::ofstream(dir.file("build/app/memvane")) << "x";
    std::ofstream(dir.file("bin/memvane")) << "x";
    const std::string root = dir.path().string();

    EXPECT_EQ(settingsFolderFor(root + "/build/app/"), root + "/build/app/");
    EXPECT_EQ(settingsFolderFor(root + "/build/cli/"), root + "/build/app/");
    EXPECT_EQ(settingsFolderFor(root + "/bin"), root + "/bin/");
    // Anywhere else (a copy of the tool alone) the tool's own folder.
    EXPECT_EQ(settingsFolderFor(root + "/"), root + "/");
}
