#pragma once
// Pure conversions between bytes, hex text, BCD and the frequency texts of the channel list.
//
// Hex text: every byte as two upper-case hex digits, no separators (FE FE E0 58 FB is
// "FEFEE058FB"). Replies are searched as text, so nothing here assumes byte alignment.
//
// BCD byte: 0..99 travels as the byte whose two hex digits are the decimal digits (42 -> 42H);
// the way back reads the two hex digits as a decimal number, which fails for A..F.
//
// Frequency: five BCD bytes, least significant pair first, the high digit of each byte the more
// significant one. 145.5 MHz travels as 00 00 50 45 01:
//
//     byte      1      2      3       4      5
//     hex      00     00     50      45     01
//     digits  10Hz   1kHz  100kHz  10MHz   1GHz
//              1Hz  100Hz   10kHz   1MHz  100MHz      -> "0145.500000"
//
// so hex text h1..h10 reads as h9h10 h7h8 "." h5h6 h3h4 h1h2. A duplex offset is three such
// bytes and reads h5h6 "." h3h4 h1h2 ("006000" -> bytes 00 60 00 -> "00.6000" MHz).
//
// The decoders take whatever text the radio gave and never fail: missing characters are simply
// missing (an empty reply decodes to "."), as the rest of the program expects.

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace memvane {

std::string toHexText(std::string_view bytes);
std::string hexByte(uint8_t byte);

// Bytes from a list of values: bytesOf({0x08, 0x00, 0x42}).
std::string bytesOf(std::initializer_list<uint8_t> values);

// Up to `count` characters starting at 1-based position `pos`; fewer (or none) past the end.
std::string copyText(std::string_view text, size_t pos, size_t count);

// 0..99 -> BCD byte. Out of range is a programming error (std::out_of_range): callers check.
bool fitsBcd(int number);
uint8_t bcdByte(int number);
// Two hex digits that are both decimal digits -> their decimal value; anything else nothing.
std::optional<int> decimalReading(std::string_view hexPair);

// Reply data -> "0000.000000" / "00.0000" texts (see above).
std::string decodeFrequency(std::string_view hex);
std::string decodeOffset(std::string_view hex);

// Frequency text of the channel list (MHz, full stop) -> the five frequency bytes. Throws
// EConvertError for a text that is no number or a frequency the five bytes cannot hold
// (negative, or 10000 MHz and above after rounding to 1 Hz).
std::string encodeFrequency(const std::string& mhzText);

} // namespace memvane
