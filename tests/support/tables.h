#pragma once

#include "table/poi_table.h"

#include <QStringList>

namespace orvalis::testing {

// A table whose row r holds fields 1.. from rows[r-1] and the N° r.
inline PoiTable TableOfRows(const QList<QStringList> &rows)
{
    PoiTable t;
    t.setRowCount(static_cast<int>(rows.size()) + 1);
    for (int r = 1; r <= rows.size(); ++r) {
        t.setNumber(r, r);
        for (int f = 0; f < rows[r - 1].size() && f + 1 < kFieldCount; ++f)
            t.setField(r, f + 1, rows[r - 1][f]);
    }
    return t;
}

}  // namespace orvalis::testing
