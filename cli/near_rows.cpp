// near --base on formats read a block at a time: the base row found from
// compact keys of the coordinates, then the rows within the radius kept as the
// file streams by once more. Memory for the rows written, whatever the file.
#include "near_rows.h"
#include "progress.h"

#include "geo/decimal_entry.h"
#include "table/distance_run.h"
#include "table/load_row_finder.h"
#include "table/near_point.h"
#include "table/sort_by_field.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>
#include <optional>
#include <numeric>
#include <unistd.h>

namespace orvalis::cli {

namespace {

// One reading of IN's rows: what the checks of a whole reading need.
struct Reading {
    ReadResult result;
    qint64 bytes = 0;
    int rows = 0;
    bool gap = false;  // a number without its row: the table reader knows what it gives
    int bad = 0, firstBad = 0;
    QString badLat, badLon;
};

// The rows with coordinates in range go to `valid`, with those coordinates.
using ValidRow = std::function<void(TableRow &row, long double lat, long double lon)>;

// With `band` (south, north), rows whose latitude surely lies outside it are
// passed over at once: neither checked nor counted as bad (a reading that
// already checked them all).
Reading ReadRows(Cli &cli, const QByteArray &in, const PoiCodec &codec, int fd, const ValidRow &valid,
                 std::optional<std::pair<double, double>> band = std::nullopt)
{
    if (::lseek(fd, 0, SEEK_SET) < 0)
        throw WorkFailure(QCoreApplication::translate("Cli", "%1: reading failed").arg(Shown(in)));
    BlockReader reader(fd);
    Progress &progress = Progress::Global();
    progress.startReading();
    Reading r;
    const bool ok = codec.readTableRows(reader, cli.sep, [&](TableRow &row) {
        progress.read(reader.bytesRead());
        ++r.rows;
        r.gap = r.gap || row.number() != r.rows;
        if (band && row.latitudeSurelyOutside(band->first, band->second))
            return;
        long double lat = 0, lon = 0;
        bool read = row.numbers(&lat, &lon);
        if (!read) {
            const PoiTable &cells = row.cells();
            const auto la = cells.visitField(1, FieldLatitude, [&](QStringView v) { return ParseDecimal(v, cli.sep); });
            const auto lo = cells.visitField(1, FieldLongitude, [&](QStringView v) { return ParseDecimal(v, cli.sep); });
            read = la && lo;
            lat = la.value_or(0);
            lon = lo.value_or(0);
        }
        if (read && CoordinatesInRange(lat, lon)) {
            valid(row, lat, lon);
            return;
        }
        if (r.bad++ == 0) {
            r.firstBad = r.rows;
            r.badLat = row.cells().field(1, FieldLatitude);
            r.badLon = row.cells().field(1, FieldLongitude);
        }
    }, &r.result);
    Cli::CheckReader(in, reader);
    if (!ok)
        throw Failure{NotOfFormatMessage(codec, Shown(in))};
    r.bytes = reader.bytesRead();
    return r;
}

}  // namespace

std::optional<PoiTable> StreamedNearRows(Cli &cli, const QByteArray &in, const PoiCodec &codec, int fd, int baseRow,
                                         long double limitMetres)
{
    LoadRowFinder finder(cli.collator, baseRow);
    if (!finder.usable())
        return std::nullopt;
    const auto see = [&](bool *ranked) {
        return [&finder, ranked](TableRow &row, long double, long double) {
            if (!*ranked)
                return;
            char16_t lat[TableRow::kTextChars], lon[TableRow::kTextChars];
            int latChars = 0, lonChars = 0;
            if (row.texts(lat, &latChars, lon, &lonChars)) {
                *ranked = finder.see(QStringView(lat, latChars), QStringView(lon, lonChars));
                return;
            }
            const PoiTable &cells = row.cells();
            cells.visitField(1, FieldLatitude, [&](QStringView la) {
                cells.visitField(1, FieldLongitude, [&](QStringView lo) { *ranked = finder.see(la, lo); });
            });
        };
    };
    // Read twice most often: for the base, then for the rows.
    Progress::Global().expect(fd, 2);
    bool ranked = true;
    const Reading first = ReadRows(cli, in, codec, fd, see(&ranked));
    // Damage, numbers without rows, no row at all, texts no coordinate has:
    // the reading of the whole file says what it gives.
    if (first.gap || first.result.truncated || first.result.unknownBytes > 0 || first.rows == 0 || !ranked)
        return std::nullopt;
    cli.checkRead(in, codec, first.bytes, first.result, false);
    if (first.bad > 0) {
        if (!cli.skipInvalid)
            throw Cli::InvalidRecord(in, first.firstBad, first.badLat, first.badLon);
        cli.skippedNote(in, first.bad, first.firstBad);
    }
    bool found = finder.endPass();
    Cli::CheckBaseRow(static_cast<int>(finder.rows()), baseRow);
    for (; !found; found = finder.endPass()) {
        ReadRows(cli, in, codec, fd, see(&ranked));
        if (!ranked)
            return std::nullopt;
    }
    const float baseLat = ReadDecimal(finder.latitude(), cli.sep), baseLon = ReadDecimal(finder.longitude(), cli.sep);
    NearPoint near(baseLat, baseLon, limitMetres);
    PoiTable kept;
    // Latitudes NearPoint turns away before any trigonometry (no great circle is
    // shorter than their difference), known to the reader without the numbers.
    const double reach = static_cast<double>((limitMetres + 1000) / kEarthRadius) * 180.0 / M_PI;
    ReadRows(
        cli, in, codec, fd,
        [&](TableRow &row, long double lat, long double lon) {
            if (!near.wanted(lat, lon))
                return;
            row.describe();
            PoiTable copy = row.cells();
            kept.appendRows(std::move(copy));
        },
        std::pair{baseLat - reach, baseLat + reach});
    if (kept.isEmptyForAdd())
        return PoiTable();
    // In the order "Calculer" leaves them: by distance key, equal keys in file order.
    const int count = kept.lastRow(), base = count + 1;
    kept.setRowCount(base + 1);
    kept.setField(base, FieldLatitude, finder.latitude());
    kept.setField(base, FieldLongitude, finder.longitude());
    std::vector<int> rows(static_cast<size_t>(count));
    std::iota(rows.begin(), rows.end(), 1);
    ComputeDistances(kept, base, cli.sep, rows, DistanceFields::KeyOnly);
    {
        const RecordOrder byKey(kept, FieldKey, cli.collator);
        std::stable_sort(rows.begin(), rows.end(), [&](int a, int b) { return byKey.less(a, b); });
    }
    ComputeDistances(kept, base, cli.sep, rows, DistanceFields::All);
    // Put in that order where they are (a copy would double what a wide radius holds);
    // the base stays last and goes.
    rows.push_back(base);
    kept.permuteContent(rows);
    kept.setRowCount(base);
    for (int row = 1; row <= count; ++row)
        kept.setNumber(row, row);
    return kept;
}

}  // namespace orvalis::cli
