#include "tests/e2e/AtSpi.h"

#include <filesystem>
#include <stdexcept>

#include <unistd.h>

namespace memvane::e2e {

namespace {
using namespace std::chrono_literals;

// pyatspi is a package of the system's Python, whatever python3 comes first in PATH.
constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kLauncher = "/usr/libexec/at-spi-bus-launcher";

std::string tail(const std::string& path)
{
    std::string text = slurp(path);
    return text.size() > 2000 ? text.substr(text.size() - 2000) : text;
}
} // namespace

std::string AccessibilityBus::missing()
{
    std::string lacking;
    if (findProgram("dbus-daemon").empty() || findProgram("dbus-send").empty())
        lacking += " dbus";
    if (::access(kLauncher, X_OK) != 0)
        lacking += " at-spi2-core";
    if (::access(kPython, X_OK) != 0 || !run({kPython, "-c", "import pyatspi"}, {}).ok())
        lacking += " python3-pyatspi";
    return lacking.empty() ? "" : "apt-get install" + lacking;
}

AccessibilityBus::AccessibilityBus(const std::string& dir, const std::string& display,
                                   const std::string& runtime, const std::string& logDir)
    : m_address("unix:path=" + dir + "/session-bus"), m_display(display), m_runtime(runtime),
      m_logDir(logDir), m_log(logDir + "/atspi-events.log")
{
    Child::Options session;
    session.argv = {findProgram("dbus-daemon"), "--session", "--nofork", "--address=" + m_address};
    session.env = baseEnv();
    session.outPath = m_logDir + "/session-bus.log";
    m_session = std::make_unique<Child>(session);
    if (!waitUntil([&] { return std::filesystem::exists(dir + "/session-bus"); }, 30s))
        throw std::runtime_error("the D-Bus session bus did not start: " +
                                 tail(session.outPath));

    Child::Options launcher;
    launcher.argv = {kLauncher, "--launch-immediately"};
    launcher.env = baseEnv();
    launcher.outPath = m_logDir + "/at-spi-bus.log";
    m_launcher = std::make_unique<Child>(launcher);
    const std::vector<std::string> owned = {
        findProgram("dbus-send"),        "--session",    "--print-reply",
        "--dest=org.freedesktop.DBus",   "/",            "org.freedesktop.DBus.NameHasOwner",
        "string:org.a11y.Bus"};
    if (!waitUntil(
            [&] {
                RunResult r = run(owned, baseEnv());
                return r.ok() && r.out.find("boolean true") != std::string::npos;
            },
            30s, 100ms))
        throw std::runtime_error("the accessibility bus did not start: " +
                                 tail(launcher.outPath));
}

AccessibilityBus::~AccessibilityBus()
{
    if (m_watcher)
        m_watcher->stop(2s);
    if (m_launcher)
        m_launcher->stop(5s);
    if (m_session)
        m_session->stop(5s);
}

Env AccessibilityBus::baseEnv() const
{
    return {{"DBUS_SESSION_BUS_ADDRESS", m_address},
            {"DISPLAY", m_display},
            {"XDG_RUNTIME_DIR", m_runtime},
            {"PATH", "/usr/bin:/bin"},
            {"LC_ALL", "C.UTF-8"}};
}

Env AccessibilityBus::env() const
{
    // Qt exposes its widgets without asking whether a screen reader runs.
    return {{"DBUS_SESSION_BUS_ADDRESS", m_address}, {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}};
}

void AccessibilityBus::watch(const std::string& app)
{
    Child::Options o;
    o.argv = {kPython, MEMVANE_ATSPI_PROBE, "watch", m_log, app};
    o.env = baseEnv();
    o.outPath = m_logDir + "/atspi-watch.out";
    m_watcher = std::make_unique<Child>(o);
    if (!waitUntil([&] { return slurp(m_log).find("ready\n") != std::string::npos; }, 60s))
        throw std::runtime_error("the accessibility watcher did not start: " + tail(o.outPath));
}

std::vector<std::string> AccessibilityBus::events() const
{
    return readLines(m_log);
}

std::optional<std::string> AccessibilityBus::tree(const std::string& app) const
{
    RunResult r = run({kPython, MEMVANE_ATSPI_PROBE, "tree", app}, baseEnv(), 120s);
    if (!r.ok())
        return std::nullopt;
    return r.out;
}

} // namespace memvane::e2e
