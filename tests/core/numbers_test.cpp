#include "core/Errors.h"
#include "core/Numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace memvane;

TEST(Numbers, FloatTextsTheProgramReads)
{
    struct Case { const char* text; double value; };
    for (auto [text, value] : {Case{"145.5", 145.5}, Case{" 0145.500000 ", 145.5},
                               Case{"-5", -5.0}, Case{".5", 0.5}, Case{"7.", 7.0},
                               Case{"1e3", 1000.0}, Case{"+2.25", 2.25}}) {
        EXPECT_DOUBLE_EQ(StrToFloat(text), value) << text;
    }
}

TEST(Numbers, FloatTextsThatAreNotNumbersNameThemselves)
{
    for (const char* text : {"", " ", ".", "1,5", "inf", "nan", "0x10", "1e", "--1", "1 2"}) {
        try {
            StrToFloat(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.message(), std::string("'") + text + "' is not a valid floating point value");
        }
    }
}

TEST(Numbers, IntegerTextsDecimalAndHex)
{
    EXPECT_EQ(StrToInt("42"), 42);
    EXPECT_EQ(StrToInt(" 07"), 7);
    EXPECT_EQ(StrToInt("$58"), 0x58);
    EXPECT_EQ(StrToInt("0x4E"), 0x4E);
    EXPECT_EQ(StrToInt("-1"), -1);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    for (const char* text : {"", "0A", "5 ", "$", "4294967296", "1.0"}) {
        int v;
        EXPECT_FALSE(TryStrToInt(text, v)) << text;
    }
    EXPECT_THROW(StrToInt("0A"), EConvertError);
}

TEST(Numbers, FixedPatterns)
{
    EXPECT_EQ(FormatFreq(145.5), "0145.500000");
    EXPECT_EQ(FormatFreq(7.1), "0007.100000");
    EXPECT_EQ(FormatFreq(1296.0000004), "1296.000000");
    EXPECT_EQ(FormatFreq(14.0000005000001), "0014.000001");
    EXPECT_EQ(FormatFixed(0.6, 2, 4), "00.6000");
    EXPECT_EQ(FormatFreq(-5), "-0005.000000");
    EXPECT_EQ(FormatFreq(12345.5), "12345.500000");
}

TEST(Numbers, TrimDropsBlanksAndControls)
{
    EXPECT_EQ(Trim(" \ttrue\r\n"), "true");
    EXPECT_EQ(Trim("a b"), "a b");
    EXPECT_EQ(Trim("\x01\x1f"), "");
}

TEST(Numbers, OneRoundingRuleHalfAwayFromZeroOnTheDecimalText)
{
    // Ties as typed, whichever side of them the binary value falls on.
    EXPECT_EQ(FormatFreq(145.5000005), "0145.500001");
    EXPECT_EQ(FormatFreq(1.0000075), "0001.000008");
    EXPECT_EQ(FormatFreq(144.0000015), "0144.000002");
    EXPECT_EQ(FormatFreq(-0.0000005), "-0000.000001");
    EXPECT_EQ(FormatFixed(9.99995, 2, 4), "10.0000");
    EXPECT_EQ(RoundScaled(145.5000005, 6), 145500001.0);
    EXPECT_EQ(RoundScaled(-2.5, 0), -3.0);
    EXPECT_TRUE(std::isinf(RoundScaled(1e303, 6)));
}

TEST(Numbers, PlainDecimalIntegers)
{
    int v = 0;
    EXPECT_TRUE(TryDecimalToInt("-2147483648", v) && v == -2147483647 - 1);
    EXPECT_TRUE(TryDecimalToInt("+7", v) && v == 7);
    for (const char* text : {"", "-", "+-1", "$10", "0x10", " 1", "2147483648"})
        EXPECT_FALSE(TryDecimalToInt(text, v)) << text;
}

// Qt adopts the user's locale at start-up; a comma-decimal one must change no text.
TEST(Numbers, CommaDecimalLocaleChangesNothing)
{
    std::string previous = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8"))
        GTEST_SKIP() << "locale de_DE.UTF-8 is not generated (localedef -i de_DE -f UTF-8 "
                        "de_DE.UTF-8; scripts/test does this)";
    struct Restore
    {
        std::string locale;
        ~Restore() { std::setlocale(LC_ALL, locale.c_str()); }
    } restore{previous};
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    EXPECT_EQ(FormatFreq(145.5), "0145.500000");
    EXPECT_EQ(FormatFixed(0.6, 2, 4), "00.6000");
    EXPECT_EQ(StrToFloat("145.5"), 145.5);
    double v = 0;
    EXPECT_FALSE(TryStrToFloat("145,5", v));
}
