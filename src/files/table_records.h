#pragma once
// The window's table rows as records, for formats written through records
// only: the coordinates as the cells show them (with '.'), the description
// as the name.

#include "files/poi_record.h"
#include "table/poi_table.h"

#include <algorithm>
#include <functional>

namespace orvalis {

// Gives `take` the record of each row of [first, last]; returns how many it took.
inline int ForEachRow(const PoiTable &table, int first, int last, QChar separator, const std::function<bool(const PoiRecord &)> &take)
{
    int taken = 0;
    if (table.isEmptyForAdd())
        return 0;
    for (int row = std::max(first, 1); row <= std::min(last, table.lastRow()); ++row) {
        PoiRecord r;
        r.lat = table.field(row, FieldLatitude).replace(separator, u'.').toLatin1();
        r.lon = table.field(row, FieldLongitude).replace(separator, u'.').toLatin1();
        r.name = table.field(row, FieldDescription);
        taken += take(r) ? 1 : 0;
    }
    return taken;
}

}  // namespace orvalis
