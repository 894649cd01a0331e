#pragma once
// Number <-> text conversions that never look at the locale: a full stop is always the decimal
// separator. Qt adopts the user's locale at start-up, so nothing in the program may use the C
// library's formatting or parsing functions for data (letter case: core/TextBytes.h). The error
// texts are the ones the user sees in a message box.

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

// Nothing but an optional sign and decimal digits, in the 32-bit range.
bool TryDecimalToInt(std::string_view text, int& value);

// The one rounding rule for numbers the program shows, stores or sends: the value is taken as
// its shortest decimal text that reads back as the same double (for a typed text of up to 15
// digits, exactly what was typed) and rounded half away from zero. So 145.5000005 MHz is
// 145.500001 MHz however its binary form happens to fall.
//
// `value` times 10^decimals, rounded to a whole number by that rule (MHz to Hz with 6).
// Infinite when the result lies beyond the range of a double.
double RoundScaled(double value, int decimals);

// Fixed-point formatting for the patterns the program uses: at least `intDigits` integer digits
// (leading zeros), exactly `decimals` decimals, rounded by the rule above.
// FormatFixed(145.5, 4, 6) = "0145.500000".
std::string FormatFixed(double value, int intDigits, int decimals);

// Decimal digits of `value`, at least `minDigits` of them: FormatInt(7, 2) = "07".
std::string FormatInt(long long value, int minDigits = 1);

// "0000.000000": frequency text in MHz.
inline std::string FormatFreq(double mhz) { return FormatFixed(mhz, 4, 6); }

// Removes leading and trailing blanks and control characters (bytes <= 0x20).
std::string Trim(std::string_view text);

} // namespace memvane
