// "Write to Radio" with "Back up before writing" and "Verify after writing" ticked, and "Restore
// Backup...", in the real window against the simulated radio's model with memory 12 storing
// something else than it is told.
#include "channels/ChannelReader.h"
#include "files/ChannelFile.h"
#include "tests/app/Form1Fixture.h"
#include "tests/channels/ModelPort.h"
#include "tests/channels/Sequences.h"

#include <QMenu>

using namespace memvane;
using namespace memvane::test;

namespace {

// The model's line, with a hook after every frame it takes.
class HookedPort : public ModelPort
{
public:
    using ModelPort::ModelPort;
    std::function<void()> onWrite;
    int write(const std::string& bytes) override
    {
        int n = ModelPort::write(bytes);
        if (onWrite)
            onWrite();
        return n;
    }
};

class WriteSafetyWindowTest : public Form1Test
{
protected:
    sim::RadioModel model;
    HookedPort line{model};

    void SetUp() override
    {
        Form1Test::SetUp();
        model.setMemory(10, memoryOf(145'500'000, 145'500'000, sim::kModeFm, sim::kFilterNormal));
        model.setMemory(11, memoryOf(145'775'000, 145'175'000, sim::kModeFm, sim::kFilterNormal));
        model.setMemory(12, memoryOf(433'500'000, 433'500'000, sim::kModeFm, sim::kFilterNormal));
        model.setMemory(14, memoryOf(7'050'000, 7'050'000, sim::kModeLsb, sim::kFilterWide));
        TForm1Options o = options();
        o.portIo = &line;
        start(o);
        for (const char* text : {"Mem 10,0146.000000,0146.000000,FM,Normal,Duplex Off",
                                 "Mem 11,0014.200000,0014.250000,USB,Normal,Split On",
                                 "Mem 12,0144.800000,0144.800000,FM,Narrow,Duplex Off",
                                 "Mem 13,0014.200000,0014.200000,USB,Normal,Duplex Off",
                                 "Mem 14,0007.100000,0007.100000,CW,Narrow,Duplex Off"})
            form->channels().append(parseChannelFile(std::string("true,") + text + ",,00.6000")[0]);
    }

    // "Read Radio Memory" of 10..14 on a copy of the radio as it is now, rows ticked.
    std::vector<ChannelRow> readNow()
    {
        sim::RadioModel copy = model;
        ModelPort copyLine{copy};
        ProgramState s;
        s.fillNameTables();
        FakeUi u;
        ChannelList l;
        RadioContext c{s, u, copyLine, l};
        readAllChannels(c, 10, 14);
        std::vector<ChannelRow> rows = l.rows();
        for (ChannelRow& r : rows)
            r.write = true;
        return rows;
    }

    std::vector<std::string> backups()
    {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(exe.path()))
            if (e.path().filename().string().rfind("backup-", 0) == 0)
                names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<std::string> differenceLines()
    {
        std::vector<std::string> out;
        for (const QString& l : windows->form3->Memo1->toPlainText().split('\n'))
            if (l.contains("the radio holds"))
                out.push_back(l.toStdString());
        return out;
    }
};

} // namespace

TEST_F(WriteSafetyWindowTest, BackUpVerifyAndRestoreMemoriesTenToFourteen)
{
    model.setMisstore(sim::Misstore{12, 0});
    const std::vector<ChannelRow> before = readNow();
    action("BackupBeforeWrite1")->trigger();
    action("VerifyAfterWrite1")->trigger();
    button("Writetoradio")->click();

    EXPECT_EQ(form->Label1->text(), "5 Memory Locations Writen, 1 differs from its row");
    EXPECT_EQ(form->Label1->geometry(), QRect(16, 4, 150, 26)) << "two lines, growing upwards";
    ASSERT_EQ(backups().size(), 1u);
    const std::string backup = backups()[0];
    EXPECT_EQ(parseChannelFile(readFile(backup)), before);
    EXPECT_TRUE(action("Errors1")->isEnabled());
    EXPECT_TRUE(windows->form3->Memo1->toPlainText().contains(
        QString::fromStdString("Backup of 5 memories before writing: " + backup)));
    EXPECT_EQ(differenceLines(),
              (std::vector<std::string>{
                  "Mem 12 Freq VFO A: the radio holds 0433.500000, the row asked for 0144.800000",
                  "Mem 12 Freq VFO B: the radio holds 0433.500000, the row asked for 0144.800000",
                  "Mem 12 filter: the radio holds Normal, the row asked for Narrow"}));
    EXPECT_TRUE(dialogs.messages.empty()) << ::testing::PrintToString(dialogs.messages);

    // The way back, from the menu, once the radio stores what it is told again. The option
    // makes a backup of the restore too.
    model.setMisstore(std::nullopt);
    dialogs.openAnswers.push_back(backup);
    action("RestoreBackup1")->trigger();
    ASSERT_EQ(dialogs.openDialogs.size(), 1u);
    EXPECT_EQ(dialogs.openDialogs[0].initialDir, exe.path().string() + "/");
    EXPECT_EQ(form->Label1->text(), "5 Memory Locations Writen, 0 differ from their rows");
    EXPECT_EQ(form->channels().rows(), before) << "the backup's rows are in the list";
    EXPECT_EQ(readNow(), before);
    EXPECT_FALSE(model.memory(13)) << "blank again";
    EXPECT_EQ(backups().size(), 2u);
    button("ReadfromFile")->click(); // "File not found" empties the label
    EXPECT_EQ(form->Label1->geometry(), QRect(16, 17, 150, 13));
    EXPECT_EQ(readFile(backup), formatChannelFile(before)) << "a backup is never replaced";
}

TEST_F(WriteSafetyWindowTest, StopDuringTheBackupWritesNothing)
{
    action("BackupBeforeWrite1")->trigger();
    int events = 0;
    line.onWrite = [&] {
        // Inside the backup read of memory 11: STOP is pressed, and another write asked for.
        if (++events == 20) {
            button("STOPReading")->click();
            button("Writetoradio")->click();
        }
    };
    button("Writetoradio")->click();
    EXPECT_EQ(form->Label1->text(), "Stopped during the backup: nothing written");
    EXPECT_TRUE(backups().empty());
    for (const std::string& frame : model.frameLog())
        EXPECT_NE(frame.rfind("FEFE58E005", 0), 0u) << "a frequency was set: " << frame;
    EXPECT_EQ(model.frameLog().size(), 32u) << "two memories read, the second write ignored";
}
