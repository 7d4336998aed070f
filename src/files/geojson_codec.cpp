// GeoJSON: point features with their properties; the elevation as the third
// coordinate.
#include "files/geojson_format.h"
#include "files/poi_codec.h"
#include "files/record_fields.h"
#include "files/record_texts.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <cmath>
#include <memory>

namespace orvalis {

namespace {

void AddPoint(const QJsonObject &feature, const QJsonArray &position, QByteArrayView json,
              const std::function<void(PoiRecord &&)> &visit);

// A JSON number's shortest text, which reads back as the same double.
QByteArray NumberText(double value)
{
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

QByteArray CompactJson(const QJsonValue &value)
{
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

void AddRecord(const QJsonObject &feature, QByteArrayView json, const std::function<void(PoiRecord &&)> &visit, ReadResult *result)
{
    for (const QJsonArray &position : FeaturePoints(feature, result))
        AddPoint(feature, position, json, visit);
}

void AddPoint(const QJsonObject &feature, const QJsonArray &position, QByteArrayView json,
              const std::function<void(PoiRecord &&)> &visit)
{
    PoiRecord r;
    const double lon = position.at(0).toDouble(), lat = position.at(1).toDouble();
    r.lon = NumberText(lon);
    r.lat = NumberText(lat);
    // A coordinate that cannot be one is kept as written, to be said so.
    if (std::fabs(lat) > 90 || std::fabs(lon) > 180) {
        for (auto [text, value] : {std::pair{&r.lon, lon}, std::pair{&r.lat, lat}})
            if (const QByteArray written = NumberAsWritten(json, value); !written.isEmpty())
                *text = written;
    }
    if (position.size() > 2 && position.at(2).isDouble())
        r.ele = QString::fromLatin1(NumberText(position.at(2).toDouble()));
    const QJsonObject properties = feature.value(QStringLiteral("properties")).toObject();
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        const QString key = it.key();
        const QJsonValue v = it.value();
        QString *field = !v.isString() ? nullptr
                         : key == u"name" ? &r.name
                         : (key == u"desc" || (key == u"description" && r.desc.isEmpty())) ? &r.desc
                         : key == u"cmt" ? &r.cmt : key == u"time" ? &r.time : key == u"sym" ? &r.sym
                         : key == u"type" ? &r.type : key == u"src" ? &r.src
                         : (key == u"ele" && r.ele.isEmpty()) ? &r.ele : nullptr;
        if (field)
            *field = v.toString();
        else
            TakeFlatProperty(r, key, CompactJson(v));
    }
    visit(std::move(r));
}

// A whole document: a FeatureCollection, a Feature or a Point.
bool VisitDocument(QByteArrayView data, const std::function<void(PoiRecord &&)> &visit, ReadResult *result)
{
    // A document holding a number a double cannot hold (a Feature, a Point) is a bad record.
    ReadResult read;
    std::optional<QJsonArray> features = DocumentFeatures(data);
    std::optional<QByteArray> nulled;
    if (!features && (nulled = OutOfRangeNumbersAsNull(data, &read.badNumber)))
        features = DocumentFeatures(*nulled);
    if (!features)
        return false;
    int number = 0;
    for (const QJsonValue &f : *features) {
        ++number;
        if (nulled) {
            if (read.skipped++ == 0)
                read.firstSkipped = number;
            continue;
        }
        AddRecord(f.toObject(), data, visit, result);
    }
    if (result) {
        result->skipped = read.skipped;
        result->firstSkipped = read.firstSkipped;
        result->badNumber = read.badNumber;
    }
    return true;
}

// A feature the streaming reader could not parse: a bad record when a number
// a double cannot hold is why (it is counted), otherwise no GeoJSON.
bool BadNumberFeature(QByteArrayView feature, int number, ReadResult *result)
{
    QByteArray first;
    const std::optional<QByteArray> nulled = OutOfRangeNumbersAsNull(feature, &first);
    QJsonParseError error{};
    if (!nulled || (ParseJson(*nulled, &error), error.error != QJsonParseError::NoError))
        return false;
    if (result && result->skipped++ == 0) {
        result->firstSkipped = number;
        result->badNumber = first;
    }
    return true;
}

bool IsJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool ForEachGeoJsonRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result)
{
    int features = 0;
    // The root is held until its "features" array begins; each feature is then
    // parsed on its own. A root without that array (a Feature, a Point) is read whole.
    int depth = 0;
    bool started = false, inString = false, escaped = false, expectKey = false;
    bool inFeatures = false, sawFeatures = false;
    qsizetype i = 0, stringStart = -1, featureStart = -1;
    QByteArray lastKey, type;
    in.fill(3);
    if (in.view().startsWith("\xEF\xBB\xBF"))
        in.consume(3);
    for (;;) {
        QByteArrayView v = in.view();
        while (i < v.size()) {
            const char c = v[i];
            if (inString) {
                if (escaped) {
                    escaped = false;
                } else if (c == '\\') {
                    escaped = true;
                } else if (c == '"') {
                    inString = false;
                    if (stringStart >= 0) {
                        // A key or a value of the root.
                        const QByteArray text = v.sliced(stringStart, i - stringStart).toByteArray();
                        if (expectKey)
                            lastKey = text;
                        else if (lastKey == "type")
                            type = text;
                        expectKey = false;
                        stringStart = -1;
                    }
                }
                ++i;
                continue;
            }
            if (IsJsonSpace(c)) {
                ++i;
                continue;
            }
            if (!started) {
                if (c != '{')
                    return false;
                started = true;
            }
            if (c == '"') {
                inString = true;
                stringStart = depth == 1 ? i + 1 : -1;
            } else if (c == '{' || c == '[') {
                if (inFeatures && depth == 2 && c == '{')
                    featureStart = i;
                ++depth;
                expectKey = depth == 1;
                if (depth == 2 && c == '[' && lastKey == "features" && !sawFeatures) {
                    inFeatures = sawFeatures = true;
                    // What came before the array is done with.
                    in.consume(i + 1);
                    v = in.view();
                    i = 0;
                    continue;
                }
            } else if (c == '}' || c == ']') {
                if (--depth < 0)
                    return false;
                if (inFeatures && depth == 2 && c == '}' && featureStart >= 0) {
                    QJsonParseError error{};
                    const QByteArrayView bytes = v.sliced(featureStart, i + 1 - featureStart);
                    const QJsonDocument feature = ParseJson(bytes, &error);
                    ++features;
                    if (error.error == QJsonParseError::NoError)
                        AddRecord(feature.object(), bytes, visit, result);
                    else if (!BadNumberFeature(bytes, features, result))
                        return false;
                    featureStart = -1;
                    in.consume(i + 1);
                    v = in.view();
                    i = 0;
                    continue;
                }
                if (inFeatures && depth == 1)
                    inFeatures = false;
            } else if (c == ',') {
                expectKey = depth == 1;
            }
            ++i;
        }
        // Once the features are under way, only the feature being read (or a
        // root key being read) is held.
        if (sawFeatures) {
            const qsizetype keep = featureStart >= 0 ? featureStart : stringStart >= 0 ? stringStart - 1 : i;
            in.consume(keep);
            i -= keep;
            if (featureStart >= 0)
                featureStart -= keep;
            if (stringStart >= 0)
                stringStart -= keep;
        }
        if (in.atEnd())
            break;
        in.more();
    }
    if (!started || depth != 0 || inString)
        return false;
    if (sawFeatures)
        return type == "FeatureCollection";
    return VisitDocument(in.view(), visit, result);
}

bool AppendGeoJsonRecord(QByteArray &out, const PoiRecord &record, bool first, const XmlNamespaces &namespaces)
{
    const QByteArray lat = JsonNumber(QString::fromLatin1(record.lat)), lon = JsonNumber(QString::fromLatin1(record.lon));
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    // Texts left as bytes are written from them; those that go as other properties are decoded first.
    std::optional<PoiRecord> decoded;
    const PoiRecord &r = FlatTextsDecoded(record, decoded);
    // The elevation as the third coordinate when it is a number, a property otherwise.
    const QString eleText = RecordText(r, TextIndex(&PoiRecord::ele));
    const QByteArray ele = eleText.isEmpty() ? QByteArray() : JsonNumber(eleText);
    out += first ? "\n" : ",\n";
    out += R"({"type":"Feature","geometry":{"type":"Point","coordinates":[)" + lon + ',' + lat +
           (ele.isEmpty() ? QByteArray() : ',' + ele) + R"(]},"properties":{)";
    bool firstProperty = true;
    auto property = [&](const QString &key, const QByteArray &json) {
        out += (firstProperty ? "" : ",") + JsonString(key) + ':' + json;
        firstProperty = false;
    };
    const std::pair<const char *, QString PoiRecord::*> fields[] = {{"name", &PoiRecord::name}, {"desc", &PoiRecord::desc},
                                                                    {"cmt", &PoiRecord::cmt},   {"time", &PoiRecord::time},
                                                                    {"src", &PoiRecord::src},   {"sym", &PoiRecord::sym},
                                                                    {"type", &PoiRecord::type}};
    for (const auto &[key, field] : fields) {
        const int f = TextIndex(field);
        if (!HasText(r, f))
            continue;
        out.append(firstProperty ? "\"" : ",\"").append(key).append("\":");
        firstProperty = false;
        if (const std::optional<EncodedText> bytes = DeferredText(r, f))
            AppendJsonString(out, *bytes);
        else
            out += JsonString(r.*field);
    }
    if (!eleText.isEmpty() && ele.isEmpty())
        property(QStringLiteral("ele"), JsonString(eleText));
    for (const PoiProperty &p : FlatProperties(r, namespaces))
        property(p.key, p.json);
    out += "}}";
    return true;
}

// A FeatureCollection written as the records come.
class GeoJsonRecordWriter final : public FormatRecordWriter {
public:
    void start(WriterBuffer &out, const XmlNamespaces &namespaces) override
    {
        namespaces_ = namespaces;
        out.bytes += R"({"type":"FeatureCollection","features":[)";
    }
    bool append(WriterBuffer &out, const PoiRecord &r) override
    {
        const bool ok = AppendGeoJsonRecord(out.bytes, r, first_, namespaces_);
        first_ = first_ && !ok;
        return ok;
    }
    void finish(WriterBuffer &out) override { out.bytes += "\n]}\n"; }

private:
    bool first_ = true;
    XmlNamespaces namespaces_;
};

class GeoJson final : public PoiCodec {
public:
    GeoJson() : PoiCodec("geojson", {"geojson", "json"}, QStringLiteral("GeoJSON"), {"json"}) {}

    const char *notOfFormat() const override { return QT_TRANSLATE_NOOP("Cli", "not a GeoJSON file"); }
    // A feature's coordinates are known once it is whole: filtered after.
    bool readRecords(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result,
                     const CoordinateFilter &wanted, DeferTexts) const override
    {
        return ForEachGeoJsonRecord(in, WantedOnly(visit, wanted), result);
    }
    // A feature holding a number a double cannot hold is a bad record;
    // features that are no points are left out, and said so.
    ReadVerdict verdict(const ReadCheck &check) const override
    {
        const ReadResult &r = check.result;
        ReadVerdict v = BadRecordsVerdict(check, r.skipped,
                                          QCoreApplication::translate("Cli", "%1: GeoJSON feature %2 holds a number out of range: %3")
                                              .arg(check.file)
                                              .arg(r.firstSkipped)
                                              .arg(QString::fromLatin1(r.badNumber)));
        if (r.notPoints > 0) {
            const QString note = QCoreApplication::translate("Cli", "%1: %2 features that are no points (lines, areas, none) left out")
                                     .arg(check.file)
                                     .arg(r.notPoints);
            v.note = v.note.isEmpty() ? note : v.note + u'\n' + note;
        }
        return v;
    }
    std::unique_ptr<FormatRecordWriter> recordWriter(const RecordWriteOptions &) const override
    {
        return std::make_unique<GeoJsonRecordWriter>();
    }
    bool writesTextBytes() const override { return true; }
    bool readTable(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result) const override
    {
        return ReadGeoJson(data, table, separator, result);
    }
    QByteArray tableBytes(const PoiTable &table, int first, int last, const WriteOptions &, int *written) const override
    {
        if (written)
            *written = RowsBetween(table, first, last);
        return GeoJsonFileBytes(table, first, last);
    }
};

}  // namespace

const PoiCodec &GeoJsonCodec()
{
    static const GeoJson codec;
    return codec;
}

}  // namespace orvalis
