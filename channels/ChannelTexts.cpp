#include "channels/ChannelTexts.h"

#include "civ/CivConstants.h"
#include "civ/Codec.h"
#include "core/Errors.h"
#include "core/Numbers.h"
#include "core/TextBytes.h"

#include <array>
#include <optional>

namespace memvane {

namespace {

struct SpecialLocation
{
    const char* name;
    const char* number;
};
constexpr std::array<SpecialLocation, 8> SpecialLocations{{{"1A", "100"},
                                                           {"1B", "101"},
                                                           {"2A", "102"},
                                                           {"2B", "103"},
                                                           {"3A", "104"},
                                                           {"3B", "105"},
                                                           {"C1", "106"},
                                                           {"C2", "107"}}};

template <size_t N>
std::optional<int> findIndex(const std::array<std::string, N>& table, const std::string& text,
                             int first, bool lastMatch)
{
    std::optional<int> found;
    if (text.empty())
        return found;
    for (int i = first; i < static_cast<int>(N); ++i) {
        const std::string& entry = table[static_cast<size_t>(i)];
        if (!entry.empty() && entry.find(text) != std::string::npos) {
            found = i;
            if (!lastMatch)
                break;
        }
    }
    return found;
}

uint8_t codeByte(int number, const std::string& what, const std::string& text)
{
    if (!fitsBcd(number))
        throw EConvertError("'" + text + "' is not a valid " + what +
                            " code: it must lie from 0 to 99");
    return bcdByte(number);
}

uint8_t numberCode(const std::string& text, const char* what)
{
    return codeByte(StrToInt(text), what, text);
}

} // namespace

std::string locationLabel(int memory)
{
    return "Mem " + std::to_string(memory);
}

std::string specialLocationName(int memory)
{
    if (memory < 100 || memory > 107)
        return {};
    return SpecialLocations[static_cast<size_t>(memory - 100)].name;
}

std::string locationText(const std::string& label)
{
    size_t blank = label.find(' ');
    std::string text = blank == std::string::npos ? label : label.substr(blank + 1);
    for (const auto& special : SpecialLocations) {
        if (SameText(text, special.name))
            return special.number;
    }
    return text;
}

int locationNumber(const std::string& label)
{
    std::string text = locationText(label);
    int n = StrToInt(text);
    if (n < 0 || n > 199)
        throw EConvertError("'" + text +
                            "' is not a memory location the radio can select: it must lie "
                            "from 0 to 199");
    return n;
}

std::string selectMemoryBody(int memory)
{
    return bytesOf({civ::SelectMemory, bcdByte(memory / 100), bcdByte(memory % 100)});
}

std::string splitDuplexText(const std::string& rxText, const std::string& txText, double f)
{
    if (rxText == txText)
        return "Duplex Off";
    if (f >= 50 && f <= 52)
        return "Duplex +";
    if (f >= 144 && f <= 146)
        return "Duplex --";
    if (f >= 430 && f <= 444)
        return "Duplex +";
    // Below 30 MHz, 70..70.5 MHz, and every frequency outside the repeater bands: the two
    // VFOs simply differ.
    return "Split On";
}

uint8_t modeCode(const ProgramState& state, const std::string& text)
{
    if (auto index = findIndex(state.modenames, text, 0, false))
        return bcdByte(*index);
    return numberCode(text, "mode");
}

uint8_t filterCode(const ProgramState& state, const std::string& text)
{
    if (auto index = findIndex(state.filternames, text, 1, false))
        return bcdByte(*index);
    return numberCode(text, "filter");
}

uint8_t splitCode(const ProgramState& state, const std::string& text)
{
    if (auto index = findIndex(state.splitnames, text, 0, true))
        return bcdByte(*index);
    throw EConvertError("'' is not a valid integer value");
}

} // namespace memvane
