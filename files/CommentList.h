#pragma once
// The comment list: free-text comments per receive frequency, read from "names.txt" in the
// process's current working folder, or an installed copy's user folder (never written) and shown in ListView2. Each line is
// "frequency,comment"; frequencies are compared as texts with the channel rows' "Freq VFO B",
// so only "0145.500000" matches a channel on 145.5 MHz.
//
// All of it runs on the user-interface thread. A reload parses the whole file before it
// replaces the entries, so a file that exists but cannot be read leaves the previous entries in
// place; only a missing file, or a name that holds no file (a folder, a FIFO), empties the list
// (silently).

#include "channels/ChannelList.h"
#include "core/UiEffects.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace memvane {

inline constexpr const char* kCommentFileName = "names.txt";

// One line of "names.txt", as ListView2 shows it: its first column is always empty, then
// "Freq VFO B" (field 1) and "Comment" (field 2). Fields from the third on are kept but not
// shown; at most 16 fields, the 16th holding the rest of the line.
struct CommentEntry
{
    std::string freq;
    std::string comment; // empty when the line has no comma
    std::vector<std::string> extra;

    bool operator==(const CommentEntry&) const = default;
};

class CommentList
{
public:
    // Replaces the entries with the lines of `path`. A missing file, a folder or a FIFO gives an
    // empty list and no error; any other failure throws EInOutError and keeps the entries.
    void load(const std::string& path = kCommentFileName);

    const std::vector<CommentEntry>& entries() const { return m_entries; }
    void setEntries(std::vector<CommentEntry> entries);

    // Called after the entries were replaced, so ListView2 can rebuild its rows.
    void setOnChanged(std::function<void()> callback) { m_onChanged = std::move(callback); }

    static std::vector<CommentEntry> parse(std::string_view contents);

private:
    std::vector<CommentEntry> m_entries;
    std::function<void()> m_onChanged;
};

// getFileClick (start-up and "Re Read List"): empties Label1, hides the edit panel and reloads
// the list from "names.txt" in `folder` (with its trailing '/'), the current working folder
// when that is empty.
void getFileClick(CommentList& comments, UiEffects& ui, const std::string& folder = {});

// The comment of the last entry whose frequency text equals `freq` character for character; an
// empty text when none does. Entries with an empty frequency never match.
std::string getcomment(const CommentList& comments, const std::string& freq);

// loadcommentsClick ("Load Comments from List"): from the first row on, sets each row's
// "Comment" to getcomment of its "Freq VFO B", so a row without a matching entry loses its
// comment. A row with fewer than seven texts (from a short file line) shows "Trouble reading
// Coments." and ends the filling; the rows before it keep their new comments.
void loadComments(ChannelList& list, const CommentList& comments, UiEffects& ui);

// ClearCommentTexts1Click ("Clear Comment Texts"): empties every row's "Comment". A row with
// fewer than seven texts stops it with EListError "List index out of bounds (6)"; the rows
// before it stay cleared.
void clearCommentTexts(ChannelList& list);

} // namespace memvane
