#include "channels/EditPanel.h"

#include "core/Errors.h"
#include "core/Numbers.h"
#include "core/TextBytes.h"

#include <cmath>

namespace memvane {

namespace {

// Frequencies are handled in whole hertz, held in doubles: exact integers up to 2^53 Hz, far
// beyond any radio. Rounded as every frequency text is, so the panel shows what a load of the
// same text would.
double toHz(double mhz)
{
    return RoundScaled(mhz, 6);
}

// A typed megahertz value. One whose hertz lie beyond the range of a double (above about
// 1.8e302 MHz) has no frequency text: it would be shown, and stored by "Change Line", as "0inf",
// which no load or write takes back. It is refused like any other text that is no number.
double typedMhz(const std::string& text)
{
    double mhz = StrToFloat(text);
    if (!std::isfinite(toHz(mhz)))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return mhz;
}

std::string formatHz(double hz)
{
    return FormatFreq(hz / 1e6);
}

struct Band
{
    double lowHz, highHz;
    bool highInclusive;
    double offsetHz; // 0: the band has no offset
    const char* text;
};

constexpr Band kBands[] = {
    {433'000'000, 433'381'250, false, 1'600'000, "Duplex +"},
    {430'000'000, 432'000'000, true, 7'600'000, "Duplex +"},
    {144'000'000, 146'000'000, true, -600'000, "Duplex --"},
    {70'000'000, 70'500'000, true, 0, "Duplex Off"},
    {50'000'000, 52'000'000, true, 500'000, "Duplex +"},
};

const Band* findBand(double hz)
{
    for (const Band& band : kBands) {
        bool belowHigh = band.highInclusive ? hz <= band.highHz : hz < band.highHz;
        if (hz >= band.lowHz && belowHigh)
            return &band;
    }
    return nullptr;
}

template <std::size_t N>
int entryIndex(const std::array<std::string, N>& entries, const std::string& text)
{
    if (text.empty())
        return -1;
    for (std::size_t i = 0; i < N; ++i) {
        if (SameText(entries[i], text))
            return static_cast<int>(i);
    }
    return -1;
}

std::string textOr(const ChannelRow& row, int column)
{
    std::size_t sub = static_cast<std::size_t>(column - 1);
    return sub < row.texts.size() ? row.texts[sub] : std::string();
}

} // namespace

EditPanelTexts calculateEditPanel(const EditPanelInput& input)
{
    EditPanelTexts out;
    double rx = typedMhz(input.rxText);
    out.txBase = input.txBaseText.empty() ? "0" : input.txBaseText;
    double txBase = typedMhz(out.txBase);
    double manualOffset = 0;
    if (input.manualSelect)
        manualOffset = typedMhz(input.offsetEntry.value_or(""));

    double rxHz = toHz(rx);
    out.rx = formatHz(rxHz);

    double txHz = txBase == 0 ? rxHz : toHz(txBase);
    if (!input.splitOn) {
        out.editsplit = "Duplex Off";
        txHz = rxHz;
    } else if (const Band* band = findBand(rxHz)) {
        out.editsplit = band->text;
        if (band->offsetHz != 0)
            txHz += input.manualSelect ? toHz(manualOffset) : band->offsetHz;
    } else {
        out.editsplit = "Split On";
    }
    out.tx = formatHz(txHz);
    out.mode = input.modeEntry;
    out.filter = input.filterEntry;
    return out;
}

std::optional<EditPanelRowView> readEditPanelRow(const ChannelList& list,
                                                 std::optional<std::size_t> selected)
{
    if (!selected || *selected >= list.size())
        return std::nullopt;
    const ChannelRow& row = list.row(*selected);
    EditPanelRowView view;
    view.memLoc = textOr(row, ColMemLoc);
    view.tx = textOr(row, ColFreqA);
    view.rx = textOr(row, ColFreqB);
    view.mode = textOr(row, ColMode);
    view.filter = textOr(row, ColFilter);
    view.modeIndex = entryIndex(kEditModeEntries, view.mode);
    view.filterIndex = entryIndex(kEditFilterEntries, view.filter);
    view.splitOn = textOr(row, ColSplit) != "Duplex Off";
    view.comment = textOr(row, ColComment);
    if (view.comment.empty())
        view.comment = "Comment";
    return view;
}

EditPanelTexts refrashEditPanel(const EditPanelInput& input, ProgramState& state)
{
    EditPanelTexts out = calculateEditPanel(input);
    state.editsplit = out.editsplit;
    return out;
}

EditPanelTexts changeEditPanelLine(ChannelList& list, std::optional<std::size_t> selected,
                                   const std::string& memLoc, const EditPanelInput& input,
                                   ProgramState& state)
{
    EditPanelTexts out = refrashEditPanel(input, state);
    if (!selected || *selected >= list.size())
        return out;
    ChannelRow row = list.row(*selected);
    if (row.texts.size() < static_cast<std::size_t>(ColSplit))
        row.texts.resize(static_cast<std::size_t>(ColSplit));
    row.write = true;
    row.texts[ColMemLoc - 1] = memLoc;
    row.texts[ColFreqA - 1] = out.tx;
    row.texts[ColFreqB - 1] = out.rx;
    row.texts[ColMode - 1] = out.mode;
    row.texts[ColFilter - 1] = out.filter;
    row.texts[ColSplit - 1] = out.editsplit;
    list.setRow(*selected, std::move(row));
    return out;
}

} // namespace memvane
