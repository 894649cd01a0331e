#pragma once
// Where the program runs from, and where it keeps its own files ("ComPort.ini", the default
// channel file). The window and the command-line tool both ask settingsFolder(), so a port
// chosen in the window's dialog is the port the tool uses.

#include <string>

namespace memvane {

// The file name of the window program ("memvane", "memvane.exe" on Windows) and the folder
// separator the system writes ('/', '\\' on Windows).
extern const char* const kWindowProgramFile;
extern const char kFolderSeparator;

// Folder of the running executable with its trailing separator (from /proc/self/exe; on
// Windows from GetModuleFileNameW, as UTF-8).
std::string executableDir();

// The folder of the window program's files, with its trailing '/', for a program running from
// `exeDir`: the window's own folder, which is `exeDir` itself when the window program "memvane"
// lies there (the window, or the tool installed beside it), or the build tree's app/ folder for
// the tool in its cli/ folder. Any other folder is taken as it is.
std::string settingsFolderFor(const std::string& exeDir);

// settingsFolderFor(executableDir()).
std::string settingsFolder();

} // namespace memvane
