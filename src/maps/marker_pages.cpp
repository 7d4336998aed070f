#include "maps/marker_pages.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"

#include <algorithm>

namespace orvalis {

namespace {

QString IconLines(const MapAddresses &a)
{
    return QStringLiteral("\nvar iconGrey = '") + a.pinImages + QStringLiteral("mm_20_gray.png';") +
           QStringLiteral("\nvar iconRed = '") + a.pinImages + QStringLiteral("mm_20_red.png';") +
           QStringLiteral("\nvar iconGreen = '") + a.pinImages + QStringLiteral("mm_20_green.png';");
}

}  // namespace

QString SinglePoiPage(const MapAddresses &addresses, const QString &latitude, const QString &longitude,
                      const QString &description)
{
    return PageHead(addresses) + QStringLiteral("\nfunction initialize() {") +
           QStringLiteral("\nvar myLatlng = new google.maps.LatLng(") + MapCoordinate(latitude) + QStringLiteral(", ") +
           MapCoordinate(longitude) + QStringLiteral(");") + QStringLiteral("\nvar mapOptions = {") +
           QStringLiteral("\nzoom: 13,") + QStringLiteral("\ncenter: myLatlng") + QStringLiteral("\n}") +
           QStringLiteral("\nvar map = new google.maps.Map(document.getElementById('map-canvas'), mapOptions);") +
           QStringLiteral("\nvar marker = new google.maps.Marker({") + QStringLiteral("\nposition: myLatlng,") +
           QStringLiteral("\nmap: map,") + QStringLiteral("\ntitle: '") + JsString(MapTitle(description)) +
           QStringLiteral("'") + QStringLiteral("\n});") + QStringLiteral("\n}") + PageTail();
}

QString MarkerPiece(const QString &latitude, const QString &longitude, const QString &description, const QString &icon)
{
    const QString a = MapCoordinate(latitude);
    const QString o = MapCoordinate(longitude);
    const QString d = MapTitle(description);
    const QString info = QStringLiteral("<div><b>") + JsString(HtmlEscape(d)) + QStringLiteral("</b><div>Coordonnées : ") +
                         a + QStringLiteral(" / ") + o + QStringLiteral("</div></div>");
    return QStringLiteral("\nvar infowindow = new google.maps.InfoWindow();") +
           QStringLiteral("\nvar maPunaise = new google.maps.LatLng(") + a + QStringLiteral(", ") + o +
           QStringLiteral(");") + QStringLiteral("\nvar marker = new google.maps.Marker({") +
           QStringLiteral("\nposition: maPunaise,") + QStringLiteral("\nmap: map,title: \"'") + JsString(d) +
           QStringLiteral("'\",") + QStringLiteral("\nicon: ") + icon + QStringLiteral("});") +
           QStringLiteral("\ngoogle.maps.event.addListener(marker, 'click', function() {") +
           QStringLiteral("\ninfowindow.setContent('") + info + QStringLiteral("');") +
           QStringLiteral("\ninfowindow.open(map, this);") + QStringLiteral("\n});") +
           QStringLiteral("infowindow.setPosition(maPunaise);");
}

QString IconFor(int row, int lastRow)
{
    if (row == 1)
        return QStringLiteral("iconRed");
    if (row == lastRow)
        return QStringLiteral("iconGreen");
    return QStringLiteral("iconGrey");
}

QString ZoomForExtent(int g)
{
    static const struct {
        int above;
        const char *zoom;
    } table[] = {{50000, "3"}, {20000, "4"}, {10000, "5"}, {5000, "6"}, {2000, "7"}, {1000, "8"}, {500, "9"},
                 {200, "10"},  {100, "11"},  {50, "12"},   {25, "13"},  {10, "14"},  {5, "15"}};
    for (const auto &row : table)
        if (g > row.above)
            return QString::fromLatin1(row.zoom);
    return QStringLiteral("16");
}

SelectionView SelectionCentreAndZoom(const PoiTable &table, int first, int last, QChar separator)
{
    float sumLat = 0, sumLon = 0;
    float minLat = 0, maxLat = 0, minLon = 0, maxLon = 0;
    for (int row = first; row <= last; ++row) {
        const float lat = ReadDecimal(table.field(row, FieldLatitude), separator);
        const float lon = ReadDecimal(table.field(row, FieldLongitude), separator);
        sumLat += lat;
        sumLon += lon;
        if (row == first) {
            minLat = maxLat = lat;
            minLon = maxLon = lon;
        } else {
            minLat = std::min(minLat, lat);
            maxLat = std::max(maxLat, lat);
            minLon = std::min(minLon, lon);
            maxLon = std::max(maxLon, lon);
        }
    }
    const float count = static_cast<float>(last - first + 1);
    SelectionView view;
    view.centreLatitude = MapCoordinate(FormatGeneral(sumLat / count, 15, separator));
    view.centreLongitude = MapCoordinate(FormatGeneral(sumLon / count, 15, separator));
    const float latExtent = maxLat - minLat;
    const float lonExtent = maxLon - minLon;
    const float extent = latExtent > lonExtent ? latExtent : lonExtent;
    const long double g = static_cast<long double>(extent) * 1000.0L;
    view.extent = g >= 2147483647.0L ? 2147483647 : static_cast<int>(g);
    view.zoom = ZoomForExtent(view.extent);
    return view;
}

QString SelectionPageStart(const MapAddresses &addresses, const SelectionView &view)
{
    return PageHead(addresses) + QStringLiteral("\nfunction initialize() {") +
           QStringLiteral("\nvar myLatlng = new google.maps.LatLng(") + view.centreLatitude + QStringLiteral(", ") +
           view.centreLongitude + QStringLiteral(");") + QStringLiteral("\nvar mapOptions = {") +
           QStringLiteral("\nzoom: ") + view.zoom + QStringLiteral(",center: myLatlng") + QStringLiteral("\n}") +
           QStringLiteral("\nvar map = new google.maps.Map(document.getElementById('map-canvas'), mapOptions);") +
           IconLines(addresses);
}

QString SelectionPageEnd()
{
    return QStringLiteral("\n}") + PageTail();
}

QString ZoomForRadius(int r)
{
    int zoom = 1;
    for (int bound = 4096; bound >= 1 && r <= bound; bound /= 2)
        ++zoom;
    return QString::number(zoom);
}

QString CirclePageStart(const MapAddresses &addresses, const QString &latitude, const QString &longitude, int radiusKm,
                        const QString &zoom)
{
    const QString a = MapCoordinate(latitude);
    const QString o = MapCoordinate(longitude);
    return PageHead(addresses) + QStringLiteral("\nvar citymap = {};") + QStringLiteral("\ncitymap['chicago'] = {") +
           QStringLiteral("\ncenter: new google.maps.LatLng(") + a + QStringLiteral(", ") + o + QStringLiteral("),") +
           QStringLiteral("\npopulation:") + QString::number(static_cast<qint64>(radiusKm) * 1000) +
           QStringLiteral("\n};") + QStringLiteral("\nvar cityCircle;") + QStringLiteral("\nfunction initialize() {") +
           QStringLiteral("\nvar myLatlng = new google.maps.LatLng(") + a + QStringLiteral(", ") + o +
           QStringLiteral(");") + QStringLiteral("\nvar mapOptions = {") + QStringLiteral("\nzoom: ") + zoom +
           QStringLiteral(",center: myLatlng") + QStringLiteral("\n};") +
           QStringLiteral("\nvar map = new google.maps.Map(document.getElementById('map-canvas'), mapOptions);") +
           IconLines(addresses);
}

QString CirclePageEnd()
{
    return QStringLiteral("\nfor (var city in citymap) {") + QStringLiteral("\nvar populationOptions = {") +
           QStringLiteral("\nstrokeColor: '#FF0000',") + QStringLiteral("\nstrokeOpacity: 0.8,") +
           QStringLiteral("\nstrokeWeight: 2,") + QStringLiteral("\nfillColor: '#FF0000',") +
           QStringLiteral("\nfillOpacity: 0.05,") + QStringLiteral("\nmap: map,") +
           QStringLiteral("\ncenter: citymap[city].center,") + QStringLiteral("\nradius: citymap[city].population") +
           QStringLiteral("\n};") + QStringLiteral("\ncityCircle = new google.maps.Circle(populationOptions);") +
           QStringLiteral("\n}") + QStringLiteral("\n}") + PageTail();
}

QString MovePinPage(const MapAddresses &addresses, const QString &latitude, const QString &longitude,
                    const QString &description)
{
    static const char *const before[] = {
        "\n<script type=\"text/javascript\">",
        "\nvar geocoder = new google.maps.Geocoder();",
        "\nfunction geocodePosition(pos) {",
        "\ngeocoder.geocode({",
        "\nlatLng: pos",
        "\n}, function(responses) {",
        "\nif (responses && responses.length > 0) {",
        "\nupdateMarkerAddress(responses[0].formatted_address);",
        "\n} else {",
        "\nupdateMarkerAddress('Aucune adresse indiquée pour cet emplacement.');",
        "\n}",
        "\n});",
        "\n}",
        "\nfunction updateMarkerStatus(str) {",
        "\ndocument.getElementById('markerStatus').innerHTML = str;",
        "\n}",
        "\nfunction updateMarkerPosition(latLng) {",
        "\ndocument.getElementById('info').innerHTML = [",
        "\nlatLng.lat(),",
        "\nlatLng.lng()",
        "\n].join(', ');",
        "\n}",
        "\nfunction updateMarkerAddress(str) {",
        "\ndocument.getElementById('address').innerHTML = str;",
        "\n}",
        "\nfunction initialize() {",
        "\nvar latLng = new google.maps.LatLng(",
    };
    static const char *const after[] = {
        "\nvar map = new google.maps.Map(document.getElementById('mapCanvas'), {",
        "\nzoom: 13,",
        "\ncenter: latLng,",
        "\nmapTypeId: google.maps.MapTypeId.ROADMAP",
        "\n});",
        "\nvar marker = new google.maps.Marker({",
        "\nposition: latLng,",
        "\ntitle: '",
    };
    static const char *const tail[] = {
        "',",
        "\nmap: map,",
        "\ndraggable: true",
        "\n});",
        "\nupdateMarkerPosition(latLng);",
        "\ngeocodePosition(latLng);",
        "\ngoogle.maps.event.addListener(marker, 'dragstart', function() {",
        "\nupdateMarkerAddress(' ');",
        "\n});",
        "\ngoogle.maps.event.addListener(marker, 'drag', function() {",
        "\nupdateMarkerStatus(' ');",
        "\nupdateMarkerPosition(marker.getPosition());",
        "\n});",
        "\ngoogle.maps.event.addListener(marker, 'dragend', function() {",
        "\nupdateMarkerStatus(' ');",
        "\ngeocodePosition(marker.getPosition());",
        "\n});",
        "\n}",
        "\ngoogle.maps.event.addDomListener(window, 'load', initialize);",
        "\n</script></head>",
        "\n<body><style>",
        "\n#mapCanvas {",
        "\nwidth: 800px;",
        "\nheight: 420px;",
        "\nfloat: left;",
        "\n}",
        "\n#infoPanel {",
        "\nfloat: left;",
        "\nmargin-left: 10px;",
        "\n}",
        "\n#infoPanel div {",
        "\nmargin-bottom: 5px;",
        "\n}",
        "\n</style>",
        "\n<div id=\"mapCanvas\"></div>",
        "\n<div id=\"infoPanel\">",
        "\n<div id=\"markerStatus\"><i>Déplacez la punaise à l'aide de la souris</i></div>",
        "\n<div id=\"info\"></div>",
        "\n<div id=\"address\"></div>",
        "\n</div>",
        "\n</body></html>",
    };
    QString page = QStringLiteral("<html><head>") + QStringLiteral("\n<script type=\"text/javascript\" src=\"") +
                   addresses.pinPageApi + QStringLiteral("\"></script>");
    for (const char *f : before)
        page += QString::fromUtf8(f);
    // Google's geocoder hands markup-free text that goes into innerHTML: escape it
    // (the keyless adapter escapes its own answers).
    if (addresses.keyed)
        page.replace(QStringLiteral("\nupdateMarkerAddress(responses[0].formatted_address);"),
                     QStringLiteral("\nupdateMarkerAddress(String(responses[0].formatted_address).replace(/[&<>\"']/g, "
                                    "function(c) { return '&#' + c.charCodeAt(0) + ';'; }));"));
    page += MapCoordinate(latitude) + QStringLiteral(", ") + MapCoordinate(longitude) + QStringLiteral(");");
    for (const char *f : after)
        page += QString::fromUtf8(f);
    page += JsString(MapTitle(description));
    for (const char *f : tail)
        page += QString::fromUtf8(f);
    return page;
}

QString AddPinPage(const MapAddresses &addresses)
{
    static const char *const fragments[] = {
        "<html><head>",
        "\n<style>",
        "\nhtml, body, #map-canvas {",
        "\nwidth: 800px;",
        "\nheight: 500px;",
        "\nmargin: 0px;",
        "\npadding: 0px",
        "\n}",
        "\n</style>",
        "\n<select id=\"clique\" style=\"width:200px;\"><OPTION selected ></OPTION></select><br/>",
    };
    static const char *const script[] = {
        "\n<script>",
        "\nfunction initialize() {",
        "\nvar mapOptions = {",
        "\nzoom: 5,",
        "\ncenter: new google.maps.LatLng(47.20,3.80)",
        "\n};",
        "\nvar map = new google.maps.Map(document.getElementById('map-canvas'),mapOptions);",
        "\ngoogle.maps.event.addListener(map, 'click', function(e) {",
        "\nplaceMarker(e.latLng, map);",
        "\n});",
        "\n}",
        "\nfunction placeMarker(position, map) {",
        "\nvar marker = new google.maps.Marker({",
        "\nposition: position,",
        "\ndraggable: true,",
        "\nmap: map",
        "\n});",
        "\ngoogle.maps.event.addListener(marker, 'dragend', function (event) {",
        "\nvar toto = this.getPosition().lat();",
        "\nvar toto2 = this.getPosition().lng();",
        "\nvar latLngStr5 = toto.toFixed(6) + ', ' + toto2.toFixed(6);",
        "\ndocument.getElementById(\"clique\").options[0].text = latLngStr5;",
        "\n});",
        "\n}",
        "\ngoogle.maps.event.addDomListener(window, 'load', initialize);",
        "\n</script></head>",
        "\n<body><div id=\"map-canvas\"></div>",
        "\n</body></html>",
    };
    QString page;
    for (const char *f : fragments)
        page += QString::fromUtf8(f);
    page += QStringLiteral("\n<script src=\"") + addresses.api + QStringLiteral("\"></script>");
    for (const char *f : script)
        page += QString::fromUtf8(f);
    return page;
}

}  // namespace orvalis
