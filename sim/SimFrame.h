#pragma once
// CI-V frames as the simulated radio sees them: a parser that takes the line's bytes in whatever
// pieces they arrive, and builders for the frames the radio sends.
//
// A frame is FE FE, receiver address, sender address, command byte, sub-command and data, FD.
// No data byte of the protocol is ever FE or FD (data is BCD), so an FE in the middle of a frame
// starts a new one, and anything outside FE FE ... FD is line noise that the parser drops.
//
// Pure code, no threads, no I/O.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace memvane::sim {

inline constexpr std::uint8_t kPreamble = 0xFE;
inline constexpr std::uint8_t kEndOfMessage = 0xFD;
inline constexpr std::uint8_t kOk = 0xFB;
inline constexpr std::uint8_t kNg = 0xFA;
inline constexpr std::uint8_t kBroadcastAddress = 0x00;
inline constexpr std::uint8_t kControllerAddress = 0xE0;

struct Frame
{
    std::uint8_t to = 0;
    std::uint8_t from = 0;
    std::uint8_t command = 0;
    std::string data; // sub-command and data bytes, without the final FD

    // The frame as it travels: FE FE to from command data FD.
    std::string bytes() const;
    bool operator==(const Frame&) const = default;
};

// Upper-case hex text without separators: "\xFE\xFE\x58" gives "FEFE58".
std::string toHex(std::string_view bytes);
// The reverse; blanks between the digit pairs are allowed ("FE FE 58" or "FEFE58").
// Throws std::invalid_argument on an odd digit count or a character that is not a hex digit.
std::string fromHex(std::string_view text);

// Collects frames from a byte stream. Keeps an unfinished frame between calls.
class FrameParser
{
public:
    // Frames longer than this are noise (a real command is at most a dozen bytes).
    static constexpr std::size_t kMaxFrameLength = 64;

    std::vector<Frame> feed(std::string_view bytes);
    // Bytes of a frame that has begun but not ended.
    std::size_t pending() const { return m_buffer.size(); }
    void reset() { m_buffer.clear(); }

private:
    std::string m_buffer; // FE FE and what follows, up to the FD
};

// Packed BCD. One byte holds two decimal digits, the high nibble the more significant:
// 42 travels as 0x42. Multi-byte numbers travel least significant pair first:
// 145.5 MHz = 145500000 Hz travels as 00 00 50 45 01.
std::uint8_t toBcd(int value); // 0..99
// -1 when either nibble is not a decimal digit.
int fromBcd(std::uint8_t byte);
// Little-endian packed BCD of `count` bytes; value must fit.
std::string toBcdLe(std::uint64_t value, int count);
// -1 when a nibble is not a decimal digit or the text is empty.
std::int64_t fromBcdLe(std::string_view bytes);

// Unsolicited transceive frames, sent to every listener (receiver address 00).
std::string frequencyBroadcast(std::uint8_t radio, std::uint64_t hz); // FE FE 00 aa 00 f1..f5 FD
std::string modeBroadcast(std::uint8_t radio, std::uint8_t mode,
                          std::uint8_t filter); // FE FE 00 aa 01 mm ff FD

} // namespace memvane::sim
