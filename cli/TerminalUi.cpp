#include "cli/TerminalUi.h"

#include <algorithm>

namespace memvane::cli {

namespace {

constexpr int kBarWidth = 30;

} // namespace

TerminalUi::TerminalUi(ProgramState& state, std::FILE* out, bool bar)
    : m_state(state), m_out(out), m_bar(bar)
{
}

void TerminalUi::begin(int total)
{
    m_total = total;
    m_started = 0;
}

void TerminalUi::finish()
{
    if (m_bar) {
        clearBar();
        if (!m_status.empty())
            std::fprintf(m_out, "%s\n", m_status.c_str());
    }
    std::fflush(m_out);
}

void TerminalUi::takeInterrupt()
{
    if (interrupted() && !m_state.stopread) {
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
    m_status = text;
    if (m_bar)
        drawBar();
    else
        std::fprintf(m_out, "%s\n", text.c_str());
}

void TerminalUi::processEvents()
{
    ++m_started;
    takeInterrupt();
    if (m_bar)
        drawBar();
}

void TerminalUi::appendErrorLine(const std::string& line)
{
    if (line.empty())
        return;
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
