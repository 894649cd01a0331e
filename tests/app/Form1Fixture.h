#pragma once
// A main window built the way the program builds it (Form1, Form2, Form3), with its folder, the
// process's working folder, COM1 and the message boxes all replaced: the executable folder and
// the working folder are fresh temporary folders, COM1 is a pseudo-terminal, and message boxes
// and file dialogs go to a scripted fake that fails the test on any question it was not told
// how to answer.

#include "app/ClickLabel.h"
#include "app/Unit1.h"
#include "app/Unit2.h"
#include "app/Unit3.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/FakeUi.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

namespace memvane::test {

// 2025-01-08 23:59:00 UTC.
inline constexpr std::time_t kTestBuildEpoch = 1736380740;

class Form1Test : public ::testing::Test
{
protected:
    TempDir exe;
    TempDir cwd;
    FakeUi dialogs;
    InstantRadio radio;
    Pty com1;
    std::shared_ptr<MappedBackend> backend = std::make_shared<MappedBackend>();
    std::unique_ptr<MainWindows> windows;
    TForm1* form = nullptr;

    void SetUp() override
    {
        m_oldCwd = std::filesystem::current_path();
        std::filesystem::current_path(cwd.path());
        backend->names["COM1"] = com1.slavePath();
    }

    void TearDown() override
    {
        windows.reset();
        std::filesystem::current_path(m_oldCwd);
    }

    TForm1Options options()
    {
        TForm1Options o;
        o.exedir = exe.path().string() + "/";
        o.buildEpoch = kTestBuildEpoch;
        o.dialogs = &dialogs;
        o.portIo = &radio;
        o.comBackend = backend;
        return o;
    }

    // Builds the windows and runs the event loop until the deferred initialisation has run.
    void build(TForm1Options o)
    {
        windows = std::make_unique<MainWindows>(createMainWindows(o));
        form = windows->form1.get();
    }
    void start(TForm1Options o)
    {
        build(std::move(o));
        form->show();
        ASSERT_TRUE(processUntil([this] { return form->initialised(); }));
    }
    void start() { start(options()); }

    static void writeFile(const std::filesystem::path& path, const std::string& bytes)
    {
        spit(path.string(), bytes);
    }
    static std::string readFile(const std::filesystem::path& path) { return slurp(path.string()); }

    template <class T> T* child(const char* name)
    {
        T* w = form->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QAction* action(const char* name) { return child<QAction>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }

    void addRow(std::vector<std::string> texts, bool write = false)
    {
        form->channels().append(ChannelRow{write, std::move(texts)});
    }
    void selectRow(int row) { form->ListView1->selectRow(row); }

private:
    std::filesystem::path m_oldCwd;
};

} // namespace memvane::test
