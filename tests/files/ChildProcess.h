#pragma once
// Runs a piece of a test in a forked child, for what cannot be undone in the test process: a
// file size limit, or dropping root so that permission bits apply (the suite often runs as
// root, which reads and writes everything). The child's result comes back as text.

#include <functional>
#include <grp.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace memvane::test {

inline constexpr unsigned kNobodyId = 65534;

inline bool runningAsRoot()
{
    return ::geteuid() == 0;
}

// Runs `body` in a child and returns its text; an exception in the child comes back as
// "exception: <message>", a death by signal as "signal <n>". With `asNobody`, a child of root
// first becomes uid/gid 65534.
inline std::string runInChild(const std::function<std::string()>& body, bool asNobody = false)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    pid_t pid = ::fork();
    if (pid < 0)
        return "fork failed";
    if (pid == 0) {
        ::close(fds[0]);
        std::string result;
        if (asNobody && runningAsRoot() &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobodyId) != 0 ||
             ::setuid(kNobodyId) != 0)) {
            result = "could not drop privileges";
        } else {
            try {
                result = body();
            } catch (const std::exception& e) {
                result = std::string("exception: ") + e.what();
            }
        }
        const char* p = result.data();
        std::size_t left = result.size();
        while (left > 0) {
            ssize_t n = ::write(fds[1], p, left);
            if (n <= 0)
                break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFSIGNALED(status))
        return "signal " + std::to_string(WTERMSIG(status));
    return out;
}

} // namespace memvane::test
