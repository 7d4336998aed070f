#pragma once

#include "table/poi_table.h"

#include <QByteArray>

class QIODevice;

namespace orvalis {

// One line per row that has a longitude and a description:
// lat; lon; description; distance; compass; CR LF, coordinates with periods.
// Windows-1252 when every character fits, otherwise UTF-8 with a byte-order mark.
QByteArray CsvFileBytes(const PoiTable &table);
bool WriteCsv(QIODevice &device, const PoiTable &table);

}  // namespace orvalis
