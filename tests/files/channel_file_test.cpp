#include "files/ChannelFile.h"

#include "core/Errors.h"
#include "tests/files/LoadError.h"
#include "tests/support/FakeUi.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace memvane;
using memvane::test::FakeUi;
using memvane::test::slurp;
using memvane::test::spit;
using memvane::test::TempDir;

namespace {

// Rows as a full read makes them: eight texts each, blank rows with single spaces, plus
// comments in Windows-1252 and in UTF-8.
std::vector<ChannelRow> fullReadRows()
{
    return {
        {false,
         {"Mem 1", "0145.000000", "0145.600000", "FM", "Normal", "Duplex --", "", "00.6000"}},
        {false, {"Mem 2", " ", " ", " ", " ", " ", " ", " "}},
        {true,
         {"Mem 3", "0007.100000", "0007.100000", "LSB", "Wide", "Split Off", "\xE9t\xE9 club",
          "00.0000"}},
        {false,
         {"Mem 4", "0433.500000", "0433.500000", "USB", "Narrow", "Split On",
          "Relais K\xC3\xB6ln \xE2\x82\xAC", "00.0000"}},
    };
}

const char* const kFullReadFile =
    "false,Mem 1,0145.000000,0145.600000,FM,Normal,Duplex --,,00.6000\r\n"
    "false,Mem 2, , , , , , , \r\n"
    "true,Mem 3,0007.100000,0007.100000,LSB,Wide,Split Off,\xE9t\xE9 club,00.0000\r\n"
    "false,Mem 4,0433.500000,0433.500000,USB,Narrow,Split On,Relais K\xC3\xB6ln \xE2\x82\xAC,"
    "00.0000\r\n";

struct Fixture : ::testing::Test
{
    TempDir dir;
    FakeUi ui;
    ProgramState state;
    ChannelList list;

    void SetUp() override
    {
        state.exedir = dir.path().string() + "/";
        state.loaddir = state.exedir;
        state.basename = "Default.txt";
        ui.label = "stale";
    }
    void save(const std::string& path)
    {
        ui.saveAnswers.push_back(path);
        saveChannelFile(list, state, ui);
    }
    // Loads `contents` as Default.txt from the load folder.
    void load(const std::string& contents)
    {
        spit(dir.file("Default.txt"), contents);
        loadChannelFile(list, state, ui);
    }
    std::string loadError() { return test::loadError(list, state, ui); }
};

class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const char* tz)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (old)
            m_old = old;
        ::setenv("TZ", tz, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_had)
            ::setenv("TZ", m_old.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

std::chrono::system_clock::time_point at(std::time_t t)
{
    return std::chrono::system_clock::from_time_t(t);
}

} // namespace

using ChannelFileTest = Fixture;

TEST_F(ChannelFileTest, FullReadWithBlankRowsRoundTripsByteForByte)
{
    list.replaceAll(fullReadRows());
    save(dir.file("first.txt"));
    EXPECT_EQ(slurp(dir.file("first.txt")), kFullReadFile);

    list.replaceAll({{true, {"old row"}}});
    state.basename = "first.txt";
    loadChannelFile(list, state, ui);
    EXPECT_EQ(list.rows(), fullReadRows());

    save(dir.file("second.txt"));
    EXPECT_EQ(slurp(dir.file("second.txt")), kFullReadFile);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(ChannelFileTest, LoadingAppliesTickRulesAndKeepsShortAndLongLines)
{
    load("true,Mem 5,145.5,145.5,FM,Normal,Duplex Off,,00.0000\r\n"
         " true,Mem 6\r\n"
         "True,Mem 7\r\n"
         "yes,Mem 8\r\n"
         "false,Mem 7\r\n"
         "\r\n"
         "false,Mem 9,7.1,7.1,LSB,Normal,Split Off,club, net,00.0000\n"
         "true,Mem 10, 0145.5 ,,USB\r\n"
         "true,\r\n"
         "false,Mem 11,1e2,-5");
    std::vector<ChannelRow> expected = {
        {true,
         {"Mem 5", "0145.500000", "0145.500000", "FM", "Normal", "Duplex Off", "", "00.0000"}},
        {true, {"Mem 6"}},
        {false, {"Mem 7"}},
        {false, {"Mem 8"}},
        {false, {"Mem 7"}},
        {false, {}},
        // The comma in the comment splits it and pushes the offset one column on.
        {false,
         {"Mem 9", "0007.100000", "0007.100000", "LSB", "Normal", "Split Off", "club", " net",
          "00.0000"}},
        {true, {"Mem 10", "0145.500000", "", "USB"}},
        {true, {""}},
        {false, {"Mem 11", "0100.000000", "-0005.000000"}},
    };
    EXPECT_EQ(list.rows(), expected);
    EXPECT_EQ(ui.label, "");
    EXPECT_EQ(ui.hideEditPanelCalls, 1);
}

TEST_F(ChannelFileTest, ARowWithoutTextsSurvivesASaveAndLoad)
{
    load("\r\n");
    ASSERT_EQ(list.rows(), (std::vector<ChannelRow>{{false, {}}}));
    save(dir.file("out.txt"));
    EXPECT_EQ(slurp(dir.file("out.txt")), "false\r\n");
    state.basename = "out.txt";
    loadChannelFile(list, state, ui);
    EXPECT_EQ(list.rows(), (std::vector<ChannelRow>{{false, {}}}));
}

TEST_F(ChannelFileTest, LinesBeyondSixteenFieldsKeepTheirRestInTheLastText)
{
    std::string line = "false,Mem 1,0145.500000,0145.500000";
    for (int i = 5; i <= 20; ++i)
        line += ",f" + std::to_string(i);
    load(line + "\r\n");
    ASSERT_EQ(list.size(), 1u);
    ASSERT_EQ(list.row(0).texts.size(), 15u);
    EXPECT_EQ(list.row(0).texts[13], "f15");
    EXPECT_EQ(list.row(0).texts[14], "f16,f17,f18,f19,f20");
    save(dir.file("out.txt"));
    EXPECT_EQ(slurp(dir.file("out.txt")), line + "\r\n");
}

TEST_F(ChannelFileTest, AByteOrderMarkDoesNotHideTheFirstTick)
{
    load("\xEF\xBB\xBFtrue,Mem 1\r\n");
    EXPECT_EQ(list.rows(), (std::vector<ChannelRow>{{true, {"Mem 1"}}}));
}

TEST_F(ChannelFileTest, AFrequencyThatIsNotANumberFailsAndKeepsTheList)
{
    list.replaceAll(fullReadRows());
    struct Case
    {
        std::string file, message;
    };
    std::string longText(200, 'A');
    for (const Case& c : std::vector<Case>{
             {"false,Mem 1,0145.500000,abc\r\n", "'abc' is not a valid floating point value"},
             {"false,Mem 1,0145.500000,0145.500000\r\nfalse,Mem 2,1,x5",
              "'x5' is not a valid floating point value"},
             {"false,Mem 1,\t\r\n", "'?' is not a valid floating point value"},
             {"false,Mem 1," + longText + "\r\n",
              "'" + std::string(60, 'A') + "...' is not a valid floating point value"},
         }) {
        spit(dir.file("Default.txt"), c.file);
        EXPECT_EQ(loadError(), c.message) << c.file;
        EXPECT_EQ(list.rows(), fullReadRows()) << c.file;
    }
}

TEST_F(ChannelFileTest, AMissingOrUnreadableFileKeepsTheList)
{
    list.replaceAll(fullReadRows());
    EXPECT_EQ(loadError(), "File not found");
    EXPECT_EQ(list.rows(), fullReadRows());
    EXPECT_EQ(ui.label, "");
    EXPECT_EQ(ui.hideEditPanelCalls, 1);

    std::filesystem::create_directory(dir.file("Default.txt"));
    EXPECT_EQ(loadError(), "File access denied");
    EXPECT_EQ(list.rows(), fullReadRows());
}

TEST_F(ChannelFileTest, ANameBoxTextThatIsAPathIsRefused)
{
    // A file one folder up, which a path climbing out of the load folder would reach.
    TempDir outer;
    state.exedir = state.loaddir = (outer.path() / "program").string() + "/";
    std::filesystem::create_directory(outer.path() / "program");
    spit(outer.file("outside.txt"), "true,Mem 9\r\n");
    list.replaceAll(fullReadRows());
    for (std::string name : {outer.file("outside.txt"), std::string("../outside.txt"),
                             std::string(".."), std::string("a\0b", 3)}) {
        state.basename = name;
        std::string error = loadError();
        EXPECT_NE(error.find("' is not a file name: the name box names a file in the folder"),
                  std::string::npos)
            << name << ": " << error;
        EXPECT_EQ(list.rows(), fullReadRows()) << name;
    }
}

TEST_F(ChannelFileTest, SaveDialogRequestAndProposedName)
{
    ScopedTimeZone tz("UTC0");
    ui.saveAnswers.push_back(std::nullopt);
    saveChannelFile(list, state, ui, at(1738332330)); // 2025-01-31 14:05:30 UTC
    ASSERT_EQ(ui.saveDialogs.size(), 1u);
    const FileDialogRequest& r = ui.saveDialogs[0];
    EXPECT_EQ(r.title, "Save your text or word file");
    EXPECT_EQ(r.initialDir, std::filesystem::current_path().string());
    EXPECT_EQ(r.filter, "Text file|*.txt|Word file|*.doc");
    EXPECT_EQ(r.filterIndex, 1);
    EXPECT_EQ(r.defaultExt, "txt");
    EXPECT_EQ(r.fileName, "2025-01-31--1405");
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Save file was cancelled"});
    EXPECT_EQ(ui.label, "");
    EXPECT_EQ(ui.hideEditPanelCalls, 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST(ChannelFileName, ProposedNameFollowsTheLocalZone)
{
    {
        ScopedTimeZone tz("CET-1");
        EXPECT_EQ(proposedSaveName(at(1738332330)), "2025-01-31--1505");
        EXPECT_EQ(proposedSaveName(at(1767225540)), "2026-01-01--0059");
    }
    ScopedTimeZone tz("EST5");
    EXPECT_EQ(proposedSaveName(at(1738332330)), "2025-01-31--0905");
}

TEST_F(ChannelFileTest, OverwriteQuestionGuardsAnExistingFile)
{
    list.replaceAll(fullReadRows());
    std::string path = dir.file("keep.txt");
    spit(path, "previous");

    ui.okCancelAnswers.push_back(false);
    save(path);
    EXPECT_EQ(ui.questions, std::vector<std::string>{"really overwrite this file?\r\n" + path});
    EXPECT_EQ(ui.messages, std::vector<std::string>{"Cancel pressed"});
    EXPECT_EQ(slurp(path), "previous");
    EXPECT_EQ(ui.hideEditPanelCalls, 1);

    ui.okCancelAnswers.push_back(true);
    save(path);
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Cancel pressed", "OK pressed"}));
    EXPECT_EQ(slurp(path), kFullReadFile);

    // A new file needs no question; saving changes neither basename nor the load folder.
    save(dir.file("new.txt"));
    EXPECT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(state.basename, "Default.txt");
    EXPECT_EQ(state.loaddir, state.exedir);
}

TEST_F(ChannelFileTest, SavingOntoAFolderIsRefusedWithoutAQuestion)
{
    std::filesystem::create_directory(dir.file("folder.txt"));
    ui.saveAnswers.push_back(dir.file("folder.txt"));
    try {
        saveChannelFile(list, state, ui);
        FAIL() << "saved onto a folder";
    } catch (const EInOutError& e) {
        EXPECT_EQ(e.message(), "File access denied");
    }
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("folder.txt")));
}

TEST_F(ChannelFileTest, SelectFileSetsTheBoxesAndLoadsFromTheChosenFolder)
{
    TempDir other;
    spit(other.file("week1.txt"), "true,Mem 1,145.5,145.5\r\n");
    list.replaceAll(fullReadRows());
    ui.openAnswers.push_back(other.file("week1.txt"));
    std::optional<FileBoxes> boxes = chooseChannelFile(state, ui);
    ASSERT_TRUE(boxes);
    EXPECT_EQ(boxes->name, "week1");
    EXPECT_EQ(boxes->ext, ".txt");
    EXPECT_EQ(state.loaddir, other.path().string() + "/");
    ASSERT_EQ(ui.openDialogs.size(), 1u);
    EXPECT_EQ(ui.openDialogs[0].title, "");
    EXPECT_EQ(ui.openDialogs[0].filter, "");
    EXPECT_EQ(ui.openDialogs[0].defaultExt, "");
    EXPECT_EQ(ui.openDialogs[0].initialDir, std::filesystem::current_path().string());

    state.basename = makeBasename(boxes->name, boxes->ext);
    loadChannelFile(list, state, ui);
    EXPECT_EQ(list.rows(),
              (std::vector<ChannelRow>{{true, {"Mem 1", "0145.500000", "0145.500000"}}}));

    // Cancelling changes nothing in the state; the caller then reloads the boxes' file.
    ui.openAnswers.push_back(std::nullopt);
    EXPECT_FALSE(chooseChannelFile(state, ui));
    EXPECT_EQ(state.loaddir, other.path().string() + "/");
}

TEST(ChannelFileName, BoxesFromTheChosenName)
{
    ProgramState state;
    FakeUi ui;
    struct Case
    {
        const char *path, *name, *ext;
    };
    for (const Case& c :
         {Case{"/data/notes.doc", "notes", ".doc"}, Case{"/data/a.txt.txt", "a.txt", ".txt"},
          Case{"/data/README", "README", ""}, Case{"/data/.hidden", "", ".hidden"}}) {
        ui.openAnswers.push_back(c.path);
        std::optional<FileBoxes> boxes = chooseChannelFile(state, ui);
        ASSERT_TRUE(boxes) << c.path;
        EXPECT_EQ(boxes->name, c.name) << c.path;
        EXPECT_EQ(boxes->ext, c.ext) << c.path;
        EXPECT_EQ(state.loaddir, "/data/");
    }
    EXPECT_EQ(makeBasename("notes", ".doc"), "notes.doc");
    EXPECT_EQ(makeBasename(" Default\t", " .txt\r\n"), "Default.txt");
    EXPECT_EQ(makeBasename("my list", ""), "my list");
}

TEST_F(ChannelFileTest, LoadFallsBackToTheProgramFolder)
{
    state.loaddir.clear();
    load("false,Mem 1\r\n");
    EXPECT_EQ(list.size(), 1u);
}
