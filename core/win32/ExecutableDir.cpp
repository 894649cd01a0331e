#include "core/ProgramFolder.h"

#include "core/win32/WideText.h"

#include <windows.h>

#include <vector>

namespace memvane {

const char* const kWindowProgramFile = "memvane.exe";
const char kFolderSeparator = '\\';

std::string executableDir()
{
    // The path may be longer than MAX_PATH; the buffer grows until the name fits.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return ".\\";
        if (n < path.size()) {
            std::wstring full(path.data(), n);
            std::size_t slash = full.find_last_of(L"\\/");
            return slash == std::wstring::npos ? std::string(".\\")
                                               : win32::fromWide(full.substr(0, slash + 1));
        }
        if (path.size() >= 32768)
            return ".\\";
        path.resize(path.size() * 2);
    }
}

} // namespace memvane
