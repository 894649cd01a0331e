// The program's write script (24 exchanges per row) followed by its read procedure (16
// exchanges per memory), played against the radio model exactly as the program sends them:
// what was written must come back, for every mode, filter and split/duplex text, memories 1..99
// and the special locations. The exchange and the decoding are rebuilt here from the protocol,
// independently of the program's own civ/ and channels/ code.

#include "sim/RadioModel.h"
#include "tests/support/BandRules.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <map>
#include <stdexcept>

using namespace memvane::sim;

namespace {

const std::array<std::string, 9> kModeNames = {"LSB", "USB",     "AM", "CW", "RTTY",
                                               "FM",  "Wide FM", "",   ""};
const std::array<std::string, 8> kFilterNames = {"", "Normal", "Narrow", "Wide", "", "", "", ""};
const std::map<std::string, std::string> kSplitCodes = {{"Split Off", "00"},
                                                        {"Split On", "01"},
                                                        {"Duplex Off", "10"},
                                                        {"Duplex --", "11"},
                                                        {"Duplex +", "12"}};

struct NoReply : std::runtime_error
{
    NoReply() : std::runtime_error("no reply") {}
};

// One command exchange as the program does it: the received text is the echo plus the answer;
// the expected text is searched as text; a refusal counts as an error and yields nothing; no
// usable answer aborts.
class Line
{
public:
    explicit Line(RadioModel& radio) : m_radio(radio) {}

    std::string exchange(const std::string& bodyHex, const std::string& suffix)
    {
        std::string frame = fromHex("FEFE58E0" + bodyHex + "FD");
        std::string text = toHex(frame + m_radio.receive(frame));
        std::string look = "FEFEE058" + suffix;
        auto at = text.find(look);
        if (at != std::string::npos) {
            std::string rest = text.substr(at + look.size());
            auto fd = rest.find("FD");
            return fd == std::string::npos ? "" : rest.substr(0, fd);
        }
        ++errors;
        auto ng = text.find("FEFEE058FA");
        if (ng != std::string::npos && text.find("FD", ng) != std::string::npos)
            return "";
        throw NoReply();
    }

    int errors = 0;
    const RadioModel& radio() const { return m_radio; }

private:
    RadioModel& m_radio;
};

struct Row
{
    std::string loc; // "Mem 12", "Mem 1A"
    std::string freqA, freqB, mode, filter, split;
    std::string offset; // read only
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Row& r)
{
    return os << r.loc << " | " << r.freqA << " | " << r.freqB << " | " << r.mode << " | "
              << r.filter << " | " << r.split << " | " << r.offset;
}

std::string bcdByte(int n)
{
    return std::string{static_cast<char>('0' + n / 10 % 10), static_cast<char>('0' + n % 10)};
}

int locationNumber(const std::string& loc)
{
    std::string name = loc.substr(loc.find(' ') + 1);
    auto n = memoryNumber(name);
    if (!n)
        throw std::invalid_argument(loc);
    return *n;
}

std::string locationBytes(int n)
{
    return bcdByte(n / 100) + bcdByte(n % 100);
}

// "0145.500000" -> "0000504501": pairs at 10-11, 8-9, 6-7, 3-4, 1-2.
std::string freqBytes(const std::string& text)
{
    return text.substr(9, 2) + text.substr(7, 2) + text.substr(5, 2) + text.substr(2, 2) +
           text.substr(0, 2);
}

template <std::size_t N>
std::string codeOf(const std::array<std::string, N>& names, const std::string& text)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (!names[i].empty() && names[i].find(text) != std::string::npos)
            return bcdByte(static_cast<int>(i));
    }
    throw std::invalid_argument(text);
}

void writeRow(Line& line, const Row& row)
{
    std::string loc = locationBytes(locationNumber(row.loc));
    std::string a = freqBytes(row.freqA), b = freqBytes(row.freqB);
    std::string mf = codeOf(kModeNames, row.mode) + codeOf(kFilterNames, row.filter);
    std::string ss = kSplitCodes.at(row.split);
    const std::string script[24] = {"08",   "08" + loc, "0700", "05" + a, "09",      "06" + mf,
                                    "0F00", "09",       "0F10", "09",     "0701",    "05" + b,
                                    "09",   "06" + mf,  "0F00", "09",     "0F10",    "09",
                                    "08",   "06" + mf,  "0F00", "09",     "0F" + ss, "09"};
    // A blank memory answers its selection NG and is selected all the same: that one refusal
    // is checked here, line.errors counts the others.
    const bool blank = !line.radio().memory(locationNumber(row.loc));
    for (int i = 0; i < 24; ++i) {
        const int before = line.errors;
        line.exchange(script[i], "FB");
        if (i == 1) {
            EXPECT_EQ(line.errors - before, blank ? 1 : 0) << row.loc << " selected";
            line.errors = before;
        }
    }
}

std::string decodeFreq(const std::string& h)
{
    if (h.size() < 10)
        return ".";
    return h.substr(8, 2) + h.substr(6, 2) + "." + h.substr(4, 2) + h.substr(2, 2) + h.substr(0, 2);
}

std::string decodeOffset(const std::string& h)
{
    if (h.size() < 6)
        return ".";
    return h.substr(4, 2) + "." + h.substr(2, 2) + h.substr(0, 2);
}

std::string splitText(const std::string& rx, const std::string& tx)
{
    if (rx == tx)
        return "Duplex Off";
    return memvane::test::bandSplitText(std::stod(tx));
}

// The channel procedure of a full read for memory n; errors counted on the line.
Row readMemory(Line& line, int n, const std::string& label)
{
    std::string sel = locationBytes(n);
    line.exchange("08", "FB");
    line.exchange("08" + sel, "");
    line.exchange("0700", "FB");
    line.exchange("08", "FB");
    line.exchange("0F01", "FB");
    line.exchange("09", "FB");
    line.exchange("0A", "FB");
    line.exchange("0700", "FB");
    std::string rx = decodeFreq(line.exchange("03", "03"));
    line.exchange("0701", "FB");
    std::string tx = decodeFreq(line.exchange("03", "03"));
    std::string offset = decodeOffset(line.exchange("0C", "0C"));
    std::string mf = line.exchange("04", "04");
    line.exchange("08", "FB");
    line.exchange("0F00", "FB");
    line.exchange("09", "FB");
    EXPECT_EQ(mf.size(), 4u) << label << ": the program stops on a mode reply it cannot read";
    std::string mode = kModeNames.at(static_cast<std::size_t>(std::stoi(mf.substr(0, 2))));
    std::string filter = kFilterNames.at(static_cast<std::size_t>(std::stoi(mf.substr(2, 2))));
    return Row{label, tx, rx, mode, filter, splitText(rx, tx), offset};
}

std::string mhz(double value)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%011.6f", value);
    return buf;
}

// Rows for every location: modes, filters and split/duplex texts in rotation, frequencies that
// give back the same split/duplex text on reading.
std::vector<Row> sampleRows()
{
    std::vector<Row> rows;
    for (int n = kFirstMemory; n <= kLastMemory; ++n) {
        double step = n * 0.0125;
        std::string rx, tx, split;
        switch (n % 6) {
        case 0: // simplex: both VFOs the same
            rx = tx = mhz((n / 6) % 2 ? 7.0 + step : 145.2 + step / 10);
            split = "Duplex Off";
            break;
        case 1: // 2 m repeater, transmit 600 kHz down
            rx = mhz(145.6 + step / 10);
            tx = mhz(145.0 + step / 10);
            split = "Duplex --";
            break;
        case 2: // 70 cm repeater
            rx = mhz(438.6 + step / 10);
            tx = mhz(431.0 + step / 10);
            split = "Duplex +";
            break;
        case 3: // 6 m repeater
            rx = mhz(51.9 - step / 100);
            tx = mhz(51.3 - step / 100);
            split = "Duplex +";
            break;
        case 4: // HF split, receive and transmit on different VFOs
            rx = mhz(3.5 + step / 10);
            tx = mhz(14.0 + step / 10);
            split = "Split On";
            break;
        default: // 4 m split
            rx = mhz(70.0 + step / 1000);
            tx = mhz(70.4 - step / 1000);
            split = "Split On";
            break;
        }
        std::string mode = kModeNames[static_cast<std::size_t>(n % 7)];
        std::string filter = kFilterNames[static_cast<std::size_t>(n % 3 + 1)];
        rows.push_back(Row{"Mem " + memoryName(n), tx, rx, mode, filter, split, "00.6000"});
    }
    return rows;
}

} // namespace

TEST(RoundTrip, WriteThenReadGivesBackEveryRow)
{
    RadioModel radio;
    Line line(radio);
    auto rows = sampleRows();
    ASSERT_EQ(rows.size(), 107u);

    for (const auto& row : rows)
        writeRow(line, row);
    EXPECT_EQ(line.errors, 0) << "the radio accepted every command of the write script";
    EXPECT_EQ(radio.memoryWrites(), 107u * 8);

    for (int n = kFirstMemory; n <= kLastMemory; ++n) {
        const Row& written = rows[static_cast<std::size_t>(n - 1)];
        Row read = readMemory(line, n, written.loc);
        EXPECT_EQ(read, written);
    }
    EXPECT_EQ(line.errors, 0) << "and every command of the read procedure";
}

TEST(RoundTrip, EveryModeAndFilterComesBack)
{
    RadioModel radio;
    Line line(radio);
    int n = 1;
    for (std::size_t mode = 0; mode <= 6; ++mode) {
        for (std::size_t filter = 1; filter <= 3; ++filter, ++n) {
            Row row{"Mem " + std::to_string(n), "0028.500000", "0028.500000", kModeNames[mode],
                    kFilterNames[filter],       "Duplex Off",  "00.6000"};
            writeRow(line, row);
            EXPECT_EQ(readMemory(line, n, row.loc), row);
        }
    }
    EXPECT_EQ(line.errors, 0);
}

TEST(RoundTrip, WrittenMemoryHoldsTheSplitDuplexCode)
{
    RadioModel radio;
    Line line(radio);
    struct Case
    {
        const char* text;
        bool split;
        Duplex duplex;
    };
    const Case cases[] = {{"Split Off", false, Duplex::Off},
                          {"Split On", true, Duplex::Off},
                          {"Duplex Off", false, Duplex::Off},
                          {"Duplex --", false, Duplex::Minus},
                          {"Duplex +", false, Duplex::Plus}};
    for (const auto& c : cases) {
        writeRow(line, Row{"Mem c1", "0145.000000", "0145.600000", "FM", "Normal", c.text, ""});
        const auto& m = radio.memory(106);
        ASSERT_TRUE(m) << c.text;
        EXPECT_EQ(m->split, c.split) << c.text;
        EXPECT_EQ(m->duplex, c.duplex) << c.text;
        EXPECT_EQ(m->receive.hz, 145'600'000u) << "VFO B, written last, is what the memory shows";
        EXPECT_EQ(m->transmit.hz, 145'000'000u);
        EXPECT_EQ(m->receive.mode, kModeFm);
        EXPECT_EQ(m->transmit.mode, kModeFm);
    }
    // Reading stores the memory twice, the last time with split off; the frequencies decide the
    // text that comes back.
    Row read = readMemory(line, 106, "Mem C1");
    EXPECT_EQ(read.split, "Duplex --");
    EXPECT_FALSE(radio.memory(106)->split);
    EXPECT_EQ(radio.memory(106)->transmit.hz, 145'000'000u);
    EXPECT_EQ(line.errors, 0);
}

TEST(RoundTrip, SplitOffWithEqualFrequenciesReadsAsDuplexOff)
{
    RadioModel radio;
    Line line(radio);
    writeRow(line, Row{"Mem 9", "0007.050000", "0007.050000", "LSB", "Wide", "Split Off", ""});
    EXPECT_EQ(readMemory(line, 9, "Mem 9").split, "Duplex Off");
}

TEST(RoundTrip, ReadOfABlankMemoryIsRefusedAndLeavesItBlank)
{
    RadioModel radio;
    Line line(radio);
    Row row = readMemory(line, 42, "Mem 42");
    // The memory write in memory mode (6 and 16) and memory to VFO (7) have nothing to work on.
    EXPECT_EQ(line.errors, 3);
    EXPECT_FALSE(radio.memory(42));
    EXPECT_EQ(row.mode, "LSB") << "the mode read still answers, from VFO B";
    EXPECT_FALSE(radio.split()) << "the read switched split off again";
}

TEST(RoundTrip, ReadingTwiceGivesTheSameRow)
{
    RadioModel radio;
    Line line(radio);
    Row row{"Mem 77", "0431.500000", "0439.100000", "FM", "Narrow", "Duplex +", "00.6000"};
    writeRow(line, row);
    EXPECT_EQ(readMemory(line, 77, row.loc), row);
    EXPECT_EQ(readMemory(line, 77, row.loc), row);
    EXPECT_EQ(line.errors, 0);
}

TEST(RoundTrip, OffsetOfTheRadioIsStoredWithTheMemory)
{
    RadioModel radio;
    Line line(radio);
    radio.setOffsetHz(7'600'000);
    Row row{"Mem 3", "0431.500000", "0439.100000", "FM", "Normal", "Duplex +", "07.6000"};
    writeRow(line, row);
    radio.setOffsetHz(100'000);
    EXPECT_EQ(readMemory(line, 3, row.loc), row) << "memory to VFO brings the offset back";
}

TEST(RoundTrip, SilentRadioAbortsTheFirstExchange)
{
    RadioModel radio;
    radio.setSilent(true);
    Line line(radio);
    EXPECT_THROW(readMemory(line, 1, "Mem 1"), NoReply);
    EXPECT_EQ(line.errors, 1);
    EXPECT_EQ(radio.frameLog(), std::vector<std::string>{"FEFE58E008FD"});
}
