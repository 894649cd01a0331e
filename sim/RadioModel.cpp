#include "sim/RadioModel.h"

#include "core/Numbers.h"
#include "core/TextBytes.h"

#include <algorithm>
#include <stdexcept>

namespace memvane::sim {

namespace {

constexpr std::array<const char*, 8> kSpecialNames = {"1A", "1B", "2A", "2B",
                                                      "3A", "3B", "C1", "C2"};

// Command bytes.
constexpr std::uint8_t kReadFrequency = 0x03;
constexpr std::uint8_t kReadMode = 0x04;
constexpr std::uint8_t kSetFrequency = 0x05;
constexpr std::uint8_t kSetMode = 0x06;
constexpr std::uint8_t kSelectVfo = 0x07;
constexpr std::uint8_t kSelectMemory = 0x08;
constexpr std::uint8_t kMemoryWrite = 0x09;
constexpr std::uint8_t kMemoryToVfo = 0x0A;
constexpr std::uint8_t kMemoryClear = 0x0B;
constexpr std::uint8_t kReadOffset = 0x0C;
constexpr std::uint8_t kSetOffset = 0x0D;
constexpr std::uint8_t kSplitDuplex = 0x0F;

} // namespace

bool validMode(std::uint8_t mode)
{
    return mode <= kModeWfm;
}
bool validFilter(std::uint8_t filter)
{
    return filter >= kFilterNormal && filter <= kFilterWide;
}

std::string memoryName(int number)
{
    if (number >= kFirstMemory && number < kFirstSpecialMemory)
        return std::to_string(number);
    if (number >= kFirstSpecialMemory && number <= kLastMemory)
        return kSpecialNames[number - kFirstSpecialMemory];
    return {};
}

std::optional<int> memoryNumber(std::string_view name)
{
    for (std::size_t i = 0; i < kSpecialNames.size(); ++i) {
        if (SameText(name, kSpecialNames[i]))
            return kFirstSpecialMemory + static_cast<int>(i);
    }
    if (name.empty() || name.size() > 3 ||
        !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    int n = StrToInt(name);
    if (n < kFirstMemory || n > kLastMemory)
        return std::nullopt;
    return n;
}

std::optional<Misstore> parseMisstore(std::string_view text)
{
    std::size_t sign = text.find_first_of("+-");
    std::optional<int> memory = memoryNumber(text.substr(0, sign));
    if (!memory)
        return std::nullopt;
    Misstore m{*memory, 0};
    if (sign == std::string_view::npos)
        return m;
    std::string_view digits = text.substr(sign + 1);
    if (digits.empty() || digits.size() > 9 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    m.shiftHz = StrToInt(digits) * (text[sign] == '-' ? -1 : 1);
    return m;
}

RadioModel::RadioModel(std::uint8_t address) : m_address(address)
{
    m_vfos[0] = Setting{14'195'000, kModeUsb, kFilterNormal};
    m_vfos[1] = Setting{7'050'000, kModeLsb, kFilterNormal};
}

const std::optional<Memory>& RadioModel::memory(int number) const
{
    if (number < kFirstMemory || number > kLastMemory)
        throw std::out_of_range("no memory " + std::to_string(number));
    return m_memories[number];
}

void RadioModel::setMemory(int number, std::optional<Memory> memory)
{
    if (number < kFirstMemory || number > kLastMemory)
        throw std::out_of_range("no memory " + std::to_string(number));
    m_memories[number] = std::move(memory);
    if (m_memoryMode && number == m_selected)
        recall();
}

void RadioModel::clearMemories()
{
    for (auto& m : m_memories)
        m.reset();
    if (m_memoryMode)
        recall();
}

std::optional<Setting> RadioModel::operating() const
{
    if (m_memoryMode) {
        if (!m_working)
            return std::nullopt;
        return m_working->receive;
    }
    return m_vfos[index(m_vfo)];
}

Setting* RadioModel::operatingSetting()
{
    if (m_memoryMode)
        return m_working ? &m_working->receive : nullptr;
    return &m_vfos[index(m_vfo)];
}

std::string RadioModel::receive(std::string_view bytes)
{
    std::string out;
    for (const Frame& f : m_parser.feed(bytes))
        out += handle(f);
    return out;
}

std::string RadioModel::handle(const Frame& frame)
{
    log(frame);
    if (m_silent || frame.to != m_address)
        return {};
    auto before = operating();
    if (refused(frame)) {
        if (frame.command == kSelectMemory && !frame.data.empty())
            execute(frame);
        return ng(frame) + broadcastsSince(before);
    }
    std::string out = execute(frame);
    return out + broadcastsSince(before);
}

void RadioModel::log(const Frame& frame)
{
    if (m_log.size() >= kFrameLogLimit)
        m_log.erase(m_log.begin(), m_log.begin() + kFrameLogLimit / 2);
    m_log.push_back(toHex(frame.bytes()));
    if (m_observer)
        m_observer(m_log.back());
}

bool RadioModel::refused(const Frame& frame)
{
    std::string body(1, static_cast<char>(frame.command));
    body += frame.data;
    for (auto it = m_refusals.begin(); it != m_refusals.end(); ++it) {
        if (it->prefix.empty() || body.compare(0, it->prefix.size(), it->prefix) != 0)
            continue;
        if (it->memory != 0 && it->memory != m_selected)
            continue;
        if (it->count > 0 && --it->count == 0)
            m_refusals.erase(it);
        return true;
    }
    return false;
}

std::string RadioModel::reply(const Frame& to, std::uint8_t command, std::string_view data) const
{
    return Frame{to.from, m_address, command, std::string(data)}.bytes();
}

std::string RadioModel::ok(const Frame& to) const
{
    return reply(to, kOk);
}
std::string RadioModel::ng(const Frame& to) const
{
    return reply(to, kNg);
}

void RadioModel::recall()
{
    m_working = m_memories[m_selected];
    if (m_working) {
        m_split = m_working->split;
        m_duplex = m_working->duplex;
        m_offsetHz = m_working->offsetHz;
    }
}

Memory RadioModel::snapshot() const
{
    Memory m;
    if (m_memoryMode && m_working) {
        m.receive = m_working->receive;
        m.transmit = m_working->transmit;
    } else {
        m.receive = m_vfos[index(m_vfo)];
        m.transmit = m_vfos[index(otherVfo())];
    }
    m.split = m_split;
    m.duplex = m_duplex;
    m.offsetHz = m_offsetHz;
    return m;
}

void RadioModel::store(Memory memory)
{
    std::optional<Memory>& slot = m_memories[m_selected];
    if (m_misstore && m_misstore->memory == m_selected) {
        if (m_misstore->shiftHz == 0)
            return;
        if (!slot || slot->receive.hz != memory.receive.hz) {
            std::int64_t hz = static_cast<std::int64_t>(memory.receive.hz) + m_misstore->shiftHz;
            memory.receive.hz = static_cast<std::uint64_t>(
                std::clamp<std::int64_t>(hz, 0, static_cast<std::int64_t>(kMaxHz)));
        }
    }
    slot = memory;
}

std::string RadioModel::execute(const Frame& f)
{
    const std::string& d = f.data;
    auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(d[i]); };

    switch (f.command) {
    case kReadFrequency: {
        auto op = operating();
        if (!d.empty() || !op)
            return ng(f);
        return reply(f, kReadFrequency, toBcdLe(op->hz, 5));
    }
    case kReadMode: {
        auto op = operating();
        if (!d.empty() || !op)
            return ng(f);
        std::string data{static_cast<char>(op->mode), static_cast<char>(op->filter)};
        return reply(f, kReadMode, data);
    }
    case kSetFrequency: {
        Setting* op = operatingSetting();
        std::int64_t hz = d.size() == 5 ? fromBcdLe(d) : -1;
        if (!op || hz < 0)
            return ng(f);
        op->hz = static_cast<std::uint64_t>(hz);
        return ok(f);
    }
    case kSetMode: {
        Setting* op = operatingSetting();
        if (!op || d.empty() || d.size() > 2 || !validMode(byte(0)))
            return ng(f);
        // Without a filter byte the radio takes the mode's default filter.
        std::uint8_t filter = d.size() == 2 ? byte(1) : kFilterNormal;
        if (!validFilter(filter))
            return ng(f);
        op->mode = byte(0);
        op->filter = filter;
        return ok(f);
    }
    case kSelectVfo:
        if (d.size() > 1 || (d.size() == 1 && byte(0) > 0x01))
            return ng(f);
        if (d.size() == 1)
            m_vfo = byte(0) == 0x00 ? Vfo::A : Vfo::B;
        m_memoryMode = false;
        m_working.reset();
        return ok(f);
    case kSelectMemory: {
        if (d.empty()) {
            m_memoryMode = true;
            recall();
            return ok(f);
        }
        if (d.size() > 2)
            return ng(f);
        int hundreds = d.size() == 2 ? fromBcd(byte(0)) : 0;
        int rest = fromBcd(byte(d.size() - 1));
        int n = hundreds * 100 + rest;
        if (hundreds < 0 || rest < 0 || n < kFirstMemory || n > kLastMemory)
            return ng(f);
        m_selected = n;
        if (m_memoryMode)
            recall();
        return m_memories[n] ? ok(f) : ng(f);
    }
    case kMemoryWrite:
        if (!d.empty() || (m_memoryMode && !m_working))
            return ng(f);
        store(snapshot());
        if (m_memoryMode)
            m_working = m_memories[m_selected];
        ++m_memoryWrites;
        return ok(f);
    case kMemoryClear:
        if (!d.empty())
            return ng(f);
        m_memories[m_selected].reset();
        if (m_memoryMode)
            m_working.reset();
        ++m_memoryWrites;
        return ok(f);
    case kMemoryToVfo: {
        const auto& m = m_memories[m_selected];
        if (!d.empty() || !m)
            return ng(f);
        m_vfos[index(m_vfo)] = m->receive;
        m_vfos[index(otherVfo())] = m->transmit;
        m_split = m->split;
        m_duplex = m->duplex;
        m_offsetHz = m->offsetHz;
        m_memoryMode = false;
        m_working.reset();
        return ok(f);
    }
    case kReadOffset:
        if (!d.empty())
            return ng(f);
        return reply(f, kReadOffset, toBcdLe(m_offsetHz / 100, 3));
    case kSetOffset: {
        std::int64_t steps = d.size() == 3 ? fromBcdLe(d) : -1;
        if (steps < 0)
            return ng(f);
        m_offsetHz = static_cast<std::uint32_t>(steps * 100);
        return ok(f);
    }
    case kSplitDuplex:
        if (d.size() != 1)
            return ng(f);
        switch (byte(0)) {
        case 0x00:
            m_split = false;
            break;
        case 0x01:
            m_split = true;
            m_duplex = Duplex::Off;
            break;
        case 0x10:
            m_duplex = Duplex::Off;
            break;
        case 0x11:
            m_duplex = Duplex::Minus;
            m_split = false;
            break;
        case 0x12:
            m_duplex = Duplex::Plus;
            m_split = false;
            break;
        default:
            return ng(f);
        }
        return ok(f);
    default:
        return ng(f);
    }
}

std::string RadioModel::broadcastsSince(const std::optional<Setting>& before) const
{
    auto now = operating();
    if (!m_transceive || !now)
        return {};
    std::string out;
    if (!before || before->hz != now->hz)
        out += frequencyBroadcast(m_address, now->hz);
    if (!before || before->mode != now->mode || before->filter != now->filter)
        out += modeBroadcast(m_address, now->mode, now->filter);
    return out;
}

std::string RadioModel::tune(std::uint64_t hz)
{
    Setting* op = operatingSetting();
    if (!op || hz > kMaxHz)
        return {};
    auto before = operating();
    op->hz = hz;
    return broadcastsSince(before);
}

std::string RadioModel::selectMode(std::uint8_t mode, std::uint8_t filter)
{
    Setting* op = operatingSetting();
    if (!op || !validMode(mode) || !validFilter(filter))
        return {};
    auto before = operating();
    op->mode = mode;
    op->filter = filter;
    return broadcastsSince(before);
}

std::string RadioModel::frequencyBroadcastNow() const
{
    auto op = operating();
    return op ? frequencyBroadcast(m_address, op->hz) : std::string();
}

std::string RadioModel::modeBroadcastNow() const
{
    auto op = operating();
    return op ? modeBroadcast(m_address, op->mode, op->filter) : std::string();
}

} // namespace memvane::sim
