#pragma once
// The line-settings block (TComDCB) in termios terms, as a pure function so every field's
// translation is testable without a device.
//
// Raw mode always (no echo, no canonical input, no signals, no output processing, 8-bit clean),
// CLOCAL | CREAD, VMIN 1 and VTIME 0 on a non-blocking descriptor (timeouts are ours). Parity
// Mark/Space use CMSPAR; 1.5 stop bits become CSTOPB (the UART sends 1.5 for five data bits).
// CRTSCTS when CTS output flow or RTS handshake is asked for; IXON / IXOFF with VSTART / VSTOP for
// XON/XOFF. fParity turns on INPCK (a byte with a parity error then reads as NUL). What termios
// cannot express is left to the device: NUL stripping (fNull) is done by the reader; DSR flow, DSR
// sensitivity, DTR handshake, RTS toggle, "continue on XOFF" and the XON/XOFF limits have no Linux
// equivalent.

#include "serial/ComBackend.h"

#include <cstdint>
#include <termios.h>

namespace memvane::posix {

enum class ModemLine { Leave, Off, On };

struct TermiosPlan
{
    struct termios tio
    {
    };
    bool customRate = false; // the rate has no Bxxx constant: set it with BOTHER afterwards
    std::uint32_t rate = 0;
    ModemLine dtr = ModemLine::Leave;
    ModemLine rts = ModemLine::Leave;
    bool discardNull = false;
};

// The Bxxx constant of a rate, or B0 when there is none.
speed_t StandardSpeed(std::uint32_t rate);

// Returns 0, or EINVAL for a block no line can take (rate 0, byte size outside 5..8, parity or
// stop-bit code out of range).
int PlanTermios(const TComDCB& dcb, const struct termios& current, TermiosPlan& plan);

} // namespace memvane::posix
