// The ways of the file replacement round a folder the user may not write and a file of someone
// else's. Permission bits only bind a normal user, so those saves run in a child that dropped
// root for nobody.
#include "core/FileStore.h"

#include "core/Errors.h"
#include "tests/files/ChildProcess.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace memvane {
namespace {

namespace fs = std::filesystem;
using test::runningAsRoot;
using test::slurp;

// replaceFile in a child (as nobody when we are root); "written" or the error's text.
std::string replaceAsNobody(const std::string& path, const std::string& bytes,
                            rlim_t sizeLimit = RLIM_INFINITY)
{
    return test::runInChild(
        [&] {
            rlimit limit{sizeLimit, sizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            replaceFile(path, bytes);
            return std::string("written");
        },
        true);
}

// Owner and mode of `path`, as "uid mode".
std::string ownerAndMode(const std::string& path)
{
    struct stat st
    {
    };
    ::stat(path.c_str(), &st);
    return std::to_string(st.st_uid) + " " + std::to_string(st.st_mode & 07777);
}

TEST(FileStore, AWritableFileInALockedFolderIsRewrittenWhereItIs)
{
    test::TempDir dir;
    const std::string target = dir.file("ComPort.ini");
    std::ofstream(target) << "[ComPort1]\nPort=COM1\n";
    ::chmod(target.c_str(), 0640);
    const uid_t owner = runningAsRoot() ? test::kNobodyId : ::getuid();
    const gid_t group = runningAsRoot() ? test::kNobodyId : ::getgid();
    ASSERT_EQ(::chown(target.c_str(), owner, group), 0);
    ASSERT_EQ(::chown(dir.path().c_str(), owner, group), 0);
    ::chmod(dir.path().c_str(), 0555);

    // The new length is reserved first: a size limit refuses it before any old byte changes,
    // and the file-size signal does not end the process.
    const std::string longer = "[ComPort1]\nPort=/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\n";
    EXPECT_EQ(replaceAsNobody(target, longer, 25), "exception: I/O error 27");
    EXPECT_EQ(slurp(target), "[ComPort1]\nPort=COM1\n");
    EXPECT_EQ(replaceAsNobody(target, longer), "written");
    EXPECT_EQ(replaceAsNobody(target, "[ComPort1]\n"), "written"); // shorter: cut to length
    EXPECT_EQ(slurp(target), "[ComPort1]\n");
    EXPECT_EQ(ownerAndMode(target), std::to_string(owner) + " " + std::to_string(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);

    // Through a link to a file still to be made: the file is made, the link stays.
    ::chmod(dir.path().c_str(), 0755);
    fs::create_symlink("made-later.ini", dir.file("link.ini"));
    replaceFile(dir.file("link.ini"), "x\n");
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(slurp(dir.file("made-later.ini")), "x\n");
}

TEST(FileStore, SomeoneElsesFileThatWeMayWriteStaysTheirs)
{
    if (!runningAsRoot())
        GTEST_SKIP() << "needs root to make a file of another user; run the suite as root";
    test::TempDir dir;
    const std::string target = dir.file("ComPort.ini");
    ASSERT_EQ(::chown(dir.path().c_str(), test::kNobodyId, test::kNobodyId), 0);
    std::ofstream(target) << "old\n";
    ::chmod(target.c_str(), 0666); // root's, writable for all

    // Renaming a file of nobody's over it would hand it to nobody.
    EXPECT_EQ(replaceAsNobody(target, "new\n"), "written");
    EXPECT_EQ(slurp(target), "new\n");
    EXPECT_EQ(ownerAndMode(target), "0 " + std::to_string(0666));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 1);
}

} // namespace
} // namespace memvane
