#include "civ/Transceive.h"

#include "civ/Codec.h"

#include <exception>

namespace memvane {

namespace {
const std::string FrequencyBroadcast = "FEFE005800";
const std::string ModeBroadcast = "FEFE005801";

// The text after the first `head`, cut before its first "FD" (nothing when there is none).
std::optional<std::string> broadcastData(const std::string& hex, const std::string& head)
{
    size_t at = hex.find(head);
    if (at == std::string::npos)
        return std::nullopt;
    size_t from = at + head.size();
    size_t end = hex.find("FD", from);
    if (end == std::string::npos)
        return std::string();
    return hex.substr(from, end - from);
}

// Reads until the queue is empty, the read fails, or the pass has taken its share.
void drain(std::string& hex, const std::function<std::string()>& readOneByte,
           const std::function<void(int)>& sleepMs)
{
    for (int taken = 0; taken < TransceiveMaxBytesPerPass; ++taken) {
        std::string got;
        try {
            got = readOneByte();
        } catch (const std::exception&) {
            got.clear();
        }
        sleepMs(1);
        if (got.empty())
            return;
        hex += toHexText(got);
    }
}
} // namespace

std::string ComPort1RxCharLogic(ProgramState& state,
                                const std::function<std::string()>& readOneByte,
                                const std::function<void(int)>& sleepMs)
{
    std::string hex;
    for (int pass = 2; pass > 0; --pass) {
        drain(hex, readOneByte, sleepMs);
        if (auto data = broadcastData(hex, FrequencyBroadcast))
            state.rxfreq = decodeFrequency(*data);
        if (auto data = broadcastData(hex, ModeBroadcast)) {
            auto mode = decimalReading(copyText(*data, 1, 2));
            auto filter = decimalReading(copyText(*data, 3, 2));
            if (mode && *mode < static_cast<int>(state.modenames.size()))
                state.rxmode = state.modeName(*mode);
            if (filter && *filter >= 1 && *filter < static_cast<int>(state.filternames.size()))
                state.rxfilter = state.filterName(*filter);
        }
    }
    return state.rxfreq + "\r\n" + state.rxmode + "  " + state.rxfilter;
}

} // namespace memvane
