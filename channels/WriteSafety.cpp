#include "channels/WriteSafety.h"

#include "channels/ChannelTexts.h"
#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "civ/Exchange.h"
#include "core/Errors.h"
#include "core/Numbers.h"

#include <algorithm>

namespace memvane {

namespace {

const std::string Ok = hexByte(civ::Ok);

// The name a mode or filter code stands for, or the code itself when the table has none.
std::string codeName(uint8_t code, std::string (ProgramState::*name)(int) const,
                     const ProgramState& state)
{
    std::optional<int> index = decimalReading(hexByte(code));
    std::string text = index ? (state.*name)(*index) : std::string();
    return text.empty() ? "code " + hexByte(code) : text;
}

std::string frequencyText(const std::string& bytes)
{
    return decodeFrequency(toHexText(bytes));
}

// The five bytes a frequency text that was read back stands for; empty when it is no number.
std::string readBytes(const std::string& text)
{
    try {
        return encodeFrequency(text);
    } catch (const AppError&) {
        return {};
    }
}

} // namespace

bool isBlankRow(const ChannelRow& row)
{
    auto blank = [&](int column) {
        size_t i = static_cast<size_t>(column - 1);
        return i >= row.texts.size() || Trim(row.texts[i]).empty();
    };
    return row.texts.size() >= 1 && blank(ColFreqA) && blank(ColFreqB);
}

std::vector<int> memoriesToBackUp(const ProgramState& state, const ChannelList& list,
                                  const WriteOptions& options)
{
    std::vector<int> memories;
    for (size_t index = 0; index < list.size(); ++index) {
        if (!list.row(index).write)
            continue;
        int memory = memoryOfRow(state, list, index, options);
        if (std::find(memories.begin(), memories.end(), memory) == memories.end())
            memories.push_back(memory);
    }
    return memories;
}

std::string backupLabel(int memory)
{
    std::string special = specialLocationName(memory);
    return special.empty() ? locationLabel(memory) : "Mem " + special;
}

namespace {

// A write leaves memloc alone; its readings (backup, verify) label their error lines with the
// memory they read, and give the write's label back afterwards.
class ReadingLabel
{
public:
    ReadingLabel(ProgramState& state, const std::string& label)
        : m_state(state), m_saved(state.memloc)
    {
        m_state.memloc = label;
    }
    ~ReadingLabel() { m_state.memloc = m_saved; }
    ReadingLabel(const ReadingLabel&) = delete;
    ReadingLabel& operator=(const ReadingLabel&) = delete;

private:
    ProgramState& m_state;
    std::string m_saved;
};

} // namespace

std::optional<std::vector<ChannelRow>> readBackupRows(RadioContext& ctx,
                                                      const std::vector<int>& memories)
{
    std::vector<ChannelRow> rows;
    for (int memory : memories) {
        const std::string label = backupLabel(memory);
        ctx.ui.setStatus("Backing up Memory Location " + locationText(label));
        if (stopRequested(ctx.state))
            return std::nullopt;
        ctx.ui.processEvents();
        if (stopRequested(ctx.state))
            return std::nullopt;
        ChannelReading r;
        try {
            ReadingLabel reading(ctx.state, label);
            r = readChannel(ctx, memory, false);
        } catch (const EAbort&) {
            throw AppError("No backup: the radio did not answer while " + label +
                           " was read. Nothing was written.");
        } catch (const AppError& error) {
            throw AppError("No backup: " + label + " could not be read (" + error.message() +
                           "). Nothing was written.");
        }
        // A blank memory refuses memory to VFO; any other refusal leaves the row unknown, and
        // a blank row in its place would clear that memory on a restore.
        if (r.refused && !r.blank)
            throw AppError("No backup: the radio refused a command while " + label +
                           " was read. Nothing was written.");
        ChannelRow row{true, {label}};
        if (r.blank)
            row.texts.resize(8, " ");
        else
            row.texts = {label, r.tx, r.rx, r.mode, r.filter, r.split, "", r.offset};
        rows.push_back(std::move(row));
    }
    return rows;
}

bool clearChannel(RadioContext& ctx, int memory)
{
    bool refused =
        runCommand(bytesOf({civ::SelectVfo, civ::VfoA}), Ok, ctx.port, ctx.state, ctx.ui).refused;
    // In VFO mode the selection only names the memory; a blank one answers NG all the same.
    runCommand(selectMemoryBody(memory), std::string(), ctx.port, ctx.state, ctx.ui);
    refused =
        runCommand(bytesOf({civ::MemoryClear}), Ok, ctx.port, ctx.state, ctx.ui).refused || refused;
    return !refused;
}

std::vector<std::string> compareWithPlan(const ProgramState& state, const std::string& label,
                                         const ChannelReading& got, const ChannelWritePlan* plan)
{
    std::vector<std::string> lines;
    const std::string prefix = label + " ";
    if (!plan) {
        if (!got.blank)
            lines.push_back(prefix + "should be blank, the radio holds " + got.tx + " / " + got.rx +
                            " " + got.mode);
        return lines;
    }
    if (got.blank) {
        lines.push_back(prefix + "is blank in the radio, the row asked for " +
                        frequencyText(plan->freqA) + " / " + frequencyText(plan->freqB));
        return lines;
    }
    if (got.refused) {
        lines.push_back(prefix + "could not be read back: the radio refused a command");
        return lines;
    }
    auto differ = [&](const char* what, const std::string& holds, const std::string& asked) {
        lines.push_back(prefix + what + ": the radio holds " + holds + ", the row asked for " +
                        asked);
    };
    // The read shows the memory's transmit side (VFO B after memory to VFO) in "Freq VFO A",
    // which the write filled from VFO A, and its receive side in "Freq VFO B".
    if (readBytes(got.tx) != plan->freqA)
        differ("Freq VFO A", got.tx, frequencyText(plan->freqA));
    if (readBytes(got.rx) != plan->freqB)
        differ("Freq VFO B", got.rx, frequencyText(plan->freqB));
    const std::string mode = codeName(plan->mode, &ProgramState::modeName, state);
    if (got.mode != mode)
        differ("Mode", got.mode, mode);
    const std::string filter = codeName(plan->filter, &ProgramState::filterName, state);
    if (got.filter != filter)
        differ("filter", got.filter, filter);
    // A duplex row sets the offset its transmit frequency needs; other rows leave it alone.
    if (!plan->offset.empty() && got.offset != decodeOffset(toHexText(plan->offset)))
        differ("offset", got.offset, decodeOffset(toHexText(plan->offset)));
    return lines;
}

bool verifyChannel(RadioContext& ctx, const std::string& label, int memory,
                   const ChannelWritePlan* plan)
{
    ChannelReading got;
    std::vector<std::string> lines;
    try {
        ReadingLabel reading(ctx.state, label);
        got = readChannel(ctx, memory, false);
    } catch (const EAbort&) {
        throw;
    } catch (const AppError& error) {
        // A reply that cannot be decoded (the read has finished its exchanges): this memory
        // is not verified, the write goes on.
        lines.push_back(label + " could not be read back: " + error.message());
    }
    if (plan) {
        runCommand(bytesOf({civ::SplitDuplex, plan->split}), Ok, ctx.port, ctx.state, ctx.ui);
        runCommand(bytesOf({civ::MemoryWrite}), Ok, ctx.port, ctx.state, ctx.ui);
    }
    if (lines.empty())
        lines = compareWithPlan(ctx.state, label, got, plan);
    for (const std::string& line : lines)
        ctx.ui.appendErrorLine(line);
    if (!lines.empty())
        ctx.ui.setErrorsEnabled(true);
    return lines.empty();
}

} // namespace memvane
