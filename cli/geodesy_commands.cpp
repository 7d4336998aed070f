// distance, destination and crossing: the calculator tabs on the command line.
#include "commands.h"
#include "json_output.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"

#include <QStringList>

namespace orvalis::cli {

int Distance(Cli &cli)
{
    cli.expectCount(4);
    const float la1 = cli.latitude(0), lo1 = cli.longitude(1), la2 = cli.latitude(2), lo2 = cli.longitude(3);
    Out(DistanceText(SphericalDistance(la1, lo1, la2, lo2)));
    Out(FormatBearing(InitialBearing(la1, lo1, la2, lo2), cli.sep));
    return 0;
}

int Destination(Cli &cli)
{
    cli.expectCount(4);
    const float la = cli.latitude(0), lo = cli.longitude(1), bearing = cli.number(2), metres = cli.number(3);
    const LatLon p = DestinationPoint(la, lo, bearing, metres);
    Out(FormatCoordinate(p.lat, cli.sep) + u' ' + FormatCoordinate(p.lon, cli.sep));
    return 0;
}

int Crossing(Cli &cli)
{
    cli.expectCount(8);
    LatLon p[4];
    for (int k = 0; k < 4; ++k)
        p[k] = {cli.latitude(2 * k), cli.longitude(2 * k + 1)};
    const orvalis::Crossing c = RouteCrossing(p[0], p[1], p[2], p[3]);
    if (c.status != orvalis::Crossing::Status::Crossing && c.status != orvalis::Crossing::Status::Parallel) {
        const char *why = c.status == orvalis::Crossing::Status::DivisionByZero
                              ? QT_TRANSLATE_NOOP("Cli", "no crossing can be computed: division by zero (a route along a meridian)")
                          : c.status == orvalis::Crossing::Status::Overflow
                              ? QT_TRANSLATE_NOOP("Cli", "no crossing can be computed: floating-point overflow")
                              : QT_TRANSLATE_NOOP("Cli", "no crossing can be computed: invalid floating-point operation");
        Err(T(why));
        return 1;
    }
    const int32_t l1 = SphericalDistance(p[0].lat, p[0].lon, p[1].lat, p[1].lon);
    const int32_t l2 = SphericalDistance(p[2].lat, p[2].lon, p[3].lat, p[3].lon);
    if (c.status == orvalis::Crossing::Status::Parallel) {
        Out(QStringLiteral("parallel"));
        Out(QStringLiteral("%1 %2").arg(l1).arg(l2));
        return 0;
    }
    Out(FormatCoordinate(c.lat, cli.sep) + u' ' + FormatCoordinate(c.lon, cli.sep));
    QStringList line = {QString::number(l1), QString::number(l2)};
    for (int k = 0; k < 4; ++k)
        line << QString::number(SphericalDistance(p[k].lat, p[k].lon, c.lat, c.lon));
    Out(line.join(u' '));
    return 0;
}

}  // namespace orvalis::cli
