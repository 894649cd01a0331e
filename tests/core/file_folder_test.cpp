#include "core/FileFolder.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

using namespace memvane;

TEST(FileFolder, WritableCopiesKeepTheirFilesBesideThemInstalledOnesUseTheUsersConfigFolder)
{
    struct Case
    {
        const char* name;
        FileFolderInput in;
        const char* dir;
        bool userConfig;
    };
    const Case cases[] = {
        {"build tree", {"/src/build/app/", true, false, "/x/cfg", "/home/ham"},
         "/src/build/app/", false},
        {"missing slash added", {"/media/usb", true, false, "", "/home/ham"}, "/media/usb/", false},
        {"unwritable, XDG set", {"/usr/bin/", false, false, "/x/cfg", "/home/ham"},
         "/x/cfg/memvane/", true},
        {"XDG with trailing slash", {"/usr/bin/", false, false, "/x/cfg/", "/home/ham"},
         "/x/cfg/memvane/", true},
        {"XDG unset", {"/usr/bin/", false, false, "", "/home/ham"}, "/home/ham/.config/memvane/",
         true},
        {"XDG relative is ignored", {"/usr/bin/", false, false, "cfg", "/home/ham/"},
         "/home/ham/.config/memvane/", true},
        {"root at the install folder", {"/usr/bin/", true, true, "", "/root"},
         "/root/.config/memvane/", true},
        {"no home anywhere", {"/usr/bin/", false, false, "", ""}, "/usr/bin/", false},
        {"relative home", {"/usr/bin/", false, false, "cfg", "ham"}, "/usr/bin/", false},
    };
    for (const Case& c : cases) {
        FileFolder got = chooseFileFolder(c.in);
        EXPECT_EQ(got.dir, c.dir) << c.name;
        EXPECT_EQ(got.userConfig, c.userConfig) << c.name;
    }
}

namespace {
// Sets an environment variable for one scope and puts the old value back.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};
} // namespace

TEST(FileFolder, TheRunningProgramReadsItsEnvironmentAndKnowsItsInstallFolder)
{
    memvane::test::TempDir tmp;
    ScopedEnv xdg("XDG_CONFIG_HOME", tmp.path().c_str());
    // The tests' own folder is writable: files stay beside the program.
    EXPECT_EQ(currentFileFolder(tmp.path().string() + "/").dir, tmp.path().string() + "/");
    // The folder this build installs to counts as installed even for root, who can write it.
    if (!std::filesystem::is_directory(MEMVANE_TEST_INSTALL_BINDIR))
        GTEST_SKIP() << MEMVANE_TEST_INSTALL_BINDIR " does not exist here";
    FileFolder installed = currentFileFolder(MEMVANE_TEST_INSTALL_BINDIR "/");
    EXPECT_EQ(installed.dir, tmp.path().string() + "/memvane/");
    EXPECT_TRUE(installed.userConfig);
}

TEST(FileFolder, EnsureFolderCreatesMissingLevelsPrivateAndKeepsExistingOnes)
{
    memvane::test::TempDir tmp;
    ::chmod(tmp.path().c_str(), 0750);
    std::string dir = tmp.path().string() + "/a/b/memvane/";
    ASSERT_TRUE(ensureFolder(dir));
    struct stat st{};
    ASSERT_EQ(::stat((tmp.path() / "a").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(dir.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(::stat(tmp.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u) << "an existing folder was changed";
    EXPECT_TRUE(ensureFolder(dir)); // already there
    std::string file = tmp.file("plain");
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_FALSE(ensureFolder(file + "/sub/"));
}
