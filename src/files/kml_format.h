#pragma once

#include "files/read_result.h"
#include "files/xml_scan.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QByteArrayView>

namespace orvalis {

// Fills rows from 1 with the point placemarks of a KML file: the first
// "lon,lat" of their coordinates, "name - description" (the name alone when
// there is no description). Tolerant as the GPX reader: a cut file keeps what
// it holds; placemarks without a point are skipped.
ReadResult ReadKml(QByteArrayView data, PoiTable &table, QChar separator);
// True when the file has a kml element, in whatever encoding it declares.
bool IsKmlDocument(QByteArrayView data);
// The same for text already in UTF-8.
bool HasKmlRoot(QByteArrayView utf8);

// KML 2.2 in UTF-8: one Placemark with a name and a Point per usable row.
QByteArray KmlFileBytes(const PoiTable &table, int first, int last);

// The first point of a placemark: its longitude and latitude texts.
bool PlacemarkPoint(const xml::Cursor &c, const xml::Element &e, QByteArrayView *lon, QByteArrayView *lat);

}  // namespace orvalis
