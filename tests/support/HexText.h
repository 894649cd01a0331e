#pragma once
// Bytes from hex text, for readable tests: fromHex("FEFEE058FBFD"). The way back is civ/Codec's
// toHexText. A mistyped text fails the test loudly rather than sending a byte fewer.

#include <stdexcept>
#include <string>
#include <string_view>

namespace memvane::test {

inline std::string fromHex(std::string_view hex)
{
    auto digit = [hex](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        throw std::invalid_argument("fromHex: '" + std::string(hex) + "' holds '" +
                                    std::string(1, c) + "', which is no hex digit");
    };
    if (hex.size() % 2 != 0)
        throw std::invalid_argument("fromHex: '" + std::string(hex) +
                                    "' has an odd number of digits");
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2)
        out += static_cast<char>(digit(hex[i]) << 4 | digit(hex[i + 1]));
    return out;
}

} // namespace memvane::test
