#include "channels/ChannelTuner.h"

#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Numbers.h"

#include <exception>

namespace memvane {

bool tuneToChannel(RadioContext& ctx, std::optional<size_t> selectedRow)
{
    if (ctx.state.busy || !selectedRow || *selectedRow >= ctx.list.size())
        return true;
    int memory = StrToInt(copyText(ctx.list.text(*selectedRow, ColMemLoc), 5, 2));
    if (!fitsBcd(memory))
        return true;
    ExchangeOutcome memoryMode =
        runCommand(bytesOf({civ::SelectMemory}), hexByte(civ::Ok), ctx.port, ctx.state, ctx.ui);
    runCommand(bytesOf({civ::SelectMemory, 0x00, bcdByte(memory)}), "", ctx.port, ctx.state,
               ctx.ui);
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
