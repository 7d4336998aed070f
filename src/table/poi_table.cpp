#include "table/poi_table.h"

#include "table/row_halves.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace orvalis {

PoiTable::PoiTable() : numbers_(1, 0), rows_(1), ids_{newId()} {}

QString PoiTable::field(int row, int f) const
{
    if (!isValidRow(row) || f < 0 || f >= kFieldCount)
        return {};
    if (f == FieldNumber) {
        const int n = number(row);
        return n == 0 ? QString() : QString::number(n);
    }
    return rows_[static_cast<size_t>(row - 1)][f].toString();
}

bool PoiTable::fieldIsEmpty(int row, int f) const
{
    if (!isValidRow(row) || f < 0 || f >= kFieldCount)
        return true;
    if (f == FieldNumber)
        return number(row) == 0;
    return rows_[static_cast<size_t>(row - 1)][f].isEmpty();
}

void PoiTable::setFieldLatin1(int row, int f, const char *chars, int length)
{
    if (!isValidRow(row) || f <= FieldNumber || f >= kFieldCount)
        return;
    rows_[static_cast<size_t>(row - 1)][f].setLatin1(chars, length);
}

void PoiTable::setFieldWindows1252(int row, int f, QByteArrayView bytes)
{
    if (isValidRow(row) && f > FieldNumber && f < kFieldCount)
        rows_[static_cast<size_t>(row - 1)][f].setWindows1252(bytes.data(), bytes.size());
}

void PoiTable::setField(int row, int f, const QString &text)
{
    if (!isValidRow(row) || f < 0 || f >= kFieldCount)
        return;
    if (f == FieldNumber) {
        bool ok = false;
        const int n = text.toInt(&ok);
        setNumber(row, ok && n > 0 ? n : 0);
        return;
    }
    rows_[static_cast<size_t>(row - 1)][f].set(text);
}

void PoiTable::setRowCount(int count)
{
    const size_t rows = static_cast<size_t>(std::max(count, 2) - 1);
    numbers_.resize(rows, 0);
    rows_.resize(rows);
    if (ids_.size() > rows)
        ids_.resize(rows);
    while (ids_.size() < rows)
        ids_.push_back(newId());
}

void PoiTable::reserveRows(int rows)
{
    numbers_.reserve(static_cast<size_t>(std::max(rows, 1)));
    rows_.reserve(static_cast<size_t>(std::max(rows, 1)));
    ids_.reserve(static_cast<size_t>(std::max(rows, 1)));
}

void PoiTable::blankAll()
{
    std::fill(numbers_.begin(), numbers_.end(), 0);
    for (Row &r : rows_)
        r = Row();
}

PoiTable::TakenRow PoiTable::takeRow(int row)
{
    TakenRow taken;
    if (!isValidRow(row))
        return taken;
    const auto at = static_cast<size_t>(row - 1);
    taken.row = row;
    taken.id = ids_[at];
    taken.lastNumber = numbers_.back();
    taken.onlyRow = numbers_.size() == 1;
    taken.fields = std::move(rows_[at].fields);
    rows_.erase(rows_.begin() + (row - 1));
    ids_.erase(ids_.begin() + (row - 1));
    if (!taken.onlyRow) {
        numbers_.pop_back();
    } else {
        numbers_[0] = 0;
        rows_.emplace_back();
        ids_.push_back(newId());
    }
    return taken;
}

void PoiTable::restoreRow(const TakenRow &taken)
{
    if (taken.row < 1)
        return;
    if (taken.onlyRow && isEmptyForAdd()) {
        rows_[0].fields = taken.fields;
        numbers_[0] = taken.lastNumber;
        ids_[0] = taken.id;
        return;
    }
    const int row = std::min(taken.row, lastRow() + 1);
    Row content;
    content.fields = taken.fields;
    rows_.insert(rows_.begin() + (row - 1), std::move(content));
    ids_.insert(ids_.begin() + (row - 1), taken.id);
    numbers_.push_back(taken.lastNumber);
}

int PoiTable::rowOfId(RowId id) const
{
    const auto it = std::find(ids_.begin(), ids_.end(), id);
    return it == ids_.end() ? 0 : static_cast<int>(it - ids_.begin()) + 1;
}

void PoiTable::appendRows(PoiTable &&other)
{
    if (other.isEmptyForAdd())
        return;
    if (isEmptyForAdd()) {
        numbers_ = std::move(other.numbers_);
        rows_ = std::move(other.rows_);
        ids_.clear();
    } else {
        const int offset = lastRow();
        numbers_.reserve(numbers_.size() + other.numbers_.size());
        rows_.reserve(rows_.size() + other.rows_.size());
        for (size_t i = 0; i < other.rows_.size(); ++i) {
            numbers_.push_back(other.numbers_[i] == 0 ? 0 : other.numbers_[i] + offset);
            rows_.push_back(std::move(other.rows_[i]));
        }
    }
    // The rows are this table's POIs now: identities of its own.
    ids_.reserve(rows_.size());
    while (ids_.size() < rows_.size())
        ids_.push_back(newId());
    other = PoiTable();
}

void PoiTable::permuteContent(const std::vector<int> &order)
{
    assert(order.size() == rows_.size());
    // A row's fields hold no pointer into the row itself: their bytes move as they are.
    auto bytesOf = [](Row &row) { return static_cast<void *>(&row); };
    if (rows_.size() >= 100000) {
        // Big tables: copied into new rows on both cores (reads from all over
        // the table wait for memory; two cores wait half as long). The copy
        // costs no more room than the sort's keys did just before.
        std::vector<Row> moved(rows_.size());
        std::vector<RowId> ids(ids_.size());
        constexpr int kAhead = 8;
        const int n = static_cast<int>(rows_.size());
        ForRowHalves(0, n - 1, [&](int first, int last) {
            for (int i = first; i <= last; ++i) {
                if (i + kAhead <= last) {
                    const char *ahead = static_cast<const char *>(bytesOf(rows_[static_cast<size_t>(order[static_cast<size_t>(i + kAhead)] - 1)]));
                    __builtin_prefetch(ahead);
                    __builtin_prefetch(ahead + sizeof(Row) - 1);
                }
                const size_t from = static_cast<size_t>(order[static_cast<size_t>(i)] - 1);
                std::memcpy(bytesOf(moved[static_cast<size_t>(i)]), bytesOf(rows_[from]), sizeof(Row));
                ids[static_cast<size_t>(i)] = ids_[from];
            }
        });
        // The texts belong to the new rows now: the old ones go without releasing them.
        ForRowHalves(0, n - 1, [&](int first, int last) {
            std::memset(bytesOf(rows_[static_cast<size_t>(first)]), 0, sizeof(Row) * static_cast<size_t>(last - first + 1));
        });
        rows_.swap(moved);
        ids_.swap(ids);
        return;
    }
    // In place, cycle by cycle: a second copy of a million rows is not needed.
    // The cycles are walked first on `order` alone, which is small; the rows
    // are then moved along that list, fetched ahead of their turn (a walk from
    // row to row would wait for memory at every step). Rows that stay are not
    // touched at all.
    constexpr uint32_t kCycleEnd = 0x80000000u;
    std::vector<uint32_t> walk;
    {
        std::vector<bool> placed(rows_.size(), false);
        for (size_t start = 0; start < rows_.size(); ++start) {
            if (placed[start] || static_cast<size_t>(order[start] - 1) == start)
                continue;
            size_t at = start;
            for (;;) {
                placed[at] = true;
                const size_t from = static_cast<size_t>(order[at] - 1);
                if (from == start) {
                    walk.push_back(static_cast<uint32_t>(at) | kCycleEnd);
                    break;
                }
                walk.push_back(static_cast<uint32_t>(at));
                at = from;
            }
        }
    }
    auto bytesAt = [this](size_t at) { return reinterpret_cast<unsigned char *>(static_cast<void *>(&rows_[at])); };
    constexpr size_t kAhead = 16;
    alignas(Row) unsigned char held[sizeof(Row)];
    RowId heldId = 0;
    bool holding = false;
    for (size_t i = 0; i < walk.size(); ++i) {
        if (i + kAhead < walk.size()) {
            const unsigned char *ahead = bytesAt(walk[i + kAhead] & ~kCycleEnd);
            __builtin_prefetch(ahead);
            __builtin_prefetch(ahead + sizeof(Row) - 1);
        }
        const size_t at = walk[i] & ~kCycleEnd;
        if (!holding) {
            std::memcpy(held, bytesAt(at), sizeof(Row));
            heldId = ids_[at];
            holding = true;
        }
        if (walk[i] & kCycleEnd) {
            std::memcpy(bytesAt(at), held, sizeof(Row));
            ids_[at] = heldId;
            holding = false;
        } else {
            const size_t from = static_cast<size_t>(order[at] - 1);
            std::memcpy(bytesAt(at), bytesAt(from), sizeof(Row));
            ids_[at] = ids_[from];
        }
    }
}

void PoiTable::squeeze()
{
    // Only worth a copy of every row when much room is left unused.
    if (rows_.capacity() > rows_.size() + rows_.size() / 8 + 16) {
        numbers_.shrink_to_fit();
        rows_.shrink_to_fit();
        ids_.shrink_to_fit();
    }
}

int PoiTable::countWithCoordinates(int first, int last) const
{
    int count = 0;
    for (int row = std::max(first, 1); row <= std::min(last, lastRow()); ++row)
        count += hasCoordinates(row) ? 1 : 0;
    return count;
}

bool PoiTable::isEmptyForMenu() const
{
    return rowCount() == 2 && (fieldIsEmpty(1, FieldLatitude) || fieldIsEmpty(1, FieldLongitude));
}

bool PoiTable::isEmptyForAdd() const
{
    return rowCount() == 2 && number(1) == 0;
}

}  // namespace orvalis
