#pragma once
// How the port's values are written as settings texts and read back. Reading never fails: a
// text that does not convert gives the fallback (integers), False (Booleans) or the rules
// below (characters). Enumerations use the StrToXxx functions of CPortTypes.h.

#include "serial/CPortTypes.h"

#include <string>

namespace memvane::settings {

// Decimal with "-" for negative values.
std::string IntToText(int value);
// Decimal (an optional sign and digits, nothing else); a text of more than two characters
// starting "0x"/"0X" is hexadecimal. No other prefix ("$") makes a number.
int TextToInt(const std::string& text, int fallback);

// "Yes" / "No"; read as True exactly when the text is "YES" in any letter case.
std::string BoolToText(bool value);
bool TextToBool(const std::string& text);

// 33..127 as the character itself, anything else "#" and its decimal value ("#0", "#17").
// Read: "" is 0; "#" plus more is the number after "#" read as TextToInt reads it (low 8 bits)
// or 0 when that is not a number; any other text is its first byte.
std::string CharToText(TComChar value);
TComChar TextToChar(const std::string& text);

} // namespace memvane::settings
