#include "json_output.h"

#include "cli.h"

#include "geo/decimal_entry.h"
#include "table/distance_run.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace orvalis::cli {

QString DistanceText(int32_t metres)
{
    if (metres <= 999)
        return QCoreApplication::translate("Cli", "%1 m").arg(metres);
    return QCoreApplication::translate("Cli", "%1 km and %2 m").arg(metres / 1000).arg(metres % 1000);
}

QByteArray TableJson(const PoiTable &table, QChar separator)
{
    QJsonArray array;
    for (int r = 1; r <= (table.isEmptyForAdd() ? 0 : table.lastRow()); ++r) {
        QJsonObject row;
        row.insert(QStringLiteral("number"), table.number(r));
        for (const auto &[key, f] : {std::pair{"latitude", FieldLatitude}, std::pair{"longitude", FieldLongitude}}) {
            const auto v = ParseDecimal(table.field(r, f), separator);
            row.insert(QLatin1String(key), v ? QJsonValue(static_cast<double>(*v)) : QJsonValue());
        }
        row.insert(QStringLiteral("description"), table.field(r, FieldDescription));
        row.insert(QStringLiteral("distance"), table.field(r, FieldDistance));
        bool ok = false;
        const int metres = table.field(r, FieldKey).toInt(&ok);
        row.insert(QStringLiteral("metres"), ok ? QJsonValue(metres) : QJsonValue());
        row.insert(QStringLiteral("key"), table.field(r, FieldKey));
        row.insert(QStringLiteral("cap"), table.field(r, FieldCap));
        array.append(row);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

void PrintNearJson(const EachFound &each)
{
    // The layout QJsonDocument gives an array, without holding the array.
    QByteArray separator = "[\n";
    each([&](const NearPoint::Found &f, const PoiRecord &r) {
        QJsonObject row;
        row.insert(QStringLiteral("number"), f.number);
        row.insert(QStringLiteral("latitude"), static_cast<double>(*CoordinateNumber(r.lat)));
        row.insert(QStringLiteral("longitude"), static_cast<double>(*CoordinateNumber(r.lon)));
        row.insert(QStringLiteral("description"), JoinedName(r));
        row.insert(QStringLiteral("distance"), DistanceText(f.metres));
        row.insert(QStringLiteral("metres"), f.metres);
        row.insert(QStringLiteral("key"), DistanceKey(f.metres));
        row.insert(QStringLiteral("cap"), CompassText(f.bearing));
        QByteArray object = QJsonDocument(row).toJson(QJsonDocument::Indented);
        object.chop(1);
        object.replace("\n", "\n    ");
        Print(separator + "    " + object);
        separator = ",\n";
    });
    Print(separator == "[\n" ? QByteArray("[\n]\n") : QByteArray("\n]\n"));
}

}  // namespace orvalis::cli
