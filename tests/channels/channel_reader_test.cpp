#include "channels/ChannelReader.h"
#include "core/Errors.h"
#include "tests/channels/RadioFixture.h"
#include "tests/channels/Sequences.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>

using namespace memvane;
using namespace memvane::test;

namespace {

struct ReaderTest : RadioFixture
{
    // The label of every row, in order.
    std::vector<std::string> labels() const
    {
        std::vector<std::string> out;
        for (const auto& r : list.rows())
            out.push_back(r.texts.at(0));
        return out;
    }
};

const std::vector<std::string> Blank(7, " ");

std::vector<std::string> withLabel(const std::string& label, std::vector<std::string> texts)
{
    texts.insert(texts.begin(), label);
    return texts;
}

} // namespace

TEST_F(ReaderTest, OneChannelIsSixteenExchangesInOrder)
{
    radio.channels[42] = {"0000100700", "0000504501", "006000", "0302"};
    ChannelReading r = readChannel(ctx, 42, true);
    EXPECT_EQ(port.frames, readFrames("0042"));
    EXPECT_EQ(r.rx, "0007.100000");
    EXPECT_EQ(r.tx, "0145.500000");
    EXPECT_EQ(r.offset, "00.6000");
    EXPECT_EQ(r.mode, "CW");
    EXPECT_EQ(r.filter, "Narrow");
    EXPECT_EQ(r.split, "Duplex --");
}

TEST_F(ReaderTest, DecodingOfModesFiltersAndUnnamedSlots)
{
    struct Case
    {
        const char* data;
        const char* mode;
        const char* filter;
    };
    const Case cases[] = {
        {"0001", "LSB", "Normal"}, {"0501", "FM", "Normal"}, {"0603", "Wide FM", "Wide"},
        {"0400", "RTTY", ""},      {"0707", "", ""},         {"0912", "", ""}};
    for (const auto& c : cases) {
        radio.fallback.mode = c.data;
        ChannelReading r = readChannel(ctx, 1, true);
        EXPECT_EQ(r.mode, c.mode) << c.data;
        EXPECT_EQ(r.filter, c.filter) << c.data;
    }
}

TEST_F(ReaderTest, FullReadFillsNinetyNineRowsWithProgressAndFinalText)
{
    ui.errorLines = {"old line"};
    ui.errorsEnabled = true;
    list.append({true, {"Mem 5", "stale"}});
    radio.channels[3] = {"0000103004", "0000103604", "000005", "0502"};
    readAllChannels(ctx);

    ASSERT_EQ(list.size(), 99u);
    EXPECT_EQ(list.row(2), (ChannelRow{false,
                                       {"Mem 3", "0436.100000", "0430.100000", "FM", "Narrow",
                                        "Duplex +", "", "05.0000"}}));
    EXPECT_EQ(list.row(98), (ChannelRow{false,
                                        {"Mem 99", "0145.500000", "0145.500000", "FM", "Normal",
                                         "Duplex Off", "", "00.6000"}}));
    EXPECT_EQ(port.frames.size(), 99u * 16);
    EXPECT_EQ(ui.statusHistory.front(), "Reading Memory Location 1");
    EXPECT_EQ(ui.statusHistory[98], "Reading Memory Location 99");
    EXPECT_EQ(ui.label, "99 Memory Locations Read ");
    EXPECT_TRUE(ui.errorLines.empty());
    EXPECT_FALSE(ui.errorsEnabled);
    EXPECT_EQ(state.memloc, "Mem 99");
    EXPECT_EQ(ui.processEventsCalls, 99);
    EXPECT_FALSE(state.busy);
}

TEST_F(ReaderTest, RefusedMemoryToVfoGivesABlankRowAndTheReadingGoesOn)
{
    radio.refuse = [](int memory, const std::string& hex) {
        return memory == 5 && hex == "FEFE58E00AFD";
    };
    EXPECT_EQ(readAllChannels(ctx), 0) << "a blank memory is no failure";
    ASSERT_EQ(list.size(), 99u);
    EXPECT_EQ(list.row(4).texts, withLabel("Mem 5", Blank));
    EXPECT_EQ(list.row(5).texts.at(1), "0145.500000");
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 5 Command sent to radio was FEFE58E00AFD",
                  "Mem 5 Incorrect return from Radio!! - Expected FEFEE058FB but got FEFEE058FA "
                  "Command failed.",
                  ""}));
    EXPECT_TRUE(ui.errorsEnabled);
    EXPECT_EQ(ui.label, "99 Memory Locations Read ");
}

TEST_F(ReaderTest, RefusalsOfAMemoryThatIsNotBlankCountAsFailures)
{
    radio.refuse = [](int memory, const std::string& hex) {
        return (memory == 5 && hex == "FEFE58E00F01FD") || (memory == 6 && hex == "FEFE58E00AFD");
    };
    EXPECT_EQ(readAllChannels(ctx), 1);
    EXPECT_EQ(list.row(4).texts, withLabel("Mem 5", Blank));
    EXPECT_EQ(list.row(5).texts, withLabel("Mem 6", Blank));
}

TEST_F(ReaderTest, RefusedMemorySelectIsNoFailure)
{
    // NG to a selection still selects (a blank memory answers so): the channel reads on.
    radio.refuse = [](int, const std::string& hex) { return hex == "FEFE58E0080007FD"; };
    radio.channels[7] = {"0000100700", "0000100700", "000000", "0001"};
    readAllChannels(ctx);
    EXPECT_EQ(list.row(6).texts.at(1), "0007.100000");
    EXPECT_TRUE(ui.errorLines.empty());
    EXPECT_EQ(ui.label, "99 Memory Locations Read ");
    std::vector<std::string> expected;
    for (int m = 1; m <= 99; ++m) {
        char mem[8];
        std::snprintf(mem, sizeof mem, "00%02d", m);
        append(expected, readFrames(mem));
    }
    EXPECT_EQ(port.frames, expected);
}

TEST_F(ReaderTest, NoStoreOutsideMemoryMode)
{
    // A store in VFO mode would save the VFOs (the previous channel) over memory 9.
    radio.refuse = [](int memory, const std::string& hex) {
        return memory == 9 && hex == "FEFE58E008FD";
    };
    list.append({true, withLabel("Mem 1", Blank)});
    for (int i = 2; i <= 9; ++i)
        list.append({i == 9, withLabel("Mem " + std::to_string(i), Blank)});
    rereadTickedChannels(ctx);
    std::vector<std::string> expected = readFrames("0001");
    // Memory mode is refused once memory 9 is selected (exchanges 4 and 14): the split change and
    // the store after each are not sent.
    append(expected, {"FEFE58E008FD", "FEFE58E0080009FD", "FEFE58E00700FD", "FEFE58E008FD",
                      "FEFE58E00AFD", "FEFE58E00700FD", "FEFE58E003FD", "FEFE58E00701FD",
                      "FEFE58E003FD", "FEFE58E00CFD", "FEFE58E004FD", "FEFE58E008FD"});
    EXPECT_EQ(port.frames, expected);
    EXPECT_EQ(list.row(8).texts, withLabel("Mem 9", Blank));
    EXPECT_EQ(ui.errorLines.size(), 6u);
    EXPECT_EQ(ui.errorLines.at(0), "Mem 9 Command sent to radio was FEFE58E008FD");
    EXPECT_EQ(ui.label, "2 Memory Locations Read ");
}

TEST_F(ReaderTest, RefusedExchangeFourteenStillUndoesTheSplitOnStore)
{
    // Exchange 14 refused after the split-on store of exchange 6: split off and store again, so
    // the memory is not left with split on; unless the VFOs do not hold the memory (memory to
    // VFO refused) or nothing was stored (the store refused, as for a blank memory).
    struct Case
    {
        const char* alsoRefused;
        size_t frames;
    };
    for (Case c : {Case{"", 16}, Case{"FEFE58E00AFD", 14}, Case{"FEFE58E009FD", 14}}) {
        int memoryModes = 0, stores = 0;
        radio.selected = 0;
        radio.refuse = [&](int memory, const std::string& hex) {
            if (memory != 9)
                return false;
            if (hex == "FEFE58E008FD")
                return ++memoryModes == 2; // exchange 14 (exchange 1 runs on memory 1)
            if (hex == "FEFE58E009FD")
                return ++stores == 1 && hex == c.alsoRefused;
            return hex == c.alsoRefused;
        };
        list.replaceAll({{true, withLabel("Mem 1", Blank)}});
        for (int i = 2; i <= 9; ++i)
            list.append({i == 9, withLabel("Mem " + std::to_string(i), Blank)});
        port.frames.clear();
        rereadTickedChannels(ctx);
        std::vector<std::string> expected = readFrames("0009");
        expected.resize(c.frames);
        EXPECT_EQ(std::vector<std::string>(port.frames.begin() + 16, port.frames.end()), expected)
            << c.alsoRefused;
        EXPECT_EQ(list.row(8).texts, withLabel("Mem 9", Blank)) << c.alsoRefused;
    }
}

TEST_F(ReaderTest, StopDuringMemoryTwelveEndsAfterIt)
{
    ui.onProcessEvents = [&](int call) {
        if (call == 12)
            requestStop(state);
    };
    readAllChannels(ctx);
    EXPECT_EQ(list.size(), 12u);
    EXPECT_EQ(ui.label, "12 Memory Locations Read ");
    EXPECT_EQ(port.frames.size(), 12u * 16);
    EXPECT_EQ(state.memloc, "Mem 13");
    EXPECT_FALSE(state.busy);
}

TEST_F(ReaderTest, StopRequestedBeforeStartIsForgotten)
{
    requestStop(state);
    ui.onProcessEvents = [&](int call) {
        if (call == 2)
            state.closeRequested = true; // closing the window stops like STOP
    };
    readAllChannels(ctx);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(ui.label, "2 Memory Locations Read ");
}

TEST_F(ReaderTest, SilentRadioEndsAfterTheFirstExchange)
{
    port.echo = false;
    radio.ignore = [](int, const std::string&) { return true; };
    EXPECT_THROW(readAllChannels(ctx), EAbort);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(port.frames.size(), 1u);
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 1 Command sent to radio was FEFE58E008FD",
                  "Mem 1 No return from Radio!! - Check ComPort and CI-V settings.", ""}));
    EXPECT_EQ(ui.label, "Reading Memory Location 1");
    EXPECT_FALSE(state.busy);
}

TEST_F(ReaderTest, RadioFallingSilentMidwayKeepsTheRowsRead)
{
    radio.ignore = [](int memory, const std::string& hex) {
        return memory == 4 && hex == "FEFE58E00CFD";
    };
    EXPECT_THROW(readAllChannels(ctx), EAbort);
    EXPECT_EQ(labels(), (std::vector<std::string>{"Mem 1", "Mem 2", "Mem 3"}));
    EXPECT_EQ(ui.errorLines.at(0), "Mem 4 Command sent to radio was FEFE58E00CFD");
    EXPECT_EQ(port.frames.size(), 3u * 16 + 12);
}

TEST_F(ReaderTest, UndecodableModeFinishesTheChannelWithSplitOffThenReports)
{
    radio.channels[3].mode = "0A01";
    try {
        readAllChannels(ctx);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "'0A' is not a valid integer value");
    }
    EXPECT_EQ(list.size(), 2u);
    // All sixteen exchanges of memory 3 ran: split off and the memory stored again.
    std::vector<std::string> expected = readFrames("0001");
    append(expected, readFrames("0002"));
    append(expected, readFrames("0003"));
    EXPECT_EQ(port.frames, expected);
    EXPECT_FALSE(state.busy);
}

TEST_F(ReaderTest, RefusedModeReadOrFrequencyReadGivesABlankRowAndTheReadGoesOn)
{
    // Refused replies carry no data: a blank row, as for any refusal, not an error that throws
    // the rows away.
    for (const char* refused : {"FEFE58E004FD", "FEFE58E003FD"}) {
        SCOPED_TRACE(refused);
        port.frames.clear();
        const std::string hexRefused = refused;
        radio.refuse = [hexRefused](int memory, const std::string& hex) {
            return memory == 2 && hex == hexRefused;
        };
        EXPECT_EQ(readAllChannels(ctx, 1, 3), 1);
        ASSERT_EQ(list.size(), 3u);
        EXPECT_EQ(list.row(1), (ChannelRow{false, withLabel("Mem 2", Blank)}));
        EXPECT_EQ(list.row(2).texts.at(1), "0145.500000");
        EXPECT_EQ(port.frames.size(), 3u * 16);
        EXPECT_EQ(ui.label, "3 Memory Locations Read ");
    }
    // A re-read likewise.
    list.setWrite(1, true);
    rereadTickedChannels(ctx);
    EXPECT_EQ(list.row(1), (ChannelRow{true, withLabel("Mem 2", Blank)}));
}

TEST_F(ReaderTest, RereadOfRowsThreeAndFiveByPosition)
{
    for (int i = 1; i <= 6; ++i)
        list.append(
            {false, {"Mem " + std::to_string(i), "a", "b", "c", "d", "e", "club", "f", "extra"}});
    list.setWrite(2, true);
    list.setWrite(4, true);
    list.setText(2, 1, "Mem 77"); // the row's own label is not consulted
    radio.channels[3] = {"0000504501", "0000004501", "006000", "0502"};
    rereadTickedChannels(ctx);

    std::vector<std::string> expected = readFrames("0003");
    append(expected, readFrames("0005"));
    EXPECT_EQ(port.frames, expected);
    EXPECT_EQ(list.row(2), (ChannelRow{true,
                                       {"Mem 3", "0145.000000", "0145.500000", "FM", "Narrow",
                                        "Duplex --", "", "00.6000", "extra"}}));
    EXPECT_EQ(list.row(4).texts.at(0), "Mem 5");
    EXPECT_EQ(list.row(4).texts.at(6), "");
    EXPECT_TRUE(list.row(4).write);
    EXPECT_EQ(list.row(3).texts.at(1), "a");
    EXPECT_EQ(ui.statusHistory,
              (std::vector<std::string>{"Reading Memory Location 3", "Reading Memory Location 5",
                                        "2 Memory Locations Read "}));
    EXPECT_EQ(state.memloc, "Mem 5");
}

TEST_F(ReaderTest, RereadOfAMemoryThatRefusesShowsABlankRowNotTheVfosLeftovers)
{
    for (int i = 1; i <= 3; ++i)
        list.append({true, {"Mem " + std::to_string(i), "a", "b", "c", "d", "e", "club", "f"}});
    radio.refuse = [](int memory, const std::string& hex) {
        return memory == 2 && hex == "FEFE58E00AFD";
    };
    rereadTickedChannels(ctx);
    EXPECT_EQ(list.row(1), (ChannelRow{true, withLabel("Mem 2", Blank)}));
    EXPECT_EQ(list.row(2).texts.at(1), "0145.500000");
    EXPECT_EQ(ui.errorLines.size(), 3u);
    EXPECT_EQ(ui.label, "3 Memory Locations Read ");
}

TEST_F(ReaderTest, RereadWithNothingTickedAndShortRows)
{
    rereadTickedChannels(ctx);
    EXPECT_EQ(ui.label, "0 Memory Locations Read ");
    list.append({true, {"Mem 1", "0145.500000", "0145.500000"}});
    try {
        rereadTickedChannels(ctx);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.message(), "List index out of bounds (3)");
    }
    EXPECT_TRUE(port.frames.empty());
    EXPECT_EQ(list.row(0).texts.size(), 3u);
    EXPECT_FALSE(state.busy);
}

TEST_F(ReaderTest, RereadKeepsTheRowWhenTheRadioDoesNotAnswer)
{
    list.append({true, {"Mem 1", "a", "b", "c", "d", "e", "f", "g"}});
    radio.ignore = [](int, const std::string& hex) { return hex == "FEFE58E004FD"; };
    EXPECT_THROW(rereadTickedChannels(ctx), EAbort);
    EXPECT_EQ(list.row(0).texts,
              (std::vector<std::string>{"Mem 1", "a", "b", "c", "d", "e", "f", "g"}));
}

TEST_F(ReaderTest, NoReadStartsWhileAnotherOperationRuns)
{
    list.append({true, {"Mem 1", "a", "b", "c", "d", "e", "f", "g"}});
    state.busy = true;
    readAllChannels(ctx);
    rereadTickedChannels(ctx);
    EXPECT_TRUE(port.frames.empty());
    EXPECT_EQ(list.size(), 1u);
    EXPECT_TRUE(ui.statusHistory.empty());

    // A read clicked from inside a running read is refused too.
    state.busy = false;
    int nested = -1;
    ui.onProcessEvents = [&](int call) {
        if (call == 1) {
            size_t before = port.frames.size();
            readAllChannels(ctx);
            nested = static_cast<int>(port.frames.size() - before);
        }
        if (call == 2)
            requestStop(state);
    };
    readAllChannels(ctx);
    EXPECT_EQ(nested, 0);
    EXPECT_EQ(list.size(), 2u);
}
