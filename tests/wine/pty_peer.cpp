// Test-only: the far end of a COM port that the wine prefix maps onto a Linux pseudo-terminal,
// for the Win32 backend's tests (tests/serial/win32/). It holds the pty master, keeps a link
// (the prefix's dosdevices/comN) pointing at the slave, and takes commands, one line each, on a
// TCP connection from 127.0.0.1 (the test under wine connects with Winsock):
//
//   stty                  -> "<baud> <bits><parity><stop> raw|cooked crtscts|-crtscts ixon|-ixon ixoff|-ixoff"
//   send <hex>            -> "ok": the bytes go to the port's receive side
//   recv <n> <ms>         -> "<hex>": what the port sent, until n bytes or ms milliseconds
//   lines <bits>          -> "ok": CTS/DSR/RI/CD (TIOCM_* bits) as the port will see them
//   lines?                -> "<bits>": the lines, with DTR and RTS as the port set them
//   hangup                -> "ok": the master closes (the port's device hangs up)
//   reopen                -> "ok": a new pty, the link follows
//
// The modem lines pass through $MEMVANE_PTY_MODEM_DIR/pts<N>, the file the preloaded shim
// (pty_modem_shim.c) reads and writes on wine's side.
//
//   memvane-pty-peer --link PATH --modem-dir DIR --info FILE
// FILE gets "port <tcp port>" and "pty <slave path>" once it listens; the peer runs until killed.

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace {

std::string g_link, g_modemDir;
int g_master = -1;
std::string g_slave;

int ptyNumber()
{
    std::size_t slash = g_slave.rfind('/');
    return std::atoi(g_slave.c_str() + slash + 1);
}

std::string modemFile()
{
    return g_modemDir + "/pts" + std::to_string(ptyNumber());
}

int readLines()
{
    int bits = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
    if (FILE* f = std::fopen(modemFile().c_str(), "r")) {
        if (std::fscanf(f, "%d", &bits) != 1)
            bits = 0;
        std::fclose(f);
    }
    return bits;
}

void writeLines(int bits)
{
    std::string temp = modemFile() + ".peer";
    if (FILE* f = std::fopen(temp.c_str(), "w")) {
        std::fprintf(f, "%d\n", bits);
        std::fclose(f);
        std::rename(temp.c_str(), modemFile().c_str());
    }
}

bool openPty()
{
    g_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (g_master < 0 || grantpt(g_master) != 0 || unlockpt(g_master) != 0)
        return false;
    g_slave = ptsname(g_master);
    writeLines(TIOCM_CTS | TIOCM_DSR | TIOCM_CAR);
    std::string temp = g_link + ".new";
    ::unlink(temp.c_str());
    if (::symlink(g_slave.c_str(), temp.c_str()) != 0 || std::rename(temp.c_str(), g_link.c_str()))
        return false;
    return true;
}

std::string hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string unhex(const std::string& text)
{
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

std::string sttyText()
{
    termios t{};
    if (tcgetattr(g_master, &t) != 0)
        return std::string("error ") + std::strerror(errno);
    static const std::pair<speed_t, int> speeds[] = {
        {B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
        {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    int baud = 0;
    for (auto [code, n] : speeds)
        if (cfgetospeed(&t) == code)
            baud = n;
    int bits = (t.c_cflag & CSIZE) == CS5 ? 5 : (t.c_cflag & CSIZE) == CS6 ? 6
             : (t.c_cflag & CSIZE) == CS7 ? 7 : 8;
    char parity = 'N';
    if (t.c_cflag & PARENB) {
        if (t.c_cflag & CMSPAR)
            parity = (t.c_cflag & PARODD) ? 'M' : 'S';
        else
            parity = (t.c_cflag & PARODD) ? 'O' : 'E';
    }
    bool raw = !(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN)) && !(t.c_oflag & OPOST) &&
               !(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP));
    return std::to_string(baud) + " " + std::to_string(bits) + parity +
           ((t.c_cflag & CSTOPB) ? "2" : "1") + (raw ? " raw" : " cooked") +
           ((t.c_cflag & CRTSCTS) ? " crtscts" : " -crtscts") +
           ((t.c_iflag & IXON) ? " ixon" : " -ixon") + ((t.c_iflag & IXOFF) ? " ixoff" : " -ixoff");
}

std::string receive(std::size_t n, int ms)
{
    std::string got;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (got.size() < n) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        end - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        pollfd p{g_master, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buf[4096];
        ssize_t r = ::read(g_master, buf, std::min(sizeof buf, n - got.size()));
        if (r <= 0)
            break;
        got.append(buf, static_cast<std::size_t>(r));
    }
    return hex(got);
}

std::string command(const std::string& line)
{
    std::size_t space = line.find(' ');
    std::string verb = line.substr(0, space);
    std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (verb == "stty")
        return sttyText();
    if (verb == "send") {
        std::string bytes = unhex(rest);
        return ::write(g_master, bytes.data(), bytes.size()) == ssize_t(bytes.size())
                   ? "ok"
                   : std::string("error ") + std::strerror(errno);
    }
    if (verb == "recv") {
        std::size_t n = std::strtoul(rest.c_str(), nullptr, 10);
        int ms = std::atoi(rest.c_str() + rest.find(' ') + 1);
        return receive(n, ms);
    }
    if (verb == "lines") {
        const int ours = TIOCM_DTR | TIOCM_RTS;
        writeLines((readLines() & ours) | (std::atoi(rest.c_str()) & ~ours));
        return "ok";
    }
    if (verb == "lines?")
        return std::to_string(readLines());
    if (verb == "hangup") {
        ::close(g_master);
        g_master = -1;
        return "ok";
    }
    if (verb == "reopen") {
        if (g_master >= 0)
            ::close(g_master);
        return openPty() ? "ok" : "error reopen";
    }
    return "error unknown command";
}

void serve(int client)
{
    std::string pending;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(client, buf, sizeof buf);
        if (n <= 0)
            return;
        pending.append(buf, static_cast<std::size_t>(n));
        for (std::size_t nl; (nl = pending.find('\n')) != std::string::npos;) {
            std::string line = pending.substr(0, nl);
            pending.erase(0, nl + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            std::string reply = command(line) + "\n";
            if (::write(client, reply.data(), reply.size()) < 0)
                return;
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string info;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string opt = argv[i];
        if (opt == "--link")
            g_link = argv[i + 1];
        else if (opt == "--modem-dir")
            g_modemDir = argv[i + 1];
        else if (opt == "--info")
            info = argv[i + 1];
    }
    if (g_link.empty() || g_modemDir.empty() || info.empty()) {
        std::fprintf(stderr, "usage: memvane-pty-peer --link PATH --modem-dir DIR --info FILE\n");
        return 2;
    }
    std::signal(SIGPIPE, SIG_IGN);
    if (!openPty()) {
        std::perror("memvane-pty-peer: pty");
        return 1;
    }
    int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (server < 0 || ::bind(server, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(server, 4) != 0 ||
        ::getsockname(server, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        std::perror("memvane-pty-peer: socket");
        return 1;
    }
    std::string temp = info + ".new";
    if (FILE* f = std::fopen(temp.c_str(), "w")) {
        std::fprintf(f, "port %d\npty %s\n", ntohs(addr.sin_port), g_slave.c_str());
        std::fclose(f);
        std::rename(temp.c_str(), info.c_str());
    }
    for (;;) {
        int client = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        serve(client);
        ::close(client);
    }
}
