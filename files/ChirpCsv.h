#pragma once
// CHIRP CSV, the file in which amateurs trade memory lists, both ways.
//
// Export: one line per channel row under a fixed header. The receive frequency goes into
// Frequency; the transmit side into Duplex and Offset so that CHIRP, which computes the transmit
// frequency from them, ends up with the row's two frequencies whatever its split/duplex text
// says: equal -> "" and 0; a "Duplex ..." row -> "-" or "+" by the direction, the difference
// as Offset; any other row -> "split" with the transmit frequency as Offset. Mode and filter
// become one CHIRP mode (FM Narrow -> NFM); a filter CHIRP has no mode for goes into Comment as
// "filter Wide", which the import reads back. Tone columns carry CHIRP's "no tone" values.
//
// Import: columns found by their header names in any order, any subset holding Location and
// Frequency; '#' lines skipped; a byte-order mark dropped. Each record becomes the row a channel
// file line would load as (the same frequency, offset and split/duplex texts as a read makes,
// unticked). Whatever the radio's memories cannot hold is listed in the report, row by row;
// rows the radio cannot hold at all (a location outside 1-99 and 1A-C2, a frequency outside
// its range, a mode it does not have) are left out and say so. A file that cannot be read as a
// whole (no such header, a number that is not one) throws, and nothing is replaced.
//
// The two flows run on the user-interface thread through UiEffects, like the channel file's.

#include "channels/ChannelList.h"
#include "core/ProgramState.h"
#include "core/UiEffects.h"

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace memvane {

inline constexpr const char* kChirpCsvHeader =
    "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
    "RxDtcsCode,CrossMode,Mode,TStep,Skip,Power,Comment,URCALL,RPT1CALL,RPT2CALL,DVCODE";

struct ChirpExport
{
    std::string text;                // header and one line per exported row, CR LF endings
    int rows = 0;                    // rows written
    std::vector<std::string> report; // rows that could not be exported, and why
};

struct ChirpImport
{
    std::vector<ChannelRow> rows;
    std::vector<std::string> report; // what the radio does not store, row by row
};

ChirpExport formatChirpCsv(const std::vector<ChannelRow>& rows);

// Throws EConvertError: no header with Location and Frequency, or a number that is not one
// ("Line 4: 'x' is not a valid floating point value").
ChirpImport parseChirpCsv(std::string_view text);

// "Export CHIRP CSV...": save dialog, overwrite question, the file, then the report (if any).
void exportChirpCsv(const ChannelList& list, UiEffects& ui,
                    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// "Import CHIRP CSV...": open dialog, then the file's rows replace the list; the report after.
void importChirpCsv(ChannelList& list, UiEffects& ui);

// True for a file name ending in ".csv" in any letter case.
bool isChirpCsvName(const std::string& path);

} // namespace memvane
