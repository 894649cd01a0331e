#include "civ/Codec.h"
#include "civ/Frame.h"
#include "core/Errors.h"
#include "tests/support/HexText.h"

#include <gtest/gtest.h>

using namespace memvane;

TEST(HexText, EveryByteIsTwoUpperCaseDigits)
{
    EXPECT_EQ(toHexText(bytesOf({0xFE, 0xFE, 0xE0, 0x58, 0xFB})), "FEFEE058FB");
    EXPECT_EQ(toHexText(std::string("\x00\x0a\x7f\x80", 4)), "000A7F80");
    EXPECT_EQ(toHexText(""), "");
}

TEST(HexText, TestBytesFromHexRefuseAMistypedText)
{
    EXPECT_EQ(test::fromHex("FEfe00"), std::string("\xFE\xFE\x00", 3));
    EXPECT_EQ(toHexText(test::fromHex("0123456789ABCDEF")), "0123456789ABCDEF");
    EXPECT_THROW(test::fromHex("FEF"), std::invalid_argument);
    EXPECT_THROW(test::fromHex("FG"), std::invalid_argument);
}

TEST(Bcd, DecimalDigitsBecomeHexDigitsAndBack)
{
    for (int n = 0; n <= 99; ++n) {
        uint8_t b = bcdByte(n);
        EXPECT_EQ(decimalReading(hexByte(b)), n) << n;
    }
    EXPECT_EQ(bcdByte(42), 0x42);
    EXPECT_EQ(bcdByte(7), 0x07);
    EXPECT_THROW(bcdByte(100), std::out_of_range);
    EXPECT_THROW(bcdByte(-1), std::out_of_range);
}

TEST(Bcd, OnlyDecimalPairsHaveAReading)
{
    EXPECT_EQ(decimalReading("12"), 12);
    EXPECT_EQ(decimalReading("1A"), std::nullopt);
    EXPECT_EQ(decimalReading("F0"), std::nullopt);
    EXPECT_EQ(decimalReading("5"), std::nullopt);
    EXPECT_EQ(decimalReading(""), std::nullopt);
    EXPECT_EQ(decimalReading("+5"), std::nullopt);
}

TEST(CopyText, ClipsLikeTheRowTextsExpect)
{
    EXPECT_EQ(copyText("Mem 12", 5, 2), "12");
    EXPECT_EQ(copyText("Mem 5", 5, 2), "5");
    EXPECT_EQ(copyText("Mem", 5, 2), "");
    EXPECT_EQ(copyText("abc", 0, 2), "");
}

struct DecodeCase
{
    const char* hex;
    const char* text;
};

TEST(FrequencyDecoding, LeastSignificantPairFirst)
{
    const DecodeCase cases[] = {
        {"0000504501", "0145.500000"},            // 145.5 MHz
        {"0000100700", "0007.100000"},            // 7.1 MHz
        {"5634120000", "0000.123456"},            // down to 1 Hz
        {"0000009612", "1296.000000"}, {"", "."}, // a failed exchange gives no data
        {"00005045", "45.500000"},                // cut short: the missing pair is missing
    };
    for (const auto& c : cases)
        EXPECT_EQ(decodeFrequency(c.hex), c.text) << c.hex;
}

TEST(OffsetDecoding, ThreeBytesInMegahertz)
{
    EXPECT_EQ(decodeOffset("006000"), "00.6000");
    EXPECT_EQ(decodeOffset("000076"), "76.0000");
    EXPECT_EQ(decodeOffset("500001"), "01.0050");
    EXPECT_EQ(decodeOffset(""), ".");
}

struct EncodeCase
{
    const char* text;
    const char* hex;
};

TEST(FrequencyEncoding, FiveBcdBytesLeastSignificantFirst)
{
    const EncodeCase cases[] = {
        {"145.5", "0000504501"},       {"7.05", "0000050700"}, {"1296", "0000009612"},
        {"0145.500000", "0000504501"}, {"0", "0000000000"},    {"9999.999999", "9999999999"},
        {"14.1950004", "0050191400"}, // rounded to 1 Hz
        {"  430.1  ", "0000103004"},  // blanks around the number are allowed
    };
    for (const auto& c : cases)
        EXPECT_EQ(toHexText(encodeFrequency(c.text)), c.hex) << c.text;
}

TEST(FrequencyEncoding, RoundTripsThroughTheDecoder)
{
    for (const char* text :
         {"0145.500000", "0007.100000", "0000.000001", "9999.999999", "0430.012345", "0050.000000"})
        EXPECT_EQ(decodeFrequency(toHexText(encodeFrequency(text))), text);
}

TEST(FrequencyEncoding, RefusesWhatFiveBytesCannotHold)
{
    try {
        encodeFrequency("10000");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "'10000' is not a frequency the radio can store: it must lie "
                               "from 0 to 9999.999999 MHz");
    }
    EXPECT_THROW(encodeFrequency("9999.9999996"), EConvertError); // rounds up to 10000
    EXPECT_THROW(encodeFrequency("-0.5"), EConvertError);
    EXPECT_THROW(encodeFrequency("1e300"), EConvertError);
    EXPECT_NO_THROW(encodeFrequency("-0.0000001")); // rounds to 0
    try {
        encodeFrequency(" ");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "' ' is not a valid floating point value");
    }
}

TEST(Frames, HeaderAddressBodyAndEndMark)
{
    EXPECT_EQ(toHexText(buildFrame(0x58, bytesOf({0x08}))), "FEFE58E008FD");
    EXPECT_EQ(toHexText(buildFrame(0x4E, bytesOf({0x08, 0x00, 0x42}))), "FEFE4EE0080042FD");
    EXPECT_EQ(toHexText(buildFrame(0x58, bytesOf({0x05, 0x00, 0x00, 0x50, 0x45, 0x01}))),
              "FEFE58E0050000504501FD");
    EXPECT_EQ(radioAddress("$58"), 0x58);
    EXPECT_EQ(radioAddress("$4E"), 0x4E);
    EXPECT_EQ(radioAddress("$48"), 0x48);
    EXPECT_THROW(radioAddress("58H"), EConvertError);
    EXPECT_EQ(expectedText("58", "FB"), "FEFEE058FB");
    EXPECT_EQ(expectedText("4E", "03"), "FEFEE04E03");
    EXPECT_EQ(expectedText("58", ""), "FEFEE058");
    EXPECT_EQ(refusedText("48"), "FEFEE048FA");
}
