#pragma once
// What the window tests share: a pseudo-terminal to stand in for a serial port, a backend that
// maps port names (so "COM1" never reaches a real /dev/ttyS0), a tiny in-process radio behind
// the PortIo seam for the wiring of the radio commands, and helpers to wait for the event loop
// and to answer real modal dialogs.

#include "civ/PortIo.h"
#include "serial/ComBackend.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace memvane::test {

// The master side of a pseudo-terminal; the slave path is what the port opens.
class Pty
{
public:
    Pty()
    {
        m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128];
        if (ptsname_r(m_master, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal name");
        m_slave = name;
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() { ::close(m_master); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    const std::string& slavePath() const { return m_slave; }
    void send(const std::string& bytes) const
    {
        if (::write(m_master, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
            throw std::runtime_error("pty write failed");
    }
    // Someone holds the slave open for exclusive use (the port takes an flock).
    bool slaveLocked() const
    {
        int fd = ::open(m_slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return true;
        bool locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
        ::close(fd);
        return locked;
    }

private:
    int m_master = -1;
    std::string m_slave;
};

// The platform backend with some port names redirected.
class MappedBackend : public TComBackend
{
public:
    std::map<std::string, std::string> names;
    std::vector<std::string> opened; // names asked for, in order

    std::shared_ptr<ComDevice> open(const std::string& port, bool overlapped,
                                    ComOpenError& error) override
    {
        opened.push_back(port);
        auto it = names.find(port);
        return m_real->open(it == names.end() ? port : it->second, overlapped, error);
    }
    std::shared_ptr<ComEvent> createEvent() override { return m_real->createEvent(); }
    void setThreadPriority(int priority) override { m_real->setThreadPriority(priority); }

private:
    std::shared_ptr<TComBackend> m_real = DefaultComBackend();
};

// A radio at any address that answers every command at once: frequency 145.5 MHz, FM/Normal,
// offset 0.6 MHz, FB for everything else. `silent` makes it answer nothing but the echo.
class InstantRadio : public PortIo
{
public:
    std::vector<std::string> frames;
    bool silent = false;
    std::function<void(int frameCount)> onWrite;

    void ensureOpen() override {}
    void clearBuffers() override { m_pending.clear(); }
    int write(const std::string& bytes) override
    {
        frames.push_back(bytes);
        m_pending = bytes + (silent ? std::string() : reply(bytes));
        if (onWrite)
            onWrite(static_cast<int>(frames.size()));
        return static_cast<int>(bytes.size());
    }
    std::string read(int maxCount) override
    {
        std::string out = m_pending.substr(0, static_cast<size_t>(maxCount));
        m_pending.erase(0, out.size());
        return out;
    }
    void sleepMs(int) override {}

    static std::string bytes(std::initializer_list<int> values)
    {
        std::string s;
        for (int v : values)
            s.push_back(static_cast<char>(v));
        return s;
    }

private:
    static std::string reply(const std::string& frame)
    {
        if (frame.size() < 6)
            return {};
        int addr = static_cast<unsigned char>(frame[2]);
        std::string head = bytes({0xFE, 0xFE, 0xE0, addr});
        switch (static_cast<unsigned char>(frame[4])) {
        case 0x03:
            return head + bytes({0x03, 0x00, 0x00, 0x50, 0x45, 0x01, 0xFD});
        case 0x04:
            return head + bytes({0x04, 0x05, 0x01, 0xFD});
        case 0x0C:
            return head + bytes({0x0C, 0x00, 0x60, 0x00, 0xFD});
        default:
            return head + bytes({0xFB, 0xFD});
        }
    }
    std::string m_pending;
};

// Runs the event loop until `done` or the hang guard (which fails the caller's expectation).
inline bool processUntil(const std::function<bool()>& done, int guardMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > guardMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// Answers the next real message box: records its text and presses `button`.
struct MessageBoxAnswerer
{
    std::vector<QString> texts;
    void arm(QMessageBox::StandardButton button)
    {
        QTimer::singleShot(0, [this, button] { answer(button, 500); });
    }

private:
    void answer(QMessageBox::StandardButton button, int triesLeft)
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->isVisible()) {
                texts.push_back(box->text());
                box->button(button)->click();
                return;
            }
        }
        if (triesLeft > 0) // not shown yet
            QTimer::singleShot(10, [this, button, triesLeft] { answer(button, triesLeft - 1); });
    }
};

} // namespace memvane::test
