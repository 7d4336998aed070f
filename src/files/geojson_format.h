#pragma once

#include "files/block_reader.h"
#include "files/poi_record.h"
#include <functional>
#include <optional>

#include "files/ov2_format.h"

#include <QByteArray>
#include <QByteArrayView>

namespace orvalis {

// Fills rows from 1 with the Point features of a GeoJSON text (a
// FeatureCollection, a single Feature, or a bare Point): "name - desc"
// from the properties (the name alone without desc). False when the text
// is no GeoJSON object.
bool ReadGeoJson(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result);

// A FeatureCollection of Point features with a "name" property, compact UTF-8.
QByteArray GeoJsonFileBytes(const PoiTable &table, int first, int last);

// GeoJSON point features as records (name, desc, cmt, time, src, sym, type and
// the elevation as a third coordinate; every other property kept), and back.
std::optional<PoiRecords> ReadGeoJsonRecords(QByteArrayView data);
// The same read a block at a time: the features of a collection one by one
// (memory for one feature); false when the input is no GeoJSON (records
// already visited are then to be thrown away).
bool ForEachGeoJsonRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit);
QByteArray GeoJsonRecordBytes(const PoiRecords &records, int *written = nullptr);
// In pieces: the head, each feature (`first` for the first one written; false
// for one without coordinates), the tail.
QByteArray GeoJsonRecordHead();
bool AppendGeoJsonRecord(QByteArray &out, const PoiRecord &record, bool first);
QByteArray GeoJsonRecordTail();

}  // namespace orvalis
