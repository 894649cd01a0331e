#include "app/BuildInfo.h"

#include <cstdio>
#include <time.h>

namespace memvane {

std::string buildTimeText(std::time_t utcSeconds)
{
    std::tm local{};
    tzset();
    if (!localtime_r(&utcSeconds, &local))
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%02d.%02d.%02d.%02d%02d", local.tm_year % 100,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min);
    return text;
}

} // namespace memvane
