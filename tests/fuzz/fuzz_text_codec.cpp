// The byte-string / QString boundary of the windows on arbitrary bytes: every row text, comment
// and file name the program shows passes through it. Invariants:
//   - decoding and encoding back with the encoding the decode chose gives the same bytes, so an
//     unchanged text in a widget keeps its bytes exactly;
//   - the UTF-8 check agrees with Qt's own decoder, and what it refuses is decoded as
//     Windows-1252, one character per byte.

#include "app/TextCodec.h"
#include "tests/fuzz/FuzzSupport.h"

#include <QStringDecoder>

using namespace memvane;
using namespace memvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(asText(data, size));
    context() = hexOf(bytes);
    TextEncoding used{};
    const QString text = decodeText(bytes, &used);
    FUZZ_CHECK(encodeText(text, used) == bytes);

    QStringDecoder qtUtf8(QStringDecoder::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                    QStringConverter::Flag::Stateless);
    QString qtText = qtUtf8(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    FUZZ_CHECK(isValidUtf8(bytes) == !qtUtf8.hasError());
    if (isValidUtf8(bytes)) {
        FUZZ_CHECK(used == TextEncoding::Utf8 && text == qtText);
    } else {
        FUZZ_CHECK(used == TextEncoding::Windows1252);
        FUZZ_CHECK(text.size() == qsizetype(bytes.size()));
    }

    // Typed text in either preference comes out as bytes that decode to the same text.
    for (TextEncoding preferred : {TextEncoding::Utf8, TextEncoding::Windows1252}) {
        const std::string encoded = encodeText(text, preferred);
        FUZZ_CHECK(decodeText(encoded) == text);
    }
    return 0;
}
