#pragma once
// Link time of the memvane executable, seconds since 1970-01-01 UTC. Defined in a source file
// that CMake writes whenever the executable is linked again (app/BuildStamp.cmake).

namespace memvane {
extern const long long kBuildEpoch;
}
