// Windows: the same promises as on POSIX (core/FileStore.h) with the system's own calls. The
// new bytes go to a temporary file beside the target, written through to the disk, which then
// takes the target's place with ReplaceFileW (keeping the target's attributes and rights) or,
// for a new file, MoveFileExW. A read-only target is refused, never replaced.
#include "core/FileStore.h"

#include "core/win32/WideText.h"

#include <windows.h>

#include <cerrno>
#include <random>

namespace memvane {

namespace {

using win32::fileError;
using win32::toWide;

class Handle
{
public:
    explicit Handle(HANDLE h) : m_h(h) {}
    ~Handle()
    {
        if (ok())
            CloseHandle(m_h);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool ok() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return m_h; }
    // Closes now and reports the result.
    bool close()
    {
        HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return CloseHandle(h) != 0;
    }

private:
    HANDLE m_h;
};

EInOutError notRegular(const std::string& path)
{
    return EInOutError(EINVAL, "Not a regular file: " + path);
}

EInOutError tooLarge(const std::string& path, std::size_t maxSize)
{
    return EInOutError(EFBIG, "File too large: " + path + " (more than " + std::to_string(maxSize) +
                                  " bytes)");
}

bool missingError(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME || error == ERROR_BAD_NETPATH;
}

void writeAll(HANDLE h, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        DWORD chunk = left > 0x40000000 ? 0x40000000 : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!WriteFile(h, p, chunk, &written, nullptr))
            throw fileError(GetLastError());
        p += written;
        left -= written;
    }
}

std::wstring folderOf(const std::wstring& path)
{
    std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return path.size() > 1 && path[1] == L':' ? path.substr(0, 2) : L".";
    return path.substr(0, slash + 1);
}

// For a target in a folder we may not create files in: the same bytes written over the old ones.
void rewriteInPlace(const std::wstring& target, std::string_view bytes)
{
    Handle h(CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    if (!h.ok())
        throw fileError(GetLastError());
    writeAll(h.get(), bytes);
    if (!SetEndOfFile(h.get()) || !FlushFileBuffers(h.get()))
        throw fileError(GetLastError());
    if (!h.close())
        throw fileError(GetLastError());
}

} // namespace

FileKind fileKindOf(const std::string& path)
{
    DWORD attributes = GetFileAttributesW(toWide(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return missingError(GetLastError()) ? FileKind::Missing : FileKind::Other;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileKind::Folder;
    return attributes & FILE_ATTRIBUTE_DEVICE ? FileKind::Other : FileKind::Regular;
}

void requireWritableFolder(const std::string& dir)
{
    std::wstring probe = toWide(dir.empty() ? std::string(".") : dir);
    if (probe.back() != L'\\' && probe.back() != L'/')
        probe += L'\\';
    probe += L".memvane-probe-" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
    // Only an attempt tells: a folder's rights decide, not its attributes.
    HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN |
                               FILE_FLAG_DELETE_ON_CLOSE,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw fileError(GetLastError());
    CloseHandle(h);
}

FileRead readRegularFile(const std::string& path, std::size_t maxSize)
{
    FileRead result;
    const std::wstring wide = toWide(path);
    DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (missingError(error))
            return result;
        throw fileError(error);
    }
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) {
        result.status = FileRead::NotAFile;
        result.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        return result;
    }
    Handle h(CreateFileW(wide.c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h.ok()) {
        DWORD error = GetLastError();
        if (missingError(error))
            return result; // removed in between
        throw fileError(error);
    }
    // A device name ("COM1", "NUL") in a folder names the device, not a file.
    if (GetFileType(h.get()) != FILE_TYPE_DISK) {
        result.status = FileRead::NotAFile;
        return result;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size))
        throw fileError(GetLastError());
    if (static_cast<unsigned long long>(size.QuadPart) > maxSize)
        throw tooLarge(path, maxSize);

    std::string& data = result.bytes;
    data.reserve(static_cast<std::size_t>(size.QuadPart));
    char buf[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(h.get(), buf, sizeof buf, &n, nullptr))
            throw fileError(GetLastError());
        if (n == 0)
            break;
        // The size seen before may be stale (a file still growing): the bound holds anyway.
        if (data.size() + n > maxSize)
            throw tooLarge(path, maxSize);
        data.append(buf, n);
    }
    result.status = FileRead::Read;
    return result;
}

void replaceFile(const std::string& path, std::string_view bytes)
{
    const std::wstring target = toWide(path);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY)
            throw EInOutError::fromErrno(EISDIR);
        if (attributes & FILE_ATTRIBUTE_DEVICE)
            throw notRegular(path);
        // ReplaceFileW would replace a read-only file without asking; refuse as an open would.
        if (attributes & FILE_ATTRIBUTE_READONLY)
            throw fileError(ERROR_ACCESS_DENIED);
        // The rights may forbid writing even so, which only an open shows.
        Handle probe(CreateFileW(target.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.ok())
            throw fileError(GetLastError());
        if (GetFileType(probe.get()) != FILE_TYPE_DISK)
            throw notRegular(path);
    } else if (!missingError(GetLastError())) {
        throw fileError(GetLastError());
    }

    const std::wstring dir = folderOf(target);
    static const wchar_t digits[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device rd;
    std::mt19937 gen(rd());
    std::uniform_int_distribution<int> pick(0, 35);
    std::wstring tempPath;
    HANDLE raw = INVALID_HANDLE_VALUE;
    DWORD createError = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < 100 && raw == INVALID_HANDLE_VALUE; ++attempt) {
        std::wstring name = L".memvane-";
        for (int i = 0; i < 8; ++i)
            name += digits[pick(gen)];
        tempPath = dir + (dir.back() == L'\\' || dir.back() == L'/' || dir.back() == L':'
                              ? L""
                              : L"\\") +
                   name + L".tmp";
        raw = CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                          FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
        if (raw == INVALID_HANDLE_VALUE) {
            createError = GetLastError();
            if (createError != ERROR_FILE_EXISTS && createError != ERROR_ALREADY_EXISTS)
                break;
        }
    }
    if (raw == INVALID_HANDLE_VALUE) {
        if (exists && createError == ERROR_ACCESS_DENIED) {
            rewriteInPlace(target, bytes);
            return;
        }
        throw fileError(createError);
    }
    Handle temp(raw);
    bool committed = false;
    struct Remove
    {
        const std::wstring& path;
        const bool& committed;
        ~Remove()
        {
            if (!committed)
                DeleteFileW(path.c_str());
        }
    } remove{tempPath, committed};

    writeAll(temp.get(), bytes);
    // On the disk before it takes the name, so a crash cannot leave an empty file there.
    if (!FlushFileBuffers(temp.get()))
        throw fileError(GetLastError());
    if (!temp.close())
        throw fileError(GetLastError());
    if (exists &&
        ReplaceFileW(target.c_str(), tempPath.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
        committed = true;
        return;
    }
    // A new file, or a file system that cannot replace (the target is still the old file).
    if (!MoveFileExW(tempPath.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        throw fileError(GetLastError());
    committed = true;
}

} // namespace memvane
