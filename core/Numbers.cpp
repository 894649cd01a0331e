#include "core/Numbers.h"

#include "core/Errors.h"

#include <charconv>
#include <cmath>
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

bool TryDecimalToInt(std::string_view text, int& value)
{
    std::string_view digits = text;
    bool negative = false;
    if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    unsigned long long magnitude = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    (void)ptr;
    long long v = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
    if (ec != std::errc() || magnitude > 0x80000000ULL || v < std::numeric_limits<int>::min() ||
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

namespace {

// Adds one to a string of decimal digits.
void increment(std::string& digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// |value| times 10^decimals rounded to a whole number by the program's rule, as decimal digits:
// at least decimals + 1 of them, so the last `decimals` are the fraction. `value` is finite.
std::string roundedDigits(double value, int decimals)
{
    // The shortest text that reads back as the same double: "1.455000005e+02".
    char buf[48];
    auto [end, ec] =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific);
    (void)ec; // 48 bytes hold any double
    std::string_view text(buf, static_cast<size_t>(end - buf));
    size_t e = text.find('e');
    std::string mantissa;
    for (char c : text.substr(0, e)) {
        if (c != '.')
            mantissa += c;
    }
    std::string_view exponentText = text.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+')
        exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);

    // Mantissa digit i weighs 10^(exponent - i); the wanted unit is 10^-decimals.
    long long keep = static_cast<long long>(exponent) + 1 + decimals;
    std::string digits;
    if (keep <= 0) {
        digits = keep == 0 && mantissa[0] >= '5' ? "1" : "0";
    } else if (static_cast<size_t>(keep) >= mantissa.size()) {
        digits = mantissa + std::string(static_cast<size_t>(keep) - mantissa.size(), '0');
    } else {
        digits = mantissa.substr(0, static_cast<size_t>(keep));
        // The shortest text ends where the double's precision does: a 5 there is a tie.
        if (mantissa[static_cast<size_t>(keep)] >= '5')
            increment(digits);
    }
    if (digits.size() < static_cast<size_t>(decimals) + 1)
        digits.insert(0, static_cast<size_t>(decimals) + 1 - digits.size(), '0');
    return digits;
}

bool isZero(std::string_view digits)
{
    return digits.find_first_not_of('0') == std::string_view::npos;
}

} // namespace

double RoundScaled(double value, int decimals)
{
    if (!std::isfinite(value))
        return value;
    std::string digits = roundedDigits(value, decimals);
    double units = 0;
    auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), units);
    (void)ptr;
    if (ec == std::errc::result_out_of_range)
        units = std::numeric_limits<double>::infinity();
    return std::signbit(value) ? -units : units;
}

std::string FormatFixed(double value, int intDigits, int decimals)
{
    if (!std::isfinite(value))
        return std::isnan(value) ? "nan" : value < 0 ? "-inf" : "inf";
    std::string digits = roundedDigits(value, decimals);
    std::string s = digits.substr(0, digits.size() - static_cast<size_t>(decimals));
    if (s.size() < static_cast<size_t>(intDigits))
        s.insert(0, static_cast<size_t>(intDigits) - s.size(), '0');
    if (decimals > 0)
        s += '.' + digits.substr(digits.size() - static_cast<size_t>(decimals));
    // A value that rounds to zero prints without its sign, as "-0000.000000" would be odd.
    if (std::signbit(value) && !isZero(digits))
        s.insert(0, 1, '-');
    return s;
}

std::string FormatInt(long long value, int minDigits)
{
    char buf[24];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value);
    (void)ec;
    std::string s(buf, end);
    size_t digits = s.size() - (value < 0 ? 1 : 0);
    if (digits < static_cast<size_t>(minDigits))
        s.insert(value < 0 ? 1 : 0, static_cast<size_t>(minDigits) - digits, '0');
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
