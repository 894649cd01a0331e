#include "sim/MemoryFile.h"

#include "core/TextBytes.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sstream>
#include <unistd.h>
#include <vector>

namespace memvane::sim {

namespace {

constexpr std::array<const char*, 7> kModeNames = {"LSB", "USB", "AM", "CW", "RTTY", "FM", "WFM"};
constexpr std::array<const char*, 3> kFilterNames = {"Normal", "Narrow", "Wide"};

template <std::size_t N>
std::optional<std::uint8_t> lookup(const std::array<const char*, N>& names, std::string_view text,
                                   int first)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (SameText(names[i], text))
            return static_cast<std::uint8_t>(first + static_cast<int>(i));
    }
    return std::nullopt;
}

} // namespace

std::string modeName(std::uint8_t mode)
{
    return mode < kModeNames.size() ? kModeNames[mode] : "";
}

std::string filterName(std::uint8_t filter)
{
    return validFilter(filter) ? kFilterNames[filter - 1] : "";
}

std::optional<std::uint64_t> parseMhz(std::string_view text, std::uint64_t maxHz)
{
    std::size_t dot = text.find('.');
    std::string_view whole = text.substr(0, dot);
    std::string_view frac =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    auto digits = [](std::string_view s) {
        for (char c : s) {
            if (c < '0' || c > '9')
                return false;
        }
        return true;
    };
    if (whole.empty() || whole.size() > 4 || frac.size() > 6 || !digits(whole) || !digits(frac) ||
        (dot != std::string_view::npos && frac.empty()))
        return std::nullopt;
    std::uint64_t hz = 0;
    for (char c : whole)
        hz = hz * 10 + static_cast<std::uint64_t>(c - '0');
    for (std::size_t i = 0; i < 6; ++i)
        hz = hz * 10 + (i < frac.size() ? static_cast<std::uint64_t>(frac[i] - '0') : 0);
    if (hz > maxHz)
        return std::nullopt;
    return hz;
}

std::string formatMhz(std::uint64_t hz, int decimals)
{
    std::string frac = std::to_string(hz % 1'000'000);
    frac.insert(0, 6 - frac.size(), '0');
    return std::to_string(hz / 1'000'000) + "." +
           frac.substr(0, static_cast<std::size_t>(decimals));
}

MemoryMap parseMemories(const std::string& text, const std::string& sourceName)
{
    MemoryMap out;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream fields(line);
        std::vector<std::string> f;
        for (std::string w; fields >> w;)
            f.push_back(w);
        if (f.empty() || f[0][0] == '#')
            continue;
        auto fail = [&](const std::string& what) {
            throw MemoryFileError(sourceName + ":" + std::to_string(lineNo) + ": " + what);
        };
        if (f.size() != 10)
            fail("expected 10 fields (LOC RX-MHZ RX-MODE RX-FILTER TX-MHZ TX-MODE TX-FILTER "
                 "SPLIT DUPLEX OFFSET-MHZ), found " +
                 std::to_string(f.size()));
        auto loc = memoryNumber(f[0]);
        if (!loc)
            fail("'" + f[0] + "' is not a memory location (1..99, 1A 1B 2A 2B 3A 3B C1 C2)");
        auto setting = [&](std::size_t at) {
            Setting s;
            auto hz = parseMhz(f[at]);
            if (!hz)
                fail("'" + f[at] + "' is not a frequency in MHz (for example 145.5)");
            auto mode = lookup(kModeNames, f[at + 1], 0);
            if (!mode)
                fail("'" + f[at + 1] + "' is not a mode (LSB USB AM CW RTTY FM WFM)");
            auto filter = lookup(kFilterNames, f[at + 2], 1);
            if (!filter)
                fail("'" + f[at + 2] + "' is not a filter (Normal Narrow Wide)");
            s.hz = *hz;
            s.mode = *mode;
            s.filter = *filter;
            return s;
        };
        Memory m;
        m.receive = setting(1);
        m.transmit = setting(4);
        if (SameText(f[7], "on"))
            m.split = true;
        else if (!SameText(f[7], "off"))
            fail("'" + f[7] + "' is not a split state (on, off)");
        if (SameText(f[8], "off"))
            m.duplex = Duplex::Off;
        else if (f[8] == "-")
            m.duplex = Duplex::Minus;
        else if (f[8] == "+")
            m.duplex = Duplex::Plus;
        else
            fail("'" + f[8] + "' is not a duplex direction (off, -, +)");
        auto offset = parseMhz(f[9], kMaxOffsetHz);
        if (!offset || *offset % 100 != 0)
            fail("'" + f[9] + "' is not an offset in MHz (100 Hz steps, below 100)");
        m.offsetHz = static_cast<std::uint32_t>(*offset);
        out[*loc] = m;
    }
    return out;
}

MemoryMap loadMemories(const std::string& path, bool missingOk)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        int err = errno;
        if (missingOk && err == ENOENT)
            return {};
        throw MemoryFileError("cannot read " + path + ": " + std::strerror(err));
    }
    std::string text;
    char buf[4096];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno; // EISDIR for a folder
            ::close(fd);
            throw MemoryFileError("cannot read " + path + ": " + std::strerror(err));
        }
        if (n == 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return parseMemories(text, path);
}

std::string formatMemories(const MemoryMap& memories)
{
    std::string out =
        "# memvane-radio memories\n"
        "# LOC RX-MHZ RX-MODE RX-FILTER TX-MHZ TX-MODE TX-FILTER SPLIT DUPLEX OFFSET-MHZ\n";
    auto setting = [](const Setting& s) {
        return formatMhz(s.hz) + " " + modeName(s.mode) + " " + filterName(s.filter);
    };
    for (const auto& [loc, m] : memories) {
        const char* duplex = m.duplex == Duplex::Off     ? "off"
                             : m.duplex == Duplex::Minus ? "-"
                                                         : "+";
        out += memoryName(loc) + " " + setting(m.receive) + " " + setting(m.transmit) + " " +
               (m.split ? "on" : "off") + " " + duplex + " " + formatMhz(m.offsetHz, 4) + "\n";
    }
    return out;
}

void saveMemories(const std::string& path, const MemoryMap& memories)
{
    namespace fs = std::filesystem;
    std::string text = formatMemories(memories);
    fs::path target(path);
    fs::path dir = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    auto fail = [&](int err) {
        throw MemoryFileError("cannot write " + path + ": " + std::strerror(err));
    };
    int fd = ::mkstemp(name.data());
    if (fd < 0)
        fail(errno);
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            int err = errno;
            ::close(fd);
            ::unlink(name.data());
            fail(err);
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        int err = errno;
        ::unlink(name.data());
        fail(err);
    }
    if (std::rename(name.data(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(name.data());
        fail(err);
    }
}

MemoryMap memoriesOf(const RadioModel& model)
{
    MemoryMap out;
    for (int n = kFirstMemory; n <= kLastMemory; ++n) {
        if (const auto& m = model.memory(n))
            out[n] = *m;
    }
    return out;
}

void loadInto(RadioModel& model, const MemoryMap& memories)
{
    model.clearMemories();
    for (const auto& [loc, m] : memories)
        model.setMemory(loc, m);
}

} // namespace memvane::sim
