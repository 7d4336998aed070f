#include "files/geojson_format.h"

#include <functional>
#include <optional>

#include "geo/decimal_entry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace orvalis {

namespace {

// A coordinate cell as the GPX reader makes one: the number's text, the
// locale's separator, nine characters.
QString CoordinateCell(double value, QChar separator)
{
    QString text = QString::number(value, 'f', 6);
    while (text.contains(u'.') && (text.endsWith(u'0') || text.endsWith(u'.')))
        text.chop(1);
    return ToLocaleSeparator(text, separator).left(9);
}

// The position of a point feature (or of a bare point): [lon, lat, ...], empty for anything else.
QJsonArray PointPosition(const QJsonObject &feature)
{
    const QJsonObject geometry = feature.value(QStringLiteral("type")) == QStringLiteral("Point")
                                     ? feature
                                     : feature.value(QStringLiteral("geometry")).toObject();
    if (geometry.value(QStringLiteral("type")) != QStringLiteral("Point"))
        return {};
    const QJsonArray position = geometry.value(QStringLiteral("coordinates")).toArray();
    if (position.size() < 2 || !position.at(0).isDouble() || !position.at(1).isDouble())
        return {};
    return position;
}

void AddFeature(const QJsonObject &feature, PoiTable &table, QChar separator, ReadResult *result)
{
    const QJsonArray position = PointPosition(feature);
    if (position.isEmpty())
        return;
    const QJsonObject properties = feature.value(QStringLiteral("properties")).toObject();
    const QString name = properties.value(QStringLiteral("name")).toString();
    QString desc = properties.value(QStringLiteral("desc")).toString();
    if (desc.isEmpty())
        desc = properties.value(QStringLiteral("description")).toString();
    if (result->counter == INT32_MAX - 1)
        return;
    const int row = ++result->counter;
    table.setRowCount(row + 1);
    table.setNumber(row, row);
    table.setField(row, FieldLatitude, CoordinateCell(position.at(1).toDouble(), separator));
    table.setField(row, FieldLongitude, CoordinateCell(position.at(0).toDouble(), separator));
    table.setField(row, FieldDescription, desc.isEmpty() ? name : name + QStringLiteral(" - ") + desc);
}

// A coordinate cell as a JSON number: its own text when JSON accepts it, empty when it is no number.
QByteArray JsonNumber(const QString &cell)
{
    const QString text = PointDecimal(cell).trimmed();
    const auto value = ParseDecimal(text, u'.');
    if (!value || !std::isfinite(static_cast<double>(*value)))
        return {};
    static const QRegularExpression json(QStringLiteral("\\A-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?\\z"));
    // A number too small for a double ("1e-708") is refused by JSON readers: it goes out as the 0 it reads as.
    const double d = static_cast<double>(*value);
    if (json.match(text).hasMatch() && (d != 0 || *value == 0))
        return text.toLatin1();
    return QByteArray::number(d, 'g', 17);
}

// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
QByteArray JsonString(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    for (qsizetype i = 0; i < text.size();) {
        const char16_t u = text[i].unicode();
        if (u >= 0x80) {
            // A run of non-ASCII characters at once, so surrogate pairs stay together.
            qsizetype end = i + 1;
            while (end < text.size() && text[end].unicode() >= 0x80)
                ++end;
            out += QStringView(text).sliced(i, end - i).toUtf8();
            i = end;
            continue;
        }
        if (u == u'"' || u == u'\\') {
            out += '\\';
            out += static_cast<char>(u);
        } else if (u < 0x20) {
            out += QByteArray("\\u00") + QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            out += static_cast<char>(u);
        }
        ++i;
    }
    out += '"';
    return out;
}

}  // namespace

namespace {

// The point features of a whole document: a FeatureCollection's features, or
// the document itself when it is a Feature or a Point; nothing when it is no GeoJSON.
std::optional<QJsonArray> DocumentFeatures(QByteArrayView data)
{
    QJsonParseError error{};
    const QJsonDocument doc = ParseJson(data, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject root = doc.object();
    const QString type = root.value(QStringLiteral("type")).toString();
    if (type == QStringLiteral("FeatureCollection"))
        return root.value(QStringLiteral("features")).toArray();
    if (type == QStringLiteral("Feature") || type == QStringLiteral("Point"))
        return QJsonArray{root};
    return std::nullopt;
}

}  // namespace

bool ReadGeoJson(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result)
{
    const std::optional<QJsonArray> features = DocumentFeatures(data);
    if (!features)
        return false;
    table.reserveRows(static_cast<int>(features->size()) + 1);
    for (const QJsonValue &f : *features)
        AddFeature(f.toObject(), table, separator, result);
    return true;
}

QByteArray GeoJsonFileBytes(const PoiTable &table, int first, int last)
{
    // Written by hand: a JSON document built in memory costs several times the file.
    QByteArray out = R"({"type":"FeatureCollection","features":[)";
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    bool any = false;
    for (int row = first; row <= last; ++row) {
        const QByteArray lat = JsonNumber(table.field(row, FieldLatitude));
        const QByteArray lon = JsonNumber(table.field(row, FieldLongitude));
        if (lat.isEmpty() || lon.isEmpty())
            continue;
        out += any ? ",\n" : "\n";
        any = true;
        out += R"({"type":"Feature","geometry":{"type":"Point","coordinates":[)" + lon + ',' + lat +
               R"(]},"properties":{"name":)" + JsonString(table.field(row, FieldDescription)) + "}}";
    }
    out += "\n]}\n";
    return out;
}

namespace {

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

void AddRecord(const QJsonObject &feature, const std::function<void(PoiRecord &&)> &visit)
{
    const QJsonArray position = PointPosition(feature);
    if (position.isEmpty())
        return;
    PoiRecord r;
    r.lon = NumberText(position.at(0).toDouble());
    r.lat = NumberText(position.at(1).toDouble());
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
            r.properties.push_back({key, CompactJson(v)});
    }
    visit(std::move(r));
}

}  // namespace

std::optional<PoiRecords> ReadGeoJsonRecords(QByteArrayView data)
{
    PoiRecords out;
    BlockReader in(data);
    if (!ForEachGeoJsonRecord(in, [&](PoiRecord &&r) { out.records.push_back(std::move(r)); }))
        return std::nullopt;
    return out;
}

namespace {

// A whole document: a FeatureCollection, a Feature or a Point.
bool VisitDocument(QByteArrayView data, const std::function<void(PoiRecord &&)> &visit)
{
    const std::optional<QJsonArray> features = DocumentFeatures(data);
    if (!features)
        return false;
    for (const QJsonValue &f : *features)
        AddRecord(f.toObject(), visit);
    return true;
}

bool IsJsonSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

}  // namespace

bool ForEachGeoJsonRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit)
{
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
                    const QJsonDocument feature =
                        ParseJson(v.sliced(featureStart, i + 1 - featureStart), &error);
                    if (error.error != QJsonParseError::NoError)
                        return false;
                    AddRecord(feature.object(), visit);
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
    return VisitDocument(in.view(), visit);
}

QByteArray GeoJsonRecordHead()
{
    return R"({"type":"FeatureCollection","features":[)";
}

bool AppendGeoJsonRecord(QByteArray &out, const PoiRecord &r, bool first)
{
    const QByteArray lat = JsonNumber(QString::fromLatin1(r.lat)), lon = JsonNumber(QString::fromLatin1(r.lon));
    if (lat.isEmpty() || lon.isEmpty())
        return false;
    // The elevation as the third coordinate when it is a number, a property otherwise.
    const QByteArray ele = r.ele.isEmpty() ? QByteArray() : JsonNumber(r.ele);
    out += first ? "\n" : ",\n";
    out += R"({"type":"Feature","geometry":{"type":"Point","coordinates":[)" + lon + ',' + lat +
           (ele.isEmpty() ? QByteArray() : ',' + ele) + R"(]},"properties":{)";
    bool firstProperty = true;
    auto property = [&](const QString &key, const QByteArray &json) {
        out += (firstProperty ? "" : ",") + JsonString(key) + ':' + json;
        firstProperty = false;
    };
    const std::pair<const char *, const QString *> fields[] = {{"name", &r.name}, {"desc", &r.desc}, {"cmt", &r.cmt},
                                                               {"time", &r.time}, {"src", &r.src},   {"sym", &r.sym},
                                                               {"type", &r.type}};
    for (const auto &[key, value] : fields)
        if (!value->isEmpty())
            property(QString::fromLatin1(key), JsonString(*value));
    if (!r.ele.isEmpty() && ele.isEmpty())
        property(QStringLiteral("ele"), JsonString(r.ele));
    for (const PoiProperty &p : r.properties)
        property(p.key, p.json);
    out += "}}";
    return true;
}

QByteArray GeoJsonRecordTail()
{
    return "\n]}\n";
}

QByteArray GeoJsonRecordBytes(const PoiRecords &in, int *written)
{
    QByteArray out = GeoJsonRecordHead();
    int count = 0;
    for (const PoiRecord &r : in.records)
        count += AppendGeoJsonRecord(out, r, count == 0);
    out += GeoJsonRecordTail();
    if (written)
        *written = count;
    return out;
}

}  // namespace orvalis
