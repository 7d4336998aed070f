#pragma once

#include "files/poi_record.h"
#include "files/read_result.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonObject>
#include <optional>
#include <vector>

namespace orvalis {

// Fills rows from 1 with the Point features of a GeoJSON text (a
// FeatureCollection, a single Feature, or a bare Point): "name - desc"
// from the properties (the name alone without desc). False when the text
// is no GeoJSON object.
bool ReadGeoJson(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result);

// A FeatureCollection of Point features with a "name" property, compact UTF-8.
QByteArray GeoJsonFileBytes(const PoiTable &table, int first, int last);

// Pieces the table's and the records' sides share.
// The position of a point feature (or of a bare point): [lon, lat, ...], empty for anything else.
QJsonArray PointPosition(const QJsonObject &feature);
// The points of a feature (or of a bare geometry): one for a Point, each of a
// MultiPoint's; none for anything else, counted in `result->notPoints`.
std::vector<QJsonArray> FeaturePoints(const QJsonObject &feature, ReadResult *result);
// The point features of a whole document: a FeatureCollection's features, or
// the document itself when it is a Feature or a Point; nothing when it is no GeoJSON.
std::optional<QJsonArray> DocumentFeatures(QByteArrayView data);
// A coordinate text as a JSON number: its own text when JSON accepts it, empty when it is no number.
QByteArray JsonNumber(const QString &cell);
// A JSON string: quotes, backslashes and control characters escaped, the rest as UTF-8.
QByteArray JsonString(const QString &text);

}  // namespace orvalis
