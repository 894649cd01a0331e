#include "files/ChirpCsv.h"

#include "core/Errors.h"
#include "core/FileStore.h"
#include "files/TextFile.h"
#include "tests/support/FakeUi.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace memvane;
using memvane::test::FakeUi;
using memvane::test::TempDir;

namespace {

const std::string kNoTone = ",,88.5,88.5,023,NN,023,Tone->Tone,";
const std::string kHeader = std::string(kChirpCsvHeader) + "\r\n";

ChannelRow row(const std::string& loc, const std::string& tx, const std::string& rx,
               const std::string& mode, const std::string& filter, const std::string& split,
               const std::string& comment = "", const std::string& offset = "00.6000")
{
    return {false, {loc, tx, rx, mode, filter, split, comment, offset}};
}

// Rows as readable lines, so that a difference shows in the test's output.
std::vector<std::string> joined(const std::vector<ChannelRow>& rows)
{
    std::vector<std::string> out;
    for (const ChannelRow& r : rows) {
        std::string line = r.write ? "true" : "false";
        for (const std::string& t : r.texts)
            line += "|" + t;
        out.push_back(line);
    }
    return out;
}

// The exported line of one row, without its line end.
std::string exported(const ChannelRow& r)
{
    ChirpExport out = formatChirpCsv({r});
    EXPECT_EQ(out.text.substr(0, kHeader.size()), kHeader);
    std::string line = out.text.substr(kHeader.size());
    return line.empty() ? "(left out: " + (out.report.empty() ? "" : out.report[0]) + ")"
                        : line.substr(0, line.size() - 2);
}

struct ExportCase
{
    const char* what;
    ChannelRow row;
    std::string line;
};

} // namespace

TEST(ChirpCsvExport, TransmitSideModeAndLocation)
{
    const ExportCase cases[] = {
        {"simplex", row("Mem 1", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off"),
         "1,,145.500000,,0.600000" + kNoTone + "FM,5.00,,,,,,,"}, // the offset text kept
        {"repeater below", row("Mem 2", "0145.175000", "0145.775000", "FM", "Normal", "Duplex --"),
         "2,,145.775000,-,0.600000" + kNoTone + "FM,5.00,,,,,,,"},
        // A read names 70 cm rows "Duplex +" whichever way they shift.
        {"\"Duplex +\" text, transmit below",
         row("Mem 3", "0431.500000", "0439.100000", "FM", "Narrow", "Duplex +", "Relay, east"),
         "3,,439.100000,-,7.600000" + kNoTone + "NFM,5.00,,,\"Relay, east\",,,,"},
        {"\"Duplex --\" text, transmit above",
         row("Mem 4", "0145.800000", "0145.200000", "FM", "Normal", "Duplex --", "", "00.0000"),
         "4,,145.200000,+,0.600000" + kNoTone + "FM,5.00,,,,,,,"},
        {"cross-band repeater",
         row("Mem 5", "0435.200000", "0145.200000", "FM", "Normal", "Duplex +", "", "00.0000"),
         "5,,145.200000,+,290.000000" + kNoTone + "FM,5.00,,,,,,,"},
        {"\"Duplex Off\" transmits on its receive frequency",
         row("Mem 6", "0145.800000", "0145.200000", "FM", "Normal", "Duplex Off"),
         "6,,145.200000,,0.600000" + kNoTone + "FM,5.00,,,,,,,"},
        {"name in the item text",
         {false, {"Mem 10", "0145.5", "0145.5", "FM", "Normal", "Duplex Off", "c", "", "DB0XY"}},
         "10,DB0XY,145.500000,,0.000000" + kNoTone + "FM,5.00,,,c,,,,"},
        {"split", row("Mem 7", "0014.025000", "0003.500000", "CW", "Narrow", "Split On"),
         "7,,3.500000,split,14.025000" + kNoTone + "NCW,5.00,,,offset 00.6000,,,,"},
        {"split text, equal frequencies",
         row("Mem 8", "0028.500000", "0028.500000", "AM", "Wide", "Split On", "net"),
         "8,,28.500000,split,28.500000" + kNoTone +
             "AM,5.00,,,net; filter Wide; offset 00.6000,,,,"},
        {"wide FM", row("Mem 33", "0145.612500", "0145.612500", "Wide FM", "Normal", "Duplex Off"),
         "33,,145.612500,,0.600000" + kNoTone + "WFM,5.00,,,,,,,"},
        {"special location, any case, Windows-1252 comment",
         row("Mem c2", "0007.050000", "0007.050000", "LSB", "Narrow", "Duplex Off", "\xE9t\xE9"),
         "107,,7.050000,,0.600000" + kNoTone + "LSB,5.00,,,\xC3\xA9t\xC3\xA9; filter Narrow,,,,"},
        {"blank row", row("Mem 4", " ", " ", " ", " ", " ", " ", " "), "(left out: )"},
        {"no location", row("Mem x", "0145.5", "0145.5", "FM", "Normal", "Duplex Off"),
         "(left out: Mem x: the location is not a memory number: row left out)"},
        {"location 0", row("Mem 0", "0145.5", "0145.5", "FM", "Normal", "Duplex Off"),
         "(left out: Mem 0: memory 0 is not one of the radio's: row left out)"},
        {"numeric mode", row("Mem 9", "0145.5", "0145.5", "5", "1", "Duplex Off"),
         "(left out: Mem 9: mode '5' has no CHIRP mode: row left out)"},
    };
    for (const ExportCase& c : cases)
        EXPECT_EQ(exported(c.row), c.line) << c.what;
}

TEST(ChirpCsvImport, ColumnsByNameRowsAsTheReadMakesThem)
{
    // BOM, a comment line, columns in another order, CHIRP's older header without RxDtcsCode,
    // CrossMode and Power, a quoted comment over two lines, LF line ends.
    const std::string file = "\xEF\xBB\xBF# exported by hand\n"
                             "Mode,frequency,LOCATION,Offset,Duplex,Name,Comment\n"
                             "FM,146.520000,1,0.000000,,CALL,\n"
                             "NFM,145.775000,2,0.600000,-,,north\n"
                             "FM,439.1,3,7.6,-,RPT,\"Relay\nK\xC3\xB6ln, east\"\n"
                             "USB,3.5,7,14.025000,split,,\n"
                             "WFM,145.6125,33,0,,,news; filter Wide\n"
                             "FM,145.5,100,0.6,,1A,\n"
                             "\n"
                             "FM,145.0,200,0,,,\n"
                             "DV,145.0,11,0,,,\n"
                             "AM,900.0,12,0,,,\n"
                             "FM,145.5,13,0.6,off,,\n";
    ChirpImport in = parseChirpCsv(file);
    // The split/duplex text is the file's Duplex; Name goes into the "item" text.
    auto named = [](ChannelRow r, const std::string& name) {
        r.texts.push_back(name);
        return r;
    };
    std::vector<ChannelRow> want = {
        named(row("Mem 1", "0146.520000", "0146.520000", "FM", "Normal", "Duplex Off", "CALL",
                  "00.0000"),
              "CALL"), // a name without a comment shows as the comment too
        row("Mem 2", "0145.175000", "0145.775000", "FM", "Narrow", "Duplex --", "north"),
        named(row("Mem 3", "0431.500000", "0439.100000", "FM", "Normal", "Duplex --",
                  "Relay K\xC3\xB6ln; east", "07.6000"),
              "RPT"),
        row("Mem 7", "0014.025000", "0003.500000", "USB", "Normal", "Split On", "", "00.0000"),
        row("Mem 33", "0145.612500", "0145.612500", "Wide FM", "Wide", "Duplex Off", "news",
            "00.0000"),
        named(row("Mem 1A", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off", "1A"),
              "1A"),
        row("Mem 13", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off", "", "00.6000"),
    };
    EXPECT_EQ(joined(in.rows), joined(want));
    EXPECT_EQ(in.report,
              (std::vector<std::string>{
                  "Mem 3: commas and line breaks in the name or comment became ';' and blanks",
                  "Location 200: not a memory of the radio (1 to 99, 100 to 107 for 1A to C2): "
                  "row left out",
                  "Mem 11: mode 'DV' is not one the radio has: row left out",
                  "Mem 12: receive frequency 900.0 MHz is outside what the radio can store: row "
                  "left out",
                  "Mem 13: transmit inhibit (Duplex off) is not stored by the radio: the row "
                  "transmits on its receive frequency"}));
}

TEST(ChirpCsvImport, StrayQuotesUnitsAndDuplicatesLoseNoRowSilently)
{
    ChirpImport in = parseChirpCsv("Location,Frequency,Comment\n"
                                   "1,145.500000 MHz,5\" mast\n"
                                   "2,145500 kHz,\n"
                                   ",145.6,\n"
                                   "1,145.7,again\n"
                                   "3,145.8,\"open\n");
    EXPECT_EQ(joined(in.rows),
              (std::vector<std::string>{
                  "false|Mem 1|0145.700000|0145.700000|FM|Normal|Duplex Off|again|00.0000",
                  "false|Mem 2|0145.500000|0145.500000|FM|Normal|Duplex Off||00.0000",
                  "false|Mem 3|0145.800000|0145.800000|FM|Normal|Duplex Off|open |00.0000"}));
    EXPECT_EQ(in.report,
              (std::vector<std::string>{
                  "Line 4: no Location: row left out",
                  "Line 5: Mem 1 was already given on line 2: the later row replaces it",
                  "Line 6: a quote opened here is never closed: the rest of the file is one "
                  "field",
                  "Mem 3: commas and line breaks in the name or comment became ';' and blanks"}));
    EXPECT_EQ(parseChirpCsv("Location,Frequency,Comment\n1,145.5,5\" mast\n2,145.6,\n").rows.size(),
              2u);
}

TEST(ChirpCsvImport, ReportsWhatTheMemoriesCannotHold)
{
    const std::string file =
        kHeader + "4,,146.940000,-,0.600000,Tone,88.5,88.5,023,NN,023,Tone->Tone,FM,5.00,,,,,,,\r\n"
                  "5,,146.940000,-,0.600000,TSQL,88.5,100.0,023,NN,023,Tone->Tone,FM,12.50,S,"
                  "5W,,CQCQCQ,,,\r\n"
                  "6,,146.940000,-,0.600000,DTCS,88.5,88.5,047,RN,023,Tone->Tone,FM,5.00,,,,,,,\r\n"
                  "Bad,,146.940000,-,0.600000,,88.5,88.5,047,RN,023,Tone->Tone,FM,5.00,,,,,,,\r\n";
    EXPECT_EQ(parseChirpCsv(file.substr(0, file.rfind("Bad"))).report,
              (std::vector<std::string>{
                  "Mem 4: CTCSS 88.5 Hz is not stored by the radio: set it on the radio",
                  "Mem 5: tone squelch 100.0 Hz is not stored by the radio: set it on the radio",
                  "Mem 5: power 5W is not stored by the radio",
                  "Mem 5: scan skip 'S' is not stored by the radio",
                  "Mem 5: tuning step 12.50 kHz is not stored by the radio",
                  "Mem 5: URCALL 'CQCQCQ' is not stored by the radio",
                  "Mem 6: DTCS 047 RN is not stored by the radio: set it on the radio"}));

    auto failure = [](const std::string& text) {
        try {
            parseChirpCsv(text);
        } catch (const EConvertError& e) {
            return e.message();
        }
        return std::string("no error");
    };
    // An unreadable row is left out and said; the rest of the file stays.
    ChirpImport bad = parseChirpCsv(file);
    EXPECT_EQ(bad.rows.size(), 3u);
    EXPECT_EQ(bad.report.back(), "Line 5: Location 'Bad' is not a number: row left out");
    EXPECT_EQ(parseChirpCsv("Location,Frequency\n1,14.2x\n").report,
              std::vector<std::string>{"Line 2: Frequency '14.2x' is not a frequency: row left out"});
    EXPECT_EQ(failure("false,Mem 1,0145.500000,0145.500000,FM,Normal,Duplex Off,,00.6000\r\n"),
              "This is not a CHIRP CSV file: its first line must name the columns, Location and "
              "Frequency among them");
}

TEST(ChirpCsvImport, ExportedRowsComeBackWithTheirFrequenciesModesAndFilters)
{
    std::vector<ChannelRow> rows = {
        row("Mem 2", "0145.175000", "0145.775000", "FM", "Normal", "Duplex --", "", "00.6000"),
        row("Mem 6", "0051.510000", "0050.910000", "FM", "Wide", "Duplex +", "six", "00.6000"),
        row("Mem 7", "0014.025000", "0003.500000", "CW", "Narrow", "Split On", "", "00.0000"),
        row("Mem 8", "0014.025000", "0014.000000", "USB", "Wide", "Split On", "dx", "00.1000"),
        row("Mem 9", "0145.600000", "0145.600000", "FM", "Normal", "Duplex Off", "", "00.6000"),
        row("Mem 10", "0431.050000", "0438.650000", "FM", "Normal", "Duplex --", "", "07.6000"),
        {false, {"Mem 11", "0145.000000", "0145.000000", "FM", "Normal", "Duplex Off", "c", "00.0000", "N"}},
        row("Mem 42", "0050.100000", "0050.100000", "RTTY", "Narrow", "Duplex Off", "", "00.0000"),
        row("Mem 3B", "0433.000000", "0433.000000", "AM", "Narrow", "Duplex Off", "x", "00.0000"),
    };
    ChirpImport back = parseChirpCsv(formatChirpCsv(rows).text);
    EXPECT_EQ(joined(back.rows), joined(rows));
    EXPECT_TRUE(back.report.empty());
}

TEST(ChirpCsvFlows, ImportReplacesTheListOnlyWhenTheWholeFileReads)
{
    TempDir dir;
    FakeUi ui;
    ChannelList list;
    list.replaceAll({row("Mem 9", "0145.5", "0145.5", "FM", "Normal", "Duplex Off")});
    const std::vector<ChannelRow> before = list.rows();

    replaceFile(dir.file("bad.csv"), "false,Mem 1,0145.500000,0145.500000,FM\r\n");
    ui.openAnswers.push_back(dir.file("bad.csv"));
    EXPECT_THROW(importChirpCsv(list, ui), EConvertError);
    EXPECT_EQ(list.rows(), before);

    // Nothing the radio can hold: the list stays, and the report says why.
    replaceFile(dir.file("none.csv"), "Location,Frequency\n0,145.5\n2,nothing\n");
    ui.openAnswers.push_back(dir.file("none.csv"));
    importChirpCsv(list, ui);
    EXPECT_EQ(list.rows(), before);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0],
              "Nothing in " + dir.file("none.csv") +
                  " is a memory the radio can hold; the list is as it was.\r\n"
                  "Location 0: not a memory of the radio (1 to 99, 100 to 107 for 1A to C2): row "
                  "left out\r\nLine 3: Frequency 'nothing' is not a frequency: row left out");
    ui.messages.clear();

    ui.openAnswers.push_back(std::nullopt);
    importChirpCsv(list, ui);
    EXPECT_EQ(list.rows(), before);

    replaceFile(dir.file("good.csv"),
                        "Location,Frequency,Tone,rToneFreq\n4,146.94,Tone,88.5\n");
    ui.openAnswers.push_back(dir.file("good.csv"));
    importChirpCsv(list, ui);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.row(0).texts[0], "Mem 4");
    EXPECT_EQ(ui.label, "1 Rows Imported ");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0], "Imported 1 rows from " + dir.file("good.csv") +
                                  ". The radio does not store what follows:\r\n"
                                  "Mem 4: CTCSS 88.5 Hz is not stored by the radio: set it on "
                                  "the radio");

    // Export over an existing file only after the question; a cancelled question keeps it.
    replaceFile(dir.file("out.csv"), "old");
    ui.saveAnswers = {dir.file("out.csv"), dir.file("out.csv")};
    ui.okCancelAnswers = {false, true};
    exportChirpCsv(list, ui);
    EXPECT_EQ(readTextFile(dir.file("out.csv")), "old");
    exportChirpCsv(list, ui);
    EXPECT_EQ(readTextFile(dir.file("out.csv")),
              kHeader + "4,,146.940000,,0.000000" + kNoTone + "FM,5.00,,,,,,,\r\n");
    EXPECT_EQ(ui.label, "1 Rows Exported ");
}
