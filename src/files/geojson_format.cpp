#include "files/geojson_format.h"

#include "geo/decimal_entry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

void AddPoint(const QJsonObject &feature, const QJsonArray &position, PoiTable &table, QChar separator, ReadResult *result)
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
    table.setField(row, FieldLatitude, CoordinateCell(position.at(1).toDouble(), separator));
    table.setField(row, FieldLongitude, CoordinateCell(position.at(0).toDouble(), separator));
    table.setField(row, FieldDescription, desc.isEmpty() ? name : name + QStringLiteral(" - ") + desc);
}

void AddFeature(const QJsonObject &feature, PoiTable &table, QChar separator, ReadResult *result)
{
    for (const QJsonArray &position : FeaturePoints(feature, result))
        AddPoint(feature, position, table, separator, result);
}

}  // namespace

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

}  // namespace orvalis
