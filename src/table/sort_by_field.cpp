#include "table/sort_by_field.h"

#include <algorithm>
#include <numeric>

namespace orvalis {

QCollator TableCollator(const QLocale &locale)
{
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(false);
    collator.setIgnorePunctuation(false);
    return collator;
}

QString SortRecord(const PoiTable &table, int row, int k)
{
    QString record;
    record.reserve(64);
    record += table.field(row, k);
    record += u'|';
    for (int f = 1; f < kFieldCount; ++f) {
        if (f == k)
            continue;
        record += table.field(row, f);
        record += u'|';
    }
    return record;
}

void SortByField(PoiTable &table, int k, const QCollator &collator)
{
    if (k < 1 || k >= kFieldCount)
        return;
    const int n = table.lastRow();
    // Sort keys turn each comparison into a byte compare, which is what makes
    // a million-row sort take about a second instead of many.
    std::vector<QCollatorSortKey> keys;
    keys.reserve(static_cast<size_t>(n));
    for (int row = 1; row <= n; ++row)
        keys.push_back(collator.sortKey(SortRecord(table, row, k)));
    std::vector<int> order(static_cast<size_t>(n));
    std::iota(order.begin(), order.end(), 1);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        return keys[static_cast<size_t>(a - 1)].compare(keys[static_cast<size_t>(b - 1)]) < 0;
    });
    keys.clear();
    keys.shrink_to_fit();
    table.permuteContent(order);
}

}  // namespace orvalis
