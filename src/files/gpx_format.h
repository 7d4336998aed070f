#pragma once

#include "files/block_reader.h"
#include "files/ov2_format.h"
#include "files/poi_record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

class QIODevice;

namespace orvalis {

// Fills rows from 1 with the waypoints of a GPX file: lat and lon by name,
// "name - desc" as the description. Tolerant: a file cut short keeps what
// it holds; route and track points are not waypoints.
ReadResult ReadGpx(QByteArrayView data, PoiTable &table, QChar separator);
// The same, reading in two halves from a file of `twoReadersBytes` on (8 MiB
// for ReadGpx): tests and fuzzing force the two readers on small files.
ReadResult ReadGpxWithTwoReadersFrom(QByteArrayView data, PoiTable &table, QChar separator, qsizetype twoReadersBytes);
// The waypoints' coordinates and N° without their descriptions, and what
// StoreGpxNames needs to give the rows that need them theirs (a search near
// a point needs few). Holds views of `data`, which must outlive it.
struct GpxWaypoints {
    std::optional<QByteArray> transcoded;  // a file in another encoding, as UTF-8
    QByteArrayView data;
    bool trusted = false;  // texts exact (declared encoding): no per-text decision
    std::vector<std::pair<qsizetype, qsizetype>> spans;  // per row: its waypoint's content
};
ReadResult ReadGpxCoordinates(QByteArrayView data, PoiTable &table, QChar separator, GpxWaypoints &waypoints);
// The descriptions of the rows, as ReadGpx gives them.
void StoreGpxNames(PoiTable &table, const GpxWaypoints &waypoints, const std::vector<int> &rows);

// True when the file has a gpx element (with or without a namespace prefix),
// in whatever encoding it declares.
bool IsGpxDocument(QByteArrayView data);
// The same for text already in UTF-8.
bool HasGpxRoot(QByteArrayView utf8);

// The number of "<wpt" start tags: at most the rows the file can give.
int CountGpxWaypoints(QByteArrayView data);

// Resolves the five predefined entities and numeric character references;
// anything else stays as it is.
QString DecodeXmlText(const QString &text);
// Escapes & < > " for XML text and attribute values.
QString EscapeXml(const QString &text);
// The escaped text as UTF-8 bytes that read back as the text, with character
// references where a reader deciding each text would take UTF-8 for Windows-1252.
QByteArray XmlTextBytes(const QString &text);
// The same appended to `out`, in one pass for the texts whose UTF-8 reads back.
void AppendXmlText(QByteArray &out, const QString &text);
// The same, from Windows-1252 bytes to UTF-8 ones; commas become `comma`.
void AppendEscapedXml(QByteArray &out, QByteArrayView windows1252, char comma = ',');

QByteArray GpxFileBytes(const PoiTable &table, int first, int last);
bool WriteGpx(QIODevice &device, const PoiTable &table, int first, int last);

// Every waypoint of a GPX file as a record, every field kept (orvalis-cli):
// all at once, or one by one after the namespaces the root declares.
PoiRecords ReadGpxRecords(QByteArrayView data, ReadResult *result = nullptr);
void ForEachGpxRecord(QByteArrayView data, const std::function<void(std::vector<std::pair<QByteArray, QByteArray>> &&)> &start,
                      const std::function<void(PoiRecord &&)> &visit, ReadResult *result = nullptr);
// Read a block at a time: false (nothing visited) when the input is no GPX
// document; `result` notes route and track points met.
bool ForEachGpxRecord(BlockReader &in, const std::function<void(std::vector<std::pair<QByteArray, QByteArray>> &&)> &start,
                      const std::function<void(PoiRecord &&)> &visit, ReadResult *result = nullptr,
                      const CoordinateFilter &wanted = {}, DeferTexts defer = DeferTexts::No);
// Decodes the texts a reader left undecoded, as the reader would have.
void DecodeDeferredTexts(PoiRecord &record);
// The namespaces a GPX input's root declares, without reading past it: the
// same input is read after (merge writes every input's declarations first).
std::vector<std::pair<QByteArray, QByteArray>> GpxRootNamespaces(BlockReader &in);
// GPX 1.1 of the records, in their order; `strict` writes longitude 180 as -180
// (the schema's range). `written` receives how many waypoints it holds.
QByteArray GpxRecordBytes(const PoiRecords &records, bool strict, int *written = nullptr);
// The same in pieces, for writing as records come: the head, each waypoint
// (false for one without coordinates, not written), the tail.
QByteArray GpxRecordHead(const std::vector<std::pair<QByteArray, QByteArray>> &namespaces);
bool AppendGpxRecord(QByteArray &out, const PoiRecord &record, bool strict);
QByteArray GpxRecordTail();

}  // namespace orvalis
