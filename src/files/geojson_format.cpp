#include "files/geojson_format.h"

#include "geo/decimal_entry.h"
#include "table/cp1252.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <cmath>
#include <cstring>

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

void AddPoint(const QJsonObject &feature, const QJsonArray &position, QByteArrayView json, PoiTable &table, QChar separator,
              ReadResult *result)
{
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
    const double lat = position.at(1).toDouble(), lon = position.at(0).toDouble();
    // A coordinate that cannot be one is kept whole, as written, to be said so.
    const bool valid = std::fabs(lat) <= 90 && std::fabs(lon) <= 180;
    auto cell = [&](double value) {
        const QByteArray written = valid ? QByteArray() : NumberAsWritten(json, value);
        return written.isEmpty() ? CoordinateCell(value, separator) : QString::fromLatin1(written);
    };
    table.setField(row, FieldLatitude, cell(lat));
    table.setField(row, FieldLongitude, cell(lon));
    table.setField(row, FieldDescription, desc.isEmpty() ? name : name + QStringLiteral(" - ") + desc);
}

void AddFeature(const QJsonObject &feature, QByteArrayView json, PoiTable &table, QChar separator, ReadResult *result)
{
    for (const QJsonArray &position : FeaturePoints(feature, result))
        AddPoint(feature, position, json, table, separator, result);
}

}  // namespace

namespace {

// The Point geometry of a feature (or a bare Point); empty for anything else.
QJsonObject PointGeometry(const QJsonObject &feature)
{
    const QJsonObject geometry = feature.value(QStringLiteral("type")) == QStringLiteral("Point")
                                     ? feature
                                     : feature.value(QStringLiteral("geometry")).toObject();
    return geometry.value(QStringLiteral("type")) == QStringLiteral("Point") ? geometry : QJsonObject();
}

}  // namespace

bool IsNulledPoint(const QJsonObject &feature)
{
    const QJsonArray position = PointGeometry(feature).value(QStringLiteral("coordinates")).toArray();
    return position.size() >= 2 && (position.at(0).isNull() || position.at(1).isNull());
}

QJsonArray PointPosition(const QJsonObject &feature)
{
    const QJsonArray position = PointGeometry(feature).value(QStringLiteral("coordinates")).toArray();
    if (position.size() < 2 || !position.at(0).isDouble() || !position.at(1).isDouble())
        return {};
    return position;
}

std::vector<QJsonArray> FeaturePoints(const QJsonObject &feature, ReadResult *result)
{
    if (const QJsonArray point = PointPosition(feature); !point.isEmpty())
        return {point};
    // A MultiPoint is its points; anything else is no POI, and counted.
    std::vector<QJsonArray> points;
    const QJsonObject geometry = feature.value(QStringLiteral("type")) == QStringLiteral("MultiPoint")
                                     ? feature
                                     : feature.value(QStringLiteral("geometry")).toObject();
    if (geometry.value(QStringLiteral("type")) == QStringLiteral("MultiPoint"))
        for (const QJsonValue &p : geometry.value(QStringLiteral("coordinates")).toArray())
            if (const QJsonArray position = p.toArray(); position.size() >= 2 && position.at(0).isDouble() && position.at(1).isDouble())
                points.push_back(position);
    if (points.empty() && result)
        ++result->notPoints;
    return points;
}

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

namespace {

bool IsNumberByte(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// Visits each number of the JSON (outside strings): its position and text.
template <typename Visit>
void ForEachNumber(QByteArrayView json, Visit visit)
{
    bool inString = false;
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            qsizetype end = i + 1;
            while (end < json.size() && IsNumberByte(json[end]))
                ++end;
            if (!visit(i, json.sliced(i, end - i)))
                return;
            i = end - 1;
        }
    }
}

// A double holds it: not beyond the largest, not below the smallest but 0 itself.
bool FitsDouble(QByteArrayView number)
{
    bool ok = false;
    const double d = number.toByteArray().toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return false;
    if (d != 0)
        return true;
    // A zero must be written as one: no digit but 0 before the exponent.
    for (const char c : number) {
        if (c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            return false;
    }
    return true;
}

}  // namespace

std::optional<QByteArray> OutOfRangeNumbersAsNull(QByteArrayView json, QByteArray *first)
{
    std::optional<QByteArray> out;
    qsizetype copied = 0;
    ForEachNumber(json, [&](qsizetype at, QByteArrayView number) {
        if (FitsDouble(number))
            return true;
        if (!out) {
            out.emplace();
            if (first)
                *first = number.toByteArray();
        }
        out->append(json.sliced(copied, at - copied)).append("null");
        copied = at + number.size();
        return true;
    });
    if (out)
        out->append(json.sliced(copied));
    return out;
}

QByteArray NumberAsWritten(QByteArrayView json, double value)
{
    QByteArray found;
    ForEachNumber(json, [&](qsizetype, QByteArrayView number) {
        if (number.toByteArray().toDouble() != value)
            return true;
        found = number.toByteArray();
        return false;
    });
    return found;
}

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

void AppendJsonString(QByteArray &out, const EncodedText &text)
{
    const QByteArrayView bytes = text.bytes;
    const bool utf8 = text.encoding != TextEncoding::Windows1252 && IsStrictUtf8(bytes);
    if (!utf8 && text.encoding == TextEncoding::Utf8) {
        out += JsonString(DecodeText(text));  // not UTF-8 after all: as the decoded text
        return;
    }
    // ASCII escaped as JsonString escapes it; UTF-8 copied, Windows-1252 as its characters' UTF-8.
    const qsizetype at = out.size();
    out.resize(at + 2 + 6 * bytes.size());
    char *d = out.data() + at;
    *d++ = '"';
    for (const char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80) {
            if (utf8)
                *d++ = ch;
            else
                d = PutUtf8(d, cp1252::Decode(b));
        } else if (b == '"' || b == '\\') {
            *d++ = '\\';
            *d++ = ch;
        } else if (b < 0x20) {
            static constexpr char kHex[] = "0123456789abcdef";
            std::memcpy(d, "\\u00", 4);
            d[4] = kHex[b >> 4];
            d[5] = kHex[b & 0xF];
            d += 6;
        } else {
            *d++ = ch;
        }
    }
    *d++ = '"';
    out.truncate(d - out.constData());
}

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
    if (type == QStringLiteral("Feature") || type == QStringLiteral("Point") || type == QStringLiteral("MultiPoint"))
        return QJsonArray{root};
    return std::nullopt;
}

bool ReadGeoJson(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result)
{
    std::optional<QJsonArray> features = DocumentFeatures(data);
    // Numbers a double cannot hold make the whole text unreadable: made null,
    // the features whose coordinates they were are left out, and counted.
    std::optional<QByteArray> nulled;
    if (!features && (nulled = OutOfRangeNumbersAsNull(data, &result->badNumber)))
        features = DocumentFeatures(*nulled);
    if (!features)
        return false;
    table.reserveRows(static_cast<int>(features->size()) + 1);
    int number = 0;
    for (const QJsonValue &f : *features) {
        ++number;
        const QJsonObject feature = f.toObject();
        if (nulled && IsNulledPoint(feature)) {
            if (result->skipped++ == 0)
                result->firstSkipped = number;
            continue;
        }
        AddFeature(feature, data, table, separator, result);
    }
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

}  // namespace orvalis
