#pragma once
// Where the program keeps its own files: "ComPort.ini", "names.txt" and the channel files that
// "Read from File Name ^" loads by name.
//
// A copy run from a folder the user can write (the build tree, a copy on a USB stick) keeps
// "ComPort.ini" and the channel files beside itself and reads "names.txt" from the folder it
// was started in. An installed copy cannot keep anything in /usr/bin, so all of them live in
// the user's configuration folder, $XDG_CONFIG_HOME/memvane/. A copy counts as installed when
// its folder is not writable by the user, or when its menu entry was installed beside it
// (bin/../share/applications/): root can write /usr/bin and must not leave a "ComPort.ini"
// there, nor a user who installed into ~/.local in ~/.local/bin.
// XDG_CONFIG_HOME counts only when it is an absolute path; otherwise $HOME/.config is meant.
// On Windows the same rule puts them in %APPDATA%\Memvane\ (an installed copy under Program
// Files cannot write beside itself; the setup program's Uninstall.exe beside it marks it as
// installed as the menu entry does here); core/win32/UserFolder.cpp.

#include <string>

namespace memvane {

struct FileFolderInput
{
    std::string exeDir;         // the executable's folder, with its trailing '/'
    bool exeDirWritable = true; // the user may create files there
    bool installedDir = false;  // exeDir holds an installed copy (its menu entry is beside it)
    std::string xdgConfigHome;  // the variable's value; empty when unset
    std::string home;           // the user's home folder; empty when unknown
};

struct FileFolder
{
    // "ComPort.ini" and the channel files loaded by name, with a trailing '/'.
    std::string dir;
    // `dir` is the user's configuration folder: "names.txt" is read from it and the save dialog
    // opens in it. When false both use the current working folder.
    bool userConfig = false;
};

// `dir` with a trailing '/' (an empty text stays empty).
std::string withSlash(std::string dir);

FileFolder chooseFileFolder(const FileFolderInput& input);

// The same for the running program: asks the file system and the environment. `appId` names
// the menu entry that an install puts beside the program.
FileFolder currentFileFolder(const std::string& exeDir, const std::string& appId);

// Creates `dir` and any missing parents, each with mode 0700 (on Windows with the folder's
// inherited rights); true when `dir` exists afterwards.
bool ensureFolder(const std::string& dir);

} // namespace memvane
