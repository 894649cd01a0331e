#pragma once
// Number <-> text conversions that never look at the locale: a full stop is always the decimal
// separator. The error texts are the ones the user sees in a message box.

#include <string>
#include <string_view>

namespace memvane {

// Decimal number with optional sign, fraction and exponent; blanks around it are allowed.
// Throws EConvertError "'<text>' is not a valid floating point value".
double StrToFloat(std::string_view text);
bool TryStrToFloat(std::string_view text, double& value);

// Decimal, or hexadecimal with a "$" or "0x" prefix; leading blanks allowed; 32-bit range.
// Throws EConvertError "'<text>' is not a valid integer value".
int StrToInt(std::string_view text);
bool TryStrToInt(std::string_view text, int& value);

// Fixed-point formatting for the patterns the program uses: at least `intDigits` integer digits
// (leading zeros), exactly `decimals` decimals, rounded. FormatFixed(145.5, 4, 6) = "0145.500000".
std::string FormatFixed(double value, int intDigits, int decimals);

// "0000.000000": frequency text in MHz.
inline std::string FormatFreq(double mhz) { return FormatFixed(mhz, 4, 6); }

// Removes leading and trailing blanks and control characters (bytes <= 0x20).
std::string Trim(std::string_view text);

} // namespace memvane
