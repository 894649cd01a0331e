// The one replacement and reading helper behind "ComPort.ini" and the channel file: names that
// hold no file are never opened nor replaced, and the ways round a folder the user may not
// write. Permission bits only bind a normal user, so those cases run in a child that dropped
// root for nobody.
#include "core/FileStore.h"

#include "core/Errors.h"
#include "tests/files/ChildProcess.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace memvane {
namespace {

namespace fs = std::filesystem;
using test::runInChild;
using test::runningAsRoot;

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spit(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary);
    out << content;
}

std::vector<std::string> entriesOf(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// replaceFile in a child (as nobody when we are root); "written" or the error's text.
std::string replaceAsNobody(const std::string& path, const std::string& bytes,
                            rlim_t sizeLimit = RLIM_INFINITY)
{
    return runInChild(
        [&] {
            if (sizeLimit != RLIM_INFINITY) {
                rlimit limit{sizeLimit, sizeLimit};
                ::setrlimit(RLIMIT_FSIZE, &limit);
            }
            try {
                replaceFile(path, bytes);
            } catch (const EInOutError& e) {
                return e.message();
            }
            return std::string("written");
        },
        true);
}

void giveToNobody(const std::string& path)
{
    if (runningAsRoot()) {
        ASSERT_EQ(::chown(path.c_str(), test::kNobodyId, test::kNobodyId), 0);
    }
}

TEST(FileStore, NamesThatHoldNoFileAreNeitherReadNorReplaced)
{
    test::TempDir dir;
    const std::string fifo = dir.file("fifo"), folder = dir.file("folder");
    const std::string device = dir.file("device");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    // An endless device behind a link. Root makes its own node, so a fault here could never
    // turn the system's /dev/zero into a file.
    if (runningAsRoot()) {
        ASSERT_EQ(::mknod(dir.file("zero").c_str(), S_IFCHR | 0666, makedev(1, 5)), 0);
    }
    fs::create_symlink(runningAsRoot() ? dir.file("zero") : "/dev/zero", device);

    // Opening the FIFO for reading would wait for a writer forever; reading the device would
    // never end.
    for (const std::string& path : {fifo, device, folder}) {
        FileRead read = readRegularFile(path, 1024);
        EXPECT_EQ(read.status, FileRead::NotAFile) << path;
        EXPECT_EQ(read.folder, path == folder) << path;
    }
    EXPECT_EQ(readRegularFile(dir.file("missing"), 1024).status, FileRead::Missing);

    auto refusal = [](const std::string& path) {
        try {
            replaceFile(path, "[ComPort1]\n");
        } catch (const EInOutError& e) {
            return e.message();
        }
        return std::string("replaced");
    };
    EXPECT_EQ(refusal(fifo), "Not a regular file: " + fifo);
    EXPECT_EQ(refusal(device), "Not a regular file: " + device);
    EXPECT_EQ(refusal(folder), "File access denied");
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_TRUE(fs::is_character_file(device));
    EXPECT_TRUE(fs::is_directory(folder));

    // A link to a file still to be made: the file is made, the link stays.
    fs::create_symlink("made-later.ini", dir.file("link.ini"));
    replaceFile(dir.file("link.ini"), "x\n");
    EXPECT_TRUE(fs::is_symlink(dir.file("link.ini")));
    EXPECT_EQ(slurp(dir.file("made-later.ini")), "x\n");
}

TEST(FileStore, AWritableFileInALockedFolderIsRewrittenWhereItIs)
{
    test::TempDir dir;
    const std::string locked = dir.file("locked"), target = dir.file("locked") + "/ComPort.ini";
    fs::create_directory(locked);
    const std::string before = "[ComPort1]\nPort=COM1\n";
    spit(target, before);
    ::chmod(target.c_str(), 0640);
    ASSERT_NO_FATAL_FAILURE(giveToNobody(target));
    ASSERT_NO_FATAL_FAILURE(giveToNobody(locked));
    ::chmod(locked.c_str(), 0555);

    // A size limit below the new contents: refused before the old bytes are touched, and the
    // file-size signal does not end the process.
    const std::string after = "[ComPort1]\nPort=/dev/serial/by-id/usb-FTDI_FT232R-if00-port0\n";
    EXPECT_EQ(replaceAsNobody(target, after, before.size() + 4), "I/O error 27");
    EXPECT_EQ(slurp(target), before);

    EXPECT_EQ(replaceAsNobody(target, after), "written");
    EXPECT_EQ(slurp(target), after);
    EXPECT_EQ(replaceAsNobody(target, "[ComPort1]\n"), "written"); // shorter: cut to length
    EXPECT_EQ(slurp(target), "[ComPort1]\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, runningAsRoot() ? test::kNobodyId : ::getuid());
    EXPECT_EQ(entriesOf(locked), std::vector<std::string>{"ComPort.ini"});

    // Read-only for its owner: refused, not replaced, although the folder would allow it.
    ::chmod(locked.c_str(), 0755);
    ::chmod(target.c_str(), 0444);
    EXPECT_EQ(replaceAsNobody(target, after), "File access denied");
    EXPECT_EQ(slurp(target), "[ComPort1]\n");
    EXPECT_EQ(entriesOf(locked), std::vector<std::string>{"ComPort.ini"});
}

TEST(FileStore, SomeoneElsesFileThatWeMayWriteStaysTheirs)
{
    if (!runningAsRoot())
        GTEST_SKIP() << "needs root to make a file of another user; run the suite as root";
    test::TempDir dir;
    const std::string folder = dir.file("shared"), target = folder + "/ComPort.ini";
    fs::create_directory(folder);
    ASSERT_NO_FATAL_FAILURE(giveToNobody(folder));
    spit(target, "old\n");
    ::chmod(target.c_str(), 0666); // root's, writable for all

    // Renaming a file of nobody's over it would hand it to nobody.
    EXPECT_EQ(replaceAsNobody(target, "new\n"), "written");
    EXPECT_EQ(slurp(target), "new\n");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0666u);
    EXPECT_EQ(entriesOf(folder), std::vector<std::string>{"ComPort.ini"});
}

} // namespace
} // namespace memvane
