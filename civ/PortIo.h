#pragma once
// What the command exchange needs of the serial line, and nothing more. The program's
// implementation (civ/ComPortIo) forwards to TComPort; tests can script it directly.

#include <string>

namespace memvane {

// How a wait for received bytes ended.
enum class InputWait {
    Arrived,    // bytes are queued (they may be no more than the echo)
    TimedOut,   // the deadline has passed; what is queued now is all the exchange will see
    Unsupported // this line cannot wait for bytes: the caller falls back to the fixed wait
};

// The waits between a write and the reads count from the start of that write: civdelay is the
// time the radio gets from the moment the command is handed to the line.
class PortIo {
public:
    virtual ~PortIo() = default;
    virtual void ensureOpen() = 0;                  // Connected := True (opens a closed port)
    virtual void clearBuffers() = 0;                // purge receive and transmit queues
    virtual int write(const std::string& bytes) = 0; // returns once written
    virtual std::string read(int maxCount) = 0;     // what is queued now, never waits
    virtual void sleepMs(int ms) = 0;               // the fixed wait between write and read
    // The fast exchange's wait: blocks (without using the CPU) until received bytes are queued
    // or `ms` have passed since the write. Returns at once when bytes are already queued.
    virtual InputWait waitForInput(int /*ms*/) { return InputWait::Unsupported; }
};

} // namespace memvane
