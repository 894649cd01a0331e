#pragma once
// The simulated IC-706: its operating state, its memories and its answers to CI-V commands.
// Pure: bytes in, bytes out, no threads, no clock, no I/O. PtyRadio puts it on a pseudo-terminal;
// tests can also drive it in-process through receive().
//
// How the radio works here, as far as the program relies on it:
//  - Two VFOs, A and B, each with frequency, mode and filter; one of them is the current
//    (displayed) VFO. Split, duplex direction and duplex offset are operating settings.
//  - VFO mode or memory mode. In memory mode the radio works on a copy of the selected memory:
//    tuning or a mode change alters the copy, not the memory, until a memory write.
//  - A memory write (09) stores the current VFO as the memory's receive side and the other VFO
//    as its transmit side (the split partner), with split, duplex and offset. In memory mode it
//    stores the working copy; a blank memory in memory mode has nothing to store (NG).
//  - Memory to VFO (0A) loads the receive side into the current VFO and the transmit side into
//    the other VFO, takes over split, duplex and offset, and leaves memory mode. A blank memory
//    cannot be transferred (NG).
//  - Selecting VFO A or B (07 00 / 07 01) also leaves memory mode. Selecting a memory (08 hh ll)
//    in VFO mode only chooses the channel for the next write; in memory mode it recalls it.
//    A blank memory is selected all the same, but answered NG: an NG to a selection never
//    means the radio stayed on another memory (a refusal injected for a selection selects too).
//  - Memory clear (0B) empties the selected memory, in either mode.
//  - Split and duplex exclude each other: split on cancels duplex, duplex - or + cancels split.
//  - The duplex offset is set by 0D (three BCD bytes of 100 Hz steps, as 0C reads it) and
//    stored with every memory write.
//  - Frames to another address are ignored; an unknown command or bad data is answered NG.
//  - With transceive on, every change of the operating frequency or mode, whatever caused it,
//    is followed by a broadcast to address 00.
//
// Memories: 1..99, and 100..107 for the special channels 1A 1B 2A 2B 3A 3B C1 C2.

#include "sim/SimFrame.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace memvane::sim {

// Mode bytes: LSB USB AM CW RTTY FM WFM. Filter bytes: 1 Normal, 2 Narrow, 3 Wide.
inline constexpr std::uint8_t kModeLsb = 0x00, kModeUsb = 0x01, kModeAm = 0x02, kModeCw = 0x03,
                              kModeRtty = 0x04, kModeFm = 0x05, kModeWfm = 0x06;
inline constexpr std::uint8_t kFilterNormal = 0x01, kFilterNarrow = 0x02, kFilterWide = 0x03;
bool validMode(std::uint8_t mode);
bool validFilter(std::uint8_t filter);

// Highest frequency the five BCD bytes hold: 9999.999999 MHz.
inline constexpr std::uint64_t kMaxHz = 9'999'999'999ULL;
// The offset travels as three BCD bytes in 100 Hz steps: at most 99.9999 MHz.
inline constexpr std::uint32_t kMaxOffsetHz = 99'999'900;

inline constexpr int kFirstMemory = 1;
inline constexpr int kLastMemory = 107;
inline constexpr int kFirstSpecialMemory = 100;

// "12" for 12, "1A" for 100 ... "C2" for 107; empty outside 1..107.
std::string memoryName(int number);
// The reverse, ignoring case; plain numbers 1..107 are accepted too. nullopt when unknown.
std::optional<int> memoryNumber(std::string_view name);

enum class Vfo : std::uint8_t { A, B };
enum class Duplex : std::uint8_t { Off, Minus, Plus };

struct Setting
{
    std::uint64_t hz = 0;
    std::uint8_t mode = kModeUsb;
    std::uint8_t filter = kFilterNormal;
    bool operator==(const Setting&) const = default;
};

struct Memory
{
    Setting receive;  // the VFO that was current at the write
    Setting transmit; // the other VFO: where the radio transmits with split on
    bool split = false;
    Duplex duplex = Duplex::Off;
    std::uint32_t offsetHz = 600'000;
    bool operator==(const Memory&) const = default;
};

// Refuse a command (answer NG, do nothing; a memory selection is still carried out, as the radio's
// own NG to a selection is) whose command byte and first data bytes start with
// `prefix` (raw bytes: "\x0A" is every memory to VFO, "\x0F\x01" only split on), optionally only
// while memory `memory` is selected, for `count` frames (-1: until cleared).
struct Refusal
{
    std::string prefix;
    int memory = 0;
    int count = -1;
};

// A memory that answers OK to every memory write yet stores something else, as a radio that
// does not take a frequency or loses a write can: with `shiftHz` 0 it keeps its old contents;
// otherwise a write that changes its receive frequency stores that frequency moved by
// `shiftHz` (a write that leaves it as it was, such as a store in memory mode, stores it as is).
struct Misstore
{
    int memory = 0;
    std::int64_t shiftHz = 0;
};
// "12" (old contents), "12+5000" or "1A-100" (shift in Hz); nullopt for anything else.
std::optional<Misstore> parseMisstore(std::string_view text);

class RadioModel
{
public:
    explicit RadioModel(std::uint8_t address = 0x58);

    // Bytes from the line in, bytes the radio sends back out: replies (FE FE E0 aa ...) and, with
    // transceive on, broadcasts. Frames may be split across calls; noise is skipped. The echo of
    // the shared line is not part of the result.
    std::string receive(std::string_view bytes);
    // One complete frame; what the radio answers (empty for frames to another address).
    std::string handle(const Frame& frame);

    std::uint8_t address() const { return m_address; }
    void setAddress(std::uint8_t address) { m_address = address; }

    // Memories 1..107; std::out_of_range outside.
    const std::optional<Memory>& memory(int number) const;
    void setMemory(int number, std::optional<Memory> memory);
    void clearMemories();
    // Counts memory writes (09) that were carried out; lets a caller notice changes.
    std::uint64_t memoryWrites() const { return m_memoryWrites; }

    // Operating state.
    Vfo currentVfo() const { return m_vfo; }
    bool memoryMode() const { return m_memoryMode; }
    int selectedMemory() const { return m_selected; }
    bool split() const { return m_split; }
    Duplex duplex() const { return m_duplex; }
    std::uint32_t offsetHz() const { return m_offsetHz; }
    const Setting& vfo(Vfo which) const { return m_vfos[index(which)]; }
    void setVfo(Vfo which, const Setting& setting) { m_vfos[index(which)] = setting; }
    void setOffsetHz(std::uint32_t hz) { m_offsetHz = hz; }
    // What 03 and 04 report now; nullopt in memory mode on a blank memory.
    std::optional<Setting> operating() const;

    // Front panel: turn the dial / press a mode key. Returns the broadcasts this causes (with
    // transceive on) for the caller to put on the line. Does nothing in memory mode on a blank
    // memory (nothing to tune) or for values the radio does not have.
    std::string tune(std::uint64_t hz);
    std::string selectMode(std::uint8_t mode, std::uint8_t filter);
    // The two broadcast frames for the current operating frequency / mode (empty when none).
    std::string frequencyBroadcastNow() const;
    std::string modeBroadcastNow() const;

    bool transceive() const { return m_transceive; }
    void setTransceive(bool on) { m_transceive = on; }

    // Switched off: frames are still logged, nothing is carried out or answered.
    bool silent() const { return m_silent; }
    void setSilent(bool silent) { m_silent = silent; }
    void addRefusal(Refusal refusal) { m_refusals.push_back(std::move(refusal)); }
    void clearRefusals() { m_refusals.clear(); }
    void setMisstore(std::optional<Misstore> misstore) { m_misstore = misstore; }

    // Every complete frame received, to any address, as hex text ("FEFE58E008FD"), oldest first.
    // Only the newest kFrameLogLimit are kept.
    static constexpr std::size_t kFrameLogLimit = 200'000;
    const std::vector<std::string>& frameLog() const { return m_log; }
    void clearFrameLog() { m_log.clear(); }
    // Called for each frame as it is logged (the pty radio writes its log file from here).
    void setFrameObserver(std::function<void(const std::string& hex)> observer)
    {
        m_observer = std::move(observer);
    }

private:
    static int index(Vfo v) { return v == Vfo::A ? 0 : 1; }
    Vfo otherVfo() const { return m_vfo == Vfo::A ? Vfo::B : Vfo::A; }
    Setting* operatingSetting();
    std::string reply(const Frame& to, std::uint8_t command, std::string_view data = {}) const;
    std::string ok(const Frame& to) const;
    std::string ng(const Frame& to) const;
    bool refused(const Frame& frame);
    std::string execute(const Frame& frame);
    void recall();
    Memory snapshot() const;
    void store(Memory memory);
    void log(const Frame& frame);
    std::string broadcastsSince(const std::optional<Setting>& before) const;

    std::uint8_t m_address;
    std::array<std::optional<Memory>, kLastMemory + 1> m_memories{}; // [0] unused
    std::array<Setting, 2> m_vfos{};
    Vfo m_vfo = Vfo::A;
    bool m_memoryMode = false;
    int m_selected = 1;
    std::optional<Memory> m_working; // memory mode: copy of the selected memory
    bool m_split = false;
    Duplex m_duplex = Duplex::Off;
    std::uint32_t m_offsetHz = 600'000;
    bool m_transceive = false;
    bool m_silent = false;
    std::uint64_t m_memoryWrites = 0;
    std::vector<Refusal> m_refusals;
    std::optional<Misstore> m_misstore;
    FrameParser m_parser;
    std::vector<std::string> m_log;
    std::function<void(const std::string&)> m_observer;
};

} // namespace memvane::sim
