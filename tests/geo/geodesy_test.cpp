#include "geo/geodesy.h"

#include <cmath>
#include <QRandomGenerator>
#include <cstring>
#include <gtest/gtest.h>

using namespace orvalis;

TEST(Conversions, UseTheDecimalPiConstant)
{
    EXPECT_NEAR(static_cast<double>(DegToRad(180.0L)), 3.14159265359, 1e-15);
    EXPECT_NE(static_cast<double>(DegToRad(180.0L)), M_PI);
    EXPECT_NEAR(static_cast<double>(RadToDeg(1.0L)), 57.29577951307854, 1e-12);
    EXPECT_NE(static_cast<double>(RadToDeg(1.0L)), 180.0 / M_PI);
}

TEST(SphericalDistance, WorkedExamples)
{
    EXPECT_EQ(SphericalDistance(48.8531f, 2.34912f, 48.3781f, -4.49448f), 506242);
    EXPECT_EQ(SphericalDistance(48.3781f, -4.49448f, 48.8531f, 2.34912f), 506242);
    // The crossing example's route lengths and distances.
    EXPECT_EQ(SphericalDistance(48, -1, 48, 1), 148970);
    EXPECT_EQ(SphericalDistance(47, 0, 49, 1), 234763);
    EXPECT_EQ(SphericalDistance(48, -1, 48, 0.5f), 111729);
    EXPECT_EQ(SphericalDistance(48, 1, 48, 0.5f), 37243);
    EXPECT_EQ(SphericalDistance(47, 0, 48, 0.5f), 117498);
    EXPECT_EQ(SphericalDistance(49, 1, 48, 0.5f), 117269);
}

TEST(SphericalDistance, IdenticalPointsGiveZeroNeverNaN)
{
    for (float lat : {0.0f, 48.8531f, -33.8688f, 89.9999f, 90.0f, -90.0f})
        for (float lon : {0.0f, 2.34912f, -179.9f, 180.0f})
            EXPECT_EQ(SphericalDistance(lat, lon, lat, lon), 0) << lat << "," << lon;
    EXPECT_EQ(InitialBearing(48.8531f, 2.34912f, 48.8531f, 2.34912f), 0.0f);
}

TEST(SphericalDistance, AntipodesAndExtremesStayFinite)
{
    EXPECT_EQ(SphericalDistance(0, 0, 0, 180), static_cast<int32_t>(3.14159265359L * 6378138.0L));
    EXPECT_GT(SphericalDistance(90, 0, -90, 0), 20000000);
    EXPECT_GE(SphericalDistance(1e30f, 1e30f, -1e30f, 5), 0);
}

TEST(InitialBearing, WorkedExampleAndRange)
{
    EXPECT_EQ(FormatBearing(InitialBearing(48.8531f, 2.34912f, 48.3781f, -4.49448f), u'.'), QStringLiteral("266.58"));
    EXPECT_EQ(FormatBearing(InitialBearing(48.8531f, 2.34912f, 48.3781f, -4.49448f), u','), QStringLiteral("266,58"));
    const float back = InitialBearing(48.3781f, -4.49448f, 48.8531f, 2.34912f);
    EXPECT_GT(back, 80.0f);
    EXPECT_LT(back, 90.0f);  // not exactly 180 degrees apart
    EXPECT_FLOAT_EQ(InitialBearing(0, 0, 1, 0), 0.0f);
    EXPECT_NEAR(InitialBearing(0, 0, -1, 0), 180.0f, 1e-4);
    EXPECT_NEAR(InitialBearing(0, 0, 0, -1), 270.0f, 1e-4);
}

TEST(DestinationPoint, WorkedExamples)
{
    LatLon d = DestinationPoint(48.7175f, 1.970333f, 300.5f, 736.5f);
    EXPECT_EQ(FormatCoordinate(d.lat, u'.'), QStringLiteral("48.720860"));
    EXPECT_EQ(FormatCoordinate(d.lon, u'.'), QStringLiteral("1.961692"));
    EXPECT_EQ(FormatCoordinate(d.lat, u','), QStringLiteral("48,720860"));

    d = DestinationPoint(48.7175f, 1.970333f, 300.5f, 0);
    EXPECT_EQ(FormatCoordinate(d.lat, u'.'), QStringLiteral("48.717500"));

    // A negative distance goes the opposite way.
    d = DestinationPoint(48.7175f, 1.970333f, 300.5f, -736.5f);
    EXPECT_EQ(FormatCoordinate(d.lat, u'.'), QStringLiteral("48.714140"));
    EXPECT_EQ(FormatCoordinate(d.lon, u'.'), QStringLiteral("1.978973"));
    const LatLon opposite = DestinationPoint(48.7175f, 1.970333f, 120.5f, 736.5f);
    EXPECT_EQ(FormatCoordinate(opposite.lat, u'.'), QStringLiteral("48.714140"));
    EXPECT_EQ(FormatCoordinate(opposite.lon, u'.'), QStringLiteral("1.978973"));

    // Bearings outside 0..360 are used as they are.
    for (float bearing : {660.5f, -59.5f}) {
        d = DestinationPoint(48.7175f, 1.970333f, bearing, 736.5f);
        EXPECT_EQ(FormatCoordinate(d.lat, u'.'), QStringLiteral("48.720860")) << bearing;
        EXPECT_EQ(FormatCoordinate(d.lon, u'.'), QStringLiteral("1.961692")) << bearing;
    }

    // Longitudes are not brought back into -180..180.
    d = DestinationPoint(0, 179.9f, 90, 100000);
    EXPECT_EQ(FormatCoordinate(d.lon, u'.'), QStringLiteral("180.798300"));
}

TEST(RouteCrossing, WorkedExample)
{
    const Crossing c = RouteCrossing({48, -1}, {48, 1}, {47, 0}, {49, 1});
    ASSERT_EQ(c.status, Crossing::Status::Crossing);
    EXPECT_EQ(c.m1, 0.0f);
    EXPECT_EQ(c.m2, 2.0f);
    EXPECT_EQ(FormatCoordinate(c.lat, u'.'), QStringLiteral("48.000000"));
    EXPECT_EQ(FormatCoordinate(c.lon, u'.'), QStringLiteral("0.500000"));
}

TEST(RouteCrossing, ParallelAndMeridianRoutes)
{
    EXPECT_EQ(RouteCrossing({0, 0}, {1, 1}, {0, 1}, {1, 2}).status, Crossing::Status::Parallel);
    EXPECT_EQ(RouteCrossing({0, 5}, {1, 5}, {0, 1}, {1, 2}).status, Crossing::Status::DivisionByZero);
    EXPECT_EQ(RouteCrossing({0, 1}, {1, 2}, {3, 4}, {3, 4}).status, Crossing::Status::InvalidOperation);
    EXPECT_EQ(CrossingErrorText(Crossing::Status::DivisionByZero), QStringLiteral("Division par zéro en virgule flottante."));
    EXPECT_EQ(CrossingErrorText(Crossing::Status::InvalidOperation), QStringLiteral("Opération en virgule flottante incorrecte."));
}

TEST(RouteCrossing, CrossingBeyondTheSegments)
{
    const Crossing c = RouteCrossing({0, 0}, {1, 1}, {10, 0}, {9, 1});
    ASSERT_EQ(c.status, Crossing::Status::Crossing);
    EXPECT_FLOAT_EQ(c.lon, 5.0f);
    EXPECT_FLOAT_EQ(c.lat, 5.0f);
}

TEST(FormatDistance, MetresAndKilometres)
{
    EXPECT_EQ(FormatDistance(742), QStringLiteral("742 m"));
    EXPECT_EQ(FormatDistance(999), QStringLiteral("999 m"));
    EXPECT_EQ(FormatDistance(-5), QStringLiteral("-5 m"));
    EXPECT_EQ(FormatDistance(1000), QStringLiteral("1 km  et  0 m"));
    EXPECT_EQ(FormatDistance(1005), QStringLiteral("1 km  et  5 m"));
    EXPECT_EQ(FormatDistance(2000), QStringLiteral("2 km  et  0 m"));
    EXPECT_EQ(FormatDistance(506242), QStringLiteral("506 km  et  242 m"));
}

TEST(FormatNumbers, FixedNotationRounding)
{
    EXPECT_EQ(FormatCoordinate(48.7208557f, u'.'), QStringLiteral("48.720860"));
    EXPECT_EQ(FormatCoordinate(1.96169209f, u'.'), QStringLiteral("1.961692"));
    EXPECT_EQ(FormatCoordinate(-122.419426f, u'.'), QStringLiteral("-122.419400"));
    EXPECT_EQ(FormatCoordinate(0.0f, u','), QStringLiteral("0,000000"));
    EXPECT_EQ(FormatBearing(266.582458f, u'.'), QStringLiteral("266.58"));
    EXPECT_EQ(FormatBearing(359.999f, u'.'), QStringLiteral("360.00"));
    // Half away from zero on the exact decimal value.
    EXPECT_EQ(FormatFixed(0.125L, 7, 2, u'.'), QStringLiteral("0.13"));
    EXPECT_EQ(FormatFixed(-0.125L, 7, 2, u'.'), QStringLiteral("-0.13"));
    EXPECT_EQ(FormatFixed(99.9999996L, 7, 5, u'.'), QStringLiteral("100.00000"));
    EXPECT_EQ(FormatFixed(0.000001L, 7, 5, u'.'), QStringLiteral("0.00000"));
}

TEST(FormatNumbers, GeneralNotation)
{
    EXPECT_EQ(FormatGeneral(48.8532f, 15, u'.'), QStringLiteral("48.853199005127"));
    EXPECT_EQ(FormatGeneral(2.5L, 15, u','), QStringLiteral("2,5"));
    EXPECT_EQ(FormatGeneral(-3.0L, 15, u'.'), QStringLiteral("-3"));
    EXPECT_EQ(FormatGeneral(0.0L, 15, u'.'), QStringLiteral("0"));
    EXPECT_EQ(FormatGeneral(0.00001L, 15, u'.'), QStringLiteral("0.00001"));
    EXPECT_EQ(FormatGeneral(0.000001L, 15, u'.'), QStringLiteral("1E-6"));
}

TEST(ZoomForDistance, TableBounds)
{
    EXPECT_EQ(ZoomForDistance(0), QStringLiteral("18"));
    EXPECT_EQ(ZoomForDistance(49), QStringLiteral("18"));
    EXPECT_EQ(ZoomForDistance(50), QStringLiteral("17"));
    EXPECT_EQ(ZoomForDistance(736), QStringLiteral("14"));
    EXPECT_EQ(ZoomForDistance(234763), QStringLiteral("6"));
    EXPECT_EQ(ZoomForDistance(506242), QStringLiteral("5"));
    EXPECT_EQ(ZoomForDistance(649999), QStringLiteral("5"));
    EXPECT_EQ(ZoomForDistance(650000), QStringLiteral("4"));
    EXPECT_EQ(ZoomForDistance(5199999), QStringLiteral("2"));
    EXPECT_EQ(ZoomForDistance(5200000), QStringLiteral("1"));
    EXPECT_EQ(ZoomForDistance(-1), QStringLiteral("11"));
}

TEST(BaseMeasures, SameValuesAsTheSingleCalls)
{
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<float>(seed % 3600000) / 10000.0f - 180.0f;
    };
    for (int base = 0; base < 20; ++base) {
        const float bLat = next() / 2, bLon = next();
        const BaseMeasures m(bLat, bLon);
        for (int i = 0; i < 5000; ++i) {
            const float lat = next() / 2, lon = next();
            ASSERT_EQ(m.distanceTo(lat, lon), SphericalDistance(lat, lon, bLat, bLon));
            ASSERT_EQ(m.bearingTo(lat, lon), InitialBearing(bLat, bLon, lat, lon));
        }
        EXPECT_EQ(m.distanceTo(bLat, bLon), 0);
    }
}

TEST(BaseMeasures, BothAtOnceGiveTheSameBitsAsEachAlone)
{
    QRandomGenerator rng(3);
    for (int i = 0; i < 20000; ++i) {
        const float baseLat = static_cast<float>(rng.bounded(-90.0)) + 45.0f, baseLon = static_cast<float>(rng.bounded(360.0)) - 180.0f;
        const BaseMeasures base(baseLat, baseLon);
        const bool same = i % 100 == 0;
        const float lat = same ? baseLat : static_cast<float>(rng.bounded(180.0)) - 90.0f;
        const float lon = same ? baseLon : (i % 7 == 0 ? baseLon : static_cast<float>(rng.bounded(360.0)) - 180.0f);
        const BaseMeasures::Both both = base.measure(lat, lon);
        ASSERT_EQ(both.distance, base.distanceTo(lat, lon)) << i;
        const float alone = base.bearingTo(lat, lon);
        ASSERT_EQ(std::memcmp(&both.bearing, &alone, sizeof(float)), 0) << i;
    }
}
