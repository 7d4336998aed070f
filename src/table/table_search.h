#pragma once

#include "table/poi_table.h"

namespace orvalis {

// Only the ASCII letters a..z become capitals; accented letters stay as they are.
QString AsciiUpper(const QString &text);
// The first row from `from` whose description, distance, key and compass
// texts, joined and ASCII-upper-cased, contain the pattern; 0 when none.
int RowSearch(const PoiTable &table, int from, const QString &pattern);

}  // namespace orvalis
