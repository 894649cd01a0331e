#include "tests/e2e/E2eSupport.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <sstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace memvane::e2e {

namespace {

void sleepMs(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Runs in the forked child: only async-signal-safe work from here to execve.
[[noreturn]] void execChild(const std::vector<std::string>& argv, const Env& env,
                            const std::string& cwd, int outFd, int passFd, int niceness = 0)
{
    if (niceness != 0)
        ::setpriority(PRIO_PROCESS, 0, niceness); // refused without the right: no matter
    // A test killed by its time-out must not leave an X server or a radio behind.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    int devNull = ::open("/dev/null", O_RDWR);
    ::dup2(devNull, 0);
    ::dup2(outFd >= 0 ? outFd : devNull, 1);
    ::dup2(outFd >= 0 ? outFd : devNull, 2);
    if (passFd >= 0) {
        if (passFd == 3)
            ::fcntl(3, F_SETFD, 0);
        else
            ::dup2(passFd, 3);
    }
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0)
        ::_exit(126);
    std::vector<std::string> envText;
    for (const auto& [k, v] : env)
        envText.push_back(k + "=" + v);
    std::vector<char*> args, envp;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (auto& e : envText)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    ::execve(args[0], args.data(), envp.data());
    const char msg[] = "exec failed\n";
    ::write(2, msg, sizeof msg - 1);
    ::_exit(127);
}

int xErrors = 0;
int ignoreXError(Display*, XErrorEvent*)
{
    // A window can go away between finding it and looking at it; the caller sees a failed call.
    ++xErrors;
    return 0;
}

} // namespace

std::string findProgram(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        std::string candidate = (dir.empty() ? "." : dir) + "/" + name;
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step)
{
    auto end = Clock::now() + timeout;
    for (;;) {
        if (done())
            return true;
        if (Clock::now() >= end)
            return done();
        std::this_thread::sleep_for(step);
    }
}

std::vector<std::string> readLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::stringstream in(slurp(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// ---------------------------------------------------------------------------------------------

Child::Child(const Options& options)
{
    int outFd = -1;
    if (!options.outPath.empty()) {
        outFd = ::open(options.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (outFd < 0)
            throw std::runtime_error("cannot create " + options.outPath);
    }
    m_pid = ::fork();
    if (m_pid == 0)
        execChild(options.argv, options.env, options.cwd, outFd, options.passFd, options.niceness);
    if (outFd >= 0)
        ::close(outFd);
    if (m_pid < 0)
        throw std::runtime_error("fork failed: " + std::string(std::strerror(errno)));
}

Child::~Child()
{
    if (m_pid > 0 && !m_status)
        stop(std::chrono::seconds(3));
}

bool Child::running()
{
    return !wait(std::chrono::milliseconds(0));
}

std::optional<int> Child::wait(std::chrono::milliseconds timeout)
{
    if (m_status)
        return m_status;
    auto end = Clock::now() + timeout;
    for (;;) {
        int status = 0;
        pid_t r = ::waitpid(m_pid, &status, WNOHANG);
        if (r == m_pid) {
            m_status = status;
            return m_status;
        }
        if (r < 0 && errno != EINTR) {
            m_status = -1;
            return m_status;
        }
        if (Clock::now() >= end)
            return std::nullopt;
        sleepMs(10);
    }
}

int Child::stop(std::chrono::milliseconds grace)
{
    if (m_status)
        return *m_status;
    ::kill(m_pid, SIGTERM);
    if (auto s = wait(grace))
        return *s;
    ::kill(m_pid, SIGKILL);
    return wait(std::chrono::seconds(10)).value_or(-1);
}

bool RunResult::ok() const
{
    return status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

RunResult run(const std::vector<std::string>& argv, const Env& env,
              std::chrono::milliseconds timeout)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    pid_t pid = ::fork();
    if (pid == 0)
        execChild(argv, env, {}, fds[1], -1);
    ::close(fds[1]);
    RunResult result;
    auto end = Clock::now() + timeout;
    bool open = true, exited = false;
    while (open || !exited) {
        if (open) {
            pollfd p{fds[0], POLLIN, 0};
            if (::poll(&p, 1, 20) > 0) {
                char buf[4096];
                ssize_t n = ::read(fds[0], buf, sizeof buf);
                if (n > 0)
                    result.out.append(buf, static_cast<size_t>(n));
                else if (n == 0 || errno != EINTR)
                    open = false;
            }
        } else {
            sleepMs(5);
        }
        if (!exited) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                exited = true;
                result.status = status;
            }
        }
        if (Clock::now() >= end && (!exited || open)) {
            if (!exited) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
                result.status = -1;
            }
            break;
        }
    }
    ::close(fds[0]);
    return result;
}

// ---------------------------------------------------------------------------------------------

XServer::XServer(const std::string& xvfb, const std::string& logPath)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    Child::Options o;
    // -displayfd: the server takes the first free display and says which once it accepts
    // connections. -r: no key repeat; on a loaded machine xdotool's release of a key can come
    // late enough for the server to repeat it (a repeated Alt undoes the first).
    o.argv = {xvfb, "-displayfd", "3", "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-r"};
    o.outPath = logPath;
    o.passFd = fds[1];
    m_process = std::make_unique<Child>(o);
    ::close(fds[1]);
    std::string number;
    auto end = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < end && number.find('\n') == std::string::npos) {
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, 100) > 0) {
            char buf[32];
            ssize_t n = ::read(fds[0], buf, sizeof buf);
            if (n <= 0)
                break;
            number.append(buf, static_cast<size_t>(n));
        }
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
        number.pop_back();
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos)
        throw std::runtime_error("Xvfb did not start; see " + logPath);
    m_display = ":" + number;
}

// ---------------------------------------------------------------------------------------------

XView::XView(const std::string& display)
{
    XSetErrorHandler(ignoreXError);
    m_display = XOpenDisplay(display.c_str());
    if (!m_display)
        throw std::runtime_error("cannot open X display " + display);
    m_helper = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
}

XView::~XView()
{
    if (m_display) {
        XDestroyWindow(m_display, m_helper);
        XCloseDisplay(m_display);
    }
}

std::optional<WindowGeometry> XView::geometry(unsigned long window)
{
    XWindowAttributes attrs;
    int before = xErrors;
    if (!XGetWindowAttributes(m_display, window, &attrs) || xErrors != before)
        return std::nullopt;
    int x = 0, y = 0;
    Window child;
    XTranslateCoordinates(m_display, window, DefaultRootWindow(m_display), 0, 0, &x, &y, &child);
    XSync(m_display, False);
    if (xErrors != before)
        return std::nullopt;
    return WindowGeometry{x, y, attrs.width, attrs.height};
}

std::optional<Picture> XView::grab(unsigned long window)
{
    std::optional<WindowGeometry> g = geometry(window);
    if (!g)
        return std::nullopt;
    Screen* screen = DefaultScreenOfDisplay(m_display);
    // The part of the window that lies on the screen; the rest stays black.
    int x0 = std::max(0, g->x), y0 = std::max(0, g->y);
    int x1 = std::min(WidthOfScreen(screen), g->x + g->width);
    int y1 = std::min(HeightOfScreen(screen), g->y + g->height);
    std::vector<Rgb> pixels(static_cast<size_t>(g->width) * g->height);
    if (x1 > x0 && y1 > y0) {
        XImage* image = XGetImage(m_display, DefaultRootWindow(m_display), x0, y0,
                                  static_cast<unsigned>(x1 - x0), static_cast<unsigned>(y1 - y0),
                                  AllPlanes, ZPixmap);
        if (!image)
            return std::nullopt;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                unsigned long p = XGetPixel(image, x - x0, y - y0);
                pixels[static_cast<size_t>(y - g->y) * g->width + (x - g->x)] =
                    Rgb{static_cast<std::uint8_t>((p >> 16) & 0xFF),
                        static_cast<std::uint8_t>((p >> 8) & 0xFF),
                        static_cast<std::uint8_t>(p & 0xFF)};
            }
        XDestroyImage(image);
    }
    return Picture(g->width, g->height, std::move(pixels));
}

bool XView::acceptsCloseRequest(unsigned long window)
{
    Atom* protocols = nullptr;
    int count = 0;
    bool found = false;
    Atom deleteWindow = XInternAtom(m_display, "WM_DELETE_WINDOW", False);
    if (XGetWMProtocols(m_display, window, &protocols, &count)) {
        for (int i = 0; i < count; ++i)
            found = found || protocols[i] == deleteWindow;
        XFree(protocols);
    }
    return found;
}

void XView::requestClose(unsigned long window)
{
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(m_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(m_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(m_display, window, False, NoEventMask, &event);
    XFlush(m_display);
}

void XView::clearClipboard()
{
    Atom clipboard = XInternAtom(m_display, "CLIPBOARD", False);
    XSetSelectionOwner(m_display, clipboard, m_helper, CurrentTime);
    XSetSelectionOwner(m_display, clipboard, None, CurrentTime);
    XSync(m_display, False);
}

std::optional<std::string> XView::clipboardText(std::chrono::milliseconds timeout)
{
    Atom clipboard = XInternAtom(m_display, "CLIPBOARD", False);
    Atom utf8 = XInternAtom(m_display, "UTF8_STRING", False);
    Atom property = XInternAtom(m_display, "MEMVANE_E2E_CLIPBOARD", False);
    Atom incr = XInternAtom(m_display, "INCR", False);
    auto end = Clock::now() + timeout;
    while (XGetSelectionOwner(m_display, clipboard) == None) {
        if (Clock::now() >= end)
            return std::nullopt;
        sleepMs(20);
    }
    XConvertSelection(m_display, clipboard, utf8, property, m_helper, CurrentTime);
    XFlush(m_display);
    while (Clock::now() < end) {
        while (XPending(m_display)) {
            XEvent event;
            XNextEvent(m_display, &event);
            if (event.type != SelectionNotify || event.xselection.requestor != m_helper)
                continue;
            if (event.xselection.property == None)
                return std::nullopt;
            Atom type;
            int format;
            unsigned long items, left;
            unsigned char* data = nullptr;
            XGetWindowProperty(m_display, m_helper, property, 0, LONG_MAX / 4, True,
                               AnyPropertyType, &type, &format, &items, &left, &data);
            std::string text;
            if (data && type != incr)
                text.assign(reinterpret_cast<char*>(data), items * (format / 8));
            if (data)
                XFree(data);
            if (type == incr)
                return std::nullopt; // more than a test ever copies
            return text;
        }
        sleepMs(10);
    }
    return std::nullopt;
}

// ---------------------------------------------------------------------------------------------

Desktop::Desktop(std::string display, std::string xdotool, std::string import)
    : m_display(std::move(display)), m_xdotool(std::move(xdotool)), m_import(std::move(import))
{
    m_env = {{"DISPLAY", m_display}, {"PATH", "/usr/bin:/bin"}};
}

void Desktop::xdotool(const std::vector<std::string>& args)
{
    std::vector<std::string> argv{m_xdotool};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = run(argv, m_env);
    if (!r.ok()) {
        std::string command;
        for (const auto& a : args)
            command += " " + a;
        throw std::runtime_error("xdotool" + command + " failed: " + r.out);
    }
}

unsigned long Desktop::findWindow(const std::string& title, std::chrono::milliseconds timeout)
{
    unsigned long found = 0;
    waitUntil(
        [&] {
            RunResult r = run({m_xdotool, "search", "--onlyvisible", "--name", title}, m_env);
            std::stringstream lines(r.out);
            std::string line;
            while (std::getline(lines, line)) {
                if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) {
                    found = std::stoul(line);
                    return true;
                }
            }
            return false;
        },
        timeout, std::chrono::milliseconds(100));
    return found;
}

bool Desktop::windowExists(unsigned long window)
{
    return run({m_xdotool, "getwindowname", std::to_string(window)}, m_env).ok();
}

void Desktop::click(unsigned long window, int x, int y)
{
    xdotool({"mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y),
             "click", "1"});
}

void Desktop::doubleClick(unsigned long window, int x, int y)
{
    xdotool({"mousemove", "--window", std::to_string(window), std::to_string(x), std::to_string(y),
             "click", "--repeat", "2", "--delay", "60", "1"});
}

void Desktop::movePointerAway()
{
    xdotool({"mousemove", "1279", "1023"});
}

void Desktop::focus(unsigned long window)
{
    xdotool({"windowfocus", "--sync", std::to_string(window)});
}

void Desktop::key(unsigned long window, const std::string& keys)
{
    focus(window);
    xdotool({"key", "--clearmodifiers", keys});
}

void Desktop::press(const std::string& keys)
{
    xdotool({"key", "--clearmodifiers", keys});
}

void Desktop::tapModifier(const std::string& key)
{
    xdotool({"key", key});
}

void Desktop::type(unsigned long window, const std::string& text)
{
    focus(window);
    xdotool({"type", "--delay", "40", text});
}

bool Desktop::screenshot(const std::string& path)
{
    if (m_import.empty())
        return false;
    return run({m_import, "-window", "root", path}, m_env, std::chrono::seconds(30)).ok();
}

} // namespace memvane::e2e
