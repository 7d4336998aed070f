// The POIs near a point as records stream by, against every distance measured.
#include "geo/geodesy.h"
#include "table/near_point.h"

#include <QRandomGenerator>
#include <algorithm>
#include <gtest/gtest.h>

using namespace orvalis;

TEST(NearPoint, EveryPointWithinTheLimitNearestFirstThenInFileOrder)
{
    // A random world, a tenth near the poles and a tenth at the antimeridian;
    // every seventh point where the one before it is.
    QRandomGenerator rng(17);
    std::vector<LatLon> points;
    for (int i = 0; i < 4000; ++i) {
        float lat = static_cast<float>(rng.generateDouble() * 180 - 90), lon = static_cast<float>(rng.generateDouble() * 360 - 180);
        if (i % 10 == 0)
            lat = static_cast<float>((i % 20 == 0 ? 1 : -1) * (89 + rng.generateDouble()));
        if (i % 10 == 1)
            lon = static_cast<float>((i % 20 == 1 ? 1 : -1) * (179 + rng.generateDouble()));
        points.push_back(i % 7 == 3 ? points.back() : LatLon{lat, lon});
    }
    for (const LatLon base : {LatLon{48.85f, 2.35f}, LatLon{89.99f, -179.99f}, LatLon{-90, 180}, points[300]}) {
        for (const double km : {0.0, 1.0, 300.0, 2000.0, 12000.0, 20100.0}) {
            std::vector<std::pair<int32_t, int>> expected;
            for (int i = 0; i < int(points.size()); ++i) {
                const int32_t d = SphericalDistance(base.lat, base.lon, points[size_t(i)].lat, points[size_t(i)].lon);
                if (d <= km * 1000)
                    expected.push_back({d, i});
            }
            std::stable_sort(expected.begin(), expected.end(), [](auto a, auto b) { return a.first < b.first; });
            // Few found at a time in memory: the order comes through runs in the temporary file, merged.
            NearPoint near(base.lat, base.lon, static_cast<long double>(km) * 1000, 7);
            for (int i = 0; i < int(points.size()); ++i)
                if (near.wanted(points[size_t(i)].lat, points[size_t(i)].lon))
                    near.keep(1000 + i);
            std::vector<NearPoint::Found> found;
            ASSERT_TRUE(near.eachNearestFirst([&](const NearPoint::Found &f) { found.push_back(f); }));
            ASSERT_EQ(found.size(), expected.size()) << base.lat << " " << base.lon << " " << km;
            for (size_t k = 0; k < found.size(); ++k) {
                const int i = expected[k].second;
                EXPECT_EQ(found[k].at, 1000 + i) << km << " at " << k;
                EXPECT_EQ(found[k].number, i + 1);
                EXPECT_EQ(found[k].metres, expected[k].first);
                EXPECT_EQ(found[k].bearing, InitialBearing(base.lat, base.lon, points[size_t(i)].lat, points[size_t(i)].lon));
            }
        }
    }
}
