#include "table/near_point.h"

#include <cmath>

namespace orvalis {

NearPoint::NearPoint(float lat, float lon, long double limitMetres, size_t runItems)
    : lat_(lat), limit_(limitMetres), base_(lat, lon), found_(runItems)
{
}

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
    found_.add({last_.distance, last_.bearing, number_, at});
}

bool NearPoint::eachNearestFirst(const std::function<void(const Found &)> &visit)
{
    return found_.forEach(visit);
}

}  // namespace orvalis
