#include "serial/posix/PosixPortList.h"

#include "core/Numbers.h"
#include "serial/CPort.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace memvane {

namespace {

bool allDigits(const std::string& s)
{
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// `root` + an absolute system path.
fs::path under(const std::string& root, const std::string& systemPath)
{
    return fs::path(root) / fs::path(systemPath).relative_path();
}

bool present(const fs::path& p)
{
    std::error_code ec;
    return fs::exists(p, ec);
}

// The first line of a small sysfs attribute, trimmed; empty when it cannot be read.
std::string readAttribute(const fs::path& p)
{
    std::ifstream in(p);
    std::string line;
    if (!in || !std::getline(in, line))
        return {};
    return Trim(line);
}

// Returns the system error when the folder cannot be read at all, else 0.
int listTtys(const std::string& root, std::vector<std::string>& out)
{
    std::error_code ec;
    fs::directory_iterator it(under(root, "/sys/class/tty"), ec);
    if (ec)
        return ec.value();
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string name = it->path().filename().string();
        // No driver: a virtual console, /dev/tty, /dev/ptmx and the like.
        if (!present(it->path() / "device" / "driver"))
            continue;
        // A serial-core port of type 0 (PORT_UNKNOWN) has no UART: opening it fails or
        // talks to nothing. Other ttys have no `type` attribute and are kept.
        if (readAttribute(it->path() / "type") == "0")
            continue;
        if (!present(under(root, "/dev/" + name)))
            continue;
        out.push_back(TtyToPortName(name));
    }
    return 0;
}

void listById(const std::string& root, std::vector<std::string>& out)
{
    std::error_code ec;
    fs::directory_iterator it(under(root, "/dev/serial/by-id"), ec);
    if (ec)
        return;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        // present() follows the link, so a link left behind by an unplugged adapter is skipped.
        if (!it->is_symlink(ec) || !present(it->path()))
            continue;
        out.push_back("/dev/serial/by-id/" + it->path().filename().string());
    }
}

bool folderIsOurs(const fs::path& dir)
{
    struct stat st = {};
    return ::lstat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

void listAdvertised(const std::string& root, const std::string& dir, std::vector<std::string>& out)
{
    if (dir.empty() || !folderIsOurs(dir))
        return;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    if (ec)
        return;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec)
            break;
        std::string pid = it->path().filename().string();
        // "<pid>.tmp" is a file being rewritten; the finished one replaces it.
        if (!allDigits(pid) || !it->is_regular_file(ec))
            continue;
        // The process must still be a radio: a killed radio's pid may since have gone to any
        // other program, whose terminals must not turn up as ports.
        if (readAttribute(under(root, "/proc/" + pid + "/comm")) != "memvane-radio")
            continue;
        // A handful of short lines; a bigger file is not one of ours.
        if (it->file_size(ec) > 16 * 1024 || ec)
            continue;
        std::ifstream in(it->path());
        std::string line;
        for (int n = 0; n < 16 && std::getline(in, line); ++n) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (!line.empty() && line[0] == '/' && present(line))
                out.push_back(line);
        }
    }
}

} // namespace

std::string TtyToPortName(const std::string& kernelName)
{
    if (kernelName.size() > 4 && kernelName.compare(0, 4, "ttyS") == 0) {
        std::string digits = kernelName.substr(4);
        // ttyS0..ttyS99998 map onto the COM names the component turns back into them.
        if (allDigits(digits) && digits.size() <= 5 && (digits.size() == 1 || digits[0] != '0'))
            return "COM" + std::to_string(std::stol(digits) + 1);
    }
    return kernelName;
}

PortListSources SystemPortListSources()
{
    PortListSources s;
    s.root = "/";
    // memvane-radio uses XDG_RUNTIME_DIR when its environment has it, /tmp otherwise; ours
    // may differ from the radio's, so both places are read.
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
        s.advertDirs.push_back((fs::path(runtime) / "memvane-radio").string());
    s.advertDirs.push_back("/tmp/memvane-radio-" + std::to_string(::getuid()));
    return s;
}

std::vector<std::string> EnumerateSerialPorts(const PortListSources& sources)
{
    std::vector<std::string> names;
    int err = listTtys(sources.root, names);
    listById(sources.root, names);
    for (const auto& dir : sources.advertDirs)
        listAdvertised(sources.root, dir, names);
    // A radio simulator alone is still worth offering when /sys cannot be read, so only a list
    // with nothing at all in it is the error.
    if (names.empty())
        throw EComPort(CError_RegError, err ? err : ENOENT, std::string());
    SortPortNames(names);
    return names;
}

std::vector<std::string> SystemSerialPorts()
{
    return EnumerateSerialPorts(SystemPortListSources());
}

} // namespace memvane
