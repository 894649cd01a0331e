// The POSIX backend's pure mappings: port name to device path, the line-settings block to
// termios, and system errors to sentences.

#include "serial/CPort.h"
#include "serial/ComBackend.h"
#include "serial/posix/PortNames.h"
#include "serial/posix/PosixErrors.h"
#include "serial/posix/TermiosMapping.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace memvane::posix {
namespace {

TEST(PortNames, DevicePaths)
{
    struct Row
    {
        const char* name;
        const char* path;
    };
    const Row rows[] = {
        {"COM1", "/dev/ttyS0"},
        {"COM2", "/dev/ttyS1"},
        {"com10", "/dev/ttyS9"},
        {"Com01", "/dev/ttyS0"},
        {"COM0", "/dev/COM0"}, // there is no COM0
        {"COM", "/dev/COM"},
        {"COMx", "/dev/COMx"},
        {"COM1a", "/dev/COM1a"},
        {"COM99999999", "/dev/COM99999999"}, // too long to be a number we map
        {"ttyUSB0", "/dev/ttyUSB0"},
        {"/dev/pts/3", "/dev/pts/3"},
        {"/tmp/radio", "/tmp/radio"},
        {"serial/by-id/usb-x", "/dev/serial/by-id/usb-x"},
        {"", "/dev/"},
    };
    for (const Row& r : rows)
        EXPECT_EQ(PortNameToDevicePath(r.name), r.path) << r.name;
}

TEST(OpenErrors, SayWhatWhereAndWhy)
{
    std::string denied = OpenErrorDetail("/dev/ttyUSB0", EACCES);
    EXPECT_EQ(denied.rfind("cannot open /dev/ttyUSB0: Permission denied", 0), 0u) << denied;
    EXPECT_NE(denied.find("dialout"), std::string::npos);
    EXPECT_NE(OpenErrorDetail("/dev/ttyS0", EBUSY).find("in use"), std::string::npos);
    EXPECT_EQ(OpenErrorDetail("/dev/ttyUSB0", ENOENT),
              "cannot open /dev/ttyUSB0: No such file or directory");
    EXPECT_EQ(OpenErrorDetail("/dev/ttyS9", ENXIO), "cannot open /dev/ttyS9: no such device");
    // A legacy port node without a UART opens, then fails its first terminal ioctl.
    EXPECT_EQ(OpenErrorDetail("/dev/ttyS3", EIO),
              "cannot open /dev/ttyS3: there is no serial hardware behind it (Input/output error)");
    EXPECT_EQ(OpenErrorDetail("/dev/null", ENOTTY),
              "cannot open /dev/null: not a serial port (a device that is not a terminal)");
    EXPECT_EQ(NotATerminalDetail("/tmp/x", "a regular file"),
              "cannot open /tmp/x: not a serial port (a regular file)");
}

TComDCB defaultBlock()
{
    TComParity parity;
    TComFlowControl flow;
    TComBuffer buffer;
    return BuildDCB(br19200, 0, sbOneStopBit, dbEight, parity, flow, buffer, false, 0);
}

struct termios cooked()
{
    // What a terminal looks like before we touch it: canonical, echoing, translating.
    struct termios t
    {
    };
    t.c_iflag = ICRNL | IXON | BRKINT | IMAXBEL;
    t.c_oflag = OPOST | ONLCR;
    t.c_lflag = ICANON | ECHO | ECHOE | ISIG | IEXTEN;
    t.c_cflag = CS7 | PARENB | CRTSCTS | HUPCL;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 5;
    return t;
}

TEST(TermiosMapping, RawEightBitLineFromTheDefaults)
{
    TermiosPlan plan;
    ASSERT_EQ(PlanTermios(defaultBlock(), cooked(), plan), 0);
    const struct termios& t = plan.tio;
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF | BRKINT | INPCK | ISTRIP | IGNCR | INLCR), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), static_cast<tcflag_t>(CLOCAL | CREAD));
    EXPECT_EQ(t.c_cflag & HUPCL, static_cast<tcflag_t>(HUPCL)); // left as it was
    EXPECT_EQ(t.c_cc[VMIN], 1);
    EXPECT_EQ(t.c_cc[VTIME], 0);
    EXPECT_EQ(t.c_cc[VSTART], 17);
    EXPECT_EQ(t.c_cc[VSTOP], 19);
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B19200));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B19200));
    EXPECT_FALSE(plan.customRate);
    EXPECT_EQ(plan.dtr, ModemLine::Off);
    EXPECT_EQ(plan.rts, ModemLine::Off);
    EXPECT_FALSE(plan.discardNull);
}

TEST(TermiosMapping, FieldByField)
{
    struct Row
    {
        const char* name;
        std::function<void(TComDCB&)> change;
        std::function<bool(const TermiosPlan&)> holds;
    };
    const Row rows[] = {
        {"5 bits", [](TComDCB& d) { d.ByteSize = 5; },
         [](const TermiosPlan& p) { return (p.tio.c_cflag & CSIZE) == CS5; }},
        {"6 bits", [](TComDCB& d) { d.ByteSize = 6; },
         [](const TermiosPlan& p) { return (p.tio.c_cflag & CSIZE) == CS6; }},
        {"7 bits", [](TComDCB& d) { d.ByteSize = 7; },
         [](const TermiosPlan& p) { return (p.tio.c_cflag & CSIZE) == CS7; }},
        {"odd", [](TComDCB& d) { d.Parity = 1; },
         [](const TermiosPlan& p) {
             return (p.tio.c_cflag & (PARENB | PARODD | CMSPAR)) == (PARENB | PARODD);
         }},
        {"even", [](TComDCB& d) { d.Parity = 2; },
         [](const TermiosPlan& p) {
             return (p.tio.c_cflag & (PARENB | PARODD | CMSPAR)) == PARENB;
         }},
        {"mark", [](TComDCB& d) { d.Parity = 3; },
         [](const TermiosPlan& p) {
             return (p.tio.c_cflag & (PARENB | PARODD | CMSPAR)) == (PARENB | PARODD | CMSPAR);
         }},
        {"space", [](TComDCB& d) { d.Parity = 4; },
         [](const TermiosPlan& p) {
             return (p.tio.c_cflag & (PARENB | PARODD | CMSPAR)) == (PARENB | CMSPAR);
         }},
        {"1.5 stop", [](TComDCB& d) { d.StopBits = 1; },
         [](const TermiosPlan& p) { return (p.tio.c_cflag & CSTOPB) != 0; }},
        {"2 stop", [](TComDCB& d) { d.StopBits = 2; },
         [](const TermiosPlan& p) { return (p.tio.c_cflag & CSTOPB) != 0; }},
        {"parity check", [](TComDCB& d) { d.Flags |= DCB_fParity; },
         [](const TermiosPlan& p) { return (p.tio.c_iflag & INPCK) != 0; }},
        {"cts out", [](TComDCB& d) { d.Flags |= DCB_fOutxCtsFlow; },
         [](const TermiosPlan& p) {
             return (p.tio.c_cflag & CRTSCTS) && p.rts == ModemLine::Leave;
         }},
        {"rts handshake", [](TComDCB& d) { d.Flags |= 0x2000; },
         [](const TermiosPlan& p) {
             return (p.tio.c_cflag & CRTSCTS) && p.rts == ModemLine::Leave;
         }},
        {"rts enable", [](TComDCB& d) { d.Flags |= 0x1000; },
         [](const TermiosPlan& p) { return p.rts == ModemLine::On && !(p.tio.c_cflag & CRTSCTS); }},
        {"rts toggle", [](TComDCB& d) { d.Flags |= 0x3000; },
         [](const TermiosPlan& p) { return p.rts == ModemLine::Off; }},
        {"dtr enable", [](TComDCB& d) { d.Flags |= 0x10; },
         [](const TermiosPlan& p) { return p.dtr == ModemLine::On; }},
        {"dtr handshake", [](TComDCB& d) { d.Flags |= 0x20; },
         [](const TermiosPlan& p) { return p.dtr == ModemLine::On; }},
        {"xon out", [](TComDCB& d) { d.Flags |= DCB_fOutX; },
         [](const TermiosPlan& p) { return (p.tio.c_iflag & (IXON | IXOFF)) == IXON; }},
        {"xon in", [](TComDCB& d) { d.Flags |= DCB_fInX; },
         [](const TermiosPlan& p) { return (p.tio.c_iflag & (IXON | IXOFF)) == IXOFF; }},
        {"xon chars",
         [](TComDCB& d) {
             d.XonChar = 'Q';
             d.XoffChar = 'S';
         },
         [](const TermiosPlan& p) {
             return p.tio.c_cc[VSTART] == 'Q' && p.tio.c_cc[VSTOP] == 'S';
         }},
        {"discard nul", [](TComDCB& d) { d.Flags |= DCB_fNull; },
         [](const TermiosPlan& p) { return p.discardNull; }},
        {"110", [](TComDCB& d) { d.BaudRate = 110; },
         [](const TermiosPlan& p) { return cfgetospeed(&p.tio) == B110 && !p.customRate; }},
        {"115200", [](TComDCB& d) { d.BaudRate = 115200; },
         [](const TermiosPlan& p) { return cfgetospeed(&p.tio) == B115200 && !p.customRate; }},
        {"14400", [](TComDCB& d) { d.BaudRate = 14400; },
         [](const TermiosPlan& p) { return p.customRate && p.rate == 14400; }},
        {"256000", [](TComDCB& d) { d.BaudRate = 256000; },
         [](const TermiosPlan& p) { return p.customRate && p.rate == 256000; }},
    };
    for (const Row& r : rows) {
        TComDCB dcb = defaultBlock();
        r.change(dcb);
        TermiosPlan plan;
        ASSERT_EQ(PlanTermios(dcb, cooked(), plan), 0) << r.name;
        EXPECT_TRUE(r.holds(plan)) << r.name;
    }
}

TEST(TermiosMapping, BlocksNoLineCanTake)
{
    for (auto change : std::vector<std::function<void(TComDCB&)>>{
             [](TComDCB& d) { d.BaudRate = 0; }, [](TComDCB& d) { d.ByteSize = 4; },
             [](TComDCB& d) { d.ByteSize = 9; }, [](TComDCB& d) { d.Parity = 5; },
             [](TComDCB& d) { d.StopBits = 3; }}) {
        TComDCB dcb = defaultBlock();
        change(dcb);
        TermiosPlan plan;
        EXPECT_EQ(PlanTermios(dcb, cooked(), plan), EINVAL);
    }
}

} // namespace
} // namespace memvane::posix
