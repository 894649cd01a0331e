// The text-to-number conversions every parser above relies on, on arbitrary text: the locale-free
// StrToFloat / StrToInt, the frequency codec, the location and mode/filter/split codes of a
// write, and the settings-file texts. Invariants:
//   - a refusal is EConvertError with the exact text ("'%s' is not a valid ... value") or, for
//     the codes, their range message ("... it must lie from 0 to 99"); nothing else escapes;
//   - what is accepted is finite and in range, and prints and reads back to itself;
//   - the decoders never fail.

#include "channels/ChannelTexts.h"
#include "civ/Codec.h"
#include "core/Errors.h"
#include "core/Numbers.h"
#include "core/ProgramState.h"
#include "serial/CPortTypes.h"
#include "serial/ComSettingsText.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cmath>
#include <fuzzer/FuzzedDataProvider.h>

using namespace memvane;
using namespace memvane::fuzz;

namespace {

bool startsWith(const std::string& s, const std::string& prefix)
{
    return s.rfind(prefix, 0) == 0;
}

void floats(const std::string& text)
{
    double v = 0;
    bool ok = TryStrToFloat(text, v);
    try {
        double w = StrToFloat(text);
        FUZZ_CHECK(ok && (w == v || (std::isnan(w) && std::isnan(v))));
    } catch (const EConvertError& e) {
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(e.what() == asMessage("'" + text + "' is not a valid floating point value"));
        return;
    }
    FUZZ_CHECK(std::isfinite(v));
    for (auto [intDigits, decimals] : {std::pair{4, 6}, std::pair{2, 4}, std::pair{0, 0}}) {
        const std::string shown = FormatFixed(v, intDigits, decimals);
        double back = 0;
        FUZZ_CHECK(TryStrToFloat(shown, back));
        FUZZ_CHECK(std::fabs(back - v) <=
                   0.5 * std::pow(10.0, -decimals) * (1 + 1e-9) + std::fabs(v) * 1e-15);
        FUZZ_CHECK(FormatFixed(back, intDigits, decimals) == shown);
        const size_t dot = shown.find('.');
        FUZZ_CHECK(decimals == 0 ? dot == std::string::npos
                                 : shown.size() - dot - 1 == static_cast<size_t>(decimals));
    }

    try {
        const std::string bytes = encodeFrequency(text);
        FUZZ_CHECK(bytes.size() == 5);
        FUZZ_CHECK(decodeFrequency(toHexText(bytes)) == FormatFreq(v));
    } catch (const EConvertError& e) {
        FUZZ_CHECK(std::string(e.what()).find("is not a frequency the radio can store") !=
                   std::string::npos);
        const std::string shown = FormatFreq(v);
        FUZZ_CHECK(shown.size() != 11 || shown[0] == '-');
    }
}

void integers(const std::string& text)
{
    int v = 0;
    bool ok = TryStrToInt(text, v);
    try {
        FUZZ_CHECK(StrToInt(text) == v && ok);
        FUZZ_CHECK(StrToInt(std::to_string(v)) == v);
        FUZZ_CHECK(settings::TextToInt(settings::IntToText(v), v ^ 1) == v);
    } catch (const EConvertError& e) {
        FUZZ_CHECK(!ok);
        FUZZ_CHECK(e.what() == asMessage("'" + text + "' is not a valid integer value"));
    }
    const int fallback = 12345;
    int got = settings::TextToInt(text, fallback);
    (void)got;
}

void codes(const std::string& text)
{
    ProgramState state;
    state.fillNameTables();
    try {
        int n = locationNumber(text);
        FUZZ_CHECK(n >= 0 && n <= 199);
        FUZZ_CHECK(selectMemoryBody(n).size() == 3);
    } catch (const EConvertError& e) {
        std::string m = e.what();
        context() = m;
        FUZZ_CHECK(m.find("is not a valid integer value") != std::string::npos ||
                   m.find("is not a memory location the radio can select") != std::string::npos ||
                   text.find('\0') != std::string::npos);
    }
    for (auto code : {modeCode, filterCode, splitCode}) {
        try {
            uint8_t b = code(state, text);
            FUZZ_CHECK(decimalReading(hexByte(b)).has_value());
        } catch (const EConvertError& e) {
            std::string m = e.what();
            FUZZ_CHECK(startsWith(m, "'"));
            FUZZ_CHECK(m.find("is not a valid integer value") != std::string::npos ||
                       m.find("code: it must lie from 0 to 99") != std::string::npos ||
                       text.find('\0') != std::string::npos);
        }
    }
}

void settingsTexts(const std::string& text)
{
    using namespace settings;
    const TComChar c = TextToChar(text);
    FUZZ_CHECK(TextToChar(CharToText(c)) == c);
    FUZZ_CHECK(TextToBool(BoolToText(TextToBool(text))) == TextToBool(text));
    FUZZ_CHECK(StrToBaudRate(BaudRateToStr(StrToBaudRate(text))) == StrToBaudRate(text));
    FUZZ_CHECK(StrToStopBits(StopBitsToStr(StrToStopBits(text))) == StrToStopBits(text));
    FUZZ_CHECK(StrToDataBits(DataBitsToStr(StrToDataBits(text))) == StrToDataBits(text));
    FUZZ_CHECK(StrToParity(ParityToStr(StrToParity(text))) == StrToParity(text));
    FUZZ_CHECK(StrToDTR(DTRToStr(StrToDTR(text))) == StrToDTR(text));
    FUZZ_CHECK(StrToRTS(RTSToStr(StrToRTS(text))) == StrToRTS(text));
    FUZZ_CHECK(StrToFlowControl(FlowControlToStr(StrToFlowControl(text))) ==
               StrToFlowControl(text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(asText(data, size));
    floats(text);
    integers(text);
    codes(text);
    settingsTexts(text);

    // The decoders take any reply text.
    (void)decodeFrequency(text);
    (void)decodeOffset(text);
    (void)decimalReading(text.substr(0, 2));
    const std::string trimmed = Trim(text);
    FUZZ_CHECK(trimmed.empty() || (static_cast<unsigned char>(trimmed.front()) > ' ' &&
                                   static_cast<unsigned char>(trimmed.back()) > ' '));
    return 0;
}
