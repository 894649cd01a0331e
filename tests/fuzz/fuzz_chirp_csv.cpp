// The CHIRP CSV import ("Import CHIRP CSV...", memvane-cli write/convert of a .csv) on arbitrary
// file contents: repeater lists come from web sites. Invariants:
//   - the parser returns rows or refuses the file with EConvertError, nothing else;
//   - every row it returns is one "Write to Radio" accepts: a memory of the radio, frequency
//     texts of the list's form, a mode, filter and split/duplex text of the name tables;
//   - exporting those rows and importing the export gives rows that export to the same file
//     (the rows themselves differ only where a name or comment was not UTF-8: the export writes
//     it as UTF-8, as the window shows it).

#include "channels/ChannelList.h"
#include "channels/ChannelWriter.h"
#include "core/Errors.h"
#include "core/ProgramState.h"
#include "files/ChirpCsv.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace memvane;
using namespace memvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view contents = asText(data, size);
    ChirpImport in;
    try {
        in = parseChirpCsv(contents);
    } catch (const EConvertError&) {
        return 0;
    }

    static const ProgramState state = [] {
        ProgramState s;
        s.fillNameTables();
        return s;
    }();
    ChannelList list;
    list.replaceAll(in.rows);
    for (size_t i = 0; i < list.size(); ++i) {
        const ChannelRow& row = list.row(i);
        FUZZ_CHECK(row.texts.size() >= 8 && row.texts.size() <= 9);
        FUZZ_CHECK(row.texts[1].size() == 11 && row.texts[2].size() == 11);
        FUZZ_CHECK(row.texts[7].size() == 7);
        ChannelWritePlan plan = planChannelWrite(state, list, i);
        FUZZ_CHECK(plan.memory >= 1 && plan.memory <= 107);
    }

    ChirpExport out = formatChirpCsv(in.rows);
    FUZZ_CHECK(out.report.empty());
    FUZZ_CHECK(out.rows == static_cast<int>(in.rows.size()));
    ChirpImport back = parseChirpCsv(out.text);
    FUZZ_CHECK(back.rows.size() == in.rows.size());
    FUZZ_CHECK(formatChirpCsv(back.rows).text == out.text);
    return 0;
}
