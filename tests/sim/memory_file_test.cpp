#include "sim/MemoryFile.h"

#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace memvane::sim;
using memvane::test::slurp;
using memvane::test::spit;

TEST(MemoryFile, MegahertzTexts)
{
    EXPECT_EQ(parseMhz("145.5"), 145'500'000u);
    EXPECT_EQ(parseMhz("7"), 7'000'000u);
    EXPECT_EQ(parseMhz("0.000001"), 1u);
    EXPECT_EQ(parseMhz("9999.999999"), kMaxHz);
    for (const char* bad : {"", ".5", "5.", "1.0000001", "10000", "-1", "1,5", "1e3", "14.2x"})
        EXPECT_EQ(parseMhz(bad), std::nullopt) << bad;
    EXPECT_EQ(parseMhz("100", kMaxOffsetHz), std::nullopt);
    EXPECT_EQ(formatMhz(145'500'000), "145.500000");
    EXPECT_EQ(formatMhz(600'000, 4), "0.6000");
    EXPECT_EQ(formatMhz(1, 6), "0.000001");
}

TEST(MemoryFile, FormatThenParseKeepsEveryField)
{
    MemoryMap memories;
    Memory a;
    a.receive = {145'600'000, kModeFm, kFilterWide};
    a.transmit = {145'000'000, kModeWfm, kFilterNarrow};
    a.duplex = Duplex::Minus;
    a.offsetHz = 600'000;
    Memory b;
    b.receive = {3'500'001, kModeLsb, kFilterNormal};
    b.transmit = {14'000'000, kModeRtty, kFilterNormal};
    b.split = true;
    b.offsetHz = 99'999'900;
    Memory c;
    c.receive = c.transmit = {439'100'000, kModeCw, kFilterNarrow};
    c.duplex = Duplex::Plus;
    c.offsetHz = 7'600'000;
    memories[1] = a;
    memories[99] = b;
    memories[100] = c;
    memories[107] = a;
    std::string text = formatMemories(memories);
    EXPECT_NE(text.find("\n1 145.600000 FM Wide 145.000000 WFM Narrow off - 0.6000\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\n1A 439.100000 CW Narrow"), std::string::npos) << text;
    EXPECT_NE(text.find("\nC2 "), std::string::npos) << text;
    EXPECT_EQ(parseMemories(text, "x"), memories);
}

TEST(MemoryFile, HandWrittenLines)
{
    auto m =
        parseMemories("# comment\n"
                      "\n"
                      "  12\t145.5 fm normal 145.5 FM NORMAL OFF off 0.6\r\n"
                      "c1 7.05 LSB Wide 7.05 LSB Wide on off 0\n"
                      "12 433.5 FM Normal 433.5 FM Normal off + 1.6\n", // replaces the first 12
                      "hand");
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m.at(12).receive.hz, 433'500'000u);
    EXPECT_EQ(m.at(12).duplex, Duplex::Plus);
    EXPECT_EQ(m.at(12).offsetHz, 1'600'000u);
    EXPECT_TRUE(m.at(106).split);
    EXPECT_EQ(m.at(106).receive.filter, kFilterWide);
}

TEST(MemoryFile, BadLinesNameFileLineAndField)
{
    struct Row
    {
        const char* line;
        const char* message;
    };
    const Row rows[] = {
        {"12 145.5 FM Normal", "f:2: expected 10 fields"},
        {"0 145.5 FM Normal 145.5 FM Normal off off 0.6", "f:2: '0' is not a memory location"},
        {"1D 145.5 FM Normal 145.5 FM Normal off off 0.6", "f:2: '1D' is not a memory location"},
        {"1 145,5 FM Normal 145.5 FM Normal off off 0.6", "f:2: '145,5' is not a frequency"},
        {"1 145.5 FM Normal 12000 FM Normal off off 0.6", "f:2: '12000' is not a frequency"},
        {"1 145.5 Wide FM Normal 145.5 FM Normal off off", "f:2: 'Wide' is not a mode"},
        {"1 145.5 FM Medium 145.5 FM Normal off off 0.6", "f:2: 'Medium' is not a filter"},
        {"1 145.5 FM Normal 145.5 FM Normal yes off 0.6", "f:2: 'yes' is not a split state"},
        {"1 145.5 FM Normal 145.5 FM Normal off minus 0.6", "f:2: 'minus' is not a duplex"},
        {"1 145.5 FM Normal 145.5 FM Normal off off 0.60001", "f:2: '0.60001' is not an offset"},
        {"1 145.5 FM Normal 145.5 FM Normal off off 100", "f:2: '100' is not an offset"},
    };
    for (const auto& row : rows) {
        try {
            parseMemories(std::string("# ok\n") + row.line + "\n", "f");
            ADD_FAILURE() << "accepted: " << row.line;
        } catch (const MemoryFileError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(row.message, 0), 0u)
                << e.what() << " / " << row.message;
        }
    }
}

TEST(MemoryFile, LoadAndSave)
{
    memvane::test::TempDir dir;
    std::string path = dir.file("radio-memories.txt");
    EXPECT_TRUE(loadMemories(path).empty()) << "a missing file is no memories";
    EXPECT_THROW(loadMemories(path, false), MemoryFileError);
    EXPECT_THROW(loadMemories(dir.path().string()), MemoryFileError) << "a folder is no file";

    MemoryMap memories;
    memories[5].receive = {50'100'000, kModeUsb, kFilterNormal};
    memories[5].transmit = memories[5].receive;
    saveMemories(path, memories);
    EXPECT_EQ(loadMemories(path), memories);

    memories[6] = memories[5];
    saveMemories(path, memories);
    EXPECT_EQ(loadMemories(path), memories) << "saving replaces the file";
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "radio-memories.txt") << "no temporary file left";

    try {
        saveMemories(dir.file("no-such-folder/m.txt"), memories);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const MemoryFileError& e) {
        EXPECT_NE(std::string(e.what()).find("cannot write"), std::string::npos) << e.what();
    }
}

TEST(MemoryFile, ModelRoundTrip)
{
    RadioModel radio;
    Memory m;
    m.receive = {28'500'000, kModeAm, kFilterWide};
    m.transmit = {29'600'000, kModeFm, kFilterNormal};
    radio.setMemory(42, m);
    radio.setMemory(103, m);
    MemoryMap saved = memoriesOf(radio);
    EXPECT_EQ(saved.size(), 2u);

    RadioModel other;
    other.setMemory(1, m);
    loadInto(other, saved);
    EXPECT_FALSE(other.memory(1)) << "memories not in the file are blank";
    EXPECT_EQ(other.memory(42), m);
    EXPECT_EQ(other.memory(103), m);

    memvane::test::TempDir dir;
    spit(dir.file("m.txt"), formatMemories(saved));
    EXPECT_EQ(slurp(dir.file("m.txt")), formatMemories(loadMemories(dir.file("m.txt"))));
}
