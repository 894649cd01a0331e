#include "core/FileFolder.h"

#include "core/win32/WideText.h"

#include <windows.h>
#include <shlobj.h>

namespace memvane {

namespace {

std::string withSeparator(std::string dir)
{
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/')
        dir += '\\';
    return dir;
}

// The folder's rights decide, which only an attempt shows (the read-only attribute of a folder
// means nothing on Windows); the probe file is gone again when its handle closes.
bool canCreateFilesIn(const std::string& dir)
{
    std::wstring probe = win32::toWide(dir) + L".memvane-probe-" +
                         std::to_wstring(GetCurrentProcessId()) + L".tmp";
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_FLAG_DELETE_ON_CLOSE,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

std::string roamingAppData()
{
    PWSTR path = nullptr;
    std::string dir;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_DEFAULT, nullptr, &path)))
        dir = win32::fromWide(path);
    CoTaskMemFree(path);
    if (dir.empty()) {
        if (const wchar_t* env = _wgetenv(L"APPDATA"); env && *env)
            dir = win32::fromWide(env);
    }
    return dir;
}

// What the setup program writes beside memvane.exe (packaging/windows/memvane.nsi).
constexpr const char* kUninstallerFile = "Uninstall.exe";

bool isFile(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool isFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

FileFolder currentFileFolder(const std::string& exeDir, const std::string&)
{
    const std::string dir = withSeparator(exeDir);
    // An installed copy: its folder is closed to the user (Program Files), or the setup
    // program's uninstaller sits beside it, for an administrator (and anyone under wine) can
    // write Program Files and must not leave a "ComPort.ini" there.
    const bool installed = isFile(win32::toWide(dir + kUninstallerFile));
    if (!installed && canCreateFilesIn(dir))
        return {dir, false};
    const std::string appData = roamingAppData();
    if (appData.empty())
        return {dir, false}; // nowhere better: closing will say the settings were not stored
    return {withSeparator(appData) + "Memvane\\", true};
}

bool ensureFolder(const std::string& dir)
{
    const std::wstring wide = win32::toWide(dir);
    // Each level in turn; the drive ("C:\") or the share ("\\server\share\") exists or not.
    std::size_t from = wide.size() > 1 && wide[1] == L':' ? 3 : 0;
    if (wide.compare(0, 2, L"\\\\") == 0)
        from = wide.find(L'\\', wide.find(L'\\', 2) + 1);
    for (std::size_t cut = wide.find_first_of(L"\\/", from);;
         cut = wide.find_first_of(L"\\/", cut + 1)) {
        std::wstring level = wide.substr(0, cut);
        if (!level.empty() && !isFolder(level))
            CreateDirectoryW(level.c_str(), nullptr);
        if (cut == std::wstring::npos)
            break;
    }
    return isFolder(wide);
}

} // namespace memvane
