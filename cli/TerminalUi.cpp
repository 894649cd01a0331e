#include "cli/TerminalUi.h"

#include <algorithm>
#include <csignal>

namespace memvane::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int)
{
    g_interrupted = 1;
    // The next Ctrl-C is the default one: the program ends at once.
    std::signal(SIGINT, SIG_DFL);
}

constexpr int kBarWidth = 30;

} // namespace

void installInterruptHandler()
{
    struct sigaction action
    {
    };
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    // Calls into the port go on where the signal met them; the exchange must not fail for it.
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

bool interrupted()
{
    return g_interrupted != 0;
}

TerminalUi::TerminalUi(ProgramState& state, std::FILE* out, bool bar, int verbosity)
    : m_state(state), m_out(out), m_bar(bar && verbosity > 0), m_verbosity(verbosity)
{
}

std::string TerminalUi::progressText(const std::string& text) const
{
    static const std::string kWriting = "Writing Memory Location ";
    static const std::string kReading = "Reading Memory Location ";
    auto number = [&](const std::string& prefix) {
        std::string digits = text.substr(prefix.size());
        if (digits.empty() || digits.size() > 6 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return 0;
        return std::stoi(digits);
    };
    if (text.rfind(kWriting, 0) == 0) {
        int row = number(kWriting);
        if (row >= 1 && static_cast<size_t>(row) <= m_rowLabels.size())
            return "Writing " + m_rowLabels[static_cast<size_t>(row - 1)] + ", row " +
                   std::to_string(row);
    } else if (text.rfind(kReading, 0) == 0) {
        int memory = number(kReading);
        static const char* const kSpecial[] = {"1A", "1B", "2A", "2B", "3A", "3B", "C1", "C2"};
        if (memory >= 100 && memory <= 107)
            return kReading + kSpecial[memory - 100];
    }
    return text;
}

void TerminalUi::begin(int total)
{
    m_total = total;
    m_started = 0;
}

void TerminalUi::finish()
{
    flushFailures();
    if (m_bar) {
        clearBar();
        if (!m_status.empty())
            std::fprintf(m_out, "%s\n", m_status.c_str());
    }
    std::fflush(m_out);
}

void TerminalUi::takeInterrupt()
{
    if (g_interrupted && !m_state.stopread) {
        m_state.stopread = true;
        clearBar();
        std::fprintf(m_out, "Stopping after this memory (Ctrl-C again to quit at once)\n");
        drawBar();
    }
}

void TerminalUi::setStatus(const std::string& text)
{
    takeInterrupt();
    // An exchange the radio refused empties the status; the error lines say more.
    if (text.empty())
        return;
    flushFailures(); // a new memory, or the end: the one before is done
    // After Ctrl-C the next memory's text comes just before the operation stops: that memory
    // is not read or written, so it is not named.
    bool progress = text.rfind("Reading Memory Location ", 0) == 0 ||
                    text.rfind("Writing Memory Location ", 0) == 0;
    if (progress && m_state.stopread)
        return;
    m_status = progressText(text);
    if (m_bar)
        drawBar();
    else if (m_verbosity > 0)
        std::fprintf(m_out, "%s\n", m_status.c_str());
}

void TerminalUi::processEvents()
{
    flushFailures(); // the previous memory is done
    ++m_started;
    takeInterrupt();
    if (m_bar)
        drawBar();
}

void TerminalUi::appendErrorLine(const std::string& line)
{
    // Each failure is three lines: the command sent, what came back, an empty line. They are
    // kept until the memory is done, when it is known whether the radio said it is empty.
    static const std::string kSent = "Command sent to radio was FEFE";
    if (size_t at = line.find(kSent); at != std::string::npos) {
        // After FEFE: the radio's address, E0, then the command.
        m_failures.push_back({line.substr(at + kSent.size() + 4), false, {}});
    } else if (m_failures.empty()) {
        m_failures.push_back({});
    }
    Failure& f = m_failures.back();
    f.refused = f.refused || line.find("Incorrect return") != std::string::npos;
    if (!line.empty())
        f.lines.push_back(line);
}

void TerminalUi::flushFailures()
{
    // A refused memory to VFO (0A) is the radio's way of saying the memory is empty (a read
    // shows a blank row): its refusals of 0A and of storing the memory (09) say nothing more.
    // A refused memory selection never is a failure: the memory is selected all the same.
    bool empty = false;
    for (const Failure& f : m_failures)
        empty = empty || (f.refused && f.command == "0AFD");
    for (const Failure& f : m_failures) {
        bool selection = f.command.rfind("08", 0) == 0 && f.command != "08FD";
        bool emptyMemory = empty && (f.command == "0AFD" || f.command == "09FD");
        if (m_verbosity < 2 && f.refused && (selection || emptyMemory))
            continue;
        for (const std::string& line : f.lines)
            printLine(line);
    }
    m_failures.clear();
}

void TerminalUi::printLine(const std::string& line)
{
    clearBar();
    std::fprintf(m_out, "%s\n", line.c_str());
    drawBar();
}

void TerminalUi::setErrorsEnabled(bool) {}

void TerminalUi::showMessage(const std::string& text)
{
    clearBar();
    std::fprintf(m_out, "%s\n", text.c_str());
    drawBar();
}

bool TerminalUi::askOkCancel(const std::string& text)
{
    // Nobody to ask: the answer that changes nothing.
    showMessage(text);
    return false;
}

void TerminalUi::drawBar()
{
    if (!m_bar || m_total <= 0)
        return;
    // The memory being read counts once it is done.
    int done = std::clamp(m_started - 1, 0, m_total);
    int filled = done * kBarWidth / m_total;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarWidth - filled), '.');
    std::fprintf(m_out, "\r\033[K[%s] %d/%d  %s", bar.c_str(), done, m_total, m_status.c_str());
    std::fflush(m_out);
    m_barShown = true;
}

void TerminalUi::clearBar()
{
    if (!m_barShown)
        return;
    std::fprintf(m_out, "\r\033[K");
    m_barShown = false;
}

} // namespace memvane::cli
