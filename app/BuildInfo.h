#pragma once
// Where the program runs from and when it was built. The build moment is recorded by CMake when
// the executable is linked (app/BuildStamp.cmake, honouring SOURCE_DATE_EPOCH) as seconds since
// 1970-01-01 UTC; it is shown in the local time zone of the machine that runs the program.

#include "core/ProgramFolder.h"

#include <ctime>
#include <string>

namespace memvane {

// "yy.MM.dd.hhmm" of `utcSeconds` in the local time zone: 1736380740 gives "25.01.08.2359" in UTC.
std::string buildTimeText(std::time_t utcSeconds);

} // namespace memvane
