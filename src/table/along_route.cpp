#include "table/along_route.h"

#include "geo/decimal_entry.h"

#include <QHash>
#include <algorithm>
#include <cmath>

namespace orvalis {

namespace {

constexpr double kRadius = static_cast<double>(kEarthRadius);
const double kDegree = static_cast<double>(kPi) / 180.0;

struct Vec {
    double x, y, z;
};
Vec ToVec(double lat, double lon)
{
    const double p = lat * kDegree, l = lon * kDegree;
    return {std::cos(p) * std::cos(l), std::cos(p) * std::sin(l), std::sin(p)};
}
double Dot(const Vec &a, const Vec &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec Cross(const Vec &a, const Vec &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double Angle(const Vec &a, const Vec &b)
{
    // atan2 of |a x b| and a.b: accurate for small and large angles alike.
    const Vec c = Cross(a, b);
    return std::atan2(std::sqrt(Dot(c, c)), Dot(a, b));
}

struct Segment {
    Vec a, b, normal;  // normal: unit, perpendicular to the great circle through a and b
    double length = 0;  // radians
    double start = 0;   // metres along the route to a
    bool point = false;
};

// Distance (radians) from p to the segment, and how far along it the nearest point is.
void Measure(const Segment &s, const Vec &p, double *across, double *along)
{
    const double toA = Angle(s.a, p);
    if (s.point) {
        *across = toA;
        *along = 0;
        return;
    }
    const double sinCross = std::clamp(Dot(p, s.normal), -1.0, 1.0);
    const double cross = std::asin(sinCross);
    // The foot of the perpendicular, and whether it lies between a and b.
    Vec foot{p.x - sinCross * s.normal.x, p.y - sinCross * s.normal.y, p.z - sinCross * s.normal.z};
    const double n = std::sqrt(Dot(foot, foot));
    if (n > 1e-15) {
        foot = {foot.x / n, foot.y / n, foot.z / n};
        const double fromA = Angle(s.a, foot), fromB = Angle(foot, s.b);
        if (fromA + fromB <= s.length + 1e-12) {
            *across = std::fabs(cross);
            *along = fromA;
            return;
        }
    }
    const double toB = Angle(s.b, p);
    *across = std::min(toA, toB);
    *along = toA <= toB ? 0 : s.length;
}

// The lowest and highest latitudes (degrees) of a segment: its ends, or a
// vertex of its great circle where that lies between them.
void LatitudeRange(const Segment &s, double *lo, double *hi)
{
    *lo = std::asin(std::clamp(std::min(s.a.z, s.b.z), -1.0, 1.0)) / kDegree;
    *hi = std::asin(std::clamp(std::max(s.a.z, s.b.z), -1.0, 1.0)) / kDegree;
    if (s.point)
        return;
    // The point of the circle nearest the north pole: the pole's direction minus its part along the normal.
    Vec v{-s.normal.z * s.normal.x, -s.normal.z * s.normal.y, 1.0 - s.normal.z * s.normal.z};
    const double n = std::sqrt(Dot(v, v));
    if (n < 1e-15)
        return;  // the equator: its ends are its extremes
    v = {v.x / n, v.y / n, v.z / n};
    const double vertex = std::asin(std::clamp(v.z, -1.0, 1.0)) / kDegree;
    const double slack = 1e-12 + s.length * 1e-12;
    if (Angle(s.a, v) + Angle(v, s.b) <= s.length + slack)
        *hi = std::max(*hi, vertex);
    const Vec w{-v.x, -v.y, -v.z};
    if (Angle(s.a, w) + Angle(w, s.b) <= s.length + slack)
        *lo = std::min(*lo, -vertex);
}

}  // namespace

struct RouteIndex::Grid {
    std::vector<Segment> segments;
    QHash<qint64, std::vector<int>> cells;
    std::vector<int> everywhere;
    double cell = 0;
    double limit = 0;
    std::vector<int> candidates;
    static qint64 key(int i, int j) { return (static_cast<qint64>(i) << 32) | static_cast<quint32>(j); }
};

RouteIndex::RouteIndex(const std::vector<std::vector<LatLon>> &lines, double withinMetres) : grid_(std::make_unique<Grid>())
{
    Grid &g = *grid_;
    // The segments, with their grid cells: boxes grown by the limit.
    const double margin = withinMetres / (kRadius * kDegree) + 1e-9;  // degrees of latitude
    g.cell = std::max(margin * 2.0, 0.05);
    g.limit = withinMetres / kRadius;
    double along = 0;
    for (const std::vector<LatLon> &route : lines) {
        // Each line on its own: no segment joins the end of one to the start of the next.
        const size_t count = route.size() <= 1 ? route.size() : route.size() - 1;
        for (size_t k = 0; k < count; ++k) {
            const LatLon &p = route[k];
            const LatLon &q = route.size() == 1 ? route[k] : route[k + 1];
            Segment s;
            s.a = ToVec(p.lat, p.lon);
            s.b = ToVec(q.lat, q.lon);
            const Vec c = Cross(s.a, s.b);
            const double n = std::sqrt(Dot(c, c));
            s.point = n < 1e-15;
            if (!s.point)
                s.normal = {c.x / n, c.y / n, c.z / n};
            s.length = s.point ? 0 : Angle(s.a, s.b);
            s.start = along;
            along += s.length * kRadius;
            const int index = static_cast<int>(g.segments.size());
            g.segments.push_back(s);
            double latLo = 0, latHi = 0;
            LatitudeRange(s, &latLo, &latHi);
            latLo -= margin;
            latHi += margin;
            const double lonSpan = std::fabs(double(q.lon) - double(p.lon));
            const double poleward = std::max(std::fabs(latLo), std::fabs(latHi));
            if (lonSpan > 180.0 || poleward > 85.0 || (latHi - latLo) / g.cell > 2000) {
                g.everywhere.push_back(index);
                continue;
            }
            const double lonMargin = margin / std::cos(poleward * kDegree);
            const double lonLo = std::min(p.lon, q.lon) - lonMargin, lonHi = std::max(p.lon, q.lon) + lonMargin;
            if ((lonHi - lonLo) / g.cell > 2000) {
                g.everywhere.push_back(index);
                continue;
            }
            for (int i = int(std::floor(latLo / g.cell)); i <= int(std::floor(latHi / g.cell)); ++i)
                for (int j = int(std::floor(lonLo / g.cell)); j <= int(std::floor(lonHi / g.cell)); ++j)
                    g.cells[Grid::key(i, j)].push_back(index);
        }
    }
}

RouteIndex::~RouteIndex() = default;

bool RouteIndex::empty() const
{
    return grid_->segments.empty();
}

std::optional<RouteOffset> RouteIndex::offsetOf(float lat, float lon) const
{
    Grid &g = *grid_;
    if (g.segments.empty())
        return std::nullopt;
    // Coordinates as the rest of the program holds them: floats.
    const double la = lat, lo = lon;
    const Vec p = ToVec(la, lo);
    g.candidates = g.everywhere;
    // Longitudes outside [-180, 180] are looked up where the route's are.
    const double wrapped = lo - 360.0 * std::floor((lo + 180.0) / 360.0);
    for (const double l : {lo, wrapped, wrapped - 360.0, wrapped + 360.0}) {
        const auto it = g.cells.constFind(Grid::key(int(std::floor(la / g.cell)), int(std::floor(l / g.cell))));
        if (it != g.cells.constEnd())
            g.candidates.insert(g.candidates.end(), it->begin(), it->end());
    }
    double best = 0, bestAlong = 0;
    bool found = false;
    for (const int index : g.candidates) {
        double across = 0, at = 0;
        Measure(g.segments[static_cast<size_t>(index)], p, &across, &at);
        const double position = g.segments[static_cast<size_t>(index)].start + at * kRadius;
        if (!found || across < best || (across == best && position < bestAlong)) {
            best = across;
            bestAlong = position;
            found = true;
        }
    }
    if (!found || best > g.limit * (1 + 1e-12))
        return std::nullopt;
    return RouteOffset{0, bestAlong, best * kRadius};
}

void SortAlongRoute(std::vector<RouteOffset> &offsets)
{
    std::stable_sort(offsets.begin(), offsets.end(), [](const RouteOffset &a, const RouteOffset &b) {
        return a.along != b.along ? a.along < b.along : a.across < b.across;
    });
}

std::vector<RouteOffset> RowsAlongRoute(const std::vector<std::vector<LatLon>> &lines, const PoiTable &table, double withinMetres,
                                        QChar separator)
{
    std::vector<RouteOffset> out;
    if (table.isEmptyForAdd())
        return out;
    const RouteIndex route(lines, withinMetres);
    if (route.empty())
        return out;
    for (int row = 1; row <= table.lastRow(); ++row) {
        const auto lat = ParseDecimal(table.field(row, FieldLatitude), separator);
        const auto lon = ParseDecimal(table.field(row, FieldLongitude), separator);
        if (!lat || !lon)
            continue;
        if (std::optional<RouteOffset> o = route.offsetOf(static_cast<float>(*lat), static_cast<float>(*lon))) {
            o->row = row;
            out.push_back(*o);
        }
    }
    SortAlongRoute(out);
    return out;
}

}  // namespace orvalis
