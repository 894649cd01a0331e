#pragma once
// Windows only: the program's byte strings meet the system's wide-character calls here. File
// names and the system's own texts are UTF-8 in the program and UTF-16 in the system.

#include "core/Errors.h"

#include <string>

namespace memvane::win32 {

// UTF-8 -> UTF-16. Bytes that are not UTF-8 (a name typed in a single-byte code page) are
// taken in the system's ANSI code page instead, so every name reaches the system as meant.
std::wstring toWide(const std::string& text);

// UTF-16 -> UTF-8.
std::string fromWide(const std::wstring& text);
std::string fromWide(const wchar_t* text);

// The system's sentence for an error code (FormatMessageW), without the closing full stop and
// line break; "error N" when the system has none.
std::string systemErrorText(unsigned long error);

// The file errors the program shows: "File not found", "File access denied", "I/O error N".
EInOutError fileError(unsigned long error);

} // namespace memvane::win32
