#include "channels/ChannelWriter.h"

#include "channels/ChannelTexts.h"
#include "channels/WriteSafety.h"
#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Errors.h"

#include <charconv>

namespace memvane {

namespace {
std::string endText(int count)
{
    return std::to_string(count) + " Memory Locations Writen ";
}

// Five frequency bytes back to hertz, through the text a read would show ("0145.500000").
long long frequencyHz(const std::string& bytes)
{
    std::string digits;
    for (char c : decodeFrequency(toHexText(bytes)))
        if (c != '.')
            digits += c;
    long long hz = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), hz);
    return hz;
}

// The radio's memories: 1..99 and the special ones 1A..C2 (100..107). It refuses to select any
// other, and a write would then go into whatever memory was selected before.
void checkRadioMemory(int memory, const std::string& label)
{
    if (memory < 1 || memory > 107)
        throw EConvertError("'" + label +
                            "' is not a memory of the radio: it has memories 1 to 99 and 1A to "
                            "C2");
}
} // namespace

std::optional<std::string> offsetBytes(long long hz)
{
    if (hz < 0 || hz % 100 != 0 || hz / 100 > 999'999)
        return std::nullopt;
    long long steps = hz / 100;
    return bytesOf({bcdByte(static_cast<int>(steps % 100)),
                    bcdByte(static_cast<int>(steps / 100 % 100)),
                    bcdByte(static_cast<int>(steps / 10'000))});
}

ChannelWritePlan planChannelWrite(const ProgramState& state, const ChannelList& list, size_t index)
{
    // Errors come in the order a user would meet them row by row: frequencies, location, then
    // the names.
    ChannelWritePlan plan;
    std::string location = list.text(index, ColMemLoc);
    plan.freqA = encodeFrequency(list.text(index, ColFreqA));
    plan.freqB = encodeFrequency(list.text(index, ColFreqB));
    plan.memory = locationNumber(location);
    checkRadioMemory(plan.memory, location);
    plan.mode = modeCode(state, list.text(index, ColMode));
    plan.filter = filterCode(state, list.text(index, ColFilter));
    plan.split = splitCode(state, list.text(index, ColSplit));
    if (plan.split == civ::DuplexMinus || plan.split == civ::DuplexPlus) {
        long long shift = frequencyHz(plan.freqA) - frequencyHz(plan.freqB);
        bool minus = plan.split == civ::DuplexMinus;
        std::optional<std::string> offset;
        if (minus ? shift <= 0 : shift >= 0)
            offset = offsetBytes(minus ? -shift : shift);
        if (offset)
            plan.offset = *offset;
        else
            plan.split = civ::SplitOn;
    }
    return plan;
}

bool writeChannel(RadioContext& ctx, const ChannelWritePlan& plan, uint8_t* storedSplit)
{
    const std::string ok = hexByte(civ::Ok);
    bool refused = false;
    auto send = [&](const std::string& body) {
        return runCommand(body, ok, ctx.port, ctx.state, ctx.ui).refused;
    };
    auto step = [&](const std::string& body) { refused = send(body) || refused; };
    const std::string memoryMode = bytesOf({civ::SelectMemory});
    const std::string memoryWrite = bytesOf({civ::MemoryWrite});
    const std::string setMode = bytesOf({civ::SetMode, plan.mode, plan.filter});
    const std::string splitOff = bytesOf({civ::SplitDuplex, civ::SplitOff});
    // One VFO: its frequency, the row's mode and filter, split and duplex off, storing the
    // memory after each step.
    auto fillVfo = [&](uint8_t vfo, const std::string& frequency) {
        step(bytesOf({civ::SelectVfo, vfo}));
        step(bytesOf({civ::SetFrequency}) + frequency);
        step(memoryWrite);
        step(setMode);
        step(splitOff);
        step(memoryWrite);
        step(bytesOf({civ::SplitDuplex, civ::DuplexOff}));
        step(memoryWrite);
    };

    step(memoryMode);
    // A blank memory answers its selection NG yet is selected: the failure is logged like any
    // other and the script goes on, which is what fills the memory, so it refuses nothing.
    send(selectMemoryBody(plan.memory));
    fillVfo(civ::VfoA, plan.freqA);
    fillVfo(civ::VfoB, plan.freqB);
    step(memoryMode);
    step(setMode);
    step(splitOff);
    step(memoryWrite);
    uint8_t split = plan.split;
    // A radio without the offset command still gets the transmit frequency right, as a split
    // memory; that refusal is logged but taken care of.
    if (!plan.offset.empty() && send(bytesOf({civ::SetOffset}) + plan.offset))
        split = civ::SplitOn;
    if (storedSplit)
        *storedSplit = split;
    step(bytesOf({civ::SplitDuplex, split}));
    step(memoryWrite);
    return !refused;
}

std::string writeEndText(int count, bool verified, int differing)
{
    if (!verified)
        return endText(count);
    return std::to_string(count) + " Memory Locations Writen, " + std::to_string(differing) +
           (differing == 1 ? " differs from its row" : " differ from their rows");
}

int writeTickedChannels(RadioContext& ctx)
{
    return writeChannels(ctx, WriteOptions{}).refusedRows;
}

namespace {

// The memory of a row that a restore clears, or nothing for a row that is written.
std::optional<int> clearedMemory(const ChannelList& list, size_t index, const WriteOptions& o)
{
    if (!o.restore || !isBlankRow(list.row(index)))
        return std::nullopt;
    const std::string& label = list.text(index, ColMemLoc);
    int memory = locationNumber(label);
    checkRadioMemory(memory, label);
    return memory;
}

// Reads and saves the backup; false when a STOP came first. Nothing has been written yet.
bool backUp(RadioContext& ctx, const WriteOptions& options, WriteOutcome& out)
{
    std::optional<std::vector<ChannelRow>> rows =
        readBackupRows(ctx, memoriesToBackUp(ctx.state, ctx.list, options));
    if (!rows) {
        ctx.ui.setStatus("Stopped during the backup: nothing written");
        return false;
    }
    try {
        out.backupPath = options.saveBackup(*rows);
    } catch (const AppError& error) {
        throw AppError("No backup: " + error.message() + ". Nothing was written.");
    }
    ctx.ui.appendErrorLine("Backup of " + std::to_string(rows->size()) +
                           " memories before writing: " + out.backupPath);
    ctx.ui.setErrorsEnabled(true);
    std::string name = out.backupPath.substr(out.backupPath.find_last_of('/') + 1);
    ctx.ui.setStatus("Backup saved: " + name);
    return true;
}

} // namespace

int memoryOfRow(const ProgramState& state, const ChannelList& list, size_t index,
                const WriteOptions& options)
{
    if (std::optional<int> cleared = clearedMemory(list, index, options))
        return *cleared;
    return planChannelWrite(state, list, index).memory;
}

WriteOutcome writeChannels(RadioContext& ctx, const WriteOptions& options)
{
    WriteOutcome out;
    if (ctx.state.busy)
        return out;
    BusyScope busy(ctx.state);
    ctx.ui.setStatus("");
    ctx.ui.hideEditPanel();
    ctx.port.ensureOpen();
    ctx.state.stopread = false;
    if (options.backup && !backUp(ctx, options, out))
        return out;
    int& count = out.count;
    auto endText = [&](int n) { return writeEndText(n, options.verify, out.differing); };
    const size_t rows = ctx.list.size();
    for (size_t index = 0; index < rows; ++index) {
        // Rows can only go away while events are processed; a shorter list ends the write.
        if (index >= ctx.list.size())
            break;
        if (!ctx.list.row(index).write)
            continue;
        ++count;
        ctx.ui.setStatus("Writing Memory Location " + std::to_string(index + 1));
        if (stopRequested(ctx.state)) {
            ctx.ui.setStatus(endText(count - 1));
            return out;
        }
        std::optional<int> cleared = clearedMemory(ctx.list, index, options);
        ChannelWritePlan plan;
        if (cleared)
            plan.memory = *cleared;
        else
            plan = planChannelWrite(ctx.state, ctx.list, index);
        const std::string label = ctx.list.text(index, ColMemLoc);
        ctx.ui.processEvents();
        if (index >= ctx.list.size()) {
            ctx.ui.setStatus(endText(count - 1));
            return out;
        }
        uint8_t storedSplit = plan.split;
        bool taken =
            cleared ? clearChannel(ctx, plan.memory) : writeChannel(ctx, plan, &storedSplit);
        out.refusedRows += taken ? 0 : 1;
        if (storedSplit != plan.split) {
            // The radio refused the offset: the row went in as a split memory.
            plan.split = storedSplit;
            plan.offset.clear();
        }
        if (options.verify && !verifyChannel(ctx, label, plan.memory, cleared ? nullptr : &plan))
            ++out.differing;
    }
    ctx.ui.setStatus(endText(count));
    out.finished = true;
    return out;
}

} // namespace memvane
