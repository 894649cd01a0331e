#pragma once
// The program state every operation shares: radio address, reply delay, failure counter, labels
// and the name tables that turn CI-V bytes into the texts of the channel list. One instance
// lives in the main window; everything here is touched by the user-interface thread only.

#include <array>
#include <optional>
#include <string>

namespace memvane {

struct ProgramState {
    std::string civaddr = "$58"; // radio address as "$hh", parsed for command frames
    std::string civhex = "58";   // the same address as two hex digits, for expected texts
    int civdelay = 45;           // ms between sending a command and reading the reply
    // Read as soon as the reply (or a refusal) is complete instead of after the whole civdelay,
    // which stays the longest an exchange waits. The "Fast exchange" menu item; off by default.
    bool fastExchange = false;
    int errcount = 0;            // failed exchanges
    std::string memloc;          // label that starts every error line
    bool stopread = false;       // "STOP Reading Memory" was pressed
    std::string basename;        // channel file name loaded by "Read from File Name ^"
    std::string exedir;          // executable's folder, with trailing '/'
    std::string editsplit;       // split/duplex text chosen in the edit panel
    std::string rxfreq, rxmode, rxfilter; // last decoded transceive broadcasts
    std::string loaddir;         // folder "Read from File Name ^" loads from (exedir at start)
    // An installed copy's folder in the user's configuration (core/FileFolder.h): "names.txt"
    // is read from it and the save dialog opens in it. Empty: the current working folder.
    std::string userdir;

    // A read or write of the radio is running (it processes events between channels): other
    // commands that would change the list or talk to the radio are not started meanwhile.
    bool busy = false;
    // The main window was asked to close during such an operation: stop at the next channel.
    bool closeRequested = false;

    std::array<std::string, 9> modenames;    // index 0..8
    std::array<std::string, 8> filternames;  // index 1..7; [0] is never used
    std::array<std::string, 15> splitnames;  // index 0..14

    // Fills the three name tables with their fixed texts; the other slots stay empty.
    void fillNameTables();

    // Table lookups by index; empty text when the index lies outside the table.
    std::string modeName(int index) const;
    std::string filterName(int index) const;
    std::string splitName(int index) const;
};

} // namespace memvane
