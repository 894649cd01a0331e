#include "channels/ChannelWriter.h"

#include "channels/ChannelTexts.h"
#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"

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

void writeChannel(RadioContext& ctx, const ChannelWritePlan& plan)
{
    const std::string ok = hexByte(civ::Ok);
    auto send = [&](const std::string& body) { runCommand(body, ok, ctx.port, ctx.state, ctx.ui); };
    const std::string memoryMode = bytesOf({civ::SelectMemory});
    const std::string memoryWrite = bytesOf({civ::MemoryWrite});
    const std::string setMode = bytesOf({civ::SetMode, plan.mode, plan.filter});
    const std::string splitOff = bytesOf({civ::SplitDuplex, civ::SplitOff});
    const std::string duplexOff = bytesOf({civ::SplitDuplex, civ::DuplexOff});

    send(memoryMode);
    // A blank memory answers its selection NG yet is selected: the failure is logged like any
    // other and the script goes on, which is what fills the memory.
    send(selectMemoryBody(plan.memory));
    send(bytesOf({civ::SelectVfo, civ::VfoA}));
    send(bytesOf({civ::SetFrequency}) + plan.freqA);
    send(memoryWrite);
    send(setMode);
    send(splitOff);
    send(memoryWrite);
    send(duplexOff);
    send(memoryWrite);
    send(bytesOf({civ::SelectVfo, civ::VfoB}));
    send(bytesOf({civ::SetFrequency}) + plan.freqB);
    send(memoryWrite);
    send(setMode);
    send(splitOff);
    send(memoryWrite);
    send(duplexOff);
    send(memoryWrite);
    send(memoryMode);
    send(setMode);
    send(splitOff);
    send(memoryWrite);
    send(bytesOf({civ::SplitDuplex, plan.split}));
    send(memoryWrite);
}

void writeTickedChannels(RadioContext& ctx)
{
    if (ctx.state.busy)
        return;
    BusyScope busy(ctx.state);
    ctx.ui.setStatus("");
    ctx.ui.hideEditPanel();
    ctx.port.ensureOpen();
    ctx.state.stopread = false;
    int count = 0;
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
            return;
        }
        ChannelWritePlan plan = planChannelWrite(ctx.state, ctx.list, index);
        ctx.ui.processEvents();
        if (index >= ctx.list.size()) {
            ctx.ui.setStatus(endText(count - 1));
            return;
        }
        writeChannel(ctx, plan);
    }
    ctx.ui.setStatus(endText(count));
}

} // namespace memvane
