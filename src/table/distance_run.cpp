#include "table/distance_run.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "table/sort_by_field.h"

namespace orvalis {

QString CompassText(float theta)
{
    static const QString texts[] = {QStringLiteral("N"),  QStringLiteral("NE"), QStringLiteral("E"),
                                    QStringLiteral("SE"), QStringLiteral("S"),  QStringLiteral("SW"),
                                    QStringLiteral("W"),  QStringLiteral("NW")};
    if (!(theta > 22))
        return texts[0];
    if (theta > 337)
        return texts[0];
    // 22 < theta <= 67 is sector 1, and so on every 45 degrees.
    int sector = 1;
    while (sector < 7 && theta > 22 + 45 * sector)
        ++sector;
    return texts[sector];
}

QString DistanceKey(int32_t metres)
{
    if (metres >= 0 && metres < 1000000)
        return QStringLiteral("%1").arg(metres, 7, 10, QChar(u'0'));
    return QString::number(metres);
}

QString DistanceText(int32_t metres)
{
    if (metres < 1000)
        return QString::number(metres) + QStringLiteral(" m");
    return QString::number(metres / 1000) + QStringLiteral(" km");
}

void ComputeDistances(PoiTable &table, int baseRow, QChar separator)
{
    const float baseLat = ReadDecimal(table.field(baseRow, FieldLatitude), separator);
    const float baseLon = ReadDecimal(table.field(baseRow, FieldLongitude), separator);
    for (int row = 1; row <= table.lastRow(); ++row) {
        const float lat = ReadDecimal(table.field(row, FieldLatitude), separator);
        const float lon = ReadDecimal(table.field(row, FieldLongitude), separator);
        const int32_t d = SphericalDistance(lat, lon, baseLat, baseLon);
        table.setField(row, FieldDistance, DistanceText(d));
        table.setField(row, FieldKey, DistanceKey(d));
        // A POI due north, south, east or west still gets its true direction;
        // only the base's own position has none.
        const bool samePoint = lat == baseLat && lon == baseLon;
        table.setField(row, FieldCap, samePoint ? CompassText(0) : CompassText(InitialBearing(baseLat, baseLon, lat, lon)));
    }
}

void RunDistances(PoiTable &table, int baseRow, QChar separator, const QCollator &collator)
{
    ComputeDistances(table, baseRow, separator);
    SortByField(table, FieldKey, collator);
}

int FindBaseRow(const PoiTable &table)
{
    for (int row = 1; row <= table.lastRow(); ++row)
        if (table.field(row, FieldDistance) == QStringLiteral("0 m"))
            return row;
    return 0;
}

}  // namespace orvalis
