// memvane-radio: the simulated IC-706 on a pseudo-terminal, for running Memvane (or any CI-V
// client) without a radio.
//
// Prints the slave path of its pty on stdout (one line, flushed; another line after each
// reopen). The radio itself runs on PtyRadio's thread; the main thread waits in poll() on a
// signalfd (SIGINT, SIGTERM, SIGHUP end the program cleanly), on two eventfds the radio thread
// pokes (a memory was written: save the memories file; the pty was reopened: report the new
// path) and on stdin for a few interactive commands. Nothing wakes it otherwise.
//
// Port list of the setup dialog: while it runs, the program advertises itself in
//   $XDG_RUNTIME_DIR/memvane-radio/<pid>      (or /tmp/memvane-radio-<uid>/<pid> without
//                                               XDG_RUNTIME_DIR)
// a text file whose lines are device paths that open this radio, the one to keep first (the
// --link path when given, then the /dev/pts slave). The file is removed at exit; a reader
// should skip files whose <pid> is no longer running (a killed radio cannot clean up).

#include "core/Numbers.h"
#include "sim/MemoryFile.h"
#include "sim/PtyRadio.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace memvane::sim;

namespace {

const char* const kUsage = R"(Usage: memvane-radio [OPTIONS]

A simulated Icom IC-706 on a pseudo-terminal. Prints the path of the pty's slave side; open it
like a serial port (any speed, 8N1). Every byte sent to it comes back (the CI-V line's echo),
followed by the radio's answer.

Options:
  --link PATH        make PATH a symbolic link to the pty (removed at exit)
  --memories FILE    load the memories from FILE at start, save them after every memory
                     write and at exit (created when missing)
  --address HEX      CI-V address: 58 (default), 48 or 4E
  --delay-ms N       answer N ms after a command (default 5)
  --line-rate [BAUD] send at the pace of a real line of BAUD bits per second (19200 when no
                     number follows): each byte echoed when it has crossed the line, the answer
                     after its delay at the same pace
  --log FILE         write every frame received to FILE, one hex text line per frame
  --transceive       broadcast the frequency and mode whenever they change
Faults:
  --silent           echo only, never answer (radio switched off)
  --refuse CMD[@LOC] answer NG to commands starting with the hex bytes CMD, for example 0A
                     (memory to VFO) or 0F01 (split on); with @LOC only while memory LOC is
                     selected. May be given more than once. A refused memory selection is
                     still made, as is that of a blank memory (always answered NG).
  --late-ms N        every answer comes N ms after the command (beyond the program's wait)
  --garbage          send noise bytes before every answer
  --hangup-after N   hang up when the N-th frame arrives, before answering it, and open a new
                     pty at once (the --link path follows it; the new path is printed)
  --help             this text

Commands on standard input while running:
  f MHZ              tune (broadcast with --transceive)    m MODE [FILTER]   change mode
  b                  broadcast frequency and mode now       hangup / reopen   pty fault
  silent on|off      late N      garbage on|off      transceive on|off        quit

Memories file: one memory per line, fields separated by blanks:
  LOC RX-MHZ RX-MODE RX-FILTER TX-MHZ TX-MODE TX-FILTER SPLIT DUPLEX OFFSET-MHZ
  12  145.500000 FM Normal 145.500000 FM Normal off off 0.6000
LOC is 1..99 or 1A 1B 2A 2B 3A 3B C1 C2; MODE is LSB USB AM CW RTTY FM WFM; FILTER is Normal
Narrow Wide; SPLIT on|off; DUPLEX off|-|+; frequencies in MHz with a full stop (six decimals at
most), the offset in 100 Hz steps. RX is what a recall shows, TX the split partner (the other
VFO). '#' starts a comment line; unlisted memories are blank.

While running, the file $XDG_RUNTIME_DIR/memvane-radio/<pid> (or /tmp/memvane-radio-<uid>/<pid>)
lists the device paths of this radio, one per line, for port lists. Removed at exit.
)";

struct Options
{
    PtyRadioOptions radio;
    std::string memories;
    bool silent = false;
    bool garbage = false;
    bool transceive = false;
    int lateMs = 0;
    int hangUpAfter = 0;
    std::vector<Refusal> refusals;
};

[[noreturn]] void usageError(const std::string& message)
{
    std::cerr << "memvane-radio: " << message << "\nTry 'memvane-radio --help'.\n";
    std::exit(2);
}

int parseMs(const std::string& option, const std::string& text)
{
    if (text.empty() || text.size() > 6 ||
        text.find_first_not_of("0123456789") != std::string::npos)
        usageError(option + " needs a number of milliseconds, not '" + text + "'");
    return memvane::StrToInt(text);
}

Options parseArgs(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                usageError(a + " needs a value");
            return argv[++i];
        };
        if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            std::exit(0);
        } else if (a == "--link") {
            o.radio.linkPath = value();
        } else if (a == "--memories") {
            o.memories = value();
        } else if (a == "--address") {
            std::string v = value();
            if (v == "58" || v == "48" || v == "4E" || v == "4e")
                o.radio.address = static_cast<std::uint8_t>(memvane::StrToInt("$" + v));
            else
                usageError("--address must be 58, 48 or 4E, not '" + v + "'");
        } else if (a == "--delay-ms") {
            o.radio.delayMs = parseMs(a, value());
        } else if (a == "--line-rate") {
            const bool given = i + 1 < argc && argv[i + 1][0] >= '0' && argv[i + 1][0] <= '9';
            std::string v = given ? value() : "19200";
            if (v.size() > 7 || v.find_first_not_of("0123456789") != v.npos ||
                memvane::StrToInt(v) < 50)
                usageError("--line-rate needs bits per second, such as 19200, not '" + v + "'");
            o.radio.lineRate = memvane::StrToInt(v);
        } else if (a == "--log") {
            o.radio.logPath = value();
        } else if (a == "--transceive") {
            o.transceive = true;
        } else if (a == "--silent") {
            o.silent = true;
        } else if (a == "--garbage") {
            o.garbage = true;
        } else if (a == "--late-ms") {
            o.lateMs = parseMs(a, value());
        } else if (a == "--hangup-after") {
            o.hangUpAfter = parseMs(a, value());
        } else if (a == "--refuse") {
            std::string v = value();
            Refusal r;
            auto at = v.find('@');
            try {
                r.prefix = fromHex(v.substr(0, at));
            } catch (const std::invalid_argument&) {
            }
            if (r.prefix.empty())
                usageError("--refuse needs command bytes in hex, for example 0A, not '" + v + "'");
            if (at != std::string::npos) {
                auto loc = memoryNumber(v.substr(at + 1));
                if (!loc)
                    usageError("'" + v.substr(at + 1) + "' is not a memory location");
                r.memory = *loc;
            }
            o.refusals.push_back(r);
        } else {
            usageError("unknown option '" + a + "'");
        }
    }
    return o;
}

// The advertisement file for port lists; see the header comment.
class Advert
{
public:
    Advert()
    {
        namespace fs = std::filesystem;
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        fs::path dir = runtime && *runtime
                           ? fs::path(runtime) / "memvane-radio"
                           : fs::path("/tmp") / ("memvane-radio-" + std::to_string(::getuid()));
        if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
            return;
        // In /tmp anyone could have made the folder first: use it only if it is ours.
        struct stat st
        {
        };
        if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
            return;
        m_path = (dir / std::to_string(::getpid())).string();
    }
    ~Advert()
    {
        if (!m_path.empty())
            ::unlink(m_path.c_str());
    }
    void update(const std::vector<std::string>& paths)
    {
        if (m_path.empty())
            return;
        std::string tmp = m_path + ".tmp";
        {
            std::ofstream out(tmp, std::ios::trunc);
            for (const auto& p : paths) {
                if (!p.empty())
                    out << p << '\n';
            }
            if (!out)
                return;
        }
        std::rename(tmp.c_str(), m_path.c_str());
    }

private:
    std::string m_path;
};

void poke(int fd)
{
    std::uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(fd, &one, sizeof one);
}

void drain(int fd)
{
    std::uint64_t count;
    [[maybe_unused]] auto n = ::read(fd, &count, sizeof count);
}

bool onOff(const std::string& word, bool& value)
{
    if (word == "on")
        value = true;
    else if (word == "off")
        value = false;
    else
        return false;
    return true;
}

// One line typed on stdin. Returns false for quit.
bool command(PtyRadio& radio, const std::string& line)
{
    std::istringstream in(line);
    std::string cmd, arg1, arg2;
    in >> cmd >> arg1 >> arg2;
    bool flag = false;
    if (cmd.empty())
        return true;
    if (cmd == "quit" || cmd == "q")
        return false;
    if (cmd == "f") {
        if (auto hz = parseMhz(arg1))
            radio.tune(*hz);
        else
            std::cerr << "f needs a frequency in MHz, for example f 145.5\n";
    } else if (cmd == "m") {
        int mode = -1;
        int filter = arg2.empty() ? kFilterNormal : -1;
        for (std::uint8_t m = 0; m <= kModeWfm; ++m) {
            if (modeName(m) == arg1)
                mode = m;
        }
        for (std::uint8_t f = kFilterNormal; f <= kFilterWide && !arg2.empty(); ++f) {
            if (filterName(f) == arg2)
                filter = f;
        }
        if (mode >= 0 && filter >= 0)
            radio.selectMode(static_cast<std::uint8_t>(mode), static_cast<std::uint8_t>(filter));
        else
            std::cerr << "m needs LSB USB AM CW RTTY FM or WFM, then Normal Narrow or Wide\n";
    } else if (cmd == "b") {
        radio.broadcastFrequency();
        radio.broadcastMode();
    } else if (cmd == "hangup") {
        radio.hangUp(false);
    } else if (cmd == "reopen") {
        radio.reopen();
    } else if (cmd == "silent" && onOff(arg1, flag)) {
        radio.setSilent(flag);
    } else if (cmd == "garbage" && onOff(arg1, flag)) {
        radio.setGarbage(flag);
    } else if (cmd == "transceive" && onOff(arg1, flag)) {
        radio.setTransceive(flag);
    } else if (cmd == "late" && !arg1.empty() &&
               arg1.find_first_not_of("0123456789") == std::string::npos && arg1.size() < 7) {
        radio.setLateMs(memvane::StrToInt(arg1));
    } else {
        std::cerr << "commands: f MHZ | m MODE [FILTER] | b | hangup | reopen | silent on|off | "
                     "late N | garbage on|off | transceive on|off | quit\n";
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options opt = parseArgs(argc, argv);

    // Block the ending signals in every thread (the radio thread inherits the mask) and take
    // them through a signalfd in the main loop.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    int sigFd = ::signalfd(-1, &signals, SFD_CLOEXEC);
    int saveFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    int reopenFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (sigFd < 0 || saveFd < 0 || reopenFd < 0) {
        std::perror("memvane-radio");
        return 1;
    }

    MemoryMap initial;
    if (!opt.memories.empty()) {
        try {
            initial = loadMemories(opt.memories);
        } catch (const MemoryFileError& e) {
            // Nothing is saved over a file that could not be read.
            std::cerr << "memvane-radio: " << e.what() << "\n";
            return 1;
        }
    }

    std::optional<PtyRadio> radio;
    try {
        radio.emplace(opt.radio);
    } catch (const std::system_error& e) {
        std::cerr << "memvane-radio: " << e.what() << "\n";
        return 1;
    }
    radio->withModel([&](RadioModel& m) {
        loadInto(m, initial);
        m.setSilent(opt.silent);
        m.setTransceive(opt.transceive);
        for (const auto& r : opt.refusals)
            m.addRefusal(r);
    });
    radio->setLateMs(opt.lateMs);
    radio->setGarbage(opt.garbage);
    if (opt.hangUpAfter > 0)
        radio->hangUpAfter(static_cast<std::size_t>(opt.hangUpAfter), true);
    radio->setMemoryWriteCallback([saveFd] { poke(saveFd); });
    radio->setReopenCallback([reopenFd](const std::string&) { poke(reopenFd); });

    auto save = [&] {
        if (opt.memories.empty())
            return;
        try {
            saveMemories(opt.memories,
                         radio->withModel([](RadioModel& m) { return memoriesOf(m); }));
        } catch (const MemoryFileError& e) {
            std::cerr << "memvane-radio: " << e.what() << "\n";
        }
    };
    if (!opt.memories.empty() && !std::filesystem::exists(opt.memories))
        save();

    // The printed path tells a caller that everything is ready.
    Advert advert;
    auto advertise = [&] {
        std::string slave = radio->slavePath();
        if (opt.radio.linkPath.empty())
            advert.update({slave});
        else
            advert.update({opt.radio.linkPath, slave});
        std::cout << slave << std::endl;
    };
    advertise();

    bool stdinOpen = true;
    std::string input;
    for (bool running = true; running;) {
        pollfd fds[4] = {{sigFd, POLLIN, 0},
                         {saveFd, POLLIN, 0},
                         {reopenFd, POLLIN, 0},
                         {STDIN_FILENO, POLLIN, 0}};
        int n = ::poll(fds, stdinOpen ? 4 : 3, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[0].revents)
            break;
        if (fds[1].revents) {
            drain(saveFd);
            save();
        }
        if (fds[2].revents) {
            drain(reopenFd);
            advertise();
        }
        if (stdinOpen && fds[3].revents) {
            char buf[512];
            ssize_t got = ::read(STDIN_FILENO, buf, sizeof buf);
            if (got <= 0) {
                stdinOpen = false; // /dev/null or a closed pipe: keep running until a signal
                continue;
            }
            input.append(buf, static_cast<std::size_t>(got));
            for (auto nl = input.find('\n'); nl != std::string::npos; nl = input.find('\n')) {
                std::string line = input.substr(0, nl);
                input.erase(0, nl + 1);
                if (!command(*radio, line)) {
                    running = false;
                    break;
                }
            }
            if (input.size() > 4096)
                input.clear();
        }
    }
    save();
    radio.reset();
    return 0;
}
