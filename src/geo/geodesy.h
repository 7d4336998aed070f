#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

namespace orvalis {

// Spherical earth radius in metres (exact as a float).
inline constexpr float kEarthRadius = 6378138.0f;
// The decimal value used for pi in every conversion; results depend on it.
inline constexpr long double kPi = 3.14159265359L;

long double DegToRad(long double degrees);
long double RadToDeg(long double radians);

// Great-circle distance in whole metres, truncated (law of cosines).
int32_t SphericalDistance(float lat1, float lon1, float lat2, float lon2);
// Initial great-circle bearing from point 1 to point 2, degrees in [0, 360].
float InitialBearing(float lat1, float lon1, float lat2, float lon2);

// Distances and initial bearings from one base point to many points: the
// same values as SphericalDistance(point, base) and InitialBearing(base,
// point), with the base's trigonometry done once.
class BaseMeasures {
public:
    BaseMeasures(float baseLat, float baseLon);
    int32_t distanceTo(float lat, float lon) const;
    float bearingTo(float lat, float lon) const;
    // Both at once, each point's sines and cosines computed once: the same
    // values as distanceTo and bearingTo, to the bit.
    struct Both {
        int32_t distance;
        float bearing;
    };
    Both measure(float lat, float lon) const;

private:
    float lat_, lon_;
    long double sin_, cos_;
};

struct LatLon {
    float lat = 0;
    float lon = 0;
};
// Destination from a start, an initial bearing and a distance in metres.
// Nothing is normalised: longitudes may leave -180..180.
LatLon DestinationPoint(float lat1, float lon1, float bearing, float distance);

// Crossing of two straight lines in the (longitude, latitude) plane.
struct Crossing {
    enum class Status { Crossing, Parallel, DivisionByZero, InvalidOperation, Overflow };
    Status status = Status::Crossing;
    float m1 = 0;
    float m2 = 0;
    float lat = 0;
    float lon = 0;
};
Crossing RouteCrossing(LatLon p1, LatLon p2, LatLon p3, LatLon p4);
// The French report of a number or a result too large for a float.
QString FloatOverflowText();
// The French report of a crossing that could not be computed.
QString CrossingErrorText(Crossing::Status status);

// «742 m», «506 km  et  242 m».
QString FormatDistance(int32_t metres);
// Two decimals, at most seven significant digits: «266.58».
QString FormatBearing(float degrees, QChar separator);
// Six decimals, seven significant digits: «48.720860».
QString FormatCoordinate(float degrees, QChar separator);
// Map zoom level text "1".."18" for a distance in metres.
QString ZoomForDistance(int32_t metres);

// Fixed notation of a value first rounded to `precision` significant digits
// and at most `decimals` decimals (one rounding, half away from zero on the
// exact decimal expansion), padded with zeros to exactly `decimals`.
QString FormatFixed(long double value, int precision, int decimals, QChar separator);
QString FormatFixed(double value, int precision, int decimals, QChar separator);
// General notation with up to `precision` significant digits, trailing zeros
// dropped; fixed unless the magnitude is below 0.00001 or too large.
QString FormatGeneral(long double value, int precision, QChar separator);

}  // namespace orvalis
