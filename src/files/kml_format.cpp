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

// The first point of a placemark: its longitude and latitude texts.
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

}  // namespace

namespace {

bool HasKmlRoot(QByteArrayView utf8)
{
    const Cursor c(utf8);
    qsizetype nameEnd = 0;
    return FindElement(c, 0, c.size(), "kml", &nameEnd) >= 0;
}

}  // namespace

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
    ForEachElement(c, {"Placemark"}, [&](const Element &e) {
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

PoiRecords ReadKmlRecords(QByteArrayView data)
{
    PoiRecords out;
    ForEachKmlRecord(data, [&](PoiRecord &&r) { out.records.push_back(std::move(r)); });
    return out;
}

void ForEachKmlRecord(QByteArrayView data, const std::function<void(PoiRecord &&)> &visit)
{
    BlockReader in(data);
    ForEachKmlRecord(in, visit);
}

bool ForEachKmlRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted)
{
    const bool trusted = PrepareXml(in, "kml");
    if (!HasKmlRoot(in.view()))
        return false;
    ForEachElement(in, {"Placemark"}, [&](const Cursor &c, const Element &e) {
        QByteArrayView lon, lat;
        if (!PlacemarkPoint(c, e, &lon, &lat) || (wanted && !wanted(lat.trimmed(), lon.trimmed())))
            return true;
        PoiRecord r;
        r.lat = lat.toByteArray().trimmed();
        r.lon = lon.toByteArray().trimmed();
        // The altitude, when the coordinates have one.
        const qsizetype third = (lat.data() - c.slice(0, 0).data()) + lat.size();
        if (c.at(third) == ',') {
            qsizetype end = third + 1;
            while (end < e.contentEnd && c.at(end) != '<' && !IsSpace(c.at(end)) && c.at(end) != ',')
                ++end;
            r.ele = QString::fromLatin1(c.slice(third + 1, end));
        }
        auto textOf = [&](const char *name) {
            qsizetype end = 0;
            return FindElement(c, e.contentStart, e.contentEnd, name, &end) >= 0 ? ElementTextAt(c, end, e.contentEnd, trusted)
                                                                               : QString();
        };
        r.name = textOf("name");
        r.desc = textOf("description");
        r.time = textOf("when");
        // ExtendedData: the GPX fields by their names, the rest as properties.
        ForEachElement(Cursor(c.slice(0, e.contentEnd)), {"Data"}, [&](const Element &data) {
            QString key;
            bool selfClosing = false;
            const Tag tag = ReadTagName(c, data.start);
            ForEachAttribute(c, tag.nameEnd, &selfClosing, [&](QByteArrayView name, QByteArrayView value) {
                if (name == "name")
                    key = DecodeXmlText(XmlRunText(value, trusted));
            });
            qsizetype valueEnd = 0;
            const QString value = FindElement(c, data.contentStart, data.contentEnd, "value", &valueEnd) >= 0
                                      ? ElementTextAt(c, valueEnd, data.contentEnd, trusted)
                                      : QString();
            QString *field = key == u"cmt" ? &r.cmt : key == u"sym" ? &r.sym : key == u"type" ? &r.type
                           : key == u"src" ? &r.src : (key == u"ele" && r.ele.isEmpty()) ? &r.ele : nullptr;
            if (field)
                *field = value;
            else if (!key.isEmpty())
                r.properties.push_back({key, JsonStringOf(value)});
            return true;
        }, e.contentStart);
        visit(std::move(r));
        return true;
    });
    return true;
}

QByteArray KmlRecordHead()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
}

bool AppendKmlRecord(QByteArray &out, const PoiRecord &r)
{
    const QByteArray lat = PlainDecimalText(r.lat), lon = PlainDecimalText(r.lon);
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    const QByteArray ele = r.ele.isEmpty() ? QByteArray() : PlainDecimalText(r.ele.toLatin1());
    out += "<Placemark>";
    if (!r.name.isEmpty())
        out += "<name>" + XmlTextBytes(r.name) + "</name>";
    if (!r.desc.isEmpty())
        out += "<description>" + XmlTextBytes(r.desc) + "</description>";
    if (!r.time.isEmpty())
        out += "<TimeStamp><when>" + XmlTextBytes(r.time) + "</when></TimeStamp>";
    QByteArray data;
    auto datum = [&](const QString &key, const QString &value) {
        data += "<Data name=\"" + XmlTextBytes(key) + "\"><value>" + XmlTextBytes(value) + "</value></Data>";
    };
    const std::pair<const char *, const QString *> fields[] = {{"cmt", &r.cmt}, {"src", &r.src}, {"sym", &r.sym}, {"type", &r.type}};
    for (const auto &[key, value] : fields)
        if (!value->isEmpty())
            datum(QString::fromLatin1(key), *value);
    if (!r.ele.isEmpty() && ele.isEmpty())
        datum(QStringLiteral("ele"), r.ele);
    for (const PoiProperty &p : r.properties)
        datum(p.key, PropertyText(p.json));
    if (!data.isEmpty())
        out += "<ExtendedData>" + data + "</ExtendedData>";
    out += "<Point><coordinates>" + lon + ',' + lat + (ele.isEmpty() ? QByteArray() : ',' + ele) +
           "</coordinates></Point></Placemark>\n";
    return true;
}

QByteArray KmlRecordTail()
{
    return "</Document>\n</kml>\n";
}

QByteArray KmlRecordBytes(const PoiRecords &in, int *written)
{
    QByteArray out = KmlRecordHead();
    int count = 0;
    for (const PoiRecord &r : in.records)
        count += AppendKmlRecord(out, r);
    out += KmlRecordTail();
    if (written)
        *written = count;
    return out;
}

}  // namespace orvalis
