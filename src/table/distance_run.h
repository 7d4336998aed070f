#pragma once

#include "table/poi_table.h"

#include <QCollator>
#include <cstdint>
#include <functional>
#include <vector>

namespace orvalis {

// Compass text of a bearing in degrees: sectors bounded by whole degrees
// (22, 67, 112, ...), each bound in the lower sector.
QString CompassText(float degrees);
// "00000999", "01000000", "12000000": eight digits.
QString DistanceKey(int32_t metres);
// "999 m", "1 km", "12000 km".
QString DistanceText(int32_t metres);

// Writes distance, key and compass text of every row from the base row.
void ComputeDistances(PoiTable &table, int baseRow, QChar separator);
// The same for the given rows only, or only the keys.
enum class DistanceFields { All, KeyOnly };
void ComputeDistances(PoiTable &table, int baseRow, QChar separator, const std::vector<int> &rows, DistanceFields fields);

// What a Shift-click on the last row within `limitMetres` would select after
// the distance run from `baseRow`, `baseRow` being a row number of the table
// sorted by its Distance field (as after a load). Returns those rows of the
// unsorted table, in the order the run would leave them, with their distance
// fields written; the table's order is not changed. Avoids the two full sorts.
// A table read without its descriptions gives `describe`, which must fill
// the descriptions of the rows it is given: the selected ones, before they
// are put in order.
using DescribeRows = std::function<void(const std::vector<int> &rows)>;
std::vector<int> NearSelection(PoiTable &table, int baseRow, long double limitMetres, QChar separator,
                               const QCollator &collator, const DescribeRows &describe = {});
// The whole run: distances, then the sort by key so the base comes first.
void RunDistances(PoiTable &table, int baseRow, QChar separator, const QCollator &collator);

// The first row whose distance reads "0 m", or 0.
int FindBaseRow(const PoiTable &table);

}  // namespace orvalis
