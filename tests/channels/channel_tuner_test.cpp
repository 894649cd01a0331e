#include "channels/ChannelTuner.h"
#include "core/Errors.h"
#include "tests/channels/RadioFixture.h"

#include <gtest/gtest.h>

#include <functional>

using namespace memvane;
using namespace memvane::test;

namespace {

struct TunerTest : RadioFixture
{
    bool accepted = false; // what the last goTo returned

    void SetUp() override
    {
        RadioFixture::SetUp();
        ui.label = "99 Memory Locations Read ";
    }
    std::vector<std::string> goTo(const std::string& label)
    {
        list.clear();
        list.append({false, {label}});
        port.frames.clear();
        accepted = goToChannel(ctx, 0);
        return port.frames;
    }
};

} // namespace

TEST_F(TunerTest, MemoryModeThenTheLocation)
{
    EXPECT_EQ(goTo("Mem 12"), (std::vector<std::string>{"FEFE58E008FD", "FEFE58E0080012FD"}));
    EXPECT_EQ(goTo("Mem 1")[1], "FEFE58E0080001FD");
    EXPECT_EQ(goTo("Mem 5")[1], "FEFE58E0080005FD");
    EXPECT_EQ(goTo("Mem 99")[1], "FEFE58E0080099FD");
    // The special memories, by name or number, as a write names them.
    EXPECT_EQ(goTo("Mem 100")[1], "FEFE58E0080100FD");
    EXPECT_EQ(goTo("Mem 1A")[1], "FEFE58E0080100FD");
    EXPECT_EQ(goTo("Mem c2")[1], "FEFE58E0080107FD");
    EXPECT_EQ(ui.label, "99 Memory Locations Read ");
    EXPECT_TRUE(ui.errorLines.empty());
}

TEST_F(TunerTest, NothingIsSentWithoutAUsableLocation)
{
    EXPECT_TRUE(goTo("Mem 1C").empty());
    EXPECT_TRUE(goTo("Mem 0").empty());
    EXPECT_TRUE(goTo("Mem 108").empty());
    EXPECT_TRUE(goTo("Mem").empty());
    EXPECT_TRUE(goTo("Mem -5").empty());
    list.append({false, {"Mem 3"}});
    goToChannel(ctx, std::nullopt);
    goToChannel(ctx, 7);
    list.append({false, {}});
    goToChannel(ctx, list.size() - 1);
    EXPECT_TRUE(port.frames.empty());
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(TunerTest, RefusalsAreLoggedOnlyForTheFirstExchange)
{
    radio.refuse = [](int, const std::string& hex) { return hex == "FEFE58E0080012FD"; };
    EXPECT_EQ(goTo("Mem 12").size(), 2u);
    EXPECT_TRUE(ui.errorLines.empty());
    EXPECT_TRUE(accepted);

    radio.refuse = [](int, const std::string& hex) { return hex == "FEFE58E008FD"; };
    EXPECT_EQ(goTo("Mem 12").size(), 2u);
    EXPECT_FALSE(accepted);
    EXPECT_EQ(ui.errorLines.size(), 3u);
    EXPECT_EQ(ui.label, "");
}

TEST_F(TunerTest, SilenceAndPortErrorsEndItSilently)
{
    state.memloc = "Mem 40";
    radio.ignore = [](int, const std::string&) { return true; };
    port.echo = false;
    std::vector<std::string> sent;
    EXPECT_NO_THROW(sent = goTo("Mem 12"));
    EXPECT_EQ(sent.size(), 1u);
    EXPECT_EQ(ui.errorLines.at(1),
              "Mem 40 No return from Radio!! - Check ComPort and CI-V settings.");

    port.onOpen = [] { throw AppError("COM Port Error: Unable to open com port"); };
    EXPECT_NO_THROW(sent = goTo("Mem 12"));
    EXPECT_TRUE(sent.empty());
    EXPECT_TRUE(ui.messages.empty());
}

// memvane-cli tunes through tuneToChannel: a failure must reach it, or `tune` would exit 0.
TEST_F(TunerTest, TuneToChannelLetsFailuresThrough)
{
    list.append({false, {"Mem 12"}});
    radio.ignore = [](int, const std::string&) { return true; };
    port.echo = false;
    EXPECT_THROW(tuneToChannel(ctx, 0), EAbort);
    port.onOpen = [] { throw AppError("COM Port Error: Unable to open com port"); };
    EXPECT_THROW(tuneToChannel(ctx, 0), AppError);
    EXPECT_FALSE(goToChannel(ctx, 0));
}

TEST_F(TunerTest, DoesNothingWhileAReadOrWriteRuns)
{
    state.busy = true;
    EXPECT_TRUE(goTo("Mem 12").empty());
}
