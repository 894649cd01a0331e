#include "civ/Codec.h"

#include "core/Errors.h"
#include "core/Numbers.h"

#include <stdexcept>

namespace memvane {

namespace {
constexpr char HexDigits[] = "0123456789ABCDEF";

bool isDecimal(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

std::string hexByte(uint8_t byte)
{
    return {HexDigits[byte >> 4], HexDigits[byte & 0x0F]};
}

std::string toHexText(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes)
        text += hexByte(static_cast<uint8_t>(c));
    return text;
}

std::string bytesOf(std::initializer_list<uint8_t> values)
{
    std::string bytes;
    for (uint8_t v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

std::string copyText(std::string_view text, size_t pos, size_t count)
{
    if (pos < 1 || pos > text.size())
        return {};
    return std::string(text.substr(pos - 1, count));
}

bool fitsBcd(int number)
{
    return number >= 0 && number <= 99;
}

uint8_t bcdByte(int number)
{
    if (!fitsBcd(number))
        throw std::out_of_range("BCD byte out of range: " + std::to_string(number));
    return static_cast<uint8_t>((number / 10) << 4 | (number % 10));
}

std::optional<int> decimalReading(std::string_view hexPair)
{
    if (hexPair.size() != 2 || !isDecimal(hexPair[0]) || !isDecimal(hexPair[1]))
        return std::nullopt;
    return (hexPair[0] - '0') * 10 + (hexPair[1] - '0');
}

std::string decodeFrequency(std::string_view hex)
{
    return copyText(hex, 9, 2) + copyText(hex, 7, 2) + "." + copyText(hex, 5, 2) +
           copyText(hex, 3, 2) + copyText(hex, 1, 2);
}

std::string decodeOffset(std::string_view hex)
{
    return copyText(hex, 5, 2) + "." + copyText(hex, 3, 2) + copyText(hex, 1, 2);
}

std::string encodeFrequency(const std::string& mhzText)
{
    double mhz = StrToFloat(mhzText);
    // "0000.000000" has room for 0 .. 9999.999999 MHz; anything else would need a sixth byte
    // or a sign, and the digit pairs below would no longer be decimal digits.
    std::string text = FormatFreq(mhz);
    bool fits = text.size() == 11 && text[4] == '.';
    for (size_t i = 0; fits && i < text.size(); ++i)
        fits = i == 4 || isDecimal(text[i]);
    if (!fits)
        throw EConvertError("'" + mhzText +
                            "' is not a frequency the radio can store: it must lie from 0 to "
                            "9999.999999 MHz");
    auto pair = [&](size_t pos) {
        return static_cast<uint8_t>((text[pos - 1] - '0') << 4 | (text[pos] - '0'));
    };
    return bytesOf({pair(10), pair(8), pair(6), pair(3), pair(1)});
}

} // namespace memvane
