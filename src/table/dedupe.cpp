#include "table/dedupe.h"

#include "geo/decimal_entry.h"
#include "geo/geodesy.h"

#include <QHash>
#include <cmath>
#include <optional>
#include <unordered_map>

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
    int columns(int band) const
    {
        // Widths from the latitude one band beyond the band's poleward edge, so
        // that a neighbour within the limit is never more than one column away.
        const double lo = -90.0 + band * size_, hi = lo + size_;
        const double poleward = std::min(90.0, std::max(std::fabs(lo), std::fabs(hi)) + size_);
        const double c = std::cos(poleward * static_cast<double>(kPi) / 180.0);
        const double width = c > 1e-9 ? size_ / c : 360.0;
        return width >= 120.0 ? 1 : static_cast<int>(360.0 / width);
    }
    int column(int band, double lon) const
    {
        const int n = columns(band);
        const double wrapped = lon - 360.0 * std::floor((lon + 180.0) / 360.0);
        return std::clamp(static_cast<int>((wrapped + 180.0) / 360.0 * n), 0, n - 1);
    }

private:
    double size_;
};

struct Point {
    float lat, lon;
};

// A cell, and with --same-name the folded name too: points of other names are
// never looked at, however many share a place.
struct CellKey {
    int band, column, name;
    bool operator==(const CellKey &) const = default;
};
struct CellKeyHash {
    size_t operator()(const CellKey &k) const
    {
        uint64_t h = (static_cast<uint64_t>(static_cast<uint32_t>(k.band)) << 32) ^ static_cast<uint32_t>(k.column);
        h ^= static_cast<uint64_t>(static_cast<uint32_t>(k.name)) * 0x9E3779B97F4A7C15ULL;
        h ^= h >> 29;
        return static_cast<size_t>(h * 0xBF58476D1CE4E5B9ULL);
    }
};

}  // namespace

struct DuplicateFilter::Cells {
    explicit Cells(double withinMetres) : grid(withinMetres) {}
    Grid grid;
    std::unordered_map<CellKey, std::vector<Point>, CellKeyHash> cells;
    QHash<QString, int> names;  // folded name -> its number
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
    int nameNumber = 0;
    if (sameName_) {
        const QString folded = Folded(name);
        nameNumber = cells_->names.value(folded, -1);
        if (nameNumber < 0) {
            nameNumber = static_cast<int>(cells_->names.size());
            cells_->names.insert(folded, nameNumber);
        }
    }
    const Grid &grid = cells_->grid;
    const Point p{static_cast<float>(*lat), static_cast<float>(*lon)};
    const int band = grid.band(p.lat);
    for (int b = band - 1; b <= band + 1; ++b) {
        const int n = grid.columns(b);
        const int centre = grid.column(b, p.lon);
        // The column and its neighbours, wrapping at the antimeridian, each once.
        const int near[3] = {centre, (centre + 1) % n, (centre + n - 1) % n};
        const int count = n >= 3 ? 3 : n;
        for (int k = 0; k < count; ++k) {
            const auto it = cells_->cells.find(CellKey{b, near[k], nameNumber});
            if (it == cells_->cells.end())
                continue;
            for (const Point &q : it->second)
                if (SphericalDistance(q.lat, q.lon, p.lat, p.lon) <= withinMetres_)
                    return false;
        }
    }
    cells_->cells[CellKey{band, grid.column(band, p.lon), nameNumber}].push_back(p);
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
