#pragma once
// "COMn" as users type it, in any letter case: the n, for the backends' own name rules.

#include "core/TextBytes.h"

#include <string_view>

namespace memvane {

// True, with `n`, when `name` is "COM" followed by decimal digits only.
inline bool comPortNumber(std::string_view name, long& n)
{
    if (name.size() <= 3 || !SameText(name.substr(0, 3), "COM"))
        return false;
    n = 0;
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    return true;
}

} // namespace memvane
