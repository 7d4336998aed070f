#include "table/dedupe.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"

#include <QHash>
#include <array>
#include <climits>
#include <cmath>
#include <deque>
#include <optional>
#include <vector>

namespace orvalis {

namespace {

// Metres in a degree of latitude on the program's sphere.
const double kMetresPerDegree = static_cast<double>(kEarthRadius) * static_cast<double>(kPi) / 180.0;

QString Folded(const QString &text)
{
    QString out;
    const QString decomposed = text.normalized(QString::NormalizationForm_D);
    out.reserve(decomposed.size());
    for (const QChar c : decomposed)
        if (c.category() != QChar::Mark_NonSpacing)
            out += c;
    return out.toCaseFolded();
}

// Cells of `size` degrees in latitude; in longitude, wider towards the poles so
// that a cell is never narrower than the limit, and a whole band near them.
class Grid {
public:
    // Distances are whole metres truncated, so "at most M" takes points up to
    // M + 1 m apart; the cells cover that with room for rounding.
    explicit Grid(double withinMetres) : size_(((withinMetres + 1.0) * 1.001 + 0.01) / kMetresPerDegree) {}

    int band(double lat) const { return static_cast<int>(std::floor((lat + 90.0) / size_)); }
    // Each point asks for the columns of three bands twice: the last bands' counts are kept.
    int columns(int band) const
    {
        Known &known = known_[static_cast<unsigned>(band) % known_.size()];
        if (known.band != band)
            known = {band, ColumnsOf(band)};
        return known.columns;
    }
    int column(int band, double lon) const
    {
        const int n = columns(band);
        const double wrapped = lon - 360.0 * std::floor((lon + 180.0) / 360.0);
        return std::clamp(static_cast<int>((wrapped + 180.0) / 360.0 * n), 0, n - 1);
    }

private:
    int ColumnsOf(int band) const
    {
        // Widths from the latitude one band beyond the band's poleward edge, so
        // that a neighbour within the limit is never more than one column away.
        const double lo = -90.0 + band * size_, hi = lo + size_;
        const double poleward = std::min(90.0, std::max(std::fabs(lo), std::fabs(hi)) + size_);
        const double c = std::cos(poleward * static_cast<double>(kPi) / 180.0);
        const double width = c > 1e-9 ? size_ / c : 360.0;
        return width >= 120.0 ? 1 : static_cast<int>(360.0 / width);
    }
    double size_;
    struct Known {
        int band = INT_MIN;
        int columns = 0;
    };
    mutable std::array<Known, 1024> known_{};
};

// Open addressing over numbers (0 for an empty slot, else the number + 1):
// a slot is 4 bytes, and what it stands for is kept elsewhere once.
class Slots {
public:
    // The slot holding a number `same` accepts, else the empty one where it would go.
    template <typename Same>
    uint32_t &find(size_t hash, const Same &same)
    {
        if (slots_.empty())
            slots_.assign(16, 0);
        for (size_t at = hash & (slots_.size() - 1);; at = (at + 1) & (slots_.size() - 1))
            if (slots_[at] == 0 || same(slots_[at] - 1))
                return slots_[at];
    }
    // After an empty slot was filled: at half full, twice the slots.
    template <typename HashOf>
    void filled(const HashOf &hashOf)
    {
        if (++used_ * 2 <= slots_.size())
            return;
        std::vector<uint32_t> old(slots_.size() * 2, 0);
        old.swap(slots_);
        for (const uint32_t n : old)
            if (n != 0)
                find(hashOf(n - 1), [](uint32_t) { return false; }) = n;
    }

private:
    std::vector<uint32_t> slots_;
    size_t used_ = 0;
};

// A kept point: its place, its name's number, and the next kept point of its cell.
struct Kept {
    float lat, lon;
    uint32_t name;
    uint32_t next;  // number + 1; 0 ends the cell
};

// A cell, and with --same-name the folded name too: points of other names are
// never looked at, however many share a place.
struct CellKey {
    int band, column;
    uint32_t name;
    bool operator==(const CellKey &) const = default;
};
size_t HashOf(const CellKey &k)
{
    uint64_t h = (static_cast<uint64_t>(static_cast<uint32_t>(k.band)) << 32) ^ static_cast<uint32_t>(k.column);
    h ^= static_cast<uint64_t>(k.name) * 0x9E3779B97F4A7C15ULL;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ULL;
    return static_cast<size_t>(h ^ (h >> 32));
}

}  // namespace

// Per kept point 16 bytes and a slot or two of 4; per distinct folded name its
// UTF-8, 8 bytes and a slot or two. Nothing else of a POI stays.
struct DuplicateFilter::Cells {
    explicit Cells(double withinMetres) : grid(withinMetres) {}
    Grid grid;
    std::deque<Kept> kept;  // in chunks: no copy of them all as they grow
    Slots cells;  // the last point kept in each cell
    QByteArray nameBytes;
    std::deque<qsizetype> nameEnds;
    Slots names;

    CellKey keyOf(float lat, float lon, uint32_t name) const
    {
        const int band = grid.band(lat);
        return {band, grid.column(band, lon), name};
    }
    CellKey keyOf(uint32_t k) const { return keyOf(kept[k].lat, kept[k].lon, kept[k].name); }
    QByteArrayView name(uint32_t n) const
    {
        const qsizetype start = n == 0 ? 0 : nameEnds[n - 1];
        return QByteArrayView(nameBytes).sliced(start, nameEnds[n] - start);
    }
    uint32_t nameNumber(const QString &text)
    {
        const QByteArray folded = Folded(text).toUtf8();
        uint32_t &slot = names.find(qHash(folded), [&](uint32_t n) { return name(n) == folded; });
        if (slot != 0)
            return slot - 1;
        nameBytes += folded;
        nameEnds.push_back(nameBytes.size());
        slot = static_cast<uint32_t>(nameEnds.size());
        // Filling may grow the slots, and `slot` with them.
        names.filled([&](uint32_t n) { return qHash(name(n)); });
        return static_cast<uint32_t>(nameEnds.size()) - 1;
    }
};

DuplicateFilter::DuplicateFilter(double withinMetres, bool sameName)
    : withinMetres_(withinMetres), sameName_(sameName), cells_(std::make_unique<Cells>(withinMetres))
{
}

DuplicateFilter::~DuplicateFilter() = default;

bool DuplicateFilter::keep(std::optional<long double> lat, std::optional<long double> lon, const QString &name)
{
    if (!lat || !lon || std::fabs(*lat) > 90)
        return true;
    Cells &c = *cells_;
    const uint32_t nameNumber = sameName_ ? c.nameNumber(name) : 0;
    const Grid &grid = c.grid;
    const float pLat = static_cast<float>(*lat), pLon = static_cast<float>(*lon);
    const int band = grid.band(pLat);
    for (int b = band - 1; b <= band + 1; ++b) {
        const int n = grid.columns(b);
        const int centre = grid.column(b, pLon);
        // The column and its neighbours, wrapping at the antimeridian, each once.
        const int near[3] = {centre, (centre + 1) % n, (centre + n - 1) % n};
        const int count = n >= 3 ? 3 : n;
        for (int k = 0; k < count; ++k) {
            const CellKey key{b, near[k], nameNumber};
            for (uint32_t q = c.cells.find(HashOf(key), [&](uint32_t i) { return c.keyOf(i) == key; }); q != 0; q = c.kept[q - 1].next)
                if (SphericalDistance(c.kept[q - 1].lat, c.kept[q - 1].lon, pLat, pLon) <= withinMetres_)
                    return false;
        }
    }
    const CellKey key = c.keyOf(pLat, pLon, nameNumber);
    uint32_t &head = c.cells.find(HashOf(key), [&](uint32_t i) { return c.keyOf(i) == key; });
    const bool newCell = head == 0;
    c.kept.push_back({pLat, pLon, nameNumber, head});
    head = static_cast<uint32_t>(c.kept.size());
    if (newCell)
        c.cells.filled([&](uint32_t i) { return HashOf(c.keyOf(i)); });
    return true;
}

std::vector<int> RowsWithoutDuplicates(const PoiTable &table, double withinMetres, bool sameName, QChar separator)
{
    std::vector<int> kept;
    if (table.isEmptyForAdd())
        return kept;
    DuplicateFilter filter(withinMetres, sameName);
    for (int row = 1; row <= table.lastRow(); ++row)
        if (filter.keep(ParseDecimal(table.field(row, FieldLatitude), separator), ParseDecimal(table.field(row, FieldLongitude), separator),
                        sameName ? table.field(row, FieldDescription) : QString()))
            kept.push_back(row);
    return kept;
}

}  // namespace orvalis
