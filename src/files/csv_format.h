#pragma once

#include "files/read_result.h"
#include "table/poi_table.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringList>
#include <QStringView>
#include <climits>
#include <initializer_list>
#include <optional>

namespace orvalis {

// One line per row that has a longitude and a description:
// lat; lon; description; distance; compass; CR LF, coordinates with periods.
// Windows-1252 when every character fits, otherwise UTF-8 with a byte-order mark.
QByteArray CsvFileBytes(const PoiTable &table, int first = 1, int last = INT_MAX);

// Fills rows from 1 with the POIs of a CSV text (RFC 4180 quoting; ',', ';',
// tab or '|' between fields, as CsvSeparator finds). With a header
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

// Rules the table's reader and the records' reader share.
// The separator of a CSV file from its first bytes: of ',', ';', tab and '|',
// the one that splits every one of the header and the first records
// (separators inside quotes not counted), then the one that leaves no quote
// inside a field, then the one that splits them alike, then the one that
// gives the header most columns; ',' when none splits anything.
char CsvSeparator(QByteArrayView head);
// The end of the run of plain field bytes of `v` from `from`: the first
// delimiter, line end or quote (v.size() when none). A table, not four
// comparisons a byte: the readers pass over most bytes this way.
class FieldRunScanner {
public:
    explicit FieldRunScanner(char delimiter)
    {
        for (const char c : {delimiter, '\n', '\r', '"'})
            stops_[static_cast<unsigned char>(c)] = true;
    }
    qsizetype runEnd(QByteArrayView v, qsizetype from) const
    {
        const auto *p = reinterpret_cast<const unsigned char *>(v.data());
        const qsizetype n = v.size();
        // Eight bytes a test while none of them stops the run.
        while (from + 8 <= n && !(stops_[p[from]] | stops_[p[from + 1]] | stops_[p[from + 2]] | stops_[p[from + 3]] |
                                  stops_[p[from + 4]] | stops_[p[from + 5]] | stops_[p[from + 6]] | stops_[p[from + 7]]))
            from += 8;
        while (from < n && !stops_[p[from]])
            ++from;
        return from;
    }
    qsizetype runEnd(QStringView v, qsizetype from) const
    {
        const char16_t *p = v.utf16();
        const qsizetype n = v.size();
        while (from < n && !(p[from] < 256 && stops_[p[from]]))
            ++from;
        return from;
    }

private:
    bool stops_[256] = {};
};
// The bytes CsvSeparator needs: the first records, or the first line however long.
inline constexpr qsizetype kCsvSeparatorBytes = 64 * 1024;
inline constexpr int kCsvSeparatorRecords = 20;
// Whether a field must be quoted so that a reader takes it as it is: it holds
// a quote, a line break or any of the separators CsvSeparator weighs.
bool CsvNeedsQuotes(QStringView field);
// The column of the header named by one of `names` (case ignored); -1 if none.
int ColumnOf(const QStringList &header, std::initializer_list<const char *> names);
// A first record of names that are no coordinates is a header naming other
// columns (grid eastings and northings, say): guessing a layout would give wrong places.
bool NamesOtherColumns(const QStringList &first);
// Without a header a record says the latitude comes first when its second
// column lies beyond ±90 (only a longitude can) and its first within.
bool SaysLatitudeFirst(const QString &first, const QString &second);

}  // namespace orvalis
