// Enumeration texts, their fallbacks, the bit-mask translations and the error messages.

#include "serial/CPort.h"
#include "serial/CPortTypes.h"
#include "serial/ComSettingsText.h"

#include <gtest/gtest.h>

namespace memvane {
namespace {

TEST(PortTypes, TextsRoundTripEveryValue)
{
    for (int i = 0; i < BaudRateCount; ++i)
        EXPECT_EQ(StrToBaudRate(BaudRateToStr(TBaudRate(i)), brCustom), TBaudRate(i)) << i;
    for (int i = 0; i < StopBitsCount; ++i)
        EXPECT_EQ(StrToStopBits(StopBitsToStr(TStopBits(i)), sbTwoStopBits), TStopBits(i));
    for (int i = 0; i < DataBitsCount; ++i)
        EXPECT_EQ(StrToDataBits(DataBitsToStr(TDataBits(i)), dbFive), TDataBits(i));
    for (int i = 0; i < ParityCount; ++i)
        EXPECT_EQ(StrToParity(ParityToStr(TParityBits(i)), prSpace), TParityBits(i));
    for (int i = 0; i < DTRCount; ++i)
        EXPECT_EQ(StrToDTR(DTRToStr(TDTRFlowControl(i)), dtrHandshake), TDTRFlowControl(i));
    for (int i = 0; i < RTSCount; ++i)
        EXPECT_EQ(StrToRTS(RTSToStr(TRTSFlowControl(i)), rtsToggle), TRTSFlowControl(i));
    for (int i = 0; i < FlowControlCount; ++i)
        EXPECT_EQ(StrToFlowControl(FlowControlToStr(TFlowControl(i)), fcNone), TFlowControl(i));
}

TEST(PortTypes, TextsAsStored)
{
    EXPECT_STREQ(BaudRateToStr(brCustom), "Custom");
    EXPECT_STREQ(BaudRateToStr(br19200), "19200");
    EXPECT_STREQ(BaudRateToStr(br256000), "256000");
    EXPECT_STREQ(StopBitsToStr(sbOne5StopBits), "1.5");
    EXPECT_STREQ(DataBitsToStr(dbEight), "8");
    EXPECT_STREQ(ParityToStr(prSpace), "Space");
    EXPECT_STREQ(DTRToStr(dtrHandshake), "Handshake");
    EXPECT_STREQ(RTSToStr(rtsToggle), "Toggle");
    EXPECT_STREQ(FlowControlToStr(fcNone), "None");
}

TEST(PortTypes, TextsMatchIgnoringCaseAndFallBack)
{
    EXPECT_EQ(StrToParity("even"), prEven);
    EXPECT_EQ(StrToParity("MARK"), prMark);
    EXPECT_EQ(StrToBaudRate("custom"), brCustom);
    EXPECT_EQ(StrToRTS("hAndShAkE"), rtsHandshake);
    // No match: the type's fallback.
    EXPECT_EQ(StrToBaudRate("fast"), br9600);
    EXPECT_EQ(StrToBaudRate(" 19200"), br9600);
    EXPECT_EQ(StrToBaudRate(""), br9600);
    EXPECT_EQ(StrToStopBits("1,5"), sbOneStopBit);
    EXPECT_EQ(StrToDataBits("9"), dbEight);
    EXPECT_EQ(StrToParity("evenly"), prNone);
    EXPECT_EQ(StrToFlowControl("RTS/CTS"), fcCustom);
    EXPECT_EQ(StrToDTR("on"), dtrDisable);
    EXPECT_EQ(StrToRTS("Auto"), rtsDisable);
}

TEST(PortTypes, SystemValues)
{
    EXPECT_EQ(BaudRateToInt(br110), 110u);
    EXPECT_EQ(BaudRateToInt(br14400), 14400u);
    EXPECT_EQ(BaudRateToInt(br56000), 56000u);
    EXPECT_EQ(BaudRateToInt(br256000), 256000u);
    EXPECT_EQ(StopBitsToCode(sbTwoStopBits), 2);
    EXPECT_EQ(DataBitsToSize(dbFive), 5);
    EXPECT_EQ(ParityToCode(prSpace), 4);
    EXPECT_EQ(DTRToFlags(dtrEnable), 0x10u);
    EXPECT_EQ(DTRToFlags(dtrHandshake), 0x20u);
    EXPECT_EQ(RTSToFlags(rtsToggle), 0x3000u);
}

TEST(PortTypes, EventMaskBothWays)
{
    struct Row
    {
        TComEvent event;
        std::uint32_t bit;
    };
    const Row rows[] = {{evRxChar, 0x0001},  {evTxEmpty, 0x0004}, {evRxFlag, 0x0002},
                        {evRing, 0x0100},    {evBreak, 0x0040},   {evCTS, 0x0008},
                        {evDSR, 0x0010},     {evError, 0x0080},   {evRLSD, 0x0020},
                        {evRx80Full, 0x0400}};
    for (const Row& r : rows) {
        EXPECT_EQ(EventsToMask(TComEvents{r.event}), r.bit) << r.event;
        EXPECT_EQ(MaskToEvents(r.bit), TComEvents{r.event}) << r.event;
    }
    EXPECT_EQ(EventsToMask(TComEvents::All()), 0x05FFu);
    EXPECT_EQ(MaskToEvents(0xFFFFFFFF), TComEvents::All());
    EXPECT_TRUE(MaskToEvents(0x0200).Empty()); // a bit no event owns
}

TEST(PortTypes, ModemStatusAndLineErrors)
{
    EXPECT_EQ(ModemStatusToSignals(0x10), TComSignals{csCTS});
    EXPECT_EQ(ModemStatusToSignals(0x20), TComSignals{csDSR});
    EXPECT_EQ(ModemStatusToSignals(0x40), TComSignals{csRing});
    EXPECT_EQ(ModemStatusToSignals(0x80), TComSignals{csRLSD});
    EXPECT_EQ(SignalsToModemStatus(TComSignals::All()), 0xF0u);

    const std::pair<TComError, std::uint32_t> errors[] = {
        {ceFrame, 0x0008}, {ceRxParity, 0x0004}, {ceOverrun, 0x0002}, {ceBreak, 0x0010},
        {ceIO, 0x0400},    {ceMode, 0x8000},     {ceRxOver, 0x0001},  {ceTxFull, 0x0100}};
    for (auto [e, bit] : errors) {
        EXPECT_EQ(LineErrorsToErrors(bit, true), TComErrors{e}) << e;
        EXPECT_EQ(ErrorsToLineErrors(TComErrors{e}), bit) << e;
    }
    // A parity error counts only while the port checks parity.
    EXPECT_TRUE(LineErrorsToErrors(0x0004, false).Empty());
    EXPECT_EQ(LineErrorsToErrors(0x000C, false), TComErrors{ceFrame});
}

TEST(PortTypes, SetOperations)
{
    TComEvents s{evRxChar, evCTS};
    EXPECT_TRUE(s.Contains(evCTS));
    s.Exclude(evCTS);
    EXPECT_FALSE(s.Contains(evCTS));
    s.Include(evRing);
    EXPECT_EQ(s & (TComEvents{evRing, evBreak}), TComEvents{evRing});
    EXPECT_EQ(s | TComEvents{evBreak}, (TComEvents{evRxChar, evRing, evBreak}));
}

TEST(ComPortError, MessageForms)
{
    EComPort open(1, 2, "COM1");
    EXPECT_EQ(open.message(), "COM Port Error: Unable to open com port on COM1");
    EXPECT_EQ(open.Code(), 1);
    EXPECT_EQ(open.WinCode(), 2);

    EComPort noSystem(14);
    EXPECT_EQ(noSystem.message(), "COM Port Error: Cannot set property while connected");
    EXPECT_EQ(noSystem.WinCode(), -1);

    EXPECT_EQ(EComPort(23, 5, "COM1").message(), "COM Port Error: Registry error on registry read");
    EXPECT_EQ(EComPort(16).message(), "COM Port Error: Failed to store settings");
    EXPECT_EQ(EComPort(17).message(), "COM Port Error: Failed to load settings");
    EXPECT_EQ(EComPort(99).message(), "COM Port Error: Unknown Error #99");
    EXPECT_EQ(EComPort(0).message(), "COM Port Error: Unknown Error #0");
    EXPECT_EQ(EComPort(24, 1, "X").message(), "COM Port Error: Unknown Error #24 on X");

    // The system's explanation travels beside the fixed message, not inside it.
    EComPort detailed(1, 13, "COM1", "cannot open /dev/ttyS0: Permission denied");
    EXPECT_EQ(detailed.message(), "COM Port Error: Unable to open com port on COM1");
    EXPECT_EQ(detailed.Detail(), "cannot open /dev/ttyS0: Permission denied");

    // One catch for everything the program raises.
    try {
        throw EComPort(5, 9, "COM3");
    } catch (const AppError& e) {
        EXPECT_EQ(e.message(), "COM Port Error: PurgeComm function failed on COM3");
    }
}

TEST(SettingsText, Integers)
{
    using namespace settings;
    EXPECT_EQ(IntToText(-1), "-1");
    EXPECT_EQ(IntToText(1000), "1000");
    EXPECT_EQ(TextToInt("-1", 5), -1);
    EXPECT_EQ(TextToInt("0x10", 5), 16);
    EXPECT_EQ(TextToInt("0XfF", 5), 255);
    EXPECT_EQ(TextToInt("0x", 5), 5); // two characters: not hexadecimal, not a number
    EXPECT_EQ(TextToInt("0xZZ", 5), 5);
    EXPECT_EQ(TextToInt("-0x10", 5), 5); // "0x" counts only at the start
    EXPECT_EQ(TextToInt("12abc", 5), 5);
    EXPECT_EQ(TextToInt("", 5), 5);
    EXPECT_EQ(TextToInt("99999999999", 5), 5);
    for (const char* text : {"$10", " 12", "+0x10", "0x$10"}) // decimal and "0x" only
        EXPECT_EQ(TextToInt(text, 5), 5) << text;
}

TEST(SettingsText, BooleansAndCharacters)
{
    using namespace settings;
    EXPECT_EQ(BoolToText(true), "Yes");
    EXPECT_EQ(BoolToText(false), "No");
    EXPECT_TRUE(TextToBool("yes"));
    EXPECT_TRUE(TextToBool("YES"));
    for (const char* t : {"", "Y", "true", "1", "yes ", "Yess", "On"})
        EXPECT_FALSE(TextToBool(t)) << t;

    EXPECT_EQ(CharToText(0), "#0");
    EXPECT_EQ(CharToText(17), "#17");
    EXPECT_EQ(CharToText(32), "#32");
    EXPECT_EQ(CharToText(33), "!");
    EXPECT_EQ(CharToText(65), "A");
    EXPECT_EQ(CharToText(127), "\x7F");
    EXPECT_EQ(CharToText(128), "#128");
    EXPECT_EQ(CharToText(255), "#255");
    for (int c = 0; c < 256; ++c)
        EXPECT_EQ(TextToChar(CharToText(TComChar(c))), c) << c;

    EXPECT_EQ(TextToChar(""), 0);
    EXPECT_EQ(TextToChar("#"), '#');
    EXPECT_EQ(TextToChar("#x"), 0);
    EXPECT_EQ(TextToChar("#300"), 300 & 0xFF);
    EXPECT_EQ(TextToChar("#-1"), 255);
    EXPECT_EQ(TextToChar("#0x41"), 0x41);
    EXPECT_EQ(TextToChar("#$41"), 0);
    EXPECT_EQ(TextToChar("AB"), 'A');
    EXPECT_EQ(TextToChar("\xE9"), 0xE9);
}

} // namespace
} // namespace memvane
