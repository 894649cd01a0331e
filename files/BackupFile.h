#pragma once
// The backups a write makes before it overwrites memories: channel files named
// "backup-yyyy-MM-dd--hhmmss.txt" (local time) in the program's folder, every row ticked so that
// writing one back restores each memory it holds. A backup never replaces a file: a second one
// within the same second gets "-2", "-3", ... before ".txt". The program never deletes them.

#include "channels/ChannelList.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace memvane {

// "backup-2025-01-31--140503.txt" for 31 January 2025, 14:05:03 local time.
std::string backupFileName(std::chrono::system_clock::time_point now);

// Saves `rows` under a new backup name in `dir` (with its trailing '/'), which is created when
// missing; returns the full name. Throws EInOutError when it cannot be saved.
std::string
saveNewBackup(const std::string& dir, const std::vector<ChannelRow>& rows,
              std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

// The newest backup in `dir` by the time in its name (and its "-N"), or nothing.
std::optional<std::string> newestBackup(const std::string& dir);

} // namespace memvane
