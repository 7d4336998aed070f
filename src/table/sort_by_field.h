#pragma once

#include "table/poi_table.h"

#include <QCollator>
#include <QLocale>

namespace orvalis {

// The collation every table sort uses: the user's locale, case ignored.
QCollator TableCollator(const QLocale &locale);

// The sort record of a row for key field k: field k, then the other fields
// 1..6 in increasing order, each followed by '|'. N° is never part of it.
QString SortRecord(const PoiTable &table, int row, int k);

// Sorts rows 1..n by their records under the collator. Rows are moved whole
// (fields 1..6), so a field holding '|' stays intact; N° stays with the position.
void SortByField(PoiTable &table, int k, const QCollator &collator);

}  // namespace orvalis
