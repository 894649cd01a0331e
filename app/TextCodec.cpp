#include "app/TextCodec.h"

#include <QLineEdit>
#include <QStringDecoder>
#include <QVariant>

namespace memvane {

namespace {

constexpr const char* kEncodingProperty = "memvaneEncoding";

bool toWindows1252(const QString& text, std::string& out)
{
    out.clear();
    out.reserve(static_cast<size_t>(text.size()));
    for (QChar qc : text) {
        char16_t c = qc.unicode();
        if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        bool found = false;
        for (unsigned char b = 0x80; b < 0xA0; ++b) {
            if (windows1252Char(b) == c) {
                out.push_back(static_cast<char>(b));
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

} // namespace

QString decodeText(const std::string& bytes, TextEncoding* used)
{
    if (isValidUtf8(bytes)) {
        if (used)
            *used = TextEncoding::Utf8;
        // QString::fromUtf8 would drop a leading byte-order mark, and the text would lose
        // those three bytes on its way back out of a widget.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom);
        return utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    if (used)
        *used = TextEncoding::Windows1252;
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        out.append(QChar(static_cast<char16_t>(windows1252Char(c))));
    }
    return out;
}

std::string encodeText(const QString& text, TextEncoding preferred)
{
    if (preferred == TextEncoding::Windows1252) {
        std::string out;
        // A text that decodes as valid UTF-8 would be read back as UTF-8, not as the bytes
        // written here, so such a text is written as UTF-8 to begin with.
        if (toWindows1252(text, out) && !isValidUtf8(out))
            return out;
    }
    QByteArray utf8 = text.toUtf8();
    return std::string(utf8.constData(), static_cast<size_t>(utf8.size()));
}

void setWidgetText(QLineEdit* edit, const std::string& bytes)
{
    TextEncoding used;
    QString text = decodeText(bytes, &used);
    edit->setProperty(kEncodingProperty, static_cast<int>(used));
    edit->setText(text);
}

std::string widgetText(const QLineEdit* edit)
{
    QVariant v = edit->property(kEncodingProperty);
    TextEncoding preferred =
        v.isValid() ? static_cast<TextEncoding>(v.toInt()) : TextEncoding::Utf8;
    return encodeText(edit->text(), preferred);
}

} // namespace memvane
