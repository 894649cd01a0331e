#pragma once
// Comma-separated values as other programs write them (CHIRP CSV): a field may be quoted, and
// a quoted field may hold commas, line breaks and doubled quotes. Unlike the channel file,
// which never quotes. Only a quote that opens a field quotes it; one inside an unquoted field
// (5" mast) is an ordinary character, as CHIRP reads it.

#include <string>
#include <string_view>
#include <vector>

namespace memvane {

struct CsvRecord
{
    int line = 0; // where it starts, counted from 1
    std::vector<std::string> fields;
    bool unterminated = false; // a quoted field ran to the end of the text
};

// The records of `text`. A UTF-8 byte-order mark is dropped; a line starting with '#' is a
// comment and an empty line holds no record; lines end in CR LF, LF or CR.
std::vector<CsvRecord> splitCsvRecords(std::string_view text);

// `text` as one field: quoted when it holds a comma, a quote or a line break.
std::string csvField(const std::string& text);

} // namespace memvane
