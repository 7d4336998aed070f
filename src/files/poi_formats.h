#pragma once

#include "files/ov2_format.h"
#include "geo/geodesy.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>
#include <vector>

namespace orvalis {

// The formats orvalis-cli reads and writes (the window reads OV2 and GPX only).
// Csv is the scripts' layout (a header, commas, UTF-8); WindowCsv the window's
// export ("lat; lon; description; distance; cap"). Both read alike.
enum class PoiFormat { Ov2, Gpx, Csv, GeoJson, Kml, WindowCsv };

// By name or file extension, case ignored: ov2, gpx, csv, geojson or json, kml,
// and window-csv by name only.
std::optional<PoiFormat> PoiFormatNamed(const QString &name);
std::optional<PoiFormat> PoiFormatOfPath(const QString &path);

// Reads a file of the format into the (emptied) table; false with a message
// when the bytes are not of that format at all (a .gpx without a gpx element).
bool ReadPoiFormat(PoiFormat format, QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result,
                   QString *error);

struct WriteOptions {
    QChar separator = u'.';  // of the table's coordinate cells
    bool gpx11 = false;      // GPX 1.1 with its namespace, name and desc apart
};
// The bytes of rows [first, last] in the format, with the same writers as the
// window; `written`, when given, receives how many POIs the bytes hold (CSV
// leaves out rows without a longitude or a description).
QByteArray PoiFormatBytes(PoiFormat format, const PoiTable &table, int first, int last, const WriteOptions &options,
                          int *written = nullptr);

// The lines of a GPX file in file order: each route's rtept and each track
// segment's trkpt, a line apiece; empty when it has none.
std::vector<std::vector<LatLon>> ReadGpxRouteLines(QByteArrayView data);

}  // namespace orvalis
