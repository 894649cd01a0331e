#include "sim/RadioModel.h"

#include <gtest/gtest.h>

using namespace memvane::sim;

namespace {

// Sends one command (body in hex: command, sub-command, data) from the controller E0 and returns
// what the radio answers, as hex text.
std::string ask(RadioModel& radio, const std::string& body, std::uint8_t to = 0x58,
                std::uint8_t from = 0xE0)
{
    std::string frame = fromHex("FEFE") +
                        std::string{static_cast<char>(to), static_cast<char>(from)} +
                        fromHex(body) + fromHex("FD");
    return toHex(radio.receive(frame));
}

const std::string OK = "FEFEE058FBFD";
const std::string NG = "FEFEE058FAFD";

Memory memoryOf(std::uint64_t rx, std::uint64_t tx, std::uint8_t mode = kModeFm,
                std::uint8_t filter = kFilterNormal)
{
    Memory m;
    m.receive = {rx, mode, filter};
    m.transmit = {tx, mode, filter};
    return m;
}

} // namespace

TEST(RadioModel, CommandTable)
{
    struct Row
    {
        const char* body;
        std::string reply;
    };
    // One radio through all rows: each row runs on the state the rows above left.
    const Row rows[] = {
        {"08", OK},
        {"080005", OK},
        {"080001", OK},
        {"080099", OK},
        {"080100", OK},
        {"080107", OK},
        {"0812", OK},     // one byte: memories below 100
        {"080013", NG},   // blank: selected all the same
        {"03", NG},       // memory mode on a blank memory: nothing to read
        {"080000", NG},   // no memory 0
        {"080108", NG},   // past C2
        {"080200", NG},   // hundreds digit 2
        {"08001A", NG},   // not BCD
        {"08000001", NG}, // too long
        {"0700", OK},
        {"0701", OK},
        {"07", OK}, // VFO mode
        {"0702", NG},
        {"050000504501", OK},
        {"0500005045", NG},   // four bytes
        {"0500005A4501", NG}, // bad nibble
        {"060502", OK},
        {"0605", OK}, // default filter
        {"060601", OK},
        {"060701", NG}, // no mode 7
        {"060500", NG}, // no filter 0
        {"060504", NG},
        {"0F00", OK},
        {"0F01", OK},
        {"0F10", OK},
        {"0F11", OK},
        {"0F12", OK},
        {"0F02", NG},
        {"0F", NG},
        {"09", OK},
        {"0900", NG},
        {"03", "FEFEE058030000504501FD"}, // VFO B (current since 07 01) got 145.5 MHz
        {"04", "FEFEE058040601FD"},       // and WFM Normal
        {"0C", "FEFEE0580C006000FD"},
        {"0D006000", OK},
        {"0D0060", NG},     // two bytes
        {"0D00600A", NG},   // bad nibble
        {"0D00600000", NG}, // four bytes
        {"0300", NG},
        {"1900", NG}, // not an IC-706 command here
        {"02", NG},
    };
    RadioModel radio;
    for (int n : {1, 5, 12, 99, 100, 107})
        radio.setMemory(n, memoryOf(145'500'000, 145'500'000));
    for (const auto& row : rows) {
        EXPECT_EQ(ask(radio, row.body), row.reply) << row.body;
    }
}

TEST(RadioModel, DataRepliesCarryTheCodings)
{
    RadioModel radio;
    struct Row
    {
        const char* set;
        const char* read;
        std::string reply;
    };
    const Row rows[] = {
        {"050000504501", "03", "FEFEE058030000504501FD"}, // 145.5 MHz
        {"050000100700", "03", "FEFEE058030000100700FD"}, // 7.1 MHz
        {"050000009612", "03", "FEFEE058030000009612FD"}, // 1296 MHz
        {"057856341200", "03", "FEFEE058037856341200FD"}, // 12.345678 MHz, 1 Hz digits
        {"060001", "04", "FEFEE058040001FD"},             // LSB Normal
        {"060402", "04", "FEFEE058040402FD"},             // RTTY Narrow
        {"060603", "04", "FEFEE058040603FD"},             // WFM Wide
        {"0D006007", "0C", "FEFEE0580C006007FD"},         // 7.6 MHz offset
    };
    for (const auto& row : rows) {
        ASSERT_EQ(ask(radio, row.set), OK) << row.set;
        EXPECT_EQ(ask(radio, row.read), row.reply) << row.set;
    }
    EXPECT_EQ(radio.vfo(Vfo::A).hz, 12'345'678u);
    radio.setOffsetHz(5'000'000);
    EXPECT_EQ(ask(radio, "0C"), "FEFEE0580C000005FD");
    radio.setOffsetHz(12'345'600);
    EXPECT_EQ(ask(radio, "0C"), "FEFEE0580C563412FD");
}

TEST(RadioModel, AddressingAndReplyAddress)
{
    RadioModel at58(0x58);
    EXPECT_EQ(ask(at58, "08", 0x4E), "") << "a radio at 58 ignores frames to 4E";
    EXPECT_EQ(ask(at58, "08", 0x00), "") << "nor does it answer frames to everyone";
    EXPECT_EQ(ask(at58, "08", 0x58, 0xE1), "FEFEE158FBFD") << "answers go to the sender";

    RadioModel at4e(0x4E);
    EXPECT_EQ(ask(at4e, "08", 0x4E), "FEFEE04EFBFD");
    EXPECT_EQ(ask(at4e, "08", 0x58), "");
    EXPECT_EQ(ask(at4e, "0700", 0x4E), "FEFEE04EFBFD");
    EXPECT_EQ(ask(at4e, "03", 0x4E), "FEFEE04E030050191400FD");
    EXPECT_EQ(at4e.frameLog(), (std::vector<std::string>{"FEFE4EE008FD", "FEFE58E008FD",
                                                         "FEFE4EE00700FD", "FEFE4EE003FD"}))
        << "every frame is logged, whoever it is for";
}

TEST(RadioModel, VfoSelectionAndFrequency)
{
    RadioModel radio;
    ASSERT_EQ(ask(radio, "0701"), OK);
    ASSERT_EQ(ask(radio, "050000504501"), OK);
    ASSERT_EQ(ask(radio, "0700"), OK);
    EXPECT_EQ(ask(radio, "03"), "FEFEE058030050191400FD") << "VFO A kept its 14.195 MHz";
    EXPECT_EQ(radio.vfo(Vfo::B).hz, 145'500'000u);
    EXPECT_EQ(radio.currentVfo(), Vfo::A);
}

TEST(RadioModel, MemoryWriteStoresCurrentAndOtherVfo)
{
    RadioModel radio;
    radio.setVfo(Vfo::A, {145'500'000, kModeFm, kFilterNormal});
    radio.setVfo(Vfo::B, {144'900'000, kModeFm, kFilterNarrow});
    ASSERT_EQ(ask(radio, "080012"), NG) << "a blank memory answers NG";
    EXPECT_EQ(radio.selectedMemory(), 12) << "and is selected all the same";
    EXPECT_FALSE(radio.memoryMode()) << "selecting a memory in VFO mode stays in VFO mode";
    ASSERT_EQ(ask(radio, "0F12"), OK);
    ASSERT_EQ(ask(radio, "09"), OK);
    ASSERT_TRUE(radio.memory(12));
    EXPECT_EQ(radio.memory(12)->receive.hz, 145'500'000u);
    EXPECT_EQ(radio.memory(12)->transmit.hz, 144'900'000u);
    EXPECT_EQ(radio.memory(12)->transmit.filter, kFilterNarrow);
    EXPECT_EQ(radio.memory(12)->duplex, Duplex::Plus);

    // From VFO B the roles swap: the current VFO is what the memory shows.
    ASSERT_EQ(ask(radio, "0701"), OK);
    ASSERT_EQ(ask(radio, "09"), OK);
    EXPECT_EQ(radio.memory(12)->receive.hz, 144'900'000u);
    EXPECT_EQ(radio.memory(12)->transmit.hz, 145'500'000u);
    EXPECT_EQ(radio.memoryWrites(), 2u);
}

TEST(RadioModel, MemoryModeWorksOnACopy)
{
    RadioModel radio;
    radio.setMemory(3, memoryOf(433'500'000, 433'500'000));
    ASSERT_EQ(ask(radio, "080003"), OK);
    ASSERT_EQ(ask(radio, "08"), OK);
    EXPECT_TRUE(radio.memoryMode());
    EXPECT_EQ(ask(radio, "03"), "FEFEE058030000503304FD");
    ASSERT_EQ(ask(radio, "050000004304"), OK); // tune in memory mode: the copy only
    EXPECT_EQ(radio.memory(3)->receive.hz, 433'500'000u);
    EXPECT_EQ(radio.vfo(Vfo::A).hz, 14'195'000u) << "the VFO is not touched";
    ASSERT_EQ(ask(radio, "09"), OK); // until a memory write
    EXPECT_EQ(radio.memory(3)->receive.hz, 443'000'000u);

    // Selecting another memory in memory mode recalls it; a blank one shows nothing.
    ASSERT_EQ(ask(radio, "080004"), NG);
    EXPECT_EQ(ask(radio, "03"), NG);
    EXPECT_EQ(ask(radio, "04"), NG);
    EXPECT_EQ(ask(radio, "050000504501"), NG);
    EXPECT_EQ(ask(radio, "09"), NG) << "nothing to store from a blank memory";
    EXPECT_FALSE(radio.memory(4));
    ASSERT_EQ(ask(radio, "0700"), OK);
    EXPECT_FALSE(radio.memoryMode()) << "selecting a VFO leaves memory mode";
    EXPECT_EQ(ask(radio, "03"), "FEFEE058030050191400FD");
}

TEST(RadioModel, MemoryToVfo)
{
    RadioModel radio;
    Memory m = memoryOf(145'600'000, 145'000'000, kModeFm, kFilterWide);
    m.transmit.mode = kModeAm;
    m.duplex = Duplex::Minus;
    m.offsetHz = 600'000;
    radio.setMemory(20, m);
    radio.setOffsetHz(100'000);
    ASSERT_EQ(ask(radio, "080020"), OK);
    ASSERT_EQ(ask(radio, "0701"), OK); // current VFO B: the recall goes there
    ASSERT_EQ(ask(radio, "0A"), OK);
    EXPECT_EQ(radio.vfo(Vfo::B), m.receive);
    EXPECT_EQ(radio.vfo(Vfo::A), m.transmit);
    EXPECT_EQ(radio.duplex(), Duplex::Minus);
    EXPECT_EQ(radio.offsetHz(), 600'000u);
    EXPECT_FALSE(radio.memoryMode());

    ASSERT_EQ(ask(radio, "080021"), NG);
    EXPECT_EQ(ask(radio, "0A"), NG) << "a blank memory cannot go to the VFO";
    EXPECT_EQ(radio.vfo(Vfo::B), m.receive) << "and the VFOs stay as they were";
}

TEST(RadioModel, SplitAndDuplexExcludeEachOther)
{
    RadioModel radio;
    struct Row
    {
        const char* body;
        bool split;
        Duplex duplex;
    };
    const Row rows[] = {
        {"0F12", false, Duplex::Plus},  {"0F01", true, Duplex::Off},
        {"0F11", false, Duplex::Minus}, {"0F00", false, Duplex::Minus},
        {"0F10", false, Duplex::Off},   {"0F01", true, Duplex::Off},
        {"0F10", true, Duplex::Off},    {"0F00", false, Duplex::Off},
    };
    for (const auto& row : rows) {
        ASSERT_EQ(ask(radio, row.body), OK);
        EXPECT_EQ(radio.split(), row.split) << row.body;
        EXPECT_EQ(radio.duplex(), row.duplex) << row.body;
    }
}

TEST(RadioModel, SilentRadioDoesNothing)
{
    RadioModel radio;
    radio.setSilent(true);
    EXPECT_EQ(ask(radio, "050000504501"), "");
    EXPECT_EQ(radio.vfo(Vfo::A).hz, 14'195'000u);
    EXPECT_EQ(radio.frameLog().size(), 1u);
    radio.setSilent(false);
    EXPECT_EQ(ask(radio, "08"), OK);
}

TEST(RadioModel, Refusals)
{
    RadioModel radio;
    radio.setMemory(7, memoryOf(7'100'000, 7'100'000));
    radio.setMemory(8, memoryOf(7'200'000, 7'200'000));
    radio.addRefusal({fromHex("0A"), 7, -1});
    radio.addRefusal({fromHex("0F01"), 0, 2});

    ASSERT_EQ(ask(radio, "080007"), OK);
    EXPECT_EQ(ask(radio, "0A"), NG);
    EXPECT_EQ(radio.vfo(Vfo::A).hz, 14'195'000u) << "a refused command is not carried out";
    ASSERT_EQ(ask(radio, "080008"), OK);
    EXPECT_EQ(ask(radio, "0A"), OK) << "only memory 7 is refused";

    EXPECT_EQ(ask(radio, "0F00"), OK) << "prefix 0F01 leaves 0F00 alone";
    EXPECT_EQ(ask(radio, "0F01"), NG);
    EXPECT_EQ(ask(radio, "0F01"), NG);
    EXPECT_EQ(ask(radio, "0F01"), OK) << "the count is used up";

    radio.clearRefusals();
    ASSERT_EQ(ask(radio, "080007"), OK);
    EXPECT_EQ(ask(radio, "0A"), OK);

    // A refused selection is still carried out, as the radio's own NG to a selection is.
    radio.addRefusal({fromHex("0800"), 0, 1});
    EXPECT_EQ(ask(radio, "080008"), NG);
    EXPECT_EQ(radio.selectedMemory(), 8);
}

TEST(RadioModel, TransceiveBroadcastsChanges)
{
    RadioModel radio;
    EXPECT_EQ(ask(radio, "050000504501"), OK) << "no broadcast with transceive off";
    radio.setTransceive(true);
    EXPECT_EQ(ask(radio, "050000504501"), OK) << "nothing changed, nothing broadcast";
    EXPECT_EQ(ask(radio, "050000604501"), OK + "FEFE0058000000604501FD");
    EXPECT_EQ(ask(radio, "060502"), OK + "FEFE0058010502FD");
    // VFO B differs in frequency and mode: both broadcasts.
    EXPECT_EQ(ask(radio, "0701"), OK + "FEFE0058000000050700FD" + "FEFE0058010001FD");
    EXPECT_EQ(toHex(radio.tune(7'100'000)), "FEFE0058000000100700FD");
    EXPECT_EQ(toHex(radio.selectMode(kModeCw, kFilterNarrow)), "FEFE0058010302FD");
    EXPECT_EQ(toHex(radio.frequencyBroadcastNow()), "FEFE0058000000100700FD");
    EXPECT_EQ(toHex(radio.modeBroadcastNow()), "FEFE0058010302FD");
}

TEST(RadioModel, ReceiveTakesPiecesAndNoise)
{
    RadioModel radio;
    std::string line = fromHex("0055FEFE58E0");
    EXPECT_EQ(radio.receive(line), "");
    EXPECT_EQ(toHex(radio.receive(fromHex("0700FDFE"))), OK);
    EXPECT_EQ(toHex(radio.receive(fromHex("FE58E003FDFEFE58E004FD"))), "FEFEE058030050191400FD"
                                                                       "FEFEE058040101FD");
}

TEST(RadioModel, MemoryNames)
{
    EXPECT_EQ(memoryName(1), "1");
    EXPECT_EQ(memoryName(99), "99");
    EXPECT_EQ(memoryName(100), "1A");
    EXPECT_EQ(memoryName(107), "C2");
    EXPECT_EQ(memoryName(0), "");
    EXPECT_EQ(memoryName(108), "");
    EXPECT_EQ(memoryNumber("c2"), 107);
    EXPECT_EQ(memoryNumber("3b"), 105);
    EXPECT_EQ(memoryNumber("42"), 42);
    EXPECT_EQ(memoryNumber("107"), 107);
    EXPECT_EQ(memoryNumber("0"), std::nullopt);
    EXPECT_EQ(memoryNumber("108"), std::nullopt);
    EXPECT_EQ(memoryNumber("1C"), std::nullopt);
    EXPECT_EQ(memoryNumber(""), std::nullopt);
    EXPECT_THROW(RadioModel().memory(108), std::out_of_range);
    EXPECT_THROW(RadioModel().setMemory(0, Memory{}), std::out_of_range);
}

TEST(RadioModel, MemoryClearEmptiesTheSelectedMemory)
{
    RadioModel radio;
    radio.setMemory(12, memoryOf(145'500'000, 145'500'000));
    radio.setMemory(13, memoryOf(145'600'000, 145'600'000));
    ASSERT_EQ(ask(radio, "080012"), OK);
    EXPECT_EQ(ask(radio, "0B00"), NG) << "no data after the command";
    EXPECT_EQ(ask(radio, "0B"), OK);
    EXPECT_FALSE(radio.memory(12));
    EXPECT_TRUE(radio.memory(13)) << "only the selected memory";
    EXPECT_EQ(ask(radio, "0B"), OK) << "a blank memory stays blank";
    ASSERT_EQ(ask(radio, "080013"), OK);
    ASSERT_EQ(ask(radio, "08"), OK);
    EXPECT_EQ(ask(radio, "0B"), OK) << "in memory mode too";
    EXPECT_FALSE(radio.memory(13));
    EXPECT_EQ(ask(radio, "03"), NG) << "and the working copy is gone with it";
}

TEST(RadioModel, MisstoredMemoryAnswersOkYetKeepsItsOldContents)
{
    RadioModel radio;
    const Memory old = memoryOf(145'500'000, 145'500'000);
    radio.setMemory(12, old);
    radio.setMisstore(Misstore{12, 0});
    radio.setVfo(Vfo::A, {7'050'000, kModeLsb, kFilterNormal});
    ASSERT_EQ(ask(radio, "080012"), OK);
    EXPECT_EQ(ask(radio, "09"), OK);
    EXPECT_EQ(radio.memory(12), old);
    ASSERT_EQ(ask(radio, "080013"), NG);
    EXPECT_EQ(ask(radio, "09"), OK);
    ASSERT_TRUE(radio.memory(13)) << "every other memory stores what it is told";
    EXPECT_EQ(radio.memory(13)->receive.hz, 7'050'000u);
}

TEST(RadioModel, MisstoredMemoryShiftsANewReceiveFrequency)
{
    RadioModel radio;
    radio.setMisstore(Misstore{12, 5000});
    radio.setVfo(Vfo::A, {145'500'000, kModeFm, kFilterNormal});
    radio.setVfo(Vfo::B, {145'500'000, kModeFm, kFilterNormal});
    ASSERT_EQ(ask(radio, "080012"), NG);
    EXPECT_EQ(ask(radio, "09"), OK);
    ASSERT_TRUE(radio.memory(12));
    EXPECT_EQ(radio.memory(12)->receive.hz, 145'505'000u);
    EXPECT_EQ(radio.memory(12)->transmit.hz, 145'500'000u);
    // Stores of the memory's own contents (memory mode) do not walk it further.
    ASSERT_EQ(ask(radio, "08"), OK);
    EXPECT_EQ(ask(radio, "09"), OK);
    EXPECT_EQ(ask(radio, "09"), OK);
    EXPECT_EQ(radio.memory(12)->receive.hz, 145'505'000u);

    radio.setMisstore(Misstore{12, -10'000'000'000});
    ASSERT_EQ(ask(radio, "0700"), OK);
    EXPECT_EQ(ask(radio, "09"), OK);
    EXPECT_EQ(radio.memory(12)->receive.hz, 0u) << "never below 0 Hz";
}

TEST(RadioModel, MisstoreTexts)
{
    struct Row
    {
        const char* text;
        std::optional<Misstore> expected;
    };
    const Row rows[] = {
        {"12", Misstore{12, 0}},
        {"12+5000", Misstore{12, 5000}},
        {"1a-100", Misstore{100, -100}},
        {"C2+1", Misstore{107, 1}},
        {"0", std::nullopt},
        {"108", std::nullopt},
        {"12+", std::nullopt},
        {"12+5k", std::nullopt},
        {"12+-5", std::nullopt},
        {"+5", std::nullopt},
        {"", std::nullopt},
        {"12+1234567890", std::nullopt},
    };
    for (const Row& row : rows) {
        std::optional<Misstore> got = parseMisstore(row.text);
        ASSERT_EQ(got.has_value(), row.expected.has_value()) << row.text;
        if (got) {
            EXPECT_EQ(got->memory, row.expected->memory) << row.text;
            EXPECT_EQ(got->shiftHz, row.expected->shiftHz) << row.text;
        }
    }
}
