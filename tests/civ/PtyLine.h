#pragma once
// The program's serial component on the simulated radio's pseudo-terminal, for the pty tests:
// TComPort opened at 19200 baud on the radio's slave side, and the exchange's ComPortIo over it.
// The radio answers after `radioDelayMs`; tests pick civdelay themselves. With `link` the port
// opens the radio through that symbolic link, which follows the radio to a new pty.

#include "civ/ComPortIo.h"
#include "serial/CPort.h"
#include "serial/MainThreadQueue.h"
#include "sim/PtyRadio.h"

#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace memvane::test {

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

    sim::PtyRadio radio;
    TComPort port;
    ComPortIo io{port};

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
