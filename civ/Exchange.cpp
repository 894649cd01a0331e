#include "civ/Exchange.h"

#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Frame.h"
#include "core/Errors.h"

namespace memvane {

namespace {
const std::string EndMark = "FD";

// Text after position `from` up to the next end mark; empty when no end mark follows.
std::string upToEndMark(const std::string& text, size_t from)
{
    size_t end = text.find(EndMark, from);
    if (end == std::string::npos)
        return {};
    return text.substr(from, end - from);
}
} // namespace

std::string ccomportwrite(const std::string& word, const std::string& look1, PortIo& port,
                          ProgramState& state, UiEffects& ui)
{
    port.ensureOpen();
    port.clearBuffers();
    port.write(word);
    port.sleepMs(state.civdelay);
    std::string reply = toHexText(port.read(civ::MaxReplyBytes));

    size_t found = reply.find(look1);
    if (found != std::string::npos)
        return upToEndMark(reply, found + look1.size());

    ++state.errcount;
    std::string command = toHexText(word);
    ui.appendErrorLine(state.memloc + " Command sent to radio was " + command);

    std::string refused;
    size_t ng = reply.find(refusedText(state.civhex));
    if (ng != std::string::npos)
        refused = upToEndMark(reply, ng);
    if (!refused.empty()) {
        ui.appendErrorLine(state.memloc + " Incorrect return from Radio!! - Expected " + look1 +
                           " but got " + refused + " Command failed.");
        ui.appendErrorLine("");
        ui.setErrorsEnabled(true);
        ui.setStatus("");
        return {};
    }
    ui.appendErrorLine(state.memloc + " No return from Radio!! - Check ComPort and CI-V settings.");
    ui.appendErrorLine("");
    ui.setErrorsEnabled(true);
    throw EAbort();
}

std::string runCommand(std::string_view body, std::string_view expectSuffix, PortIo& port,
                       ProgramState& state, UiEffects& ui)
{
    return ccomportwrite(buildFrame(radioAddress(state.civaddr), body),
                         expectedText(state.civhex, expectSuffix), port, state, ui);
}

} // namespace memvane
