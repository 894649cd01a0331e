#include "files/CsvText.h"

namespace memvane {

std::vector<CsvRecord> splitCsvRecords(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    std::vector<CsvRecord> records;
    size_t i = 0;
    int line = 1;
    auto atLineEnd = [&](size_t at) {
        return at >= text.size() || text[at] == '\r' || text[at] == '\n';
    };
    auto skipLineEnd = [&] {
        if (i < text.size() && text[i] == '\r')
            ++i;
        if (i < text.size() && text[i] == '\n')
            ++i;
        ++line;
    };
    while (i < text.size()) {
        if (text[i] == '#' || atLineEnd(i)) {
            while (!atLineEnd(i))
                ++i;
            skipLineEnd();
            continue;
        }
        CsvRecord record;
        record.line = line;
        std::string field;
        bool quoted = false;
        bool fieldStart = true;
        for (;;) {
            if (i >= text.size()) {
                record.unterminated = quoted;
                record.fields.push_back(std::move(field));
                break;
            }
            char c = text[i];
            if (quoted) {
                ++i;
                if (c == '"') {
                    if (i < text.size() && text[i] == '"') {
                        field += '"';
                        ++i;
                    } else {
                        quoted = false;
                    }
                } else {
                    if (c == '\n' || (c == '\r' && (i >= text.size() || text[i] != '\n')))
                        ++line;
                    field += c;
                }
            } else if (c == '"' && fieldStart) {
                quoted = true;
                fieldStart = false;
                ++i;
            } else if (c == ',') {
                record.fields.push_back(std::move(field));
                field.clear();
                fieldStart = true;
                ++i;
            } else if (c == '\r' || c == '\n') {
                record.fields.push_back(std::move(field));
                skipLineEnd();
                break;
            } else {
                field += c;
                fieldStart = false;
                ++i;
            }
        }
        records.push_back(std::move(record));
    }
    return records;
}

std::string csvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + '"';
}

} // namespace memvane
