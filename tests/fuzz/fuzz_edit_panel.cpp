// The edit panel's calculation and "Change Line" on arbitrary texts in its boxes. Invariants:
//   - a text that is no number fails with EConvertError before anything changes; nothing else
//     escapes;
//   - the frequency boxes it fills hold numbers in the "0000.000000" form (never "inf", "nan"
//     or an exponent), whatever was typed;
//   - without Split/Duplex the transmit frequency is the receive frequency and the text is
//     "Duplex Off"; the split/duplex text is always one of the four;
//   - "Change Line" ticks the selected row and sets exactly its first six texts; other rows
//     and the row's later texts stay;
//   - the write that would follow takes a shown frequency or refuses it with EConvertError,
//     and what it sends decodes back to the shown text.

#include "channels/ChannelList.h"
#include "channels/EditPanel.h"
#include "civ/Codec.h"
#include "core/Errors.h"
#include "core/Numbers.h"
#include "tests/fuzz/FuzzSupport.h"

#include <algorithm>
#include <fuzzer/FuzzedDataProvider.h>

using namespace memvane;
using namespace memvane::fuzz;

namespace {

std::string numberish(FuzzedDataProvider& fdp)
{
    static const char* const kSamples[] = {"145.5", "433.38125", "70.5", "146",         "50",
                                           "0",     "-1",        "1e3",  "9999.9999995"};
    if (fdp.ConsumeBool())
        return fdp.PickValueInArray(kSamples);
    return fdp.ConsumeRandomLengthString(40);
}

bool isFrequencyText(const std::string& s)
{
    size_t dot = s.find('.');
    if (dot == std::string::npos || dot < 4 || s.size() - dot - 1 != 6)
        return false;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i == dot)
            continue;
        if (!(s[i] >= '0' && s[i] <= '9') && !(i == 0 && s[i] == '-'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    EditPanelInput in;
    in.rxText = numberish(fdp);
    in.txBaseText = fdp.ConsumeBool() ? std::string() : numberish(fdp);
    in.splitOn = fdp.ConsumeBool();
    in.manualSelect = fdp.ConsumeBool();
    if (fdp.ConsumeBool())
        in.offsetEntry = fdp.ConsumeBool() ? std::string(fdp.PickValueInArray(kEditOffsetEntries))
                                           : numberish(fdp);
    in.modeEntry = fdp.ConsumeRandomLengthString(8);
    in.filterEntry = fdp.ConsumeRandomLengthString(8);

    ChannelList list;
    const size_t rows = fdp.ConsumeIntegralInRange<size_t>(0, 3);
    for (size_t i = 0; i < rows; ++i) {
        ChannelRow row;
        row.write = fdp.ConsumeBool();
        size_t texts = fdp.ConsumeIntegralInRange<size_t>(0, 10);
        for (size_t t = 0; t < texts; ++t)
            row.texts.push_back(fdp.ConsumeRandomLengthString(12));
        list.append(std::move(row));
    }
    std::optional<size_t> selected;
    if (fdp.ConsumeBool())
        selected = fdp.ConsumeIntegralInRange<size_t>(0, rows + 1);
    const std::string memLoc = fdp.ConsumeRandomLengthString(12);

    if (auto view = readEditPanelRow(list, selected)) {
        FUZZ_CHECK(selected && *selected < list.size());
        FUZZ_CHECK(view->comment.size() > 0);
    }

    const std::vector<ChannelRow> before = list.rows();
    ProgramState state;
    state.editsplit = "unchanged";
    EditPanelTexts out;
    try {
        out = changeEditPanelLine(list, selected, memLoc, in, state);
    } catch (const EConvertError& e) {
        context() = e.what();
        const std::string message = e.what();
        bool quoted = false;
        for (const std::string& typed : {in.rxText, in.txBaseText, in.offsetEntry.value_or("")})
            quoted = quoted ||
                     message == asMessage("'" + typed + "' is not a valid floating point value");
        FUZZ_CHECK(quoted);
        FUZZ_CHECK(list.rows() == before && state.editsplit == "unchanged");
        return 0;
    }

    context() =
        "rx '" + in.rxText + "' -> " + out.rx + ", tx base '" + in.txBaseText + "' -> " + out.tx;
    FUZZ_CHECK(out == calculateEditPanel(in));
    FUZZ_CHECK(isFrequencyText(out.rx) && isFrequencyText(out.tx));
    FUZZ_CHECK(out.txBase == (in.txBaseText.empty() ? "0" : in.txBaseText));
    FUZZ_CHECK(out.mode == in.modeEntry && out.filter == in.filterEntry);
    FUZZ_CHECK(state.editsplit == out.editsplit);
    FUZZ_CHECK(out.editsplit == "Duplex Off" || out.editsplit == "Split On" ||
               out.editsplit == "Duplex +" || out.editsplit == "Duplex --");
    if (!in.splitOn)
        FUZZ_CHECK(out.tx == out.rx && out.editsplit == "Duplex Off");

    for (size_t i = 0; i < list.size(); ++i) {
        if (!selected || i != *selected) {
            FUZZ_CHECK(list.row(i) == before[i]);
            continue;
        }
        const ChannelRow& row = list.row(i);
        FUZZ_CHECK(row.write);
        FUZZ_CHECK(row.texts.size() == std::max<size_t>(before[i].texts.size(), 6));
        const std::string expected[] = {memLoc,   out.tx,     out.rx,
                                        out.mode, out.filter, out.editsplit};
        for (size_t t = 0; t < 6; ++t)
            FUZZ_CHECK(row.texts[t] == expected[t]);
        for (size_t t = 6; t < row.texts.size(); ++t)
            FUZZ_CHECK(row.texts[t] == before[i].texts[t]);
    }

    for (const std::string& shown : {out.rx, out.tx}) {
        try {
            std::string bytes = encodeFrequency(shown);
            FUZZ_CHECK(bytes.size() == 5);
            FUZZ_CHECK(decodeFrequency(toHexText(bytes)) == shown);
        } catch (const EConvertError&) {
            double mhz = StrToFloat(shown);
            FUZZ_CHECK(mhz < 0 || mhz >= 9999.9999995);
        }
    }
    return 0;
}
