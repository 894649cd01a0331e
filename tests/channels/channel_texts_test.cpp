#include "channels/ChannelTexts.h"
#include "civ/Codec.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

#include <functional>

using namespace memvane;

namespace {
std::string messageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const AppError& e) {
        return e.message();
    }
    return "(no error)";
}
} // namespace

TEST(LocationText, TextAfterTheFirstBlankWithSpecialNamesInAnyCase)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Mem 12", "12"},  {"Mem 7", "7"},     {"Mem 1A", "100"}, {"Mem 1a", "100"},
        {"Mem 1b", "101"}, {"Mem 2A", "102"},  {"Mem 2b", "103"}, {"Mem 3A", "104"},
        {"Mem 3B", "105"}, {"Mem c1", "106"},  {"Mem C2", "107"}, {"42", "42"},
        {"C2", "107"},     {"Mem 1A ", "1A "}, {"Mem  5", " 5"},  {"Mem x y", "x y"},
    };
    for (const auto& [label, text] : cases)
        EXPECT_EQ(locationText(label), text) << label;
}

TEST(LocationNumber, IntegersOnlyAndWithinWhatTwoBytesCarry)
{
    EXPECT_EQ(locationNumber("Mem 99"), 99);
    EXPECT_EQ(locationNumber("Mem c2"), 107);
    EXPECT_EQ(locationNumber("Mem 199"), 199);
    EXPECT_EQ(messageOf([] { locationNumber("Mem 1C"); }), "'1C' is not a valid integer value");
    EXPECT_EQ(messageOf([] { locationNumber("Mem "); }), "'' is not a valid integer value");
    EXPECT_EQ(messageOf([] { locationNumber("Mem 200"); }),
              "'200' is not a memory location the radio can select: it must lie from 0 to 199");
    EXPECT_THROW(locationNumber("Mem -1"), EConvertError);
}

TEST(SelectMemory, HundredsDigitThenLastTwoDigits)
{
    EXPECT_EQ(toHexText(selectMemoryBody(7)), "080007");
    EXPECT_EQ(toHexText(selectMemoryBody(42)), "080042");
    EXPECT_EQ(toHexText(selectMemoryBody(99)), "080099");
    EXPECT_EQ(toHexText(selectMemoryBody(100)), "080100");
    EXPECT_EQ(toHexText(selectMemoryBody(105)), "080105");
    EXPECT_EQ(toHexText(selectMemoryBody(107)), "080107");
}

TEST(SplitDuplexText, EqualTextsFirstThenTheBandsOfTheTransmitFrequency)
{
    struct Case
    {
        const char* rx;
        const char* tx;
        double f;
        const char* text;
    };
    const Case cases[] = {
        {"0145.500000", "0145.500000", 145.5, "Duplex Off"},
        {"0014.195000", "0014.195000", 14.195, "Duplex Off"},
        {"0145.600000", "0145.000000", 145.0, "Duplex --"},
        {"0145.600000", "0144.000000", 144.0, "Duplex --"},
        {"0146.600000", "0146.000000", 146.0, "Duplex --"},
        {"0051.000000", "0052.000000", 52.0, "Duplex +"},
        {"0051.000000", "0050.000000", 50.0, "Duplex +"},
        {"0439.000000", "0430.000000", 430.0, "Duplex +"},
        {"0430.000000", "0444.000000", 444.0, "Duplex +"},
        {"0014.195000", "0014.200000", 14.2, "Split On"},
        {"0070.100000", "0070.500000", 70.5, "Split On"},
        {"0070.100000", "0070.000000", 70.0, "Split On"},
        // Differing frequencies outside every range still give a text of the table.
        {"0029.000000", "0030.000000", 30.0, "Split On"},
        {"0146.000000", "0146.000001", 146.000001, "Split On"},
        {"1296.000000", "1290.000000", 1290.0, "Split On"},
        {"0052.000000", "0052.000001", 52.000001, "Split On"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(splitDuplexText(c.rx, c.tx, c.f), c.text) << c.tx;
}

TEST(Codes, TableTextsGiveTheirIndexAsBcd)
{
    ProgramState state;
    state.fillNameTables();
    const std::pair<const char*, int> modes[] = {{"LSB", 0x00},    {"USB", 0x01},  {"AM", 0x02},
                                                 {"CW", 0x03},     {"RTTY", 0x04}, {"FM", 0x05},
                                                 {"Wide FM", 0x06}};
    for (const auto& [text, code] : modes)
        EXPECT_EQ(modeCode(state, text), code) << text;
    EXPECT_EQ(filterCode(state, "Normal"), 0x01);
    EXPECT_EQ(filterCode(state, "Narrow"), 0x02);
    EXPECT_EQ(filterCode(state, "Wide"), 0x03);
    const std::pair<const char*, int> splits[] = {{"Split Off", 0x00},
                                                  {"Split On", 0x01},
                                                  {"Duplex Off", 0x10},
                                                  {"Duplex --", 0x11},
                                                  {"Duplex +", 0x12}};
    for (const auto& [text, code] : splits)
        EXPECT_EQ(splitCode(state, text), code) << text;
}

TEST(Codes, PartialTextsFirstMatchForModeAndFilterLastForSplit)
{
    ProgramState state;
    state.fillNameTables();
    EXPECT_EQ(modeCode(state, "SB"), 0x00);             // LSB before USB
    EXPECT_EQ(modeCode(state, "Wide"), 0x06);           // only in "Wide FM"
    EXPECT_EQ(filterCode(state, "N"), 0x01);            // Normal before Narrow
    EXPECT_EQ(splitCode(state, "Split"), 0x01);         // Split On after Split Off
    EXPECT_EQ(splitCode(state, "Duplex"), 0x12);        // Duplex + is the last
    EXPECT_EQ(splitCode(state, "O"), 0x10);             // ... Split On, Duplex Off
    EXPECT_THROW(modeCode(state, "fm"), EConvertError); // case matters
}

TEST(Codes, UnmatchedTextsAreNumbersForModeAndFilterOnly)
{
    ProgramState state;
    state.fillNameTables();
    EXPECT_EQ(modeCode(state, "5"), 0x05);
    EXPECT_EQ(modeCode(state, "12"), 0x12);
    EXPECT_EQ(filterCode(state, "0"), 0x00);
    EXPECT_EQ(messageOf([&] { modeCode(state, ""); }), "'' is not a valid integer value");
    EXPECT_EQ(messageOf([&] { filterCode(state, " "); }), "' ' is not a valid integer value");
    EXPECT_EQ(messageOf([&] { modeCode(state, "100"); }),
              "'100' is not a valid mode code: it must lie from 0 to 99");
    EXPECT_EQ(messageOf([&] { filterCode(state, "-1"); }),
              "'-1' is not a valid filter code: it must lie from 0 to 99");
    EXPECT_EQ(messageOf([&] { splitCode(state, "Simplex"); }), "'' is not a valid integer value");
    EXPECT_EQ(messageOf([&] { splitCode(state, "1"); }), "'' is not a valid integer value");
    EXPECT_EQ(messageOf([&] { splitCode(state, ""); }), "'' is not a valid integer value");
}
