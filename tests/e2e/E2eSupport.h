#pragma once
// What the end-to-end tests need to run the real program as a user does, and to watch it from
// outside:
//  - Child: a process of ours (Xvfb, memvane-radio, memvane, xdotool, import) started with an
//    explicit environment and working folder, its output in files. Stopped by its own pid only.
//  - XServer: a private Xvfb on a display number it picks itself (-displayfd), so tests never
//    collide with each other or with a desktop.
//  - XView: an Xlib connection that looks at the screen (pixels of a window as shown), asks a
//    window to close as a window manager's close button does (WM_DELETE_WINDOW), and reads the
//    clipboard after the program copied text into it.
//  - Desktop: the user's hands, through xdotool: find a window by title, click, double-click,
//    type, press keys, and take screenshots with ImageMagick's import.
//
// Nothing here reaches inside the program. Every wait polls with a deadline; nothing asserts a
// duration.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "tests/support/Files.h"

struct _XDisplay;

namespace memvane::e2e {

using Clock = std::chrono::steady_clock;
using Env = std::map<std::string, std::string>;

// Full path of `name` found in PATH; empty when missing.
std::string findProgram(const std::string& name);

// Polls `done` every `step` until it is true or `timeout` has passed; returns its last value.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout,
               std::chrono::milliseconds step = std::chrono::milliseconds(50));

using test::slurp;
using test::spit;
std::vector<std::string> readLines(const std::string& path); // "\r\n" or "\n" endings

class Child
{
public:
    struct Options
    {
        std::vector<std::string> argv; // argv[0] is the program's path
        Env env;
        std::string cwd;     // empty: ours
        std::string outPath; // stdout and stderr go here; empty: /dev/null
        int passFd = -1;     // handed to the child as fd 3
        int niceness = 0;    // below 0 only where allowed (root); otherwise left at ours
    };
    explicit Child(const Options& options);
    ~Child(); // stop() when still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return m_pid; }
    bool running();
    // Waits for the exit; the wait status when it came in time.
    std::optional<int> wait(std::chrono::milliseconds timeout);
    // SIGTERM, then SIGKILL after `grace`. Returns the wait status.
    int stop(std::chrono::milliseconds grace = std::chrono::seconds(5));

private:
    pid_t m_pid = -1;
    std::optional<int> m_status;
};

struct RunResult
{
    int status = -1; // wait status; -1 when it had to be killed
    std::string out;
    bool ok() const;
};
// Runs a short command to its end (killed after `timeout`), capturing its output.
RunResult run(const std::vector<std::string>& argv, const Env& env,
              std::chrono::milliseconds timeout = std::chrono::seconds(20));

class XServer
{
public:
    // Throws std::runtime_error when Xvfb does not come up.
    explicit XServer(const std::string& xvfb, const std::string& logPath);
    const std::string& display() const { return m_display; }

private:
    std::string m_display;
    std::unique_ptr<Child> m_process;
};

struct Rgb
{
    std::uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
    int luminance() const { return (r * 299 + g * 587 + b * 114) / 1000; }
};

// A rectangle of the screen as it was shown, in window coordinates.
class Picture
{
public:
    Picture(int width, int height, std::vector<Rgb> pixels)
        : m_width(width), m_height(height), m_pixels(std::move(pixels))
    {
    }
    int width() const { return m_width; }
    int height() const { return m_height; }
    Rgb at(int x, int y) const { return m_pixels[static_cast<size_t>(y) * m_width + x]; }

private:
    int m_width, m_height;
    std::vector<Rgb> m_pixels;
};

struct WindowGeometry
{
    int x = 0, y = 0, width = 0, height = 0; // position on the screen, inner size
};

class XView
{
public:
    explicit XView(const std::string& display); // throws std::runtime_error
    ~XView();
    XView(const XView&) = delete;
    XView& operator=(const XView&) = delete;

    std::optional<WindowGeometry> geometry(unsigned long window);
    // What the screen shows of the window (as the user sees it, other windows included).
    std::optional<Picture> grab(unsigned long window);
    // Whether the window takes part in WM_DELETE_WINDOW, as every Qt top-level window does.
    bool acceptsCloseRequest(unsigned long window);
    // The close button of a window manager: a WM_DELETE_WINDOW client message.
    void requestClose(unsigned long window);
    // The CLIPBOARD selection as UTF-8 text; nullopt when nobody owns it or no answer came.
    std::optional<std::string> clipboardText(std::chrono::milliseconds timeout);
    // Gives up the CLIPBOARD, so that a later copy is known to be new.
    void clearClipboard();

private:
    _XDisplay* m_display = nullptr;
    unsigned long m_helper = 0; // our own window, for selection requests
};

class Desktop
{
public:
    Desktop(std::string display, std::string xdotool, std::string import);
    const std::string& display() const { return m_display; }

    // First visible window whose title contains `title`; 0 when none shows up in time.
    unsigned long findWindow(const std::string& title, std::chrono::milliseconds timeout);
    bool windowExists(unsigned long window);
    void click(unsigned long window, int x, int y);
    void doubleClick(unsigned long window, int x, int y);
    // To the screen's bottom right corner, off every window.
    void movePointerAway();
    // Keyboard input goes to `window`: without a window manager the focus must be set first.
    void focus(unsigned long window);
    void key(unsigned long window, const std::string& keys); // "ctrl+a", "Return"
    // Keys to the window that has the keyboard focus already. Focusing a window again before
    // every key makes the program see it deactivated and activated again, which ends a menu
    // bar's keyboard mode.
    void press(const std::string& keys);
    // A modifier key pressed and let go on its own ("alt"), to the focused window: without
    // xdotool's clearing and restoring of modifiers, which would press it a second time.
    void tapModifier(const std::string& key);
    void type(unsigned long window, const std::string& text);
    // The whole screen into `path` (PNG); false when ImageMagick is not there or it failed.
    bool screenshot(const std::string& path);

private:
    void xdotool(const std::vector<std::string>& args);
    std::string m_display, m_xdotool, m_import;
    Env m_env;
};

} // namespace memvane::e2e
