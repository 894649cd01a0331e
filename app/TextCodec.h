#pragma once
// Byte strings meet Qt's QString only here, at the widget boundary. A text is decoded as UTF-8
// when it is valid UTF-8, otherwise as Windows-1252 (the single-byte code page the channel files
// and "names.txt" were written in). Widgets that hold program texts remember which of the two
// decoded them, so a text that goes back into the program (the edit panel's fields, the file-name
// box) is encoded the same way and unchanged texts keep their bytes exactly.

#include "core/TextBytes.h"

#include <QString>

#include <string>

class QLineEdit;
class QComboBox;

namespace memvane {

enum class TextEncoding { Utf8, Windows1252 };

// UTF-8 when valid, else Windows-1252; `used` receives the choice.
QString decodeText(const std::string& bytes, TextEncoding* used = nullptr);

// Windows-1252 when asked for and every character has a byte there, UTF-8 otherwise.
std::string encodeText(const QString& text, TextEncoding preferred = TextEncoding::Utf8);

// Line edits that carry program texts: set from bytes, read back as bytes.
void setWidgetText(QLineEdit* edit, const std::string& bytes);
std::string widgetText(const QLineEdit* edit);

} // namespace memvane
