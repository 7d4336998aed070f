#include "maps/calculator_pages.h"

namespace orvalis {

namespace {

QString Marker(const QString &var, const QString &position, const QString &title)
{
    return QStringLiteral("\nvar ") + var + QStringLiteral(" = new google.maps.Marker({") +
           QStringLiteral("\nposition: ") + position + QStringLiteral(",") + QStringLiteral("\nmap: map,") +
           QStringLiteral("\ntitle: '") + JsString(title) + QStringLiteral("'") + QStringLiteral("\n});");
}

QString LatLngVar(const QString &var, const QString &lat, const QString &lon)
{
    return QStringLiteral("\nvar ") + var + QStringLiteral(" = new google.maps.LatLng(") + PagePointDecimal(lat) +
           QStringLiteral(", ") + PagePointDecimal(lon) + QStringLiteral(");");
}

QString MapStart(const QString &zoom, const QString &centre)
{
    return QStringLiteral("\nvar mapOptions = {") + QStringLiteral("\nzoom: ") + zoom + QStringLiteral(",center: ") +
           centre + QStringLiteral("\n}") +
           QStringLiteral("\nvar map = new google.maps.Map(document.getElementById('map-canvas'), mapOptions);");
}

QString Route(const QString &name, const QString &from, const QString &to, const QString &colour)
{
    return QStringLiteral("\nvar ") + name + QStringLiteral(" = [") + QStringLiteral("\n") + from +
           QStringLiteral(",") + QStringLiteral("\n") + to + QStringLiteral("\n];") + QStringLiteral("\nvar ") + name +
           QStringLiteral("_Path = new google.maps.Polyline({") + QStringLiteral("\npath: ") + name +
           QStringLiteral(",") + QStringLiteral("\ngeodesic: true,") + QStringLiteral("\nstrokeColor: '") + colour +
           QStringLiteral("',") + QStringLiteral("\nstrokeOpacity: 1.0,") + QStringLiteral("\nstrokeWeight: 2") +
           QStringLiteral("\n});") + QStringLiteral("\n") + name + QStringLiteral("_Path.setMap(map);");
}

}  // namespace

QString TwoPoiPage(const MapAddresses &addresses, const QString &lat1, const QString &lon1, const QString &lat2,
                   const QString &lon2, const QString &title1, const QString &title2, const QString &zoom)
{
    return PageHead(addresses) + QStringLiteral("\nfunction initialize() {") +
           LatLngVar(QStringLiteral("myLatlng"), lat1, lon1) + LatLngVar(QStringLiteral("myLatlng2"), lat2, lon2) +
           MapStart(zoom, QStringLiteral("myLatlng")) + Marker(QStringLiteral("marker"), QStringLiteral("myLatlng"), title1) +
           Marker(QStringLiteral("marker2"), QStringLiteral("myLatlng2"), title2) + QStringLiteral("\n}") + PageTail();
}

QString CrossingPage(const MapAddresses &addresses, const QString (&lat)[4], const QString (&lon)[4],
                     const QString &zoom)
{
    QString page = PageHead(addresses) + QStringLiteral("\nfunction initialize() {");
    for (int k = 0; k < 4; ++k)
        page += LatLngVar(QStringLiteral("myLatlng%1").arg(k + 1), lat[k], lon[k]);
    page += MapStart(zoom, QStringLiteral("myLatlng1"));
    page += Marker(QStringLiteral("marker"), QStringLiteral("myLatlng1"), QStringLiteral("Début route 1"));
    page += Marker(QStringLiteral("marker2"), QStringLiteral("myLatlng2"), QStringLiteral("Fin route 1"));
    page += Marker(QStringLiteral("marker"), QStringLiteral("myLatlng3"), QStringLiteral("Début route 2"));
    page += Marker(QStringLiteral("marker2"), QStringLiteral("myLatlng4"), QStringLiteral("Fin route 2"));
    page += Route(QStringLiteral("Trait_1"), QStringLiteral("myLatlng1"), QStringLiteral("myLatlng2"), QStringLiteral("#0000FF"));
    page += Route(QStringLiteral("Trait_2"), QStringLiteral("myLatlng3"), QStringLiteral("myLatlng4"), QStringLiteral("#FF0000"));
    page += QStringLiteral("\n}") + PageTail();
    return page;
}

}  // namespace orvalis
