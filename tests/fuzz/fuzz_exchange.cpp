// The command exchange and the radio operations built on it, against a line that answers every
// command with bytes from the fuzzer. The first byte chooses what runs:
//   0  one ccomportwrite: the outcome follows from where the expected and the refused texts
//      occur in the reply (result up to the next "FD"; three error lines and an empty result
//      for a refusal; three error lines and EAbort otherwise); then the fast exchange against
//      the fixed wait on bytes that arrive in pieces, some of them after civdelay;
//   1  one channel read, 2  "Read Radio Memory", 3  "Write to Radio" and 5 "Re-Read Selected
//      Chans" of rows from a channel file also made of fuzz bytes, 4  "Go To Chan".
// For every operation: only the program's own errors escape (EAbort, EConvertError, EListError;
// nothing from "Go To Chan"), the busy mark is cleared, and every frame that reaches the line
// is a well-formed CI-V frame to the radio's address whose data holds no FE or FD.

#include "channels/ChannelList.h"
#include "channels/ChannelReader.h"
#include "channels/ChannelTuner.h"
#include "channels/ChannelWriter.h"
#include "channels/RadioContext.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Errors.h"
#include "files/ChannelFile.h"
#include "tests/fuzz/FuzzSupport.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace memvane;
using namespace memvane::fuzz;

namespace {

// Each write queues the next scripted reply (the line's echo included, if the script has it);
// a purge drops whatever is queued.
class ScriptedLine : public PortIo
{
public:
    explicit ScriptedLine(FuzzedDataProvider& fdp) : m_fdp(fdp) {}

    void ensureOpen() override {}
    void clearBuffers() override { m_queued.clear(); }
    int write(const std::string& bytes) override
    {
        frames.push_back(bytes);
        m_queued += m_fdp.ConsumeRandomLengthString(256);
        return static_cast<int>(bytes.size());
    }
    std::string read(int maxCount) override
    {
        FUZZ_CHECK(maxCount > 0);
        std::string got = m_queued.substr(0, static_cast<size_t>(maxCount));
        m_queued.erase(0, got.size());
        return got;
    }
    void sleepMs(int ms) override { FUZZ_CHECK(ms >= 0); }

    std::vector<std::string> frames;

private:
    FuzzedDataProvider& m_fdp;
    std::string m_queued;
};

void checkFrames(const std::vector<std::string>& frames, uint8_t address)
{
    for (const std::string& f : frames) {
        FUZZ_CHECK(f.size() >= 6);
        FUZZ_CHECK(static_cast<uint8_t>(f[0]) == 0xFE && static_cast<uint8_t>(f[1]) == 0xFE);
        FUZZ_CHECK(static_cast<uint8_t>(f[2]) == address);
        FUZZ_CHECK(static_cast<uint8_t>(f[3]) == 0xE0);
        FUZZ_CHECK(static_cast<uint8_t>(f.back()) == 0xFD);
        for (size_t i = 4; i + 1 < f.size(); ++i)
            FUZZ_CHECK(static_cast<uint8_t>(f[i]) != 0xFE && static_cast<uint8_t>(f[i]) != 0xFD);
        // Frequencies, memory numbers, mode, filter and split codes travel as BCD, whatever
        // the row held.
        const uint8_t command = static_cast<uint8_t>(f[4]);
        if (command == 0x05 || command == 0x06 || command == 0x08 || command == 0x0F) {
            for (size_t i = 5; i + 1 < f.size(); ++i)
                FUZZ_CHECK(decimalReading(hexByte(static_cast<uint8_t>(f[i]))).has_value());
        }
    }
}

void oneExchange(FuzzedDataProvider& fdp, ProgramState& state, RecordingUi& ui)
{
    std::string word = fdp.ConsumeRandomLengthString(16);
    std::string look1 = "FEFEE0" + state.civhex + toHexText(fdp.ConsumeBytesAsString(1));
    const std::string reply = fdp.ConsumeRandomLengthString(400);
    const int errcount = state.errcount;

    // The reply is what the read takes: the line's queue at the time, at most 200 bytes.
    struct FixedLine : PortIo
    {
        std::string reply, written;
        int reads = 0;
        void ensureOpen() override {}
        void clearBuffers() override {}
        int write(const std::string& b) override
        {
            written += b;
            return static_cast<int>(b.size());
        }
        std::string read(int maxCount) override
        {
            ++reads;
            return reply.substr(0, static_cast<size_t>(maxCount));
        }
        void sleepMs(int) override {}
    } fixed;
    fixed.reply = reply;

    const std::string hex = toHexText(reply.substr(0, 200));
    const size_t found = hex.find(look1);
    const size_t refusedAt = hex.find("FEFEE0" + state.civhex + "FA");
    try {
        ExchangeOutcome outcome = ccomportwrite(word, look1, fixed, state, ui);
        const std::string& result = outcome.data;
        FUZZ_CHECK(fixed.written == word && fixed.reads == 1);
        FUZZ_CHECK(outcome.refused == (found == std::string::npos));
        if (found != std::string::npos) {
            size_t from = found + look1.size();
            size_t end = hex.find("FD", from);
            FUZZ_CHECK(result == (end == std::string::npos ? "" : hex.substr(from, end - from)));
            FUZZ_CHECK(ui.errorLines.empty() && state.errcount == errcount);
        } else {
            FUZZ_CHECK(refusedAt != std::string::npos && result.empty());
            FUZZ_CHECK(ui.errorLines.size() == 3 && state.errcount == errcount + 1);
            FUZZ_CHECK(ui.errorsEnabled && ui.status().empty());
        }
    } catch (const EAbort&) {
        FUZZ_CHECK(found == std::string::npos);
        FUZZ_CHECK(ui.errorLines.size() == 3 && state.errcount == errcount + 1);
        FUZZ_CHECK(ui.errorsEnabled);
    }
}

// A line whose bytes arrive in pieces: the first `inTime` within civdelay (one per wait for
// input, or all of them during the fixed wait), the rest after it.
struct PieceLine : PortIo
{
    std::vector<std::string> pieces;
    size_t inTime = 0, next = 0;
    std::string queue;
    size_t bytesRead = 0;
    void ensureOpen() override {}
    void clearBuffers() override {}
    int write(const std::string& b) override { return static_cast<int>(b.size()); }
    std::string read(int maxCount) override
    {
        FUZZ_CHECK(maxCount > 0);
        std::string got = queue.substr(0, static_cast<size_t>(maxCount));
        queue.erase(0, got.size());
        bytesRead += got.size();
        return got;
    }
    void sleepMs(int) override
    {
        while (next < inTime)
            queue += pieces[next++];
    }
    InputWait waitForInput(int) override
    {
        while (queue.empty() && next < inTime)
            queue += pieces[next++];
        return queue.empty() ? InputWait::TimedOut : InputWait::Arrived;
    }
};

struct Outcome
{
    std::string result; // "abort" for the silent abort
    bool refused = false;
    std::vector<std::string> errorLines;
    std::string status;
    bool operator==(const Outcome&) const = default;
};

Outcome exchangeOn(PieceLine& line, const std::string& look1, ProgramState state, bool fast)
{
    state.fastExchange = fast;
    RecordingUi ui;
    ui.setStatus("Reading Memory Location 1");
    Outcome o;
    try {
        ExchangeOutcome got = ccomportwrite("\xFE\xFE", look1, line, state, ui);
        o.result = got.data;
        o.refused = got.refused;
    } catch (const EAbort&) {
        o.result = "abort";
    }
    o.errorLines = ui.errorLines;
    o.status = ui.status();
    return o;
}

// Whatever arrives within civdelay, the fast exchange ends as the fixed wait does, except that
// it stops at a refusal complete before the expected text has arrived (a radio answers a
// command once, so that reply is the answer). It never examines more than 200 bytes.
void fastAgainstFixed(FuzzedDataProvider& fdp, const ProgramState& state)
{
    const std::string look1 = "FEFEE0" + state.civhex + toHexText(fdp.ConsumeBytesAsString(1));
    PieceLine line;
    const int count = fdp.ConsumeIntegralInRange<int>(0, 8);
    for (int i = 0; i < count; ++i)
        line.pieces.push_back(fdp.ConsumeRandomLengthString(120));
    line.inTime = fdp.ConsumeIntegralInRange<size_t>(0, line.pieces.size());

    const Outcome fixed = exchangeOn(line, look1, state, false);
    std::string inTime;
    for (size_t i = 0; i < line.inTime; ++i)
        inTime += line.pieces[i];
    PieceLine again;
    again.pieces = line.pieces;
    again.inTime = line.inTime;
    const Outcome fast = exchangeOn(again, look1, state, true);
    FUZZ_CHECK(again.bytesRead <= 200);
    if (fast == fixed)
        return;
    const std::string hex = toHexText(inTime.substr(0, 200));
    const size_t found = hex.find(look1);
    const size_t refused = hex.find("FEFEE0" + state.civhex + "FA");
    FUZZ_CHECK(fixed.errorLines.empty() && fast.errorLines.size() == 3 && fast.result.empty() &&
               fast.refused);
    FUZZ_CHECK(found != std::string::npos && refused != std::string::npos);
    FUZZ_CHECK(hex.find("FD", refused) < found + look1.size());
}

bool isCommand(const std::string& frame, uint8_t command, size_t size)
{
    return frame.size() == size && static_cast<uint8_t>(frame[4]) == command;
}

// Whole rows of "Write to Radio": each its 24 exchanges, whatever the radio refused.
bool wholeRows(const std::vector<std::string>& frames)
{
    return frames.size() % 24 == 0;
}

// Whole channels of a reading: 16 exchanges, without the split change and store that follow a
// refused switch to memory mode (exchanges 5-6 after 4, and 15-16 when 14 was refused too or
// there is nothing to undo). The memory selection takes any answer, so never ends a channel.
bool wholeChannels(const std::vector<std::string>& frames)
{
    size_t i = 0;
    while (i < frames.size()) {
        size_t length = 4;
        if (i + 4 < frames.size() && isCommand(frames[i + 4], 0x0F, 7))
            length += 2;
        length += 8; // memory to VFO, the four reads and their VFO switches, memory mode
        if (i + length < frames.size() && isCommand(frames[i + length], 0x0F, 7))
            length += 2;
        i += length;
    }
    return i == frames.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    const int mode = fdp.ConsumeIntegralInRange<int>(0, 5);
    static const uint8_t kAddresses[] = {0x58, 0x48, 0x4E};
    const uint8_t address = fdp.PickValueInArray(kAddresses);

    ProgramState state;
    state.fillNameTables();
    state.civhex = hexByte(address);
    state.civaddr = "$" + state.civhex;
    RecordingUi ui;
    ScriptedLine line(fdp);
    ChannelList list;
    RadioContext ctx{state, ui, line, list};
    // The list from a channel file made of fuzz bytes; false when they are no channel file.
    auto loadRows = [&](size_t maxLength) {
        try {
            list.replaceAll(parseChannelFile(fdp.ConsumeRandomLengthString(maxLength)));
            return true;
        } catch (const EConvertError&) {
            return false;
        }
    };

    try {
        switch (mode) {
        case 0:
            oneExchange(fdp, state, ui);
            fastAgainstFixed(fdp, state);
            return 0;
        case 1: {
            const int memory = fdp.ConsumeIntegralInRange<int>(0, 199);
            const bool fullRead = fdp.ConsumeBool();
            readChannel(ctx, memory, fullRead);
            break;
        }
        case 2:
            readAllChannels(ctx);
            FUZZ_CHECK(list.size() == 99);
            break;
        case 3:
        case 5: {
            if (!loadRows(2048))
                return 0;
            if (mode == 3)
                writeTickedChannels(ctx);
            else
                rereadTickedChannels(ctx);
            break;
        }
        case 4: {
            if (!loadRows(512))
                return 0;
            std::optional<size_t> selected;
            if (fdp.ConsumeBool())
                selected = fdp.ConsumeIntegralInRange<size_t>(0, list.size() + 1);
            goToChannel(ctx, selected);
            FUZZ_CHECK(line.frames.size() <= 2);
            break;
        }
        }
    } catch (const EAbort&) {
        FUZZ_CHECK(mode != 4);
    } catch (const EConvertError&) {
        FUZZ_CHECK(mode != 4);
        // A row that cannot be written stops the write before any of its exchanges.
        FUZZ_CHECK(mode != 3 || wholeRows(line.frames));
        // A re-read reports an undecodable reply after the channel's last exchange.
        FUZZ_CHECK(mode != 5 || wholeChannels(line.frames));
    } catch (const EListError&) {
        FUZZ_CHECK(mode == 3 || mode == 5);
        FUZZ_CHECK(mode != 3 || wholeRows(line.frames));
        // A short row is reported before the radio is asked anything about it.
        FUZZ_CHECK(mode != 5 || wholeChannels(line.frames));
    }
    FUZZ_CHECK(!state.busy);
    checkFrames(line.frames, address);
    for (const ChannelRow& row : list.rows())
        FUZZ_CHECK(mode != 2 || row.texts.size() == 8);
    return 0;
}
