#include "files/geojson_format.h"

#include "geo/decimal_entry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

void AddFeature(const QJsonObject &feature, PoiTable &table, QChar separator, ReadResult *result)
{
    const QJsonObject geometry = feature.value(QStringLiteral("type")) == QStringLiteral("Point")
                                     ? feature
                                     : feature.value(QStringLiteral("geometry")).toObject();
    if (geometry.value(QStringLiteral("type")) != QStringLiteral("Point"))
        return;
    const QJsonArray position = geometry.value(QStringLiteral("coordinates")).toArray();
    if (position.size() < 2 || !position.at(0).isDouble() || !position.at(1).isDouble())
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

}  // namespace

bool ReadGeoJson(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result)
{
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(data.toByteArray(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    const QJsonObject root = doc.object();
    const QString type = root.value(QStringLiteral("type")).toString();
    if (type == QStringLiteral("FeatureCollection")) {
        const QJsonArray features = root.value(QStringLiteral("features")).toArray();
        table.reserveRows(static_cast<int>(features.size()) + 1);
        for (const QJsonValue &f : features)
            AddFeature(f.toObject(), table, separator, result);
        return true;
    }
    if (type == QStringLiteral("Feature") || type == QStringLiteral("Point")) {
        AddFeature(root, table, separator, result);
        return true;
    }
    return false;
}

QByteArray GeoJsonFileBytes(const PoiTable &table, int first, int last)
{
    QJsonArray features;
    first = std::max(first, 1);
    last = std::min(last, table.lastRow());
    for (int row = first; row <= last; ++row) {
        const auto lat = ParseDecimal(PointDecimal(table.field(row, FieldLatitude)), u'.');
        const auto lon = ParseDecimal(PointDecimal(table.field(row, FieldLongitude)), u'.');
        if (!lat || !lon)
            continue;
        QJsonObject geometry{{QStringLiteral("type"), QStringLiteral("Point")},
                             {QStringLiteral("coordinates"), QJsonArray{double(*lon), double(*lat)}}};
        features.append(QJsonObject{{QStringLiteral("type"), QStringLiteral("Feature")},
                                    {QStringLiteral("geometry"), geometry},
                                    {QStringLiteral("properties"),
                                     QJsonObject{{QStringLiteral("name"), table.field(row, FieldDescription)}}}});
    }
    const QJsonObject root{{QStringLiteral("type"), QStringLiteral("FeatureCollection")}, {QStringLiteral("features"), features}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}

}  // namespace orvalis
