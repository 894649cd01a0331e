#pragma once
// Test helpers: a plain termios client of a pseudo-terminal, and a child process with its
// stdout read line by line. Every wait has a deadline, so a broken radio fails a test instead
// of hanging it.

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace memvane::test {

using namespace std::chrono_literals;

class PtyClient
{
public:
    explicit PtyClient(const std::string& path)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (m_fd < 0)
            throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
        termios tio{};
        ::tcgetattr(m_fd, &tio);
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        ::cfsetispeed(&tio, B19200);
        ::cfsetospeed(&tio, B19200);
        ::tcsetattr(m_fd, TCSANOW, &tio);
        ::tcflush(m_fd, TCIOFLUSH);
    }
    ~PtyClient() { ::close(m_fd); }
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    int fd() const { return m_fd; }
    void purge() { ::tcflush(m_fd, TCIOFLUSH); }

    void write(const std::string& bytes)
    {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n < 0)
                throw std::runtime_error(std::string("write: ") + std::strerror(errno));
            done += static_cast<std::size_t>(n);
        }
    }

    // What is queued now; never waits.
    std::string readNow()
    {
        std::string out;
        char buf[512];
        for (;;) {
            ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n <= 0)
                return out;
            out.append(buf, static_cast<std::size_t>(n));
        }
    }

    // Reads until `count` bytes have come or `limit` has passed.
    std::string readUntil(std::size_t count, std::chrono::milliseconds limit = 3000ms)
    {
        std::string out;
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (out.size() < count) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            if (p.revents & (POLLHUP | POLLERR) && !(p.revents & POLLIN))
                break;
            out += readNow();
        }
        return out;
    }

    // Everything that comes within `window`.
    std::string readFor(std::chrono::milliseconds window)
    {
        std::this_thread::sleep_for(window);
        return readNow();
    }

    // The echo of a frame of `echoSize` bytes, then whatever else comes within `window`: for
    // checks that nothing but the echo comes (a slow machine can only make them pass, never
    // fail).
    std::string echoAndRest(std::size_t echoSize, std::chrono::milliseconds window = 150ms)
    {
        std::string got = readUntil(echoSize);
        return got + readFor(window);
    }

    // True when the other side has gone: poll reports a hang-up or read fails with EIO. Bytes
    // still on their way (an echo) are read and dropped.
    bool hungUp(std::chrono::milliseconds limit = 3000ms)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return false;
            if (p.revents & POLLHUP)
                return true;
            char buf[256];
            if (::read(m_fd, buf, sizeof buf) < 0 && errno == EIO)
                return true;
        }
    }

private:
    int m_fd = -1;
};

// For a check that a late answer has not come yet, made `lateMs` after `written` or later: the
// test slept beyond the answer's time because the machine kept it from running, and says so.
inline std::string busyMachineNote(std::chrono::steady_clock::time_point written, int lateMs)
{
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - written)
                  .count();
    if (ms < lateMs)
        return {};
    return "; the machine was too busy: the read came " + std::to_string(ms) +
           " ms after the write, when the late answer (" + std::to_string(lateMs) + " ms) was due";
}

// A child process with a pipe on its stdin and its stdout.
class Child
{
public:
    Child(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv = {})
    {
        int in[2], out[2], err[2];
        if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 ||
            ::pipe2(err, O_CLOEXEC) != 0)
            throw std::runtime_error("pipe");
        posix_spawn_file_actions_t fa;
        posix_spawn_file_actions_init(&fa);
        posix_spawn_file_actions_adddup2(&fa, in[0], 0);
        posix_spawn_file_actions_adddup2(&fa, out[1], 1);
        posix_spawn_file_actions_adddup2(&fa, err[1], 2);
        std::vector<char*> argv;
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        // The environment of the test, with the entries of extraEnv replacing those of the same
        // name.
        std::vector<std::string> envStore(extraEnv);
        for (char** e = environ; *e; ++e) {
            std::string entry(*e);
            std::string name = entry.substr(0, entry.find('=') + 1);
            bool replaced = false;
            for (const auto& x : extraEnv)
                replaced = replaced || x.rfind(name, 0) == 0;
            if (!replaced)
                envStore.push_back(entry);
        }
        std::vector<char*> envp;
        for (auto& e : envStore)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        int rc = ::posix_spawn(&m_pid, argv[0], &fa, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&fa);
        ::close(in[0]);
        ::close(out[1]);
        ::close(err[1]);
        m_in = in[1];
        m_out = out[0];
        m_err = err[0];
        if (rc != 0)
            throw std::runtime_error("cannot start " + args[0] + ": " + std::strerror(rc));
    }
    ~Child()
    {
        if (m_pid > 0 && !m_status) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
        ::close(m_in);
        ::close(m_out);
        ::close(m_err);
    }

    pid_t pid() const { return m_pid; }
    void input(const std::string& text)
    {
        [[maybe_unused]] auto n = ::write(m_in, text.data(), text.size());
    }
    void closeInput()
    {
        ::close(m_in);
        m_in = -1;
    }

    // Next line of stdout, without the newline; empty on timeout or end.
    std::string line(std::chrono::milliseconds limit = 5000ms)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            auto nl = m_buffer.find('\n');
            if (nl != std::string::npos) {
                std::string l = m_buffer.substr(0, nl);
                m_buffer.erase(0, nl + 1);
                return l;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_out, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return {};
            char buf[256];
            ssize_t n = ::read(m_out, buf, sizeof buf);
            if (n <= 0)
                return {};
            m_buffer.append(buf, static_cast<std::size_t>(n));
        }
    }

    // Everything on stderr so far (after the child ended: all of it).
    std::string errors()
    {
        std::string out;
        char buf[512];
        pollfd p{m_err, POLLIN, 0};
        while (::poll(&p, 1, 0) > 0) {
            ssize_t n = ::read(m_err, buf, sizeof buf);
            if (n <= 0)
                break;
            out.append(buf, static_cast<std::size_t>(n));
        }
        return out;
    }

    // Exit status after waiting at most `limit`; nullopt when it is still running (a hang).
    std::optional<int> wait(std::chrono::milliseconds limit = 10000ms)
    {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (!m_status) {
            int status = 0;
            pid_t r = ::waitpid(m_pid, &status, WNOHANG);
            if (r == m_pid) {
                m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
                break;
            }
            if (std::chrono::steady_clock::now() > deadline)
                return std::nullopt;
            std::this_thread::sleep_for(10ms);
        }
        return m_status;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1, m_out = -1, m_err = -1;
    std::string m_buffer;
    std::optional<int> m_status;
};

// Polls `condition` every 10 ms until it holds or `limit` passes.
template <class F> bool eventually(F condition, std::chrono::milliseconds limit = 5000ms)
{
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

} // namespace memvane::test
