// The item models behind ListView1 and ListView2, the text codec at the widget boundary and the
// build-time text.

#include "app/BuildInfo.h"
#include "app/ChannelListModel.h"
#include "app/CommentListModel.h"
#include "app/TextCodec.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <cstdlib>

namespace memvane::test {
namespace {

TEST(ChannelListModelTest, FollowsTheStoreThroughEveryKindOfChange)
{
    ChannelList list;
    ChannelListModel model(list);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

    list.append(
        {false,
         {"Mem 1", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off", "", "00.6000"}});
    list.append({true, {"Mem 2"}});
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, 2).data().toString(), "0145.500000");
    EXPECT_EQ(model.index(1, 2).data().toString(), ""); // short row
    EXPECT_EQ(model.index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_FALSE(model.index(0, 0).data().isValid()); // the check box column has no text

    list.setText(1, 7, "hello");
    EXPECT_EQ(model.index(1, 7).data().toString(), "hello");
    list.setAllWrite(false);
    EXPECT_EQ(model.index(1, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);

    EXPECT_TRUE(model.setData(model.index(0, 0), Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(list.row(0).write);
    EXPECT_FALSE(model.setData(model.index(0, 1), "x", Qt::EditRole)); // no in-place editing
    EXPECT_TRUE(model.flags(model.index(0, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(model.index(0, 3)) & Qt::ItemIsEditable);

    list.replaceAll({{false, {"a"}}, {false, {"b"}}, {false, {"c"}}});
    EXPECT_EQ(model.rowCount(), 3);
    list.clear();
    EXPECT_EQ(model.rowCount(), 0);
    for (int i = 0; i < 99; ++i)
        list.append({false, {"Mem " + std::to_string(i + 1)}});
    EXPECT_EQ(model.rowCount(), 99);
    EXPECT_EQ(model.index(98, 1).data().toString(), "Mem 99");
}

TEST(ChannelListModelTest, ColumnsHaveTheirCaptionsWidthsAndAlignments)
{
    ChannelList list;
    ChannelListModel model(list);
    struct Col
    {
        const char* caption;
        int width;
        int min, max;
        Qt::Alignment align;
    };
    const Col expected[] = {
        {"Write", 40, 10, 80, Qt::AlignLeft},
        {"Mem Loc", 55, 10, 100, Qt::AlignLeft},
        {"Freq VFO A", 80, 10, 100, Qt::AlignRight},
        {"Freq VFO B", 80, 20, 100, Qt::AlignRight},
        {"Mode", 80, 10, 80, Qt::AlignHCenter},
        {"filter", 80, 10, 100, Qt::AlignHCenter},
        {"Duplex / Split", 75, 50, 100, Qt::AlignLeft},
        {"Comment", 165, 50, 200, Qt::AlignLeft},
        {"offset", 0, 0, 0, Qt::AlignLeft},
        {"item", 0, 0, 0, Qt::AlignLeft},
    };
    ASSERT_EQ(model.columnCount(), 10);
    list.append({false, {"x"}});
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString(),
                  expected[c].caption);
        const ChannelColumnLayout& column = ChannelListModel::column(c);
        EXPECT_EQ(column.width, expected[c].width) << c;
        EXPECT_EQ(column.minWidth, expected[c].min) << c;
        EXPECT_EQ(column.maxWidth, expected[c].max) << c;
        auto align = model.index(0, c).data(Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_TRUE(align & expected[c].align) << c;
    }
}

TEST(CommentListModelTest, ShowsFrequencyAndCommentAfterAnEmptyColumn)
{
    CommentList comments;
    CommentListModel model(comments);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    comments.setEntries({{"0145.500000", "Calling", {}}, {"0007.100000", "", {"x"}}});
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.index(0, 0).data().toString(), "");
    EXPECT_EQ(model.index(0, 1).data().toString(), "0145.500000");
    EXPECT_EQ(model.index(0, 2).data().toString(), "Calling");
    comments.setEntries({});
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(TextCodecTest, Utf8WhenValidOtherwiseWindows1252)
{
    struct Case
    {
        std::string bytes;
        QString text;
        TextEncoding encoding;
    };
    const Case cases[] = {
        {"plain", "plain", TextEncoding::Utf8},
        {"Caf\xC3\xA9", QString::fromUtf8("Caf\xC3\xA9"), TextEncoding::Utf8},
        {"Caf\xE9", QString::fromUtf8("Caf\xC3\xA9"), TextEncoding::Windows1252},
        {"\x80 \x9F", QString::fromUtf8("\xE2\x82\xAC \xC5\xB8"), TextEncoding::Windows1252},
        {"\xC0\xAF", QString::fromUtf8("\xC3\x80\xC2\xAF"), TextEncoding::Windows1252}, // overlong
        {"\xED\xA0\x80", QString::fromUtf8("\xC3\xAD\xC2\xA0\xE2\x82\xAC"),
         TextEncoding::Windows1252}, // surrogate
        {"\xE2\x82", QString::fromUtf8("\xC3\xA2\xE2\x80\x9A"), TextEncoding::Windows1252},
        // A byte-order mark at the start is a character of the text, not a marker to drop.
        {"\xEF\xBB\xBFMem 1", QChar(0xFEFF) + QString("Mem 1"), TextEncoding::Utf8},
    };
    for (const Case& c : cases) {
        TextEncoding used;
        EXPECT_EQ(decodeText(c.bytes, &used), c.text) << c.bytes;
        EXPECT_EQ(used, c.encoding) << c.bytes;
        EXPECT_EQ(encodeText(c.text, used), c.bytes) << c.bytes;
    }
}

TEST(TextCodecTest, EveryByteSurvivesTheWidgetBoundary)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    QLineEdit edit;
    setWidgetText(&edit, all);
    EXPECT_EQ(widgetText(&edit), all);

    // A Windows-1252 text the user extended with a character the code page lacks becomes UTF-8.
    setWidgetText(&edit, "Caf\xE9");
    edit.setText(edit.text() + QChar(0x263A));
    EXPECT_EQ(widgetText(&edit), "Caf\xC3\xA9\xE2\x98\xBA");
    // A typed text is UTF-8.
    QLineEdit typed;
    typed.setText(QString::fromUtf8("\xC3\xA9"));
    EXPECT_EQ(widgetText(&typed), "\xC3\xA9");
}

TEST(BuildInfoTest, BuildTimeIsShownInTheLocalZone)
{
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "UTC", 1);
    EXPECT_EQ(buildTimeText(1736380740), "25.01.08.2359");
    setenv("TZ", "CET-1", 1); // one hour east of UTC
    EXPECT_EQ(buildTimeText(1736380740), "25.01.09.0059");
    setenv("TZ", "EST5", 1);
    EXPECT_EQ(buildTimeText(1736380740), "25.01.08.1859");
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(BuildInfoTest, ExecutableFolderEndsWithASeparator)
{
    std::string dir = executableDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_EQ(dir.front(), '/');
}

} // namespace
} // namespace memvane::test
