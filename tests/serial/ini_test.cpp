// The INI reader and writer: matching rules, edits in place, everything else kept byte for byte,
// and saves that never damage the previous file.

#include "serial/IniFile.h"
#include "tests/files/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace memvane {
namespace {

using test::slurp;
using test::spit;

class IniFileTest : public ::testing::Test
{
protected:
    test::TempDir dir;
    std::string path = dir.file("ComPort.ini");
};

TEST_F(IniFileTest, ReadsIgnoringCaseFirstMatchWins)
{
    spit(path, "[Other]\nPort=COM9\n[comport1]\n  PORT = COM3  \nport=COM4\nBaud=a=b\n"
               "[ComPort1]\nPort=COM5\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("ComPort1", "Port", "x"), "COM3");
    EXPECT_EQ(ini.ReadString("COMPORT1", "baud", "x"), "a=b"); // text after the first "="
    EXPECT_EQ(ini.ReadString("Other", "Port", "x"), "COM9");
    EXPECT_EQ(ini.ReadString("ComPort1", "Missing", "fallback"), "fallback");
    EXPECT_EQ(ini.ReadString("Nowhere", "Port", "fallback"), "fallback");
    EXPECT_TRUE(ini.SectionExists("COMPORT1"));
    EXPECT_FALSE(ini.SectionExists("ComPort2"));
}

TEST_F(IniFileTest, CommentsEmptyValuesAndLineEndings)
{
    spit(path, "; comment\r\n[S]\r\n;Port=COM7\r\n# Port=COM8\r\nPort=\r\nKey=v\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "Port", "x"), "");
    EXPECT_EQ(ini.ReadString("S", "Key", "x"), "v"); // no carriage return in the value
}

TEST_F(IniFileTest, ALoneCarriageReturnEndsALineAndStaysWhereItWas)
{
    spit(path, "[ComPort1]\rPort=COM3\rjunk]\r\n[S]\nKey=v\r");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("ComPort1", "Port", "x"), "COM3");
    EXPECT_EQ(ini.ReadString("S", "Key", "x"), "v");
    ini.WriteString("ComPort1", "Port", "COM4");
    ini.WriteString("S", "New", "n");
    ini.Flush();
    EXPECT_EQ(slurp(path), "[ComPort1]\rPort=COM4\rjunk]\r\n[S]\nKey=v\rNew=n\r");
}

TEST_F(IniFileTest, ValuesAreCutAt2047Bytes)
{
    std::string longValue(3000, 'v');
    spit(path, "[S]\nK=" + longValue + "\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "K", ""), std::string(2047, 'v'));
}

TEST_F(IniFileTest, MissingFileReadsFallbacksAndIsCreatedOnWrite)
{
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString("S", "K", "dflt"), "dflt");
    EXPECT_FALSE(std::filesystem::exists(path));
    ini.WriteString("ComPort1", "Port", "COM1");
    EXPECT_FALSE(std::filesystem::exists(path)); // nothing on disk before Flush
    ini.Flush();
    EXPECT_EQ(slurp(path), "[ComPort1]\nPort=COM1\n");
}

TEST_F(IniFileTest, ReplacesInPlaceAndKeepsEverythingElse)
{
    const std::string before = "; settings\n[ComPort1]\nport = COM1\n; note\nBaudRate=9600\n\n"
                               "[Other]\nPort=COM2\n";
    spit(path, before);
    IniFile ini(path);
    ini.WriteString("COMPORT1", "Port", "COM7");
    ini.WriteString("ComPort1", "BaudRate", "9600"); // same value: no change
    ini.Flush();
    EXPECT_EQ(slurp(path), "; settings\n[ComPort1]\nport =COM7\n; note\nBaudRate=9600\n\n"
                           "[Other]\nPort=COM2\n");
}

TEST_F(IniFileTest, AppendsKeyAtEndOfItsSectionBeforeBlankLines)
{
    spit(path, "[ComPort1]\nPort=COM1\n\n[Other]\nA=1\n");
    IniFile ini(path);
    ini.WriteString("ComPort1", "StopBits", "1");
    ini.WriteString("Other", "B", "2");
    ini.Flush();
    EXPECT_EQ(slurp(path), "[ComPort1]\nPort=COM1\nStopBits=1\n\n[Other]\nA=1\nB=2\n");
}

TEST_F(IniFileTest, MissingSectionGoesAtTheEndInTheFilesLineEndings)
{
    spit(path, "[Other]\r\nA=1"); // last line without an ending
    IniFile ini(path);
    ini.WriteString("ComPort1", "Port", "COM1");
    ini.Flush();
    EXPECT_EQ(slurp(path), "[Other]\r\nA=1\r\n[ComPort1]\r\nPort=COM1\r\n");
}

TEST_F(IniFileTest, BytesOutsideAsciiRoundTrip)
{
    const std::string port = "/dev/serial/by-id/usb-\xC3\xA9\xFF-port0";
    spit(path, "[x]\n\xE9t\xE9=\xFE\n");
    IniFile ini(path);
    ini.WriteString("ComPort1", "Port", port);
    ini.Flush();
    IniFile again(path);
    EXPECT_EQ(again.ReadString("ComPort1", "Port", ""), port);
    EXPECT_EQ(slurp(path), "[x]\n\xE9t\xE9=\xFE\n[ComPort1]\nPort=" + port + "\n");
}

TEST_F(IniFileTest, RefusesTextThatWouldBreakTheLayout)
{
    IniFile ini(path);
    EXPECT_THROW(ini.WriteString("S", "Port", "COM1\n[Evil]"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "Port", "COM1\r"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "a=b", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "[k", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S", "", "v"), std::invalid_argument);
    EXPECT_THROW(ini.WriteString("S]x", "k", "v"), std::invalid_argument);
    ini.Flush();
    EXPECT_FALSE(std::filesystem::exists(path));
}

// Permission bits bind only a normal user: as root the saves run in a child that became nobody.
TEST_F(IniFileTest, AReadOnlyFileIsRefusedAWritableOneInALockedFolderIsSaved)
{
    const std::string before = "[ComPort1]\nPort=COM1\n";
    spit(path, before);
    ::chmod(path.c_str(), 0444);
    if (test::runningAsRoot()) {
        ASSERT_EQ(::chown(path.c_str(), test::kNobodyId, test::kNobodyId), 0);
        ASSERT_EQ(::chown(dir.path().c_str(), test::kNobodyId, test::kNobodyId), 0);
    }
    auto save = [&] {
        return test::runInChild(
            [&] {
                IniFile ini(path);
                ini.WriteString("ComPort1", "Port", "COM2");
                ini.Flush();
                return std::string("saved");
            },
            true);
    };
    // Locked by its owner: the rename would go through, but must not.
    EXPECT_EQ(save(), "exception: File access denied");
    EXPECT_EQ(slurp(path), before);

    ::chmod(path.c_str(), 0600);
    ::chmod(dir.path().c_str(), 0555);
    EXPECT_EQ(save(), "saved");
    ::chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(slurp(path), "[ComPort1]\nPort=COM2\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST_F(IniFileTest, WriteThatRunsOutOfSpaceKeepsTheOldFile)
{
    // A file-size limit makes the write fail halfway, as a full disk would (works as root too).
    const std::string before = "[ComPort1]\nPort=COM1\n";
    spit(path, before);
    IniFile ini(path);
    ini.WriteString("ComPort1", "Port", std::string(4000, 'x'));
    struct rlimit old
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    EXPECT_THROW(ini.Flush(), std::runtime_error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(slurp(path), before);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1); // the temporary file is gone too
}

TEST_F(IniFileTest, SaveIntoAMissingFolderFailsCleanly)
{
    IniFile ini(dir.file("no/such/folder/ComPort.ini"));
    ini.WriteString("ComPort1", "Port", "COM2");
    EXPECT_THROW(ini.Flush(), std::runtime_error);
}

TEST_F(IniFileTest, UnreadableTargetIsAnErrorNotAnEmptyFile)
{
    std::filesystem::create_directory(path); // a folder where the file should be
    IniFile ini(path);
    EXPECT_THROW(ini.ReadString("S", "K", ""), std::runtime_error);
    EXPECT_THROW(ini.WriteString("S", "K", "v"), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(IniFileTest, SaveKeepsModeLeavesNoTempFilesAndFollowsLinks)
{
    const std::string real = dir.file("real.ini");
    spit(real, "[S]\nK=1\n");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, path);
    IniFile ini(path);
    ini.WriteString("S", "K", "2");
    ini.Flush();
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(slurp(real), "[S]\nK=2\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2);
}

} // namespace
} // namespace memvane
