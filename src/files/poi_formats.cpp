#include "files/poi_formats.h"

#include "files/csv_format.h"
#include "files/geojson_format.h"
#include "files/gpx_format.h"
#include "files/kml_format.h"
#include "files/xml_scan.h"
#include "geo/decimal_entry.h"

#include <QFileInfo>

namespace orvalis {

std::optional<PoiFormat> PoiFormatNamed(const QString &name)
{
    const QString n = name.toLower();
    if (n == u"ov2")
        return PoiFormat::Ov2;
    if (n == u"gpx")
        return PoiFormat::Gpx;
    if (n == u"csv")
        return PoiFormat::Csv;
    if (n == u"geojson" || n == u"json")
        return PoiFormat::GeoJson;
    if (n == u"kml")
        return PoiFormat::Kml;
    return std::nullopt;
}

std::optional<PoiFormat> PoiFormatOfPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    return suffix.isEmpty() ? std::nullopt : PoiFormatNamed(suffix);
}

bool ReadPoiFormat(PoiFormat format, QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result,
                   QString *error)
{
    switch (format) {
    case PoiFormat::Ov2:
        *result = ReadOv2(data, table, separator);
        break;
    case PoiFormat::Gpx:
        if (!IsGpxDocument(data)) {
            *error = QStringLiteral("not a GPX file");
            return false;
        }
        *result = ReadGpx(data, table, separator);
        break;
    case PoiFormat::Csv:
        *result = ReadCsv(data, table, separator);
        break;
    case PoiFormat::GeoJson:
        if (!ReadGeoJson(data, table, separator, result)) {
            *error = QStringLiteral("not a GeoJSON file");
            return false;
        }
        break;
    case PoiFormat::Kml:
        if (!IsKmlDocument(data)) {
            *error = QStringLiteral("not a KML file");
            return false;
        }
        *result = ReadKml(data, table, separator);
        break;
    }
    table.squeeze();
    return true;
}

namespace {

// GPX 1.1 for tools that check it: the namespace, name and desc apart (the
// table's "name - desc" split at its first " - "), one waypoint a line.
QByteArray Gpx11Bytes(const PoiTable &table, int first, int last)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"Orvalis\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                     "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    for (int row = first; row <= last; ++row) {
        const auto lat = ParseDecimal(PointDecimal(table.field(row, FieldLatitude)), u'.');
        const auto lon = ParseDecimal(PointDecimal(table.field(row, FieldLongitude)), u'.');
        // The schema wants a latitude in [-90, 90] and a longitude in [-180, 180).
        if (!lat || !lon || *lat < -90 || *lat > 90 || *lon < -180 || *lon >= 180)
            continue;
        const QString description = table.field(row, FieldDescription);
        const qsizetype dash = description.indexOf(QStringLiteral(" - "));
        const QString name = dash < 0 ? description : description.left(dash);
        const QString desc = dash < 0 ? QString() : description.mid(dash + 3);
        out += "<wpt lat=\"" + PointDecimal(table.field(row, FieldLatitude)).trimmed().toUtf8() + "\" lon=\"" +
               PointDecimal(table.field(row, FieldLongitude)).trimmed().toUtf8() + "\">";
        if (!name.isEmpty())
            out += "<name>" + EscapeXml(name).toUtf8() + "</name>";
        if (!desc.isEmpty())
            out += "<desc>" + EscapeXml(desc).toUtf8() + "</desc>";
        out += "</wpt>\n";
    }
    out += "</gpx>\n";
    return out;
}

}  // namespace

QByteArray PoiFormatBytes(PoiFormat format, const PoiTable &table, int first, int last, const WriteOptions &options)
{
    switch (format) {
    case PoiFormat::Ov2:
        return Ov2FileBytes(table, first, last, options.separator);
    case PoiFormat::Gpx:
        return options.gpx11 ? Gpx11Bytes(table, first, last) : GpxFileBytes(table, first, last);
    case PoiFormat::Csv:
        return CsvFileBytes(table, first, last);
    case PoiFormat::GeoJson:
        return GeoJsonFileBytes(table, first, last);
    case PoiFormat::Kml:
        return KmlFileBytes(table, first, last);
    }
    return {};
}

std::vector<LatLon> ReadGpxRoutePoints(QByteArrayView data)
{
    using namespace xml;
    const std::optional<QByteArray> transcoded = XmlAsUtf8(data);
    const Cursor c(transcoded ? QByteArrayView(*transcoded) : data);
    std::vector<LatLon> points;
    // Route and track points lie inside rte and trk: visit those, then their points.
    ForEachElement(c, {"rte", "trk"}, [&](const Element &route) {
        const Cursor inner(c.slice(route.contentStart, route.contentEnd));
        ForEachElement(inner, {"rtept", "trkpt"}, [&](const Element &e) {
            const auto lat = ParseDecimal(QString::fromLatin1(e.lat), u'.');
            const auto lon = ParseDecimal(QString::fromLatin1(e.lon), u'.');
            if (lat && lon)
                points.push_back({static_cast<float>(*lat), static_cast<float>(*lon)});
            return true;
        });
        return true;
    });
    return points;
}

}  // namespace orvalis
