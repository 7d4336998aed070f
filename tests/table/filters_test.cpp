#include "geo/geodesy.h"
#include "table/along_route.h"
#include "table/dedupe.h"
#include "support/tables.h"

#include <QRandomGenerator>
#include <array>
#include <cmath>
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
    std::vector<LatLon> places;
    for (int r = 1; r <= t.lastRow(); ++r) {
        const float la = t.field(r, FieldLatitude).toFloat(), lo = t.field(r, FieldLongitude).toFloat();
        bool dup = false;
        for (size_t k = 0; k < places.size() && !dup; ++k)
            dup = SphericalDistance(places[k].lat, places[k].lon, la, lo) <= metres;
        if (!dup) {
            kept.push_back(r);
            places.push_back({la, lo});
        }
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

TEST(Dedupe, NeighboursNearerThePoleAreFoundAtTheFarthestLongitude)
{
    // Near a pole a neighbour at the limit can lie far in longitude, the more
    // so the nearer it is to the pole: pairs just within the limit, one of
    // them nearer the pole, at every colatitude near it and every longitude.
    const double rad = static_cast<double>(kPi) / 180, earth = static_cast<double>(kEarthRadius);
    int pairs = 0;
    for (const double metres : {1000.0, 10000.0, 100000.0}) {
        const double d = (metres - 2) / earth;
        for (double colatitude = 0.3 * metres / earth; colatitude < 12 * metres / earth; colatitude *= 1.013) {
            for (const double nearer : {0.0, 0.1, 0.25, 0.4, 0.6}) {
                const double qLat = 90 - colatitude / rad, pLat = 90 - colatitude * (1 - nearer) / rad;
                const double c = (std::cos(d) - std::sin(pLat * rad) * std::sin(qLat * rad)) / (std::cos(pLat * rad) * std::cos(qLat * rad));
                if (c < -1 || c > 1)
                    continue;
                const double dLon = std::acos(c) / rad;
                for (double qLon = -180; qLon < 180; qLon += 7.3) {
                    for (const double sign : {1.0, -1.0}) {
                        const float qa = float(sign * qLat), qo = float(qLon), pa = float(sign * pLat), po = float(qLon + dLon);
                        if (SphericalDistance(qa, qo, pa, po) > metres)
                            continue;
                        DuplicateFilter filter(metres, false);
                        ASSERT_TRUE(filter.keep(qa, qo, {}));
                        EXPECT_FALSE(filter.keep(pa, po, {})) << metres << " m: " << qa << " " << qo << " and " << pa << " " << po;
                        ++pairs;
                    }
                }
            }
        }
    }
    EXPECT_GT(pairs, 10000);
}

TEST(Dedupe, SmallLimitsHonourTheWholeMetreRule)
{
    // Pairs between M and M + 1 m apart read as M whole metres: they are duplicates.
    quint32 seed = 40;
    for (int m = 0; m <= 10; ++m) {
        QList<QStringList> rows;
        QRandomGenerator rng(seed++);
        for (int i = 0; i < 150; ++i) {
            const double lat = -89.9 + rng.generateDouble() * 179.8, lon = -180 + rng.generateDouble() * 360;
            rows << QStringList{QString::number(lat, 'f', 6), QString::number(lon, 'f', 6), "a"};
            // A neighbour a few metres away in a random direction.
            const double d = rng.generateDouble() * (m + 2) / 111195.0, a = rng.generateDouble() * 6.2832;
            rows << QStringList{QString::number(lat + d * std::cos(a), 'f', 6),
                                QString::number(lon + d * std::sin(a) / std::cos(lat * 0.0174533), 'f', 6), "a"};
        }
        const PoiTable t = TableOfRows(rows);
        EXPECT_EQ(RowsWithoutDuplicates(t, m, false, u'.'), AllPairs(t, m)) << m;
        EXPECT_EQ(RowsWithoutDuplicates(t, m, true, u'.'), AllPairs(t, m)) << m;
    }
}

TEST(Dedupe, ManyNamesAtOnePlace)
{
    // Every name its own: nothing is removed, and names differing only in case
    // or accents still meet however many others share the place.
    QList<QStringList> rows;
    for (int i = 0; i < 20000; ++i)
        rows << QStringList{"48.5", "2.5", QStringLiteral("Radar %1").arg(i)};
    rows << QStringList{"48.50001", "2.5", "radar 7"} << QStringList{"48.5", "2.50001", "RADAR 19999"};
    const PoiTable t = TableOfRows(rows);
    const std::vector<int> kept = RowsWithoutDuplicates(t, 5, true, u'.');
    EXPECT_EQ(kept.size(), 20000u);
    EXPECT_EQ(kept.back(), 20000);
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
    EXPECT_TRUE(RowsAlongRoute(std::vector<LatLon>{}, sides, 5000, u'.').empty());
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

namespace {

// Metres from p to the arc a-b sampled densely (an oracle that shares no
// formula with the program), and the sampling's own error.
double SampledDistance(LatLon a, LatLon b, LatLon p, double *error)
{
    auto vec = [](LatLon q) {
        const double la = q.lat * M_PI / 180, lo = q.lon * M_PI / 180;
        return std::array<double, 3>{std::cos(la) * std::cos(lo), std::cos(la) * std::sin(lo), std::sin(la)};
    };
    const auto va = vec(a), vb = vec(b), vp = vec(p);
    const double omega = std::acos(std::clamp(va[0] * vb[0] + va[1] * vb[1] + va[2] * vb[2], -1.0, 1.0));
    const int n = 4000;
    double best = 1e300;
    for (int i = 0; i <= n; ++i) {
        const double t = double(i) / n;
        const double sa = omega < 1e-12 ? 1 - t : std::sin((1 - t) * omega) / std::sin(omega);
        const double sb = omega < 1e-12 ? t : std::sin(t * omega) / std::sin(omega);
        const double x = sa * va[0] + sb * vb[0], y = sa * va[1] + sb * vb[1], z = sa * va[2] + sb * vb[2];
        const double c = std::clamp((x * vp[0] + y * vp[1] + z * vp[2]) / std::sqrt(x * x + y * y + z * z), -1.0, 1.0);
        best = std::min(best, std::acos(c));
    }
    const double r = static_cast<double>(kEarthRadius);
    *error = omega / n / 2 * r + 2.0;
    return best * r;
}

}  // namespace

TEST(AlongRoute, LongArcsAtHighLatitudeAgainstASampledOracle)
{
    // Long arcs bulge towards the poles far beyond their ends' latitudes.
    QRandomGenerator rng(2026);
    for (int k = 0; k < 40; ++k) {
        const float lat = static_cast<float>(30 + rng.generateDouble() * 55) * (k % 2 ? 1 : -1);
        const float lon0 = static_cast<float>(-170 + rng.generateDouble() * 60);
        const float lon1 = lon0 + static_cast<float>(100 + rng.generateDouble() * 78);
        const LatLon a{lat, lon0}, b{lat, lon1};
        QList<QStringList> rows;
        for (int i = 0; i < 60; ++i) {
            const double plat = (k % 2 ? 1 : -1) * (lat + rng.generateDouble() * (90 - lat));
            const double plon = -180 + rng.generateDouble() * 360;
            rows << QStringList{QString::number(std::fabs(plat) > 90 ? 90 : plat, 'f', 5), QString::number(plon, 'f', 5), "p"};
        }
        const PoiTable t = TableOfRows(rows);
        std::vector<double> oracle(static_cast<size_t>(t.lastRow()) + 1), error(oracle.size());
        for (int r = 1; r <= t.lastRow(); ++r)
            oracle[static_cast<size_t>(r)] = SampledDistance(a, b, {t.field(r, 1).toFloat(), t.field(r, 2).toFloat()}, &error[static_cast<size_t>(r)]);
        size_t previous = 0;
        for (const double d : {0.0, 2000.0, 10000.0, 50000.0, 200000.0, 300000.0}) {
            const auto found = RowsAlongRoute({a, b}, t, d, u'.');
            EXPECT_GE(found.size(), previous) << "results must grow with the distance";
            previous = found.size();
            std::vector<bool> in(static_cast<size_t>(t.lastRow()) + 1);
            for (const RouteOffset &o : found)
                in[static_cast<size_t>(o.row)] = true;
            for (int r = 1; r <= t.lastRow(); ++r) {
                const double o = oracle[static_cast<size_t>(r)], e = error[static_cast<size_t>(r)];
                if (o + e < d) {
                    EXPECT_TRUE(in[static_cast<size_t>(r)]) << "missed at " << o << " m, D " << d;
                }
                if (o - e > d) {
                    EXPECT_FALSE(in[static_cast<size_t>(r)]) << "kept at " << o << " m, D " << d;
                }
            }
        }
    }
    // The case that was missed: a POI 0.3 km from the arc near the pole.
    const PoiTable pole = TableOfRows({{"89.42", "0", "near the vertex"}});
    EXPECT_EQ(RowsAlongRoute({{60, -89}, {60, 89}}, pole, 10000, u'.').size(), 1u);
    EXPECT_EQ(RowsAlongRoute({{60, -89}, {60, 89}}, pole, 2000, u'.').size(), 1u);
}

TEST(AlongRoute, SeparateLinesAreNotJoined)
{
    // Two tracks; a POI on the gap between the end of one and the start of the next.
    const std::vector<std::vector<LatLon>> lines = {{{45, 0}, {45, 1}}, {{45, 3}, {45, 4}}};
    const PoiTable t = TableOfRows({{"45", "2", "in the gap"}, {"45.001", "3.5", "beside the second"}, {"45.001", "0.5", "beside the first"}});
    const auto found = RowsAlongRoute(lines, t, 1000, u'.');
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].row, 3);  // route order: the first line, then the second
    EXPECT_EQ(found[1].row, 2);
}
