#pragma once
// The serial component's enumerations and sets, their texts (as stored in "ComPort.ini" and
// shown in the setup dialog) and their translations to and from the bit masks the device layer
// speaks: the event mask, the modem status and the line-error bits. Pure functions only; the
// declaration order of every enumeration is fixed, because ordinals index the text tables.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace memvane {

enum TBaudRate {
    brCustom,
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000
};
enum TStopBits { sbOneStopBit, sbOne5StopBits, sbTwoStopBits };
enum TDataBits { dbFive, dbSix, dbSeven, dbEight };
enum TParityBits { prNone, prOdd, prEven, prMark, prSpace };
enum TDTRFlowControl { dtrDisable, dtrEnable, dtrHandshake };
enum TRTSFlowControl { rtsDisable, rtsEnable, rtsHandshake, rtsToggle };
enum TFlowControl { fcHardware, fcSoftware, fcNone, fcCustom };
enum TComEvent {
    evRxChar,
    evTxEmpty,
    evRxFlag,
    evRing,
    evBreak,
    evCTS,
    evDSR,
    evError,
    evRLSD,
    evRx80Full
};
enum TComSignal { csCTS, csDSR, csRing, csRLSD };
enum TComError { ceFrame, ceRxParity, ceOverrun, ceBreak, ceIO, ceMode, ceRxOver, ceTxFull };
enum TSyncMethod { smThreadSync, smWindowSync, smNone, smDisableEvents };
enum TStoreType { stRegistry, stIniFile };
enum TStoredProp { spBasic, spFlowControl, spBuffer, spTimeouts, spParity, spOthers };
enum TOperationKind { okWrite, okRead };
// Priority of the event thread; mapped onto the platform's scheduling in the backend.
enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// A set of enumeration values, one bit per ordinal (all sets here have at most 16 members).
template <typename E, int N> class TEnumSet
{
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> values)
    {
        for (E v : values)
            m_bits |= bit(v);
    }
    static constexpr TEnumSet All()
    {
        TEnumSet s;
        s.m_bits = (1u << N) - 1;
        return s;
    }
    static constexpr TEnumSet FromBits(std::uint32_t bits)
    {
        TEnumSet s;
        s.m_bits = bits & ((1u << N) - 1);
        return s;
    }
    constexpr std::uint32_t Bits() const { return m_bits; }
    constexpr bool Contains(E v) const { return (m_bits & bit(v)) != 0; }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr void Include(E v) { m_bits |= bit(v); }
    constexpr void Exclude(E v) { m_bits &= ~bit(v); }
    constexpr TEnumSet operator|(TEnumSet o) const { return FromBits(m_bits | o.m_bits); }
    constexpr TEnumSet operator&(TEnumSet o) const { return FromBits(m_bits & o.m_bits); }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr std::uint32_t bit(E v) { return 1u << static_cast<int>(v); }
    std::uint32_t m_bits = 0;
};

using TComEvents = TEnumSet<TComEvent, 10>;
using TComSignals = TEnumSet<TComSignal, 4>;
using TComErrors = TEnumSet<TComError, 8>;
using TStoredProps = TEnumSet<TStoredProp, 6>;

// A byte as the component stores characters (XON/XOFF, event and replacement characters).
using TComChar = std::uint8_t;

// ---- Texts -------------------------------------------------------------------------------
// Each XxxToStr gives the value's text; each StrToXxx compares the text with every value's
// text ignoring letter case and returns the first match, or `fallback` when none matches.

const char* BaudRateToStr(TBaudRate v);
const char* StopBitsToStr(TStopBits v);
const char* DataBitsToStr(TDataBits v);
const char* ParityToStr(TParityBits v);
const char* DTRToStr(TDTRFlowControl v);
const char* RTSToStr(TRTSFlowControl v);
const char* FlowControlToStr(TFlowControl v);

TBaudRate StrToBaudRate(std::string_view text, TBaudRate fallback = br9600);
TStopBits StrToStopBits(std::string_view text, TStopBits fallback = sbOneStopBit);
TDataBits StrToDataBits(std::string_view text, TDataBits fallback = dbEight);
TParityBits StrToParity(std::string_view text, TParityBits fallback = prNone);
TDTRFlowControl StrToDTR(std::string_view text, TDTRFlowControl fallback = dtrDisable);
TRTSFlowControl StrToRTS(std::string_view text, TRTSFlowControl fallback = rtsDisable);
TFlowControl StrToFlowControl(std::string_view text, TFlowControl fallback = fcCustom);

constexpr int BaudRateCount = 16;
constexpr int StopBitsCount = 3;
constexpr int DataBitsCount = 4;
constexpr int ParityCount = 5;
constexpr int DTRCount = 3;
constexpr int RTSCount = 4;
constexpr int FlowControlCount = 4;

// ---- Values handed to the device ---------------------------------------------------------

// Line rate of a TBaudRate; brCustom gives 0 (the caller uses CustomBaudRate).
std::uint32_t BaudRateToInt(TBaudRate v);
std::uint8_t StopBitsToCode(TStopBits v); // 0, 1, 2
std::uint8_t DataBitsToSize(TDataBits v); // 5..8
std::uint8_t ParityToCode(TParityBits v); // 0..4
std::uint32_t DTRToFlags(TDTRFlowControl v);
std::uint32_t RTSToFlags(TRTSFlowControl v);

// Event mask bits of the device layer.
constexpr std::uint32_t EV_RXCHAR = 0x0001;
constexpr std::uint32_t EV_RXFLAG = 0x0002;
constexpr std::uint32_t EV_TXEMPTY = 0x0004;
constexpr std::uint32_t EV_CTS = 0x0008;
constexpr std::uint32_t EV_DSR = 0x0010;
constexpr std::uint32_t EV_RLSD = 0x0020;
constexpr std::uint32_t EV_BREAK = 0x0040;
constexpr std::uint32_t EV_ERR = 0x0080;
constexpr std::uint32_t EV_RING = 0x0100;
constexpr std::uint32_t EV_RX80FULL = 0x0400;

// Modem status bits.
constexpr std::uint32_t MS_CTS_ON = 0x0010;
constexpr std::uint32_t MS_DSR_ON = 0x0020;
constexpr std::uint32_t MS_RING_ON = 0x0040;
constexpr std::uint32_t MS_RLSD_ON = 0x0080;

// Line-error bits.
constexpr std::uint32_t CE_RXOVER = 0x0001;
constexpr std::uint32_t CE_OVERRUN = 0x0002;
constexpr std::uint32_t CE_RXPARITY = 0x0004;
constexpr std::uint32_t CE_FRAME = 0x0008;
constexpr std::uint32_t CE_BREAK = 0x0010;
constexpr std::uint32_t CE_TXFULL = 0x0100;
constexpr std::uint32_t CE_IOE = 0x0400;
constexpr std::uint32_t CE_MODE = 0x8000;

// Purge flags.
constexpr std::uint32_t PURGE_TXABORT = 0x0001;
constexpr std::uint32_t PURGE_RXABORT = 0x0002;
constexpr std::uint32_t PURGE_TXCLEAR = 0x0004;
constexpr std::uint32_t PURGE_RXCLEAR = 0x0008;

// Escape functions.
constexpr std::uint32_t SETXOFF = 1;
constexpr std::uint32_t SETXON = 2;
constexpr std::uint32_t SETRTS = 3;
constexpr std::uint32_t CLRRTS = 4;
constexpr std::uint32_t SETDTR = 5;
constexpr std::uint32_t CLRDTR = 6;
constexpr std::uint32_t SETBREAK = 8;
constexpr std::uint32_t CLRBREAK = 9;

std::uint32_t EventsToMask(TComEvents events);
TComEvents MaskToEvents(std::uint32_t mask);
TComSignals ModemStatusToSignals(std::uint32_t status);
std::uint32_t SignalsToModemStatus(TComSignals Signals); // not "signals": a Qt keyword
// The parity bit counts only when the port checks parity.
TComErrors LineErrorsToErrors(std::uint32_t errors, bool parityChecked);
std::uint32_t ErrorsToLineErrors(TComErrors errors);

} // namespace memvane
