#include "serial/CPortTypes.h"

#include "core/TextBytes.h"

#include <cstddef>

namespace memvane {

namespace {

const char* const kBaudTexts[BaudRateCount] = {
    "Custom", "110",   "300",   "600",   "1200",  "2400",   "4800",   "9600",
    "14400",  "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const std::uint32_t kBaudValues[BaudRateCount] = {0,     110,    300,    600,   1200,  2400,
                                                  4800,  9600,   14400,  19200, 38400, 56000,
                                                  57600, 115200, 128000, 256000};
const char* const kStopTexts[StopBitsCount] = {"1", "1.5", "2"};
const char* const kDataTexts[DataBitsCount] = {"5", "6", "7", "8"};
const char* const kParityTexts[ParityCount] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kDTRTexts[DTRCount] = {"Disable", "Enable", "Handshake"};
const char* const kRTSTexts[RTSCount] = {"Disable", "Enable", "Handshake", "Toggle"};
const char* const kFlowTexts[FlowControlCount] = {"Hardware", "Software", "None", "Custom"};

// Device bit of each TComEvent, TComSignal and TComError, in declaration order.
const std::uint32_t kEventBits[10] = {EV_RXCHAR, EV_TXEMPTY, EV_RXFLAG, EV_RING, EV_BREAK,
                                      EV_CTS,    EV_DSR,     EV_ERR,    EV_RLSD, EV_RX80FULL};
const std::uint32_t kSignalBits[4] = {MS_CTS_ON, MS_DSR_ON, MS_RING_ON, MS_RLSD_ON};
const std::uint32_t kErrorBits[8] = {CE_FRAME, CE_RXPARITY, CE_OVERRUN, CE_BREAK,
                                     CE_IOE,   CE_MODE,     CE_RXOVER,  CE_TXFULL};

template <typename E, int N>
E fromText(std::string_view text, const char* const (&table)[N], E fallback)
{
    for (int i = 0; i < N; ++i) {
        if (SameText(text, table[i]))
            return static_cast<E>(i);
    }
    return fallback;
}

template <int N> const char* textOf(int ordinal, const char* const (&table)[N])
{
    return ordinal >= 0 && ordinal < N ? table[ordinal] : "";
}

// The device bits of the members of `set`; `bits` holds each member's bit in ordinal order.
template <typename E, int N>
std::uint32_t deviceBits(TEnumSet<E, N> set, const std::uint32_t (&bits)[N])
{
    std::uint32_t mask = 0;
    for (int i = 0; i < N; ++i) {
        if (set.Contains(static_cast<E>(i)))
            mask |= bits[i];
    }
    return mask;
}

// The members whose device bit is in `mask`.
template <typename E, int N>
TEnumSet<E, N> membersOf(std::uint32_t mask, const std::uint32_t (&bits)[N])
{
    TEnumSet<E, N> set;
    for (int i = 0; i < N; ++i) {
        if (mask & bits[i])
            set.Include(static_cast<E>(i));
    }
    return set;
}

} // namespace

const char* BaudRateToStr(TBaudRate v)
{
    return textOf(v, kBaudTexts);
}
const char* StopBitsToStr(TStopBits v)
{
    return textOf(v, kStopTexts);
}
const char* DataBitsToStr(TDataBits v)
{
    return textOf(v, kDataTexts);
}
const char* ParityToStr(TParityBits v)
{
    return textOf(v, kParityTexts);
}
const char* DTRToStr(TDTRFlowControl v)
{
    return textOf(v, kDTRTexts);
}
const char* RTSToStr(TRTSFlowControl v)
{
    return textOf(v, kRTSTexts);
}
const char* FlowControlToStr(TFlowControl v)
{
    return textOf(v, kFlowTexts);
}

TBaudRate StrToBaudRate(std::string_view text, TBaudRate fallback)
{
    return fromText(text, kBaudTexts, fallback);
}
TStopBits StrToStopBits(std::string_view text, TStopBits fallback)
{
    return fromText(text, kStopTexts, fallback);
}
TDataBits StrToDataBits(std::string_view text, TDataBits fallback)
{
    return fromText(text, kDataTexts, fallback);
}
TParityBits StrToParity(std::string_view text, TParityBits fallback)
{
    return fromText(text, kParityTexts, fallback);
}
TDTRFlowControl StrToDTR(std::string_view text, TDTRFlowControl fallback)
{
    return fromText(text, kDTRTexts, fallback);
}
TRTSFlowControl StrToRTS(std::string_view text, TRTSFlowControl fallback)
{
    return fromText(text, kRTSTexts, fallback);
}
TFlowControl StrToFlowControl(std::string_view text, TFlowControl fallback)
{
    return fromText(text, kFlowTexts, fallback);
}

std::uint32_t BaudRateToInt(TBaudRate v)
{
    // As a number: a value cast from a stored ordinal may lie outside the enumeration.
    const int i = static_cast<int>(v);
    return i >= 0 && i < BaudRateCount ? kBaudValues[i] : 0;
}
std::uint8_t StopBitsToCode(TStopBits v)
{
    return static_cast<std::uint8_t>(v);
}
std::uint8_t DataBitsToSize(TDataBits v)
{
    return static_cast<std::uint8_t>(5 + v);
}
std::uint8_t ParityToCode(TParityBits v)
{
    return static_cast<std::uint8_t>(v);
}
std::uint32_t DTRToFlags(TDTRFlowControl v)
{
    return static_cast<std::uint32_t>(v) << 4;
}
std::uint32_t RTSToFlags(TRTSFlowControl v)
{
    return static_cast<std::uint32_t>(v) << 12;
}

std::uint32_t EventsToMask(TComEvents events)
{
    return deviceBits(events, kEventBits);
}

TComEvents MaskToEvents(std::uint32_t mask)
{
    return membersOf<TComEvent>(mask, kEventBits);
}

TComSignals ModemStatusToSignals(std::uint32_t status)
{
    return membersOf<TComSignal>(status, kSignalBits);
}

std::uint32_t SignalsToModemStatus(TComSignals signals)
{
    return deviceBits(signals, kSignalBits);
}

TComErrors LineErrorsToErrors(std::uint32_t errors, bool parityChecked)
{
    TComErrors result = membersOf<TComError>(errors, kErrorBits);
    if (!parityChecked)
        result.Exclude(ceRxParity);
    return result;
}

std::uint32_t ErrorsToLineErrors(TComErrors errors)
{
    return deviceBits(errors, kErrorBits);
}

} // namespace memvane
