#pragma once
// The program's serial component on the simulated radio's pseudo-terminal, for the pty tests:
// TComPort opened at 19200 baud on the radio's slave side, and the exchange's ComPortIo over it.
// The radio answers after `radioDelayMs`; tests pick civdelay themselves (tests/support/
// RadioWait.h). With `link` the port opens the radio through that symbolic link, which follows
// the radio to a new pty.

#include "civ/ComPortIo.h"
#include "serial/CPort.h"
#include "serial/MainThreadQueue.h"
#include "sim/PtyRadio.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace memvane::test {

// ComPortIo that notes when each command was handed to the line.
class NotedIo : public PortIo
{
public:
    explicit NotedIo(TCustomComPort& port) : m_io(port) {}
    void ensureOpen() override { m_io.ensureOpen(); }
    void clearBuffers() override { m_io.clearBuffers(); }
    int write(const std::string& bytes) override
    {
        lastWrite = std::chrono::steady_clock::now();
        return m_io.write(bytes);
    }
    std::string read(int maxCount) override { return m_io.read(maxCount); }
    void sleepMs(int ms) override { m_io.sleepMs(ms); }
    InputWait waitForInput(int ms) override { return m_io.waitForInput(ms); }

    std::chrono::steady_clock::time_point lastWrite;

private:
    ComPortIo m_io;
};

class PtyLine
{
public:
    explicit PtyLine(int radioDelayMs = 2, std::string link = {})
        : radio(options(radioDelayMs, std::move(link)))
    {
        port.SetPort(radio.portPath());
        port.SetBaudRate(br19200);
        port.Open();
    }

    // Runs the port's queued event handlings (OnRxChar) until `done` or the hang guard.
    bool serviceUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds guard = std::chrono::seconds(5))
    {
        auto end = std::chrono::steady_clock::now() + guard;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            mainthread::Drain();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    // For a test of the real wait that failed: when the radio's answer to the last command went
    // out more than `waitMs` after the command was written, the radio (which answers after a
    // few ms) did not get a CPU in time, and this says so; otherwise empty.
    std::string busyMachineNote(int waitMs)
    {
        using namespace std::chrono;
        std::optional<sim::PtyRadio::AnswerTimes> a;
        for (auto end = steady_clock::now() + seconds(2); steady_clock::now() < end;) {
            a = radio.lastAnswer();
            if (a && a->sent)
                break;
            std::this_thread::sleep_for(milliseconds(5));
        }
        if (!a || !a->sent || a->heard < io.lastWrite)
            return {};
        auto ms = [&](steady_clock::time_point t) {
            return std::to_string(duration_cast<milliseconds>(t - io.lastWrite).count());
        };
        if (*a->sent - io.lastWrite <= milliseconds(waitMs))
            return {};
        return "\nThe machine was too busy: the simulated radio read the last command " +
               ms(a->heard) + " ms after it was written and answered after " + ms(*a->sent) +
               " ms, beyond the " + std::to_string(waitMs) + " ms wait.";
    }

    sim::PtyRadio radio;
    TComPort port;
    NotedIo io{port};

private:
    static sim::PtyRadioOptions options(int delayMs, std::string link)
    {
        sim::PtyRadioOptions o;
        o.delayMs = delayMs;
        o.linkPath = std::move(link);
        return o;
    }
};

} // namespace memvane::test
