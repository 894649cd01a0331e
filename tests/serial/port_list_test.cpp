// The list of serial ports, against fake /sys, /dev and /proc trees and advertisement folders.

#include "serial/CPort.h"
#include "serial/posix/PosixPortList.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace memvane {
namespace {

using Names = std::vector<std::string>;

// A fake system tree: ttys in /sys/class/tty as the kernel lays them out (a link into
// /sys/devices, a `device` link with a `driver` link below it), their /dev nodes, by-id links,
// running processes in /proc, and memvane-radio advertisement files.
class FakeSystem
{
public:
    FakeSystem() { fs::create_directories(root() / "sys/class/tty"); }

    fs::path root() const { return m_dir.path() / "root"; }
    std::string rootText() const { return root().string(); }

    // A tty with a bound driver; `type` empty means no `type` attribute.
    void addTty(const std::string& name, const std::string& type = {}, bool devNode = true,
                bool driver = true)
    {
        fs::path dev = root() / "sys/devices/platform/port" / name;
        fs::path cls = dev / "tty" / name;
        fs::create_directories(cls);
        fs::create_directories(root() / "sys/bus/drv");
        fs::create_directory_symlink("../..", cls / "device");
        if (driver)
            fs::create_directory_symlink(root() / "sys/bus/drv", dev / "driver");
        if (!type.empty())
            write(cls / "type", type + "\n");
        fs::create_directory_symlink(cls, root() / "sys/class/tty" / name);
        if (devNode)
            addDevNode(name);
    }
    // A tty with no device behind it at all (virtual console, ptmx).
    void addVirtualTty(const std::string& name)
    {
        fs::path cls = root() / "sys/devices/virtual/tty" / name;
        fs::create_directories(cls);
        fs::create_directory_symlink(cls, root() / "sys/class/tty" / name);
        addDevNode(name);
    }
    void addDevNode(const std::string& name)
    {
        fs::create_directories(root() / "dev");
        write(root() / "dev" / name, "");
    }
    void addById(const std::string& name, const std::string& target)
    {
        fs::create_directories(root() / "dev/serial/by-id");
        fs::create_symlink(target, root() / "dev/serial/by-id" / name);
    }
    void addProcess(int pid, const std::string& comm = "memvane-radio")
    {
        fs::path dir = root() / "proc" / std::to_string(pid);
        fs::create_directories(dir);
        write(dir / "comm", comm + "\n");
    }

    // An advertisement folder of memvane-radio.
    std::string advertDir(const std::string& name = "memvane-radio") const
    {
        fs::path d = m_dir.path() / name;
        fs::create_directories(d);
        return d.string();
    }
    // A device path outside the fake root, as a radio advertises it.
    std::string pty(const std::string& name) const
    {
        fs::create_directories(m_dir.path() / "pts");
        std::string p = (m_dir.path() / "pts" / name).string();
        write(p, "");
        return p;
    }
    std::string missing(const std::string& name) const
    {
        return (m_dir.path() / "gone" / name).string();
    }

    static void write(const fs::path& p, const std::string& text)
    {
        std::ofstream(p, std::ios::binary) << text;
    }

    PortListSources sources(Names advertDirs = {}) const { return {rootText(), advertDirs}; }
    Names list(Names advertDirs = {}) const { return EnumerateSerialPorts(sources(advertDirs)); }

private:
    test::TempDir m_dir;
};

TEST(PortList, ListsTtysWithADriverUnderTheirOpenableNames)
{
    FakeSystem sys;
    sys.addTty("ttyUSB0");
    sys.addTty("ttyACM1");
    sys.addTty("ttyS0", "4");
    sys.addVirtualTty("tty0");
    sys.addVirtualTty("ptmx");
    sys.addVirtualTty("console");
    sys.addTty("ttyUSB7", {}, true, /*driver=*/false);
    EXPECT_EQ(sys.list(), (Names{"COM1", "ttyACM1", "ttyUSB0"}));
}

TEST(PortList, LeavesOutSerialCorePortsWithoutUart)
{
    FakeSystem sys;
    sys.addTty("ttyS0", "4");
    sys.addTty("ttyS1", "0");
    sys.addTty("ttyS2", "0");
    sys.addTty("ttyS3", "  0\n");
    sys.addTty("ttyS4", "16");
    // A driver-bound tty without the serial-core attribute is a real device (USB, ACM).
    sys.addTty("ttyS5");
    EXPECT_EQ(sys.list(), (Names{"COM1", "COM5", "COM6"}));
}

TEST(PortList, LeavesOutTtysWithoutADevNode)
{
    FakeSystem sys;
    sys.addTty("ttyUSB0", {}, /*devNode=*/false);
    sys.addTty("ttyUSB1");
    sys.addTty("ttyS0", "4", /*devNode=*/false);
    EXPECT_EQ(sys.list(), (Names{"ttyUSB1"}));
}

TEST(PortList, ByIdLinksAsFullPathsWhenTheirDeviceExists)
{
    FakeSystem sys;
    sys.addTty("ttyUSB0");
    sys.addById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
    // Left behind by an unplugged adapter.
    sys.addById("usb-Silicon_Labs_CP2102_0001-if00-port0", "../../ttyUSB9");
    FakeSystem::write(sys.root() / "dev/serial/by-id/not-a-link", "");
    EXPECT_EQ(sys.list(),
              (Names{"/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "ttyUSB0"}));
}

TEST(PortList, AdvertisedRadiosOfRunningProcessesOnly)
{
    FakeSystem sys;
    sys.addTty("ttyUSB0");
    std::string dir = sys.advertDir();
    std::string link = sys.pty("radio-link");
    std::string slave = sys.pty("3");
    sys.addProcess(4242);
    FakeSystem::write(fs::path(dir) / "4242", link + "\n" + slave + "\n");
    // Killed radio: its file stays behind but the process is gone.
    std::string staleSlave = sys.pty("7");
    FakeSystem::write(fs::path(dir) / "5151", staleSlave + "\n");
    // Killed radio whose pid now belongs to a shell: its terminal is no port.
    sys.addProcess(5252, "bash");
    FakeSystem::write(fs::path(dir) / "5252", sys.pty("0") + "\n");
    // Running, but its pty has gone away since (reopened, or the file is out of date).
    sys.addProcess(6000);
    FakeSystem::write(fs::path(dir) / "6000", sys.missing("9") + "\n");
    // Half-written replacement file, a relative path, and a file that is not a pid.
    sys.addProcess(7000);
    FakeSystem::write(fs::path(dir) / "7000.tmp", sys.pty("11") + "\n");
    FakeSystem::write(fs::path(dir) / "notes", sys.pty("12") + "\n");
    sys.addProcess(7001);
    FakeSystem::write(fs::path(dir) / "7001", "pts/3\n\n");
    // Not a file memvane-radio writes: far too big.
    sys.addProcess(7002);
    FakeSystem::write(fs::path(dir) / "7002", sys.pty("13") + "\n" + std::string(20000, '#'));

    Names expected{link, slave, "ttyUSB0"};
    SortPortNames(expected);
    EXPECT_EQ(sys.list({dir}), expected);
}

TEST(PortList, SameRadioSeenTwiceIsListedOnce)
{
    FakeSystem sys;
    std::string slave = sys.pty("4");
    std::string xdg = sys.advertDir("xdg");
    std::string tmp = sys.advertDir("tmp");
    sys.addProcess(100);
    // Without --link the radio advertises its slave twice; both folders may be read.
    FakeSystem::write(fs::path(xdg) / "100", slave + "\n" + slave + "\n");
    FakeSystem::write(fs::path(tmp) / "100", slave + "\r\n");
    EXPECT_EQ(sys.list({xdg, tmp, sys.missing("dir")}), (Names{slave}));
}

TEST(PortList, AdvertFolderThatIsASymlinkIsNotTrusted)
{
    FakeSystem sys;
    sys.addTty("ttyUSB0");
    std::string real = sys.advertDir("elsewhere");
    sys.addProcess(100);
    FakeSystem::write(fs::path(real) / "100", sys.pty("5") + "\n");
    fs::path link = fs::path(real).parent_path() / "memvane-radio-link";
    fs::create_directory_symlink(real, link);
    EXPECT_EQ(sys.list({link.string()}), (Names{"ttyUSB0"}));
    EXPECT_EQ(sys.list({real}).size(), 2u);
}

TEST(PortList, NoPortAtAllIsRegistryError)
{
    FakeSystem sys;
    sys.addVirtualTty("tty0");
    sys.addTty("ttyS0", "0");
    try {
        sys.list({sys.advertDir()});
        FAIL() << "expected EComPort";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 23);
        EXPECT_NE(e.WinCode(), -1);
        EXPECT_STREQ(e.what(), "COM Port Error: Registry error on registry read");
    }
}

TEST(PortList, UnreadableSysIsRegistryErrorUnlessARadioIsAdvertised)
{
    test::TempDir empty;
    PortListSources none{(empty.path() / "no-such-root").string(), {}};
    try {
        EnumerateSerialPorts(none);
        FAIL() << "expected EComPort";
    } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 23);
        EXPECT_EQ(e.WinCode(), ENOENT);
        EXPECT_STREQ(e.what(), "COM Port Error: Registry error on registry read");
    }

    FakeSystem sys;
    std::string dir = sys.advertDir();
    std::string slave = sys.pty("2");
    fs::create_directories(empty.path() / "no-such-root/proc/77");
    FakeSystem::write(empty.path() / "no-such-root/proc/77/comm", "memvane-radio\n");
    FakeSystem::write(fs::path(dir) / "77", slave + "\n");
    none.advertDirs = {dir};
    EXPECT_EQ(EnumerateSerialPorts(none), (Names{slave}));
}

TEST(PortList, SortIgnoresLetterCaseAndDropsDuplicates)
{
    struct Row
    {
        const char* name;
        Names input;
        Names sorted;
    };
    const Row rows[] = {
        {"com numbers as text", {"COM2", "COM10", "COM1"}, {"COM1", "COM10", "COM2"}},
        {"case ignored",
         {"ttyUSB0", "COM3", "ttyacm0", "/dev/x"},
         {"/dev/x", "COM3", "ttyacm0", "ttyUSB0"}},
        {"case-only twins in fixed order", {"ttyusb0", "ttyUSB0"}, {"ttyUSB0", "ttyusb0"}},
        {"duplicates", {"COM1", "COM1", "ttyUSB0", "COM1"}, {"COM1", "ttyUSB0"}},
        {"non-ASCII after ASCII", {"tty\xc3\xa9", "ttyz"}, {"ttyz", "tty\xc3\xa9"}},
        {"empty", {}, {}},
    };
    for (const auto& row : rows) {
        Names names = row.input;
        SortPortNames(names);
        EXPECT_EQ(names, row.sorted) << row.name;
    }
}

TEST(PortList, KernelNamesToPortNames)
{
    const std::pair<const char*, const char*> rows[] = {
        {"ttyS0", "COM1"},      {"ttyS9", "COM10"},     {"ttyS31", "COM32"},
        {"ttyUSB0", "ttyUSB0"}, {"ttyACM0", "ttyACM0"}, {"ttyS", "ttyS"},
        {"ttySAC0", "ttySAC0"}, {"ttyS01", "ttyS01"},   {"ttyS123456", "ttyS123456"},
        {"ttyAMA0", "ttyAMA0"},
    };
    for (const auto& [kernel, port] : rows)
        EXPECT_EQ(TtyToPortName(kernel), port) << kernel;
}

TEST(PortList, ListerCanBeReplacedAndRestored)
{
    PortLister previous = SetPortLister([] { return Names{"COM7", "ttyUSB3"}; });
    EXPECT_EQ(ListSerialPorts(), (Names{"COM7", "ttyUSB3"}));
    SetPortLister([]() -> Names { throw EComPort(CError_RegError, 2, std::string()); });
    EXPECT_THROW(ListSerialPorts(), EComPort);
    SetPortLister(previous);
}

TEST(PortList, SystemSourcesReadBothAdvertFolders)
{
    PortListSources s = SystemPortListSources();
    EXPECT_EQ(s.root, "/");
    ASSERT_FALSE(s.advertDirs.empty());
    EXPECT_EQ(s.advertDirs.back(), "/tmp/memvane-radio-" + std::to_string(::getuid()));
}

} // namespace
} // namespace memvane
