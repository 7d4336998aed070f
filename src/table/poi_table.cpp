#include "table/poi_table.h"

#include <algorithm>
#include <cassert>

namespace orvalis {

PoiTable::PoiTable() : numbers_(1, 0), rows_(1) {}

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
}

void PoiTable::reserveRows(int rows)
{
    numbers_.reserve(static_cast<size_t>(std::max(rows, 1)));
    rows_.reserve(static_cast<size_t>(std::max(rows, 1)));
}

void PoiTable::blankAll()
{
    std::fill(numbers_.begin(), numbers_.end(), 0);
    for (Row &r : rows_)
        r = Row();
}

void PoiTable::deleteRow(int row)
{
    if (!isValidRow(row))
        return;
    rows_.erase(rows_.begin() + (row - 1));
    if (numbers_.size() > 1) {
        numbers_.pop_back();
    } else {
        numbers_[0] = 0;
        rows_.emplace_back();
    }
}

void PoiTable::appendRows(PoiTable &&other)
{
    if (other.isEmptyForAdd())
        return;
    if (isEmptyForAdd()) {
        numbers_ = std::move(other.numbers_);
        rows_ = std::move(other.rows_);
        other = PoiTable();
        return;
    }
    const int offset = lastRow();
    numbers_.reserve(numbers_.size() + other.numbers_.size());
    rows_.reserve(rows_.size() + other.rows_.size());
    for (size_t i = 0; i < other.rows_.size(); ++i) {
        numbers_.push_back(other.numbers_[i] == 0 ? 0 : other.numbers_[i] + offset);
        rows_.push_back(std::move(other.rows_[i]));
    }
    other = PoiTable();
}

void PoiTable::permuteContent(const std::vector<int> &order)
{
    assert(order.size() == rows_.size());
    // In place, cycle by cycle: a second copy of a million rows is not needed.
    std::vector<bool> placed(rows_.size(), false);
    for (size_t start = 0; start < rows_.size(); ++start) {
        if (placed[start])
            continue;
        Row held = std::move(rows_[start]);
        size_t at = start;
        for (;;) {
            placed[at] = true;
            const size_t from = static_cast<size_t>(order[at] - 1);
            if (from == start) {
                rows_[at] = std::move(held);
                break;
            }
            rows_[at] = std::move(rows_[from]);
            at = from;
        }
    }
}

void PoiTable::squeeze()
{
    // Only worth a copy of every row when much room is left unused.
    if (rows_.capacity() > rows_.size() + rows_.size() / 8 + 16) {
        numbers_.shrink_to_fit();
        rows_.shrink_to_fit();
    }
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
