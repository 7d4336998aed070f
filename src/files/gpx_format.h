#pragma once

#include "files/pages_behind.h"
#include "files/poi_record.h"
#include "files/read_result.h"
#include "files/text_codecs.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace orvalis {

// Fills rows from 1 with the waypoints of a GPX file: lat and lon by name,
// "name - desc" as the description. Tolerant: a file cut short keeps what
// it holds; route and track points are not waypoints.
// With ReadPages::GivenBack the bytes' pages go back to the system as they are read.
ReadResult ReadGpx(QByteArrayView data, PoiTable &table, QChar separator, ReadPages read = ReadPages::Kept);
// The same, reading in two halves from a file of `twoReadersBytes` on (8 MiB
// for ReadGpx): tests and fuzzing force the two readers on small files.
ReadResult ReadGpxWithTwoReadersFrom(QByteArrayView data, PoiTable &table, QChar separator, qsizetype twoReadersBytes,
                                     ReadPages read = ReadPages::Kept);
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
// The same, not capped: the "<wpt" wholly inside the bytes.
qint64 CountWaypointTags(QByteArrayView data);

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
// AppendXmlText(out, DecodeText(text)) from the bytes: UTF-8 copied as it is
// but for the escapes, in one pass for the texts whose UTF-8 reads back.
void AppendXmlText(QByteArray &out, const EncodedText &text);
// The same for bytes that are UTF-8; false (nothing appended) when they are not.
bool AppendXmlUtf8(QByteArray &out, QByteArrayView utf8);
// The same, from Windows-1252 bytes to UTF-8 ones; commas become `comma`.
void AppendEscapedXml(QByteArray &out, QByteArrayView windows1252, char comma = ',');

// The same written at d, with room for XmlTextRoom bytes there; each returns
// where it ended. PutXmlText and PutXmlUtf8 return null for the rare texts
// that must go through their characters (AppendXmlText writes those), and
// say in *utf8 and *valid whether UTF-8 bytes were UTF-8.
constexpr qsizetype XmlTextRoom(qsizetype bytes)
{
    return 6 * bytes + 8;  // "&quot;" is the longest form of a byte, and a whole last copy of eight
}
char *PutXmlText(char *d, const EncodedText &text, bool *utf8 = nullptr);
char *PutXmlUtf8(char *d, QByteArrayView utf8, bool *valid);
char *PutEscapedXml(char *d, QByteArrayView windows1252, char comma = ',');

// The rows as GPX 1.0, as the window saves them: "name" holds the description.
QByteArray GpxFileBytes(const PoiTable &table, int first, int last, bool withNamespace = false);

}  // namespace orvalis
