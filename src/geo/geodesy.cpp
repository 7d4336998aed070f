#include "geo/geodesy.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <charconv>
#include <string>

namespace orvalis {

namespace {

// The math library's double functions: argument rounded to double, result a
// double; the arithmetic around them stays extended.
long double Sin(long double x) { return std::sin(static_cast<double>(x)); }
long double Cos(long double x) { return std::cos(static_cast<double>(x)); }
long double Acos(long double x) { return std::acos(static_cast<double>(std::clamp(x, -1.0L, 1.0L))); }
long double Asin(long double x) { return std::asin(static_cast<double>(std::clamp(x, -1.0L, 1.0L))); }
long double Atan2(long double y, long double x) { return std::atan2(static_cast<double>(y), static_cast<double>(x)); }

int32_t TruncateToInt32(long double v)
{
    if (!(v == v))
        return 0;
    v = std::clamp(v, -2147483648.0L, 2147483647.0L);
    return static_cast<int32_t>(v);
}

}  // namespace

long double DegToRad(long double degrees)
{
    return degrees * kPi * (1.0L / 180.0L);
}

long double RadToDeg(long double radians)
{
    return radians * 180.0L * (1.0L / kPi);
}

int32_t SphericalDistance(float lat1, float lon1, float lat2, float lon2)
{
    const long double phi1 = DegToRad(lat1);
    const long double phi2 = DegToRad(lat2);
    const long double dLambda = DegToRad(lon2) - DegToRad(lon1);
    const long double a = Cos(phi1) * Cos(phi2) * Cos(dLambda) + Sin(phi1) * Sin(phi2);
    // Rounding can push the cosine of a zero angle just above 1.
    const long double d = Acos(a) * static_cast<long double>(kEarthRadius);
    return TruncateToInt32(d);
}

float InitialBearing(float lat1, float lon1, float lat2, float lon2)
{
    const long double phi1 = DegToRad(lat1);
    const long double phi2 = DegToRad(lat2);
    const long double dLambda = DegToRad(lon2) - DegToRad(lon1);
    const long double y = Sin(dLambda) * Cos(phi2);
    const long double x = Cos(phi1) * Sin(phi2) - Sin(phi1) * Cos(phi2) * Cos(dLambda);
    if (lat1 == lat2 && lon1 == lon2)
        return 0.0f;  // no direction between identical points
    float b = static_cast<float>(RadToDeg(Atan2(y, x)));
    if (b < 0)
        b = static_cast<float>(static_cast<long double>(b) + 360.0L);
    return b;
}

BaseMeasures::BaseMeasures(float baseLat, float baseLon)
    : lat_(baseLat), lon_(baseLon), sin_(Sin(DegToRad(baseLat))), cos_(Cos(DegToRad(baseLat)))
{
}

int32_t BaseMeasures::distanceTo(float lat, float lon) const
{
    const long double phi = DegToRad(lat);
    const long double dLambda = DegToRad(lon_) - DegToRad(lon);
    const long double a = Cos(phi) * cos_ * Cos(dLambda) + Sin(phi) * sin_;
    return TruncateToInt32(Acos(a) * static_cast<long double>(kEarthRadius));
}

float BaseMeasures::bearingTo(float lat, float lon) const
{
    if (lat == lat_ && lon == lon_)
        return 0.0f;
    const long double phi = DegToRad(lat);
    const long double dLambda = DegToRad(lon) - DegToRad(lon_);
    const long double y = Sin(dLambda) * Cos(phi);
    const long double x = cos_ * Sin(phi) - sin_ * Cos(phi) * Cos(dLambda);
    float b = static_cast<float>(RadToDeg(Atan2(y, x)));
    if (b < 0)
        b = static_cast<float>(static_cast<long double>(b) + 360.0L);
    return b;
}

BaseMeasures::Both BaseMeasures::measure(float lat, float lon) const
{
    const long double phi = DegToRad(lat);
    // lon - base is the exact negation of base - lon, and the cosine is even.
    const long double dLambda = DegToRad(lon) - DegToRad(lon_);
    const long double sinPhi = Sin(phi), cosPhi = Cos(phi), cosLambda = Cos(dLambda);
    Both out;
    out.distance = TruncateToInt32(Acos(cosPhi * cos_ * cosLambda + sinPhi * sin_) * static_cast<long double>(kEarthRadius));
    if (lat == lat_ && lon == lon_) {
        out.bearing = 0.0f;
        return out;
    }
    const long double y = Sin(dLambda) * cosPhi;
    const long double x = cos_ * sinPhi - sin_ * cosPhi * cosLambda;
    float b = static_cast<float>(RadToDeg(Atan2(y, x)));
    if (b < 0)
        b = static_cast<float>(static_cast<long double>(b) + 360.0L);
    out.bearing = b;
    return out;
}

LatLon DestinationPoint(float lat1, float lon1, float bearing, float distance)
{
    const long double phi1 = DegToRad(lat1);
    const long double theta = DegToRad(bearing);
    const float delta = static_cast<float>(static_cast<long double>(distance) / kEarthRadius);
    LatLon out;
    out.lat = static_cast<float>(RadToDeg(Asin(Sin(phi1) * Cos(delta) + Cos(phi1) * Sin(delta) * Cos(theta))));
    const long double phi2 = DegToRad(out.lat);
    out.lon = static_cast<float>(RadToDeg(
        DegToRad(lon1) + Atan2(Sin(theta) * Sin(delta) * Cos(phi1), Cos(delta) - Sin(phi1) * Sin(phi2))));
    return out;
}

Crossing RouteCrossing(LatLon p1, LatLon p2, LatLon p3, LatLon p4)
{
    Crossing c;
    // A route along a meridian has no slope; report it as the arithmetic unit would.
    for (auto [a, b] : {std::pair{p1, p2}, std::pair{p3, p4}}) {
        if (a.lon == b.lon) {
            c.status = a.lat == b.lat ? Crossing::Status::InvalidOperation : Crossing::Status::DivisionByZero;
            return c;
        }
    }
    using L = long double;
    c.m1 = static_cast<float>((L(p2.lat) - p1.lat) / (L(p2.lon) - p1.lon));
    c.m2 = static_cast<float>((L(p4.lat) - p3.lat) / (L(p4.lon) - p3.lon));
    // A slope a float cannot hold would make every result 0 or nonsense.
    if (!std::isfinite(c.m1) || !std::isfinite(c.m2)) {
        c.status = Crossing::Status::Overflow;
        return c;
    }
    if (c.m1 == c.m2) {
        c.status = Crossing::Status::Parallel;
        return c;
    }
    c.lon = static_cast<float>((L(p1.lat) - L(p1.lon) * c.m1 - p3.lat + L(p3.lon) * c.m2) / (L(c.m2) - c.m1));
    c.lat = static_cast<float>(L(p1.lat) - L(p1.lon) * c.m1 + L(c.m1) * c.lon);
    if (!std::isfinite(c.lat) || !std::isfinite(c.lon))
        c.status = Crossing::Status::Overflow;
    return c;
}

QString FloatOverflowText()
{
    return QStringLiteral("Débordement de capacité en virgule flottante.");
}

QString CrossingErrorText(Crossing::Status status)
{
    switch (status) {
    case Crossing::Status::DivisionByZero:
        return QStringLiteral("Division par zéro en virgule flottante.");
    case Crossing::Status::InvalidOperation:
        return QStringLiteral("Opération en virgule flottante incorrecte.");
    case Crossing::Status::Overflow:
        return FloatOverflowText();
    default:
        return {};
    }
}

QString FormatDistance(int32_t metres)
{
    if (metres <= 999)
        return QString::number(metres) + QStringLiteral(" m");
    return QString::number(metres / 1000) + QStringLiteral(" km  et  ") + QString::number(metres % 1000) +
           QStringLiteral(" m");
}

QString FormatBearing(float degrees, QChar separator)
{
    return FormatFixed(static_cast<double>(degrees), 7, 2, separator);
}

QString FormatCoordinate(float degrees, QChar separator)
{
    return FormatFixed(static_cast<double>(degrees), 7, 6, separator);
}

QString ZoomForDistance(int32_t d)
{
    if (d < 0)
        return QStringLiteral("11");
    static const struct {
        int32_t below;
        const char *zoom;
    } table[] = {{50, "18"},       {100, "17"},      {200, "16"},       {500, "15"},       {1000, "14"},
                 {2000, "13"},     {5000, "12"},     {10000, "11"},     {20000, "10"},     {40000, "9"},
                 {80000, "8"},     {160000, "7"},    {320000, "6"},     {650000, "5"},     {1300000, "4"},
                 {2600000, "3"},   {5200000, "2"}};
    for (const auto &row : table)
        if (d < row.below)
            return QString::fromLatin1(row.zoom);
    return QStringLiteral("1");
}

namespace {

// Exact decimal expansion of a value: its digits (no trailing zeros) and the
// power of ten of the first digit. Zero gives no digits.
struct Decimal {
    bool negative = false;
    char digits[128];
    int count = 0;
    int exponent = 0;
};

void ParseScientific(const char *buf, const char *end, Decimal &d)
{
    const char *e = std::find(buf, end, 'e');
    // The buffer is not terminated: read the exponent within [e, end) only.
    int exponent = 0;
    bool negative = false;
    for (const char *p = e + 1; p < end; ++p) {
        if (*p == '-')
            negative = true;
        else if (*p >= '0' && *p <= '9')
            exponent = exponent * 10 + (*p - '0');
    }
    d.exponent = negative ? -exponent : exponent;
    d.count = 0;
    for (const char *p = buf; p < e && d.count < static_cast<int>(sizeof d.digits); ++p)
        if (*p >= '0' && *p <= '9')
            d.digits[d.count++] = *p;
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
}

Decimal Expand(long double value)
{
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0)
        return d;
    char buf[160];
    const int n = std::snprintf(buf, sizeof buf, "%.100Le", std::fabs(value));
    ParseScientific(buf, buf + n, d);
    return d;
}

// Floats and doubles expand exactly and much faster through to_chars.
Decimal Expand(double value)
{
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0)
        return d;
    char buf[160];
    const auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific, 100);
    ParseScientific(buf, r.ptr, d);
    return d;
}

// Keeps `keep` significant digits, rounding half away from zero.
void RoundTo(Decimal &d, int keep)
{
    if (keep < 0) {
        d.count = 0;
        return;
    }
    if (d.count <= keep)
        return;
    const bool up = d.digits[keep] >= '5';
    d.count = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[i] == '9') {
            d.digits[i] = '0';
            --i;
        }
        if (i < 0) {
            // All nines: 999.96 -> 1000.0, one more power of ten.
            d.digits[0] = '1';
            d.count = 1;
            ++d.exponent;
            return;
        }
        ++d.digits[i];
    }
    while (d.count > 0 && d.digits[d.count - 1] == '0')
        --d.count;
}

char DigitAt(const Decimal &d, int power)
{
    const int idx = d.exponent - power;
    return idx >= 0 && idx < d.count ? d.digits[idx] : '0';
}

QString WriteFixed(Decimal &d, int precision, int decimals, QChar separator)
{
    if (d.count > 0)
        RoundTo(d, std::min(precision, d.exponent + 1 + decimals));
    char out[200];
    int n = 0;
    if (d.negative && d.count > 0)
        out[n++] = '-';
    const int top = d.count == 0 ? 0 : std::max(d.exponent, 0);
    for (int p = top; p >= 0 && n < 150; --p)
        out[n++] = DigitAt(d, p);
    const int sepAt = n;
    if (decimals > 0) {
        out[n++] = '.';
        for (int p = -1; p >= -decimals && n < 199; --p)
            out[n++] = DigitAt(d, p);
    }
    QString s = QString::fromLatin1(out, n);
    if (decimals > 0)
        s[sepAt] = separator;
    return s;
}

}  // namespace

QString FormatFixed(long double value, int precision, int decimals, QChar separator)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    Decimal d = Expand(value);
    return WriteFixed(d, precision, decimals, separator);
}

QString FormatFixed(double value, int precision, int decimals, QChar separator)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    Decimal d = Expand(value);
    return WriteFixed(d, precision, decimals, separator);
}

QString FormatGeneral(long double value, int precision, QChar separator)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    Decimal d = Expand(value);
    RoundTo(d, precision);
    if (d.count == 0)
        return QStringLiteral("0");
    QString out;
    if (d.negative)
        out += u'-';
    if (d.exponent < -5 || d.exponent >= precision) {
        out += QChar::fromLatin1(d.digits[0]);
        if (d.count > 1) {
            out += separator;
            out += QString::fromLatin1(d.digits + 1, d.count - 1);
        }
        out += QStringLiteral("E%1%2").arg(QChar(d.exponent < 0 ? u'-' : u'+')).arg(std::abs(d.exponent));
        return out;
    }
    for (int p = std::max(d.exponent, 0); p >= 0; --p)
        out += QChar::fromLatin1(DigitAt(d, p));
    const int last = d.exponent - (d.count - 1);
    if (last < 0) {
        out += separator;
        for (int p = -1; p >= last; --p)
            out += QChar::fromLatin1(DigitAt(d, p));
    }
    return out;
}

}  // namespace orvalis
