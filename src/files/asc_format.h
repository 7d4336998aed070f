#pragma once

#include "files/block_reader.h"
#include "files/read_result.h"
#include "files/poi_record.h"

#include <QByteArray>
#include <functional>

namespace orvalis {

// TomTom's text POI files (.asc): one POI a line, `longitude,latitude,"name"`,
// comments from ';' to the end of their line, blank lines. A name's quotes are
// doubled inside it. Names are read one by one as OV2 names are (Windows-1252
// unless they read as UTF-8; a file that starts with the UTF-8 mark is UTF-8).

// The POIs of an ASC file in file order, a block at a time. A line that is no
// POI (no two numbers) is skipped and counted in `result` (skipped,
// firstSkipped: 1 is the file's first line that is not blank or a comment).
void ForEachAscRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result = nullptr,
                      const CoordinateFilter &wanted = {});

// One line for a record: its coordinates as written, the name with its
// description joined as OV2 joins them, in Windows-1252 where it fits; a line
// break inside the name becomes a space (other programs read a line a POI).
// False for a record without coordinates: nothing written.
bool AppendAscRecord(QByteArray &out, const PoiRecord &record);

}  // namespace orvalis
