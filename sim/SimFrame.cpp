#include "sim/SimFrame.h"

#include <stdexcept>

namespace memvane::sim {

std::string Frame::bytes() const
{
    std::string out;
    out.reserve(6 + data.size());
    out += static_cast<char>(kPreamble);
    out += static_cast<char>(kPreamble);
    out += static_cast<char>(to);
    out += static_cast<char>(from);
    out += static_cast<char>(command);
    out += data;
    out += static_cast<char>(kEndOfMessage);
    return out;
}

std::string toHex(std::string_view bytes)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        auto b = static_cast<std::uint8_t>(c);
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

namespace {

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::string fromHex(std::string_view text)
{
    std::string out;
    int high = -1;
    for (char c : text) {
        if (c == ' ' && high < 0)
            continue;
        int d = hexDigit(c);
        if (d < 0)
            throw std::invalid_argument("not a hex digit in '" + std::string(text) + "'");
        if (high < 0) {
            high = d;
        } else {
            out += static_cast<char>(high << 4 | d);
            high = -1;
        }
    }
    if (high >= 0)
        throw std::invalid_argument("odd number of hex digits in '" + std::string(text) + "'");
    return out;
}

std::vector<Frame> FrameParser::feed(std::string_view bytes)
{
    std::vector<Frame> frames;
    for (char c : bytes) {
        auto b = static_cast<std::uint8_t>(c);
        if (b == kPreamble) {
            // Extra preamble bytes are allowed; an FE after the addresses began means the
            // frame in progress was cut short (a collision) and a new one starts.
            bool onlyPreamble =
                m_buffer.find_first_not_of(static_cast<char>(kPreamble)) == std::string::npos;
            if (!onlyPreamble)
                m_buffer.clear();
            if (m_buffer.size() < 2)
                m_buffer += c;
            continue;
        }
        if (m_buffer.size() < 2) {
            m_buffer.clear(); // noise outside a frame
            continue;
        }
        if (b == kEndOfMessage) {
            if (m_buffer.size() >= 5) {
                Frame f;
                f.to = static_cast<std::uint8_t>(m_buffer[2]);
                f.from = static_cast<std::uint8_t>(m_buffer[3]);
                f.command = static_cast<std::uint8_t>(m_buffer[4]);
                f.data = m_buffer.substr(5);
                frames.push_back(std::move(f));
            }
            m_buffer.clear();
            continue;
        }
        if (m_buffer.size() >= kMaxFrameLength) {
            m_buffer.clear();
            continue;
        }
        m_buffer += c;
    }
    return frames;
}

std::uint8_t toBcd(int value)
{
    if (value < 0 || value > 99)
        throw std::out_of_range("BCD byte out of range: " + std::to_string(value));
    return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10));
}

int fromBcd(std::uint8_t byte)
{
    int high = byte >> 4;
    int low = byte & 0x0F;
    if (high > 9 || low > 9)
        return -1;
    return high * 10 + low;
}

std::string toBcdLe(std::uint64_t value, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i) {
        out += static_cast<char>(toBcd(static_cast<int>(value % 100)));
        value /= 100;
    }
    if (value != 0)
        throw std::out_of_range("number does not fit " + std::to_string(count) + " BCD bytes");
    return out;
}

std::int64_t fromBcdLe(std::string_view bytes)
{
    if (bytes.empty())
        return -1;
    std::int64_t value = 0;
    for (auto it = bytes.rbegin(); it != bytes.rend(); ++it) {
        int pair = fromBcd(static_cast<std::uint8_t>(*it));
        if (pair < 0)
            return -1;
        value = value * 100 + pair;
    }
    return value;
}

std::string frequencyBroadcast(std::uint8_t radio, std::uint64_t hz)
{
    return Frame{kBroadcastAddress, radio, 0x00, toBcdLe(hz, 5)}.bytes();
}

std::string modeBroadcast(std::uint8_t radio, std::uint8_t mode, std::uint8_t filter)
{
    std::string data;
    data += static_cast<char>(mode);
    data += static_cast<char>(filter);
    return Frame{kBroadcastAddress, radio, 0x01, data}.bytes();
}

} // namespace memvane::sim
