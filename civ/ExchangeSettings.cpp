#include "civ/ExchangeSettings.h"

#include "core/Numbers.h"
#include "serial/CPort.h"
#include "serial/IniFile.h"

namespace memvane {

namespace {
const std::string kSection = "Memvane";
const std::string kFastExchange = "FastExchange";
const std::string kExchangeWait = "ExchangeWait";
const std::string kAbsent = "\n"; // no value read from a file can hold a line break
} // namespace

bool loadFastExchange(const std::string& iniPath)
{
    try {
        return IniFile(iniPath).ReadString(kSection, kFastExchange, "0") == "1";
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

void storeFastExchange(const std::string& iniPath, bool on)
{
    try {
        IniFile ini(iniPath);
        if (!on && ini.ReadString(kSection, kFastExchange, kAbsent) == kAbsent)
            return;
        ini.WriteString(kSection, kFastExchange, on ? "1" : "0");
        ini.Flush();
    } catch (const std::exception&) {
        throw EComPort(CError_StoreFailed);
    }
}

} // namespace memvane
