#pragma once
// Bytes from hex text, for readable tests: fromHex("FEFEE058FBFD"). The way back is civ/Codec's
// toHexText. A mistyped text fails the test loudly rather than sending a byte fewer.

#include <charconv>
#include <stdexcept>
#include <string>
#include <string_view>

namespace memvane::test {

inline std::string fromHex(std::string_view hex)
{
    if (hex.size() % 2 != 0)
        throw std::invalid_argument("fromHex: '" + std::string(hex) +
                                    "' has an odd number of digits");
    std::string out;
    for (size_t i = 0; i < hex.size(); i += 2) {
        unsigned byte = 0;
        const char* pair = hex.data() + i;
        auto [end, error] = std::from_chars(pair, pair + 2, byte, 16);
        if (error != std::errc() || end != pair + 2)
            throw std::invalid_argument("fromHex: '" + std::string(hex) + "' holds '" +
                                        std::string(pair, 2) + "', which is no hex byte");
        out += static_cast<char>(byte);
    }
    return out;
}

} // namespace memvane::test
