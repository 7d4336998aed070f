#include "files/poi_formats.h"

#include "files/poi_record.h"

#include "files/csv_format.h"
#include "files/geojson_format.h"
#include "files/gpx_format.h"
#include "files/kml_format.h"
#include "files/xml_scan.h"
#include "geo/decimal_entry.h"

#include <QFileInfo>
#include <QLocale>
#include <cctype>

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
    if (n == u"window-csv")
        return PoiFormat::WindowCsv;
    return std::nullopt;
}

std::optional<PoiFormat> PoiFormatOfPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    const auto format = suffix.isEmpty() ? std::nullopt : PoiFormatNamed(suffix);
    return format == PoiFormat::WindowCsv ? std::nullopt : format;
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
    case PoiFormat::WindowCsv:
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
QByteArray Gpx11Bytes(const PoiTable &table, int first, int last, int *written)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<gpx version=\"1.1\" creator=\"Orvalis\" xmlns=\"http://www.topografix.com/GPX/1/1\" "
                     "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                     "xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd\">\n";
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    int count = 0;
    for (int row = first; row <= last; ++row) {
        const QString latText = PointDecimal(table.field(row, FieldLatitude));
        const QString lonText = PointDecimal(table.field(row, FieldLongitude));
        const auto lat = ParseDecimal(latText, u'.');
        const auto lon = ParseDecimal(lonText, u'.');
        // The schema wants a latitude in [-90, 90] and a longitude in [-180, 180): 180 is -180.
        if (!lat || !lon || *lat < -90 || *lat > 90 || *lon < -180 || *lon > 180)
            continue;
        const QByteArray lonBytes = *lon == 180 ? QByteArray("-180") : PlainDecimalText(lonText.trimmed().toLatin1());
        const QString description = table.field(row, FieldDescription);
        const qsizetype dash = description.indexOf(QStringLiteral(" - "));
        const QString name = dash < 0 ? description : description.left(dash);
        const QString desc = dash < 0 ? QString() : description.mid(dash + 3);
        out += "<wpt lat=\"" + PlainDecimalText(latText.trimmed().toLatin1()) + "\" lon=\"" + lonBytes + "\">";
        if (!name.isEmpty())
            out += "<name>" + XmlTextBytes(name) + "</name>";
        if (!desc.isEmpty())
            out += "<desc>" + XmlTextBytes(desc) + "</desc>";
        out += "</wpt>\n";
        ++count;
    }
    out += "</gpx>\n";
    if (written)
        *written = count;
    return out;
}

}  // namespace

QByteArray PoiFormatBytes(PoiFormat format, const PoiTable &table, int first, int last, const WriteOptions &options,
                          int *written)
{
    const int rows = table.isEmptyForAdd() ? 0 : std::max(0, std::min(last, table.lastRow()) - std::max(first, 1) + 1);
    if (written)
        *written = rows;
    switch (format) {
    case PoiFormat::Ov2:
        return Ov2FileBytes(table, first, last, options.separator);
    case PoiFormat::Gpx:
        return options.gpx11 ? Gpx11Bytes(table, first, last, written) : GpxFileBytes(table, first, last);
    case PoiFormat::Csv:
        return CsvScriptBytes(table, first, last, written);
    case PoiFormat::WindowCsv:
        if (written) {
            *written = 0;
            for (int row = std::max(first, 1); row <= std::min(last, table.lastRow()); ++row)
                *written += !table.fieldIsEmpty(row, FieldLongitude) && !table.fieldIsEmpty(row, FieldDescription);
        }
        return CsvFileBytes(table, first, last);
    case PoiFormat::GeoJson:
        return GeoJsonFileBytes(table, first, last);
    case PoiFormat::Kml:
        return KmlFileBytes(table, first, last);
    }
    return {};
}

std::vector<std::vector<LatLon>> ReadGpxRouteLines(QByteArrayView data)
{
    using namespace xml;
    const std::optional<QByteArray> transcoded = XmlAsUtf8(data);
    const Cursor c(transcoded ? QByteArrayView(*transcoded) : data);
    std::vector<std::vector<LatLon>> lines;
    auto pointsOf = [](const Cursor &inner, const char *name) {
        std::vector<LatLon> points;
        ForEachElement(inner, {name}, [&](const Element &e) {
            const auto lat = ParseDecimal(QString::fromLatin1(e.lat), u'.');
            const auto lon = ParseDecimal(QString::fromLatin1(e.lon), u'.');
            if (lat && lon)
                points.push_back({static_cast<float>(*lat), static_cast<float>(*lon)});
            return true;
        });
        return points;
    };
    auto keep = [&](std::vector<LatLon> &&points) {
        if (!points.empty())
            lines.push_back(std::move(points));
    };
    // Every route, and every segment of every track, is a line of its own.
    ForEachElement(c, {"rte", "trk"}, [&](const Element &e) {
        const Cursor inner(c.slice(e.contentStart, e.contentEnd));
        if (e.name == "rte") {
            keep(pointsOf(inner, "rtept"));
            return true;
        }
        bool segments = false;
        ForEachElement(inner, {"trkseg"}, [&](const Element &seg) {
            segments = true;
            keep(pointsOf(Cursor(inner.slice(seg.contentStart, seg.contentEnd)), "trkpt"));
            return true;
        });
        if (!segments)
            keep(pointsOf(inner, "trkpt"));
        return true;
    });
    return lines;
}

}  // namespace orvalis
