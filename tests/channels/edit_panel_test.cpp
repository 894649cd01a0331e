#include "channels/EditPanel.h"

#include "core/Errors.h"
#include "core/Numbers.h"

#include <gtest/gtest.h>

using namespace memvane;

namespace {

// The panel right after a row was opened: Edit7 emptied, split ticked, manual clear.
EditPanelInput opened(const std::string& rx)
{
    EditPanelInput in;
    in.rxText = rx;
    in.txBaseText = "";
    in.splitOn = true;
    in.offsetEntry = "7.6";
    in.modeEntry = "FM";
    in.filterEntry = "Normal";
    return in;
}

EditPanelInput manual(const std::string& rx, const std::string& offset)
{
    EditPanelInput in = opened(rx);
    in.manualSelect = true;
    in.offsetEntry = offset;
    return in;
}

std::string errorOf(const EditPanelInput& in)
{
    try {
        calculateEditPanel(in);
    } catch (const EConvertError& e) {
        return e.message();
    }
    return "no error";
}

ChannelRow row(const std::string& label, const std::string& split, const std::string& mode = "FM",
               const std::string& comment = "")
{
    return {false,
            {label, "0145.500000", "0145.500000", mode, "Normal", split, comment, "00.0000"}};
}

} // namespace

struct BandCase
{
    const char* rx;
    const char* tx;
    const char* split;
};

void PrintTo(const BandCase& c, std::ostream* os)
{
    *os << "rx " << c.rx;
}

class EditPanelBandPlan : public ::testing::TestWithParam<BandCase>
{
};

TEST_P(EditPanelBandPlan, TransmitFrequencyAndText)
{
    const BandCase& c = GetParam();
    EditPanelTexts out = calculateEditPanel(opened(c.rx));
    EXPECT_EQ(out.tx, c.tx);
    EXPECT_EQ(out.editsplit, c.split);
}

INSTANTIATE_TEST_SUITE_P(EdgeTable, EditPanelBandPlan,
                         ::testing::Values(BandCase{"145.5", "0144.900000", "Duplex --"},
                                           BandCase{"144", "0143.400000", "Duplex --"},
                                           BandCase{"146", "0145.400000", "Duplex --"},
                                           BandCase{"431", "0438.600000", "Duplex +"},
                                           BandCase{"433", "0434.600000", "Duplex +"},
                                           BandCase{"433.38125", "0433.381250", "Split On"},
                                           BandCase{"432.5", "0432.500000", "Split On"},
                                           BandCase{"70.25", "0070.250000", "Duplex Off"},
                                           BandCase{"51", "0051.500000", "Duplex +"},
                                           BandCase{"14.2", "0014.200000", "Split On"}));

// Every bound as a user types it, including forms that round differently in binary.
INSTANTIATE_TEST_SUITE_P(Bounds, EditPanelBandPlan,
                         ::testing::Values(BandCase{"430", "0437.600000", "Duplex +"},
                                           BandCase{"432", "0439.600000", "Duplex +"},
                                           BandCase{"432.000001", "0432.000001", "Split On"},
                                           BandCase{"429.999999", "0429.999999", "Split On"},
                                           BandCase{"433.381249", "0434.981249", "Duplex +"},
                                           BandCase{"0433.381250", "0433.381250", "Split On"},
                                           BandCase{"4.3338125e2", "0433.381250", "Split On"},
                                           BandCase{"1.46e2", "0145.400000", "Duplex --"},
                                           BandCase{"146.000001", "0146.000001", "Split On"},
                                           BandCase{"143.999999", "0143.999999", "Split On"},
                                           BandCase{"50", "0050.500000", "Duplex +"},
                                           BandCase{"52", "0052.500000", "Duplex +"},
                                           BandCase{"52.1", "0052.100000", "Split On"},
                                           BandCase{"70", "0070.000000", "Duplex Off"},
                                           BandCase{"70.5", "0070.500000", "Duplex Off"},
                                           BandCase{"70.500001", "0070.500001", "Split On"},
                                           BandCase{"-145.5", "-0145.500000", "Split On"}));

TEST(EditPanel, RoundsAsLoadingAndWritingTheSameTextDo)
{
    // Half-hertz ties typed by the user; their binary values fall on either side.
    for (const char* rx : {"145.5000005", "1.0000075", "144.0000015"}) {
        EditPanelInput in = opened(rx);
        in.splitOn = false;
        EXPECT_EQ(calculateEditPanel(in).rx, FormatFreq(StrToFloat(rx))) << rx;
    }
    EXPECT_EQ(calculateEditPanel(opened("145.5000005")).tx, "0144.900001");
}

TEST(EditPanel, ManualOffsetReplacesTheBandOffsetButNotItsText)
{
    EditPanelTexts out = calculateEditPanel(manual("431", "-5"));
    EXPECT_EQ(out.tx, "0426.000000");
    EXPECT_EQ(out.editsplit, "Duplex +");
    out = calculateEditPanel(manual("145.5", "7.6"));
    EXPECT_EQ(out.tx, "0153.100000");
    EXPECT_EQ(out.editsplit, "Duplex --");
    out = calculateEditPanel(manual("433.1", "-0.1"));
    EXPECT_EQ(out.tx, "0433.000000");
    for (const char* rx : {"70.25", "14.2"}) {
        out = calculateEditPanel(manual(rx, "-5"));
        EXPECT_EQ(out.tx, out.rx) << rx;
    }
    EXPECT_EQ(calculateEditPanel(manual("14.2", "-5")).editsplit, "Split On");
    EXPECT_EQ(calculateEditPanel(manual("70.25", "-5")).editsplit, "Duplex Off");
}

TEST(EditPanel, SplitClearGivesSimplexEverywhere)
{
    for (const char* rx : {"145.5", "431", "51", "70.25", "14.2"}) {
        EditPanelInput in = manual(rx, "-5");
        in.splitOn = false;
        EditPanelTexts out = calculateEditPanel(in);
        EXPECT_EQ(out.tx, out.rx) << rx;
        EXPECT_EQ(out.editsplit, "Duplex Off") << rx;
    }
}

TEST(EditPanel, TextsTheCalculationShows)
{
    EditPanelInput in = opened("145.1234567");
    in.modeEntry = "Wide FM";
    in.filterEntry = "";
    EditPanelTexts out = calculateEditPanel(in);
    EXPECT_EQ(out, (EditPanelTexts{"0145.123457", "0", "0144.523457", "Wide FM", "", "Duplex --"}));

    // A transmit base other than 0 is where the offset starts from.
    in = opened("145.5");
    in.txBaseText = "145.0";
    EXPECT_EQ(calculateEditPanel(in).tx, "0144.400000");
    in = opened("14.2");
    in.txBaseText = "14.25";
    EXPECT_EQ(calculateEditPanel(in).tx, "0014.250000");
    in.txBaseText = "0";
    EXPECT_EQ(calculateEditPanel(in).tx, "0014.200000");
}

TEST(EditPanel, TextsThatAreNotNumbersStopTheCalculationInOrder)
{
    EditPanelInput in = manual("Rx", "7.6");
    in.txBaseText = "Tx";
    in.offsetEntry = std::nullopt;
    EXPECT_EQ(errorOf(in), "'Rx' is not a valid floating point value");
    in.rxText = "145.5";
    EXPECT_EQ(errorOf(in), "'Tx' is not a valid floating point value");
    in.txBaseText = "";
    EXPECT_EQ(errorOf(in), "'' is not a valid floating point value");
    in.manualSelect = false;
    EXPECT_EQ(errorOf(in), "no error");
    in.rxText = "145,5";
    EXPECT_EQ(errorOf(in), "'145,5' is not a valid floating point value");

    // Numbers whose hertz no double holds have no frequency text ("0inf" before), in any box.
    in.rxText = "1e303";
    EXPECT_EQ(errorOf(in), "'1e303' is not a valid floating point value");
    in.rxText = "145.5";
    in.txBaseText = "-2e302";
    EXPECT_EQ(errorOf(in), "'-2e302' is not a valid floating point value");
    in.txBaseText = "";
    in.manualSelect = true;
    in.offsetEntry = "1e305";
    EXPECT_EQ(errorOf(in), "'1e305' is not a valid floating point value");
    in.offsetEntry = "1e300";
    in.rxText = "1e302";
    // Still huge, but a number: 303 digits, the full stop and six decimals.
    const std::string shown = calculateEditPanel(in).rx;
    EXPECT_EQ(shown.size(), 310u);
    EXPECT_EQ(shown.find_first_not_of("0123456789"), 303u);
}

TEST(EditPanel, OpeningARowFillsThePanel)
{
    ChannelList list;
    list.replaceAll({row("Mem 1", "Split On"), row("Mem 2", "Duplex +"), row("Mem 3", "Duplex --"),
                     row("Mem 4", ""), row("Mem 5", "Duplex Off"), row("Mem 6", "duplex off")});
    for (size_t i = 0; i < list.size(); ++i) {
        std::optional<EditPanelRowView> view = readEditPanelRow(list, i);
        ASSERT_TRUE(view);
        EXPECT_EQ(view->splitOn, i != 4) << i;
    }

    list.replaceAll({{false,
                      {"Mem 7", "0145.000000", "0145.600000", "Wide FM", "wide", "Duplex --",
                       "club", "00.6000"}},
                     row("Mem 8", "Split On", ""),
                     row("Mem 9", "Split On", "fm", "net")});
    EditPanelRowView view = *readEditPanelRow(list, 0);
    EXPECT_EQ(view, (EditPanelRowView{"Mem 7", "0145.000000", "0145.600000", "Wide FM", "wide", 6,
                                      2, true, "club"}));
    view = *readEditPanelRow(list, 1);
    EXPECT_EQ(view.modeIndex, -1);
    EXPECT_EQ(view.comment, "Comment");
    EXPECT_EQ(readEditPanelRow(list, 2)->modeIndex, 5);
    EXPECT_EQ(kEditModeEntries[5], "FM");

    // A short row from a file reads its missing texts as empty.
    list.replaceAll({{true, {"Mem 1"}}});
    view = *readEditPanelRow(list, 0);
    EXPECT_EQ(view, (EditPanelRowView{"Mem 1", "", "", "", "", -1, -1, true, "Comment"}));

    EXPECT_FALSE(readEditPanelRow(list, std::nullopt));
    EXPECT_FALSE(readEditPanelRow(list, 1));
}

TEST(EditPanel, ChangeLineWritesIntoTheRowSelectedNow)
{
    ChannelList list;
    for (int n = 1; n <= 9; ++n)
        list.append(
            row("Mem " + std::to_string(n), "Split On", "USB", "keep " + std::to_string(n)));
    ProgramState state;

    EditPanelRowView opened5 = *readEditPanelRow(list, 4);
    EditPanelInput in = opened(opened5.rx);
    in.rxText = "433.2";
    in.modeEntry = "";
    EditPanelTexts out = changeEditPanelLine(list, 8, opened5.memLoc, in, state);
    EXPECT_EQ(state.editsplit, "Duplex +");
    EXPECT_EQ(list.row(8), (ChannelRow{true,
                                       {"Mem 5", out.tx, "0433.200000", "", "Normal", "Duplex +",
                                        "keep 9", "00.0000"}}));
    EXPECT_EQ(out.tx, "0434.800000");
    EXPECT_EQ(list.row(4), row("Mem 5", "Split On", "USB", "keep 5"));

    // Unchanged values still tick the row.
    EditPanelRowView opened2 = *readEditPanelRow(list, 1);
    EditPanelInput same = opened(opened2.rx);
    same.splitOn = false;
    same.modeEntry = "USB";
    changeEditPanelLine(list, 1, opened2.memLoc, same, state);
    EXPECT_TRUE(list.row(1).write);
    EXPECT_EQ(list.text(1, ColComment), "keep 2");
    EXPECT_EQ(state.editsplit, "Duplex Off");
}

TEST(EditPanel, ChangeLineWithoutARowOrWithBadInputWritesNothing)
{
    ChannelList list;
    list.append(row("Mem 1", "Split On"));
    const std::vector<ChannelRow> before = list.rows();
    ProgramState state;
    state.editsplit = "earlier";

    EditPanelTexts out = changeEditPanelLine(list, std::nullopt, "Mem 1", opened("145.5"), state);
    EXPECT_EQ(out.tx, "0144.900000");
    EXPECT_EQ(state.editsplit, "Duplex --");
    EXPECT_EQ(list.rows(), before);
    changeEditPanelLine(list, 5, "Mem 1", opened("145.5"), state);
    EXPECT_EQ(list.rows(), before);

    state.editsplit = "earlier";
    EXPECT_THROW(changeEditPanelLine(list, 0, "Mem 1", opened("Rx"), state), EConvertError);
    EXPECT_EQ(list.rows(), before);
    EXPECT_EQ(state.editsplit, "earlier");

    // A short row grows to the six texts the panel writes.
    list.replaceAll({{false, {"Mem 3"}}});
    changeEditPanelLine(list, 0, "Mem 3", opened("14.2"), state);
    EXPECT_EQ(
        list.row(0),
        (ChannelRow{true, {"Mem 3", "0014.200000", "0014.200000", "FM", "Normal", "Split On"}}));
}

TEST(EditPanel, RefrashSetsEditsplitOnly)
{
    ProgramState state;
    EditPanelTexts out = refrashEditPanel(opened("51"), state);
    EXPECT_EQ(out.editsplit, "Duplex +");
    EXPECT_EQ(state.editsplit, "Duplex +");
}
