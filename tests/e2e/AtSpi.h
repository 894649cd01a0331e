#pragma once
// The screen reader's side of the end-to-end tests: a private D-Bus session bus with the
// accessibility bus launched on it (Qt's bridge and pyatspi find it through the session bus),
// a watcher that logs the program's focus and name changes (atspi_probe.py watch), and a dump
// of the program's accessible objects (atspi_probe.py tree). Every process is ours and is
// stopped by its pid; the accessibility bus's own daemons end with the buses they hang on.

#include "tests/e2e/E2eSupport.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace memvane::e2e {

class AccessibilityBus
{
public:
    // What this machine lacks to run it (and which Debian package brings it); empty if nothing.
    static std::string missing();

    // Throws std::runtime_error saying why when a bus does not come up. `dir` holds the bus
    // socket; the daemons' output goes to `logDir`.
    AccessibilityBus(const std::string& dir, const std::string& display, const std::string& runtime,
                     const std::string& logDir);
    ~AccessibilityBus();

    // What a program needs in its environment to show up on the accessibility bus.
    Env env() const;

    // Logs the events of application `app` from now on; returns once the watcher listens.
    void watch(const std::string& app);
    // The logged lines: "focus<TAB>role<TAB>name", "name<TAB>role<TAB>name".
    std::vector<std::string> events() const;
    // The application's objects, one "role<TAB>name<TAB>description<TAB>states" per line,
    // indented by depth; nullopt while it is not on the bus.
    std::optional<std::string> tree(const std::string& app) const;

private:
    Env baseEnv() const;

    std::string m_address, m_display, m_runtime, m_logDir, m_log;
    std::unique_ptr<Child> m_session, m_launcher, m_watcher;
};

} // namespace memvane::e2e
