#include "channels/ChannelWriter.h"

#include "channels/ChannelTexts.h"
#include "channels/WriteSafety.h"
#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Errors.h"

#include <algorithm>

namespace memvane {

namespace {
std::string endText(int count)
{
    return std::to_string(count) + " Memory Locations Writen ";
}
} // namespace

ChannelWritePlan planChannelWrite(const ProgramState& state, const ChannelList& list, size_t index)
{
    // Errors come in the order a user would meet them row by row: frequencies, location, then
    // the names.
    ChannelWritePlan plan;
    std::string location = list.text(index, ColMemLoc);
    plan.freqA = encodeFrequency(list.text(index, ColFreqA));
    plan.freqB = encodeFrequency(list.text(index, ColFreqB));
    plan.memory = locationNumber(location);
    plan.mode = modeCode(state, list.text(index, ColMode));
    plan.filter = filterCode(state, list.text(index, ColFilter));
    plan.split = splitCode(state, list.text(index, ColSplit));
    return plan;
}

bool writeChannel(RadioContext& ctx, const ChannelWritePlan& plan)
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
    step(bytesOf({civ::SplitDuplex, plan.split}));
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
    return locationNumber(list.text(index, ColMemLoc));
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
        bool taken = cleared ? clearChannel(ctx, plan.memory) : writeChannel(ctx, plan);
        out.refusedRows += taken ? 0 : 1;
        if (options.verify && !verifyChannel(ctx, label, plan.memory, cleared ? nullptr : &plan))
            ++out.differing;
    }
    ctx.ui.setStatus(endText(count));
    out.finished = true;
    return out;
}

} // namespace memvane
