#pragma once
// What the command exchange needs of the serial line, and nothing more. The program's
// implementation (civ/ComPortIo) forwards to TComPort; tests can script it directly.

#include <string>

namespace memvane {

class PortIo {
public:
    virtual ~PortIo() = default;
    virtual void ensureOpen() = 0;                  // Connected := True (opens a closed port)
    virtual void clearBuffers() = 0;                // purge receive and transmit queues
    virtual int write(const std::string& bytes) = 0; // returns once written
    virtual std::string read(int maxCount) = 0;     // what is queued now, never waits
    virtual void sleepMs(int ms) = 0;               // the fixed wait between write and read
};

} // namespace memvane
