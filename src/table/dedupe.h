#pragma once

#include "table/poi_table.h"

#include <QChar>
#include <vector>

namespace orvalis {

// The rows to keep, in order: a row is dropped when an earlier kept row lies
// within `withinMetres` of it (the program's spherical distance, whole metres,
// at most the limit) and, with `sameName`, has the same description ignoring
// case and accents. A grid of cells about the limit wide makes it linear in
// practice; rows whose coordinates are no numbers are kept as they are.
std::vector<int> RowsWithoutDuplicates(const PoiTable &table, double withinMetres, bool sameName, QChar separator);

}  // namespace orvalis
