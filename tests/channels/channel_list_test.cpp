#include "channels/ChannelList.h"
#include "core/Errors.h"

#include <gtest/gtest.h>

using namespace memvane;

namespace {
struct Recorder : ChannelListListener {
    std::vector<std::string> events;
    void rowsReset() override { events.push_back("reset"); }
    void rowsAppended(size_t first, size_t count) override
    {
        events.push_back("append " + std::to_string(first) + "+" + std::to_string(count));
    }
    void rowChanged(size_t index) override { events.push_back("change " + std::to_string(index)); }
};
} // namespace

TEST(ChannelList, ShortRowsReportTheMissingSubItem)
{
    ChannelList list;
    list.append({false, {"Mem 7"}});
    EXPECT_EQ(list.text(0, ColMemLoc), "Mem 7");
    try {
        list.text(0, ColFreqB);
        FAIL();
    } catch (const EListError& e) {
        EXPECT_EQ(e.message(), "List index out of bounds (2)");
    }
}

TEST(ChannelList, ListenerSeesEveryChangeAndTickAllSkipsUnchangedRows)
{
    ChannelList list;
    Recorder rec;
    list.setListener(&rec);
    list.append({true, {"Mem 1"}});
    list.append({false, {"Mem 2"}});
    list.setAllWrite(true);
    list.setText(0, ColComment, "club");
    list.clear();
    EXPECT_EQ(rec.events,
              (std::vector<std::string>{"append 0+1", "append 1+1", "change 1", "change 0", "reset"}));
}

TEST(ChannelList, SetTextExtendsAShortRow)
{
    ChannelList list;
    list.append({false, {}});
    list.setText(0, ColComment, "x");
    ASSERT_EQ(list.row(0).texts.size(), 7u);
    EXPECT_EQ(list.row(0).texts[6], "x");
}
