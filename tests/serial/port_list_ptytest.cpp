// The port list finds a running memvane-radio through its advertisement, the listed names open,
// and a killed radio drops out although its file stays behind.

#include "serial/CPort.h"
#include "serial/posix/PosixPortList.h"
#include "tests/sim/PtyClient.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace memvane {
namespace {

const std::string kExe = MEMVANE_RADIO_EXE;

bool listed(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

// The machine's own ports may be there too, or none at all (then only the radio's).
std::vector<std::string> listWith(const std::string& advertDir)
{
    try {
        return EnumerateSerialPorts({"/", {advertDir}});
    } catch (const EComPort&) {
        return {};
    }
}

TEST(PortListRadio, RunningRadioIsListedAndOpensKilledRadioIsNot)
{
    test::TempDir dir;
    std::string link = dir.file("radio");
    fs::create_directory(dir.file("run"));
    std::string adverts = dir.file("run/memvane-radio");
    test::Child radio({kExe, "--link", link}, {"XDG_RUNTIME_DIR=" + dir.file("run")});
    std::string slave = radio.line();
    ASSERT_EQ(slave.rfind("/dev/pts/", 0), 0u) << slave << radio.errors();

    std::vector<std::string> names = listWith(adverts);
    EXPECT_TRUE(listed(names, link));
    EXPECT_TRUE(listed(names, slave));

    // What the list offers is what the component opens.
    for (const std::string& name : {link, slave}) {
        TComPort port;
        port.SetPort(name);
        port.SetBaudRate(br19200);
        EXPECT_NO_THROW(port.Open()) << name;
        EXPECT_TRUE(port.Connected()) << name;
        port.Close();
    }

    ::kill(radio.pid(), SIGKILL);
    ASSERT_TRUE(radio.wait().has_value());
    ASSERT_TRUE(fs::exists(adverts + "/" + std::to_string(radio.pid())))
        << "a killed radio cannot remove its file";
    names = listWith(adverts);
    EXPECT_FALSE(listed(names, link));
    EXPECT_FALSE(listed(names, slave));
}

} // namespace
} // namespace memvane
