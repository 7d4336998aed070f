#include "files/kml_format.h"

#include "files/gpx_format.h"
#include "files/text_codecs.h"
#include "files/xml_scan.h"

namespace orvalis {

using namespace xml;

namespace {

// The first "lon,lat[,alt]" of a coordinates text.
bool SplitCoordinates(const Cursor &c, qsizetype from, qsizetype to, QByteArrayView *lon, QByteArrayView *lat)
{
    qsizetype i = from;
    while (i < to && IsSpace(c.at(i)))
        ++i;
    const qsizetype lonStart = i;
    while (i < to && c.at(i) != ',' && !IsSpace(c.at(i)) && c.at(i) != '<')
        ++i;
    if (i >= to || c.at(i) != ',')
        return false;
    *lon = c.slice(lonStart, i);
    const qsizetype latStart = ++i;
    while (i < to && c.at(i) != ',' && !IsSpace(c.at(i)) && c.at(i) != '<')
        ++i;
    *lat = c.slice(latStart, i);
    return !lon->isEmpty() && !lat->isEmpty();
}

}  // namespace

bool PlacemarkPoint(const Cursor &c, const Element &e, QByteArrayView *lon, QByteArrayView *lat)
{
    qsizetype nameEnd = 0;
    if (FindElement(c, e.contentStart, e.contentEnd, "Point", &nameEnd) < 0)
        return false;
    if (FindElement(c, nameEnd, e.contentEnd, "coordinates", &nameEnd) < 0)
        return false;
    qsizetype textStart = nameEnd;
    while (textStart < e.contentEnd && c.at(textStart) != '>')
        ++textStart;
    return SplitCoordinates(c, textStart + 1, e.contentEnd, lon, lat);
}

bool HasKmlRoot(QByteArrayView utf8)
{
    const Cursor c(utf8);
    qsizetype nameEnd = 0;
    return FindElement(c, 0, c.size(), "kml", &nameEnd) >= 0;
}

bool IsKmlDocument(QByteArrayView data)
{
    const std::optional<QByteArray> transcoded = XmlAsUtf8(data);
    return HasKmlRoot(transcoded ? QByteArrayView(*transcoded) : data);
}

ReadResult ReadKml(QByteArrayView data, PoiTable &table, QChar separator)
{
    ReadResult result;
    const XmlText text = PrepareXml(data);
    const Cursor c(text.data);
    int placemarks = 0;
    ForEachElement(c, {"Placemark"}, [&](const Element &e) {
        // A placemark cut by the end of the file is left out, as when the file ends before it (and noted).
        if (++placemarks && e.cut) {
            result.truncated = true;
            result.firstSkipped = placemarks;
            return false;
        }
        QByteArrayView lon, lat;
        if (!PlacemarkPoint(c, e, &lon, &lat))
            return true;
        Element placemark = e;
        placemark.lat = lat;
        placemark.lon = lon;
        return AppendNamedPoi(table, result, c, placemark, text.transcoded.has_value(), "description", false, separator);
    });
    return result;
}

QByteArray KmlFileBytes(const PoiTable &table, int first, int last)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    for (int row = first; row <= last; ++row) {
        QString lat = table.field(row, FieldLatitude), lon = table.field(row, FieldLongitude);
        if (lat.isEmpty() || lon.isEmpty())
            continue;
        lat.replace(u',', u'.');
        lon.replace(u',', u'.');
        out += "<Placemark><name>" + XmlTextBytes(table.field(row, FieldDescription)) + "</name><Point><coordinates>" +
               EscapeXml(lon).toUtf8() + ',' + EscapeXml(lat).toUtf8() + "</coordinates></Point></Placemark>\n";
    }
    out += "</Document>\n</kml>\n";
    return out;
}

}  // namespace orvalis
