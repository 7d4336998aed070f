#pragma once

#include "table/poi_table.h"

#include <QChar>
#include <QString>
#include <memory>
#include <optional>
#include <vector>

namespace orvalis {

// The rows to keep, in order: a row is dropped when an earlier kept row lies
// within `withinMetres` of it (the program's spherical distance, whole metres,
// at most the limit) and, with `sameName`, has the same description ignoring
// case and accents. A grid of cells about the limit wide makes it linear in
// practice; rows whose coordinates are no numbers are kept as they are.
std::vector<int> RowsWithoutDuplicates(const PoiTable &table, double withinMetres, bool sameName, QChar separator);

// The same one point at a time, for points streaming by: memory for the kept
// points' places (16 bytes and a hash slot each) and, with `sameName`, each
// distinct folded name once; nothing else of a POI.
class DuplicateFilter {
public:
    DuplicateFilter(double withinMetres, bool sameName);
    ~DuplicateFilter();
    // False when an earlier kept point is a duplicate of this one; the point is then not kept.
    bool keep(std::optional<long double> lat, std::optional<long double> lon, const QString &name);

private:
    struct Cells;
    double withinMetres_;
    bool sameName_;
    std::unique_ptr<Cells> cells_;
};

}  // namespace orvalis
