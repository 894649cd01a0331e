#include "sim/SimFrame.h"

#include <gtest/gtest.h>

using namespace memvane::sim;

namespace {

std::vector<std::string> hexFrames(const std::vector<Frame>& frames)
{
    std::vector<std::string> out;
    for (const auto& f : frames)
        out.push_back(toHex(f.bytes()));
    return out;
}

} // namespace

TEST(SimFrame, HexTextBothWays)
{
    EXPECT_EQ(toHex(std::string("\xFE\xFE\xE0\x58\xFB\xFD", 6)), "FEFEE058FBFD");
    EXPECT_EQ(toHex(std::string("\x00\x0A", 2)), "000A");
    EXPECT_EQ(fromHex("FE FE 58 e0 08 FD"), std::string("\xFE\xFE\x58\xE0\x08\xFD", 6));
    EXPECT_THROW(fromHex("FEF"), std::invalid_argument);
    EXPECT_THROW(fromHex("FG"), std::invalid_argument);
}

TEST(SimFrame, BcdBytes)
{
    struct Row
    {
        int value;
        std::uint8_t byte;
    };
    for (auto [value, byte] : {Row{0, 0x00}, Row{7, 0x07}, Row{12, 0x12}, Row{99, 0x99}}) {
        EXPECT_EQ(toBcd(value), byte) << value;
        EXPECT_EQ(fromBcd(byte), value) << value;
    }
    EXPECT_EQ(fromBcd(0x1A), -1);
    EXPECT_EQ(fromBcd(0xA1), -1);
    EXPECT_THROW(toBcd(100), std::out_of_range);
    EXPECT_THROW(toBcd(-1), std::out_of_range);
}

TEST(SimFrame, FrequencyBytesLeastSignificantFirst)
{
    EXPECT_EQ(toHex(toBcdLe(145'500'000, 5)), "0000504501");
    EXPECT_EQ(toHex(toBcdLe(7'050'000, 5)), "0000050700");
    EXPECT_EQ(toHex(toBcdLe(1'296'000'000, 5)), "0000009612");
    EXPECT_EQ(toHex(toBcdLe(9'999'999'999ULL, 5)), "9999999999");
    EXPECT_EQ(toHex(toBcdLe(6'000, 3)), "006000"); // offset 0.6 MHz in 100 Hz steps
    EXPECT_THROW(toBcdLe(10'000'000'000ULL, 5), std::out_of_range);
    EXPECT_EQ(fromBcdLe(fromHex("0000504501")), 145'500'000);
    EXPECT_EQ(fromBcdLe(fromHex("0000500A01")), -1);
    EXPECT_EQ(fromBcdLe(""), -1);
}

TEST(SimFrame, BroadcastFrames)
{
    EXPECT_EQ(toHex(frequencyBroadcast(0x58, 145'500'000)), "FEFE0058000000504501FD");
    EXPECT_EQ(toHex(modeBroadcast(0x58, 0x05, 0x02)), "FEFE00580105"
                                                      "02FD");
}

TEST(FrameParser, WholeFrame)
{
    FrameParser p;
    auto frames = p.feed(fromHex("FEFE58E00800 12FD"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].to, 0x58);
    EXPECT_EQ(frames[0].from, 0xE0);
    EXPECT_EQ(frames[0].command, 0x08);
    EXPECT_EQ(frames[0].data, fromHex("0012"));
    EXPECT_EQ(p.pending(), 0u);
}

TEST(FrameParser, FramesSplitAcrossCalls)
{
    std::string line = fromHex("FEFE58E008FD"
                               "FEFE58E0050000504501FD"
                               "FEFE58E003FD");
    // Every possible split point, and byte by byte.
    for (std::size_t cut = 0; cut <= line.size(); ++cut) {
        FrameParser p;
        auto a = p.feed(line.substr(0, cut));
        auto b = p.feed(line.substr(cut));
        a.insert(a.end(), b.begin(), b.end());
        EXPECT_EQ(hexFrames(a), (std::vector<std::string>{"FEFE58E008FD", "FEFE58E0050000504501FD",
                                                          "FEFE58E003FD"}))
            << "cut at " << cut;
    }
    FrameParser p;
    std::vector<Frame> all;
    for (char c : line) {
        auto f = p.feed(std::string(1, c));
        all.insert(all.end(), f.begin(), f.end());
    }
    EXPECT_EQ(all.size(), 3u);
}

TEST(FrameParser, NoiseIsSkipped)
{
    struct Row
    {
        const char* name;
        const char* input;
        std::vector<std::string> frames;
    };
    const Row rows[] = {
        {"noise before and between",
         "0013FD55FEFE58E008FD77FE00FEFE58E003FD",
         {"FEFE58E008FD", "FEFE58E003FD"}},
        {"extra preamble bytes", "FEFEFEFE58E008FD", {"FEFE58E008FD"}},
        {"a lone FE is not a preamble", "FE58E008FDFEFE58E003FD", {"FEFE58E003FD"}},
        {"frame cut short by a new one", "FEFE58E00500FEFE58E003FD", {"FEFE58E003FD"}},
        {"too short to be a frame", "FEFE58E0FDFEFEFD", {}},
        {"end mark alone", "FDFDFD", {}},
        {"broadcast to 00 is a frame", "FEFE0058000000504501FD", {"FEFE0058000000504501FD"}},
    };
    for (const auto& row : rows) {
        FrameParser p;
        EXPECT_EQ(hexFrames(p.feed(fromHex(row.input))), row.frames) << row.name;
    }
}

TEST(FrameParser, OverlongFrameIsDropped)
{
    FrameParser p;
    std::string junk = fromHex("FEFE58E005") + std::string(FrameParser::kMaxFrameLength, '\x11');
    auto frames = p.feed(junk + fromHex("FD") + fromHex("FEFE58E003FD"));
    EXPECT_EQ(hexFrames(frames), std::vector<std::string>{"FEFE58E003FD"});
}
