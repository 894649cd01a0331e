#include "files/CommentList.h"

#include "core/Errors.h"
#include "files/TextFile.h"

#include <optional>
#include <string_view>
#include <unordered_map>

namespace memvane {

namespace {
constexpr std::size_t kMaxFields = 16;
constexpr long kCommentSubItem = ColComment - 1;
} // namespace

std::vector<CommentEntry> CommentList::parse(std::string_view contents)
{
    std::vector<CommentEntry> entries;
    for (std::string_view line : splitLines(contents)) {
        std::vector<std::string> fields = splitFields(line, kMaxFields);
        CommentEntry entry;
        entry.freq = std::move(fields[0]);
        if (fields.size() > 1)
            entry.comment = std::move(fields[1]);
        if (fields.size() > 2)
            entry.extra.assign(std::make_move_iterator(fields.begin() + 2),
                               std::make_move_iterator(fields.end()));
        entries.push_back(std::move(entry));
    }
    return entries;
}

void CommentList::load(const std::string& path)
{
    // A folder or a FIFO under the name holds no comments, any more than a missing file.
    std::optional<std::string> contents = readTextFileIfAny(path);
    setEntries(contents ? parse(*contents) : std::vector<CommentEntry>{});
}

void CommentList::setEntries(std::vector<CommentEntry> entries)
{
    m_entries = std::move(entries);
    if (m_onChanged)
        m_onChanged();
}

void getFileClick(CommentList& comments, UiEffects& ui, const std::string& folder)
{
    ui.setStatus("");
    ui.hideEditPanel();
    comments.load(folder + kCommentFileName);
}

std::string getcomment(const CommentList& comments, const std::string& freq)
{
    std::string result;
    for (const CommentEntry& entry : comments.entries()) {
        if (!entry.freq.empty() && entry.freq == freq)
            result = entry.comment;
    }
    return result;
}

void loadComments(ChannelList& list, const CommentList& comments, UiEffects& ui)
{
    // getcomment per row would scan every entry for every row: 10 000 names over a 100 000-row
    // list took seconds. One index, built in file order so later entries overwrite earlier
    // ones, gives the same answers (the last match wins, an empty frequency never matches).
    std::unordered_map<std::string_view, std::string_view> byFreq;
    byFreq.reserve(comments.entries().size());
    for (const CommentEntry& entry : comments.entries()) {
        if (!entry.freq.empty())
            byFreq[entry.freq] = entry.comment;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list.row(i).texts.size() < static_cast<std::size_t>(ColComment)) {
            ui.showMessage("Trouble reading Coments.");
            return;
        }
        auto found = byFreq.find(list.text(i, ColFreqB));
        std::string comment = found == byFreq.end() ? std::string() : std::string(found->second);
        if (comment != list.text(i, ColComment))
            list.setText(i, ColComment, std::move(comment));
    }
}

void clearCommentTexts(ChannelList& list)
{
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list.row(i).texts.size() < static_cast<std::size_t>(ColComment))
            throw EListError(kCommentSubItem);
        if (!list.text(i, ColComment).empty())
            list.setText(i, ColComment, "");
    }
}

} // namespace memvane
