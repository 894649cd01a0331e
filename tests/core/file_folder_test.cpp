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
        {"root, installed layout", {"/usr/bin/", true, true, "", "/root"},
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

TEST(FileFolder, TheRunningProgramReadsItsEnvironmentAndRecognisesAnInstalledLayout)
{
    memvane::test::TempDir tmp;
    std::filesystem::path prefix = tmp.path() / "usr";
    std::filesystem::create_directories(prefix / "bin");
    std::filesystem::create_directories(prefix / "share/applications");
    std::string config = tmp.path().string() + "/config";
    ScopedEnv xdg("XDG_CONFIG_HOME", config.c_str());
    std::string bin = (prefix / "bin").string();

    // A writable folder without the menu entry beside it: files stay beside the program.
    EXPECT_EQ(currentFileFolder(bin, "org.example.Test").dir, bin + "/");
    // With it, the copy is installed even where the user (root, or a ~/.local install) may
    // write.
    std::fclose(std::fopen((prefix / "share/applications/org.example.Test.desktop").c_str(), "w"));
    FileFolder installed = currentFileFolder(bin, "org.example.Test");
    EXPECT_EQ(installed.dir, config + "/memvane/");
    EXPECT_TRUE(installed.userConfig);
    EXPECT_FALSE(currentFileFolder(bin, "org.example.Other").userConfig);
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
