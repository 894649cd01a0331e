#include "channels/ChannelReader.h"

#include "channels/ChannelTexts.h"
#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Errors.h"
#include "core/Numbers.h"

#include <algorithm>
#include <exception>

namespace memvane {

namespace {

const std::string Ok = hexByte(civ::Ok);
const std::string AnyAnswer;

std::string finalText(int count)
{
    return std::to_string(count) + " Memory Locations Read ";
}

// One byte of a mode read's data, which must be a pair of decimal digits.
int decimalField(const std::string& data, size_t pos)
{
    std::string text = copyText(data, pos, 2);
    if (std::optional<int> n = decimalReading(text))
        return *n;
    throw EConvertError("'" + text + "' is not a valid integer value");
}

// Mode and filter from the data of a mode read: both bytes must be decimal.
void decodeMode(const ProgramState& state, const std::string& data, ChannelReading& out)
{
    out.mode = state.modeName(decimalField(data, 1));
    out.filter = state.filterName(decimalField(data, 3));
}

// Counts memory `memory` in, shows it and gives the window its turn between channels. False,
// with the final text shown, when a STOP or close came first.
bool beginChannel(RadioContext& ctx, int memory, int& count)
{
    ++count;
    ctx.ui.setStatus("Reading Memory Location " + std::to_string(memory));
    ctx.state.memloc = locationLabel(memory);
    if (stopRequested(ctx.state)) {
        ctx.ui.setStatus(finalText(count - 1));
        return false;
    }
    ctx.ui.processEvents();
    return true;
}

ChannelRow rowFor(int memory, const ChannelReading& r)
{
    return {false, {locationLabel(memory), r.tx, r.rx, r.mode, r.filter, r.split, "", r.offset}};
}

ChannelRow blankRow(int memory)
{
    ChannelRow row{false, {locationLabel(memory)}};
    row.texts.resize(8, " ");
    return row;
}

} // namespace

ChannelReading readChannel(RadioContext& ctx, int memory, bool fullRead)
{
    ChannelReading r;
    auto send = [&](const std::string& body, const std::string& expect) {
        ExchangeOutcome outcome = runCommand(body, expect, ctx.port, ctx.state, ctx.ui);
        r.refused = r.refused || outcome.refused;
        return outcome;
    };
    const std::string memoryMode = bytesOf({civ::SelectMemory});
    const std::string selectMemory = selectMemoryBody(memory);
    const std::string vfoA = bytesOf({civ::SelectVfo, civ::VfoA});
    const std::string vfoB = bytesOf({civ::SelectVfo, civ::VfoB});
    const std::string memoryWrite = bytesOf({civ::MemoryWrite});
    const std::string readFrequency = bytesOf({civ::ReadFrequency});

    if (fullRead)
        ctx.state.errcount = 0;
    // An undecodable mode reply must not leave the memory with split on: the channel's last
    // three exchanges switch it off and store the memory again, and only then is it reported.
    std::exception_ptr decodeError;

    // Exchange 2 takes any answer: a blank memory answers NG and is selected all the same. A
    // refused switch to memory mode (exchange 4) skips the split-on change and its store, which
    // would save the VFOs (another channel) over memory n. The final split-off and store undo a
    // split-on store: after a refused exchange 14 they still go, so that no memory is left with
    // split on, provided memory to VFO has put memory n into the VFOs that they then store.
    auto accepted = [&](const std::string& body) { return !send(body, Ok).refused; };

    send(memoryMode, Ok);
    send(selectMemory, AnyAnswer);
    send(vfoA, Ok);
    bool storedSplitOn = false;
    if (accepted(memoryMode)) {
        const bool splitOn = accepted(bytesOf({civ::SplitDuplex, civ::SplitOn}));
        storedSplitOn = accepted(memoryWrite) && splitOn;
    }
    const bool vfosHoldMemory = accepted(bytesOf({civ::MemoryToVfo}));
    r.blank = !vfosHoldMemory;
    send(vfoA, Ok);
    r.rx = decodeFrequency(send(readFrequency, hexByte(civ::ReadFrequency)).data);
    send(vfoB, Ok);
    r.tx = decodeFrequency(send(readFrequency, hexByte(civ::ReadFrequency)).data);
    r.offset = decodeOffset(send(bytesOf({civ::ReadOffset}), hexByte(civ::ReadOffset)).data);
    std::string modeData = send(bytesOf({civ::ReadMode}), hexByte(civ::ReadMode)).data;
    try {
        decodeMode(ctx.state, modeData, r);
    } catch (const EConvertError&) {
        decodeError = std::current_exception();
    }
    if (accepted(memoryMode) || (storedSplitOn && vfosHoldMemory)) {
        send(bytesOf({civ::SplitDuplex, civ::SplitOff}), Ok);
        send(memoryWrite, Ok);
    }

    // A memory with a refused exchange becomes a blank row, so what the refused replies did
    // not give ('.' for a frequency, nothing for the mode) is no error: the read goes on.
    if (r.refused)
        return r;
    if (decodeError)
        std::rethrow_exception(decodeError);
    double f = StrToFloat(r.tx);
    r.split = splitDuplexText(r.rx, r.tx, f);
    return r;
}

int readAllChannels(RadioContext& ctx, int first, int last)
{
    if (ctx.state.busy)
        return 0;
    BusyScope busy(ctx.state);
    ctx.state.stopread = false;
    int count = 0;
    int failures = 0;
    ctx.list.clear();
    ctx.ui.setErrorsEnabled(false);
    ctx.ui.clearErrorList();
    for (int memory = first; memory <= last; ++memory) {
        if (!beginChannel(ctx, memory, count))
            return failures;
        ChannelReading r = readChannel(ctx, memory, true);
        ctx.list.append(r.refused ? blankRow(memory) : rowFor(memory, r));
        failures += r.refused && !r.blank ? 1 : 0;
    }
    ctx.ui.setStatus(finalText(count));
    return failures;
}

void rereadTickedChannels(RadioContext& ctx)
{
    if (ctx.state.busy)
        return;
    BusyScope busy(ctx.state);
    ctx.state.stopread = false;
    int count = 0;
    // The list may change while events are processed; its size is checked at every row.
    for (size_t index = 0; index < ctx.list.size(); ++index) {
        if (!ctx.list.row(index).write)
            continue;
        int memory = static_cast<int>(index) + 1;
        if (!beginChannel(ctx, memory, count))
            return;
        if (index >= ctx.list.size())
            break;
        // A short row (from a short file line) cannot take the eight texts: say so before
        // anything is sent, rather than replacing half of it after the radio was asked.
        const ChannelRow& old = ctx.list.row(index);
        if (old.texts.size() < 8)
            throw EListError(static_cast<long>(old.texts.size()));
        if (memory > 199)
            throw EConvertError("'" + std::to_string(memory) +
                                "' is not a memory location the radio can select: it must lie "
                                "from 0 to 199");
        // A refused exchange (an empty memory refuses memory-to-VFO) leaves the VFOs holding
        // whatever the radio had before, often the previous memory: showing that under this
        // label would invite writing one memory's data into another, so the row goes blank.
        ChannelReading r = readChannel(ctx, memory, false);
        ChannelRow row = ctx.list.row(index);
        ChannelRow fresh = r.refused ? blankRow(memory) : rowFor(memory, r);
        std::copy(fresh.texts.begin(), fresh.texts.end(), row.texts.begin());
        ctx.list.setRow(index, std::move(row));
    }
    ctx.ui.setStatus(finalText(count));
}

void requestStop(ProgramState& state)
{
    state.stopread = true;
}

} // namespace memvane
