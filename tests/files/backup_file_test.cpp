// The backups a write keeps: their names, that a backup never replaces a file, and which one
// "the newest" is.
#include "core/Errors.h"
#include "files/BackupFile.h"
#include "files/ChannelFile.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

using namespace memvane;
using namespace memvane::test;

namespace {

// 31 January 2025, 14:05:03 local time.
std::chrono::system_clock::time_point localMoment()
{
    std::tm tm{};
    tm.tm_year = 125;
    tm.tm_mon = 0;
    tm.tm_mday = 31;
    tm.tm_hour = 14;
    tm.tm_min = 5;
    tm.tm_sec = 3;
    tm.tm_isdst = -1;
    return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

const std::vector<ChannelRow> kRows = {
    {true, {"Mem 12", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off", "", "00.6000"}},
    {true, {"Mem 13", " ", " ", " ", " ", " ", " ", " "}}};

} // namespace

TEST(BackupFile, NameTellsTheLocalTimeToTheSecond)
{
    EXPECT_EQ(backupFileName(localMoment()), "backup-2025-01-31--140503.txt");
}

TEST(BackupFile, ABackupNeverReplacesAFile)
{
    TempDir dir;
    std::string folder = dir.file("sub/folder") + "/";
    std::string first = saveNewBackup(folder, kRows, localMoment());
    EXPECT_EQ(first, folder + "backup-2025-01-31--140503.txt") << "the folder is made";
    EXPECT_EQ(slurp(first), formatChannelFile(kRows));
    EXPECT_EQ(parseChannelFile(slurp(first)), kRows) << "blank rows load back blank";

    std::string second = saveNewBackup(folder, {kRows[0]}, localMoment());
    EXPECT_EQ(second, folder + "backup-2025-01-31--140503-2.txt");
    EXPECT_EQ(slurp(first), formatChannelFile(kRows));
    EXPECT_EQ(saveNewBackup(folder, kRows, localMoment()),
              folder + "backup-2025-01-31--140503-3.txt");

    std::ofstream(dir.file("file")) << "x";
    EXPECT_THROW(saveNewBackup(dir.file("file/below") + "/", kRows, localMoment()), EInOutError);
}

TEST(BackupFile, NewestByTheTimeInItsName)
{
    TempDir dir;
    std::string folder = dir.path().string() + "/";
    EXPECT_FALSE(newestBackup(folder));
    for (const char* name :
         {"backup-2025-01-31--140503.txt", "backup-2025-01-31--140503-2.txt",
          "backup-2024-12-31--235959.txt", "backup-2025-01-31--140503-10.txt",
          "backup-2025-02-01--000000-x.txt", "backup-2099-01-01--000000.txt.orig",
          "Backup-2099-01-01--000000.txt", "backup-2099-01-01-000000.txt"})
        std::ofstream(dir.file(name)) << "false,Mem 1\r\n";
    // A folder with a backup's name is no backup (its own year: Windows folds letter case).
    std::filesystem::create_directory(dir.file("backup-2098-01-01--000000.txt"));
    EXPECT_EQ(newestBackup(folder), folder + "backup-2025-01-31--140503-10.txt");
}
