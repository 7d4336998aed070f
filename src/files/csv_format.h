#pragma once

#include "files/block_reader.h"
#include "files/ov2_format.h"
#include "files/poi_record.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QStringList>
#include <climits>
#include <functional>
#include <optional>

class QIODevice;

namespace orvalis {

// One line per row that has a longitude and a description:
// lat; lon; description; distance; compass; CR LF, coordinates with periods.
// Windows-1252 when every character fits, otherwise UTF-8 with a byte-order mark.
QByteArray CsvFileBytes(const PoiTable &table, int first = 1, int last = INT_MAX);

// Fills rows from 1 with the POIs of a CSV text (RFC 4180 quoting; ',' or
// ';' between fields, the one the first line has more of). With a header
// naming latitude and longitude columns (lat/latitude, lon/lng/long/longitude,
// and name/title, desc/description/comment), those columns; without one,
// ',' files are the navigators' "longitude,latitude,name[,comment]" and ';'
// files this program's own "lat; lon; description; ...". Records without two
// numbers for coordinates are skipped. UTF-8 (with or without BOM), else Windows-1252.
// Coordinates are decimal degrees with either separator, or degrees and minutes
// (and seconds) with a hemisphere letter: "N48 51.123", "48°51'07\"N".
ReadResult ReadCsv(QByteArrayView data, PoiTable &table, QChar separator);
// A coordinate text as a number of degrees; nothing when it is none.
std::optional<long double> ParseCoordinateText(const QString &text);

// The CSV scripts expect: UTF-8, a header "latitude,longitude,name", RFC 4180
// quoting, every row; `written` receives how many.
QByteArray CsvScriptBytes(const PoiTable &table, int first, int last, int *written = nullptr);
bool WriteCsv(QIODevice &device, const PoiTable &table);

// CSV rows as records: with a header, its known columns to the record's fields
// and every other column a property; without one, as ReadCsv lays it out.
// And back: the scripts' layout with a column for every field some record has.
PoiRecords ReadCsvRecords(QByteArrayView data, ReadResult *result = nullptr);
// The same read a block at a time. A headerless ',' file whose layout its
// first records leave open is read on to decide it, those records waiting in
// an unnamed temporary file: memory stays that of one record.
void ForEachCsvRecord(BlockReader &in, const std::function<void(PoiRecord &&)> &visit, ReadResult *result = nullptr);
QByteArray CsvRecordBytes(const PoiRecords &records, int *written = nullptr);
// The same in pieces: every record observed first (the columns and the mark
// depend on all of them), then the head, then each row (false for a record
// without coordinates, not written).
class CsvRecordWriter {
public:
    void observe(const PoiRecord &record);
    QByteArray head() const;
    bool append(QByteArray &out, const PoiRecord &record) const;

private:
    bool used_[7] = {};
    QStringList keys_;
    bool readsBack_ = true;
};

}  // namespace orvalis
