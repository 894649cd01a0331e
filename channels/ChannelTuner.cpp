#include "channels/ChannelTuner.h"

#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Numbers.h"

#include <exception>

namespace memvane {

bool goToChannel(RadioContext& ctx, std::optional<size_t> selectedRow)
{
    if (ctx.state.busy || !selectedRow || *selectedRow >= ctx.list.size())
        return true;
    bool accepted = true;
    try {
        int memory = StrToInt(copyText(ctx.list.text(*selectedRow, ColMemLoc), 5, 2));
        if (!fitsBcd(memory))
            return true;
        ExchangeOutcome memoryMode =
            runCommand(bytesOf({civ::SelectMemory}), hexByte(civ::Ok), ctx.port, ctx.state, ctx.ui);
        accepted = !memoryMode.refused;
        runCommand(bytesOf({civ::SelectMemory, 0x00, bcdByte(memory)}), "", ctx.port, ctx.state,
                   ctx.ui);
    } catch (const std::exception&) {
        // Nothing to show: the exchange has already logged radio failures.
    }
    return accepted;
}

} // namespace memvane
