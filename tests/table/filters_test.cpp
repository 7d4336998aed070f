#include "geo/geodesy.h"
#include "table/along_route.h"
#include "table/dedupe.h"
#include "support/tables.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace orvalis;
using orvalis::testing::TableOfRows;

namespace {

PoiTable RandomTable(int n, quint32 seed, double latFrom, double latTo, double lonFrom, double lonTo)
{
    QRandomGenerator rng(seed);
    QList<QStringList> rows;
    for (int i = 0; i < n; ++i) {
        const double lat = latFrom + rng.generateDouble() * (latTo - latFrom);
        const double lon = lonFrom + rng.generateDouble() * (lonTo - lonFrom);
        rows << QStringList{QString::number(lat, 'f', 4), QString::number(lon, 'f', 4), QStringLiteral("P%1").arg(rng.bounded(5))};
    }
    return TableOfRows(rows);
}

// The rows kept when every pair is compared.
std::vector<int> AllPairs(const PoiTable &t, double metres)
{
    std::vector<int> kept;
    for (int r = 1; r <= t.lastRow(); ++r) {
        const float la = t.field(r, FieldLatitude).toFloat(), lo = t.field(r, FieldLongitude).toFloat();
        bool dup = false;
        for (const int k : kept)
            dup = dup || SphericalDistance(t.field(k, FieldLatitude).toFloat(), t.field(k, FieldLongitude).toFloat(), la, lo) <= metres;
        if (!dup)
            kept.push_back(r);
    }
    return kept;
}

}  // namespace

TEST(Dedupe, SameRowsAsComparingEveryPair)
{
    // Dense clusters, near a pole, across the antimeridian.
    const struct { double la0, la1, lo0, lo1, metres; } cases[] = {
        {48.80, 48.90, 2.30, 2.40, 300}, {88.5, 89.99, -180, 180, 20000}, {-10, 10, 179.5, 180.4, 30000}, {0, 1, 0, 1, 0}};
    quint32 seed = 1;
    for (const auto &c : cases) {
        const PoiTable t = RandomTable(600, seed++, c.la0, c.la1, c.lo0, c.lo1);
        EXPECT_EQ(RowsWithoutDuplicates(t, c.metres, false, u'.'), AllPairs(t, c.metres)) << c.metres;
    }
}

TEST(Dedupe, SameNameIgnoresCaseAndAccentsOnly)
{
    const PoiTable t = TableOfRows({{"48", "2", "Église Saint-Éloi"}, {"48", "2.0001", "eglise saint-eloi"},
                                    {"48", "2.0002", "Gare"}, {"48", "2.5", "Gare"}, {"x", "y", "no coordinates"}});
    EXPECT_EQ(RowsWithoutDuplicates(t, 50, true, u'.'), (std::vector<int>{1, 3, 4, 5}));
    EXPECT_EQ(RowsWithoutDuplicates(t, 50, false, u'.'), (std::vector<int>{1, 4, 5}));
    EXPECT_TRUE(RowsWithoutDuplicates(PoiTable(), 50, false, u'.').empty());
}

TEST(AlongRoute, DistancesToSegmentsClampedToTheirEnds)
{
    // A route along the equator from 0 to 1 degree of longitude.
    const std::vector<LatLon> route = {{0, 0}, {0, 1}};
    const double degree = static_cast<double>(kEarthRadius) * static_cast<double>(kPi) / 180.0;
    const PoiTable t = TableOfRows({{"0.01", "0.5", "beside the middle"},
                                    {"0", "1.01", "past the end"},
                                    {"0.02", "0.1", "near the start"},
                                    {"0.5", "0.5", "far"}});
    const auto near = RowsAlongRoute(route, t, 0.02 * degree * 1.0001, u'.');
    ASSERT_EQ(near.size(), 3u);
    EXPECT_EQ(near[0].row, 3);  // route order
    EXPECT_EQ(near[1].row, 1);
    EXPECT_EQ(near[2].row, 2);
    EXPECT_NEAR(near[1].across, 0.01 * degree, 1.0);
    EXPECT_NEAR(near[2].across, 0.01 * degree, 1.0);  // to the end point
    EXPECT_NEAR(near[1].along, 0.5 * degree, 1.0);
}

TEST(AlongRoute, OnePointRoutesExactDistancesAndTheAntimeridian)
{
    const double degree = static_cast<double>(kEarthRadius) * static_cast<double>(kPi) / 180.0;
    const PoiTable t = TableOfRows({{"0.25", "0", "at the limit"}, {"0.2501", "0", "just past"}});
    // Exactly at D is in.
    const double d = static_cast<double>(0.25f) * degree;
    const auto one = RowsAlongRoute({{0, 0}}, t, d, u'.');
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].row, 1);
    // A route crossing the antimeridian, POIs on both sides and beyond +-180.
    const std::vector<LatLon> route = {{10, 179.5}, {10, -179.5}};
    const PoiTable sides = TableOfRows({{"10.01", "179.9", "west side"}, {"9.99", "-179.9", "east side"},
                                        {"10", "180.2", "written past 180"}, {"10", "0", "other side of the world"}});
    const auto across = RowsAlongRoute(route, sides, 5000, u'.');
    ASSERT_EQ(across.size(), 3u);
    EXPECT_EQ(across[0].row, 1);
    EXPECT_TRUE(RowsAlongRoute({}, sides, 5000, u'.').empty());
}

TEST(AlongRoute, SameRowsAsCheckingEverySegment)
{
    // A winding track of 300 points; the grid must find what a full scan finds.
    QRandomGenerator rng(7);
    std::vector<LatLon> route;
    float lat = 45, lon = 5;
    for (int i = 0; i < 300; ++i) {
        lat += static_cast<float>(rng.generateDouble() - 0.5) * 0.05f;
        lon += static_cast<float>(rng.generateDouble() - 0.3) * 0.05f;
        route.push_back({lat, lon});
    }
    const PoiTable t = RandomTable(2000, 11, 44.5, 46, 4.5, 10);
    const double limit = 3000;
    const auto fast = RowsAlongRoute(route, t, limit, u'.');
    int expected = 0;
    for (int r = 1; r <= t.lastRow(); ++r) {
        // Brute force: every segment through a one-segment route.
        bool within = false;
        for (size_t k = 0; k + 1 < route.size() && !within; ++k)
            within = !RowsAlongRoute({route[k], route[k + 1]}, TableOfRows({{t.field(r, 1), t.field(r, 2), "x"}}), limit, u'.').empty();
        expected += within;
    }
    EXPECT_EQ(static_cast<int>(fast.size()), expected);
    EXPECT_GT(expected, 10);
}
