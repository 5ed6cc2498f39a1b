// The number texts the forms show and the reading of what the user types into them.
#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>

#include "FieldReading.h"
#include "FormatSevenDigits.h"

namespace {

TEST(FormatSevenDigits, TheReferenceTable) {
    EXPECT_EQ(FormatSevenDigits(1), "1.");
    EXPECT_EQ(FormatSevenDigits(0), "0.");
    EXPECT_EQ(FormatSevenDigits(0.5), "0.5");
    EXPECT_EQ(FormatSevenDigits(1.0f / 3.0f), "0.3333333");
    EXPECT_EQ(FormatSevenDigits(0.1f), "0.1");
    EXPECT_EQ(FormatSevenDigits(3.14), "3.14");
    EXPECT_EQ(FormatSevenDigits(200), "200.");
    EXPECT_EQ(FormatSevenDigits(0.05), "5.e-002");
    EXPECT_EQ(FormatSevenDigits(1234567), "1234567");
    EXPECT_EQ(FormatSevenDigits(10000000), "1.e+007");
}

TEST(FormatSevenDigits, NegativeValuesAndSignedZero) {
    EXPECT_EQ(FormatSevenDigits(-1), "-1.");
    EXPECT_EQ(FormatSevenDigits(-0.05), "-5.e-002");
    EXPECT_EQ(FormatSevenDigits(-3.14), "-3.14");
    EXPECT_EQ(FormatSevenDigits(-0.0), "0.");
}

TEST(FormatSevenDigits, ExponentIsTakenBeforeRounding) {
    // 9999999.6 starts at 10^6, so it stays in fixed form even though it rounds to 10^7.
    EXPECT_EQ(FormatSevenDigits(9999999.6), "10000000");
    // 0.0999999996 starts at 10^-2: exponent form, and the rounding carries into the mantissa.
    EXPECT_EQ(FormatSevenDigits(0.0999999996), "1.e-001");
    EXPECT_EQ(FormatSevenDigits(0.1), "0.1");
    EXPECT_EQ(FormatSevenDigits(0.99999999), "1.");
    // 999999.96 starts at 10^5: one decimal, which rounds away and leaves the point.
    EXPECT_EQ(FormatSevenDigits(999999.96), "1000000.");
}

TEST(FormatSevenDigits, FixedAndExponentForms) {
    EXPECT_EQ(FormatSevenDigits(0.123456789), "0.1234568");
    EXPECT_EQ(FormatSevenDigits(12.5), "12.5");
    EXPECT_EQ(FormatSevenDigits(123456.75), "123456.8");
    EXPECT_EQ(FormatSevenDigits(70.0f), "70.");
    EXPECT_EQ(FormatSevenDigits(1.6), "1.6");
    EXPECT_EQ(FormatSevenDigits(0.25f), "0.25");
    EXPECT_EQ(FormatSevenDigits(0.001234567), "1.234567e-003");
    EXPECT_EQ(FormatSevenDigits(12345678), "1.234568e+007");
    EXPECT_EQ(FormatSevenDigits(1e-5), "1.e-005");
    EXPECT_EQ(FormatSevenDigits(2.5e200), "2.5e+200");
    EXPECT_EQ(FormatSevenDigits(1e-300), "1.e-300");
}

TEST(FormatSevenDigits, IgnoresTheProcessLocale) {
    // Qt adopts the environment's locale; a decimal comma must never reach a caption.
    const char* german = std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(FormatSevenDigits(3.14), "3.14");
    EXPECT_EQ(FormatFloatField(0.25f), "0.25");
    EXPECT_EQ(ParseNumberField("0.5"), 0.5);
    if (german)
        std::setlocale(LC_ALL, "C");
}

TEST(FieldTexts, FloatsWithSixDigitsDoublesWithFifteen) {
    EXPECT_EQ(FormatFloatField(0.5f), "0.5");
    EXPECT_EQ(FormatFloatField(2.0f), "2");
    EXPECT_EQ(FormatFloatField(10.0f), "10");
    EXPECT_EQ(FormatFloatField(1.0f / 3.0f), "0.333333");
    EXPECT_EQ(FormatFloatField(0.1f), "0.1");
    EXPECT_EQ(FormatFloatField(1234567.0f), "1.23457e+06");
    EXPECT_EQ(FormatFloatField(0.0f), "0");
    EXPECT_EQ(FormatDoubleField(3.14), "3.14");
    EXPECT_EQ(FormatDoubleField(3.113646), "3.113646");
    EXPECT_EQ(FormatDoubleField(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FormatDoubleField(1e20), "1e+20");
}

TEST(ParseNumberField, ZeroCountsOnlyWhenWrittenWithALeadingZero) {
    EXPECT_EQ(ParseNumberField("0"), 0.0);
    EXPECT_EQ(ParseNumberField("0.0"), 0.0);
    EXPECT_EQ(ParseNumberField("  0e5"), 0.0);
    EXPECT_FALSE(ParseNumberField(".0"));
    EXPECT_FALSE(ParseNumberField("-0"));
    EXPECT_FALSE(ParseNumberField("+0"));
    EXPECT_FALSE(ParseNumberField(" .000"));
}

TEST(ParseNumberField, AcceptsDecimalNumbersBetweenBlanksAndTabs) {
    EXPECT_EQ(ParseNumberField("0.5"), 0.5);
    EXPECT_EQ(ParseNumberField(".5"), 0.5);
    EXPECT_EQ(ParseNumberField(" 3 "), 3.0);
    EXPECT_EQ(ParseNumberField("\t3\t "), 3.0);
    EXPECT_EQ(ParseNumberField("-2.5"), -2.5);
    EXPECT_EQ(ParseNumberField("+2.5"), 2.5);
    EXPECT_EQ(ParseNumberField("5."), 5.0);
    EXPECT_EQ(ParseNumberField("1e3"), 1000.0);
    EXPECT_EQ(ParseNumberField("1.5E-2"), 0.015);
    EXPECT_EQ(ParseNumberField("-.5e+1"), -5.0);
}

TEST(ParseNumberField, RefusesEverythingElse) {
    for (const char* text : {"", "   ", "\t", "3x", "x3", "3 4", "1e", "1e+", ".", "-", "+",
                             "1,5", "0x10", "inf", "nan", "-infinity", "1.2.3", "--1", "3\n",
                             "\n3", "1e400", "-1e400", "1e-400"})
        EXPECT_FALSE(ParseNumberField(text)) << '"' << text << '"';
}

TEST(ParseNumberField, ReadsOnlyTheFirst31Characters) {
    // 40 digits: only the first 31 are read.
    const std::string forty = "1234567890123456789012345678901234567890";
    ASSERT_EQ(forty.size(), 40u);
    EXPECT_EQ(ParseNumberField(forty), 1234567890123456789012345678901.0);
    // Whatever stands behind character 31 is never looked at...
    EXPECT_EQ(ParseNumberField("2" + std::string(30, ' ') + "junk"), 2.0);
    // ...and a number cut at character 31 is read as cut.
    EXPECT_EQ(ParseNumberField(std::string(29, ' ') + "1.5"), 1.0);
    EXPECT_FALSE(ParseNumberField(std::string(31, ' ') + "1"));
    EXPECT_FALSE(ParseNumberField(std::string(29, ' ') + "1e5"));
}

TEST(ParseFloatField, RefusesValuesBeyondAFloat) {
    EXPECT_EQ(ParseFloatField("0.05"), 0.05f);
    EXPECT_EQ(ParseFloatField("3.4e38"), 3.4e38f);
    EXPECT_FALSE(ParseFloatField("1e39"));
    EXPECT_FALSE(ParseFloatField("-1e39"));
    EXPECT_FALSE(ParseFloatField("-0"));
    EXPECT_EQ(ParseFloatField("0"), 0.0f);
}

TEST(ParseIntegerField, DecimalIntegersWithTheSameRules) {
    EXPECT_EQ(ParseIntegerField("1"), 1);
    EXPECT_EQ(ParseIntegerField(" 200 "), 200);
    EXPECT_EQ(ParseIntegerField("\t-3"), -3);
    EXPECT_EQ(ParseIntegerField("+7"), 7);
    EXPECT_EQ(ParseIntegerField("0"), 0);
    EXPECT_EQ(ParseIntegerField("007"), 7);
    EXPECT_EQ(ParseIntegerField("2147483647"), std::numeric_limits<int>::max());
    EXPECT_EQ(ParseIntegerField("-2147483648"), std::numeric_limits<int>::min());
    for (const char* text : {"", " ", "-0", "+0", "2a", "a2", "1.5", "1e2", "2 3", "-", "0x1",
                             "2147483648", "-2147483649", "99999999999999999999"})
        EXPECT_FALSE(ParseIntegerField(text)) << '"' << text << '"';
    EXPECT_FALSE(ParseIntegerField(std::string(40, '1')));
    EXPECT_EQ(ParseIntegerField("5" + std::string(30, ' ') + "5"), 5);
}

}  // namespace
