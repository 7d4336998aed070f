#pragma once

#include "files/poi_record.h"

#include <functional>

#include "files/block_reader.h"
#include "files/ov2_format.h"

#include <QByteArray>
#include <QByteArrayView>

namespace orvalis {

// Fills rows from 1 with the point placemarks of a KML file: the first
// "lon,lat" of their coordinates, "name - description" (the name alone when
// there is no description). Tolerant as the GPX reader: a cut file keeps
// what it holds; placemarks without a point are skipped.
ReadResult ReadKml(QByteArrayView data, PoiTable &table, QChar separator);
bool IsKmlDocument(QByteArrayView data);

// KML 2.2 in UTF-8: one Placemark with a name and a Point per usable row.
QByteArray KmlFileBytes(const PoiTable &table, int first, int last);

// KML placemarks with a point as records (name, description, TimeStamp, the
// altitude, ExtendedData: GPX fields by name and every other datum), and back.
PoiRecords ReadKmlRecords(QByteArrayView data);
void ForEachKmlRecord(QByteArrayView data, const std::function<void(PoiRecord &&)> &visit);
// Read a block at a time: false (nothing visited) when the input is no KML document.
bool ForEachKmlRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, const CoordinateFilter &wanted = {});
QByteArray KmlRecordBytes(const PoiRecords &records, int *written = nullptr);
// In pieces: the head, each placemark (false for one without coordinates), the tail.
QByteArray KmlRecordHead();
bool AppendKmlRecord(QByteArray &out, const PoiRecord &record);
QByteArray KmlRecordTail();

}  // namespace orvalis
