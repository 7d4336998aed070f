#pragma once

#include "files/text_codecs.h"

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
// is no GeoJSON object. A feature holding a number a double cannot hold is
// left out and counted in `result` (skipped, firstSkipped, badNumber); a
// coordinate that cannot be one is kept as written, to be said so.
bool ReadGeoJson(QByteArrayView data, PoiTable &table, QChar separator, ReadResult *result);

// A FeatureCollection of Point features with a "name" property, compact UTF-8.
QByteArray GeoJsonFileBytes(const PoiTable &table, int first, int last);

// Pieces the table's and the records' sides share.
// The position of a point feature (or of a bare point): [lon, lat, ...], empty for anything else.
QJsonArray PointPosition(const QJsonObject &feature);
// A point whose longitude or latitude is null (a number a double cannot hold, made null).
bool IsNulledPoint(const QJsonObject &feature);
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
// JsonString(DecodeText(text)) appended to out, from the bytes where they are
// UTF-8 or Windows-1252.
void AppendJsonString(QByteArray &out, const EncodedText &text);
// JSON whose numbers a double cannot hold (1e400, 1e-400, 400 digits) with
// each such number made null, so that the rest parses; `first` receives the
// first as written. Nothing when there is none.
std::optional<QByteArray> OutOfRangeNumbersAsNull(QByteArrayView json, QByteArray *first);
// The first number of the JSON written with this value, as written ("1e308"
// for 1e+308); empty when none is.
QByteArray NumberAsWritten(QByteArrayView json, double value);

}  // namespace orvalis
