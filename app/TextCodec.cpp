#include "app/TextCodec.h"

#include <QLineEdit>
#include <QStringDecoder>
#include <QVariant>

#include <array>

namespace memvane {

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F. The five bytes the code page leaves
// undefined map to the C1 control of the same value, so every byte survives a round trip.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80..87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88..8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90..97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98..9F
};

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
        for (size_t i = 0; i < kHighControls.size(); ++i) {
            if (kHighControls[i] == c) {
                out.push_back(static_cast<char>(0x80 + i));
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

bool isValidUtf8(const std::string& bytes)
{
    size_t i = 0;
    const size_t n = bytes.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t len;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(bytes[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

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
        if (c >= 0x80 && c < 0xA0)
            out.append(QChar(kHighControls[c - 0x80]));
        else
            out.append(QChar(static_cast<char16_t>(c)));
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
