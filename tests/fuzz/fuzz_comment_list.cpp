// The "names.txt" loader and what the comments do to the channel list, on arbitrary bytes. The
// input is split in two: the comment file, and a channel file whose rows receive the comments.
// Invariants:
//   - the parse is lossless: every line of the file is its entry's fields joined by commas;
//   - a load through the file gives the parsed entries, or fails with EInOutError and keeps the
//     previous entries;
//   - getcomment is the comment of the last entry with that exact frequency text;
//   - "Load Comments from List" sets the comments of the rows before the first short row and
//     stops there with its message; "Clear Comment Texts" empties them and throws EListError
//     exactly at a short row.

#include "channels/ChannelList.h"
#include "core/Errors.h"
#include "files/ChannelFile.h"
#include "files/CommentList.h"
#include "files/TextFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace memvane;
using namespace memvane::fuzz;

namespace {

std::string joined(const CommentEntry& e, bool hasComma)
{
    std::string line = e.freq;
    if (hasComma)
        line += "," + e.comment;
    for (const std::string& x : e.extra)
        line += "," + x;
    return line;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const std::string names = fdp.ConsumeRandomLengthString(4096);
    const std::string channels = fdp.ConsumeRemainingBytesAsString();

    const std::vector<CommentEntry> entries = CommentList::parse(names);
    const std::vector<std::string_view> lines = splitLines(names);
    FUZZ_CHECK(entries.size() == lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        bool hasComma = lines[i].find(',') != std::string_view::npos;
        FUZZ_CHECK(joined(entries[i], hasComma) == lines[i]);
        FUZZ_CHECK(entries[i].extra.size() <= 14);
    }

    // Through the file, as getFileClick loads it.
    const ScratchDir& dir = ScratchDir::get();
    const std::string path = dir.file("names.txt");
    writeFile(path, names);
    CommentList comments;
    const std::vector<CommentEntry> previous = {{"0145.500000", "previous", {}}};
    comments.setEntries(previous);
    try {
        comments.load(path);
        FUZZ_CHECK(comments.entries() == CommentList::parse(withoutBom(names)));
    } catch (const EInOutError&) {
        FUZZ_CHECK(names.find('\0') != std::string::npos);
        FUZZ_CHECK(comments.entries() == previous);
        comments.setEntries(entries);
    }

    for (const CommentEntry& probe : comments.entries()) {
        std::string expected;
        for (const CommentEntry& e : comments.entries())
            if (!e.freq.empty() && e.freq == probe.freq)
                expected = e.comment;
        FUZZ_CHECK(getcomment(comments, probe.freq) == expected);
    }

    std::vector<ChannelRow> rows;
    try {
        rows = parseChannelFile(channels);
    } catch (const EConvertError&) {
        return 0;
    }
    ChannelList list;
    list.replaceAll(rows);
    RecordingUi ui;
    loadComments(list, comments, ui);
    size_t firstShort = rows.size();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].texts.size() < static_cast<size_t>(ColComment)) {
            firstShort = i;
            break;
        }
    }
    FUZZ_CHECK(ui.messages.size() == (firstShort < rows.size() ? 1u : 0u));
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i < firstShort) {
            FUZZ_CHECK(list.text(i, ColComment) ==
                       getcomment(comments, rows[i].texts[ColFreqB - 1]));
            ChannelRow other = list.row(i);
            other.texts[ColComment - 1] = rows[i].texts[ColComment - 1];
            FUZZ_CHECK(other == rows[i]);
        } else {
            FUZZ_CHECK(list.row(i) == rows[i]);
        }
    }

    bool threw = false;
    try {
        clearCommentTexts(list);
    } catch (const EListError& e) {
        threw = true;
        FUZZ_CHECK(std::string(e.what()) == "List index out of bounds (6)");
    }
    FUZZ_CHECK(threw == (firstShort < rows.size()));
    for (size_t i = 0; i < firstShort; ++i)
        FUZZ_CHECK(list.text(i, ColComment).empty());
    return 0;
}
