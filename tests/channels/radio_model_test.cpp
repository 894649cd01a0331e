// The radio operations against the simulated radio's model, in-process: the frame log the radio
// sees, and what a write followed by a read brings back.
#include "channels/ChannelReader.h"
#include "channels/ChannelTuner.h"
#include "channels/ChannelWriter.h"
#include "core/Errors.h"
#include "tests/channels/ModelPort.h"
#include "tests/channels/Sequences.h"
#include "tests/support/FakeUi.h"

#include <gtest/gtest.h>

using namespace memvane;
using namespace memvane::test;

namespace {

struct ModelTest : ::testing::Test
{
    sim::RadioModel radio;
    ModelPort port{radio};
    ProgramState state;
    test::FakeUi ui;
    ChannelList list;
    RadioContext ctx{state, ui, port, list};

    void SetUp() override { state.fillNameTables(); }
};

ChannelRow row(bool write, const std::string& label, const std::string& a, const std::string& b,
               const std::string& mode, const std::string& filter, const std::string& split)
{
    return {write, {label, a, b, mode, filter, split, "", "00.6000"}};
}

} // namespace

TEST_F(ModelTest, FullReadFrameLogAndRows)
{
    radio.setMemory(1, memoryOf(145'600'000, 145'000'000, sim::kModeFm, sim::kFilterNormal));
    radio.setMemory(42, memoryOf(7'100'000, 7'100'000, sim::kModeLsb, sim::kFilterWide));
    radio.setMemory(99, memoryOf(14'195'000, 14'200'000, sim::kModeUsb, sim::kFilterNarrow));
    readAllChannels(ctx);

    std::vector<std::string> expected;
    for (int m = 1; m <= 99; ++m)
        append(expected, readFrames(locationHex(m)));
    EXPECT_EQ(radio.frameLog(), expected);
    ASSERT_EQ(list.size(), 99u);
    EXPECT_EQ(list.row(0),
              row(false, "Mem 1", "0145.000000", "0145.600000", "FM", "Normal", "Duplex --"));
    EXPECT_EQ(list.row(41),
              row(false, "Mem 42", "0007.100000", "0007.100000", "LSB", "Wide", "Duplex Off"));
    EXPECT_EQ(list.row(98),
              row(false, "Mem 99", "0014.200000", "0014.195000", "USB", "Narrow", "Split On"));
    // Empty memories cannot be stored or moved to a VFO: blank rows.
    EXPECT_EQ(list.row(1).texts,
              (std::vector<std::string>{"Mem 2", " ", " ", " ", " ", " ", " ", " "}));
    EXPECT_EQ(ui.label, "99 Memory Locations Read ");
    // A read leaves no memory with split on.
    EXPECT_FALSE(radio.memory(99)->split);
    EXPECT_FALSE(radio.split());
}

TEST_F(ModelTest, RereadOfRowsThreeAndFive)
{
    for (int m = 1; m <= 6; ++m)
        radio.setMemory(m, memoryOf(430'000'000 + m * 1000, 430'000'000 + m * 1000, sim::kModeFm,
                                    sim::kFilterNormal));
    for (int m = 1; m <= 6; ++m)
        list.append(row(m == 3 || m == 5, "Mem " + std::to_string(m), "x", "x", "x", "x", "x"));
    rereadTickedChannels(ctx);
    std::vector<std::string> expected = readFrames("0003");
    append(expected, readFrames("0005"));
    EXPECT_EQ(radio.frameLog(), expected);
    EXPECT_EQ(list.row(2),
              row(true, "Mem 3", "0430.003000", "0430.003000", "FM", "Normal", "Duplex Off"));
    EXPECT_EQ(list.row(3).texts.at(1), "x");
    EXPECT_EQ(ui.label, "2 Memory Locations Read ");
}

TEST_F(ModelTest, WriteOfRowsThreeAndSevenIncludingSpecialLocations)
{
    list.append(row(false, "Mem 1", "1", "1", "FM", "Normal", "Duplex Off"));
    list.append(row(false, "Mem 2", "1", "1", "FM", "Normal", "Duplex Off"));
    list.append(row(true, "Mem 1A", "436.200000", "434.600000", "FM", "Narrow", "Duplex +"));
    for (int i = 4; i <= 6; ++i)
        list.append(row(false, "Mem " + std::to_string(i), "1", "1", "FM", "Normal", "Split On"));
    list.append(row(true, "Mem c2", "145.5", "145.5", "AM", "Wide", "Split Off"));
    writeTickedChannels(ctx);

    std::vector<std::string> expected =
        writeFrames("0100", "0000203604", "0000603404", "0502", "12", "006001");
    append(expected, writeFrames("0107", "0000504501", "0000504501", "0203", "00"));
    EXPECT_EQ(radio.frameLog(), expected);
    EXPECT_EQ(ui.label, "2 Memory Locations Writen ");

    const auto& m100 = radio.memory(100);
    ASSERT_TRUE(m100);
    EXPECT_EQ(m100->receive, (sim::Setting{434'600'000, sim::kModeFm, sim::kFilterNarrow}));
    EXPECT_EQ(m100->transmit, (sim::Setting{436'200'000, sim::kModeFm, sim::kFilterNarrow}));
    EXPECT_EQ(m100->duplex, sim::Duplex::Plus);
    EXPECT_EQ(m100->offsetHz, 1'600'000u);
    EXPECT_FALSE(m100->split);
    ASSERT_TRUE(radio.memory(107));
    EXPECT_EQ(radio.memory(107)->receive.mode, sim::kModeAm);
    EXPECT_FALSE(radio.memory(107)->split);
    EXPECT_EQ(radio.memory(107)->duplex, sim::Duplex::Off);
    EXPECT_FALSE(radio.memory(1));
}

// Where the radio transmits with a memory: split on VFO A's frequency, duplex on the receive
// frequency shifted by the memory's offset.
std::uint64_t transmitHz(const sim::Memory& m)
{
    if (m.split)
        return m.transmit.hz;
    if (m.duplex == sim::Duplex::Minus)
        return m.receive.hz - m.offsetHz;
    if (m.duplex == sim::Duplex::Plus)
        return m.receive.hz + m.offsetHz;
    return m.receive.hz;
}

TEST_F(ModelTest, WrittenMemoriesTransmitOnFreqVfoAWhateverTheRadiosOffset)
{
    struct Case
    {
        const char* tx;
        const char* rx;
        const char* text;
        std::uint64_t txHz;
    };
    const Case cases[] = {{"431.050", "438.650", "Duplex --", 431'050'000},
                          {"145.800", "145.200", "Duplex +", 145'800'000},
                          {"145.200", "145.800", "Duplex +", 145'200'000},
                          {"435.000", "145.200", "Duplex +", 435'000'000},
                          {"144.600", "145.200", "Duplex --", 144'600'000},
                          {"14.250", "14.200", "Split On", 14'250'000},
                          {"145.000", "145.600", "Duplex Off", 145'600'000}};
    for (bool offsetRefused : {false, true}) {
        radio.clearRefusals();
        if (offsetRefused)
            radio.addRefusal({"\x0D"});
        radio.setOffsetHz(1'000'000); // whatever the radio holds from before
        std::vector<ChannelRow> rows;
        for (size_t i = 0; i < std::size(cases); ++i)
            rows.push_back(row(true, "Mem " + std::to_string(i + 1), cases[i].tx, cases[i].rx,
                               "FM", "Normal", cases[i].text));
        list.replaceAll(rows);
        // A refused offset is taken care of: no row counts as refused.
        EXPECT_EQ(writeTickedChannels(ctx), 0);
        for (size_t i = 0; i < std::size(cases); ++i) {
            SCOPED_TRACE(std::string(cases[i].text) + (offsetRefused ? ", 0D refused" : ""));
            const sim::Memory& m = *radio.memory(static_cast<int>(i) + 1);
            EXPECT_EQ(transmitHz(m), cases[i].txHz);
        }
        EXPECT_EQ(radio.memory(1)->duplex, offsetRefused ? sim::Duplex::Off : sim::Duplex::Minus);
        EXPECT_EQ(radio.memory(1)->split, offsetRefused);
    }
}

TEST_F(ModelTest, EveryModeFilterAndSplitTextSurvivesWriteThenRead)
{
    // Each split/duplex text with a frequency pair that reads back as that text; "Split Off"
    // is stored as such but reads back by its frequencies.
    struct Pair
    {
        const char* a;
        const char* b;
        const char* split;
        const char* readBack;
        const char* stored; // a duplex text pointing away from the transmit frequency: split
    };
    const Pair pairs[] = {{"0145.500000", "0145.500000", "Duplex Off", "Duplex Off", "Duplex Off"},
                          {"0145.000000", "0145.600000", "Duplex --", "Duplex --", "Duplex --"},
                          {"0433.000000", "0434.600000", "Duplex +", "Duplex +", "Split On"},
                          {"0051.000000", "0051.500000", "Duplex +", "Duplex +", "Split On"},
                          {"0014.200000", "0014.195000", "Split On", "Split On", "Split On"},
                          {"0007.050000", "0007.050000", "Split Off", "Duplex Off", "Split Off"},
                          {"1296.000000", "1290.000000", "Split On", "Split On", "Split On"},
                          {"0000.000001", "9999.999999", "Split On", "Split On", "Split On"}};
    const char* modes[] = {"LSB", "USB", "AM", "CW", "RTTY", "FM", "Wide FM"};
    const char* filters[] = {"Normal", "Narrow", "Wide"};

    std::vector<ChannelRow> written;
    int memory = 1;
    for (const char* mode : modes)
        for (const char* filter : filters) {
            const Pair& p = pairs[(memory - 1) % std::size(pairs)];
            written.push_back(
                row(true, "Mem " + std::to_string(memory), p.a, p.b, mode, filter, p.split));
            ++memory;
        }
    list.replaceAll(written);
    writeTickedChannels(ctx);
    // Every memory was blank: each row logs its selection's NG (three lines) and nothing else.
    ASSERT_EQ(ui.errorLines.size(), 3 * written.size());
    for (size_t i = 0; i < written.size(); ++i)
        EXPECT_EQ(ui.errorLines[3 * i], " Command sent to radio was FEFE58E00800" +
                                            std::string(i + 1 < 10 ? "0" : "") +
                                            std::to_string(i + 1) + "FD");
    for (size_t i = 0; i < written.size(); ++i) {
        const sim::Memory& m = *radio.memory(static_cast<int>(i) + 1);
        const std::string split = pairs[i % std::size(pairs)].stored;
        EXPECT_EQ(m.split, split == "Split On") << i;
        EXPECT_EQ(m.duplex, split == "Duplex +"    ? sim::Duplex::Plus
                            : split == "Duplex --" ? sim::Duplex::Minus
                                                   : sim::Duplex::Off)
            << i;
    }

    readAllChannels(ctx);
    ASSERT_EQ(list.size(), 99u);
    for (size_t i = 0; i < written.size(); ++i) {
        ChannelRow expected = written[i];
        expected.write = false;
        expected.texts[5] = pairs[i % std::size(pairs)].readBack;
        EXPECT_EQ(list.row(i), expected) << i;
    }
    EXPECT_EQ(list.row(written.size()).texts.at(1), " "); // the next memory is empty
}

TEST_F(ModelTest, SpecialLocationsReadBackByRowPosition)
{
    const char* names[] = {"1A", "1b", "2A", "2b", "3A", "3b", "C1", "c2"};
    std::vector<ChannelRow> rows;
    for (int i = 1; i <= 107; ++i)
        rows.push_back(row(false, "Mem " + std::to_string(i), "1", "1", "FM", "Normal", "x"));
    for (int i = 0; i < 8; ++i) {
        std::string freq = "0" + std::to_string(430 + i) + ".000000";
        rows[99 + i] =
            row(true, std::string("Mem ") + names[i], freq, freq, "FM", "Wide", "Duplex Off");
    }
    list.replaceAll(rows);
    writeTickedChannels(ctx);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(radio.memory(100 + i)->receive.hz, (430u + i) * 1'000'000u);

    radio.clearFrameLog();
    rereadTickedChannels(ctx);
    EXPECT_EQ(radio.frameLog().at(1), "FEFE58E0080100FD");
    EXPECT_EQ(radio.frameLog().at(16 * 7 + 1), "FEFE58E0080107FD");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(list.row(99 + i),
                  row(true, "Mem " + std::to_string(100 + i), rows[99 + i].texts[1],
                      rows[99 + i].texts[1], "FM", "Wide", "Duplex Off"));
}

TEST_F(ModelTest, GoToChanSelectsTheMemory)
{
    radio.setMemory(12, memoryOf(145'500'000, 145'500'000, sim::kModeFm, sim::kFilterNormal));
    list.append(row(false, "Mem 12", "x", "x", "x", "x", "x"));
    goToChannel(ctx, 0);
    EXPECT_EQ(radio.frameLog(), (std::vector<std::string>{"FEFE58E008FD", "FEFE58E0080012FD"}));
    EXPECT_TRUE(radio.memoryMode());
    EXPECT_EQ(radio.selectedMemory(), 12);
    EXPECT_EQ(radio.operating()->hz, 145'500'000u);
}

TEST_F(ModelTest, RefusedMemoryToVfoAndASilentRadio)
{
    for (int m = 1; m <= 99; ++m)
        radio.setMemory(m, memoryOf(145'500'000, 145'500'000, sim::kModeFm, sim::kFilterNormal));
    radio.addRefusal({std::string(1, '\x0A'), 5, -1});
    readAllChannels(ctx);
    EXPECT_EQ(list.row(4).texts.at(1), " ");
    EXPECT_EQ(list.row(5).texts.at(1), "0145.500000");
    EXPECT_EQ(ui.errorLines.at(0), "Mem 5 Command sent to radio was FEFE58E00AFD");

    radio.clearRefusals();
    radio.setSilent(true);
    EXPECT_THROW(readAllChannels(ctx), EAbort);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(ui.errorLines,
              (std::vector<std::string>{
                  "Mem 1 Command sent to radio was FEFE58E008FD",
                  "Mem 1 No return from Radio!! - Check ComPort and CI-V settings.", ""}));
    EXPECT_EQ(ui.label, "Reading Memory Location 1");
}

TEST_F(ModelTest, AddressFourEAgainstARadioAtFiftyEightAborts)
{
    state.civaddr = "$4E";
    state.civhex = "4E";
    list.append(row(true, "Mem 1", "145.5", "145.5", "FM", "Normal", "Duplex Off"));
    EXPECT_THROW(writeTickedChannels(ctx), EAbort);
    EXPECT_EQ(radio.frameLog(), (std::vector<std::string>{"FEFE4EE008FD"}));
    EXPECT_FALSE(radio.memory(1));
}
