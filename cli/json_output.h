// The answers --json prints: numbers with '.', whatever the locale.
#pragma once

#include "files/poi_record.h"
#include "table/near_point.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <functional>
#include <vector>

namespace orvalis::cli {

// The table's rows: number, coordinates, description, distance (the text and
// the metres when there is one), key and cap.
QByteArray TableJson(const PoiTable &table, QChar separator);
// The POIs found near a point, in the same shape, printed a POI at a time:
// `each` gives them in order with their records.
using EachFound = std::function<void(const std::function<void(const NearPoint::Found &, const PoiRecord &)> &)>;
void PrintNearJson(const EachFound &each);
// "999 m", "1 km and 234 m", in the user's language.
QString DistanceText(int32_t metres);

}  // namespace orvalis::cli
