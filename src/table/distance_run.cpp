#include "table/distance_run.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"
#include "table/row_halves.h"
#include "table/sort_by_field.h"

#include <cstring>
#include <memory>
#include <numeric>
#include <span>

namespace orvalis {

namespace {

const char *CompassChars(float theta)
{
    static const char *texts[] = {"N", "NE", "E", "SE", "S", "SW", "W", "NW"};
    if (!(theta > 22) || theta > 337)
        return texts[0];
    // 22 < theta <= 67 is sector 1, and so on every 45 degrees.
    int sector = 1;
    while (sector < 7 && theta > 22 + 45 * sector)
        ++sector;
    return texts[sector];
}

int UnsignedChars(uint32_t v, char *out)
{
    char rev[12];
    int n = 0;
    do {
        rev[n++] = static_cast<char>('0' + v % 10);
        v /= 10;
    } while (v > 0);
    for (int i = 0; i < n; ++i)
        out[i] = rev[n - 1 - i];
    return n;
}

// Decimal text of an integer, left-padded with zeros to `width`.
int IntChars(int32_t v, int width, char *out)
{
    int n = 0;
    if (v < 0) {
        out[n++] = '-';
        return n + UnsignedChars(static_cast<uint32_t>(-static_cast<int64_t>(v)), out + n);
    }
    char digits[12];
    const int d = UnsignedChars(static_cast<uint32_t>(v), digits);
    for (int i = d; i < width; ++i)
        out[n++] = '0';
    std::memcpy(out + n, digits, static_cast<size_t>(d));
    return n + d;
}

// Eight digits hold every distance on the sphere (half its circumference is
// 20,037,518 m), so the keys' text order is their numeric order.
int DistanceKeyChars(int32_t metres, char *out)
{
    return IntChars(metres, metres >= 0 ? 8 : 0, out);
}

int DistanceTextChars(int32_t metres, char *out)
{
    if (metres < 1000) {
        const int n = IntChars(metres, 0, out);
        std::memcpy(out + n, " m", 2);
        return n + 2;
    }
    const int n = IntChars(metres / 1000, 0, out);
    std::memcpy(out + n, " km", 3);
    return n + 3;
}

float ReadCoordinate(const PoiTable &table, int row, int f, QChar separator)
{
    return table.visitField(row, f, [&](QStringView v) { return ReadDecimal(v, separator); });
}

}  // namespace

QString CompassText(float theta)
{
    return QString::fromLatin1(CompassChars(theta));
}

QString DistanceKey(int32_t metres)
{
    char buf[16];
    return QString::fromLatin1(buf, DistanceKeyChars(metres, buf));
}

QString DistanceText(int32_t metres)
{
    char buf[16];
    return QString::fromLatin1(buf, DistanceTextChars(metres, buf));
}

namespace {

template <typename Rows>
void Measure(PoiTable &table, int baseRow, QChar separator, const Rows &rows, DistanceFields fields)
{
    const float baseLat = ReadCoordinate(table, baseRow, FieldLatitude, separator);
    const float baseLon = ReadCoordinate(table, baseRow, FieldLongitude, separator);
    const BaseMeasures base(baseLat, baseLon);
    char buf[16];
    for (const int row : rows) {
        if (table.lacksCoordinates(row)) {
            // No place to measure from: no distance, no key, no direction.
            for (const int f : {FieldDistance, FieldKey, FieldCap})
                if (fields == DistanceFields::All || f == FieldKey)
                    table.setFieldLatin1(row, f, "", 0);
            continue;
        }
        const float lat = ReadCoordinate(table, row, FieldLatitude, separator);
        const float lon = ReadCoordinate(table, row, FieldLongitude, separator);
        if (fields == DistanceFields::KeyOnly) {
            const int32_t d = base.distanceTo(lat, lon);
            table.setFieldLatin1(row, FieldKey, buf, DistanceKeyChars(d, buf));
            continue;
        }
        const BaseMeasures::Both m = base.measure(lat, lon);
        table.setFieldLatin1(row, FieldKey, buf, DistanceKeyChars(m.distance, buf));
        table.setFieldLatin1(row, FieldDistance, buf, DistanceTextChars(m.distance, buf));
        // A POI due north, south, east or west still gets its true direction;
        // only the base's own position has none ("N").
        const char *cap = CompassChars(m.bearing);
        table.setFieldLatin1(row, FieldCap, cap, static_cast<int>(std::strlen(cap)));
    }
}

// Rows first..last without building a list of them.
struct RowSpan {
    int first, last;
    struct It {
        int row;
        int operator*() const { return row; }
        It &operator++()
        {
            ++row;
            return *this;
        }
        bool operator!=(const It &o) const { return row != o.row; }
    };
    It begin() const { return {first}; }
    It end() const { return {last + 1}; }
};

}  // namespace

void ComputeDistances(PoiTable &table, int baseRow, QChar separator)
{
    ForRowHalves(1, table.lastRow(), [&](int first, int last) {
        Measure(table, baseRow, separator, RowSpan{first, last}, DistanceFields::All);
    });
}

void ComputeDistances(PoiTable &table, int baseRow, QChar separator, const std::vector<int> &rows, DistanceFields fields)
{
    ForRowHalves(0, static_cast<int>(rows.size()) - 1, [&](int first, int last) {
        Measure(table, baseRow, separator, std::span<const int>(rows.data() + first, static_cast<size_t>(last - first + 1)),
                fields);
    });
}

std::vector<int> NearSelection(PoiTable &table, int baseRow, long double limitMetres, QChar separator,
                               const QCollator &collator, const DescribeRows &describe)
{
    const int n = table.lastRow();
    std::vector<int> rows(static_cast<size_t>(n));
    std::iota(rows.begin(), rows.end(), 1);
    // The base: the row that would stand at `baseRow` after the sort by Distance.
    int base = baseRow;
    // Rows that differ only by their descriptions share its place: whichever
    // of them it is, the distances are the same, so descriptions are not needed.
    if (baseRow >= 1 && baseRow <= n) {
        const RecordOrder byDistance(table, FieldDistance, collator);
        std::vector<int> order = rows;
        std::nth_element(order.begin(), order.begin() + (baseRow - 1), order.end(),
                         [&](int a, int b) { return byDistance.less(a, b); });
        base = order[static_cast<size_t>(baseRow - 1)];
    }
    ComputeDistances(table, base, separator, rows, DistanceFields::KeyOnly);
    // The last row within the limit in key order, then every row up to it.
    // Rows tied on everything but their descriptions are all in or all out.
    auto byKey = std::make_unique<RecordOrder>(table, FieldKey, collator);
    int last = 0;
    for (int row = 1; row <= n; ++row) {
        const std::optional<long double> metres = table.visitField(row, FieldKey, [](QStringView v) {
            return v.isEmpty() ? std::optional<long double>() : ParseDecimal(v, u'.');
        });
        if (metres && *metres <= limitMetres && (last == 0 || byKey->less(last, row)))
            last = row;
    }
    std::vector<int> selected;
    if (last != 0) {
        for (int row = 1; row <= n; ++row)
            if (!byKey->less(last, row))
                selected.push_back(row);
        if (describe) {
            describe(selected);
            byKey = std::make_unique<RecordOrder>(table, FieldKey, collator);  // with the descriptions now there
        }
        std::stable_sort(selected.begin(), selected.end(), [&](int a, int b) { return byKey->less(a, b); });
    }
    ComputeDistances(table, base, separator, selected, DistanceFields::All);
    return selected;
}

void RunDistances(PoiTable &table, int baseRow, QChar separator, const QCollator &collator)
{
    ComputeDistances(table, baseRow, separator);
    SortByField(table, FieldKey, collator);
}

int FindBaseRow(const PoiTable &table)
{
    // On the stored bytes: a million rows are read after every header sort.
    for (int row = 1; row <= table.lastRow(); ++row) {
        bool zero = false;
        table.visitFieldRaw(
            row, FieldDistance, [&](const char *bytes, qsizetype n) { zero = QByteArrayView(bytes, n) == "0 m"; },
            [&](QStringView v) { zero = v == u"0 m"; });
        if (zero)
            return row;
    }
    return 0;
}

}  // namespace orvalis
