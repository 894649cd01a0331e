#include "sim/PtyRadio.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace memvane::sim {

const std::string PtyRadio::kGarbage("\x00\x55\xAA\x13\xFE\x37\x00", 7);

namespace {

[[noreturn]] void throwErrno(const std::string& what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

} // namespace

PtyRadio::PtyRadio(const PtyRadioOptions& options) : m_options(options), m_model(options.address)
{
    if (m_options.delayMs < 0)
        m_options.delayMs = 0;
    if (m_options.lineRate < 0)
        m_options.lineRate = 0;
    m_wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wake < 0)
        throwErrno("cannot create eventfd");
    try {
        if (!m_options.logPath.empty()) {
            m_logFile = std::fopen(m_options.logPath.c_str(), "we");
            if (!m_logFile)
                throwErrno("cannot open log file " + m_options.logPath);
        }
        // Runs under m_mutex: the model only logs from receive(), which the thread calls locked.
        m_model.setFrameObserver([this](const std::string& hex) {
            if (m_logFile) {
                std::fputs(hex.c_str(), m_logFile);
                std::fputc('\n', m_logFile);
                std::fflush(m_logFile);
            }
            if (m_hangUpAfter > 0 && --m_hangUpAfter == 0) {
                m_requestHangUp = m_hangUpAfterReopen ? 2 : 1;
                ++m_requests;
            }
            m_changed.notify_all();
        });
        openPty();
    } catch (...) {
        closePty();
        if (m_logFile)
            std::fclose(m_logFile);
        ::close(m_wake);
        throw;
    }
    m_thread = std::thread([this] { run(); });
}

PtyRadio::~PtyRadio()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    wake();
    m_thread.join();
    closePty();
    removeLink();
    if (m_logFile)
        std::fclose(m_logFile);
    ::close(m_wake);
}

void PtyRadio::openPty()
{
    int master = ::open("/dev/ptmx", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (master < 0)
        throwErrno("cannot open /dev/ptmx");
    char name[PATH_MAX];
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        ::ptsname_r(master, name, sizeof name) != 0) {
        int err = errno;
        ::close(master);
        errno = err;
        throwErrno("cannot set up the pseudo-terminal");
    }
    int keeper = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (keeper < 0) {
        int err = errno;
        ::close(master);
        errno = err;
        throwErrno(std::string("cannot open ") + name);
    }
    // Raw 8N1: no echo, no line editing, no CR/LF translation. A client sets its own line
    // settings on open; these hold until then, and for clients that set nothing.
    termios tio{};
    if (::tcgetattr(keeper, &tio) == 0) {
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(keeper, TCSANOW, &tio);
    }
    if (!m_options.linkPath.empty()) {
        try {
            makeLink(name);
        } catch (...) {
            ::close(keeper);
            ::close(master);
            throw;
        }
    }
    // Published only now: whoever sees the radio up finds the link pointing at it.
    m_master = master;
    m_keeper = keeper;
    std::lock_guard lock(m_mutex);
    m_slave = name;
    m_hungUp = false;
}

void PtyRadio::closePty()
{
    {
        // Marked first: whoever sees the line go already finds the radio hung up.
        std::lock_guard lock(m_mutex);
        m_slave.clear();
        m_hungUp = true;
        m_pending.clear();
        m_lineFree = {};
    }
    if (m_keeper >= 0)
        ::close(m_keeper);
    if (m_master >= 0)
        ::close(m_master);
    m_keeper = m_master = -1;
}

void PtyRadio::makeLink(const std::string& slave)
{
    const std::string& link = m_options.linkPath;
    struct stat st
    {
    };
    if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        errno = EEXIST;
        throwErrno("will not replace " + link + " (not a symbolic link)");
    }
    // A new link under a temporary name renamed over the old one: the link never disappears
    // while a client looks it up.
    std::string tmp = link + ".tmp" + std::to_string(::getpid());
    ::unlink(tmp.c_str());
    if (::symlink(slave.c_str(), tmp.c_str()) != 0)
        throwErrno("cannot make link " + link);
    if (::rename(tmp.c_str(), link.c_str()) != 0) {
        int err = errno;
        ::unlink(tmp.c_str());
        errno = err;
        throwErrno("cannot make link " + link);
    }
}

void PtyRadio::removeLink()
{
    const std::string& link = m_options.linkPath;
    if (link.empty())
        return;
    // Only our own link: another radio may have taken the name meanwhile.
    char target[PATH_MAX];
    ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return;
    target[n] = '\0';
    if (std::strncmp(target, "/dev/pts/", 9) == 0)
        ::unlink(link.c_str());
}

void PtyRadio::wake()
{
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(m_wake, &one, sizeof one);
}

void PtyRadio::run()
{
    for (;;) {
        // To the microsecond: a paced line sends a byte every half millisecond at 19200.
        timespec timeout{};
        bool due = false;
        int request = 0;
        {
            std::lock_guard lock(m_mutex);
            if (m_stop)
                return;
            request = m_requestHangUp;
            m_requestHangUp = 0;
            if (!m_pending.empty()) {
                auto wait = std::chrono::ceil<std::chrono::microseconds>(m_pending.front().due -
                                                                         Clock::now());
                long long us = std::max<long long>(0, wait.count());
                timeout.tv_sec = static_cast<time_t>(us / 1'000'000);
                timeout.tv_nsec = static_cast<long>(us % 1'000'000) * 1000;
                due = true;
            }
        }
        if (request != 0) {
            if (request != 3) {
                closePty();
                if (request == 1)
                    removeLink();
            }
            std::function<void(const std::string&)> onReopen;
            std::string slave;
            if (request >= 2 && m_master < 0) {
                try {
                    openPty();
                    std::lock_guard lock(m_mutex);
                    onReopen = m_onReopen;
                    slave = m_slave;
                } catch (const std::system_error&) {
                    // Stays hung up; hungUp() tells the caller.
                }
            }
            // The callback has run by the time hangUp()/reopen() return.
            if (onReopen)
                onReopen(slave);
            {
                // One hang-up serves every request made before it was carried out.
                std::lock_guard lock(m_mutex);
                m_requestsDone = m_requests;
            }
            m_changed.notify_all();
            continue;
        }

        pollfd fds[2] = {{m_wake, POLLIN, 0}, {m_master, POLLIN, 0}};
        int n = ::ppoll(fds, m_master >= 0 ? 2 : 1, due ? &timeout : nullptr, nullptr);
        if (n < 0 && errno != EINTR)
            return;
        if (n > 0 && (fds[0].revents & POLLIN)) {
            std::uint64_t count;
            [[maybe_unused]] auto r = ::read(m_wake, &count, sizeof count);
        }
        if (n > 0 && m_master >= 0 && fds[1].revents) {
            if (fds[1].revents & POLLIN) {
                readMaster();
            } else {
                // POLLHUP/POLLERR without data: the pty is gone. Stop watching it rather than
                // spin on an fd that stays ready.
                closePty();
            }
        }
        flushDue();
    }
}

void PtyRadio::readMaster()
{
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        std::string bytes(buf, static_cast<std::size_t>(n));
        const Clock::time_point readAt = Clock::now();
        Clock::time_point heard = readAt; // when the command's last byte is off the line
        if (m_options.lineRate > 0) {
            std::lock_guard lock(m_mutex);
            heard = schedule(bytes, heard); // each byte echoed when it has crossed the line
        } else {
            writeMaster(bytes); // the shared line's echo, before anything the radio says
        }
        std::function<void()> onWrite;
        bool hangingUp = false;
        {
            std::lock_guard lock(m_mutex);
            auto writes = m_model.memoryWrites();
            std::string answer = m_model.receive(bytes);
            if (!answer.empty()) {
                if (m_garbage)
                    answer.insert(0, kGarbage);
                int ms = m_lateMs > 0 ? m_lateMs : m_options.delayMs;
                schedule(std::move(answer), heard + std::chrono::milliseconds(ms), true);
                m_lastAnswer = AnswerTimes{readAt, std::nullopt};
            }
            if (m_model.memoryWrites() != writes)
                onWrite = m_onMemoryWrite;
            hangingUp = m_requestHangUp != 0;
            if (hangingUp)
                m_pending.clear(); // the line is about to go: no answer to that frame
        }
        if (onWrite)
            onWrite();
        if (hangingUp)
            return;
    }
}

void PtyRadio::writeMaster(const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size() && m_master >= 0) {
        ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // EAGAIN: nobody reads the slave and its queue is full
        done += static_cast<std::size_t>(n);
    }
    if (done < bytes.size()) {
        std::lock_guard lock(m_mutex);
        m_dropped += bytes.size() - done;
    }
}

void PtyRadio::flushDue()
{
    for (;;) {
        std::string bytes;
        bool endsAnswer = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_pending.empty() || m_pending.front().due > Clock::now())
                return;
            bytes = std::move(m_pending.front().bytes);
            endsAnswer = m_pending.front().endsAnswer;
            m_pending.pop_front();
        }
        writeMaster(bytes);
        if (endsAnswer) {
            std::lock_guard lock(m_mutex);
            if (m_lastAnswer)
                m_lastAnswer->sent = Clock::now();
        }
    }
}

PtyRadio::Clock::time_point PtyRadio::schedule(std::string bytes, Clock::time_point due,
                                               bool answer)
{
    if (bytes.empty())
        return due;
    if (m_options.lineRate > 0) {
        // One byte after the other on the line, each done ten bit times after it started.
        const auto byteTime = std::chrono::duration_cast<Clock::duration>(
            std::chrono::nanoseconds(10'000'000'000LL / m_options.lineRate));
        Clock::time_point at = std::max(due, m_lineFree);
        for (char c : bytes) {
            at += byteTime;
            m_pending.push_back(Pending{at, std::string(1, c)});
        }
        m_pending.back().endsAnswer = answer;
        m_lineFree = at;
        return at;
    }
    // Keep the order of equal times: after everything due no later.
    auto it = m_pending.end();
    while (it != m_pending.begin() && std::prev(it)->due > due)
        --it;
    m_pending.insert(it, Pending{due, std::move(bytes), answer});
    return due;
}

std::string PtyRadio::slavePath() const
{
    std::lock_guard lock(m_mutex);
    return m_slave;
}

std::string PtyRadio::portPath() const
{
    return m_options.linkPath.empty() ? slavePath() : m_options.linkPath;
}

std::vector<std::string> PtyRadio::frameLog() const
{
    std::lock_guard lock(m_mutex);
    return m_model.frameLog();
}

void PtyRadio::clearFrameLog()
{
    std::lock_guard lock(m_mutex);
    m_model.clearFrameLog();
}

bool PtyRadio::waitForFrames(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_model.frameLog().size() >= count; });
}

void PtyRadio::setDelayMs(int ms)
{
    std::lock_guard lock(m_mutex);
    m_options.delayMs = std::max(0, ms);
}

void PtyRadio::setLateMs(int ms)
{
    std::lock_guard lock(m_mutex);
    m_lateMs = std::max(0, ms);
}

void PtyRadio::setSilent(bool on)
{
    std::lock_guard lock(m_mutex);
    m_model.setSilent(on);
}

void PtyRadio::setGarbage(bool on)
{
    std::lock_guard lock(m_mutex);
    m_garbage = on;
}

void PtyRadio::refuse(Refusal refusal)
{
    std::lock_guard lock(m_mutex);
    m_model.addRefusal(std::move(refusal));
}

void PtyRadio::clearRefusals()
{
    std::lock_guard lock(m_mutex);
    m_model.clearRefusals();
}

void PtyRadio::hangUp(bool reopen)
{
    std::unique_lock lock(m_mutex);
    m_requestHangUp = reopen ? 2 : 1;
    auto ticket = ++m_requests;
    lock.unlock();
    wake();
    lock.lock();
    m_changed.wait(lock, [&] { return m_requestsDone >= ticket; });
}

void PtyRadio::reopen()
{
    std::unique_lock lock(m_mutex);
    if (!m_hungUp)
        return;
    m_requestHangUp = 3;
    auto ticket = ++m_requests;
    lock.unlock();
    wake();
    lock.lock();
    m_changed.wait(lock, [&] { return m_requestsDone >= ticket; });
}

void PtyRadio::hangUpAfter(std::size_t frames, bool reopen)
{
    std::lock_guard lock(m_mutex);
    m_hangUpAfter = frames;
    m_hangUpAfterReopen = reopen;
}

bool PtyRadio::hungUp() const
{
    std::lock_guard lock(m_mutex);
    return m_hungUp;
}

void PtyRadio::send(const std::string& bytes)
{
    {
        std::lock_guard lock(m_mutex);
        schedule(bytes, Clock::now());
    }
    wake();
}

void PtyRadio::broadcastFrequency()
{
    std::lock_guard lock(m_mutex);
    schedule(m_model.frequencyBroadcastNow(), Clock::now());
    wake();
}

void PtyRadio::broadcastMode()
{
    std::lock_guard lock(m_mutex);
    schedule(m_model.modeBroadcastNow(), Clock::now());
    wake();
}

void PtyRadio::setTransceive(bool on)
{
    std::lock_guard lock(m_mutex);
    m_model.setTransceive(on);
}

void PtyRadio::tune(std::uint64_t hz)
{
    std::lock_guard lock(m_mutex);
    schedule(m_model.tune(hz), Clock::now());
    wake();
}

void PtyRadio::selectMode(std::uint8_t mode, std::uint8_t filter)
{
    std::lock_guard lock(m_mutex);
    schedule(m_model.selectMode(mode, filter), Clock::now());
    wake();
}

void PtyRadio::setMemoryWriteCallback(std::function<void()> callback)
{
    std::lock_guard lock(m_mutex);
    m_onMemoryWrite = std::move(callback);
}

void PtyRadio::setReopenCallback(std::function<void(const std::string&)> callback)
{
    std::lock_guard lock(m_mutex);
    m_onReopen = std::move(callback);
}

std::optional<PtyRadio::AnswerTimes> PtyRadio::lastAnswer() const
{
    std::lock_guard lock(m_mutex);
    return m_lastAnswer;
}

std::uint64_t PtyRadio::droppedBytes() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

} // namespace memvane::sim
