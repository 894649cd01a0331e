#pragma once
// The fixture of the radio operations' unit tests: the window's state and UI faked, the line a
// ScriptedPort answered by a FakeRadio.

#include "channels/RadioContext.h"
#include "tests/channels/FakeRadio.h"
#include "tests/support/FakeUi.h"

#include <gtest/gtest.h>

#include <functional>

namespace memvane::test {

struct RadioFixture : ::testing::Test
{
    ProgramState state;
    FakeUi ui;
    ScriptedPort port;
    FakeRadio radio;
    ChannelList list;
    RadioContext ctx{state, ui, port, list};

    void SetUp() override
    {
        state.fillNameTables();
        port.respond = std::ref(radio);
    }
};

} // namespace memvane::test
