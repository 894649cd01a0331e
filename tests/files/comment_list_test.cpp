#include "files/CommentList.h"

#include "core/Errors.h"
#include "files/TextFile.h"
#include "tests/support/FakeUi.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace memvane;
using memvane::test::FakeUi;
using memvane::test::spit;
using memvane::test::TempDir;

namespace {

// Runs the test inside its own folder, since "names.txt" is read from the current one.
class InFolder
{
public:
    explicit InFolder(const std::filesystem::path& dir) : m_old(std::filesystem::current_path())
    {
        std::filesystem::current_path(dir);
    }
    ~InFolder() { std::filesystem::current_path(m_old); }

private:
    std::filesystem::path m_old;
};

ChannelRow channel(const std::string& label, const std::string& tx, const std::string& rx,
                   const std::string& comment)
{
    return {false, {label, tx, rx, "FM", "Normal", "Duplex Off", comment, "00.0000"}};
}

CommentList commentsFrom(const std::string& contents)
{
    CommentList comments;
    comments.setEntries(CommentList::parse(contents));
    return comments;
}

} // namespace

TEST(CommentList, LinesBecomeEntries)
{
    std::string line17 = "0001.000000,c";
    for (int i = 3; i <= 17; ++i)
        line17 += ",x" + std::to_string(i);
    CommentList comments = commentsFrom("0145.500000,Calling channel\r\n"
                                        "0145.500000\r\n"
                                        ",orphan comment\r\n"
                                        "0433.500000,club, meets Fridays\n"
                                        "\r\n" +
                                        line17);
    std::vector<std::string> rest;
    for (int i = 3; i <= 15; ++i)
        rest.push_back("x" + std::to_string(i));
    rest.push_back("x16,x17");
    std::vector<CommentEntry> expected = {
        {"0145.500000", "Calling channel", {}},
        {"0145.500000", "", {}},
        {"", "orphan comment", {}},
        {"0433.500000", "club", {" meets Fridays"}},
        {"", "", {}},
        {"0001.000000", "c", rest},
    };
    EXPECT_EQ(comments.entries(), expected);
}

TEST(CommentList, LookupComparesTextsAndTheLastMatchWins)
{
    CommentList comments = commentsFrom("0145.500000,Calling channel\r\n"
                                        "145.5,never matches\r\n"
                                        ",orphan comment\r\n"
                                        " ,blank memory\r\n"
                                        "0145.500000,Net night\r\n"
                                        "0433.500000,Club\r\n"
                                        "0433.500000\r\n");
    EXPECT_EQ(getcomment(comments, "0145.500000"), "Net night");
    EXPECT_EQ(getcomment(comments, "145.5"), "never matches");
    EXPECT_EQ(getcomment(comments, "0145.5"), "");
    EXPECT_EQ(getcomment(comments, ""), "");
    EXPECT_EQ(getcomment(comments, " "), "blank memory");
    // A later line without a comment overrides an earlier comment with an empty one.
    EXPECT_EQ(getcomment(comments, "0433.500000"), "");
}

TEST(CommentList, LoadCommentsSetsEveryRowByItsReceiveFrequency)
{
    CommentList comments = commentsFrom("0145.500000,Calling channel\r\n"
                                        "0145.500000,Net night\r\n"
                                        " ,empty memory\r\n");
    ChannelList list;
    list.replaceAll({channel("Mem 1", "0144.900000", "0145.500000", "old"),
                     channel("Mem 2", "0145.500000", "0144.900000", "old comment"),
                     {false, {"Mem 3", " ", " ", " ", " ", " ", " ", " "}}});
    FakeUi ui;
    loadComments(list, comments, ui);
    EXPECT_EQ(list.text(0, ColComment), "Net night");
    EXPECT_EQ(list.text(1, ColComment), "");
    EXPECT_EQ(list.text(2, ColComment), "empty memory");
    EXPECT_EQ(list.row(0).texts.size(), 8u);
    EXPECT_EQ(list.text(0, ColOffset), "00.0000");
    EXPECT_TRUE(ui.messages.empty());

    clearCommentTexts(list);
    for (size_t i = 0; i < list.size(); ++i)
        EXPECT_EQ(list.text(i, ColComment), "") << i;
}

TEST(CommentList, AShortRowStopsTheFilling)
{
    CommentList comments = commentsFrom("0145.500000,Net night\r\n");
    ChannelList list;
    list.replaceAll({channel("Mem 1", "0145.500000", "0145.500000", "a"),
                     {false, {"Mem 2", "0145.500000", "0145.500000", "FM"}},
                     channel("Mem 3", "0145.500000", "0145.500000", "c")});
    FakeUi ui;
    loadComments(list, comments, ui);
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Trouble reading Coments."});
    EXPECT_EQ(list.text(0, ColComment), "Net night");
    EXPECT_EQ(list.row(1).texts.size(), 4u);
    EXPECT_EQ(list.text(2, ColComment), "c");

    try {
        clearCommentTexts(list);
        FAIL() << "cleared a short row";
    } catch (const EListError& e) {
        EXPECT_EQ(e.message(), "List index out of bounds (6)");
    }
    EXPECT_EQ(list.text(0, ColComment), "");
    EXPECT_EQ(list.row(1).texts.size(), 4u);
    EXPECT_EQ(list.text(2, ColComment), "c");
}

TEST(CommentList, NamesTxtComesFromTheCurrentFolder)
{
    TempDir dir;
    InFolder in(dir.path());
    CommentList comments;
    int changes = 0;
    comments.setOnChanged([&] { ++changes; });
    FakeUi ui;
    ui.label = "stale";

    spit("names.txt", "0145.500000,Net night\r\n");
    getFileClick(comments, ui);
    EXPECT_EQ(comments.entries(), (std::vector<CommentEntry>{{"0145.500000", "Net night", {}}}));
    EXPECT_EQ(ui.label, "");
    EXPECT_EQ(ui.hideEditPanelCalls, 1);
    EXPECT_EQ(changes, 1);

    // A names.txt that cannot be read keeps what was loaded and says why.
    std::filesystem::remove("names.txt");
    spit("names.txt", std::string("0145.500000,a\0b\r\n", 17));
    EXPECT_THROW(getFileClick(comments, ui), EInOutError);
    EXPECT_EQ(comments.entries().size(), 1u);
    std::filesystem::remove("names.txt");
    spit("names.txt", std::string(kMaxTextFileSize + 1, ','));
    EXPECT_THROW(getFileClick(comments, ui), EInOutError);
    EXPECT_EQ(comments.entries().size(), 1u);

    // A folder or a FIFO under the name is no list of comments: empty, as without the file,
    // and the FIFO is not waited on.
    std::filesystem::remove("names.txt");
    std::filesystem::create_directory("names.txt");
    EXPECT_NO_THROW(getFileClick(comments, ui));
    EXPECT_TRUE(comments.entries().empty());
    std::filesystem::remove("names.txt");
    ASSERT_EQ(::mkfifo("names.txt", 0600), 0);
    spit("other.txt", "0145.500000,Net night\r\n");
    comments.load("other.txt");
    EXPECT_NO_THROW(getFileClick(comments, ui));
    EXPECT_TRUE(comments.entries().empty());

    // Without names.txt the list is simply empty, and every comment then goes.
    std::filesystem::remove("names.txt");
    comments.load("other.txt");
    EXPECT_NO_THROW(getFileClick(comments, ui));
    EXPECT_TRUE(comments.entries().empty());
    EXPECT_TRUE(ui.messages.empty());
    ChannelList list;
    list.replaceAll({channel("Mem 1", "0145.500000", "0145.500000", "club")});
    loadComments(list, comments, ui);
    EXPECT_EQ(list.text(0, ColComment), "");
}
