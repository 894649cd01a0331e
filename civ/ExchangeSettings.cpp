#include "civ/ExchangeSettings.h"

#include "core/Numbers.h"
#include "serial/CPort.h"
#include "serial/IniFile.h"

#include <array>
#include <utility>

namespace memvane {

namespace {
const std::string kSection = "Memvane";
const std::string kExchangeWait = "ExchangeWait";
const std::string kAbsent = "\n"; // no value read from a file can hold a line break

// Every key with the flag it holds, in the order they are written.
template <class Flags> auto keysOf(Flags& flags)
{
    return std::array<std::pair<const char*, decltype(&flags.fastExchange)>, 3>{
        {{"FastExchange", &flags.fastExchange},
         {"BackupBeforeWrite", &flags.backupBeforeWrite},
         {"VerifyAfterWrite", &flags.verifyAfterWrite}}};
}
} // namespace

ProgramFlags loadProgramFlags(const std::string& iniPath)
{
    try {
        IniFile ini(iniPath);
        ProgramFlags flags;
        for (auto [key, flag] : keysOf(flags))
            *flag = ini.ReadString(kSection, key, "0") == "1";
        return flags;
    } catch (const std::exception&) {
        throw EComPort(CError_LoadFailed);
    }
}

int loadExchangeWait(const std::string& iniPath, int fallback)
{
    std::string text;
    try {
        text = IniFile(iniPath).ReadString(kSection, kExchangeWait, "");
    } catch (const std::exception&) {
        throw EComPort(CError_LoadFailed);
    }
    if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos)
        return fallback;
    const int ms = StrToInt(text);
    return ms >= kMinExchangeWaitMs && ms <= kMaxExchangeWaitMs ? ms : fallback;
}

void storeProgramFlags(const std::string& iniPath, const ProgramFlags& flags)
{
    try {
        IniFile ini(iniPath);
        bool changed = false;
        for (auto [key, flag] : keysOf(flags)) {
            if (!*flag && ini.ReadString(kSection, key, kAbsent) == kAbsent)
                continue;
            ini.WriteString(kSection, key, *flag ? "1" : "0");
            changed = true;
        }
        if (changed)
            ini.Flush();
    } catch (const std::exception&) {
        throw EComPort(CError_StoreFailed);
    }
}

} // namespace memvane
