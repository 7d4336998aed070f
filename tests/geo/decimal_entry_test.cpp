#include "geo/decimal_entry.h"

#include <gtest/gtest.h>

using namespace orvalis;

TEST(ReadDecimal, LocaleSeparatorOnly)
{
    EXPECT_FLOAT_EQ(ReadDecimal("48,8531", u','), 48.8531f);
    EXPECT_EQ(ReadDecimal("48.8531", u','), 0.0f);
    EXPECT_FLOAT_EQ(ReadDecimal("48.8531", u'.'), 48.8531f);
    EXPECT_EQ(ReadDecimal("48,8531", u'.'), 0.0f);
    EXPECT_FLOAT_EQ(ReadDecimal("-4,49448", u','), -4.49448f);
    EXPECT_FLOAT_EQ(ReadDecimal("+5", u','), 5.0f);
}

TEST(ReadDecimal, BlanksExponentAndOddForms)
{
    EXPECT_FLOAT_EQ(ReadDecimal("  12,5  ", u','), 12.5f);
    EXPECT_FLOAT_EQ(ReadDecimal("1,5E3", u','), 1500.0f);
    EXPECT_FLOAT_EQ(ReadDecimal("25e-1", u','), 2.5f);
    EXPECT_FLOAT_EQ(ReadDecimal(",5", u','), 0.5f);
    EXPECT_FLOAT_EQ(ReadDecimal("5,", u','), 5.0f);
}

TEST(ReadDecimal, AnythingElseIsZero)
{
    for (const char *text : {"", " ", "abc", "1 000", "1.000,5", "12,5,3", "1e", "1e+", "--1", "+", ",", "12 km", "0x10",
                             "1e999", "١٢"})
        EXPECT_EQ(ReadDecimal(QString::fromUtf8(text), u','), 0.0f) << text;
    EXPECT_EQ(ReadDecimal("1,000.5", u'.'), 0.0f);  // thousands separators are not accepted
}

TEST(ReadDecimal, RoundsToFloat)
{
    EXPECT_EQ(ReadDecimal("0,1", u','), 0.1f);
    EXPECT_EQ(ReadDecimal("48,85661", u','), 48.85661f);
}

TEST(ReadWholeNumber, DigitsOnly)
{
    EXPECT_EQ(ReadWholeNumber("736", 0), 736);
    EXPECT_EQ(ReadWholeNumber("  -5", 0), -5);
    EXPECT_EQ(ReadWholeNumber("736,5", 0), 0);
    EXPECT_EQ(ReadWholeNumber("736.5", 0), 0);
    EXPECT_EQ(ReadWholeNumber("", 100), 100);
    EXPECT_EQ(ReadWholeNumber("99999999999", 100), 100);
    EXPECT_EQ(ReadWholeNumber("-2147483648", 0), -2147483647 - 1);
}

TEST(PointDecimal, CommasBecomePeriods)
{
    EXPECT_EQ(PointDecimal("-4,49448"), QStringLiteral("-4.49448"));
    EXPECT_EQ(PointDecimal("48.1"), QStringLiteral("48.1"));
    EXPECT_EQ(ToLocaleSeparator("48.5", u','), QStringLiteral("48,5"));
    EXPECT_EQ(ToLocaleSeparator("48,5", u'.'), QStringLiteral("48.5"));
}
