#pragma once
// The two encodings program texts come in. Texts are bytes; a text is UTF-8 when it is valid
// UTF-8, otherwise Windows-1252 (the single-byte code page older channel files and "names.txt"
// were written in). The widgets decode them this way (app/TextCodec); files that must be UTF-8
// (a CHIRP CSV export) convert with asUtf8.

#include <string>
#include <string_view>

namespace memvane {

bool isValidUtf8(std::string_view bytes);

// The character a Windows-1252 byte stands for. The five bytes the code page leaves undefined
// map to the C1 control of the same value, so every byte survives a round trip.
char32_t windows1252Char(unsigned char byte);

// Letter case of ASCII letters only, whatever the locale says (Qt adopts the user's locale at
// start-up, so the C library's case functions are out): names in files and protocols. Every
// other byte, a UTF-8 or Windows-1252 letter too, stays itself.
inline char UpCase(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
// Equal but for the case of ASCII letters.
bool SameText(std::string_view a, std::string_view b);
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);

// `bytes` unchanged when they are valid UTF-8, else read as Windows-1252 and written as UTF-8.
std::string asUtf8(std::string_view bytes);

} // namespace memvane
