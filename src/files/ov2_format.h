#pragma once

#include "files/pages_behind.h"
#include "files/poi_record.h"
#include "files/read_result.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QChar>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace orvalis {

// Fills rows from 1 with the simple POI records of an OV2 file. The table's
// rows must have been emptied; the row count follows the POI counter. With
// ReadPages::GivenBack the bytes' pages go back to the system as they are read.
ReadResult ReadOv2(QByteArrayView data, PoiTable &table, QChar separator, ReadPages read = ReadPages::Kept);
// The same, reading on two cores from a file of `twoReadersBytes` on (4 MiB for
// ReadOv2): tests and fuzzing force the two readers on small files.
ReadResult ReadOv2WithTwoReadersFrom(QByteArrayView data, PoiTable &table, QChar separator, qint64 twoReadersBytes,
                                     ReadPages read = ReadPages::Kept);

// The coordinates and N° of the POIs without their names: names[r - 1] holds
// the name bytes of row r, to be turned into descriptions by StoreOv2Names
// for the rows that need them (a search near a point needs few).
ReadResult ReadOv2Coordinates(QByteArrayView data, PoiTable &table, QChar separator, std::vector<QByteArrayView> &names);
// The descriptions of the rows, as ReadOv2 gives them (each name decided on its own).
void StoreOv2Names(PoiTable &table, const std::vector<QByteArrayView> &names, const std::vector<int> &rows);

// What a walk over the record lengths finds.
struct Ov2Survey {
    int records = 0;
    // Where a second reader may start: the first record at or past the middle
    // of the file (-1 when none), and the POI numbers taken before it.
    qint64 middle = -1;
    int numbersBeforeMiddle = 0;
    int lastPoiNumber = 0;  // of the last simple record: the rows a reading can fill
};
Ov2Survey SurveyOv2(QByteArrayView data);

// The latitude or longitude text of an OV2 coordinate: five decimals, at most
// seven significant digits.
QString Ov2CoordinateText(int32_t value, QChar separator);
// The same text as Latin-1 characters; returns their number.
int Ov2CoordinateChars(int32_t value, char separator, char *out);
// The coordinate rounded as its text shows it (`scaled` with `decimals`
// decimals), then its characters or the number ParseDecimal reads from them:
// a reader that needs both rounds once, one that needs the number makes no text.
struct Ov2Rounded {
    uint32_t scaled = 0;
    int decimals = 0;
    bool negative = false;
};
Ov2Rounded RoundOv2(int32_t value);
int Ov2RoundedChars(const Ov2Rounded &rounded, char separator, char *out);
long double Ov2RoundedDegrees(const Ov2Rounded &rounded);
// The coordinate cells of a row as a load writes them.
void SetOv2Coordinates(PoiTable &table, int row, int32_t lat, int32_t lon, QChar separator);
// A coordinate cell as an OV2 integer (hundred-thousandths, half to even).
int32_t Ov2CoordinateValue(const QString &cell, QChar separator);
// The same for a record's coordinate text ('.' as the separator).
int32_t Ov2CoordinateValue(QByteArrayView text);

// The bytes of an OV2 file holding the usable rows of [first, last]: a
// skipper record with the bounds, then one simple record per row.
QByteArray Ov2FileBytes(const PoiTable &table, int first, int last, QChar separator);
// Simple records one after the other, and the skipper record that must come
// first: its length and the bounds are known once the last one is written.
class Ov2Writer {
public:
    // The window's box starts at 0 for the greatest values (a file west of
    // Greenwich gets east 0); Box::True gives the POIs' own bounds.
    enum class Box { Window, True };
    explicit Ov2Writer(Box box = Box::Window)
    {
        if (box == Box::True)
            east_ = north_ = INT32_MIN, west_ = south_ = INT32_MAX;
    }
    void append(QByteArray &out, const QString &latitude, const QString &longitude, QByteArray name, QChar separator);
    void append(QByteArray &out, int32_t lat, int32_t lon, QByteArray name);
    QByteArray header() const;  // 21 bytes
    int count() const { return count_; }

private:
    uint32_t total_ = 0;
    int32_t east_ = 0, north_ = 0, west_ = 1410065407, south_ = 1410065407;
    int count_ = 0;
};

// Pieces the table's and the records' readers share: a little-endian
// integer of the file, and the name of a simple record starting at `start`
// when its fixed part and its terminating zero lie inside the file and
// inside the record's `length`.
uint32_t Ov2U32(const char *p);
std::optional<QByteArrayView> Ov2RecordName(const char *bytes, qint64 size, qint64 start, qint64 length);

}  // namespace orvalis
