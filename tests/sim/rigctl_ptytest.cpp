// An independent CI-V client against the simulated radio: Debian's rigctl (hamlib) with the
// IC-706MKIIG backend reads and sets the frequency and reads the mode through memvane-radio.

#include "sim/SimFrame.h"

#include "tests/sim/PtyClient.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace memvane::test;

namespace {

std::string findInPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path ? path : "/usr/bin:/bin");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        std::string candidate = dir + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

struct Result
{
    int status = -1;
    std::vector<std::string> lines;
};

// rigctl with the commands given; `timeout` is the hang guard.
Result rigctl(const std::string& rig, const std::string& port, const std::string& commands)
{
    std::string cmd = "timeout 60 " + rig + " -m 3011 -r " + port +
                      " -s 19200 -C cache_timeout=0 " + commands + " 2>&1";
    Result r;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return r;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) {
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        r.lines.push_back(line);
    }
    int status = ::pclose(p);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string join(const std::vector<std::string>& lines)
{
    std::string out;
    for (const auto& l : lines)
        out += l + "\n";
    return out;
}

} // namespace

TEST(Rigctl, ReadsAndSetsFrequencyAndReadsMode)
{
    std::string rig = findInPath("rigctl");
    if (rig.empty())
        GTEST_SKIP() << "rigctl not found. Install Debian's libhamlib-utils "
                        "(apt-get install libhamlib-utils, or run scripts/test as root) to run "
                        "this test.";
    TempDir dir;
    std::string link = dir.file("radio");
    std::string log = dir.file("frames.log");
    Child radio({MEMVANE_RADIO_EXE, "--link", link, "--log", log});
    ASSERT_FALSE(radio.line().empty()) << radio.errors();

    Result first = rigctl(rig, link, "f");
    ASSERT_EQ(first.status, 0) << join(first.lines);
    EXPECT_EQ(first.lines, std::vector<std::string>{"14195000"});

    Result second = rigctl(rig, link, "F 145500000 f m");
    ASSERT_EQ(second.status, 0) << join(second.lines);
    ASSERT_GE(second.lines.size(), 3u) << join(second.lines);
    EXPECT_EQ(second.lines[0], "145500000");
    EXPECT_EQ(second.lines[1], "USB");

    Result third = rigctl(rig, link, "f");
    EXPECT_EQ(third.lines, std::vector<std::string>{"145500000"}) << "the radio kept it";

    std::ifstream in(log);
    std::string frames((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(frames.find("FEFE58E0050000504501FD\n"), std::string::npos) << frames;
    EXPECT_NE(frames.find("FEFE58E004FD\n"), std::string::npos) << frames;

    ::kill(radio.pid(), SIGTERM);
    EXPECT_EQ(radio.wait(), 0);
}
