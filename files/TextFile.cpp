#include "files/TextFile.h"

#include "core/Errors.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace memvane {

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

EInOutError tooLarge(const std::string& path, std::size_t maxSize)
{
    return EInOutError(EFBIG, "File too large: " + path + " (more than " + std::to_string(maxSize) +
                                  " bytes)");
}

// Writing past RLIMIT_FSIZE raises SIGXFSZ, whose default action ends the process. While the
// save runs the signal is blocked for this thread, so the write fails with EFBIG instead; a
// signal left pending by that is taken off again before the old mask returns.
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

// The temporary file of a save; removed again unless the rename made it the target.
class TempFile
{
public:
    explicit TempFile(const std::filesystem::path& dir)
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
            if (m_fd >= 0 || errno != EEXIST)
                break;
        }
        if (m_fd < 0)
            throw EInOutError::fromErrno(errno);
    }
    ~TempFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed)
            ::unlink(m_path.c_str());
    }
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
    void commit() { m_committed = true; }

private:
    std::string m_path;
    int m_fd = -1;
    bool m_committed = false;
};

} // namespace

std::string readTextFile(const std::string& path, std::size_t maxSize)
{
    // O_NONBLOCK: a FIFO under the file's name must not block the open until a writer comes.
    int raw = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (raw < 0)
        throw EInOutError::fromErrno(errno);
    FdCloser fd(raw);
    struct stat st
    {
    };
    if (::fstat(fd.get(), &st) != 0)
        throw EInOutError::fromErrno(errno);
    if (S_ISDIR(st.st_mode))
        throw EInOutError::fromErrno(EISDIR);
    if (!S_ISREG(st.st_mode))
        throw EInOutError(EINVAL, "Not a regular file: " + path);
    if (static_cast<unsigned long long>(st.st_size) > maxSize)
        throw tooLarge(path, maxSize);

    std::string data;
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
    if (data.find('\0') != std::string::npos)
        throw EInOutError(EINVAL, "Not a text file: " + path + " (it contains NUL bytes)");
    if (data.compare(0, 3, "\xEF\xBB\xBF") == 0)
        data.erase(0, 3);
    return data;
}

void replaceFileContents(const std::string& path, std::string_view bytes)
{
    namespace fs = std::filesystem;
    fs::path target(path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        fs::path resolved = fs::canonical(target, ec);
        if (!ec)
            target = resolved;
    }

    struct stat st
    {
    };
    bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            throw EInOutError::fromErrno(EISDIR);
        // The rename would replace a read-only file without asking; refuse as an open would.
        if (::access(target.c_str(), W_OK) != 0)
            throw EInOutError::fromErrno(errno);
    } else if (errno != ENOENT) {
        throw EInOutError::fromErrno(errno);
    }

    fs::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";

    FileSizeSignalGuard signalGuard;
    TempFile temp(dir);
    if (exists) {
        // Keep the old file's permission bits, and its owner where that is allowed (root
        // saving a user's file); for anyone else fchown fails harmlessly on their own file.
        int chownResult = ::fchown(temp.fd(), st.st_uid, st.st_gid);
        (void)chownResult;
        ::fchmod(temp.fd(), st.st_mode & 07777);
    }

    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(temp.fd(), p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw EInOutError::fromErrno(errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // Flushed before the rename, so a crash cannot leave an empty file under the old name.
    if (::fsync(temp.fd()) != 0)
        throw EInOutError::fromErrno(errno);
    if (temp.close() != 0)
        throw EInOutError::fromErrno(errno);
    if (::rename(temp.path().c_str(), target.c_str()) != 0)
        throw EInOutError::fromErrno(errno);
    temp.commit();

    int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
}

std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '\n' || c == '\r') {
            lines.push_back(text.substr(start, i - start));
            ++i;
            if (c == '\r' && i < text.size() && text[i] == '\n')
                ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        lines.push_back(text.substr(start));
    return lines;
}

std::vector<std::string> splitFields(std::string_view line, std::size_t maxFields)
{
    std::vector<std::string> fields;
    for (;;) {
        std::size_t comma = line.find(',');
        if (comma == std::string_view::npos || fields.size() + 1 >= maxFields) {
            fields.emplace_back(line);
            return fields;
        }
        fields.emplace_back(line.substr(0, comma));
        line.remove_prefix(comma + 1);
    }
}

} // namespace memvane
