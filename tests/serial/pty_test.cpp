// The component on real pseudo-terminals through the POSIX backend.

#include "serial/CPort.h"

#include <gtest/gtest.h>

namespace memvane {
namespace {

} // namespace
} // namespace memvane
