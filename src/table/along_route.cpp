#include "table/along_route.h"

#include "geo/decimal_entry.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

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

// The route as its points (8 bytes each) and its segments (16 bytes each);
// a segment's vectors are computed again where a POI is measured to it. The
// grid has levels of cells twice as wide each: a segment goes to the level
// where its box (grown by the limit) spans at most two cells each way, so it
// sits in four cells at most however long it is.
struct RouteIndex::Grid {
    struct Span {
        uint32_t a, b;  // its ends among the points (equal for a route of one point)
        double start;   // metres along the route to a
    };
    struct Entry {
        uint64_t cell;
        uint32_t segment;
        bool operator<(const Entry &o) const { return cell != o.cell ? cell < o.cell : segment < o.segment; }
    };
    std::vector<LatLon> points;
    std::vector<Span> spans;
    std::vector<Entry> cells;  // sorted
    std::vector<uint32_t> everywhere;
    uint32_t levels = 0;  // a bit for each level that holds a segment
    double cell = 0;
    double limit = 0;
    std::vector<uint32_t> candidates;
    static constexpr int kLevels = 16;
    static uint64_t key(int level, int i, int j)
    {
        return (uint64_t(level) << 56) | (uint64_t(uint32_t(i) & 0xFFFFFFF) << 28) | (uint32_t(j) & 0xFFFFFFF);
    }
    Segment segment(uint32_t index) const
    {
        const Span &span = spans[index];
        const LatLon &p = points[span.a], &q = points[span.b];
        Segment s;
        s.a = ToVec(p.lat, p.lon);
        s.b = ToVec(q.lat, q.lon);
        const Vec c = Cross(s.a, s.b);
        const double n = std::sqrt(Dot(c, c));
        s.point = n < 1e-15;
        if (!s.point)
            s.normal = {c.x / n, c.y / n, c.z / n};
        s.length = s.point ? 0 : Angle(s.a, s.b);
        s.start = span.start;
        return s;
    }
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
        const auto first = static_cast<uint32_t>(g.points.size());
        g.points.insert(g.points.end(), route.begin(), route.end());
        const size_t count = route.size() <= 1 ? route.size() : route.size() - 1;
        for (size_t k = 0; k < count; ++k) {
            const LatLon &p = route[k];
            const LatLon &q = route.size() == 1 ? route[k] : route[k + 1];
            const auto index = static_cast<uint32_t>(g.spans.size());
            g.spans.push_back({first + uint32_t(k), first + uint32_t(route.size() == 1 ? k : k + 1), along});
            const Segment s = g.segment(index);
            along += s.length * kRadius;
            double latLo = 0, latHi = 0;
            LatitudeRange(s, &latLo, &latHi);
            latLo -= margin;
            latHi += margin;
            const double lonSpan = std::fabs(double(q.lon) - double(p.lon));
            const double poleward = std::max(std::fabs(latLo), std::fabs(latHi));
            if (lonSpan > 180.0 || poleward > 85.0) {
                g.everywhere.push_back(index);
                continue;
            }
            const double lonMargin = margin / std::cos(poleward * kDegree);
            const double lonLo = std::min(p.lon, q.lon) - lonMargin, lonHi = std::max(p.lon, q.lon) + lonMargin;
            int level = 0;
            double size = g.cell;
            while (level + 1 < Grid::kLevels &&
                   (std::floor(latHi / size) - std::floor(latLo / size) > 1 || std::floor(lonHi / size) - std::floor(lonLo / size) > 1)) {
                ++level;
                size *= 2;
            }
            g.levels |= 1u << level;
            for (int i = int(std::floor(latLo / size)); i <= int(std::floor(latHi / size)); ++i)
                for (int j = int(std::floor(lonLo / size)); j <= int(std::floor(lonHi / size)); ++j)
                    g.cells.push_back({Grid::key(level, i, j), index});
        }
    }
    std::sort(g.cells.begin(), g.cells.end());
    g.cells.shrink_to_fit();
}

RouteIndex::~RouteIndex() = default;

bool RouteIndex::empty() const
{
    return grid_->spans.empty();
}

std::optional<RouteOffset> RouteIndex::offsetOf(float lat, float lon) const
{
    Grid &g = *grid_;
    if (g.spans.empty())
        return std::nullopt;
    // Coordinates as the rest of the program holds them: floats.
    const double la = lat, lo = lon;
    const Vec p = ToVec(la, lo);
    g.candidates = g.everywhere;
    // Longitudes outside [-180, 180] are looked up where the route's are.
    const double wrapped = lo - 360.0 * std::floor((lo + 180.0) / 360.0);
    double size = g.cell;
    for (int level = 0; level < Grid::kLevels; ++level, size *= 2) {
        if (!(g.levels & (1u << level)))
            continue;
        uint64_t seen[4];
        int count = 0;
        for (const double l : {lo, wrapped, wrapped - 360.0, wrapped + 360.0}) {
            const uint64_t key = Grid::key(level, int(std::floor(la / size)), int(std::floor(l / size)));
            if (std::find(seen, seen + count, key) != seen + count)
                continue;
            seen[count++] = key;
            auto it = std::lower_bound(g.cells.begin(), g.cells.end(), Grid::Entry{key, 0});
            for (; it != g.cells.end() && it->cell == key; ++it)
                g.candidates.push_back(it->segment);
        }
    }
    double best = 0, bestAlong = 0;
    bool found = false;
    for (const uint32_t index : g.candidates) {
        double across = 0, at = 0;
        const Segment s = g.segment(index);
        Measure(s, p, &across, &at);
        const double position = s.start + at * kRadius;
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
    std::stable_sort(offsets.begin(), offsets.end(), AlongRouteOrder());
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
