#include "core/Numbers.h"

#include "core/Errors.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace memvane {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string_view stripBlanks(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

bool TryStrToFloat(std::string_view text, double& value)
{
    std::string_view s = stripBlanks(text);
    // Validate the shape ourselves: from_chars alone would take "inf", "nan" and hex floats.
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        size_t expDigits = 0;
        while (j < s.size() && isDigit(s[j])) {
            ++j;
            ++expDigits;
        }
        if (expDigits == 0)
            return false;
        i = j;
    }
    if (i != s.size())
        return false;
    std::string_view number = s;
    if (!number.empty() && number.front() == '+')
        number.remove_prefix(1);
    double v = 0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), v);
    if (ec != std::errc() || ptr != number.data() + number.size() || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

double StrToFloat(std::string_view text)
{
    double v = 0;
    if (!TryStrToFloat(text, v))
        throw EConvertError("'" + std::string(text) + "' is not a valid floating point value");
    return v;
}

bool TryStrToInt(std::string_view text, int& value)
{
    std::string_view s = text;
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    int base = 10;
    if (!s.empty() && s.front() == '$') {
        base = 16;
        s.remove_prefix(1);
    } else if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        base = 16;
        s.remove_prefix(2);
    }
    if (s.empty())
        return false;
    unsigned long long magnitude = 0;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), magnitude, base);
    if (ec != std::errc() || ptr != s.data() + s.size())
        return false;
    long long v = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    // Hexadecimal texts may spell a negative 32-bit pattern ("$FFFFFFFF" is -1).
    if (base == 16 && !negative && magnitude <= 0xFFFFFFFFULL)
        v = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    if (magnitude > 0xFFFFFFFFULL || v < std::numeric_limits<int>::min() ||
        v > std::numeric_limits<int>::max())
        return false;
    value = static_cast<int>(v);
    return true;
}

int StrToInt(std::string_view text)
{
    int v = 0;
    if (!TryStrToInt(text, v))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return v;
}

std::string FormatFixed(double value, int intDigits, int decimals)
{
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    std::string s(buf);
    bool negative = !s.empty() && s.front() == '-';
    if (negative)
        s.erase(0, 1);
    size_t dot = s.find('.');
    size_t intLen = dot == std::string::npos ? s.size() : dot;
    if (intLen < static_cast<size_t>(intDigits))
        s.insert(0, static_cast<size_t>(intDigits) - intLen, '0');
    // A value that rounds to zero prints without its sign, as "-0000.000000" would be odd.
    if (negative && s.find_first_not_of("0.") != std::string::npos)
        s.insert(0, 1, '-');
    return s;
}

std::string Trim(std::string_view text)
{
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= ' ')
        --e;
    return std::string(text.substr(b, e - b));
}

} // namespace memvane
