#include "channels/ChannelTuner.h"

#include "channels/ChannelTexts.h"
#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Errors.h"
#include "core/Numbers.h"

#include <exception>

namespace memvane {

bool tuneToChannel(RadioContext& ctx, std::optional<size_t> selectedRow)
{
    if (ctx.state.busy || !selectedRow || *selectedRow >= ctx.list.size())
        return true;
    // The label names the memory as it does for a write ("Mem 1A" is 100, "Mem 100" too);
    // a label that names none of the radio's memories sends nothing.
    int memory = 0;
    try {
        memory = locationNumber(ctx.list.text(*selectedRow, ColMemLoc));
    } catch (const EConvertError&) {
        return true;
    }
    if (memory < 1 || memory > 107)
        return true;
    ExchangeOutcome memoryMode =
        runCommand(bytesOf({civ::SelectMemory}), hexByte(civ::Ok), ctx.port, ctx.state, ctx.ui);
    runCommand(selectMemoryBody(memory), "", ctx.port, ctx.state, ctx.ui);
    return !memoryMode.refused;
}

bool goToChannel(RadioContext& ctx, std::optional<size_t> selectedRow)
{
    try {
        return tuneToChannel(ctx, selectedRow);
    } catch (const std::exception&) {
        // Nothing to show: the exchange has already logged radio failures.
        return false;
    }
}

} // namespace memvane
