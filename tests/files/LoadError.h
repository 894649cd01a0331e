#pragma once
// What a load of the channel file says when it fails, for tests that expect it to.

#include "core/Errors.h"
#include "files/ChannelFile.h"

#include <string>

namespace memvane::test {

// The message of the error loadChannelFile throws; "no error" when the file loads.
inline std::string loadError(ChannelList& list, ProgramState& state, UiEffects& ui)
{
    try {
        loadChannelFile(list, state, ui);
    } catch (const AppError& e) {
        return e.message();
    }
    return "no error";
}

} // namespace memvane::test
