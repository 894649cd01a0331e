#include "bench/XSession.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace memvane::bench {

XServer::XServer()
{
    for (int n = 91; n < 120; ++n) {
        std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (std::filesystem::exists(lock) || std::filesystem::exists(socket))
            continue;
        m_display = ":" + std::to_string(n);
        m_process = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/usr/bin/Xvfb", m_display, "-screen", "0", "1280x1024x24",
                                     "-nolisten", "tcp", "-noreset"},
            "/dev/null", std::vector<std::string>{}, std::string(), "/dev/null");
        auto end = Clock::now() + std::chrono::seconds(10);
        while (Clock::now() < end) {
            xcb_connection_t* c = xcb_connect(m_display.c_str(), nullptr);
            bool ok = !xcb_connection_has_error(c);
            xcb_disconnect(c);
            if (ok)
                return;
            if (!m_process->running())
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        throw std::runtime_error("Xvfb " + m_display + " did not start");
    }
    throw std::runtime_error("no free X display between :91 and :119");
}

XWatcher::XWatcher(const std::string& display)
{
    m_conn = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(m_conn))
        throw std::runtime_error("cannot connect to X display " + display);
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_conn)).data->root;
    uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_conn, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_conn);
}

XWatcher::~XWatcher()
{
    xcb_disconnect(m_conn);
}

namespace {
// The next event, waiting at most until `end`; null on timeout.
xcb_generic_event_t* nextEvent(xcb_connection_t* c, Clock::time_point end)
{
    for (;;) {
        if (xcb_generic_event_t* e = xcb_poll_for_event(c))
            return e;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        if (left.count() <= 0)
            return nullptr;
        pollfd p{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
}
} // namespace

std::uint32_t XWatcher::waitForMap(int timeoutMs, Clock::time_point& when)
{
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (xcb_generic_event_t* e = nextEvent(m_conn, end)) {
        auto now = Clock::now();
        uint8_t type = e->response_type & 0x7F;
        if (type == XCB_MAP_NOTIFY) {
            auto* m = reinterpret_cast<xcb_map_notify_event_t*>(e);
            bool topLevel = !m->override_redirect && m->event == m_root;
            uint32_t w = m->window;
            std::free(e);
            if (topLevel) {
                when = now;
                return w;
            }
            continue;
        }
        std::free(e);
    }
    return 0;
}

std::uint32_t XWatcher::atom(const char* name)
{
    auto cookie = xcb_intern_atom(m_conn, 0, static_cast<uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* r = xcb_intern_atom_reply(m_conn, cookie, nullptr);
    uint32_t a = r ? r->atom : 0;
    std::free(r);
    return a;
}

std::string XWatcher::title(std::uint32_t window)
{
    std::string result;
    for (uint32_t prop : {atom("_NET_WM_NAME"), static_cast<uint32_t>(XCB_ATOM_WM_NAME)}) {
        auto cookie = xcb_get_property(m_conn, 0, window, prop, XCB_GET_PROPERTY_TYPE_ANY, 0, 256);
        xcb_get_property_reply_t* r = xcb_get_property_reply(m_conn, cookie, nullptr);
        if (r && xcb_get_property_value_length(r) > 0)
            result.assign(static_cast<const char*>(xcb_get_property_value(r)),
                          static_cast<size_t>(xcb_get_property_value_length(r)));
        std::free(r);
        if (!result.empty())
            break;
    }
    return result;
}

bool XWatcher::waitForTitle(std::uint32_t window, const std::string& text, int timeoutMs,
                            Clock::time_point& when)
{
    uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_conn, window, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_conn);
    // Asked only after selecting the events, so a title set in between is not missed.
    if (title(window).find(text) != std::string::npos) {
        when = Clock::now();
        return true;
    }
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (xcb_generic_event_t* e = nextEvent(m_conn, end)) {
        auto now = Clock::now();
        bool property = (e->response_type & 0x7F) == XCB_PROPERTY_NOTIFY;
        std::free(e);
        if (property && title(window).find(text) != std::string::npos) {
            when = now;
            return true;
        }
    }
    return false;
}

void XWatcher::requestClose(std::uint32_t window)
{
    xcb_client_message_event_t ev{};
    ev.response_type = XCB_CLIENT_MESSAGE;
    ev.format = 32;
    ev.window = window;
    ev.type = atom("WM_PROTOCOLS");
    ev.data.data32[0] = atom("WM_DELETE_WINDOW");
    ev.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(m_conn, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&ev));
    xcb_flush(m_conn);
}

void installProgram(const TempFolder& folder, const std::string& radioLink)
{
    std::filesystem::copy_file(MEMVANE_EXE, folder.file("memvane"),
                               std::filesystem::copy_options::overwrite_existing);
    std::ofstream ini(folder.file("ComPort.ini"), std::ios::binary);
    ini << "[ComPort1]\r\nPort=" << radioLink
        << "\r\nBaudRate=19200\r\nStopBits=1\r\nDataBits=8\r\nParity=None\r\nFlowControl=None\r\n";
}

ProgramUnderTest::ProgramUnderTest(const TempFolder& folder, const std::string& display)
{
    m_process = std::make_unique<ChildProcess>(
        std::vector<std::string>{folder.file("memvane")}, folder.file("memvane.out"),
        std::vector<std::string>{"DISPLAY=" + display, "QT_QPA_PLATFORM=xcb"}, std::string(),
        folder.file("memvane.err"));
}

std::string ProgramUnderTest::openPty() const
{
    std::error_code ec;
    std::string fdDir = "/proc/" + std::to_string(m_process->pid()) + "/fd";
    for (const auto& entry : std::filesystem::directory_iterator(fdDir, ec)) {
        std::string target = std::filesystem::read_symlink(entry.path(), ec).string();
        if (target.rfind("/dev/pts/", 0) == 0 || target.rfind("/dev/tty", 0) == 0)
            return target;
    }
    return {};
}

std::map<pid_t, ThreadSwitches> threadSwitches(pid_t pid)
{
    std::map<pid_t, ThreadSwitches> result;
    std::error_code ec;
    std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& entry : std::filesystem::directory_iterator(taskDir, ec)) {
        pid_t tid = static_cast<pid_t>(std::atoi(entry.path().filename().c_str()));
        ThreadSwitches& t = result[tid];
        std::ifstream(entry.path() / "comm") >> t.name;
        std::ifstream(entry.path() / "schedstat") >> t.runNs;
        std::ifstream in(entry.path() / "status");
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0)
                t.voluntary = std::atoll(line.c_str() + 24);
            else if (line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                t.involuntary = std::atoll(line.c_str() + 27);
        }
    }
    return result;
}

SwitchDelta switchDelta(const std::map<pid_t, ThreadSwitches>& before,
                        const std::map<pid_t, ThreadSwitches>& after)
{
    SwitchDelta d;
    for (const auto& [tid, a] : after) {
        auto b = before.find(tid);
        if (b == before.end()) {
            d.started.push_back(a.name);
            continue;
        }
        ++d.threads;
        d.voluntary += a.voluntary - b->second.voluntary;
        d.involuntary += a.involuntary - b->second.involuntary;
        d.runNs += a.runNs - b->second.runNs;
        long long switches =
            a.voluntary + a.involuntary - b->second.voluntary - b->second.involuntary;
        if (switches > 0 || a.runNs != b->second.runNs)
            d.woke.push_back(a.name + ": " + std::to_string(switches) + " switches, " +
                             fixed((a.runNs - b->second.runNs) / 1e6, 3) + " ms");
    }
    for (const auto& [tid, b] : before)
        if (after.count(tid) == 0)
            d.ended.push_back(b.name);
    return d;
}

} // namespace memvane::bench
