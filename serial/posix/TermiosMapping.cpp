#include "serial/posix/TermiosMapping.h"

#include <cerrno>

namespace memvane::posix {

speed_t StandardSpeed(std::uint32_t rate)
{
    struct Entry
    {
        std::uint32_t rate;
        speed_t speed;
    };
    static const Entry table[] = {
        {50, B50},         {75, B75},         {110, B110},        {134, B134},
        {150, B150},       {200, B200},       {300, B300},        {600, B600},
        {1200, B1200},     {1800, B1800},     {2400, B2400},      {4800, B4800},
        {9600, B9600},     {19200, B19200},   {38400, B38400},    {57600, B57600},
        {115200, B115200}, {230400, B230400}, {460800, B460800},  {500000, B500000},
        {576000, B576000}, {921600, B921600}, {1000000, B1000000}};
    for (const Entry& e : table) {
        if (e.rate == rate)
            return e.speed;
    }
    return B0;
}

int PlanTermios(const TComDCB& dcb, const struct termios& current, TermiosPlan& plan)
{
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 ||
        dcb.StopBits > 2)
        return EINVAL;
    struct termios t = current;

    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF | IXANY | INPCK | IGNPAR | IMAXBEL);
    if (dcb.Flags & DCB_fParity)
        t.c_iflag |= INPCK;
    if (dcb.Flags & DCB_fOutX)
        t.c_iflag |= IXON;
    if (dcb.Flags & DCB_fInX)
        t.c_iflag |= IXOFF;

    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);

    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    t.c_cflag |= CLOCAL | CREAD;
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= sizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case 1: // odd
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2: // even
        t.c_cflag |= PARENB;
        break;
    case 3: // mark: stick parity, odd sense
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4: // space
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    if (dcb.StopBits != 0)
        t.c_cflag |= CSTOPB;

    const std::uint32_t rtsControl = dcb.Flags & DCB_fRtsControlMask;
    const bool hardwareFlow = (dcb.Flags & DCB_fOutxCtsFlow) || rtsControl == 0x2000;
    if (hardwareFlow)
        t.c_cflag |= CRTSCTS;

    // VMIN 1 on a non-blocking descriptor: an empty queue reads as EAGAIN, so a read of 0
    // bytes can only mean the line hung up (with VMIN 0 both would read as 0).
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);

    speed_t speed = StandardSpeed(dcb.BaudRate);
    plan.customRate = speed == B0;
    plan.rate = dcb.BaudRate;
    if (plan.customRate)
        speed = B38400; // placeholder until BOTHER sets the real rate
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);

    switch (dcb.Flags & DCB_fDtrControlMask) {
    case 0x00:
        plan.dtr = ModemLine::Off;
        break;
    default: // enable; handshake has no Linux form, so the line is simply on
        plan.dtr = ModemLine::On;
        break;
    }
    switch (rtsControl) {
    case 0x1000:
        plan.rts = ModemLine::On;
        break;
    case 0x2000: // the driver drives RTS under CRTSCTS
        plan.rts = ModemLine::Leave;
        break;
    default: // disable, and toggle, which Linux cannot do per frame
        plan.rts = hardwareFlow ? ModemLine::Leave : ModemLine::Off;
        break;
    }
    plan.discardNull = (dcb.Flags & DCB_fNull) != 0;
    plan.tio = t;
    return 0;
}

} // namespace memvane::posix
