// The help and about window (Form2) and the error list window (Form3).

#include "tests/app/Form1Fixture.h"

#include "app/WindowUtil.h"

#include <QMenuBar>

namespace memvane::test {
namespace {

QStringList lines(const QString& text)
{
    return text.split('\n');
}

TEST(HelpWindowTest, StartsHiddenInTheHelpViewAndSwitchesViews)
{
    TForm2 form2;
    EXPECT_EQ(form2.windowTitle(), "Form2");
    EXPECT_FALSE(form2.isVisible());
    QStringList menu;
    for (QAction* a : form2.menuBar()->actions())
        menu << a->text();
    EXPECT_EQ(menu, (QStringList{"close", "About", "Help"}));

    form2.show();
    EXPECT_TRUE(form2.Panel1->isVisible());
    EXPECT_FALSE(form2.Panel2->isVisible());
    EXPECT_TRUE(form2.About1->isEnabled());
    EXPECT_FALSE(form2.Help1->isEnabled());
    EXPECT_EQ(outerSize(&form2).width(), 730);
    EXPECT_GE(outerSize(&form2).height(), 450);
    EXPECT_EQ(form2.maximumHeight(), QWIDGETSIZE_MAX);

    form2.About1->trigger();
    EXPECT_FALSE(form2.Panel1->isVisible());
    EXPECT_TRUE(form2.Panel2->isVisible());
    EXPECT_FALSE(form2.About1->isEnabled());
    EXPECT_TRUE(form2.Help1->isEnabled());
    EXPECT_EQ(outerSize(&form2), QSize(500, 400));
    EXPECT_EQ(form2.minimumSize(), form2.maximumSize()); // cannot be resized

    form2.close1->trigger();
    EXPECT_FALSE(form2.isVisible());
    form2.show();
    EXPECT_TRUE(form2.Panel2->isVisible()); // the view it last had

    form2.Help1->trigger();
    EXPECT_TRUE(form2.Panel1->isVisible());
    EXPECT_EQ(outerSize(&form2), QSize(730, 450));
}

TEST(HelpWindowTest, TextsKeepTheirLinesAndLeadingBlanks)
{
    QStringList help = lines(TForm2::helpText());
    ASSERT_EQ(help.size(), 114);
    EXPECT_EQ(help[0], "");
    EXPECT_EQ(help[1], QString(35, ' ') + "Memvane");
    EXPECT_EQ(help[2], QString(51, ' ') + "Ver: 6.1.1");
    EXPECT_EQ(help[7],
              QString(7, ' ') +
                  QString::fromUtf8("This program has been produced as a "
                                    "means to \xE2\x80\x9Csee if I can\xE2\x80\x9D write a"));
    EXPECT_TRUE(help[30].endsWith("comment set, the ")); // its trailing blank
    EXPECT_EQ(help[35], QString(15, ' ') + "item 34 = 58H");
    EXPECT_EQ(help[86], QString(16, ' ') +
                            "7.6, 1.6, 5, -5, 0.5, -0.5, 0.6, -0.6, 1 and -1 as the Tx offset.");
    EXPECT_EQ(help[110], QString(8, ' ') + "Have fun and enjoy.");
    EXPECT_EQ(help[113], "");
    for (int credit : {3, 4, 5, 19, 111, 112})
        EXPECT_FALSE(help[credit].trimmed().isEmpty()) << credit + 1;

    QStringList about = lines(TForm2::aboutText());
    ASSERT_EQ(about.size(), 14);
    EXPECT_EQ(about[0], QString(23, ' '));
    EXPECT_EQ(about[1], QString(23, ' ') + "Memvane");
    EXPECT_EQ(about[2], QString(38, ' ') + "Ver: 6.1.1");
    EXPECT_EQ(about[7], QString(4, ' '));
    EXPECT_EQ(about[11], "    This program neither loads, uses or alters any other files.");
    EXPECT_EQ(about[13], "    Configuration files.");

    TForm2 form2;
    EXPECT_EQ(form2.Memo1->toPlainText(), TForm2::helpText());
    EXPECT_EQ(form2.Memo2->toPlainText(), TForm2::aboutText());
    EXPECT_FALSE(form2.Memo1->isReadOnly());
}

TEST(ErrorListWindowTest, HasItsTitleSizeAndLimits)
{
    TForm3 form3;
    EXPECT_EQ(form3.windowTitle(), "Error List");
    form3.show();
    EXPECT_EQ(form3.size(), QSize(585, 350));
    EXPECT_EQ(form3.minimumSize(), QSize(550, 350));
    EXPECT_EQ(form3.maximumSize(), QSize(600, 350));
    EXPECT_FALSE(form3.Memo1->isReadOnly());
    EXPECT_EQ(form3.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(form3.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    form3.close();
    EXPECT_FALSE(form3.isVisible()); // hidden, still there
    form3.show();
    EXPECT_TRUE(form3.isVisible());
}

using HelpFromMainWindowTest = Form1Test;

TEST_F(HelpFromMainWindowTest, HelpAboutShowsTheWindowInTheViewItLastHad)
{
    start();
    TForm2* form2 = windows->form2.get();
    action("helpabout1")->trigger();
    EXPECT_TRUE(form2->isVisible());
    EXPECT_TRUE(form2->Panel1->isVisible());
    form2->About1->trigger();
    form2->close(); // the window's own close box
    EXPECT_FALSE(form2->isVisible());
    action("helpabout1")->trigger();
    EXPECT_TRUE(form2->isVisible());
    EXPECT_TRUE(form2->Panel2->isVisible());
    EXPECT_EQ(outerSize(form2), QSize(500, 400));
}

} // namespace
} // namespace memvane::test
