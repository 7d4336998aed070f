#include "geo/converter.h"

#include <gtest/gtest.h>

using namespace orvalis;

TEST(ConverterOpening, SplitsDegreesAndMinutes)
{
    ConverterOpening o = OpenConverterTexts(1, "48,85310", u',');
    EXPECT_EQ(o.caption, QStringLiteral("Latitude"));
    EXPECT_EQ(o.items, (QStringList{"N", "S"}));
    EXPECT_EQ(o.selected, 0);
    EXPECT_EQ(o.degrees, QStringLiteral("48"));
    EXPECT_EQ(o.minutes, QStringLiteral("51,186000"));

    o = OpenConverterTexts(2, "-4,49448", u',');
    EXPECT_EQ(o.caption, QStringLiteral("Longitude"));
    EXPECT_EQ(o.items, (QStringList{"E", "W"}));
    EXPECT_EQ(o.selected, 1);
    EXPECT_EQ(o.degrees, QStringLiteral("4"));
    EXPECT_EQ(o.minutes, QStringLiteral("29,668800"));
}

TEST(ConverterOpening, EdgeCells)
{
    ConverterOpening o = OpenConverterTexts(1, "0,5", u',');
    EXPECT_EQ(o.degrees, QStringLiteral("0"));
    EXPECT_EQ(o.minutes, QStringLiteral("30,000000"));
    o = OpenConverterTexts(1, "48", u',');
    EXPECT_EQ(o.degrees, QStringLiteral("48"));
    EXPECT_EQ(o.minutes, QString());
    // The other separator does not read as a number: minutes stay empty.
    o = OpenConverterTexts(1, "48.5", u',');
    EXPECT_EQ(o.degrees, QStringLiteral("48"));
    EXPECT_EQ(o.minutes, QString());
    o = OpenConverterTexts(1, "48.5", u'.');
    EXPECT_EQ(o.minutes, QStringLiteral("30.000000"));
    o = OpenConverterTexts(2, "", u',');
    EXPECT_EQ(o.degrees, QString());
    EXPECT_EQ(o.selected, 0);
}

TEST(ConverterResult, ComposesDegreesAndFiveDecimals)
{
    EXPECT_EQ(ConverterResultText("48", "30", true, u','), QStringLiteral("-48,50000"));
    EXPECT_EQ(ConverterResultText("48", "30", true, u'.'), QStringLiteral("-48.50000"));
    EXPECT_EQ(ConverterResultText("2", "20.958", false, u','), QStringLiteral("2,34930"));
    EXPECT_EQ(ConverterResultText("", "30", false, u','), QStringLiteral("0,50000"));
    EXPECT_EQ(ConverterResultText("48", "", false, u','), QStringLiteral("48,00000"));
    EXPECT_EQ(ConverterResultText("4", "29,6688", true, u','), QStringLiteral("-4,49448"));
    EXPECT_EQ(ConverterResultText("", "", true, u','), QString());
}

TEST(ConverterResult, EntriesOutsideTheNormalRangeAreComputed)
{
    // 75 minutes are more than a degree: 48 + 1.25.
    EXPECT_EQ(ConverterResultText("48", "75", false, u','), QStringLiteral("49,25000"));
    // 59.9999 minutes are 0.9999983 degree, which five decimals round to 1.
    EXPECT_EQ(ConverterResultText("48", "59,9999", false, u','), QStringLiteral("49,00000"));
    EXPECT_EQ(ConverterResultText("48", "-30", false, u','), QStringLiteral("47,50000"));
    EXPECT_EQ(ConverterResultText("-48", "30", false, u','), QStringLiteral("-48,50000"));
    // A typed minus and the S/W hemisphere both say south/west: they never cancel out.
    EXPECT_EQ(ConverterResultText("-48", "30", true, u','), QStringLiteral("-48,50000"));
    EXPECT_EQ(ConverterResultText("-0", "30", false, u'.'), QStringLiteral("-0.50000"));
    EXPECT_EQ(ConverterResultText("48,5", "30", false, u','), QStringLiteral("49,00000"));
    EXPECT_EQ(ConverterResultText("48", "60", true, u'.'), QStringLiteral("-49.00000"));
}
