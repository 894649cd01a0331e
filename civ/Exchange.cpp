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

// True once more bytes cannot change what the checks in ccomportwrite make of `reply`: the
// expected text with an end mark after it (the first occurrence of the expected text is then
// fixed, and so is the first end mark after it), or, without the expected text, a refusal with
// its end mark. Neither the echo of a command (addressed to the radio) nor a broadcast
// (addressed to 00) holds the expected or the refused text, so neither settles a reply.
bool replySettled(const std::string& reply, const std::string& look1, const std::string& ng)
{
    size_t found = reply.find(look1);
    if (found != std::string::npos)
        return reply.find(EndMark, found + look1.size()) != std::string::npos;
    size_t refused = reply.find(ng);
    return refused != std::string::npos && reply.find(EndMark, refused) != std::string::npos;
}

// The fast wait: read what has arrived each time bytes come in, and stop as soon as the reply is
// settled, at civdelay after the write, or at the byte limit. For every radio that answers
// within civdelay the bytes examined lead to the same result as the fixed wait's; a silent or
// late radio is read once more at the deadline, exactly as the fixed wait reads it.
std::string readReplyFast(const std::string& look1, const std::string& ng, PortIo& port,
                          int civdelay)
{
    std::string bytes, text;
    for (;;) {
        InputWait wait = port.waitForInput(civdelay);
        if (wait == InputWait::Unsupported && bytes.empty()) {
            port.sleepMs(civdelay);
            return port.read(civ::MaxReplyBytes);
        }
        std::string more = port.read(civ::MaxReplyBytes - static_cast<int>(bytes.size()));
        bytes += more;
        text += toHexText(more);
        if (wait != InputWait::Arrived || bytes.size() >= civ::MaxReplyBytes ||
            replySettled(text, look1, ng))
            return bytes;
    }
}
} // namespace

ExchangeOutcome ccomportwrite(const std::string& word, const std::string& look1, PortIo& port,
                              ProgramState& state, UiEffects& ui)
{
    port.ensureOpen();
    port.clearBuffers();
    port.write(word);
    std::string reply;
    if (state.fastExchange) {
        reply = toHexText(readReplyFast(look1, refusedText(state.civhex), port, state.civdelay));
    } else {
        port.sleepMs(state.civdelay);
        reply = toHexText(port.read(civ::MaxReplyBytes));
    }

    size_t found = reply.find(look1);
    if (found != std::string::npos)
        return {upToEndMark(reply, found + look1.size())};

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
        return {"", true};
    }
    ui.appendErrorLine(state.memloc + " No return from Radio!! - Check ComPort and CI-V settings.");
    ui.appendErrorLine("");
    ui.setErrorsEnabled(true);
    throw EAbort();
}

ExchangeOutcome runCommand(std::string_view body, std::string_view expectSuffix, PortIo& port,
                           ProgramState& state, UiEffects& ui)
{
    return ccomportwrite(buildFrame(radioAddress(state.civaddr), body),
                         expectedText(state.civhex, expectSuffix), port, state, ui);
}

} // namespace memvane
