#include "core/FileStore.h"

#include "core/Errors.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <pthread.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace memvane {

namespace fs = std::filesystem;

namespace {

class FdCloser
{
public:
    explicit FdCloser(int fd) : m_fd(fd) {}
    ~FdCloser()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdCloser(const FdCloser&) = delete;
    FdCloser& operator=(const FdCloser&) = delete;
    int get() const { return m_fd; }
    // Closes now and reports the result: a close can be the first place a write error shows.
    int close()
    {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd);
    }

private:
    int m_fd;
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

// Writing past RLIMIT_FSIZE raises SIGXFSZ, whose default action ends the process. While a
// replacement runs the signal is blocked for this thread, so the write fails with EFBIG
// instead; a signal left pending by that is taken off again before the old mask returns.
class FileSizeSignalGuard
{
public:
    FileSizeSignalGuard()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGXFSZ);
        pthread_sigmask(SIG_BLOCK, &set, &m_old);
    }
    ~FileSizeSignalGuard()
    {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGXFSZ);
        timespec zero{};
        while (sigtimedwait(&set, nullptr, &zero) == SIGXFSZ) {
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    FileSizeSignalGuard(const FileSizeSignalGuard&) = delete;
    FileSizeSignalGuard& operator=(const FileSizeSignalGuard&) = delete;

private:
    sigset_t m_old;
};

// The temporary file of a replacement; removed again unless the rename made it the target.
class TempFile
{
public:
    // Returns errno when no file can be made in `dir`, else 0.
    int create(const fs::path& dir)
    {
        static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
        std::random_device rd;
        std::mt19937 gen(rd());
        std::uniform_int_distribution<int> pick(0, 35);
        for (int attempt = 0; attempt < 100; ++attempt) {
            std::string name = ".memvane-";
            for (int i = 0; i < 8; ++i)
                name += digits[pick(gen)];
            name += ".tmp";
            m_path = (dir / name).string();
            // Mode 0666 lets the umask decide, as for any new file.
            m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (m_fd >= 0) {
                m_ours = true;
                return 0;
            }
            if (errno != EEXIST)
                return errno;
        }
        return EEXIST;
    }
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_ours)
            ::unlink(m_path.c_str());
    }
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    int fd() const { return m_fd; }
    const std::string& path() const { return m_path; }
    int close()
    {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd);
    }
    // The rename made it the target: no longer ours to remove.
    void commit() { m_ours = false; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_ours = false; // made by us and not renamed yet
};

void writeAll(int fd, std::string_view bytes)
{
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError::fromErrno(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}

// The file a chain of symbolic links ends at, also when that file does not exist yet (a link
// made for a file still to be written); the path itself when it is no link. A loop is left to
// the stat that follows, which reports it.
fs::path resolveLinks(const std::string& path)
{
    fs::path p(path);
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!fs::is_symlink(p, ec))
            return p;
        fs::path next = fs::read_symlink(p, ec);
        if (ec)
            return p;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p;
}

// For a writable file in a folder we may not write: the same bytes, written over the old ones.
// The new length is reserved first, so running out of space or into the size limit fails
// before anything of the old contents is lost.
void rewriteInPlace(const fs::path& target, std::string_view bytes)
{
    // O_NONBLOCK: should a FIFO have taken the file's place meanwhile, fail instead of waiting.
    int raw = ::open(target.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (raw < 0)
        throw EInOutError::fromErrno(errno);
    FdCloser fd(raw);
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        throw EInOutError::fromErrno(errno);
    if (!S_ISREG(st.st_mode))
        throw notRegular(target.string());
    const auto oldSize = static_cast<std::size_t>(st.st_size);
    if (bytes.size() > oldSize) {
        int err = ::posix_fallocate(fd.get(), static_cast<off_t>(oldSize),
                                    static_cast<off_t>(bytes.size() - oldSize));
        // Some file systems cannot reserve; the write below still reports a full disk.
        if (err != 0 && err != EOPNOTSUPP && err != EINVAL)
            throw EInOutError::fromErrno(err);
    }
    writeAll(fd.get(), bytes);
    if (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0)
        throw EInOutError::fromErrno(errno);
    if (::fsync(fd.get()) != 0)
        throw EInOutError::fromErrno(errno);
    if (fd.close() != 0)
        throw EInOutError::fromErrno(errno);
}

} // namespace

FileKind fileKindOf(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Other;
    if (S_ISDIR(st.st_mode))
        return FileKind::Folder;
    return S_ISREG(st.st_mode) ? FileKind::Regular : FileKind::Other;
}

void requireWritableFolder(const std::string& dir)
{
    const std::string folder = dir.empty() ? std::string(".") : dir;
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw EInOutError::fromErrno(errno);
}

FileRead readRegularFile(const std::string& path, std::size_t maxSize)
{
    FileRead result;
    // Looked at before it is opened: opening a FIFO waits for a writer, and opening a device
    // (a serial line under a wrong name) can have effects of its own.
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return result;
        throw EInOutError::fromErrno(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        result.status = FileRead::NotAFile;
        result.folder = S_ISDIR(st.st_mode);
        return result;
    }
    int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (raw < 0) {
        if (errno == ENOENT)
            return result; // removed in between
        throw EInOutError::fromErrno(errno);
    }
    FdCloser fd(raw);
    if (::fstat(fd.get(), &st) != 0)
        throw EInOutError::fromErrno(errno);
    if (!S_ISREG(st.st_mode)) {
        // Something else took the name in between.
        result.status = FileRead::NotAFile;
        result.folder = S_ISDIR(st.st_mode);
        return result;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxSize)
        throw tooLarge(path, maxSize);

    std::string& data = result.bytes;
    data.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError::fromErrno(errno);
        }
        if (n == 0)
            break;
        // The size seen by fstat may be stale (a file still growing): the bound holds anyway.
        if (data.size() + static_cast<std::size_t>(n) > maxSize)
            throw tooLarge(path, maxSize);
        data.append(buf, static_cast<std::size_t>(n));
    }
    result.status = FileRead::Read;
    return result;
}

void replaceFile(const std::string& path, std::string_view bytes)
{
    const fs::path target = resolveLinks(path);
    struct stat st
    {
    };
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            throw EInOutError::fromErrno(EISDIR);
        // A FIFO or a device is not ours to replace (a link to /dev/zero must not turn
        // /dev/zero into a text file when root saves).
        if (!S_ISREG(st.st_mode))
            throw notRegular(path);
        // The rename would replace a read-only file without asking; refuse as an open would.
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0)
            throw EInOutError::fromErrno(errno);
    } else if (errno != ENOENT) {
        throw EInOutError::fromErrno(errno);
    }

    fs::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";

    FileSizeSignalGuard signalGuard;
    TempFile temp;
    if (int err = temp.create(dir)) {
        if (exists && (err == EACCES || err == EPERM)) {
            rewriteInPlace(target, bytes);
            return;
        }
        throw EInOutError::fromErrno(err);
    }
    if (exists) {
        // Keep the owner where the system lets us (always for our own files, and for root). A
        // file of someone else's that we may write stays theirs: rewrite it where it is.
        if (::fchown(temp.fd(), st.st_uid, st.st_gid) != 0) {
            temp.close();
            rewriteInPlace(target, bytes);
            return;
        }
        // After the owner: a change of owner clears the set-id bits.
        if (::fchmod(temp.fd(), st.st_mode & 07777) != 0)
            throw EInOutError::fromErrno(errno);
    }
    writeAll(temp.fd(), bytes);
    // Flushed before the rename, so a crash cannot leave an empty file under the old name.
    if (::fsync(temp.fd()) != 0)
        throw EInOutError::fromErrno(errno);
    if (temp.close() != 0)
        throw EInOutError::fromErrno(errno);
    if (::rename(temp.path().c_str(), target.c_str()) != 0)
        throw EInOutError::fromErrno(errno);
    temp.commit();

    // The rename itself is only lasting once the folder is on disk too.
    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

} // namespace memvane
