#pragma once
// The device's wake-up signals: a manual-reset event on an eventfd, readable while set, so a
// poll or epoll wait can watch it beside the descriptor of the line.

#include "serial/ComBackend.h"

#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace memvane::posix {

class PosixEvent : public ComEvent
{
public:
    PosixEvent() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
    ~PosixEvent() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    PosixEvent(const PosixEvent&) = delete;
    PosixEvent& operator=(const PosixEvent&) = delete;

    void set() override
    {
        std::uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_fd, &one, sizeof one);
    }
    void reset() override
    {
        std::uint64_t value = 0;
        [[maybe_unused]] ssize_t n = ::read(m_fd, &value, sizeof value);
    }
    bool isSet() const override
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, 0) == 1;
    }
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace memvane::posix
