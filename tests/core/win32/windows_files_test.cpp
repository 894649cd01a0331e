// The Windows side of core/: file store, folders and wide-character names (core/win32/).
#include "core/Errors.h"
#include "core/FileFolder.h"
#include "core/FileStore.h"
#include "core/ProgramFolder.h"
#include "core/win32/WideText.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace memvane::test {
namespace {

// The folder as UTF-8 with its trailing separator, the way the program passes folders on.
std::string folderText(const TempDir& dir)
{
    return win32::fromWide(dir.path().wstring()) + "\\";
}

std::vector<std::wstring> namesIn(const TempDir& dir)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((dir.path().wstring() + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
    return names;
}

std::string read(const std::string& path)
{
    FileRead r = readRegularFile(path, 1 << 20);
    EXPECT_EQ(r.status, FileRead::Read) << path;
    return r.bytes;
}

TEST(WindowsFileStore, ReplacesByteForByteAndLeavesNoTemporaryFile)
{
    TempDir dir;
    const std::string path = folderText(dir) + "Default.txt";
    const std::string first = "false,Mem 1,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n";
    replaceFile(path, first);
    EXPECT_EQ(read(path), first);
    const std::string second = "true,Mem 2,\xE9t\xE9,\r\n\r\n"; // single-byte text, CR LF kept
    replaceFile(path, second);
    EXPECT_EQ(read(path), second);
    EXPECT_EQ(namesIn(dir), (std::vector<std::wstring>{L"Default.txt"}));
}

TEST(WindowsFileStore, ReadOnlyTargetIsRefusedAndKept)
{
    TempDir dir;
    const std::string path = folderText(dir) + "kept.txt";
    replaceFile(path, "old\r\n");
    ASSERT_TRUE(SetFileAttributesW(win32::toWide(path).c_str(), FILE_ATTRIBUTE_READONLY));
    try {
        replaceFile(path, "new\r\n");
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    SetFileAttributesW(win32::toWide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(read(path), "old\r\n");
    EXPECT_EQ(namesIn(dir).size(), 1u);
}

TEST(WindowsFileStore, FolderUnderTheNameIsNotAFile)
{
    TempDir dir;
    const std::string path = folderText(dir) + "sub";
    ASSERT_TRUE(CreateDirectoryW(win32::toWide(path).c_str(), nullptr));
    EXPECT_EQ(fileKindOf(path), FileKind::Folder);
    FileRead r = readRegularFile(path, 100);
    EXPECT_EQ(r.status, FileRead::NotAFile);
    EXPECT_TRUE(r.folder);
    EXPECT_THROW(replaceFile(path, "x"), EInOutError);
    EXPECT_EQ(fileKindOf(folderText(dir) + "none.txt"), FileKind::Missing);
    EXPECT_EQ(readRegularFile(folderText(dir) + "none.txt", 100).status, FileRead::Missing);
}

TEST(WindowsFileStore, ReadIsBounded)
{
    TempDir dir;
    const std::string path = folderText(dir) + "big.txt";
    replaceFile(path, std::string(200, 'x'));
    EXPECT_THROW(readRegularFile(path, 100), EInOutError);
    EXPECT_EQ(readRegularFile(path, 200).bytes.size(), 200u);
}

TEST(WindowsFileStore, NamesWithLettersOutsideAsciiAreWideOnDisk)
{
    TempDir dir;
    const std::string name = "B\xC3\xA4" "cker-\xCE\xA9.txt"; // "Bäcker-Ω.txt" in UTF-8
    const std::string path = folderText(dir) + name;
    replaceFile(path, "abc\r\n");
    EXPECT_EQ(namesIn(dir), (std::vector<std::wstring>{L"B\u00E4cker-\u03A9.txt"}));
    EXPECT_EQ(read(path), "abc\r\n");
    EXPECT_EQ(fileKindOf(path), FileKind::Regular);
}

TEST(WindowsFolders, ExecutableFolderHoldsThisProgram)
{
    const std::string dir = executableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    wchar_t self[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_GT(n, 0u);
    std::string full = win32::fromWide(std::wstring(self, n));
    EXPECT_EQ(full.rfind(dir, 0), 0u) << full << " / " << dir;
    EXPECT_EQ(full.find('\\', dir.size()), std::string::npos);
}

TEST(WindowsFolders, UnwritableProgramFolderKeepsFilesInAppData)
{
    TempDir dir;
    EXPECT_EQ(currentFileFolder(folderText(dir), "org.memvane.Memvane").dir, folderText(dir));
    EXPECT_FALSE(currentFileFolder(folderText(dir), "org.memvane.Memvane").userConfig);
    // A folder nobody can create files in (here: one that does not exist).
    FileFolder installed =
        currentFileFolder(folderText(dir) + "Program Files\\Memvane\\", "org.memvane.Memvane");
    EXPECT_TRUE(installed.userConfig);
    const wchar_t* appData = _wgetenv(L"APPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_EQ(installed.dir, win32::fromWide(appData) + "\\Memvane\\");
}

TEST(WindowsFolders, CopyBesideTheUninstallerKeepsFilesInAppData)
{
    // The setup program's copy, in a folder its user may write (an administrator, or wine).
    TempDir dir;
    replaceFile(folderText(dir) + "Uninstall.exe", "MZ");
    FileFolder installed = currentFileFolder(folderText(dir), "org.memvane.Memvane");
    EXPECT_TRUE(installed.userConfig);
    const wchar_t* appData = _wgetenv(L"APPDATA");
    ASSERT_NE(appData, nullptr);
    EXPECT_EQ(installed.dir, win32::fromWide(appData) + "\\Memvane\\");
    // A folder of that name is no uninstaller: the portable copy stays beside itself.
    TempDir other;
    ASSERT_TRUE(ensureFolder(folderText(other) + "Uninstall.exe\\"));
    EXPECT_FALSE(currentFileFolder(folderText(other), "org.memvane.Memvane").userConfig);
}

TEST(WindowsFolders, EnsureFolderMakesEveryLevel)
{
    TempDir dir;
    const std::string deep = folderText(dir) + "a\\b\\c\\";
    EXPECT_TRUE(ensureFolder(deep));
    EXPECT_EQ(fileKindOf(deep), FileKind::Folder);
    EXPECT_TRUE(ensureFolder(deep)); // already there
    requireWritableFolder(deep);
    EXPECT_THROW(requireWritableFolder(folderText(dir) + "missing"), EInOutError);
}

TEST(WindowsFolders, ToolInTheBuildTreeUsesTheWindowsFolder)
{
    TempDir dir;
    const std::string cli = folderText(dir) + "cli\\";
    const std::string app = folderText(dir) + "app\\";
    ASSERT_TRUE(ensureFolder(cli) && ensureFolder(app));
    EXPECT_EQ(settingsFolderFor(cli), cli); // no window program anywhere: its own folder
    replaceFile(app + "memvane.exe", "MZ");
    EXPECT_EQ(settingsFolderFor(cli), app);
    replaceFile(cli + "memvane.exe", "MZ"); // installed side by side, as in the zip
    EXPECT_EQ(settingsFolderFor(cli), cli);
}

} // namespace
} // namespace memvane::test
