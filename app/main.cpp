// Program entry: the application object, then Form1, Form2 and Form3 in that order; the main
// window shows when the event loop starts, and closing it ends the program.
#include "app/Application.h"
#include "app/BuildInfo.h"
#include "app/BuildStamp.h"
#include "app/Unit1.h"
#include "core/FileFolder.h"

int main(int argc, char** argv)
{
    memvane::Application app(argc, argv);
    // Lets Wayland desktops match the window to the installed menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(MEMVANE_APP_ID));
    memvane::TForm1Options options;
    options.buildEpoch = static_cast<std::time_t>(memvane::kBuildEpoch);
    // An installed copy keeps its files in the user's configuration folder, made on first use.
    memvane::FileFolder folder = memvane::currentFileFolder(memvane::executableDir(), MEMVANE_APP_ID);
    options.exedir = folder.dir;
    if (folder.userConfig) {
        memvane::ensureFolder(folder.dir);
        options.userdir = folder.dir;
    }
    memvane::MainWindows windows = memvane::createMainWindows(options);
    windows.form1->show();
    return app.exec();
}
