#pragma once
// The channel file: the whole channel list as comma-separated text, one line per row,
// "true"/"false" for the write flag and then the row's texts, every line ending in CR LF, no
// quoting. Texts are bytes and go through unchanged, except the two frequency fields, which a
// load rewrites in the "0000.000000" form.
//
// The handlers of TForm1 call these on the user-interface thread; every effect on the window
// goes through UiEffects (status label, edit panel, messages, dialogs). Failures are thrown
// (EInOutError, EConvertError) for the top-level handler to show, and never cost data:
//   - a load parses the whole file before it replaces the list in one step, so a missing,
//     unreadable or malformed file leaves the list as it was;
//   - a save writes a temporary file beside the target and renames it over the target, so a
//     failed save leaves the previous file intact.
//
// A frequency field that is empty or holds only blanks (a saved blank row) loads unchanged;
// any other text that is not a number fails with "'%s' is not a valid floating point value".
// A line holds at most 16 fields: from the 16th on, the rest of the line (commas included)
// stays one text, so it is saved back exactly as it was read.

#include "channels/ChannelList.h"
#include "core/ProgramState.h"
#include "core/UiEffects.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace memvane {

// Save dialog settings of "Save to File".
inline constexpr const char* kSaveDialogTitle = "Save your text or word file";
inline constexpr const char* kSaveDialogFilter = "Text file|*.txt|Word file|*.doc";
inline constexpr const char* kSaveDialogDefaultExt = "txt";

// savetofileClick. Empties Label1, asks for the target in the save dialog (title, current
// working folder or `state.userdir` when set, filter, default extension "txt" that the dialog appends to a name typed
// without one, proposed name from `now` in local time as "yyyy-MM-dd--hhmm"), hides the edit
// panel, asks "really overwrite this file?\r\n" + name before replacing an existing file, and
// writes every row. Cancelling shows "Save file was cancelled"; the overwrite question shows
// "OK pressed" or "Cancel pressed" after its answer. `state` (basename, loaddir) is left alone:
// "Read from File Name ^" keeps loading the file named in the boxes.
void saveChannelFile(const ChannelList& list, ProgramState& state, UiEffects& ui,
                     std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// ReadfromFileClick. Empties Label1, hides the edit panel and replaces the list with the rows of
// `state.loaddir` + `state.basename` (`state.exedir` when loaddir is empty). A basename that is
// no plain file name (holds a '/', or is "." or "..") is refused with EInOutError before
// anything is read.
void loadChannelFile(ChannelList& list, ProgramState& state, UiEffects& ui);

// The two file-name boxes: Memo1 (name without extension) and Memo2 (extension with its full
// stop, or empty).
struct FileBoxes
{
    std::string name, ext;
};

// SelectFileClick's dialog part. Empties Label1 and runs the open dialog (no title, filter or
// default extension; the current working folder). On a choice, `state.loaddir` becomes the
// chosen file's folder and the result holds the box texts: the file name up to its last full
// stop, and the extension from it. The caller puts them into Memo1/Memo2 (whose change
// handlers recompute `state.basename` through makeBasename) and then calls loadChannelFile,
// also when this returns nothing (cancel reloads the file named in the boxes).
std::optional<FileBoxes> chooseChannelFile(ProgramState& state, UiEffects& ui);

// Memo1Change (and a change of Memo2): the trimmed name box text followed by the trimmed
// extension box text. Trimming removes blanks and control characters at both ends.
std::string makeBasename(const std::string& nameBox, const std::string& extBox);

// The folder the file dialogs start in: the current working folder.
std::string dialogFolder();

// "yyyy-MM-dd--hhmm" of `now` in local time: 31 January 2025, 14:05 gives 2025-01-31--1405.
std::string proposedSaveName(std::chrono::system_clock::time_point now);

// The question before a save replaces a file the user chose: nothing to ask when `path` does not
// exist, "really overwrite this file?\r\n" + path when it does. A folder of that name is
// refused with EInOutError (EISDIR) before anything is asked.
enum class Overwrite { NoFile, Confirmed, Cancelled };
Overwrite askOverwrite(UiEffects& ui, const std::string& path);

// The file's text for `rows` and the rows of a file's text; the two flows above use them.
// parseChannelFile throws EConvertError for a frequency field that is not a number.
std::string formatChannelFile(const std::vector<ChannelRow>& rows);
std::vector<ChannelRow> parseChannelFile(std::string_view contents);

} // namespace memvane
