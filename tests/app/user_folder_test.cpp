// An installed copy: its files live in the user's configuration folder, which main() passes as
// both the program's folder and the user folder. "names.txt" and the save dialog follow it
// instead of the working folder (a copy run from its own folder keeps using that, as the file
// and comment tests check).

#include "tests/app/Form1Fixture.h"

namespace memvane::test {
namespace {

using UserFolderTest = Form1Test;

TEST_F(UserFolderTest, InstalledCopyReadsNamesAndOpensTheSaveDialogInTheUserFolder)
{
    TempDir config;
    std::string dir = config.path().string() + "/";
    writeFile(config.path() / "names.txt", "0145.500000,From the user folder\r\n");
    writeFile(cwd.path() / "names.txt", "0007.100000,From the working folder\r\n");
    TForm1Options o = options();
    o.exedir = dir;
    o.userdir = dir;
    start(o);
    ASSERT_EQ(form->ListView2->model()->rowCount(), 1);
    EXPECT_EQ(form->ListView2->model()->index(0, 2).data().toString(), "From the user folder");

    writeFile(config.path() / "names.txt", "0145.500000,a\r\n0145.600000,b\r\n");
    action("ReReadList1")->trigger();
    EXPECT_EQ(form->ListView2->model()->rowCount(), 2);

    dialogs.saveAnswers = {std::nullopt};
    button("savetofile")->click();
    ASSERT_EQ(dialogs.saveDialogs.size(), 1u);
    EXPECT_EQ(dialogs.saveDialogs[0].initialDir, dir);

    form->close();
    EXPECT_TRUE(std::filesystem::exists(config.path() / "ComPort.ini"));
}

} // namespace
} // namespace memvane::test
