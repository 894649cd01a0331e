// Hostile files and hostile file systems: every case must end in a clear message, without a
// crash or a hang, with the channel list and any previous file as they were.
#include "files/ChannelFile.h"
#include "files/CommentList.h"
#include "files/TextFile.h"

#include "core/Errors.h"
#include "tests/files/ChildProcess.h"
#include "tests/files/LoadError.h"
#include "tests/support/FakeUi.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace memvane;
using memvane::test::FakeUi;
using memvane::test::runInChild;
using memvane::test::runningAsRoot;
using memvane::test::slurp;
using memvane::test::spit;
using memvane::test::TempDir;

namespace fs = std::filesystem;

namespace {

std::vector<std::string> entriesOf(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Lets the unprivileged child of a root test own `path`, so only its mode bits count.
void giveToNobody(const std::string& path)
{
    if (runningAsRoot()) {
        ASSERT_EQ(::chown(path.c_str(), test::kNobodyId, test::kNobodyId), 0);
    }
}

const std::vector<ChannelRow> kRows = {
    {true, {"Mem 1", "0145.000000", "0145.600000", "FM", "Normal", "Duplex --", "", "00.6000"}},
    {false, {"Mem 2", " ", " ", " ", " ", " ", " ", " "}},
};

const char* const kPrevious = "false,Mem 9,0007.100000,0007.100000,LSB,Wide,Split Off,,00.0000\r\n";

struct BadInput : ::testing::Test
{
    TempDir dir;
    FakeUi ui;
    ProgramState state;
    ChannelList list;

    void SetUp() override
    {
        state.exedir = state.loaddir = dir.path().string() + "/";
        state.basename = "Default.txt";
        list.replaceAll(kRows);
    }
    std::string loadError() { return test::loadError(list, state, ui); }
    // "<folder>/list.txt" holding kPrevious, the folder and the file given to nobody.
    std::string previousListIn(const std::string& folder)
    {
        fs::create_directory(dir.file(folder));
        std::string target = dir.file(folder) + "/list.txt";
        spit(target, kPrevious);
        giveToNobody(dir.file(folder));
        giveToNobody(target);
        return target;
    }
    // Saves kRows to `path` in a child (as nobody if asked); returns the error text.
    static std::string saveInChild(const std::string& path, bool asNobody,
                                   const std::function<void()>& prepare = {})
    {
        return runInChild(
            [&] {
                if (prepare)
                    prepare();
                ChannelList rows;
                rows.replaceAll(kRows);
                ProgramState st;
                FakeUi fake;
                fake.saveAnswers.push_back(path);
                fake.okCancelAnswers.push_back(true);
                try {
                    saveChannelFile(rows, st, fake);
                } catch (const AppError& e) {
                    return e.message();
                }
                return std::string("saved");
            },
            asNobody);
    }
};

} // namespace

TEST_F(BadInput, AFiftyMegabyteFileIsRefusedWithItsSize)
{
    std::string line = "false,Mem 1,0145.500000,0145.500000,FM,Normal,Split Off,,00.0000\r\n";
    std::string big;
    big.reserve(50u << 20);
    while (big.size() < (50u << 20))
        big += line;
    spit(dir.file("Default.txt"), big);
    EXPECT_EQ(loadError(),
              "File too large: " + dir.file("Default.txt") + " (more than 33554432 bytes)");
    EXPECT_EQ(list.rows(), kRows);
}

TEST_F(BadInput, NulBytesMarkAFileThatIsNotText)
{
    std::string data = "false,Mem 1,0145.500000,0145.500000,FM,";
    data += std::string(1 << 20, 'x');
    data += '\0';
    data += "tail\r\n";
    spit(dir.file("Default.txt"), data);
    EXPECT_EQ(loadError(),
              "Not a text file: " + dir.file("Default.txt") + " (it contains NUL bytes)");
    EXPECT_EQ(list.rows(), kRows);
}

TEST_F(BadInput, AVeryLongLineLoadsAndSavesUnchanged)
{
    std::string line = "true,Mem 1,0145.500000,0145.500000,FM,Normal,Split Off," +
                       std::string(3 << 20, 'c') + ",00.0000\r\n";
    spit(dir.file("Default.txt"), line);
    EXPECT_EQ(loadError(), "no error");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list.row(0).texts[6].size(), 3u << 20);
    ui.saveAnswers.push_back(dir.file("copy.txt"));
    saveChannelFile(list, state, ui);
    EXPECT_EQ(slurp(dir.file("copy.txt")), line);
}

TEST_F(BadInput, BinaryFilesFailWithAShortMessage)
{
    std::mt19937 gen(1234);
    for (bool withNul : {true, false}) {
        std::string data;
        for (int i = 0; i < 65536; ++i) {
            char c = static_cast<char>(gen() & 0xFF);
            data += (!withNul && c == '\0') ? '\x01' : c;
        }
        spit(dir.file("Default.txt"), data);
        std::string message = loadError();
        EXPECT_NE(message, "no error");
        EXPECT_LT(message.size(), 200u) << message;
        EXPECT_EQ(message.find('\0'), std::string::npos);
        EXPECT_EQ(list.rows(), kRows);
    }
}

TEST_F(BadInput, AFifoUnderTheFileNameDoesNotBlock)
{
    ASSERT_EQ(::mkfifo(dir.file("Default.txt").c_str(), 0600), 0);
    EXPECT_EQ(loadError(), "Not a regular file: " + dir.file("Default.txt"));
    EXPECT_EQ(list.rows(), kRows);
}

TEST_F(BadInput, AnUnreadableFileIsAccessDenied)
{
    spit(dir.file("Default.txt"), kPrevious);
    ::chmod(dir.file("Default.txt").c_str(), 0);
    std::string result = runInChild(
        [&] {
            ChannelList rows;
            rows.replaceAll(kRows);
            FakeUi fake;
            try {
                loadChannelFile(rows, state, fake);
            } catch (const AppError& e) {
                return e.message() + (rows.rows() == kRows ? " (list kept)" : " (list lost)");
            }
            return std::string("loaded");
        },
        true);
    EXPECT_EQ(result, "File access denied (list kept)");
}

TEST_F(BadInput, InAReadOnlyFolderOnlyAWritableFileIsSaved)
{
    std::string target = previousListIn("ro");
    ::chmod(dir.file("ro").c_str(), 0555);
    // No temporary file can be made there: the file is rewritten where it is.
    EXPECT_EQ(saveInChild(target, true), "saved");
    EXPECT_EQ(slurp(target), formatChannelFile(kRows));
    EXPECT_EQ(entriesOf(dir.file("ro")), std::vector<std::string>{"list.txt"});
    EXPECT_EQ(saveInChild(dir.file("ro") + "/new.txt", true), "File access denied");
    EXPECT_EQ(entriesOf(dir.file("ro")), std::vector<std::string>{"list.txt"});
}

TEST_F(BadInput, AReadOnlyFileIsNotReplacedBehindItsBack)
{
    std::string target = previousListIn("rw");
    ::chmod(target.c_str(), 0444);
    EXPECT_EQ(saveInChild(target, true), "File access denied");
    EXPECT_EQ(slurp(target), kPrevious);
    EXPECT_EQ(entriesOf(dir.file("rw")), std::vector<std::string>{"list.txt"});
}

TEST_F(BadInput, AFullDiskLeavesTheOldFileAndNoTemporaryFile)
{
    std::string target = dir.file("list.txt");
    spit(target, kPrevious);
    // The limit lies below the new contents: the write fails part-way, as on a full disk.
    std::string result = saveInChild(target, false, [] {
        rlimit limit{40, 40};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_EQ(result, "I/O error 27");
    EXPECT_EQ(slurp(target), kPrevious);
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"list.txt"});
}

TEST_F(BadInput, ASaveKeepsModeAndFollowsLinks)
{
    std::string target = dir.file("list.txt");
    spit(target, kPrevious);
    ::chmod(target.c_str(), 0640);
    giveToNobody(target);
    fs::create_symlink(target, dir.file("link.txt"));
    ui.okCancelAnswers.push_back(true);
    ui.saveAnswers.push_back(dir.file("link.txt"));
    saveChannelFile(list, state, ui);
    EXPECT_TRUE(fs::is_symlink(dir.file("link.txt")));
    EXPECT_EQ(slurp(target), formatChannelFile(kRows));
    struct stat st
    {
    };
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(st.st_uid, runningAsRoot() ? test::kNobodyId : ::getuid());
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"link.txt", "list.txt"}));
}

TEST(TextFile, LinesAndFields)
{
    EXPECT_EQ(splitLines(""), std::vector<std::string_view>{});
    EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (std::vector<std::string_view>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\n"), (std::vector<std::string_view>{"a", ""}));
    EXPECT_EQ(splitLines("\n"), std::vector<std::string_view>{""});
    EXPECT_EQ(splitFields(""), std::vector<std::string>{""});
    EXPECT_EQ(splitFields("a,"), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(splitFields(",,"), (std::vector<std::string>{"", "", ""}));
    EXPECT_EQ(splitFields("a,b,c,d", 3), (std::vector<std::string>{"a", "b", "c,d"}));
}
