#include "table/near_point.h"

#include <algorithm>
#include <cmath>

namespace orvalis {

NearPoint::NearPoint(float lat, float lon, long double limitMetres) : lat_(lat), limit_(limitMetres), base_(lat, lon) {}

bool NearPoint::wanted(long double lat, long double lon)
{
    ++number_;
    // No trigonometry where the latitudes alone put a POI well beyond the
    // limit: no great circle is shorter than the arc of their difference.
    const auto poiLat = static_cast<float>(lat);
    if (std::fabs(DegToRad(poiLat) - DegToRad(lat_)) * kEarthRadius > limit_ + 1000)
        return false;
    last_ = base_.measure(poiLat, static_cast<float>(lon));
    return last_.distance <= limit_;
}

void NearPoint::keep(qint64 at)
{
    found_.push_back({last_.distance, last_.bearing, number_, at});
}

std::vector<NearPoint::Found> NearPoint::nearestFirst() const
{
    std::vector<Found> sorted = found_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Found &a, const Found &b) { return a.metres < b.metres; });
    return sorted;
}

}  // namespace orvalis
