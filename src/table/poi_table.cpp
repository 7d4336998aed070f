#include "table/poi_table.h"

#include <algorithm>
#include <cassert>

namespace orvalis {

PoiTable::PoiTable() : numbers_(1, 0), content_(1) {}

QString PoiTable::field(int row, int f) const
{
    if (!isValidRow(row) || f < 0 || f >= kFieldCount)
        return {};
    if (f == FieldNumber) {
        const int n = number(row);
        return n == 0 ? QString() : QString::number(n);
    }
    return content_[static_cast<size_t>(row - 1)][static_cast<size_t>(f - 1)];
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
    content_[static_cast<size_t>(row - 1)][static_cast<size_t>(f - 1)] = text;
}

void PoiTable::setRowCount(int count)
{
    const size_t rows = static_cast<size_t>(std::max(count, 2) - 1);
    numbers_.resize(rows, 0);
    content_.resize(rows);
}

void PoiTable::reserveRows(int rows)
{
    numbers_.reserve(static_cast<size_t>(std::max(rows, 1)));
    content_.reserve(static_cast<size_t>(std::max(rows, 1)));
}

void PoiTable::blankAll()
{
    std::fill(numbers_.begin(), numbers_.end(), 0);
    for (Content &c : content_)
        c = Content();
}

void PoiTable::deleteRow(int row)
{
    if (!isValidRow(row))
        return;
    content_.erase(content_.begin() + (row - 1));
    if (numbers_.size() > 1) {
        numbers_.pop_back();
    } else {
        numbers_[0] = 0;
        content_.emplace_back();
    }
}

void PoiTable::permuteContent(const std::vector<int> &order)
{
    assert(order.size() == content_.size());
    std::vector<Content> moved;
    moved.reserve(content_.size());
    for (int from : order)
        moved.push_back(std::move(content_[static_cast<size_t>(from - 1)]));
    content_ = std::move(moved);
}

bool PoiTable::isEmptyForMenu() const
{
    return rowCount() == 2 && (field(1, FieldLatitude).isEmpty() || field(1, FieldLongitude).isEmpty());
}

bool PoiTable::isEmptyForAdd() const
{
    return rowCount() == 2 && number(1) == 0;
}

}  // namespace orvalis
