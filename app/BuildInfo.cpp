#include "app/BuildInfo.h"

#include "core/Numbers.h"

#include <time.h>

namespace memvane {

std::string buildTimeText(std::time_t utcSeconds)
{
    std::tm local{};
    tzset();
    if (!localtime_r(&utcSeconds, &local))
        return {};
    return FormatInt(local.tm_year % 100, 2) + "." + FormatInt(local.tm_mon + 1, 2) + "." +
           FormatInt(local.tm_mday, 2) + "." + FormatInt(local.tm_hour, 2) +
           FormatInt(local.tm_min, 2);
}

} // namespace memvane
