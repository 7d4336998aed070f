#pragma once

#include "geo/geodesy.h"
#include "table/poi_table.h"

#include <QChar>
#include <memory>
#include <optional>
#include <vector>

namespace orvalis {

// Where a POI lies from a route: metres along it to the nearest point, and
// metres from it (to a segment, or to its nearer end when the foot of the
// perpendicular falls outside it).
struct RouteOffset {
    int row = 0;
    double along = 0;
    double across = 0;
};

// The rows within `withinMetres` of the polyline `route` on the program's
// sphere (cross-track distance to each great-circle segment, clamped to its
// ends), ordered along the route, then by distance from it. A route of one
// point is a point. Several lines (tracks, routes, track segments) are each a
// polyline of their own, measured along in turn. Segments are found through a
// grid of their boxes, so long tracks and large tables stay fast; segments
// across the antimeridian or near a pole are checked for every POI.
std::vector<RouteOffset> RowsAlongRoute(const std::vector<std::vector<LatLon>> &lines, const PoiTable &table,
                                        double withinMetres, QChar separator);

// The same one point at a time, for POIs streaming by: the route's segments
// indexed once; a point's offset (row left 0) when it lies within the limit.
class RouteIndex {
public:
    RouteIndex(const std::vector<std::vector<LatLon>> &lines, double withinMetres);
    ~RouteIndex();
    bool empty() const;
    std::optional<RouteOffset> offsetOf(float lat, float lon) const;

private:
    struct Grid;
    std::unique_ptr<Grid> grid_;
};
// Along the route, then by distance from it, then by row: equal offsets keep their order.
struct AlongRouteOrder {
    bool operator()(const RouteOffset &a, const RouteOffset &b) const
    {
        return a.along != b.along ? a.along < b.along : a.across != b.across ? a.across < b.across : a.row < b.row;
    }
};
void SortAlongRoute(std::vector<RouteOffset> &offsets);
inline std::vector<RouteOffset> RowsAlongRoute(const std::vector<LatLon> &route, const PoiTable &table,
                                               double withinMetres, QChar separator)
{
    return RowsAlongRoute(std::vector<std::vector<LatLon>>{route}, table, withinMetres, separator);
}

}  // namespace orvalis
