#include "files/ChirpCsv.h"

#include "channels/ChannelTexts.h"
#include "core/Errors.h"
#include "core/FileStore.h"
#include "core/Numbers.h"
#include "core/TextBytes.h"
#include "files/ChannelFile.h"
#include "files/CsvText.h"
#include "files/TextFile.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>

namespace memvane {

namespace {

using Hz = std::int64_t;

// The name tables of a read, so imported rows carry the very texts a read gives.
const ProgramState& names()
{
    static const ProgramState state = [] {
        ProgramState s;
        s.fillNameTables();
        return s;
    }();
    return state;
}

// Mode and filter indexes (modenames, filternames) and the CHIRP mode they make.
struct ModeMapping
{
    const char* chirp;
    int mode;
    int filter;
};
constexpr int kNormal = 1, kNarrow = 2;
constexpr std::array<ModeMapping, 10> kModes{{{"LSB", 0, kNormal},
                                              {"USB", 1, kNormal},
                                              {"AM", 2, kNormal},
                                              {"NAM", 2, kNarrow},
                                              {"CW", 3, kNormal},
                                              {"NCW", 3, kNarrow},
                                              {"RTTY", 4, kNormal},
                                              {"FM", 5, kNormal},
                                              {"NFM", 5, kNarrow},
                                              {"WFM", 6, kNormal}}};

// What the IC-706 family tunes and keeps in a memory: 30 kHz to 200 MHz, and 400 to 470 MHz
// (the MKIIG's 70 cm band).
bool radioCanStore(Hz hz)
{
    return (hz >= 30'000 && hz < 200'000'000) || (hz >= 400'000'000 && hz <= 470'000'000);
}

std::optional<Hz> toHz(double mhz)
{
    if (!(mhz >= 0 && mhz < 1e7))
        return std::nullopt;
    return static_cast<Hz>(std::llround(mhz * 1e6));
}

double toMhz(Hz hz)
{
    return static_cast<double>(hz) / 1e6;
}

// CHIRP's own form: "145.500000".
std::string chirpMhz(Hz hz)
{
    return FormatFixed(toMhz(hz), 1, 6);
}

bool isBlankText(const std::string& text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

const std::string& textAt(const ChannelRow& row, int column)
{
    static const std::string empty;
    size_t i = static_cast<size_t>(column - 1);
    return i < row.texts.size() ? row.texts[i] : empty;
}

// Comment notes carry what CHIRP has no column for: a filter it has no mode for ("filter
// Wide") and the offset text of a split row ("offset 00.6000"), whose Offset is the transmit
// frequency.
constexpr std::string_view kFilterNote = "filter ";
constexpr std::string_view kOffsetNote = "offset ";
constexpr std::string_view kNoteSeparator = "; ";

std::string withNote(const std::string& comment, std::string_view kind, const std::string& value)
{
    std::string note = std::string(kind) + value;
    return comment.empty() ? note : comment + std::string(kNoteSeparator) + note;
}

bool isZeroOffset(const std::string& offsetText)
{
    double mhz = 0;
    return !TryStrToFloat(offsetText, mhz) || mhz == 0;
}

// Exports one row into `out`; a text for the report when the row cannot be exported.
std::optional<std::string> exportRow(const ChannelRow& row, std::string& out)
{
    const std::string& label = textAt(row, ColMemLoc);
    auto refuse = [&](const std::string& why) { return label + ": " + why + ": row left out"; };
    int memory = 0;
    try {
        memory = locationNumber(label);
    } catch (const EConvertError&) {
        return refuse("the location is not a memory number");
    }
    if (memory < 1 || memory > 107)
        return refuse("memory " + std::to_string(memory) + " is not one of the radio's");

    double rxMhz = 0, txMhz = 0;
    if (!TryStrToFloat(textAt(row, ColFreqB), rxMhz) ||
        !TryStrToFloat(textAt(row, ColFreqA), txMhz))
        return refuse("a frequency is not a number");
    std::optional<Hz> rx = toHz(rxMhz), tx = toHz(txMhz);
    if (!rx || !tx)
        return refuse("a frequency is out of range");

    const std::string& modeText = textAt(row, ColMode);
    const std::string& filterText = textAt(row, ColFilter);
    const ModeMapping* base = nullptr;
    const ModeMapping* exact = nullptr;
    for (const ModeMapping& m : kModes) {
        if (names().modeName(m.mode) != modeText)
            continue;
        if (m.filter == kNormal)
            base = &m;
        if (names().filterName(m.filter) == filterText)
            exact = &m;
    }
    if (!base)
        return refuse("mode '" + modeText + "' has no CHIRP mode");
    std::string comment = textAt(row, ColComment);
    if (!textAt(row, ColItem).empty() && comment == textAt(row, ColItem))
        comment.clear(); // the import's copy of the name
    if (!exact && !filterText.empty())
        comment = withNote(comment, kFilterNote, filterText);

    // What the row means: a "Duplex" row and a "Split On" row transmit on the transmit
    // frequency (a read names 70 cm rows "Duplex +" whichever way they shift, so the direction
    // comes from the two frequencies), anything else on the receive frequency.
    const std::string& split = textAt(row, ColSplit);
    const std::string& offsetText = textAt(row, ColOffset);
    std::string duplex;
    Hz offset = 0;
    double offsetMhz = 0;
    if (TryStrToFloat(offsetText, offsetMhz) && offsetMhz > 0 && offsetMhz < 100)
        offset = *toHz(offsetMhz);
    const bool duplexRow = split == "Duplex --" || split == "Duplex +";
    if (duplexRow && (*tx < *rx || (*tx == *rx && split == "Duplex --"))) {
        duplex = "-";
        offset = *rx - *tx;
    } else if (duplexRow) {
        duplex = "+";
        offset = *tx - *rx;
    } else if (split == "Split On") {
        duplex = "split";
        offset = *tx;
        if (!isZeroOffset(offsetText))
            comment = withNote(comment, kOffsetNote, offsetText);
    }

    const std::string& name = textAt(row, ColItem);
    std::vector<std::string> fields = {std::to_string(memory),
                                       asUtf8(name),
                                       chirpMhz(*rx),
                                       duplex,
                                       chirpMhz(offset),
                                       "",
                                       "88.5",
                                       "88.5",
                                       "023",
                                       "NN",
                                       "023",
                                       "Tone->Tone",
                                       (exact ? exact : base)->chirp,
                                       "5.00",
                                       "",
                                       "",
                                       asUtf8(comment),
                                       "",
                                       "",
                                       "",
                                       ""};
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out += ',';
        out += csvField(fields[i]);
    }
    out += "\r\n";
    return std::nullopt;
}

enum Column : int {
    Location,
    Name,
    Frequency,
    Duplex,
    Offset,
    Tone,
    RToneFreq,
    CToneFreq,
    DtcsCode,
    DtcsPolarity,
    RxDtcsCode,
    CrossMode,
    Mode,
    TStep,
    Skip,
    Power,
    Comment,
    UrCall,
    Rpt1Call,
    Rpt2Call,
    DvCode,
    ColumnCount
};
constexpr std::array<const char*, ColumnCount> kColumnNames{
    "Location",  "Name",     "Frequency",    "Duplex",     "Offset",    "Tone",     "rToneFreq",
    "cToneFreq", "DtcsCode", "DtcsPolarity", "RxDtcsCode", "CrossMode", "Mode",     "TStep",
    "Skip",      "Power",    "Comment",      "URCALL",     "RPT1CALL",  "RPT2CALL", "DVCODE"};

class RecordView
{
public:
    RecordView(const std::array<int, ColumnCount>& index, const CsvRecord& record)
        : m_index(index), m_record(record)
    {
    }
    bool has(Column c) const { return m_index[c] >= 0; }
    std::string operator[](Column c) const
    {
        int i = m_index[c];
        if (i < 0 || static_cast<size_t>(i) >= m_record.fields.size())
            return {};
        return Trim(m_record.fields[static_cast<size_t>(i)]);
    }
    std::string raw(Column c) const
    {
        int i = m_index[c];
        if (i < 0 || static_cast<size_t>(i) >= m_record.fields.size())
            return {};
        return m_record.fields[static_cast<size_t>(i)];
    }
    std::string where() const { return "Line " + std::to_string(m_record.line) + ": "; }

private:
    const std::array<int, ColumnCount>& m_index;
    const CsvRecord& m_record;
};

// A record the importer cannot read: it is left out, with `why` in the report.
struct RowLeftOut
{
    std::string why;
};

int decimalNumber(const RecordView& r, Column c)
{
    std::string text = r[c];
    if (text.empty())
        throw RowLeftOut{std::string("no ") + kColumnNames[c]};
    bool digits = text.size() < 9 && text.find_first_not_of("0123456789") == std::string::npos;
    if (!digits)
        throw RowLeftOut{std::string(kColumnNames[c]) + " '" + text + "' is not a number"};
    return StrToInt(text);
}

// MHz of a column, as CHIRP takes it: a number of megahertz, or one followed by MHz, kHz or Hz
// ("145.500000 MHz", "145500 kHz"); an empty field is 0. Negative and huge values come back as
// nullopt.
std::optional<Hz> frequency(const RecordView& r, Column c)
{
    std::string text = r[c];
    if (text.empty())
        return 0;
    double scale = 1;
    std::string number = text;
    const std::pair<const char*, double> units[] = {{"mhz", 1}, {"khz", 1e-3}, {"hz", 1e-6}};
    for (const auto& [unit, factor] : units) {
        size_t n = std::string_view(unit).size();
        if (number.size() > n && SameText(number.substr(number.size() - n), unit)) {
            number = Trim(number.substr(0, number.size() - n));
            scale = factor;
            break;
        }
    }
    double value = 0;
    if (!TryStrToFloat(number, value))
        throw RowLeftOut{std::string(kColumnNames[c]) + " '" + text + "' is not a frequency"};
    return toHz(value * scale);
}

// Takes the trailing note "<kind><value>" off `comment` when its value passes `accept`.
template <class Accept>
std::optional<std::string> takeNote(std::string& comment, std::string_view kind, Accept accept)
{
    size_t start = comment.rfind(kNoteSeparator);
    start = start == std::string::npos ? 0 : start + kNoteSeparator.size();
    std::string note = comment.substr(start);
    if (note.compare(0, kind.size(), kind) != 0 || !accept(note.substr(kind.size())))
        return std::nullopt;
    std::string value = note.substr(kind.size());
    comment.erase(start == 0 ? 0 : start - kNoteSeparator.size());
    return value;
}

// The comment without the notes an export added; the filter and offset texts they carry.
std::string takeNotes(std::string comment, int& filter, std::string& offsetText)
{
    auto offsetLike = [](const std::string& v) {
        return v.size() == 7 && v[2] == '.' &&
               (v.substr(0, 2) + v.substr(3)).find_first_not_of("0123456789") ==
                   std::string::npos;
    };
    auto filterName = [](const std::string& v) {
        for (int f : {1, 2, 3})
            if (v == names().filterName(f))
                return f;
        return 0;
    };
    for (int round = 0; round < 2; ++round) {
        if (auto f = takeNote(comment, kFilterNote, filterName))
            filter = filterName(*f);
        else if (auto o = takeNote(comment, kOffsetNote, offsetLike))
            offsetText = *o;
    }
    return comment;
}

// Commas would split the comment in the channel file, line breaks the line.
std::string listText(const std::string& text, bool& changed)
{
    std::string out = text;
    for (char& c : out) {
        if (c == ',') {
            c = ';';
            changed = true;
        } else if (c == '\r' || c == '\n') {
            c = ' ';
            changed = true;
        }
    }
    return out;
}

void reportTones(const RecordView& r, const std::string& label, std::vector<std::string>& report)
{
    const std::string notStored = " is not stored by the radio: set it on the radio";
    std::string mode = r[Tone];
    std::string rtone = r.has(RToneFreq) ? r[RToneFreq] : r[CToneFreq];
    std::string ctone = r.has(CToneFreq) ? r[CToneFreq] : r[RToneFreq];
    std::string dtcs = r[DtcsCode] + " " + (r.has(DtcsPolarity) ? r[DtcsPolarity] : "NN");
    if (mode.empty())
        return;
    if (mode == "Tone")
        report.push_back(label + ": CTCSS " + rtone + " Hz" + notStored);
    else if (mode == "TSQL")
        report.push_back(label + ": tone squelch " + ctone + " Hz" + notStored);
    else if (mode == "TSQL-R")
        report.push_back(label + ": reverse tone squelch " + ctone + " Hz" + notStored);
    else if (mode == "DTCS")
        report.push_back(label + ": DTCS " + dtcs + notStored);
    else if (mode == "DTCS-R")
        report.push_back(label + ": reverse DTCS " + dtcs + notStored);
    else if (mode == "Cross")
        report.push_back(label + ": cross tone " + r[CrossMode] + " (CTCSS " + rtone + "/" + ctone +
                         " Hz, DTCS " + dtcs + ")" + notStored);
    else
        report.push_back(label + ": tone mode '" + mode + "'" + notStored);
}

// One record into a row, or nothing when the radio cannot hold it (the report says why).
std::optional<ChannelRow> importRecord(const RecordView& r, std::vector<std::string>& report)
{
    int location = decimalNumber(r, Location);
    std::optional<Hz> rx = frequency(r, Frequency);
    std::optional<Hz> offset = r.has(Offset) ? frequency(r, Offset) : std::optional<Hz>(0);

    std::string special = specialLocationName(location);
    if ((location < 1 || location > 99) && special.empty()) {
        report.push_back("Location " + std::to_string(location) +
                         ": not a memory of the radio (1 to 99, 100 to 107 for 1A to C2): "
                         "row left out");
        return std::nullopt;
    }
    std::string label = locationLabel(location);
    if (!special.empty())
        label = "Mem " + special;
    auto leaveOut = [&](const std::string& why) {
        report.push_back(label + ": " + why + ": row left out");
        return std::nullopt;
    };

    // The file's own duplex, so that the memory transmits where the file says.
    std::string duplex = asciiLower(r[Duplex]);
    std::optional<Hz> tx = rx;
    std::string splitText = "Duplex Off";
    if (duplex == "+" && rx && offset) {
        tx = *rx + *offset;
        splitText = "Duplex +";
    } else if (duplex == "-" && rx && offset) {
        tx = *rx - *offset;
        splitText = "Duplex --";
    } else if (duplex == "split") {
        tx = offset;
        splitText = "Split On";
    } else if (duplex != "" && duplex != "+" && duplex != "-" && duplex != "off") {
        return leaveOut("Duplex '" + r[Duplex] + "' is not one CHIRP writes");
    }
    if (!rx || !radioCanStore(*rx))
        return leaveOut("receive frequency " + r[Frequency] +
                        " MHz is outside what the radio can store");
    if (!tx || !radioCanStore(*tx))
        return leaveOut("transmit frequency " +
                        (tx && *tx >= 0 ? FormatFixed(toMhz(*tx), 1, 6) : r[Offset]) +
                        " MHz is outside what the radio can store");

    std::string chirpMode = r.has(Mode) ? r[Mode] : "FM";
    const ModeMapping* mapping = nullptr;
    for (const ModeMapping& m : kModes) {
        if (chirpMode == m.chirp)
            mapping = &m;
    }
    if (!mapping)
        return leaveOut("mode '" + chirpMode + "' is not one the radio has");

    // From here on the row is kept; what it cannot carry is reported.
    if (duplex == "off")
        report.push_back(label + ": transmit inhibit (Duplex off) is not stored by the radio: "
                                 "the row transmits on its receive frequency");
    reportTones(r, label, report);

    int filter = mapping->filter;
    int noteFilter = 0;
    std::string noteOffset;
    std::string comment = takeNotes(r.raw(Comment), noteFilter, noteOffset);
    // Notes count only where an export writes them; otherwise the comment is the user's own.
    if ((noteFilter && mapping->filter != kNormal) ||
        (!noteOffset.empty() && splitText != "Split On")) {
        comment = r.raw(Comment);
        noteFilter = 0;
        noteOffset.clear();
    }
    if (noteFilter)
        filter = noteFilter;
    // The name is kept in the row's "item" text, which the list does not show; a row without
    // a comment shows it as its comment too. The radio stores neither.
    std::string name = r.raw(Name);
    if (Trim(comment).empty() && !Trim(name).empty())
        comment = name;
    bool changed = false;
    comment = listText(comment, changed);
    name = listText(name, changed);
    if (changed)
        report.push_back(label +
                         ": commas and line breaks in the name or comment became ';' and blanks");

    if (!r[Power].empty())
        report.push_back(label + ": power " + r[Power] + " is not stored by the radio");
    if (!r[Skip].empty())
        report.push_back(label + ": scan skip '" + r[Skip] + "' is not stored by the radio");
    double step = 5;
    if (!r[TStep].empty() && (!TryStrToFloat(r[TStep], step) || step != 5))
        report.push_back(label + ": tuning step " + r[TStep] + " kHz is not stored by the radio");
    for (Column c : {UrCall, Rpt1Call, Rpt2Call})
        if (!r[c].empty())
            report.push_back(label + ": " + kColumnNames[c] + " '" + r[c] +
                             "' is not stored by the radio");
    if (!r[DvCode].empty() && r[DvCode] != "0")
        report.push_back(label + ": DVCODE " + r[DvCode] + " is not stored by the radio");

    std::string rxText = FormatFreq(toMhz(*rx));
    std::string txText = FormatFreq(toMhz(*tx));
    bool duplexOffset = duplex != "split";
    std::string offsetText = duplexOffset && offset && *offset < 100'000'000
                                 ? FormatFixed(toMhz(*offset), 2, 4)
                                 : FormatFixed(0, 2, 4);
    if (!noteOffset.empty())
        offsetText = noteOffset;
    ChannelRow row{false,
                   {label, txText, rxText, names().modeName(mapping->mode),
                    names().filterName(filter), splitText, comment, offsetText}};
    if (!Trim(name).empty())
        row.texts.push_back(name);
    return row;
}

} // namespace

ChirpExport formatChirpCsv(const std::vector<ChannelRow>& rows)
{
    ChirpExport result;
    result.text = std::string(kChirpCsvHeader) + "\r\n";
    for (const ChannelRow& row : rows) {
        // Blank rows (a memory the radio has nothing in) and rows without frequencies.
        if (row.texts.size() < 3 || isBlankText(textAt(row, ColFreqA)) ||
            isBlankText(textAt(row, ColFreqB)))
            continue;
        if (std::optional<std::string> why = exportRow(row, result.text))
            result.report.push_back(*why);
        else
            ++result.rows;
    }
    return result;
}

ChirpImport parseChirpCsv(std::string_view text)
{
    std::vector<CsvRecord> records = splitCsvRecords(text);
    std::array<int, ColumnCount> index;
    index.fill(-1);
    ChirpImport result;
    if (!records.empty()) {
        const std::vector<std::string>& header = records.front().fields;
        for (size_t i = 0; i < header.size(); ++i) {
            std::string name = Trim(header[i]);
            bool known = false;
            for (int c = 0; c < ColumnCount; ++c) {
                if (SameText(name, kColumnNames[static_cast<size_t>(c)]) && index[c] < 0) {
                    index[c] = static_cast<int>(i);
                    known = true;
                }
            }
            if (!known && !name.empty())
                result.report.push_back("Column '" + name + "' is not used");
        }
    }
    if (index[Location] < 0 || index[Frequency] < 0)
        throw EConvertError("This is not a CHIRP CSV file: its first line must name the "
                            "columns, Location and Frequency among them");

    std::map<std::string, std::pair<size_t, int>> byLabel; // label -> row index, line
    for (size_t n = 1; n < records.size(); ++n) {
        const CsvRecord& record = records[n];
        RecordView view(index, record);
        if (record.unterminated)
            result.report.push_back(view.where() +
                                    "a quote opened here is never closed: the rest of the file "
                                    "is one field");
        bool empty = true;
        for (const std::string& f : record.fields)
            empty = empty && Trim(f).empty();
        if (empty)
            continue;
        std::optional<ChannelRow> row;
        try {
            row = importRecord(view, result.report);
        } catch (const RowLeftOut& skipped) {
            result.report.push_back(view.where() + skipped.why + ": row left out");
        }
        if (!row)
            continue;
        const std::string label = row->texts.front();
        auto seen = byLabel.find(label);
        if (seen != byLabel.end()) {
            result.report.push_back(view.where() + label + " was already given on line " +
                                    std::to_string(seen->second.second) +
                                    ": the later row replaces it");
            result.rows[seen->second.first] = std::move(*row);
            seen->second.second = record.line;
            continue;
        }
        byLabel[label] = {result.rows.size(), record.line};
        result.rows.push_back(std::move(*row));
    }
    return result;
}

bool isChirpCsvName(const std::string& path)
{
    return path.size() >= 4 && SameText(std::string_view(path).substr(path.size() - 4), ".csv");
}

void exportChirpCsv(const ChannelList& list, UiEffects& ui,
                    std::chrono::system_clock::time_point now)
{
    ui.setStatus("");
    FileDialogRequest request;
    request.title = "Export CHIRP CSV";
    request.initialDir = dialogFolder();
    request.filter = "CHIRP CSV file|*.csv";
    request.defaultExt = "csv";
    request.fileName = proposedSaveName(now);
    std::optional<std::string> chosen = ui.runSaveDialog(request);
    if (!chosen)
        return;
    ui.hideEditPanel();
    const std::string& path = *chosen;
    if (askOverwrite(ui, path) == Overwrite::Cancelled)
        return;
    ChirpExport out = formatChirpCsv(list.rows());
    replaceFile(path, out.text);
    ui.setStatus(std::to_string(out.rows) + " Rows Exported ");
    if (!out.report.empty())
        ui.showReport(std::to_string(out.report.size()) + " rows could not be exported to " + path +
                          ":",
                      out.report);
}

void importChirpCsv(ChannelList& list, UiEffects& ui)
{
    ui.setStatus("");
    FileDialogRequest request;
    request.title = "Import CHIRP CSV";
    request.initialDir = dialogFolder();
    request.filter = "CHIRP CSV file|*.csv|All files|*";
    std::optional<std::string> chosen = ui.runOpenDialog(request);
    if (!chosen)
        return;
    ui.hideEditPanel();
    ChirpImport in = parseChirpCsv(readTextFile(*chosen));
    if (in.rows.empty()) {
        // Like a file that cannot be read: the list stays as it was.
        ui.setStatus("0 Rows Imported ");
        ui.showReport("Nothing in " + *chosen +
                          " is a memory the radio can hold; the list is as it was." +
                          (in.report.empty() ? " The file holds no rows." : ""),
                      in.report);
        return;
    }
    list.replaceAll(in.rows);
    ui.setStatus(std::to_string(in.rows.size()) + " Rows Imported ");
    if (!in.report.empty())
        ui.showReport("Imported " + std::to_string(in.rows.size()) + " rows from " + *chosen +
                          ". The radio does not store what follows:",
                      in.report);
}

} // namespace memvane
