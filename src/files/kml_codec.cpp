// KML: point placemarks with their name, description, time, altitude and
// ExtendedData.
#include "files/gpx_format.h"
#include "files/kml_format.h"
#include "files/poi_codec.h"
#include "files/record_fields.h"
#include "files/record_texts.h"
#include "files/xml_scan.h"

#include <QCoreApplication>
#include <memory>

namespace orvalis {

using namespace xml;

namespace {

// Every point placemark a block at a time: the GPX fields by name from its
// ExtendedData, every other datum a property. False (nothing visited) when the
// input is no KML document.
bool ForEachKmlRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted,
                      ReadResult *result)
{
    const bool trusted = PrepareXml(in, "kml");
    if (!HasKmlRoot(in.view()))
        return false;
    int placemarks = 0;
    ForEachElement(in, {"Placemark"}, [&](const Cursor &c, const Element &e) {
        ++placemarks;
        // A placemark cut by the end of the input would give what it was cut to.
        if (e.cut) {
            if (result) {
                result->truncated = true;
                result->firstSkipped = placemarks;
            }
            return false;
        }
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
                TakeFlatProperty(r, key, JsonStringOf(value));
            return true;
        }, e.contentStart);
        visit(std::move(r));
        return true;
    });
    return true;
}

bool AppendKmlRecord(QByteArray &out, const PoiRecord &record, const XmlNamespaces &namespaces)
{
    const QByteArray lat = PlainDecimalText(record.lat), lon = PlainDecimalText(record.lon);
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    // Texts left as bytes are escaped from them; those that go as properties are decoded first.
    std::optional<PoiRecord> decoded;
    const PoiRecord &r = FlatTextsDecoded(record, decoded);
    const QString eleText = RecordText(r, TextIndex(&PoiRecord::ele));
    const QByteArray ele = eleText.isEmpty() ? QByteArray() : PlainDecimalText(eleText.toLatin1());
    const auto text = [&](QByteArray &to, QString PoiRecord::*field, const char *open, const char *close) {
        const int f = TextIndex(field);
        if (!HasText(r, f))
            return;
        to += open;
        if (const std::optional<EncodedText> bytes = DeferredText(r, f))
            AppendXmlText(to, *bytes);
        else
            AppendXmlText(to, r.*field);
        to += close;
    };
    out += "<Placemark>";
    text(out, &PoiRecord::name, "<name>", "</name>");
    text(out, &PoiRecord::desc, "<description>", "</description>");
    text(out, &PoiRecord::time, "<TimeStamp><when>", "</when></TimeStamp>");
    QByteArray data;
    text(data, &PoiRecord::cmt, "<Data name=\"cmt\"><value>", "</value></Data>");
    text(data, &PoiRecord::src, "<Data name=\"src\"><value>", "</value></Data>");
    text(data, &PoiRecord::sym, "<Data name=\"sym\"><value>", "</value></Data>");
    text(data, &PoiRecord::type, "<Data name=\"type\"><value>", "</value></Data>");
    auto datum = [&](const QString &key, const QString &value) {
        data += "<Data name=\"" + XmlTextBytes(key) + "\"><value>" + XmlTextBytes(value) + "</value></Data>";
    };
    if (!eleText.isEmpty() && ele.isEmpty())
        datum(QStringLiteral("ele"), eleText);
    for (const PoiProperty &p : FlatProperties(r, namespaces))
        datum(p.key, PropertyText(p.json));
    if (!data.isEmpty())
        out += "<ExtendedData>" + data + "</ExtendedData>";
    out += "<Point><coordinates>" + lon + ',' + lat + (ele.isEmpty() ? QByteArray() : ',' + ele) +
           "</coordinates></Point></Placemark>\n";
    return true;
}

// KML 2.2 written as the records come.
class KmlRecordWriter final : public FormatRecordWriter {
public:
    void start(WriterBuffer &out, const XmlNamespaces &namespaces) override
    {
        namespaces_ = namespaces;
        out.bytes += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n";
    }
    bool append(WriterBuffer &out, const PoiRecord &r) override { return AppendKmlRecord(out.bytes, r, namespaces_); }
    void finish(WriterBuffer &out) override { out.bytes += "</Document>\n</kml>\n"; }

private:
    XmlNamespaces namespaces_;
};

class Kml final : public PoiCodec {
public:
    Kml() : PoiCodec("kml", {"kml"}, QStringLiteral("KML")) {}

    bool recognises(QByteArrayView data) const override { return IsKmlDocument(data); }
    const char *notOfFormat() const override { return QT_TRANSLATE_NOOP("Cli", "not a KML file"); }
    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts) const override
    {
        return ForEachKmlRecord(in, visit, wanted, result);
    }
    ReadVerdict verdict(const ReadCheck &check) const override
    {
        return BadRecordsVerdict(check, check.result.truncated ? 1 : 0,
                                 QCoreApplication::translate("Cli", "%1: placemark %2 is cut short by the end of the file")
                                     .arg(check.file)
                                     .arg(check.result.firstSkipped));
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &) const override
    {
        return std::make_unique<KmlRecordWriter>();
    }
    bool writesTextBytes() const override { return true; }
    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        *result = ReadKml(data, table, separator);
        return true;
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &, int *written) const override
    {
        if (written)
            *written = RowsBetween(table, first, last);
        return KmlFileBytes(table, first, last);
    }
};

}  // namespace

const PoiCodec &KmlCodec()
{
    static const Kml codec;
    return codec;
}

}  // namespace orvalis
