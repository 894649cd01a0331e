#pragma once
// The single store of channel data: one row per radio memory, a write flag (the row's check box)
// and the column texts. ListView1 shows it through a Qt item model (app/ChannelListModel) that
// listens for changes; every operation reads and writes rows here, nothing else keeps a copy.
//
// texts[0] is column 1 ("Mem Loc"), texts[1] column 2 ("Freq VFO A"), ... texts[7] column 8
// ("offset"). Rows read from the radio have exactly eight texts; rows loaded from a file have as
// many as their line had fields after the first, so code must not assume eight.

#include <cstddef>
#include <string>
#include <vector>

namespace memvane {

struct ChannelRow {
    bool write = false;
    std::vector<std::string> texts;

    bool operator==(const ChannelRow&) const = default;
};

// Column numbers as the list shows them (column 0 is the check box).
enum ChannelColumn : int {
    ColMemLoc = 1,
    ColFreqA = 2,   // transmit frequency
    ColFreqB = 3,   // receive frequency
    ColMode = 4,
    ColFilter = 5,
    ColSplit = 6,
    ColComment = 7,
    ColOffset = 8,
    ColItem = 9,
};

class ChannelListListener {
public:
    virtual ~ChannelListListener() = default;
    virtual void rowsReset() = 0;                 // cleared or replaced wholesale
    virtual void rowsAppended(size_t first, size_t count) = 0;
    virtual void rowChanged(size_t index) = 0;    // flag or texts of one row
};

class ChannelList {
public:
    size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }
    const ChannelRow& row(size_t index) const { return m_rows.at(index); }
    const std::vector<ChannelRow>& rows() const { return m_rows; }

    // Text of column `column` (1-based, as shown) of row `index`. A missing column throws
    // EListError with the zero-based sub-item index, as the list control reports it.
    const std::string& text(size_t index, int column) const;

    void clear();
    void replaceAll(std::vector<ChannelRow> rows);
    void append(ChannelRow row);
    void setWrite(size_t index, bool write);
    void setAllWrite(bool write);
    // Sets column `column` of row `index`; a row that is too short is extended with empty texts.
    void setText(size_t index, int column, std::string text);
    void setRow(size_t index, ChannelRow row);

    void setListener(ChannelListListener* listener) { m_listener = listener; }

private:
    std::vector<ChannelRow> m_rows;
    ChannelListListener* m_listener = nullptr;
};

} // namespace memvane
