#include "files/BackupFile.h"

#include "core/Errors.h"
#include "core/FileFolder.h"
#include "core/FileStore.h"
#include "core/Numbers.h"
#include "files/ChannelFile.h"

#include <cerrno>
#include <ctime>
#include <filesystem>

namespace memvane {

namespace {

constexpr const char* kPrefix = "backup-";
constexpr const char* kSuffix = ".txt";

// The part of a backup's name that orders it: the 17-character time and the number after it
// (1 without one); nothing for a name that is no backup's.
std::optional<std::pair<std::string, int>> backupKey(const std::string& name)
{
    const std::string prefix = kPrefix, suffix = kSuffix;
    const size_t stampSize = 18; // yyyy-MM-dd--hhmmss
    if (name.size() < prefix.size() + stampSize + suffix.size() || name.rfind(prefix, 0) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return std::nullopt;
    std::string stamp = name.substr(prefix.size(), stampSize);
    for (size_t i = 0; i < stamp.size(); ++i) {
        bool dash = i == 4 || i == 7 || i == 10 || i == 11;
        if (dash ? stamp[i] != '-' : (stamp[i] < '0' || stamp[i] > '9'))
            return std::nullopt;
    }
    std::string rest = name.substr(prefix.size() + stampSize,
                                   name.size() - prefix.size() - stampSize - suffix.size());
    if (rest.empty())
        return std::make_pair(stamp, 1);
    int n = 0;
    if (rest.size() < 2 || rest.size() > 7 || rest[0] != '-' || !TryStrToInt(rest.substr(1), n) ||
        rest.find_first_not_of("0123456789", 1) != std::string::npos)
        return std::nullopt;
    return std::make_pair(stamp, n);
}

} // namespace

std::string backupFileName(std::chrono::system_clock::time_point now)
{
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    return std::string(kPrefix) + FormatInt(local.tm_year + 1900, 4) + "-" +
           FormatInt(local.tm_mon + 1, 2) + "-" + FormatInt(local.tm_mday, 2) + "--" +
           FormatInt(local.tm_hour, 2) + FormatInt(local.tm_min, 2) + FormatInt(local.tm_sec, 2) +
           kSuffix;
}

std::string saveNewBackup(const std::string& dir, const std::vector<ChannelRow>& rows,
                          std::chrono::system_clock::time_point now)
{
    if (!dir.empty() && !ensureFolder(dir.substr(0, dir.size() - 1)))
        throw EInOutError::fromErrno(errno);
    std::string name = backupFileName(now);
    std::string base = name.substr(0, name.size() - std::string(kSuffix).size());
    std::string text = formatChannelFile(rows);
    for (int n = 1;; ++n) {
        std::string path = dir + (n == 1 ? name : base + "-" + std::to_string(n) + kSuffix);
        // Claim the name first, so that no other backup (or any file) is ever replaced.
        if (!claimNewFile(path)) {
            if (n < 1000)
                continue;
            throw EInOutError::fromErrno(EEXIST);
        }
        try {
            replaceFile(path, text);
        } catch (...) {
            removeFile(path);
            throw;
        }
        return path;
    }
}

std::optional<std::string> newestBackup(const std::string& dir)
{
    std::optional<std::pair<std::string, int>> best;
    std::string bestName;
    std::error_code ec;
    // Names are UTF-8 inside the program; on Windows a narrow path would be the ANSI code page.
    const std::string folder = dir.empty() ? std::string(".") : dir;
    const std::filesystem::path where(std::u8string(folder.begin(), folder.end()));
    for (const auto& entry : std::filesystem::directory_iterator(where, ec)) {
        const std::u8string u8name = entry.path().filename().u8string();
        std::string name(u8name.begin(), u8name.end());
        std::optional<std::pair<std::string, int>> key = backupKey(name);
        if (!key || !entry.is_regular_file(ec))
            continue;
        if (!best || *key > *best) {
            best = key;
            bestName = name;
        }
    }
    if (!best)
        return std::nullopt;
    return dir + bestName;
}

} // namespace memvane
